#include "../databasetest.h"
#include "../testfiles.h"
#include "common/errors.h"
#include "engine/errors.h"
#include "engine/servers.h"
#include "engine/sqlconnectionname.h"
#include "engine/sqlthread.h"
#include "engine/transactioncontrol.h"
#include "oracle/component.h"
#include "oracle/db.h"
#include "oracle/oo4o.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

/// The connection engine on real servers: the servers of SERVERS.ini and how a
/// login reaches them, the errors of each driver as the program numbers them, the
/// statements that control a transaction, and a connect that never gets an answer.
class tst_Engine : public DatabaseTest
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpServers(); }
    void cleanupTestCase() { tearDownServers(); }
    void cleanup() { resetServers(); }

    void errorNumbers_data();
    void errorNumbers();
    void loginUserId_data();
    void loginUserId();
    void firstStart();
    void serverNames();
    void statementErrors_data();
    void statementErrors();
    void userNames_data();
    void userNames();
    void passwords_data();
    void passwords();
    void transactionControl_data();
    void transactionControl();
    void connectTimeout();
};

// The role that the current connection logged in as.
static QString CurrentUser()
{
    const std::shared_ptr<Ora::Dynaset> dynaset
        = DB::OpenDynaset(QStringLiteral("SELECT current_user"), 0);
    return dynaset && !dynaset->isEof() ? dynaset->fields().at(0).value().toString() : QString();
}

void tst_Engine::errorNumbers_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("number");

    QTest::newRow("sqlstate") << "QPSQL"
                              << "42601" << 6819553;
    QTest::newRow("sqlstate with letters") << "QPSQL"
                                           << "42P01" << 6844177;
    QTest::newRow("postgres without state") << "QPSQL"
                                            << "" << int(Engine::ErrDatabase);
    QTest::newRow("sqlite") << "QSQLITE"
                            << "1" << 1;
    QTest::newRow("sqlite extended") << "QSQLITE"
                                     << "1555" << 1555;
    QTest::newRow("odbc") << "QODBC"
                          << "1" << 1;
    QTest::newRow("odbc without code") << "QODBC"
                                       << "" << int(Engine::ErrDatabase);
    QTest::newRow("oracle") << "QOCI"
                            << "942" << 942;
}

void tst_Engine::errorNumbers()
{
    QFETCH(QString, driver);
    QFETCH(QString, code);
    QFETCH(int, number);

    const QSqlError error(QStringLiteral("driver text"), QStringLiteral("database text\n"),
                          QSqlError::StatementError, code);
    const Common::ErrorInfo info = Engine::ErrorFrom(driver, error);
    QCOMPARE(info.number, number);
    QCOMPARE(info.description, QStringLiteral("database text"));
    QCOMPARE(info.source, driver);
}

void tst_Engine::loginUserId_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("userCase");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected"); // null: the entry is refused

    QTest::newRow("only A-Z fold") << "QPSQL"
                                   << ""
                                   << "ÄRGER_Ｘ"
                                   << "Ärger_Ｘ";
    QTest::newRow("quoted as written") << "QPSQL"
                                       << ""
                                       << "\"Mixed\"\"Case\""
                                       << "Mixed\"Case";
    QTest::newRow("keep") << "QPSQL"
                          << "keep"
                          << "Scott"
                          << "Scott";
    QTest::newRow("odbc keeps") << "QODBC"
                                << ""
                                << "SCOTT"
                                << "SCOTT";
    QTest::newRow("odbc to postgres") << "QODBC"
                                      << "Lower"
                                      << "SCOTT"
                                      << "scott";
    QTest::newRow("quoted under lower") << "QODBC"
                                        << "LOWER"
                                        << "\"SCOTT\""
                                        << "SCOTT";
    QTest::newRow("unknown") << "QPSQL"
                             << "UPPER"
                             << "SCOTT" << QString();
}

void tst_Engine::loginUserId()
{
    QFETCH(QString, driver);
    QFETCH(QString, userCase);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    const std::optional<Engine::ServerEntry> server = Engine::FindServerInText(
        QStringLiteral("[S]\nDRIVER=%1\nUSERCASE=%2\n").arg(driver, userCase), QStringLiteral("S"));
    QVERIFY(server);
    const std::optional<QString> userId = Engine::LoginUserId(*server, typed);
    QCOMPARE(userId.has_value(), !expected.isNull());
    if (userId)
        QCOMPARE(*userId, expected);
}

void tst_Engine::firstStart()
{
    QTemporaryDir home;
    qputenv("KORVANE_HOME", home.path().toUtf8());
    auto restoreHome = qScopeGuard([this] { qputenv("KORVANE_HOME", mHome.path().toUtf8()); });
    const QString serversPath = home.filePath(QStringLiteral("SERVERS.ini"));
    const QString demoPath = home.filePath(QStringLiteral("demo.db"));

    QVERIFY(Engine::CreateServersFileIfMissing());
    QFile servers(serversPath);
    QVERIFY(servers.open(QIODevice::ReadOnly));
    QVERIFY(servers.readAll().contains("\r\n[DEMO]\r\nDRIVER=QSQLITE\r\nDATABASE=demo.db\r\n"));
    servers.close();

    // Any user ID and password will do, and the name's letter case does not matter.
    DB::ConnectDatabase(QStringLiteral("anyone"), QStringLiteral("anything"),
                        QStringLiteral("demo"));
    QVERIFY2(!Common::LastError::isSet(), qPrintable(ErrorText()));
    std::shared_ptr<Ora::Dynaset> dynaset = DB::OpenDynaset(
        QStringLiteral("SELECT E.EMP_NAME, D.DEPT_NAME, E.HIRE_DATE, E.SALARY, E.COMMISSION "
                       "FROM EMPLOYEES E LEFT JOIN DEPARTMENTS D ON D.DEPT_ID = E.DEPT_ID "
                       "ORDER BY E.EMP_ID"),
        0);
    QVERIFY2(dynaset, qPrintable(ErrorText()));
    int rows = 0, nulls = 0;
    for (; !dynaset->isEof(); dynaset->moveNext(), ++rows) {
        const QList<Ora::Field> fields = dynaset->fields();
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields.at(0).name(), QStringLiteral("EMP_NAME"));
        QVERIFY(!fields.at(0).value().toString().isEmpty());
        QVERIFY(!fields.at(3).value().isNull());
        nulls += fields.at(4).value().isNull() + fields.at(1).value().isNull();
    }
    QVERIFY(rows >= 5);
    QVERIFY(nulls > 0);
    dynaset.reset();
    DB::DisconnectDatabase();

    // Existing files are never replaced: an edited SERVERS.ini stays, and so does
    // a demo.db with changed rows when only SERVERS.ini went missing.
    QVERIFY(QFile::remove(serversPath));
    {
        Engine::SqlConnectionName name;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name.name());
        db.setDatabaseName(demoPath);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("DELETE FROM EMPLOYEES")));
        db.close();
    }
    QVERIFY(Engine::CreateServersFileIfMissing());
    QVERIFY(QFile::exists(serversPath));
    connect(QStringLiteral("DEMO"));
    dynaset = DB::OpenDynaset(QStringLiteral("SELECT * FROM EMPLOYEES"), 0);
    QVERIFY(dynaset && dynaset->isEof());
    dynaset.reset();
    DB::DisconnectDatabase();

    QVERIFY(servers.open(QIODevice::WriteOnly));
    servers.write("[MINE]\r\nDRIVER=QSQLITE\r\n");
    servers.close();
    QVERIFY(Engine::CreateServersFileIfMissing());
    QVERIFY(servers.open(QIODevice::ReadOnly));
    QCOMPARE(servers.readAll(), QByteArray("[MINE]\r\nDRIVER=QSQLITE\r\n"));
    servers.close();

    // A folder that cannot be made (its parent is a file) gives false, not a crash.
    QFile blocker(home.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("KORVANE_HOME", (blocker.fileName() + QStringLiteral("/sub")).toUtf8());
    QVERIFY(!Engine::CreateServersFileIfMissing());
}

void tst_Engine::serverNames()
{
    QVERIFY_THROWS_EXCEPTION(Common::RuntimeError,
                             Ora::CreateObject(QStringLiteral("Other.Thing")));

    oo4o session;
    session.SetServerName(QStringLiteral("nosuch_db"));
    session.oraDBOpen();
    QVERIFY(Common::LastError::isSet());
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QOCI"))) {
        QCOMPARE(Common::LastError::get().number, int(Engine::ErrServerNotResolved));
        QVERIFY2(Common::LastError::get().description.contains(QStringLiteral("「nosuch_db」")),
                 qPrintable(ErrorText()));
    }
    QCOMPARE(session.state(), oo4o::State::HalfOpen);

    session.SetServerName(QStringLiteral("NODRIVER"));
    session.oraDBOpen();
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrCannotCreateObject));
    QVERIFY2(Common::LastError::get().description.contains(QStringLiteral("QNOSUCH")),
             qPrintable(ErrorText()));

    session.SetServerName(QStringLiteral("lItE"));
    session.oraDBOpen();
    QVERIFY2(!Common::LastError::isSet(), qPrintable(ErrorText()));
    QCOMPARE(session.state(), oo4o::State::Open);

    // A name with two sections uses the first (lite.db), whatever the letter case.
    session.SetServerName(QStringLiteral("twice"));
    session.oraDBOpen();
    QVERIFY2(!Common::LastError::isSet(), qPrintable(ErrorText()));
    QVERIFY2(session.oraGetExecute(QStringLiteral("SELECT id FROM t_lite"), 0),
             qPrintable(ErrorText()));
}

void tst_Engine::statementErrors_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("number");
    QTest::newRow("sqlite") << "LITE" << 1;
    QTest::newRow("postgres") << "PG" << 6819553; // SQLSTATE 42601
    QTest::newRow("odbc") << "ODBC" << 1;
}

void tst_Engine::statementErrors()
{
    QFETCH(QString, server);
    QFETCH(int, number);
    REQUIRE_POSTGRES(server);
    const QString driver = server == QLatin1String("LITE") ? QStringLiteral("QSQLITE")
                           : server == QLatin1String("PG") ? QStringLiteral("QPSQL")
                                                           : QStringLiteral("QODBC");
    connect(server);
    VERIFY_NO_ERROR();
    for (int query = 0; query < 2; ++query) {
        if (query)
            QVERIFY(!DB::OpenDynaset(QStringLiteral("selec 1"), 0));
        else
            DB::ExecuteStatement(QStringLiteral("selec 1"));
        const Common::ErrorInfo error = Common::LastError::get();
        QCOMPARE(error.number, number);
        QCOMPARE(error.source, driver);
        QVERIFY2(error.description.contains(QStringLiteral("syntax error")),
                 qPrintable(ErrorText()));
    }
    // A good statement right after clears the error state.
    DB::ExecuteStatement(QStringLiteral("DELETE FROM ") + tableFor(server));
    VERIFY_NO_ERROR();
}

void tst_Engine::userNames_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("postgres") << "PG";
    QTest::newRow("odbc") << "ODBC";
}

// The connection dialog sends the user ID in capitals.
void tst_Engine::userNames()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    const QString password = QStringLiteral("mixed-pw");
    QVERIFY(observe(server,
                    QStringLiteral("ALTER ROLE \"%1\" PASSWORD '%2'").arg(MixedRole, password)));

    DB::ConnectDatabase(mPgUser.toUpper(), mPgPassword, server);
    VERIFY_NO_ERROR();
    QCOMPARE(CurrentUser(), mPgUser);

    // In double quotes the name keeps its capitals.
    DB::ConnectDatabase(QLatin1Char('"') + MixedRole + QLatin1Char('"'), password, server);
    VERIFY_NO_ERROR();
    QCOMPARE(CurrentUser(), MixedRole);

    // Without them it is folded, and no role has the folded name.
    DB::ConnectDatabase(MixedRole.toUpper(), password, server);
    const QString description = Common::LastError::get().description;
    QVERIFY2(description.contains(QLatin1Char('"') + MixedRole.toLower() + QLatin1Char('"')),
             qPrintable(ErrorText()));
    QVERIFY2(!description.contains(password), qPrintable(ErrorText()));
}

void tst_Engine::passwords_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");

    // psqlODBC reads '+' and %41 in an unquoted password as a space and 'A'; QODBC
    // reads a database name with SERVER= or ".dsn" in it differently.
    const QStringList passwords
        = {QStringLiteral("a;b"),   QStringLiteral("{x}=y"),
           QStringLiteral("p/w d"), QStringLiteral("パス;ワード"),
           QStringLiteral("}}"),    QStringLiteral("it's+%41\\ Server=a.dsn")};
    for (const char *server : {"PG", "ODBC"}) {
        for (const QString &password : passwords)
            QTest::addRow("%s %s", server, qUtf8Printable(password)) << server << password;
    }
    QTest::newRow("ODBC connection string") << "ODBCSTR" << passwords.at(3);
}

void tst_Engine::passwords()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    REQUIRE_POSTGRES(server);
    QString literal = password;
    QVERIFY(observe(server,
                    QStringLiteral("ALTER ROLE \"%1\" PASSWORD '%2'")
                        .arg(MixedRole, literal.replace(QLatin1Char('\''), QLatin1String("''")))));
    const QString userId = QLatin1Char('"') + MixedRole + QLatin1Char('"');

    DB::ConnectDatabase(userId, password, server);
    VERIFY_NO_ERROR();
    QCOMPARE(CurrentUser(), MixedRole);

    DB::ConnectDatabase(userId, password + QLatin1Char('x'), server);
    const QString description = Common::LastError::get().description;
    QVERIFY2(description.contains(QStringLiteral("password authentication failed")),
             qPrintable(ErrorText()));
    QVERIFY2(!description.contains(password), qPrintable(ErrorText()));
}

void tst_Engine::transactionControl_data()
{
    using Engine::TransactionControl;
    QTest::addColumn<QString>("sql");
    QTest::addColumn<TransactionControl>("control");
    const QList<std::pair<const char *, TransactionControl>> rows = {
        {"begin", TransactionControl::Begin},
        {" -- first\n/* then */ Begin Transaction;", TransactionControl::Begin},
        {"start transaction read only", TransactionControl::Begin},
        {"BEGIN NULL; END;", TransactionControl::None}, // a PL/SQL block
        {"begin_date", TransactionControl::None},
        {"commit work;", TransactionControl::Commit},
        {"END IF", TransactionControl::None},
        {"rollback", TransactionControl::Rollback},
        {"Abort", TransactionControl::Rollback},
        {"rollback work to savepoint a", TransactionControl::Savepoint},
        {"savepoint a", TransactionControl::Savepoint},
        {"/* unclosed comment begin", TransactionControl::None},
        {"select 'commit'", TransactionControl::None},
        {"insert into t values (1); commit", TransactionControl::None},
    };
    for (const auto &[sql, control] : rows)
        QTest::newRow(sql) << QString::fromUtf8(sql) << control;
}

void tst_Engine::transactionControl()
{
    QFETCH(QString, sql);
    QFETCH(Engine::TransactionControl, control);
    QCOMPARE(Engine::ClassifyTransactionControl(sql), control);
}

namespace {

// A wait that gives up once asked to, or after a time that only a hang reaches.
class GiveUpWait final : public Engine::StatementWait
{
public:
    explicit GiveUpWait(bool giveUp)
        : mGiveUp(giveUp)
    {
        mTimer.start();
    }
    bool poll(const Engine::RunningStatement &) override
    {
        return mGiveUp || mTimer.elapsed() > 60000;
    }

private:
    bool mGiveUp;
    QElapsedTimer mTimer;
};

} // namespace

// A server that accepts the connection but never answers: the connect ends
// after CONNECT_TIMEOUT, or at once when given up, and the working connection
// stays open with its work either way.
void tst_Engine::connectTimeout()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    auto closeListener = qScopeGuard([listener] { close(listener); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
    QVERIFY(listen(listener, 4) == 0);
    QVERIFY(getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    QFile servers(Engine::ServersFilePath());
    QVERIFY(servers.open(QIODevice::Append));
    servers.write(
        QStringLiteral("[HANG]\r\nDRIVER=QPSQL\r\nDATABASE=x\r\nHOST=127.0.0.1\r\n"
                       "PORT=%1\r\nCONNECT_TIMEOUT=1\r\n"
                       "[HANGODBC]\r\nDRIVER=QODBC\r\nCONNECT_TIMEOUT=1\r\nDATABASE="
                       "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=%1;DATABASE=x\r\n")
            .arg(ntohs(address.sin_port))
            .toUtf8());
    servers.close();
    QCOMPARE(Engine::FindServer(QStringLiteral("HANG"))->connectTimeout, 1);
    QCOMPARE(Engine::FindServerInText(QStringLiteral("[A]\r\nCONNECT_TIMEOUT=soon\r\n"),
                                      QStringLiteral("A"))
                 ->connectTimeout,
             Engine::DefaultConnectTimeout);

    connect(QStringLiteral("LITE"));
    DB::BeginTransaction();
    DB::ExecuteStatement(QStringLiteral("INSERT INTO t_lite VALUES (1, 'kept')"));
    VERIFY_NO_ERROR();
    for (const auto &[server, giveUp] :
         {std::pair{"HANG", false}, std::pair{"HANGODBC", false}, std::pair{"HANG", true}}) {
        GiveUpWait wait(giveUp);
        const Engine::ScopedStatementWait waiting(wait);
        DB::ConnectDatabase(QStringLiteral("x"), QStringLiteral("y"), QLatin1String(server));
        const Common::ErrorInfo error = Common::LastError::get();
        if (giveUp)
            QCOMPARE(error.number, int(Engine::ErrConnectAbandoned));
        else
            QVERIFY2(error.description.contains(QStringLiteral("timeout")),
                     qPrintable(ErrorText()));
        QCOMPARE(DB::CurrentSession().state(), oo4o::State::Open);
        QVERIFY(DB::UncommittedChanges());
    }
    // The connect given up ends in the background, within its timeout.
    QVERIFY(Engine::SqlThread::waitForReleased(std::chrono::seconds(30)));
    DB::CommitTransaction();
    QCOMPARE(countRows(QStringLiteral("LITE")), 1);
}

QTEST_GUILESS_MAIN(tst_Engine)
#include "tst_engine.moc"
