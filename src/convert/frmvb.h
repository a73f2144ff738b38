#pragma once

#include <QWidget>

class QPlainTextEdit;

/// The code window: a tool window beside the main window that shows the program
/// code generated from the editor's SQL.
class frmVb : public QWidget
{
    Q_OBJECT

public:
    explicit frmVb(QWidget *owner);

    /// Closes the window for good (the main window unloads it at exit).
    void unload();

    QPlainTextEdit *txtWindow = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
};
