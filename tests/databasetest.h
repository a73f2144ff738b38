#pragma once

#include "common/errors.h"
#include "engine/servers.h"
#include "engine/sqlconnectionname.h"
#include "oracle/db.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

/// The base of the test classes of the database layer, run against real servers:
/// SQLite files in a temporary folder, and the PostgreSQL server that
/// scripts/with-postgres starts, reached through QPSQL and through psqlODBC. Tables
/// t_lite, t_pg and t_odbc belong to the servers LITE, PG and ODBC; a second
/// connection of the test's own checks what others can see. A test class calls
/// setUpServers() from its initTestCase(), tearDownServers() from its
/// cleanupTestCase() and resetServers() from its cleanup().
class DatabaseTest : public QObject
{
protected:
    /// SERVERS.ini in a folder of its own, the tables, and a role of the tests' own.
    void setUpServers();
    void tearDownServers();
    /// No connection, no error, and empty tables, for the next test.
    void resetServers();

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

#define VERIFY_NO_ERROR()                                                                          \
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description))

/// A role of the tests' own, whose name needs double quotes on PostgreSQL.
inline const QString MixedRole = QStringLiteral("Mixed Case=1");

/// The last error, for a failure's message.
inline QString ErrorText()
{
    const Common::ErrorInfo error = Common::LastError::get();
    return QStringLiteral("%1 %2 (%3)").arg(error.number).arg(error.description, error.source);
}

inline void DatabaseTest::setUpServers()
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

inline void DatabaseTest::tearDownServers()
{
    if (!hasPostgres())
        return;
    const QString role = QStringLiteral("\"%1\"").arg(MixedRole);
    observe(QStringLiteral("PG"),
            QStringLiteral("REVOKE CONNECT ON DATABASE \"%1\" FROM %2").arg(mPgDatabase, role));
    QVERIFY(observe(QStringLiteral("PG"), QStringLiteral("DROP ROLE ") + role));
}

inline void DatabaseTest::resetServers()
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
inline bool DatabaseTest::observe(const QString &server, const QString &sql, int *count) const
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

inline int DatabaseTest::countRows(const QString &server) const
{
    int count = -1;
    observe(server, QStringLiteral("SELECT COUNT(*) FROM ") + tableFor(server), &count);
    return count;
}

inline void DatabaseTest::connect(const QString &server)
{
    DB::ConnectDatabase(userFor(server), passwordFor(server), server);
}
