#pragma once

#include <QWidget>

class QPlainTextEdit;

/// The code window: a tool window beside the main window that shows the program
/// code generated from the editor's SQL. It is created once, hidden, and from
/// then on only shown and hidden; its close box hides it and keeps its text.
class frmVb : public QWidget
{
    Q_OBJECT

public:
    explicit frmVb(QWidget *owner);

    /// Closes the window for good (the main window unloads it at exit).
    void unload();

    QPlainTextEdit *txtWindow = nullptr;

signals:
    /// The window stopped being shown: hidden by its close box, or unloaded.
    void closed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ArrangeCodeWindow();
    bool txtWindow_KeyDown(QKeyEvent *event);
};
