#include "oracle/connection.h"

#include "common/appdir.h"
#include "oracle/oraerrors.h"

#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <dlfcn.h>
#include <libpq-fe.h>

namespace Ora {

static const char SavepointName[] = "korvane_statement";

// The database name handed to the driver for a server entry.
static QString DriverDatabaseName(const ServerEntry &server)
{
    if (server.driver == QLatin1String("QSQLITE")) {
        const QString &file = server.database;
        if (file.isEmpty() || file == QLatin1String(":memory:")
            || file.startsWith(QLatin1String("file:")) || QDir::isAbsolutePath(file))
            return file;
        return QDir(Common::ApplicationDirectory()).filePath(file);
    }
    if (server.driver == QLatin1String("QODBC")) {
        QString name = server.database;
        // QODBC takes a name without DRIVER=, SERVER= or ".dsn" in it for a data
        // source name and puts DSN= before it: one written as DSN=... would get two.
        if (name.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive)
            && !name.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
            && !name.contains(QLatin1String("SERVER="), Qt::CaseInsensitive)
            && !name.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
            name.remove(0, 4);
        // psqlODBC reads the whole result into memory unless told to fetch it in
        // blocks through a cursor; other drivers ignore keywords they do not know.
        if (!name.contains(QLatin1String("UseDeclareFetch"), Qt::CaseInsensitive))
            name += QStringLiteral(";UseDeclareFetch=1;Fetch=1000");
        return name;
    }
    return server.database;
}

// A value of an ODBC connection string in braces, where ';', '{', '}' and '=' are
// part of the value; a '}' inside is doubled.
static QString OdbcBraced(const QString &value)
{
    return QLatin1Char('{') + QString(value).replace(QLatin1Char('}'), QLatin1String("}}"))
           + QLatin1Char('}');
}

// QODBC ends the connection string with ";UID=" and ";PWD=" followed by the user name
// and password exactly as set, so they are quoted here. They stay out of the database
// name on purpose: QODBC chooses between DSN=, FILEDSN= and a whole connection string
// by searching that name for DRIVER=, SERVER= and ".dsn", and a password must not sway it.
// psqlODBC reads a user ID literally, braces included, so one goes in braces only when
// it could not be read back otherwise; it reads an unbraced password percent-encoded
// ('+' for a space, %41 for 'A'), so a password always goes in braces.
static QString OdbcUserId(const QString &userId)
{
    return userId.contains(QLatin1Char(';')) || userId.startsWith(QLatin1Char('{'))
               ? OdbcBraced(userId)
               : userId;
}

static QString OdbcPassword(const QString &password)
{
    return password.isEmpty() ? password : OdbcBraced(password);
}

Connection::Connection(const ServerEntry &server, const QString &userId, const QString &password)
    : mDriverName(server.driver)
{
    if (mDriverName.isEmpty())
        Raise(ErrCannotCreateObject,
              QStringLiteral("The server %1 in SERVERS.ini names no DRIVER.").arg(server.name),
              LayerSource());
    if (!QSqlDatabase::isDriverAvailable(mDriverName))
        Raise(ErrCannotCreateObject,
              QStringLiteral("The database driver %1 for the server %2 is not installed "
                             "(no Qt SQL plugin of that name).")
                  .arg(mDriverName, server.name),
              LayerSource());
    const std::optional<QString> loginUserId = LoginUserId(server, userId);
    if (!loginUserId)
        Raise(ErrCannotCreateObject,
              QStringLiteral("The server %1 in SERVERS.ini has USERCASE=%2; it takes LOWER or "
                             "KEEP.")
                  .arg(server.name, server.userCase),
              LayerSource());
    const bool odbc = mDriverName == QLatin1String("QODBC");

    QSqlDatabase db = QSqlDatabase::addDatabase(mDriverName, mName.name());
    db.setDatabaseName(DriverDatabaseName(server));
    if (!server.host.isEmpty())
        db.setHostName(server.host);
    if (server.port > 0)
        db.setPort(server.port);
    db.setUserName(odbc ? OdbcUserId(*loginUserId) : *loginUserId);
    db.setPassword(odbc ? OdbcPassword(password) : password);
    db.setConnectOptions(server.options);
    if (!db.open())
        raise(db.lastError());
}

Connection::~Connection()
{
    stopQuery();
    QSqlDatabase db = database();
    // Uncommitted work is discarded, and ODBC refuses to disconnect inside a transaction.
    if (mInTransaction)
        db.rollback();
    db.close();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(mName.name(), false);
}

void Connection::raise(const QSqlError &error) const
{
    Raise(mDriverName, error);
}

bool Connection::usesSavepoints() const
{
    return mInTransaction && mDriverName == QLatin1String("QPSQL");
}

bool Connection::prepareInTransaction(const QString &sql) const
{
    // A '?' would be taken for a parameter marker; such a text is sent as it is.
    return mInTransaction && mDriverName == QLatin1String("QODBC")
           && !sql.contains(QLatin1Char('?'));
}

bool Connection::runQuiet(const QString &sql)
{
    QSqlQuery query(database());
    return query.exec(sql);
}

void Connection::setSavepoint()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SAVEPOINT ") + QLatin1String(SavepointName)))
        raise(query.lastError());
}

void Connection::releaseSavepoint(bool rollBack)
{
    // Failures are left to the next statement to report: after a lost connection
    // it fails as well, and after a user's own COMMIT there is nothing to release.
    if (rollBack)
        runQuiet(QStringLiteral("ROLLBACK TO SAVEPOINT ") + QLatin1String(SavepointName));
    runQuiet(QStringLiteral("RELEASE SAVEPOINT ") + QLatin1String(SavepointName));
}

static bool Run(QSqlQuery &query, const QString &sql, bool prepare)
{
    return prepare ? query.prepare(sql) && query.exec() : query.exec(sql);
}

void Connection::beginTransaction()
{
    if (mInTransaction)
        return;
    stopQuery();
    QSqlDatabase db = database();
    if (!db.transaction())
        raise(db.lastError());
    mInTransaction = true;
}

void Connection::rollbackTransaction()
{
    if (!mInTransaction)
        return;
    stopQuery();
    QSqlDatabase db = database();
    if (!db.rollback()) {
        const QSqlError error = db.lastError();
        // A broken connection has no transaction left: the server discarded it,
        // and refusing here would make every later reconnect fail as well.
        if (!connectionLost())
            raise(error);
    }
    mInTransaction = false;
}

void Connection::commitTransaction()
{
    if (!mInTransaction)
        return;
    stopQuery();
    // psqlODBC reports a commit on a connection it has lost as a success.
    if (connectionLost()) {
        mInTransaction = false;
        Raise(ErrConnectionLost,
              QStringLiteral("The connection to the database was lost: the transaction was rolled "
                             "back by the server, nothing was committed."),
              mDriverName);
    }
    QSqlDatabase db = database();
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        // PostgreSQL ends a transaction whose commit failed; SQLite keeps it open
        // ("database is locked") so that the commit can be tried again.
        mInTransaction = serverInTransaction();
        raise(error);
    }
    mInTransaction = false;
}

qint32 Connection::execute(const QString &sql)
{
    stopQuery();
    const bool savepoint = usesSavepoints();
    if (savepoint)
        setSavepoint();
    QSqlQuery query(database());
    if (!Run(query, sql, prepareInTransaction(sql))) {
        const QSqlError error = query.lastError();
        query.finish();
        if (savepoint)
            releaseSavepoint(true);
        raise(error);
    }
    const int rows = query.numRowsAffected();
    query.finish();
    if (savepoint)
        releaseSavepoint(false);
    return qMax(rows, 0);
}

quint64 Connection::openQuery(const QString &sql, QStringList *columnNames)
{
    stopQuery();
    const bool savepoint = usesSavepoints();
    if (savepoint)
        setSavepoint();
    auto query = std::make_unique<QSqlQuery>(database());
    query->setForwardOnly(true);
    // Numeric columns as the database's exact text rather than a rounded double.
    query->setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!Run(*query, sql, prepareInTransaction(sql))) {
        const QSqlError error = query->lastError();
        query.reset();
        if (savepoint)
            releaseSavepoint(true);
        raise(error);
    }
    const QSqlRecord record = query->record();
    columnNames->clear();
    for (int i = 0; i < record.count(); ++i)
        columnNames->append(record.fieldName(i));
    mColumnCount = record.count();
    mQuery = std::move(query);
    mQueryHasSavepoint = savepoint;
    mLiveTicket = ++mLastTicket;
    readAhead();
    return mLiveTicket;
}

bool Connection::fetchRow(quint64 ticket, QVariantList *values)
{
    if (ticket == 0 || ticket != mLiveTicket)
        Raise(ErrFetchOutOfSequence,
              QStringLiteral("The query was ended by a later statement on the same connection."),
              mDriverName);
    if (mAheadError.type() != QSqlError::NoError) {
        const QSqlError error = mAheadError;
        mAheadError = QSqlError();
        raise(error);
    }
    if (!mAhead)
        return false;
    *values = std::move(*mAhead);
    mAhead.reset();
    readAhead();
    return true;
}

// Reads one row ahead of the caller, so that the query is over, and the server
// free, as soon as its last row has been handed out.
void Connection::readAhead()
{
    if (!mQuery)
        return;
    if (mQuery->next()) {
        // The column count is kept from the start: record() rebuilds the whole
        // field list on every call, which would cost more than the row itself.
        QVariantList row;
        row.reserve(mColumnCount);
        for (int i = 0; i < mColumnCount; ++i)
            row.append(mQuery->value(i));
        mAhead = std::move(row);
        return;
    }
    const QSqlError error = mQuery->lastError();
    const bool failed = error.type() != QSqlError::NoError;
    endQuery(failed ? QueryEnd::Failed : QueryEnd::Completed);
    if (failed)
        mAheadError = error; // handed to the caller when it reaches that row
}

void Connection::closeQuery(quint64 ticket)
{
    if (ticket != 0 && ticket == mLiveTicket)
        stopQuery();
}

void Connection::stopQuery()
{
    endQuery(QueryEnd::Stopped);
    mLiveTicket = 0;
    mAhead.reset();
    mAheadError = QSqlError();
}

void Connection::endQuery(QueryEnd how)
{
    if (!mQuery)
        return;
    if (how == QueryEnd::Stopped)
        cancelServerStatement();
    mQuery->finish();
    mQuery.reset();
    if (mQueryHasSavepoint) {
        mQueryHasSavepoint = false;
        // A cancelled or failed query has aborted the transaction on PostgreSQL.
        releaseSavepoint(how != QueryEnd::Completed);
    }
}

// The libpq connection under a QPSQL database, or null for any other driver.
static PGconn *PostgresConnection(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "pg_conn*") != 0
            && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

void Connection::cancelServerStatement()
{
    // Without a cancel request the server goes on sending every remaining row,
    // and finishing the query would have to read them all.
    PGconn *conn = PostgresConnection(database());
    if (!conn)
        return;
    const std::unique_ptr<PGcancel, decltype(&PQfreeCancel)> cancel(PQgetCancel(conn),
                                                                    &PQfreeCancel);
    if (!cancel)
        return;
    char message[256];
    // A request that fails to arrive only means that finishing reads the rest.
    PQcancel(cancel.get(), message, sizeof message);
}

// Asks the ODBC driver manager whether the connection is dead (SQL_ATTR_CONNECTION_DEAD).
// The QODBC plugin has loaded the driver manager already; one call needs no headers.
static bool OdbcConnectionDead(const QSqlDatabase &db)
{
    if (db.driverName() != QLatin1String("QODBC") || !db.driver())
        return false;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "void*") != 0)
        return false;
    void *connection = *static_cast<void *const *>(handle.constData());
    const std::unique_ptr<void, int (*)(void *)> library(
        dlopen("libodbc.so.2", RTLD_NOW | RTLD_NOLOAD), &dlclose);
    if (!connection || !library)
        return false;
    using GetConnectAttr = short (*)(void *, int, void *, int, int *);
    const auto getConnectAttr
        = reinterpret_cast<GetConnectAttr>(dlsym(library.get(), "SQLGetConnectAttr"));
    const int AttrConnectionDead = 1209;
    const short Success = 0, SuccessWithInfo = 1;
    quint32 dead = 0;
    if (!getConnectAttr)
        return false;
    const short result
        = getConnectAttr(connection, AttrConnectionDead, &dead, sizeof dead, nullptr);
    return (result == Success || result == SuccessWithInfo) && dead == 1;
}

bool Connection::connectionLost() const
{
    const QSqlDatabase db = database();
    if (PGconn *conn = PostgresConnection(db))
        return PQstatus(conn) == CONNECTION_BAD;
    return OdbcConnectionDead(db);
}

bool Connection::serverInTransaction() const
{
    PGconn *conn = PostgresConnection(database());
    if (!conn)
        return mInTransaction;
    const PGTransactionStatusType status = PQtransactionStatus(conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

} // namespace Ora
