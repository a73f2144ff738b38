#pragma once

#include <QDialog>
#include <QPoint>

#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

/// The connection dialog: the saved connections of DB.ini, the three boxes of
/// the connection to use, and the commands to test it, connect with it (saving
/// the list), delete an entry, sort the list, or cancel back to the connection
/// that was in use. Controls keep their names as objectNames.
///
/// The list shows the user ID and server name of each entry only; the whole
/// record, password included, stays behind the entry (entryRecord()).
class frmDB : public QDialog
{
    Q_OBJECT

public:
    /// A dialog of the parent window, placed with its frame's top-left corner
    /// at the placement (twips) when it loads.
    frmDB(QWidget *parent, QPoint placement);

    /// The DB.ini record behind the list entry in that row.
    QString entryRecord(int row) const;
    /// Every record of the list, in list order.
    QStringList entryRecords() const;

    std::array<QLabel *, 4> lblCaption{};
    std::array<QPushButton *, 2> cmdHeader{};
    QFrame *Picture1 = nullptr;
    QListWidget *lstDB = nullptr;
    std::array<QLineEdit *, 3> txtInput{}; ///< user ID, password, server name
    /// add to the list, open at start-up, keep the password in the keyring
    std::array<QCheckBox *, 3> chkInput{};
    std::array<QPushButton *, 4> cmdButton{}; ///< test, OK, cancel, delete

signals:
    /// OK connected (or tried to) and closes the dialog: the main window clears
    /// its status text.
    void confirmed();

public slots:
    /// Cancel and the close box: the connection in use stays as it was (or, when
    /// none is open, the last one is opened again).
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Form_Activate();
    void addEntry(const QString &record);
    void selectEntry(int row);
    void lstDB_SelectionChanged();
    void cmdHeader_Click(int index);
    void cmdButton_Click(int index);
    void runButton(int index);
    void testConnection();
    void confirm();
    void ConnectAndSaveList();
    void showCaption(const QString &caption);
    void deleteEntry();
    bool inputsFilled() const;

    // Saved passwords in the keyring (frmdbpasswords.cpp).
    struct ListEntryPlan
    {
        QString identity; ///< of the record to add or flag; empty: none
        bool addToList = false;
        bool movedToKeyring = false; ///< blank the connection's passwords in the file
    };
    void createKeyringBox();
    /// The record of the connection in use with its password in the keyring.
    QString currentKeyringRecord() const;
    void fillSavedPassword(const QString &userId, const QString &serverName);
    ListEntryPlan planListEntry(const QString &userId,
                                const QString &serverName,
                                const QString &password,
                                bool connected);
    void forgetDeletedPasswords(const QStringList &written);

    QString currentRecord() const;

    QPoint mPlacement;
    bool mFillFromList = false;
    bool mListChanged = false;
    bool mListUnreadable = false; ///< DB.ini exists but could not be read
    QStringList mLoadedRecords;   ///< the records as read at load
    bool mActivated = false;
    QStringList mDeletedKeys; ///< keyring entries of the connections deleted from the list
};
