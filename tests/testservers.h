#pragma once

#include "engine/sqlconnectionname.h"
#include "testfiles.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>

/// The test PostgreSQL server that scripts/with-postgres starts, as its
/// environment describes it.
inline QString testPostgresValue(const char *name)
{
    return qEnvironmentVariable((QByteArray("KORVANE_TEST_PG_") + name).constData());
}

/// SERVERS.ini in the folder: LITE (lite.db there), PG and ODBC (the test
/// PostgreSQL server), followed by any further sections given.
inline bool writeTestServers(const QString &folder, const QString &moreSections = QString())
{
    const QString text
        = QStringLiteral("[LITE]\r\nDRIVER=QSQLITE\r\nDATABASE=lite.db\r\n"
                         "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%1\r\nHOST=%2\r\n"
                         "PORT=%3\r\n"
                         "[ODBC]\r\nDRIVER=QODBC\r\nDATABASE=%4\r\n")
              .arg(testPostgresValue("DATABASE"), testPostgresValue("HOST"),
                   testPostgresValue("PORT"), qEnvironmentVariable("KORVANE_TEST_ODBC_DSN"))
          + moreSections;
    return writeBytes(QDir(folder).filePath(QStringLiteral("SERVERS.ini")), text.toUtf8());
}

/// A connection of the test's own to the test PostgreSQL server, apart from the
/// program's layer; not yet open.
inline QSqlDatabase testPostgres(const QString &connectionName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(testPostgresValue("HOST"));
    db.setPort(testPostgresValue("PORT").toInt());
    db.setDatabaseName(testPostgresValue("DATABASE"));
    db.setUserName(testPostgresValue("USER"));
    db.setPassword(testPostgresValue("PASSWORD"));
    return db;
}

/// The rows of a table that a connection of the test's own sees (committed work
/// only): on LITE (lite.db in the folder) or on the test PostgreSQL server; -1
/// when it cannot be read.
inline int testCountRows(const QString &folder, const QString &server, const QString &table)
{
    Engine::SqlConnectionName name;
    QSqlDatabase db;
    if (server == QLatin1String("LITE")) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name.name());
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("lite.db")));
    } else {
        db = testPostgres(name.name());
    }
    int count = -1;
    if (db.open()) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && query.next())
            count = query.value(0).toInt();
    }
    db.close();
    return count;
}
