#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace History {
class Store;
}

/// The history window: the statements that ran, newest first, each text once
/// with how often and when it last ran. The list narrows as the search box is
/// typed in; the selected statement's whole text shows below. Enter or a double
/// click hands the statement to the editor; nothing here ever runs it.
class frmHistory : public QWidget
{
    Q_OBJECT

public:
    frmHistory(History::Store &store, QWidget *parent);

    /// Lists the history again with the current search.
    void refresh();

    QLineEdit *txtSearch = nullptr;
    QTreeWidget *lvwHistory = nullptr;
    QPlainTextEdit *txtStatement = nullptr;
    QPushButton *cmdEditor = nullptr;
    QPushButton *cmdDelete = nullptr;

signals:
    /// The user chose a statement for the editor.
    void statementChosen(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSelected();
    void chooseSelected();
    void deleteSelected();
    qint64 selectedTextId() const;

    History::Store &mStore;
    QTimer *mSearchDelay = nullptr;
    QLabel *lblCount = nullptr;
};
