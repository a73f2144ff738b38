#include "common/errors.h"
#include "engine/errors.h"
#include "engine/rowsink.h"
#include "engine/servers.h"
#include "engine/sqlconnectionname.h"
#include "engine/sqlthread.h"
#include "engine/transactioncontrol.h"
#include "exec/cellvalue.h"
#include "oracle/component.h"
#include "oracle/db.h"
#include "oracle/oo4o.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The database layer against real servers: SQLite files in a temporary folder, and
// the PostgreSQL server that scripts/with-postgres starts, reached through QPSQL
// and through psqlODBC. Tables t_lite, t_pg and t_odbc belong to the servers LITE,
// PG and ODBC; a second connection of the test's own checks what others can see.
class tst_Oracle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void errorNumbers_data();
    void errorNumbers();
    void connectString();
    void loginUserId_data();
    void loginUserId();
    void firstStart();
    void serverNames();
    void sessionStates();
    void dbRoutines();
    void transactions_data();
    void transactions();
    void failedStatementKeepsTransaction_data();
    void failedStatementKeepsTransaction();
    void failedCommitKeepsTransaction();
    void statementErrors_data();
    void statementErrors();
    void wrongPassword_data();
    void wrongPassword();
    void userNames_data();
    void userNames();
    void passwords_data();
    void passwords();
    void dynasetFields_data();
    void dynasetFields();
    void bulkReadMatchesRowByRow_data();
    void bulkReadMatchesRowByRow();
    void stoppedQuery_data();
    void stoppedQuery();
    void lostConnection();
    void transactionControl_data();
    void transactionControl();
    void connectTimeout();

private:
    bool hasPostgres() const { return !mPgPort.isEmpty(); }
    bool needsMissingPostgres(const QString &server) const
    {
        return server != QLatin1String("LITE") && !hasPostgres();
    }
    QString userFor(const QString &server) const
    {
        return server == QLatin1String("LITE") ? QStringLiteral("scott") : mPgUser;
    }
    QString passwordFor(const QString &server) const
    {
        return server == QLatin1String("LITE") ? QStringLiteral("tiger") : mPgPassword;
    }
    static QString tableFor(const QString &server)
    {
        return QStringLiteral("t_") + server.toLower();
    }
    bool observe(const QString &server, const QString &sql, int *count = nullptr) const;
    int countRows(const QString &server) const;
    void connect(const QString &server);

    QTemporaryDir mHome;
    QString mPgHost, mPgPort, mPgUser, mPgPassword, mPgDatabase, mOdbcDsn, mPgCtl;
};

// CI always provides the server: its absence is a failure, not a reason to skip.
#define REQUIRE_POSTGRES(server)                                                                   \
    do {                                                                                           \
        if (needsMissingPostgres(server))                                                          \
            QFAIL("The PostgreSQL test environment is missing: run the tests through "             \
                  "scripts/with-postgres (KORVANE_TEST_PG_* are not set).");                       \
    } while (false)

// A role of the tests' own, whose name needs double quotes on PostgreSQL.
static const QString MixedRole = QStringLiteral("Mixed Case=1");

#define VERIFY_NO_ERROR()                                                                          \
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description))

static QString ErrorText()
{
    const Common::ErrorInfo error = Common::LastError::get();
    return QStringLiteral("%1 %2 (%3)").arg(error.number).arg(error.description, error.source);
}

static int ThrownNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Common::RuntimeError &error) {
        return error.number();
    }
    return 0;
}

// The role that the current connection logged in as.
static QString CurrentUser()
{
    const std::shared_ptr<Ora::Dynaset> dynaset
        = DB::OpenDynaset(QStringLiteral("SELECT current_user"), 0);
    return dynaset && !dynaset->isEof() ? dynaset->fields().at(0).value().toString() : QString();
}

static int ReadAll(Ora::Dynaset &dynaset)
{
    int rows = 0;
    for (; !dynaset.isEof(); dynaset.moveNext())
        ++rows;
    return rows;
}

void tst_Oracle::initTestCase()
{
    QVERIFY(mHome.isValid());
    qputenv("KORVANE_HOME", mHome.path().toUtf8());
    mPgHost = qEnvironmentVariable("KORVANE_TEST_PG_HOST");
    mPgPort = qEnvironmentVariable("KORVANE_TEST_PG_PORT");
    mPgUser = qEnvironmentVariable("KORVANE_TEST_PG_USER");
    mPgPassword = qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD");
    mPgDatabase = qEnvironmentVariable("KORVANE_TEST_PG_DATABASE");
    mOdbcDsn = qEnvironmentVariable("KORVANE_TEST_ODBC_DSN");
    mPgCtl = qEnvironmentVariable("KORVANE_TEST_PG_CTL");

    QFile servers(Engine::ServersFilePath());
    QVERIFY(servers.open(QIODevice::WriteOnly));
    // TWICE has two sections, of which the first counts; NOWAIT is LITE without
    // waiting for locks. ODBCSTR reaches the ODBC data source through a connection string.
    servers.write(QStringLiteral("[Lite]\r\nDRIVER=QSQLITE\r\nDATABASE=lite.db\r\n"
                                 "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%1\r\nHOST=%2\r\nPORT=%3\r\n"
                                 "[ODBC]\r\nDRIVER=QODBC\r\nDATABASE=%4\r\nUSERCASE=LOWER\r\n"
                                 "[ODBCSTR]\r\nDRIVER=QODBC\r\nDATABASE=DSN=%4;Port=%3\r\n"
                                 "[NODRIVER]\r\nDRIVER=QNOSUCH\r\nDATABASE=x\r\n"
                                 "[Twice]\r\nDRIVER=QSQLITE\r\nDATABASE=lite.db\r\n"
                                 "[NOWAIT]\r\nDRIVER=QSQLITE\r\nDATABASE=lite.db\r\n"
                                 "OPTIONS=QSQLITE_BUSY_TIMEOUT=0\r\n"
                                 "[TWICE]\r\nDRIVER=QSQLITE\r\nDATABASE=twice.db\r\n")
                      .arg(mPgDatabase, mPgHost, mPgPort, mOdbcDsn)
                      .toUtf8());
    servers.close();

    QStringList names = {QStringLiteral("LITE")};
    if (hasPostgres())
        names << QStringLiteral("PG") << QStringLiteral("ODBC");
    for (const QString &server : names) {
        const QString table = tableFor(server);
        QVERIFY(observe(server, QStringLiteral("DROP TABLE IF EXISTS ") + table));
        QVERIFY(observe(server, QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, name "
                                               "VARCHAR(20))")
                                    .arg(table)));
    }
    if (hasPostgres()) {
        const QString role = QStringLiteral("\"%1\"").arg(MixedRole);
        QVERIFY(observe(QStringLiteral("PG"), QStringLiteral("CREATE ROLE %1 LOGIN").arg(role)));
        QVERIFY(observe(
            QStringLiteral("PG"),
            QStringLiteral("GRANT CONNECT ON DATABASE \"%1\" TO %2").arg(mPgDatabase, role)));
    }
}

void tst_Oracle::cleanupTestCase()
{
    if (!hasPostgres())
        return;
    const QString role = QStringLiteral("\"%1\"").arg(MixedRole);
    observe(QStringLiteral("PG"),
            QStringLiteral("REVOKE CONNECT ON DATABASE \"%1\" FROM %2").arg(mPgDatabase, role));
    QVERIFY(observe(QStringLiteral("PG"), QStringLiteral("DROP ROLE ") + role));
}

void tst_Oracle::cleanup()
{
    try {
        DB::DisconnectDatabase();
    } catch (const Common::RuntimeError &) {
    }
    Common::LastError::clear();
    observe(QStringLiteral("LITE"), QStringLiteral("DELETE FROM t_lite"));
    if (hasPostgres()) {
        observe(QStringLiteral("PG"), QStringLiteral("DELETE FROM t_pg"));
        observe(QStringLiteral("PG"), QStringLiteral("DELETE FROM t_odbc"));
    }
}

// Runs one statement through a connection of the test's own, apart from the layer.
bool tst_Oracle::observe(const QString &server, const QString &sql, int *count) const
{
    Engine::SqlConnectionName name;
    QSqlDatabase db;
    if (server == QLatin1String("LITE")) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name.name());
        db.setDatabaseName(QDir(mHome.path()).filePath(QStringLiteral("lite.db")));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name.name());
        db.setHostName(mPgHost);
        db.setPort(mPgPort.toInt());
        db.setDatabaseName(mPgDatabase);
        db.setUserName(mPgUser);
        db.setPassword(mPgPassword);
        // A lock that the layer wrongly keeps fails the statement instead of hanging the test.
        db.setConnectOptions(QStringLiteral("options='-c lock_timeout=10s'"));
    }
    bool ok = db.open();
    {
        QSqlQuery query(db);
        ok = ok && query.exec(sql);
        if (ok && count)
            *count = query.next() ? query.value(0).toInt() : -1;
        if (!ok)
            qWarning() << "observer:" << sql << query.lastError().text() << db.lastError().text();
    }
    db.close();
    return ok;
}

int tst_Oracle::countRows(const QString &server) const
{
    int count = -1;
    observe(server, QStringLiteral("SELECT COUNT(*) FROM ") + tableFor(server), &count);
    return count;
}

void tst_Oracle::connect(const QString &server)
{
    DB::ConnectDatabase(userFor(server), passwordFor(server), server);
}

void tst_Oracle::errorNumbers_data()
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

void tst_Oracle::errorNumbers()
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

void tst_Oracle::connectString()
{
    QString user, password;
    Ora::SplitConnectString(QStringLiteral("/"), &user, &password);
    QVERIFY(user.isEmpty() && password.isEmpty());
    Ora::SplitConnectString(QStringLiteral("scott/ti/ger"), &user, &password);
    QCOMPARE(user, QStringLiteral("scott"));
    QCOMPARE(password, QStringLiteral("ti/ger"));
    Ora::SplitConnectString(QStringLiteral("scott"), &user, &password);
    QCOMPARE(user, QStringLiteral("scott"));
    QVERIFY(password.isEmpty());
}

void tst_Oracle::loginUserId_data()
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

void tst_Oracle::loginUserId()
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

void tst_Oracle::firstStart()
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

void tst_Oracle::serverNames()
{
    QVERIFY_THROWS_EXCEPTION(Common::RuntimeError,
                             Ora::CreateObject(QStringLiteral("Other.Thing")));

    oo4o session;
    session.SetServerName(QStringLiteral("nosuch_db"));
    session.oraDBOpen();
    QVERIFY(Common::LastError::isSet());
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QOCI"))) {
        QCOMPARE(Common::LastError::get().number, int(Engine::ErrServerNotResolved));
        QVERIFY2(Common::LastError::get().description.contains(QStringLiteral("\"nosuch_db\"")),
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

void tst_Oracle::sessionStates()
{
    oo4o session;
    QCOMPARE(session.state(), oo4o::State::Closed);
    QCOMPARE(session.oraBeginTrans(), 1);
    QCOMPARE(session.oraRollback(), 1);
    QCOMPARE(session.oraCommit(), 1);
    session.oraDBClose();
    QCOMPARE(session.state(), oo4o::State::Closed);

    // A failed open leaves the object half-open, with the credentials kept.
    session.SetUserId(QStringLiteral("scott"));
    session.SetPassWord(QStringLiteral("tiger"));
    session.SetServerName(QStringLiteral("NODRIVER"));
    session.oraDBOpen();
    QVERIFY(Common::LastError::isSet());
    QCOMPARE(session.state(), oo4o::State::HalfOpen);
    QCOMPARE(session.oraBeginTrans(), 0);
    QCOMPARE(session.oraCommit(), 0);
    QCOMPARE(session.oraRollback(), 0);
    QVERIFY(!session.oraGetExecute(QStringLiteral("SELECT 1"), 0));
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrObjectNotSet));
    Common::LastError::clear();
    QCOMPARE(session.oraExecute(QStringLiteral("DELETE FROM t_lite")), 0);
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrObjectNotSet));
    session.oraDBClose();
    QCOMPARE(session.state(), oo4o::State::Closed);
    QCOMPARE(session.GetUserId(), QStringLiteral("scott"));
    QCOMPARE(session.GetPassWord(), QStringLiteral("tiger"));
    QCOMPARE(session.GetServerName(), QStringLiteral("NODRIVER"));

    // Open: rows processed are returned; a second open first rolls back the first.
    session.SetServerName(QStringLiteral("LITE"));
    session.oraDBOpen();
    QVERIFY2(!Common::LastError::isSet(), qPrintable(ErrorText()));
    QCOMPARE(session.oraExecute(QStringLiteral("INSERT INTO t_lite VALUES (1, 'a'), (2, 'b')")), 2);
    QCOMPARE(session.oraBeginTrans(), 0);
    QCOMPARE(session.oraExecute(QStringLiteral("UPDATE t_lite SET name = 'c'")), 2);
    QCOMPARE(session.oraExecute(QStringLiteral("INSERT INTO t_lite VALUES (3, 'c')")), 1);
    session.oraDBOpen();
    QVERIFY2(!Common::LastError::isSet(), qPrintable(ErrorText()));
    QCOMPARE(session.state(), oo4o::State::Open);
    QCOMPARE(countRows(QStringLiteral("LITE")), 2);
    std::shared_ptr<Ora::Dynaset> dynaset
        = session.oraGetExecute(QStringLiteral("SELECT name FROM t_lite WHERE name = 'c'"), 0);
    QVERIFY(dynaset && dynaset->isEof());
}

void tst_Oracle::dbRoutines()
{
    // Before any connect the session exists but has nothing to begin.
    DB::BeginTransaction();
    QVERIFY(!DB::InTransaction());

    // A failed connect leaves the connection values alone: only callers set them.
    DB::SetCurrentUserId(QStringLiteral("keep"));
    DB::SetCurrentPassword(QStringLiteral("secret"));
    DB::SetCurrentServerName(QStringLiteral("LITE"));
    DB::SetCurrentIsInitial(1);
    DB::ConnectDatabase(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("NODRIVER"));
    QVERIFY(Common::LastError::isSet());
    QCOMPARE(DB::CurrentUserId(), QStringLiteral("keep"));
    QCOMPARE(DB::CurrentPassword(), QStringLiteral("secret"));
    QCOMPARE(DB::CurrentServerName(), QStringLiteral("LITE"));
    QCOMPARE(DB::CurrentIsInitial(), qint16(1));
    QCOMPARE(DB::CurrentSession().GetUserId(), QStringLiteral("x"));

    // The transaction state is the server's, however the transaction began.
    connect(QStringLiteral("LITE"));
    VERIFY_NO_ERROR();
    QCOMPARE(DB::CurrentSession().oraBeginTrans(), 0);
    QVERIFY(DB::InTransaction() && !DB::UncommittedChanges());
    DB::ExecuteStatement(QStringLiteral("INSERT INTO t_lite VALUES (1, 'a')"));
    VERIFY_NO_ERROR();
    QVERIFY(DB::InTransaction() && DB::UncommittedChanges());
    DB::CommitTransaction();
    QVERIFY(!DB::InTransaction() && !DB::UncommittedChanges());
    QCOMPARE(countRows(QStringLiteral("LITE")), 1);

    // With no connection the routines that resume on error record it.
    DB::DisconnectDatabase();
    DB::ExecuteStatement(QStringLiteral("DELETE FROM t_lite"));
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrObjectNotSet));
    QVERIFY(!DB::OpenDynaset(QStringLiteral("SELECT 1"), 0));
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrObjectNotSet));
}

static void AddServerRows()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("sqlite") << "LITE";
    QTest::newRow("postgres") << "PG";
    QTest::newRow("odbc") << "ODBC";
}

void tst_Oracle::transactions_data()
{
    AddServerRows();
}

void tst_Oracle::transactions()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    const QString table = tableFor(server);
    const QString insert = QStringLiteral("INSERT INTO %1 VALUES (%2, 'x')").arg(table);

    connect(server);
    VERIFY_NO_ERROR();
    DB::ExecuteStatement(insert.arg(1)); // no transaction: committed at once
    VERIFY_NO_ERROR();
    QCOMPARE(countRows(server), 1);

    DB::BeginTransaction();
    QVERIFY(DB::InTransaction());
    // Rows a statement returns are read to the end: it is not undone.
    QCOMPARE(DB::CurrentSession().oraExecute(insert.arg(2) + QStringLiteral(" RETURNING id")), 1);
    VERIFY_NO_ERROR();
    QCOMPARE(countRows(server), 1);
    DB::CommitTransaction();
    QVERIFY(!DB::InTransaction());
    QCOMPARE(countRows(server), 2);

    DB::BeginTransaction();
    DB::ExecuteStatement(insert.arg(3));
    DB::RollbackTransaction();
    QVERIFY(!DB::InTransaction());
    QCOMPARE(countRows(server), 2);

    // Closing ends the transaction even while the caller still holds a query's rows:
    // the row is gone, and another connection can write the same key at once.
    const QString select = QStringLiteral("SELECT id FROM ") + table;
    DB::BeginTransaction();
    DB::ExecuteStatement(insert.arg(4));
    std::shared_ptr<Ora::Dynaset> held = DB::OpenDynaset(select, 0);
    QVERIFY2(held && !held->isEof(), qPrintable(ErrorText()));
    DB::DisconnectDatabase();
    QVERIFY(!DB::InTransaction());
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::Closed);
    QCOMPARE(countRows(server), 2);
    QVERIFY(observe(server, insert.arg(4)));
    held.reset();

    // Outside a transaction as well, the held query leaves no lock behind that would
    // keep another connection from emptying the table.
    connect(server);
    held = DB::OpenDynaset(select, 0);
    QVERIFY2(held && !held->isEof(), qPrintable(ErrorText()));
    DB::DisconnectDatabase();
    QVERIFY(observe(server, (server == QLatin1String("LITE") ? QStringLiteral("DELETE FROM ")
                                                             : QStringLiteral("TRUNCATE "))
                                + table));
    held.reset();

    // A new connect rolls back through its disconnect.
    connect(server);
    DB::BeginTransaction();
    DB::ExecuteStatement(insert.arg(5));
    VERIFY_NO_ERROR();
    connect(server);
    VERIFY_NO_ERROR();
    QVERIFY(!DB::InTransaction());
    QCOMPARE(countRows(server), 0);
}

void tst_Oracle::failedStatementKeepsTransaction_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("failsWhileFetching");
    const QString sqliteOverflow = QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5) "
        "SELECT abs(-9223372036854775805 - x) FROM c");
    const QString divisionByZero
        = QStringLiteral("SELECT 1 / (g - 3) FROM generate_series(1, 5) g");
    QTest::newRow("sqlite") << "LITE" << sqliteOverflow;
    QTest::newRow("postgres") << "PG" << divisionByZero;
    QTest::newRow("odbc") << "ODBC" << divisionByZero;
}

void tst_Oracle::failedStatementKeepsTransaction()
{
    QFETCH(QString, server);
    QFETCH(QString, failsWhileFetching);
    REQUIRE_POSTGRES(server);
    const QString table = tableFor(server);

    connect(server);
    DB::BeginTransaction();
    DB::ExecuteStatement(QStringLiteral("INSERT INTO %1 VALUES (1, 'kept')").arg(table));
    VERIFY_NO_ERROR();

    const QStringList failing = {
        QStringLiteral("INSERT INTO %1 VALUES (1, 'duplicate')").arg(table),
        QStringLiteral("UPDATE no_such_table SET x = 1"),
        QStringLiteral("selec 1"),
    };
    for (const QString &sql : failing) {
        DB::ExecuteStatement(sql);
        QVERIFY2(Common::LastError::isSet(), qPrintable(sql));
    }
    QVERIFY(!DB::OpenDynaset(QStringLiteral("SELECT * FROM no_such_table"), 0));
    QVERIFY(Common::LastError::isSet());

    // The error comes with the first rows or later, depending on how the driver fetches.
    std::shared_ptr<Ora::Dynaset> dynaset = DB::OpenDynaset(failsWhileFetching, 0);
    bool failed = !dynaset;
    if (dynaset)
        failed = ThrownNumber([&] { ReadAll(*dynaset); }) != 0;
    QVERIFY(failed);
    dynaset.reset();

    DB::ExecuteStatement(QStringLiteral("INSERT INTO %1 VALUES (2, 'after')").arg(table));
    VERIFY_NO_ERROR();
    DB::CommitTransaction();
    QCOMPARE(countRows(server), 2);
}

void tst_Oracle::failedCommitKeepsTransaction()
{
    DB::ConnectDatabase(QString(), QString(), QStringLiteral("NOWAIT"));
    VERIFY_NO_ERROR();
    DB::BeginTransaction();
    DB::ExecuteStatement(QStringLiteral("INSERT INTO t_lite VALUES (1, 'kept')"));
    VERIFY_NO_ERROR();

    // A read transaction of another connection keeps the commit from writing.
    Engine::SqlConnectionName name;
    QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name.name());
    reader.setDatabaseName(QDir(mHome.path()).filePath(QStringLiteral("lite.db")));
    QVERIFY(reader.open());
    auto closeReader = qScopeGuard([&reader] { reader.close(); });
    QSqlQuery read(reader);
    QVERIFY(read.exec(QStringLiteral("BEGIN")));
    QVERIFY(read.exec(QStringLiteral("SELECT COUNT(*) FROM t_lite")) && read.next());
    QCOMPARE(read.value(0).toInt(), 0);
    read.finish();

    QVERIFY(ThrownNumber([] { DB::CommitTransaction(); }) != 0);
    QVERIFY(DB::InTransaction());

    // Once the reader is done, the same commit goes through with the work intact.
    QVERIFY(read.exec(QStringLiteral("ROLLBACK")));
    QCOMPARE(ThrownNumber([] { DB::CommitTransaction(); }), 0);
    QVERIFY(!DB::InTransaction());
    QCOMPARE(countRows(QStringLiteral("LITE")), 1);
}

void tst_Oracle::statementErrors_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("number");
    QTest::newRow("sqlite") << "LITE" << 1;
    QTest::newRow("postgres") << "PG" << 6819553; // SQLSTATE 42601
    QTest::newRow("odbc") << "ODBC" << 1;
}

void tst_Oracle::statementErrors()
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

void tst_Oracle::wrongPassword_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("postgres") << "PG";
    QTest::newRow("odbc") << "ODBC";
}

void tst_Oracle::wrongPassword()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    DB::ConnectDatabase(mPgUser, QStringLiteral("wrong"), server);
    const Common::ErrorInfo error = Common::LastError::get();
    QVERIFY(error.number != 0);
    QVERIFY2(error.description.contains(QStringLiteral("password authentication failed")),
             qPrintable(ErrorText()));
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::HalfOpen);
    QCOMPARE(DB::CurrentSession().GetPassWord(), QStringLiteral("wrong"));
    DB::BeginTransaction(); // no connection: no transaction on any server
    QVERIFY(!DB::InTransaction());
    DB::ExecuteStatement(QStringLiteral("DELETE FROM ") + tableFor(server));
    QCOMPARE(Common::LastError::get().number, int(Engine::ErrObjectNotSet));
}

void tst_Oracle::userNames_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("postgres") << "PG";
    QTest::newRow("odbc") << "ODBC";
}

// The connection dialog sends the user ID in capitals.
void tst_Oracle::userNames()
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

void tst_Oracle::passwords_data()
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

void tst_Oracle::passwords()
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

void tst_Oracle::dynasetFields_data()
{
    AddServerRows();
}

void tst_Oracle::dynasetFields()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    const QString table = tableFor(server);
    // Only trailing spaces are removed: tabs, ideographic spaces and leading blanks stay.
    const QString tabs = QStringLiteral(" \tx\t");
    const QString wide = QStringLiteral("\u3000y\u3000");
    connect(server);
    DB::ExecuteStatement(QStringLiteral("INSERT INTO %1 VALUES (1, 'one  '), (2, NULL), "
                                        "(3, '日本語'), (4, '%2 '), (5, '%3  ')")
                             .arg(table, tabs, wide));
    VERIFY_NO_ERROR();

    const QString sql = QStringLiteral("SELECT name, id FROM %1 ORDER BY id").arg(table);
    std::shared_ptr<Ora::Dynaset> dynaset = DB::OpenDynaset(sql, 0);
    QVERIFY2(dynaset, qPrintable(ErrorText()));
    QVERIFY(!dynaset->isEof());
    QList<Ora::Field> fields = dynaset->fields();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields.at(0).name().toLower(), QStringLiteral("name"));
    QCOMPARE(fields.at(1).name().toLower(), QStringLiteral("id"));
    QCOMPARE(fields.at(0).value().toString(), QStringLiteral("one"));
    QCOMPARE(fields.at(1).value().toInt(), 1);
    dynaset->moveNext();
    QVERIFY(dynaset->fields().at(0).value().isNull());
    QVERIFY(!dynaset->fields().at(1).value().isNull());
    dynaset->moveNext();
    QCOMPARE(dynaset->fields().at(0).value().toString(), QStringLiteral("日本語"));
    dynaset->moveNext();
    QCOMPARE(dynaset->fields().at(0).value().toString(), tabs);
    dynaset->moveNext();
    QCOMPARE(dynaset->fields().at(0).value().toString(), wide);
    dynaset->moveNext();
    QVERIFY(dynaset->isEof());
    QCOMPARE(dynaset->fields().size(), 2);
    QCOMPARE(ThrownNumber([&] { dynaset->fields().at(0).value(); }), int(Engine::ErrNoCurrentRow));

    // Option 2 keeps trailing blanks.
    dynaset = DB::OpenDynaset(sql, Ora::KeepTrailingBlanks | 4 | 128);
    QVERIFY(dynaset);
    QStringList kept;
    for (; !dynaset->isEof(); dynaset->moveNext())
        kept << dynaset->fields().at(0).value().toString();
    QCOMPARE(kept, QStringList({QStringLiteral("one  "), QString(), QStringLiteral("日本語"),
                                tabs + QLatin1Char(' '), wide + QStringLiteral("  ")}));

    QString empty = sql;
    dynaset = DB::OpenDynaset(
        empty.replace(QStringLiteral("ORDER"), QStringLiteral("WHERE id > 9 ORDER")), 0);
    QVERIFY(dynaset && dynaset->isEof());
}

void tst_Oracle::bulkReadMatchesRowByRow_data()
{
    AddServerRows();
}

// Rows read in bulk (on SQLite straight from the statement) carry the same
// values, of the same types, as rows read one at a time; no row is lost or
// repeated where one batch ends and the next begins.
void tst_Oracle::bulkReadMatchesRowByRow()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    const QString table = tableFor(server);
    connect(server);
    for (int id = 1; id <= 20; ++id)
        DB::ExecuteStatement(QStringLiteral("INSERT INTO %1 VALUES (%2, %3)")
                                 .arg(table, QString::number(id),
                                      id % 5 == 0   ? QStringLiteral("NULL")
                                      : id % 5 == 1 ? QStringLiteral("''")
                                      : id % 5 == 2 ? QStringLiteral("'日本語  '")
                                                    : QStringLiteral("' x%1 '").arg(id)));
    VERIFY_NO_ERROR();
    const QString bytes = server == QLatin1String("LITE") ? QStringLiteral("x'00ff41'")
                                                          : QStringLiteral("'\\x00ff41'::bytea");
    const QString date = server == QLatin1String("LITE") ? QStringLiteral("'2026-01-05'")
                                                         : QStringLiteral("DATE '2026-01-05'");
    const QString sql
        = QStringLiteral(
              "SELECT id, name, id * 1.5, id / 3.0, %1, %2, CAST(id AS CHAR(4)) AS code FROM %3 "
              "ORDER BY id")
              .arg(bytes, date, table);

    // A value as the list shows it: drivers may hand on the same value as text
    // or as a number.
    auto describe = [](const QVariant &value) { return SQLEdit::FormatCellValue(value); };
    struct Recorder : Engine::RowSink
    {
        std::function<QString(const QVariant &)> describe;
        QStringList cells;
        int rows = 0;
        void beginRow() override { ++rows; }
        void addNull() override { cells << SQLEdit::FormatCellValue(QVariant()); }
        void addText(QStringView text) override { cells << text.toString(); }
        void addValue(const QVariant &value) override { cells << describe(value); }
    };

    for (const qint32 options : {0, int(Ora::KeepTrailingBlanks)}) {
        QStringList expected;
        std::shared_ptr<Ora::Dynaset> dynaset = DB::OpenDynaset(sql, options);
        QVERIFY2(dynaset, qPrintable(ErrorText()));
        for (; !dynaset->isEof(); dynaset->moveNext())
            for (const QVariant &value : dynaset->values())
                expected << describe(value);
        QCOMPARE(expected.size(), 20 * 7);

        for (const qsizetype batch : {1, 3, 7, 1000}) {
            Recorder recorder;
            recorder.describe = describe;
            dynaset = DB::OpenDynaset(sql, options);
            QVERIFY2(dynaset, qPrintable(ErrorText()));
            bool cancelled = false;
            while (!dynaset->isEof())
                QVERIFY(dynaset->readRows(recorder, batch, &cancelled) > 0 && !cancelled);
            QCOMPARE(recorder.rows, 20);
            QCOMPARE(recorder.cells, expected);
        }
    }
}

void tst_Oracle::stoppedQuery_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("endless");
    // On PostgreSQL the rows stream until the last one, which waits an hour: only
    // a cancel request lets the connection go on without that wait.
    const QString sleeping
        = QStringLiteral("SELECT g, repeat('x', 100), CASE WHEN g = 20000 THEN pg_sleep(3600) END "
                         "FROM generate_series(1, 20000) g");
    QTest::newRow("sqlite") << "LITE"
                            << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                               "SELECT x FROM c";
    QTest::newRow("postgres") << "PG" << sleeping;
    QTest::newRow("odbc") << "ODBC" << sleeping;
}

void tst_Oracle::stoppedQuery()
{
    QFETCH(QString, server);
    QFETCH(QString, endless);
    REQUIRE_POSTGRES(server);
    const QString insert = QStringLiteral("INSERT INTO %1 VALUES (%2, 'x')").arg(tableFor(server));

    connect(server);
    // Stopping a query that was not cancelled on the server waits for its last row.
    // The server gives up on it after statement_timeout, and each step that took
    // that long fails, rather than the test hanging for an hour.
    const qint64 stepLimitMs = 5000;
    if (server != QLatin1String("LITE")) {
        DB::ExecuteStatement(QStringLiteral("SET statement_timeout = '10s'"));
        VERIFY_NO_ERROR();
    }
    QElapsedTimer step;
    step.start();
    DB::BeginTransaction();
    DB::ExecuteStatement(insert.arg(1));
    VERIFY_NO_ERROR();

    std::shared_ptr<Ora::Dynaset> dynaset = DB::OpenDynaset(endless, 0);
    QVERIFY2(dynaset, qPrintable(ErrorText()));
    dynaset->moveNext();
    dynaset.reset(); // stopped early
    DB::ExecuteStatement(insert.arg(2));
    VERIFY_NO_ERROR();
    QVERIFY2(step.restart() < stepLimitMs, "stopping the query waited for its remaining rows");

    // A query still open at commit is ended first; reading on is then refused.
    dynaset = DB::OpenDynaset(endless, 0);
    QVERIFY2(dynaset, qPrintable(ErrorText()));
    dynaset->moveNext();
    DB::CommitTransaction();
    QVERIFY2(step.restart() < stepLimitMs, "the commit waited for the query's remaining rows");
    QCOMPARE(countRows(server), 2);
    QCOMPARE(ThrownNumber([&] { dynaset->moveNext(); }), int(Engine::ErrFetchOutOfSequence));
    dynaset.reset();

    // Outside a transaction as well.
    dynaset = DB::OpenDynaset(endless, 0);
    QVERIFY2(dynaset, qPrintable(ErrorText()));
    dynaset->moveNext();
    dynaset.reset();
    DB::ExecuteStatement(insert.arg(3));
    VERIFY_NO_ERROR();
    QVERIFY2(step.restart() < stepLimitMs, "stopping the query waited for its remaining rows");
    QCOMPARE(countRows(server), 3);
}

void tst_Oracle::lostConnection()
{
    REQUIRE_POSTGRES(QStringLiteral("PG"));
    QVERIFY2(!mPgCtl.isEmpty(), "KORVANE_TEST_PG_CTL is not set");

    connect(QStringLiteral("PG"));
    VERIFY_NO_ERROR();
    oo4o odbc;
    odbc.SetUserId(mPgUser);
    odbc.SetPassWord(mPgPassword);
    odbc.SetServerName(QStringLiteral("ODBC"));
    odbc.oraDBOpen();
    VERIFY_NO_ERROR();

    DB::BeginTransaction();
    DB::ExecuteStatement(QStringLiteral("INSERT INTO t_pg VALUES (1, 'lost')"));
    VERIFY_NO_ERROR();
    QCOMPARE(odbc.oraBeginTrans(), 0);
    QCOMPARE(odbc.oraExecute(QStringLiteral("INSERT INTO t_odbc VALUES (1, 'lost')")), 1);
    VERIFY_NO_ERROR();

    QCOMPARE(QProcess::execute(mPgCtl, {QStringLiteral("stop")}), 0);
    auto restart = qScopeGuard([this] { QProcess::execute(mPgCtl, {QStringLiteral("start")}); });

    DB::ExecuteStatement(QStringLiteral("INSERT INTO t_pg VALUES (2, 'lost')"));
    QVERIFY(Common::LastError::isSet());
    QCOMPARE(Common::LastError::get().source, QStringLiteral("QPSQL"));
    QVERIFY(!DB::OpenDynaset(QStringLiteral("SELECT 1"), 0));
    QVERIFY(Common::LastError::isSet());
    QCOMPARE(odbc.oraExecute(QStringLiteral("INSERT INTO t_odbc VALUES (2, 'lost')")), 0);
    QCOMPARE(Common::LastError::get().source, QStringLiteral("QODBC"));
    QVERIFY(!odbc.oraGetExecute(QStringLiteral("SELECT 1"), 0));
    QVERIFY(Common::LastError::isSet());

    // A commit or rollback fails every time, and never claims success; a
    // disconnect goes through, since the server has discarded the work.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QCOMPARE(ThrownNumber([&] { odbc.oraCommit(); }), int(Engine::ErrConnectionLost));
        QCOMPARE(ThrownNumber([] { DB::CommitTransaction(); }), int(Engine::ErrConnectionLost));
        QCOMPARE(ThrownNumber([] { DB::RollbackTransaction(); }), int(Engine::ErrConnectionLost));
    }
    QVERIFY(DB::ConnectionLost() && !DB::UncommittedChanges());
    odbc.oraDBClose();
    QCOMPARE(odbc.state(), oo4o::State::Closed);
    DB::DisconnectDatabase();
    QCOMPARE(DB::CurrentSession().state(), oo4o::State::Closed);

    // Reconnecting works again once the server is back.
    connect(QStringLiteral("PG"));
    QVERIFY(Common::LastError::isSet());
    restart.dismiss();
    QCOMPARE(QProcess::execute(mPgCtl, {QStringLiteral("start")}), 0);
    connect(QStringLiteral("PG"));
    VERIFY_NO_ERROR();
    odbc.oraDBOpen();
    VERIFY_NO_ERROR();
    QCOMPARE(countRows(QStringLiteral("PG")), 0);
    QCOMPARE(countRows(QStringLiteral("ODBC")), 0);
}

void tst_Oracle::transactionControl_data()
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

void tst_Oracle::transactionControl()
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
void tst_Oracle::connectTimeout()
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

QTEST_GUILESS_MAIN(tst_Oracle)
#include "tst_oracle.moc"
