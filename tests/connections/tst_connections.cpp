#include "../fakedialogs.h"
#include "../fakepasswordstore.h"
#include "../filesizelimit.h"
#include "../mainwindow.h"
#include "../testservers.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "connectionrecords.h"
#include "connections/connectionlist.h"
#include "connections/frmdb.h"
#include "connections/initialconnection.h"
#include "oracle/db.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Connections;

/// The connection dialog on real SQLite and PostgreSQL connections, and the
/// connection opened at start-up.
class tst_Connections : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogShowsListWithoutPasswords();
    void okConnectsAndSavesList_data();
    void okConnectsAndSavesList();
    void okKeepsWhatAnotherKorvaneSaved_data();
    void okKeepsWhatAnotherKorvaneSaved();
    void failedOkWritesOnlyAfterDelete_data();
    void failedOkWritesOnlyAfterDelete();
    void cancelKeepsConnectionInUse();
    void okSettlesPendingWork_data();
    void okSettlesPendingWork();
    void sortReselectsCurrentConnection();
    void keysInBoxes();
    void testButton_data();
    void testButton();
    void badListFiles_data();
    void badListFiles();
    void initialConnection_data();
    void initialConnection();

private:
    QString path(const QString &name) const { return mHome->filePath(name); }
    void writeList(const QStringList &records);
    std::unique_ptr<frmDB> openDialog();

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<FakePasswordStore> mNoKeyring; // the file keeps the passwords
    std::unique_ptr<frmMain> mMain;
    QString mPgUser, mPgPassword;
};

void tst_Connections::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toUtf8());
    mPgUser = qEnvironmentVariable("KORVANE_TEST_PG_USER");
    mPgPassword = qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD");
    QVERIFY(writeTestServers(mHome->path(), "[OTHER]\r\nDRIVER=QSQLITE\r\nDATABASE=other.db\r\n"
                                            "[NODRIVER]\r\nDRIVER=QNOSUCH\r\n"));
    mDialogs = std::make_unique<FakeDialogs>();
    mNoKeyring = std::make_unique<FakePasswordStore>(false);
    SQLEdit::InitGlobals();
    SQLEdit::BaseCaption = Base;
    mMain = std::make_unique<frmMain>();
    mMain->openInitialConnection = [] { return false; };
}

void tst_Connections::cleanup()
{
    mMain.reset();
    mDialogs.reset();
    mNoKeyring.reset();
    forgetConnection();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Connections::writeList(const QStringList &records)
{
    QVERIFY(writeBytes(path("DB.ini"), (records.join("\r\n") + "\r\n\r\n").toUtf8()));
}

std::unique_ptr<frmDB> tst_Connections::openDialog()
{
    auto dialog = std::make_unique<frmDB>(mMain.get(), mMain->dialogPlacement(5));
    dialog->show();
    dialog->activateWindow();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("the connection dialog did not become active");
    return dialog;
}

// The list shows the user ID and server name only: the password reaches neither
// the screen nor assistive technology, and the password box shows stars.
void tst_Connections::dialogShowsListWithoutPasswords()
{
    const QString scott = record("SCOTT", "LITE", "TIGER", 0);
    const QString admin = record("ADMIN", "LITE", "SECRET", 1);
    writeList({scott, admin});
    DB::SetCurrentUserId("ADMIN");
    DB::SetCurrentPassword("SECRET");
    DB::SetCurrentServerName("LITE");
    DB::SetCurrentIsInitial(1);

    const auto dialog = openDialog();
    QCOMPARE(dialog->windowTitle(), QString("ﾃﾞｰﾀﾍﾞｰｽ接続"));
    QCOMPARE(dialog->entryRecords(), QStringList({scott, admin}));
    for (int row = 0; row < dialog->lstDB->count(); ++row) {
        QListWidgetItem *item = dialog->lstDB->item(row);
        QVERIFY(!item->text().contains("TIGER") && !item->text().contains("SECRET"));
        QVERIFY(item->toolTip().isEmpty());
    }
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(dialog->lstDB);
    QVERIFY(list);
    for (int i = 0; i < list->childCount(); ++i)
        QVERIFY(!list->child(i)->text(QAccessible::Name).contains("SECRET"));
    QAccessibleInterface *password = QAccessible::queryAccessibleInterface(dialog->txtInput[1]);
    QVERIFY(!password->text(QAccessible::Value).contains("SECRET"));
    QCOMPARE(password->text(QAccessible::Name), QString("ﾊﾟｽﾜｰﾄﾞ："));
    QCOMPARE(dialog->txtInput[1]->echoMode(), QLineEdit::Password);

    // Opened on the current connection: its entry is selected and can be deleted.
    QCOMPARE(dialog->lstDB->currentRow(), 1);
    QVERIFY(dialog->cmdButton[3]->isEnabled());
    QVERIFY(dialog->chkInput[1]->isChecked());
    QVERIFY(!dialog->chkInput[0]->isChecked());
    QVERIFY(dialog->txtInput[0]->hasFocus());

    // A click on an entry fills the boxes; keyboard moves in the list do not.
    dialog->txtInput[0]->clear();
    QTest::keyClick(dialog->lstDB, Qt::Key_Up);
    QVERIFY(dialog->txtInput[0]->text().isEmpty());
    QCOMPARE(dialog->lstDB->currentRow(), 0);
    dialog->chkInput[1]->setChecked(false);
    const QRect second = dialog->lstDB->visualItemRect(dialog->lstDB->item(1));
    QTest::mouseClick(dialog->lstDB->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(dialog->txtInput[0]->text(), QString("ADMIN"));
    QCOMPARE(dialog->txtInput[1]->text(), QString("SECRET"));
    QVERIFY(dialog->chkInput[1]->isChecked());
}

void tst_Connections::okConnectsAndSavesList_data()
{
    QTest::addColumn<bool>("addToList");
    QTest::addColumn<bool>("makeInitial");
    QTest::addColumn<QString>("user"); // as typed: small letters become capitals
    QTest::addColumn<QByteArray>("file");

    const QByteArray scott1 = record("SCOTT", "LITE", "TIGER", 1).toUtf8();
    const QByteArray scott0 = record("SCOTT", "LITE", "TIGER", 0).toUtf8();
    const QByteArray other1 = record("OTHER", "LITE", "X", 1).toUtf8();
    const QByteArray other0 = record("OTHER", "LITE", "X", 0).toUtf8();
    QTest::newRow("registered as start-up")
        << true << true << "scott" << other0 + "\r\n" + scott1 + "\r\n\r\n";
    QTest::newRow("registered") << true << false << "scott"
                                << other1 + "\r\n" + scott0 + "\r\n\r\n";
    QTest::newRow("not registered: rewritten all the same")
        << false << false << "scott" << other1 + "\r\n\r\n";
    QTest::newRow("already listed") << true << true << "other" << other1 + "\r\n\r\n";
}

void tst_Connections::okConnectsAndSavesList()
{
    QFETCH(bool, addToList);
    QFETCH(bool, makeInitial);
    QFETCH(QString, user);
    QFETCH(QByteArray, file);
    writeList({record("OTHER", "LITE", "X", 1)});
    TestWindow::statusBar(*mMain)->showMessage("old");

    // Through the toolbar's connection button: the dialog is modal, so it is
    // filled in once its own event loop runs.
    bool shown = false;
    QMetaObject::invokeMethod(
        mMain.get(),
        [&] {
            auto *dialog = qobject_cast<frmDB *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = true;
            QTest::keyClicks(dialog->txtInput[0], user);
            QTest::keyClicks(dialog->txtInput[1], user == "other" ? "X" : "TIGER");
            QTest::keyClicks(dialog->txtInput[2], "lite");
            dialog->chkInput[0]->setChecked(addToList);
            dialog->chkInput[1]->setChecked(makeInitial);
            QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);
        },
        Qt::QueuedConnection);
    TestWindow::toolbarButton(*mMain, 4)->trigger();

    QVERIFY(shown);
    QVERIFY(!mMain->findChild<frmDB *>()); // closed and unloaded
    QCOMPARE(readBytes(path("DB.ini")), file);
    QCOMPARE(QFileInfo(path("DB.ini")).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(mMain->windowTitle(), Base + "(" + user.toUpper() + " @ LITE)");
    QVERIFY(SQLEdit::HasConnected);
    QVERIFY(TestWindow::statusBar(*mMain)->currentMessage().isEmpty());
    QCOMPARE(DB::CurrentUserId(), user.toUpper());
    QCOMPARE(DB::CurrentIsInitial(), qint16(makeInitial));
    QVERIFY(mDialogs->messages.isEmpty());
}

void tst_Connections::okKeepsWhatAnotherKorvaneSaved_data()
{
    QTest::addColumn<bool>("makeInitial");
    QTest::addColumn<QStringList>("lines");
    const QString a = record("A", "LITE", "P", 0);
    QTest::newRow("registered") << false
                                << QStringList{a, record("C", "LITE", "P", 1),
                                               record("SCOTT", "LITE", "TIGER", 0)};
    QTest::newRow("registered as start-up")
        << true << QStringList{a, record("C", "LITE", "P", 0), record("SCOTT", "LITE", "TIGER", 1)};
}

void tst_Connections::okKeepsWhatAnotherKorvaneSaved()
{
    QFETCH(bool, makeInitial);
    QFETCH(QStringList, lines);
    writeList({record("A", "LITE", "P", 0), record("B", "LITE", "P", 0)});
    const auto dialog = openDialog();
    QCOMPARE(dialog->lstDB->count(), 2);

    // The other program deleted B and saved C as its start-up connection.
    writeList({record("A", "LITE", "P", 0), record("C", "LITE", "P", 1)});
    dialog->txtInput[0]->setText("SCOTT");
    dialog->txtInput[1]->setText("TIGER");
    dialog->txtInput[2]->setText("LITE");
    dialog->chkInput[0]->setChecked(true);
    dialog->chkInput[1]->setChecked(makeInitial);
    QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);

    QVERIFY(mDialogs->messages.isEmpty());
    QCOMPARE(readBytes(path("DB.ini")), (lines.join("\r\n") + "\r\n\r\n").toUtf8());
    // The lock was released.
    QCOMPARE(QDir(mHome->path()).entryList({"*.lock"}, QDir::Files | QDir::Hidden), QStringList());
}

void tst_Connections::failedOkWritesOnlyAfterDelete_data()
{
    QTest::addColumn<bool>("deleteFirst");
    QTest::addColumn<QByteArray>("file");
    const QString a = record("A", "LITE", "P", 0);
    const QString b = record("B", "LITE", "P", 0);
    QTest::newRow("nothing deleted: file kept") << false << (a + "\r\n" + b + "\r\n\r\n").toUtf8();
    QTest::newRow("deleted: written, failed connection registered")
        << true << (b + "\r\n" + record("X", "NODRIVER", "P", 0) + "\r\n\r\n").toUtf8();
}

void tst_Connections::failedOkWritesOnlyAfterDelete()
{
    QFETCH(bool, deleteFirst);
    QFETCH(QByteArray, file);
    writeList({record("A", "LITE", "P", 0), record("B", "LITE", "P", 0)});
    DB::ConnectDatabase("A", "P", "LITE");
    DB::SetCurrentUserId("A");
    DB::SetCurrentPassword("P");
    DB::SetCurrentServerName("LITE");
    mMain->setWindowTitle(Base + "(A @ LITE)");

    const auto dialog = openDialog();
    if (deleteFirst) {
        QVERIFY(dialog->cmdButton[3]->isEnabled());
        QTest::mouseClick(dialog->cmdButton[3], Qt::LeftButton);
        QVERIFY(!dialog->cmdButton[3]->isEnabled());
    }
    dialog->txtInput[0]->setText("X");
    dialog->txtInput[2]->setText("NODRIVER");
    dialog->chkInput[0]->setChecked(true);
    QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);

    // The reason follows the first line; the connection in use stays.
    QCOMPARE(mDialogs->messages.size(), 1);
    QVERIFY2(mDialogs->messages.first().startsWith("接続失敗|Oracleへの接続を失敗しました。\n")
                 && mDialogs->messages.first().contains("QNOSUCH"),
             qPrintable(mDialogs->messages.first()));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(readBytes(path("DB.ini")), file);
    QCOMPARE(mMain->windowTitle(), Base + "(A @ LITE)");
    QCOMPARE(DB::CurrentUserId(), QString("A"));
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::Open);
    QVERIFY(!SQLEdit::HasConnected);
}

void tst_Connections::cancelKeepsConnectionInUse()
{
    const QByteArray list = (record("A", "LITE", "P", 0) + "\r\n\r\n").toUtf8();
    QVERIFY(writeBytes(path("DB.ini"), list));
    DB::ConnectDatabase("A", "P", "LITE");
    DB::SetCurrentUserId("A");
    DB::SetCurrentPassword("P");
    DB::SetCurrentServerName("LITE");

    DB::BeginTransaction();
    DB::ExecuteStatement("CREATE TABLE pending (x INTEGER)");

    // Test connects apart from the connection in use, which keeps its work;
    // Cancel leaves it so, and the deletion is not saved.
    auto dialog = openDialog();
    QTest::mouseClick(dialog->cmdButton[3], Qt::LeftButton);
    dialog->txtInput[2]->setText("OTHER");
    QTest::mouseClick(dialog->cmdButton[0], Qt::LeftButton);
    QCOMPARE(mDialogs->messages, QStringList({"接続成功|Oracleへの接続が成功しました。"}));
    QTest::mouseClick(dialog->cmdButton[2], Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(readBytes(path("DB.ini")), list);
    QVERIFY(DB::UncommittedChanges());
    DB::ExecuteStatement("SELECT * FROM pending");
    QVERIFY(!Common::LastError::isSet()); // still on lite.db, in the same transaction
    DB::RollbackTransaction();
    DB::DisconnectDatabase();

    // Esc does not close the dialog; the close box cancels as well, and with no
    // connection before, it disconnects.
    DB::SetCurrentUserId(QString());
    dialog = openDialog();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->close());
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::Closed);
}

void tst_Connections::okSettlesPendingWork_data()
{
    QTest::addColumn<int>("answer"); // Common::Dialogs::Answer
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("rows"); // of the pending insert, seen afterwards on LITE

    using Answer = Common::Dialogs::Answer;
    QTest::newRow("yes: committed, then connected") << int(Answer::Yes) << true << 1;
    QTest::newRow("no: rolled back, then connected") << int(Answer::No) << true << 0;
    QTest::newRow("cancel: nothing happens") << int(Answer::Cancel) << false << 0;
}

// Connecting elsewhere with work pending asks first; the dialog stays on Cancel.
void tst_Connections::okSettlesPendingWork()
{
    QFETCH(int, answer);
    QFETCH(bool, connected);
    QFETCH(int, rows);
    DB::ConnectDatabase("A", "P", "LITE");
    DB::ExecuteStatement("CREATE TABLE t (x INTEGER)");
    DB::BeginTransaction();
    DB::ExecuteStatement("INSERT INTO t VALUES (1)");
    QVERIFY(DB::UncommittedChanges());
    mDialogs->answer = Common::Dialogs::Answer(answer);

    const auto dialog = openDialog();
    dialog->txtInput[0]->setText("B");
    dialog->txtInput[1]->setText("P");
    dialog->txtInput[2]->setText("OTHER");
    QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);
    QCOMPARE(mDialogs->questions.size(), 1);
    QVERIFY(mDialogs->questions.first().contains("コミットしていない変更があります。"));
    QCOMPARE(dialog->isVisible(), !connected);
    QCOMPARE(DB::CurrentUserId(), connected ? QString("B") : QString());
    QCOMPARE(DB::UncommittedChanges(), !connected);

    DB::RollbackTransaction();
    DB::ConnectDatabase("A", "P", "LITE");
    const auto count = DB::OpenDynaset("SELECT COUNT(*) FROM t", 0);
    QCOMPARE(count->fields().at(0).value().toInt(), rows);
}

void tst_Connections::sortReselectsCurrentConnection()
{
    writeList({record("SCOTT", "LITE", "P", 0), record("ADMIN", "PG", "Q", 0),
               record("ADMIN", "LITE", "R", 1)});
    DB::SetCurrentUserId("ADMIN");
    DB::SetCurrentPassword("Q");
    DB::SetCurrentServerName("pg");
    const auto dialog = openDialog();
    QCOMPARE(dialog->lstDB->currentRow(), -1); // case matters when the dialog opens

    QTest::mouseClick(dialog->cmdHeader[0], Qt::LeftButton);
    QCOMPARE(dialog->entryRecords(),
             QStringList({record("ADMIN", "LITE", "R", 1), record("ADMIN", "PG", "Q", 0),
                          record("SCOTT", "LITE", "P", 0)}));
    QCOMPARE(dialog->lstDB->currentRow(), 1); // but not after a sort
    QCOMPARE(dialog->txtInput[2]->text(), QString("PG"));
    QVERIFY(dialog->cmdButton[3]->isEnabled());

    QTest::mouseClick(dialog->cmdHeader[1], Qt::LeftButton);
    QCOMPARE(dialog->entryRecord(0), record("ADMIN", "LITE", "R", 1));
    QCOMPARE(dialog->entryRecord(2), record("ADMIN", "PG", "Q", 0));
    QCOMPARE(dialog->lstDB->currentRow(), 2);

    // Without a current connection a sort clears the boxes and the selection.
    DB::SetCurrentUserId(QString());
    DB::SetCurrentPassword(QString());
    DB::SetCurrentServerName(QString());
    dialog->chkInput[1]->setChecked(true);
    QTest::mouseClick(dialog->cmdHeader[0], Qt::LeftButton);
    QVERIFY(dialog->lstDB->selectedItems().isEmpty());
    QVERIFY(dialog->txtInput[0]->text().isEmpty() && dialog->txtInput[1]->text().isEmpty());
    QVERIFY(!dialog->chkInput[1]->isChecked());
}

void tst_Connections::keysInBoxes()
{
    writeList({record("A", "LITE", "P", 0), record("B", "LITE", "Q", 1)});
    const auto dialog = openDialog();
    QLineEdit *user = dialog->txtInput[0];
    QLineEdit *password = dialog->txtInput[1];

    // Typed small letters become capitals, but not in the password; pasted text
    // is left as it is.
    QTest::keyClicks(user, "ab1c");
    QCOMPARE(user->text(), QString("AB1C"));
    QTest::keyClicks(dialog->txtInput[2], "demo");
    QCOMPARE(dialog->txtInput[2]->text(), QString("DEMO"));
    QTest::keyClicks(password, "pW");
    QCOMPARE(password->text(), QString("pW"));
    // Nothing is cut as it is typed: a value too long for DB.ini is said so at OK.
    QCOMPARE(password->maxLength(), 32767);
    QCOMPARE(user->maxLength(), 32767);
    QCOMPARE(dialog->txtInput[2]->maxLength(), 15);
    user->insert("xyz");
    QCOMPARE(user->text(), QString("AB1Cxyz"));
    user->clear();
    QTest::keyClicks(user, "\"MixedCase\"");
    QCOMPARE(user->text(), QString("\"MixedCase\""));
    user->clear();

    // Down with nothing selected takes the first entry, then the next; Up goes back.
    QTest::keyClick(password, Qt::Key_Down);
    QCOMPARE(user->text(), QString("A"));
    QCOMPARE(password->text(), QString("P"));
    QVERIFY(user->hasFocus());
    QTest::keyClick(user, Qt::Key_Down);
    QCOMPARE(user->text(), QString("B"));
    QVERIFY(dialog->chkInput[1]->isChecked());
    QTest::keyClick(user, Qt::Key_Down); // already the last
    QCOMPARE(dialog->lstDB->currentRow(), 1);
    QTest::keyClick(user, Qt::Key_Up);
    QCOMPARE(user->text(), QString("A"));
    QCOMPARE(password->text(), QString("P"));
}

void tst_Connections::testButton_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("rightPassword");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::newRow("sqlite") << "LITE" << true << "接続成功|Oracleへの接続が成功しました。";
    QTest::newRow("postgres") << "PG" << true << "接続成功|Oracleへの接続が成功しました。";
    QTest::newRow("postgres, wrong password")
        << "PG" << false << "接続失敗|Oracleへの接続を失敗しました。\n";
    QTest::newRow("blank box") << "" << true << "";
}

void tst_Connections::testButton()
{
    QFETCH(QString, server);
    QFETCH(bool, rightPassword);
    QFETCH(QString, message);
    if (server == "PG" && mPgUser.isEmpty())
        QFAIL("The PostgreSQL test environment is missing: run the tests through "
              "scripts/with-postgres.");
    const auto dialog = openDialog();
    dialog->txtInput[0]->setText(server == "PG" ? mPgUser : "SCOTT");
    dialog->txtInput[1]->setText(rightPassword ? (server == "PG" ? mPgPassword : "TIGER")
                                               : "WRONG");
    dialog->txtInput[2]->setText(server);
    QTest::mouseClick(dialog->cmdButton[0], Qt::LeftButton);
    const QString shown = mDialogs->messages.join('\n');
    QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.startsWith(message), qPrintable(shown));
    QVERIFY(!shown.contains("WRONG"));
    QVERIFY(dialog->isVisible());
    // The test's own connection is closed again; none was opened for the program.
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::Closed);
}

// Files made by hand or by other programs: the dialog shows what it can, and a
// list that cannot be read or written is reported, never lost.
void tst_Connections::badListFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("kept"); // the file is not replaced at OK

    QTest::newRow("short, long and tabbed lines")
        << QByteArray("A\r\n\tB\tLITE\r\n") + QByteArray(200, 'x') + "\r\n   \r\n"
        << 3 << false;
    QTest::newRow("Shift_JIS") << QByteArray("\x8e\xd0\x88\xf5") + QByteArray(15, ' ') + "LITE\r\n"
                               << 1 << false;
    QTest::newRow("binary") << QByteArray("\x00\xff\x00\xfe SCOTT", 10) << 0 << true;
}

void tst_Connections::badListFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, entries);
    QFETCH(bool, kept);
    QVERIFY(writeBytes(path("DB.ini"), file));
    auto dialog = openDialog();
    QCOMPARE(dialog->lstDB->count(), entries);
    for (int row = 0; row < entries; ++row)
        dialog->lstDB->setCurrentRow(row);
    dialog->txtInput[0]->setText("SCOTT");
    dialog->txtInput[1]->setText("TIGER");
    dialog->txtInput[2]->setText("LITE");
    QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);
    QCOMPARE(readBytes(path("DB.ini")) == file, kept);
    QCOMPARE(mDialogs->messages.size(), kept ? 1 : 0);
    QCOMPARE(mMain->windowTitle(), Base + "(SCOTT @ LITE)");

    // A full disk: connected all the same, and the failure is said.
    mDialogs->messages.clear();
    QVERIFY(writeBytes(path("DB.ini"), "old"));
    dialog = openDialog();
    dialog->txtInput[0]->setText("SCOTT");
    dialog->txtInput[1]->setText("TIGER");
    dialog->txtInput[2]->setText("LITE");
    dialog->chkInput[0]->setChecked(true);
    {
        FileSizeLimit limit(20);
        QVERIFY(limit.isActive());
        QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);
    }
    QCOMPARE(mDialogs->messages.size(), 1);
    QVERIFY2(mDialogs->messages.first().startsWith("ﾃﾞｰﾀﾍﾞｰｽ接続|接続ﾘｽﾄを保存できませんでした。"),
             qPrintable(mDialogs->messages.first()));
    QVERIFY(!mDialogs->messages.first().contains("TIGER"));
    QCOMPARE(readBytes(path("DB.ini")), QByteArray("old"));
    QVERIFY(SQLEdit::HasConnected);
}

void tst_Connections::initialConnection_data()
{
    QTest::addColumn<QStringList>("records"); // empty: no DB.ini
    QTest::addColumn<bool>("raises");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("messages");

    QTest::newRow("no list: tried again later") << QStringList() << true << Base << 0;
    QTest::newRow("none flagged") << QStringList({record("SCOTT", "LITE", "P", 0)}) << false << Base
                                  << 0;
    QTest::newRow("first flagged record") << QStringList(
        {record("A", "LITE", "P", 0), record("SCOTT", "LITE", "P", 1), record("B", "LITE", "P", 1)})
                                          << false << Base + "(SCOTT @ LITE)" << 0;
    QTest::newRow("first flagged fails, no second try")
        << QStringList({record("X", "NODRIVER", "P", 1), record("SCOTT", "LITE", "P", 1)}) << false
        << Base << 1;
}

void tst_Connections::initialConnection()
{
    QFETCH(QStringList, records);
    QFETCH(bool, raises);
    QFETCH(QString, caption);
    QFETCH(int, messages);
    if (!records.isEmpty())
        writeList(records);
    mMain->setWindowTitle(Base);

    QCOMPARE(errorNumber([this] { SQLEdit::OpenInitialConnection(*mMain); }) != 0, raises);
    QCOMPARE(mMain->windowTitle(), caption);
    QCOMPARE(mDialogs->messages.size(), messages);
    if (messages)
        QVERIFY(mDialogs->messages.first().startsWith(
            "初期接続失敗|Oracleへの初期接続に失敗しました。\n"));
    const bool connected = caption != Base;
    QCOMPARE(SQLEdit::HasConnected, connected);
    QCOMPARE(DB::CurrentUserId(), connected ? QString("SCOTT") : QString());
    QCOMPARE(DB::CurrentIsInitial(), qint16(connected));
}

QTEST_MAIN(tst_Connections)

#include "tst_connections.moc"
