#include "../fakedialogs.h"
#include "../fakepasswordstore.h"
#include "../testservers.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "connectionrecords.h"
#include "connections/frmdb.h"
#include "connections/initialconnection.h"
#include "connections/passwordstore.h"
#include "oracle/db.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Connections;
using Status = PasswordStore::Status;

/// Saved passwords in the desktop keyring: the real Secret Service that
/// scripts/with-keyring starts, and the dialog's answers to a keyring that fails.
class tst_Keyring : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void storeReadDelete();
    void missingKeyring();
    void missingKeyringInChild();
    void lockedKeyring();
    void lockedKeyringInChild();
    void oldListMovesIntoKeyring();
    void passwordNotFromKeyring_data();
    void passwordNotFromKeyring();
    void longValuesOnPostgres_data();
    void longValuesOnPostgres();
    void initialConnectionFromKeyring_data();
    void initialConnectionFromKeyring();

private:
    QString path(const QString &name) const { return mHome->filePath(name); }
    void writeList(const QStringList &records);
    [[nodiscard]] bool useRealKeyring();
    std::unique_ptr<frmDB> openDialog();
    void clickOk(frmDB &dialog);

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<KeychainStore> mKeyring;
    std::unique_ptr<frmMain> mMain;
};

// Entries of a service of the test's own, never the user's "korvane" ones.
const QString TestService
    = QStringLiteral("korvane-test-%1").arg(QCoreApplication::applicationPid());

void tst_Keyring::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toUtf8());
    QVERIFY(writeTestServers(mHome->path()));
    mDialogs = std::make_unique<FakeDialogs>();
    SQLEdit::InitGlobals();
    SQLEdit::BaseCaption = Base;
    mMain = std::make_unique<frmMain>();
    mMain->openInitialConnection = [] { return false; };
}

void tst_Keyring::cleanup()
{
    mMain.reset();
    mDialogs.reset();
    PasswordStore::install(nullptr);
    mKeyring.reset();
    forgetConnection();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Keyring::writeList(const QStringList &records)
{
    QVERIFY(writeBytes(path("DB.ini"), (records.join("\r\n") + "\r\n\r\n").toUtf8()));
}

// Installs the Secret Service under the test's service name; outside
// scripts/with-keyring a missing one skips the test. False: the test is to return.
bool tst_Keyring::useRealKeyring()
{
    mKeyring = std::make_unique<KeychainStore>(TestService, 30000);
    if (!mKeyring->isAvailable()) {
        if (qEnvironmentVariableIsSet("KORVANE_TEST_KEYRING"))
            [] { QFAIL("scripts/with-keyring started a keyring, but none answers on the bus"); }();
        else
            [] {
                QSKIP("No Secret Service on the session bus: run the tests through "
                      "scripts/with-keyring");
            }();
        return false;
    }
    PasswordStore::install(mKeyring.get());
    return true;
}

std::unique_ptr<frmDB> tst_Keyring::openDialog()
{
    auto dialog = std::make_unique<frmDB>(mMain.get(), mMain->dialogPlacement(5));
    dialog->show();
    return dialog;
}

void tst_Keyring::clickOk(frmDB &dialog)
{
    QTest::mouseClick(dialog.cmdButton[1], Qt::LeftButton);
}

void tst_Keyring::storeReadDelete()
{
    if (!useRealKeyring())
        return;
    const QString key = PasswordKey("SCOTT", "LITE");
    const QString password = QString(60, 'p') + "パスワード";
    QCOMPARE(mKeyring->store(key, password).status, Status::Ok);
    const PasswordStore::Result read = mKeyring->read(key);
    QCOMPARE(read.status, Status::Ok);
    QCOMPARE(read.password, password);
    QCOMPARE(mKeyring->read(PasswordKey("SCOTT", "PG")).status, Status::NotFound);
    QCOMPARE(mKeyring->remove(key).status, Status::Ok);
    QCOMPARE(mKeyring->read(key).status, Status::NotFound);
    QCOMPARE(mKeyring->remove(key).status, Status::Ok); // already gone
}

// A session bus with no keyring on it: the test runs itself again with the bus
// address pointing at nothing (this process's own bus connection cannot be undone).
void tst_Keyring::missingKeyring()
{
    QTemporaryDir nowhere;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + nowhere.filePath("no-bus"));
    environment.insert("KORVANE_TEST_MISSING_KEYRING", "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"missingKeyringInChild"});
    QVERIFY(child.waitForFinished(240000));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(output));
    QVERIFY2(output.contains("PASS   : tst_Keyring::missingKeyringInChild"), qPrintable(output));
}

void tst_Keyring::missingKeyringInChild()
{
    if (!qEnvironmentVariableIsSet("KORVANE_TEST_MISSING_KEYRING"))
        QSKIP("Run by missingKeyring, without a keyring");
    KeychainStore keyring(TestService, 30000);
    QVERIFY(!keyring.isAvailable());
    const PasswordStore::Result stored = keyring.store(PasswordKey("SCOTT", "LITE"), "TIGER");
    QVERIFY(!stored.ok());
    QVERIFY(!stored.detail.contains("TIGER"));

    // The dialog's box is off and says why; OK keeps the password in the file.
    writeList({record("SCOTT", "LITE", "", 0)});
    const auto dialog = openDialog();
    QVERIFY(!dialog->chkInput[2]->isEnabled());
    QVERIFY(!dialog->chkInput[2]->isChecked());
    QVERIFY(dialog->chkInput[2]->toolTip().contains("キーリング"));
    QTest::keyClick(dialog->txtInput[0], Qt::Key_Down);
    QCOMPARE(dialog->txtInput[0]->text(), QString("SCOTT"));
    QVERIFY(dialog->txtInput[1]->text().isEmpty());
    QVERIFY(dialog->txtInput[1]->placeholderText().startsWith("キーリングが使えません。"));
}

// A locked keyring whose unlock is refused: a keyring of its own, started by
// scripts/with-keyring for a second run of this test, is locked, and its prompt
// to unlock it has no display, which refuses the unlock.
void tst_Keyring::lockedKeyring()
{
    for (const char *tool : {"dbus-run-session", "gnome-keyring-daemon"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed: run scripts/setup").arg(tool)));
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KORVANE_TEST_LOCKED_KEYRING", "1");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(KORVANE_SOURCE_DIR "/scripts/with-keyring",
                {QCoreApplication::applicationFilePath(), "lockedKeyringInChild"});
    QVERIFY(child.waitForFinished(240000));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(output));
    QVERIFY2(output.contains("PASS   : tst_Keyring::lockedKeyringInChild"), qPrintable(output));
}

void tst_Keyring::lockedKeyringInChild()
{
    if (!qEnvironmentVariableIsSet("KORVANE_TEST_LOCKED_KEYRING"))
        QSKIP("Run by lockedKeyring, in a keyring of its own");
    if (!useRealKeyring())
        return;
    QCOMPARE(mKeyring->store(PasswordKey("SCOTT", "LITE"), "TIGER").status, Status::Ok);
    QDBusMessage lock
        = QDBusMessage::createMethodCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                                         "org.freedesktop.Secret.Service", "Lock");
    lock << QVariant::fromValue(
        QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")});
    const QDBusMessage locked = QDBusConnection::sessionBus().call(lock);
    QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));

    // Said as a refused unlock, not as an entry that is gone.
    const PasswordStore::Result read = mKeyring->read(PasswordKey("SCOTT", "LITE"));
    QCOMPARE(read.status, Status::Refused);
    QVERIFY(read.password.isEmpty());
    const PasswordStore::Result stored = mKeyring->store(PasswordKey("ADMIN", "LITE"), "SECRET");
    QVERIFY2(!stored.ok(), "stored in a locked keyring");
    QVERIFY(!stored.detail.contains("SECRET"));

    writeList({record("SCOTT", "LITE", "", 0)});
    const auto dialog = openDialog();
    QApplication::setActiveWindow(dialog.get());
    QTest::keyClick(dialog->txtInput[0], Qt::Key_Down);
    QVERIFY(dialog->txtInput[1]->text().isEmpty());
    QCOMPARE(dialog->txtInput[1]->placeholderText(),
             PasswordStoreFailureText(read) + "パスワードを入力してください。");
    QCOMPARE(QApplication::focusWidget(), dialog->txtInput[1]);
}

// An old DB.ini with passwords in it works as before; OK with the box ticked
// moves the connection's password into the keyring and blanks the file's field
// only; the list then reads it back; deleting the connection deletes the entry.
void tst_Keyring::oldListMovesIntoKeyring()
{
    if (!useRealKeyring())
        return;
    const QString scott = record("SCOTT", "LITE", "TIGER", 0);
    const QString admin = record("ADMIN", "LITE", "SECRET", 1);
    writeList({scott, admin});
    {
        const auto dialog = openDialog();
        QVERIFY(dialog->chkInput[2]->isEnabled());
        QVERIFY(dialog->chkInput[2]->isChecked());
        QTest::keyClick(dialog->txtInput[0], Qt::Key_Down);
        QCOMPARE(dialog->txtInput[1]->text(), QString("TIGER"));
        dialog->chkInput[0]->setChecked(true);
        clickOk(*dialog);
    }
    QVERIFY2(mDialogs->messages.isEmpty(), qPrintable(mDialogs->messages.join('\n')));
    QCOMPARE(readBytes(path("DB.ini")),
             (record("SCOTT", "LITE", "", 0) + "\r\n" + admin + "\r\n\r\n").toUtf8());
    QCOMPARE(mKeyring->read(PasswordKey("SCOTT", "LITE")).password, QString("TIGER"));

    // The connection in use is found in the list by its keyring record, which
    // gives the password back.
    {
        const auto dialog = openDialog();
        QCOMPARE(dialog->lstDB->currentRow(), 0);
        QCOMPARE(dialog->txtInput[0]->text(), QString("SCOTT"));
        QCOMPARE(dialog->txtInput[1]->text(), QString("TIGER"));
        QTest::mouseClick(dialog->cmdButton[3], Qt::LeftButton);
        dialog->txtInput[0]->setText("ADMIN");
        dialog->txtInput[1]->setText("SECRET");
        dialog->chkInput[1]->setChecked(true);
        dialog->chkInput[2]->setChecked(false);
        clickOk(*dialog);
    }
    QCOMPARE(readBytes(path("DB.ini")), (admin + "\r\n\r\n").toUtf8());
    QCOMPARE(mKeyring->read(PasswordKey("SCOTT", "LITE")).status, Status::NotFound);
}

// A saved connection whose password the keyring cannot give: the box is left
// empty, focused, and says why.
void tst_Keyring::passwordNotFromKeyring_data()
{
    QTest::addColumn<bool>("real");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("why");

    QTest::newRow("entry gone") << true << int(Status::Ok)
                                << "キーリングにパスワードがありません。";
    QTest::newRow("unlock refused")
        << false << int(Status::Refused) << "キーリングのロックが解除されませんでした。";
    QTest::newRow("keyring fails")
        << false << int(Status::Failed) << "キーリングを使えませんでした：fake";
}

void tst_Keyring::passwordNotFromKeyring()
{
    QFETCH(bool, real);
    QFETCH(int, failure);
    QFETCH(QString, why);
    FakePasswordStore fake(true);
    fake.failure = Status(failure);
    if (real)
        if (!useRealKeyring())
            return;
    writeList({record("GONE", "LITE", "", 0)});
    const auto dialog = openDialog();
    QApplication::setActiveWindow(dialog.get());
    QTest::keyClick(dialog->txtInput[0], Qt::Key_Down);
    QCOMPARE(dialog->txtInput[0]->text(), QString("GONE"));
    QVERIFY(dialog->txtInput[1]->text().isEmpty());
    QCOMPARE(dialog->txtInput[1]->placeholderText(), why + "パスワードを入力してください。");
    QCOMPARE(QApplication::focusWidget(), dialog->txtInput[1]);

    // Typing it in and OK: a keyring that cannot store it is said so, and the
    // password never goes into the file instead.
    if (!real) {
        dialog->txtInput[1]->setText("NEWPASSWORD");
        clickOk(*dialog);
        QCOMPARE(mDialogs->messages.size(), 1);
        QVERIFY(mDialogs->messages.first().startsWith(
            "接続ﾘｽﾄ|パスワードをキーリングに保存できませんでした。"));
        QVERIFY(!readBytes(path("DB.ini")).contains("NEWPASSWORD"));
    }
}

// Values longer than DB.ini's fields connect and are never cut: a user ID too
// long is not listed; a password too long is kept in the keyring only.
void tst_Keyring::longValuesOnPostgres_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("keyring");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("message");

    const QString longRole = "kv_" + QString(37, 'r');
    QTest::newRow("40-character role")
        << longRole << true << false << "接続ﾘｽﾄ|ユーザーIDが15文字を超えるため";
    QTest::newRow("64-character password in the keyring") << "kv_long_pw" << true << true << "";
    QTest::newRow("64-character password, no keyring")
        << "kv_long_pw" << false << false << "接続ﾘｽﾄ|パスワードが16文字を超えるため";
}

void tst_Keyring::longValuesOnPostgres()
{
    QFETCH(QString, role);
    QFETCH(bool, keyring);
    QFETCH(bool, listed);
    QFETCH(QString, message);
    if (testPostgresValue("USER").isEmpty())
        QFAIL("The PostgreSQL test environment is missing: run the tests through "
              "scripts/with-postgres.");
    FakePasswordStore noKeyring(false);
    if (keyring)
        if (!useRealKeyring())
            return;
    const QString password = QString(32, 'x') + QString(32, 'Y');
    {
        QSqlDatabase admin = testPostgres("keyring-admin");
        QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
        QSqlQuery query(admin);
        query.exec(QString("DROP ROLE IF EXISTS %1").arg(role));
        QVERIFY2(query.exec(QString("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, password)),
                 qPrintable(query.lastError().text()));
        admin.close();
    }
    QSqlDatabase::removeDatabase("keyring-admin");

    {
        const auto dialog = openDialog();
        QCOMPARE(dialog->chkInput[2]->isChecked(), keyring);
        dialog->txtInput[0]->setText(role.toUpper());
        dialog->txtInput[1]->setText(password);
        dialog->txtInput[2]->setText("PG");
        dialog->chkInput[0]->setChecked(true);
        clickOk(*dialog);
    }
    const bool connected = !Common::LastError::isSet();
    const QString shown = mDialogs->messages.join('\n');
    DB::DisconnectDatabase();
    {
        QSqlDatabase admin = testPostgres("keyring-admin");
        if (admin.open())
            QSqlQuery(admin).exec(QString("DROP ROLE IF EXISTS %1").arg(role));
        admin.close();
    }
    QSqlDatabase::removeDatabase("keyring-admin");

    QVERIFY2(connected, qPrintable(shown));
    QCOMPARE(DB::CurrentUserId(), role.toUpper());
    QCOMPARE(DB::CurrentPassword(), password);
    QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.startsWith(message), qPrintable(shown));
    QVERIFY(!shown.contains(password));
    const QByteArray file = readBytes(path("DB.ini"));
    QVERIFY(!file.contains(password.left(16).toUtf8()));
    QCOMPARE(file, listed ? (record(role.toUpper(), "PG", "", 0) + "\r\n\r\n").toUtf8()
                          : QByteArray("\r\n"));
    if (keyring && listed) {
        QCOMPARE(mKeyring->read(PasswordKey(role.toUpper(), "PG")).password, password);
        QCOMPARE(mKeyring->remove(PasswordKey(role.toUpper(), "PG")).status, Status::Ok);
    }
}

// The start-up connection of a record without a password reads it from the
// keyring; without it, a message says why and nothing is connected.
void tst_Keyring::initialConnectionFromKeyring_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("caption");

    QTest::newRow("in the keyring") << true << Base + "(SCOTT @ LITE)";
    QTest::newRow("entry gone") << false << Base;
}

void tst_Keyring::initialConnectionFromKeyring()
{
    QFETCH(bool, saved);
    QFETCH(QString, caption);
    if (!useRealKeyring())
        return;
    writeList({record("SCOTT", "LITE", "", 1)});
    if (saved)
        QCOMPARE(mKeyring->store(PasswordKey("SCOTT", "LITE"), "TIGER").status, Status::Ok);
    mMain->setWindowTitle(Base);

    SQLEdit::OpenInitialConnection(*mMain);
    mKeyring->remove(PasswordKey("SCOTT", "LITE"));
    QCOMPARE(mMain->windowTitle(), caption);
    QCOMPARE(DB::CurrentPassword(), saved ? QString("TIGER") : QString());
    QCOMPARE(mDialogs->messages.size(), saved ? 0 : 1);
    if (!saved)
        QCOMPARE(mDialogs->messages.first(),
                 QString("初期接続失敗|初期接続のパスワードを取得できませんでした。\n"
                         "キーリングにパスワードがありません。\n"
                         "接続ダイアログでパスワードを入力してください。"));
}

QTEST_MAIN(tst_Keyring)
#include "tst_keyring.moc"
