#include "../databasetest.h"
#include "../testfiles.h"
#include "common/errors.h"
#include "engine/errors.h"
#include "engine/rowsink.h"
#include "engine/sqlconnectionname.h"
#include "exec/cellvalue.h"
#include "oracle/component.h"
#include "oracle/db.h"
#include "oracle/oo4o.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <functional>

/// The object model of the database layer on real servers: the session object,
/// its database and dynasets with their fields, and the DB module's routines over
/// them, on SQLite, on PostgreSQL and through ODBC.
class tst_Oracle : public DatabaseTest
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpServers(); }
    void cleanupTestCase() { tearDownServers(); }
    void cleanup() { resetServers(); }

    void connectString();
    void sessionStates();
    void dbRoutines();
    void transactions_data();
    void transactions();
    void failedStatementKeepsTransaction_data();
    void failedStatementKeepsTransaction();
    void failedCommitKeepsTransaction();
    void wrongPassword_data();
    void wrongPassword();
    void dynasetFields_data();
    void dynasetFields();
    void bulkReadMatchesRowByRow_data();
    void bulkReadMatchesRowByRow();
    void stoppedQuery_data();
    void stoppedQuery();
    void lostConnection();
};

static int ReadAll(Ora::Dynaset &dynaset)
{
    int rows = 0;
    for (; !dynaset.isEof(); dynaset.moveNext())
        ++rows;
    return rows;
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
        failed = errorNumber([&] { ReadAll(*dynaset); }) != 0;
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

    QVERIFY(errorNumber([] { DB::CommitTransaction(); }) != 0);
    QVERIFY(DB::InTransaction());

    // Once the reader is done, the same commit goes through with the work intact.
    QVERIFY(read.exec(QStringLiteral("ROLLBACK")));
    QCOMPARE(errorNumber([] { DB::CommitTransaction(); }), 0);
    QVERIFY(!DB::InTransaction());
    QCOMPARE(countRows(QStringLiteral("LITE")), 1);
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
    QCOMPARE(errorNumber([&] { dynaset->fields().at(0).value(); }), int(Engine::ErrNoCurrentRow));

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
    QCOMPARE(errorNumber([&] { dynaset->moveNext(); }), int(Engine::ErrFetchOutOfSequence));
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
        QCOMPARE(errorNumber([&] { odbc.oraCommit(); }), int(Engine::ErrConnectionLost));
        QCOMPARE(errorNumber([] { DB::CommitTransaction(); }), int(Engine::ErrConnectionLost));
        QCOMPARE(errorNumber([] { DB::RollbackTransaction(); }), int(Engine::ErrConnectionLost));
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

QTEST_GUILESS_MAIN(tst_Oracle)
#include "tst_oracle.moc"
