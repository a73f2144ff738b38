#include "engine/connectioncore.h"

#include "common/appdir.h"
#include "engine/errors.h"
#include "engine/rowsink.h"

#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>

#include <dlfcn.h>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace Engine {

static const char SavepointName[] = "korvane_statement";

// The database name handed to the driver for a server entry.
static QString DriverDatabaseName(const ServerEntry &server)
{
    if (server.driver == QLatin1String("QSQLITE")) {
        const QString &file = server.database;
        if (file.isEmpty() || file == QLatin1String(":memory:")
            || file.startsWith(QLatin1String("file:")) || QDir::isAbsolutePath(file))
            return file;
        return QDir(Common::DataDirectory()).filePath(file);
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

// The command tag of a QPSQL statement's result ("COMMIT", "ROLLBACK", ...),
// empty for any other driver.
static QByteArray PostgresCommandTag(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "PGresult*") != 0
        && qstrcmp(handle.typeName(), "pg_result*") != 0)
        return {};
    const auto *result = *static_cast<PGresult *const *>(handle.constData());
    return result ? QByteArray(PQcmdStatus(const_cast<PGresult *>(result))) : QByteArray();
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

// The server's connect options, led by its connect timeout in the form the
// driver takes, unless the options set one themselves.
static QString ConnectOptions(const ServerEntry &server)
{
    QString key;
    if (server.driver == QLatin1String("QPSQL"))
        key = QStringLiteral("connect_timeout");
    else if (server.driver == QLatin1String("QODBC"))
        key = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT");
    if (key.isEmpty() || server.connectTimeout <= 0
        || server.options.contains(key, Qt::CaseInsensitive))
        return server.options;
    const QString timeout = key + QLatin1Char('=') + QString::number(server.connectTimeout);
    return server.options.isEmpty() ? timeout : timeout + QLatin1Char(';') + server.options;
}

// A function of the ODBC driver manager that the QODBC plugin loaded, or null;
// unixODBC and iODBC go by several names. A few calls need no ODBC headers.
template<typename Function>
static Function OdbcFunction(const char *name)
{
    for (const char *soname : {"libodbc.so.2", "libodbc.so.1", "libodbc.so", "libiodbc.so.2"}) {
        // The manager stays loaded as long as the plugin does: no reference is kept.
        if (void *library = dlopen(soname, RTLD_NOW | RTLD_NOLOAD)) {
            void *function = dlsym(library, name);
            dlclose(library);
            if (function)
                return reinterpret_cast<Function>(function);
        }
    }
    return nullptr;
}

ConnectionCore::ConnectionCore(const ServerEntry &server,
                               const QString &userId,
                               const QString &password)
    : mDriverName(server.driver)
    , mPgCancel(nullptr, &PQfreeCancel)
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
    db.setConnectOptions(ConnectOptions(server));
    if (odbc)
        mOdbcLogin = {db.databaseName(), db.userName(), db.password(), db.connectOptions()};
    if (!db.open())
        raise(db.lastError());

    // The handles a cancel from another thread goes through.
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        mSqlite = *static_cast<sqlite3 *const *>(handle.constData());
    if (PGconn *conn = PostgresConnection(db))
        mPgCancel.reset(PQgetCancel(conn));
    // psqlODBC passes a cancel on to the server only while a statement executes,
    // not while its rows are fetched: then the server is asked by the backend's
    // process id, over a connection of the cancel's own.
    if (odbc && db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT pg_backend_pid()")) && query.next())
            mOdbcBackendPid = query.value(0).toLongLong();
    }
}

ConnectionCore::~ConnectionCore()
{
    stopQuery();
    QSqlDatabase db = database();
    // Uncommitted work is discarded, and ODBC refuses to disconnect inside a transaction.
    if (mInTransaction && !mLost)
        db.rollback();
    db.close();
}

QSqlDatabase ConnectionCore::database() const
{
    return QSqlDatabase::database(mName.name(), false);
}

void ConnectionCore::raise(const QSqlError &error)
{
    if (!mLost && connectionBroken()) {
        mLost = true;
        mInTransaction = mPendingWork = false;
    }
    if (mLost)
        raiseLost();
    // SQLite has rolled back the whole transaction when it is left in autocommit
    // mode: the work before the failed statement is gone, and the caller must know.
    const bool wasInTransaction = mInTransaction;
    settleTransactionState(TransactionControl::None);
    if (wasInTransaction && !mInTransaction && mSqlite) {
        Common::ErrorInfo info = ErrorFrom(mDriverName, error);
        info.number = ErrTransactionRolledBack;
        throw Common::RuntimeError(info);
    }
    Raise(mDriverName, error);
}

void ConnectionCore::raiseLost()
{
    Raise(ErrConnectionLost, QStringLiteral("データベースとの接続が切れました。"), mDriverName);
}

void ConnectionCore::raiseCancelled()
{
    Raise(ErrCancelled, CancelledDescription(), mDriverName);
}

void ConnectionCore::checkNotLost()
{
    if (mLost)
        raiseLost();
}

// Marks the time a statement runs, from its first step to its last, the only
// time cancel() acts. A cancel asked for between two steps (a savepoint and the
// statement) stays asked for until the statement ends. During a step of the
// program's own (setting the savepoint) it only asks: cancelled on the server,
// that step would abort the user's whole transaction.
class ConnectionCore::Running
{
public:
    enum Start { Cancellable, OwnStepFirst, ReadingRows };

    explicit Running(ConnectionCore &core, void *odbcStatement = nullptr, Start start = Cancellable)
        : mCore(core)
    {
        std::lock_guard lock(mCore.mCancelMutex);
        mCore.mRunning = true;
        mCore.mCancelReachesServer = start != OwnStepFirst;
        mCore.mReadingRows = start == ReadingRows;
        mCore.mCancelRequested = false;
        mCore.mOdbcStatement = odbcStatement;
    }
    ~Running()
    {
        std::lock_guard lock(mCore.mCancelMutex);
        mCore.mRunning = false;
        mCore.mOdbcStatement = nullptr;
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

    /// The program's own steps are done: a cancel now goes to the server.
    /// False when one was asked for meanwhile, and the statement must not start.
    bool userStatementStarts()
    {
        std::lock_guard lock(mCore.mCancelMutex);
        mCore.mCancelReachesServer = true;
        return !mCore.mCancelRequested;
    }

private:
    ConnectionCore &mCore;
};

// The ODBC statement handle of the streaming query, which a cancel goes
// through; null for any other driver.
void *ConnectionCore::queryOdbcStatement() const
{
    if (!mQuery || mDriverName != QLatin1String("QODBC"))
        return nullptr;
    const QVariant handle = mQuery->result()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "void*") != 0)
        return nullptr;
    return *static_cast<void *const *>(handle.constData());
}

bool ConnectionCore::usesSavepoints() const
{
    // Through ODBC as well: psqlODBC undoes a failed statement by itself, but
    // not a fetch that failed or was cancelled, which aborts the transaction.
    return mInTransaction && (mDriverName == QLatin1String("QPSQL") || mOdbcBackendPid > 0);
}

bool ConnectionCore::preparesFirst(const QString &sql) const
{
    // On ODBC a prepared statement has its handle before it runs, which is what
    // a cancel needs. A '?' would be taken for a parameter marker; such a text
    // is sent as it is.
    return mDriverName == QLatin1String("QODBC") && !sql.contains(QLatin1Char('?'));
}

bool ConnectionCore::run(QSqlQuery &query, const QString &sql)
{
    if (!preparesFirst(sql))
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    const QVariant handle = query.result()->handle();
    {
        // An Esc during the prepare found no handle to cancel: the statement
        // does not start (the caller reads an error of no type as cancelled).
        std::lock_guard lock(mCancelMutex);
        if (handle.isValid() && qstrcmp(handle.typeName(), "void*") == 0)
            mOdbcStatement = *static_cast<void *const *>(handle.constData());
        if (mCancelRequested)
            return false;
    }
    return query.exec();
}

// The statement's own work is over: what follows (releasing the savepoint,
// finishing the query) is the program's, which a cancel must not reach, and the
// statement's ODBC handle is about to be freed.
void ConnectionCore::endCancellableStep()
{
    std::lock_guard lock(mCancelMutex);
    mCancelReachesServer = false;
    mOdbcStatement = nullptr;
}

bool ConnectionCore::runQuiet(const QString &sql)
{
    QSqlQuery query(database());
    return query.exec(sql);
}

void ConnectionCore::setSavepoint()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SAVEPOINT ") + QLatin1String(SavepointName)))
        raise(query.lastError());
}

bool ConnectionCore::releaseSavepoint(bool rollBack)
{
    // Failures are left to the next statement to report: after a lost connection
    // it fails as well, and after a user's own COMMIT there is nothing to release.
    const bool rolledBack
        = !rollBack
          || runQuiet(QStringLiteral("ROLLBACK TO SAVEPOINT ") + QLatin1String(SavepointName));
    runQuiet(QStringLiteral("RELEASE SAVEPOINT ") + QLatin1String(SavepointName));
    return rolledBack;
}

void ConnectionCore::beginTransaction()
{
    checkNotLost();
    if (mInTransaction)
        return;
    stopQuery();
    QSqlDatabase db = database();
    if (!db.transaction())
        raise(db.lastError());
    mDriverTransaction = true;
    settleTransactionState(TransactionControl::Begin);
}

void ConnectionCore::rollbackTransaction()
{
    endTransaction(false);
}

void ConnectionCore::commitTransaction()
{
    endTransaction(true);
}

void ConnectionCore::endTransaction(bool commit)
{
    // A lost connection fails every time: its work is gone, never committed.
    checkNotLost();
    if (!mInTransaction)
        return;
    stopQuery();
    QSqlDatabase db = database();
    QSqlError error;
    if (mDriverTransaction) {
        if (!(commit ? db.commit() : db.rollback()))
            error = db.lastError();
    } else {
        // Begun by a typed BEGIN: ODBC's driver knows nothing of it.
        QSqlQuery query(db);
        if (!query.exec(commit ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")))
            error = query.lastError();
    }
    // psqlODBC reports a commit on a connection it has lost as a success.
    if (error.type() == QSqlError::NoError && connectionBroken())
        error = QSqlError(QString(), QString(), QSqlError::ConnectionError);
    if (error.type() != QSqlError::NoError) {
        // PostgreSQL ends a transaction whose commit failed; SQLite keeps it open
        // ("database is locked") so that the commit can be tried again.
        raise(error);
    }
    mDriverTransaction = false;
    settleTransactionState(commit ? TransactionControl::Commit : TransactionControl::Rollback);
}

ConnectionCore::Outcome ConnectionCore::execute(const QString &sql)
{
    return start(sql, ClassifyTransactionControl(sql), true);
}

quint64 ConnectionCore::openQuery(const QString &sql, QStringList *columnNames)
{
    Outcome outcome = start(sql, TransactionControl::None, false);
    *columnNames = std::move(outcome.columnNames);
    return outcome.ticket;
}

// Runs a statement. A query (changesData false) always becomes the streaming
// query, rows or not; another statement only when it returned rows.
ConnectionCore::Outcome
ConnectionCore::start(const QString &sql, TransactionControl control, bool changesData)
{
    checkNotLost();
    stopQuery();
    Running running(*this, nullptr, Running::OwnStepFirst);
    const bool wasInTransaction = mInTransaction;
    const bool savepoint = control == TransactionControl::None && usesSavepoints();
    if (savepoint)
        setSavepoint();
    if (!running.userStatementStarts()) {
        if (savepoint)
            releaseSavepoint(true);
        raiseCancelled();
    }
    auto query = std::make_unique<QSqlQuery>(database());
    query->setForwardOnly(true);
    // Numeric columns as the database's exact text rather than a rounded double.
    query->setNumericalPrecisionPolicy(QSql::HighPrecision);
    // Transaction control goes straight to the server: prepared, psqlODBC would
    // lose track of its own prepared statements across the transaction's end.
    const bool ran = control == TransactionControl::None ? run(*query, sql) : query->exec(sql);
    if (!ran) {
        endCancellableStep();
        const QSqlError error = query->lastError();
        query.reset();
        if (savepoint)
            releaseSavepoint(true);
        if (error.type() == QSqlError::NoError)
            raiseCancelled();
        raise(error);
    }
    if (control == TransactionControl::Commit && PostgresCommandTag(*query) == "ROLLBACK") {
        // A COMMIT of a transaction that had failed: the server rolled it back.
        endCancellableStep();
        query.reset();
        settleTransactionState(control);
        Raise(ErrTransactionRolledBack,
              QStringLiteral("トランザクションはエラーで中断していたため、COMMITはロールバック"
                             "になりました。"),
              mDriverName);
    }
    Outcome outcome;
    outcome.rowsAffected = qMax(query->numRowsAffected(), 0);
    const bool returnsRows = query->isSelect();
    // Whether a query, or another statement that returns rows, wrote anything is
    // known once its rows are read (a function called in a query may write; a
    // WITH query may not): asked then, unless work is pending anyway.
    mQueryMayWrite = (!changesData || returnsRows) && !mPendingWork;
    mQueryBeganAsStatement = changesData;
    mPendingBeforeQuery = mPendingWork;
    if (!changesData || returnsRows) {
        const QSqlRecord record = query->record();
        for (int i = 0; i < record.count(); ++i)
            outcome.columnNames.append(record.fieldName(i));
        mColumnCount = record.count();
        mQuery = std::move(query);
        mQueryHasSavepoint = savepoint;
        mLiveTicket = outcome.ticket = ++mLastTicket;
        readAhead();
    } else {
        endCancellableStep();
        query->finish();
        query.reset();
        if (savepoint)
            releaseSavepoint(false);
    }
    const bool endsTransaction
        = control == TransactionControl::Commit || control == TransactionControl::Rollback;
    if (endsTransaction && wasInTransaction && mDriverTransaction) {
        // The typed statement ended the driver's transaction on the server; ending
        // it in the driver too (nothing is left to commit) puts ODBC back in
        // autocommit mode, so that the next query opens no transaction unseen.
        if (mDriverName == QLatin1String("QODBC"))
            database().commit();
        mDriverTransaction = false;
    }
    if (control == TransactionControl::Begin && !wasInTransaction)
        mDriverTransaction = false;
    settleTransactionState(control);
    if (changesData && mInTransaction && !returnsRows)
        mPendingWork = true;
    return outcome;
}

bool ConnectionCore::fetchRow(quint64 ticket, QVariantList *values, bool readNext)
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
    if (readNext && mQuery) {
        const Running running(*this, queryOdbcStatement(), Running::ReadingRows);
        readAhead();
    }
    return true;
}

// A text without the trailing spaces the layer removes unless they are kept.
static QStringView TrimTrailingBlanks(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.first(end);
}

static void SendValue(RowSink &sink, const QVariant &value, bool keepTrailingBlanks)
{
    if (value.isNull()) {
        sink.addNull();
    } else if (value.typeId() == QMetaType::QString) {
        const QString &text = *static_cast<const QString *>(value.constData());
        sink.addText(keepTrailingBlanks ? QStringView(text) : TrimTrailingBlanks(text));
    } else if (value.typeId() == QMetaType::Double) {
        sink.addReal(*static_cast<const double *>(value.constData()));
    } else if (value.typeId() == QMetaType::LongLong) {
        sink.addInteger(*static_cast<const qlonglong *>(value.constData()));
    } else if (value.typeId() == QMetaType::Int) {
        sink.addInteger(*static_cast<const int *>(value.constData()));
    } else {
        sink.addValue(value);
    }
}

// The libpq result that holds the current row of a streaming QPSQL query (one
// result a row), or null for any other driver.
static const PGresult *PostgresRow(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "PGresult*") != 0
        && qstrcmp(handle.typeName(), "pg_result*") != 0)
        return nullptr;
    const PGresult *result = *static_cast<const PGresult *const *>(handle.constData());
    return result && PQntuples(result) == 1 ? result : nullptr;
}

// Hands on a value of a PostgreSQL row from its text as the server sent it,
// where that text is what the driver's own value would show: texts, integers
// and exact numerics, and ISO dates turned into yyyy/MM/dd. False for any
// other value, which then goes the driver's way.
static bool
SendPostgresText(RowSink &sink, const PGresult *result, int column, bool keepTrailingBlanks)
{
    enum : Oid {
        Char = 18,
        Name = 19,
        Int8 = 20,
        Int2 = 21,
        Int4 = 23,
        Text = 25,
        Oid_ = 26,
        BpChar = 1042,
        VarChar = 1043,
        Date = 1082,
        Numeric = 1700
    };
    if (PQgetisnull(result, 0, column)) {
        sink.addNull();
        return true;
    }
    QByteArrayView text(PQgetvalue(result, 0, column), PQgetlength(result, 0, column));
    switch (PQftype(result, column)) {
    case Char:
    case Name:
    case Text:
    case BpChar:
    case VarChar:
        if (!keepTrailingBlanks)
            while (!text.isEmpty() && text.back() == ' ')
                text.chop(1);
        sink.addUtf8Text(text);
        return true;
    case Int8:
    case Int2:
    case Int4:
    case Oid_:
    case Numeric:
        sink.addUtf8Text(text);
        return true;
    case Date: {
        // 2026-01-05, and nothing else (BC dates, infinity, other date styles).
        static constexpr char Digits[] = "dddd-dd-dd";
        if (text.size() != 10)
            return false;
        char date[10];
        for (int i = 0; i < 10; ++i) {
            const char c = text[i];
            if (Digits[i] == '-' ? c != '-' : (c < '0' || c > '9'))
                return false;
            date[i] = c == '-' ? '/' : c;
        }
        sink.addUtf8Text(QByteArrayView(date, 10));
        return true;
    }
    default:
        return false;
    }
}

qsizetype ConnectionCore::readRows(
    quint64 ticket, RowSink &sink, qsizetype maxRows, bool keepTrailingBlanks, bool *cancelled)
{
    *cancelled = false;
    if (maxRows <= 0)
        return 0;
    // The row read ahead, taken as fetchRow would take it...
    QVariantList values;
    if (!fetchRow(ticket, &values, false))
        return 0;
    sink.beginRow();
    for (const QVariant &value : values)
        SendValue(sink, value, keepTrailingBlanks);
    qsizetype rows = 1;
    if (!mQuery)
        return rows;

    // ...and those after it straight from the query.
    bool more = true;
    bool cancelAsked = false;
    {
        const Running running(*this, queryOdbcStatement(), Running::ReadingRows);
        if (mSqlite) {
            rows += readSqliteRows(sink, maxRows - rows, keepTrailingBlanks, &more);
        } else {
            while (rows < maxRows && !mCancelRequested && (more = mQuery->next())) {
                sink.beginRow();
                const PGresult *result = PostgresRow(*mQuery);
                for (int i = 0; i < mColumnCount; ++i)
                    if (!result || !SendPostgresText(sink, result, i, keepTrailingBlanks))
                        SendValue(sink, mQuery->value(i), keepTrailingBlanks);
                ++rows;
            }
        }
        cancelAsked = mCancelRequested;
    }
    if (cancelAsked) {
        *cancelled = true;
        stopQuery();
    } else if (!more) {
        // The end of the rows, or an error: as the read-ahead would have found
        // it, the error being raised by the next read.
        if (mAheadError.type() == QSqlError::NoError)
            mAheadError = mQuery->lastError();
        endQuery(mAheadError.type() != QSqlError::NoError ? QueryEnd::Failed : QueryEnd::Completed);
    } else {
        const Running running(*this, queryOdbcStatement(), Running::ReadingRows);
        readAhead();
    }
    return rows;
}

// The rows of a query on SQLite read from its statement, without the copy of
// every value that the driver's own row reading makes. Each value is handed on
// as the driver would have made it: integers, reals, texts and bytes.
qsizetype ConnectionCore::readSqliteRows(RowSink &sink,
                                         qsizetype maxRows,
                                         bool keepTrailingBlanks,
                                         bool *more)
{
    const QVariant handle = mQuery->result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return 0;
    sqlite3_stmt *statement = *static_cast<sqlite3_stmt *const *>(handle.constData());
    qsizetype rows = 0;
    while (rows < maxRows) {
        const int result = sqlite3_step(statement);
        if (result != SQLITE_ROW) {
            *more = false;
            if (result != SQLITE_DONE) {
                const auto *message = static_cast<const char16_t *>(sqlite3_errmsg16(mSqlite));
                mAheadError = QSqlError(QStringLiteral("Unable to fetch row"),
                                        QString::fromUtf16(message), QSqlError::StatementError,
                                        QString::number(sqlite3_extended_errcode(mSqlite)));
            }
            return rows;
        }
        sink.beginRow();
        for (int i = 0; i < mColumnCount; ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                sink.addNull();
                break;
            case SQLITE_INTEGER:
                sink.addInteger(sqlite3_column_int64(statement, i));
                break;
            case SQLITE_FLOAT:
                sink.addReal(sqlite3_column_double(statement, i));
                break;
            case SQLITE_BLOB:
                sink.addValue(QVariant(
                    QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, i)),
                               sqlite3_column_bytes(statement, i))));
                break;
            default: {
                // SQLite keeps text as UTF-8: read as UTF-16 it would convert
                // each value into a buffer of its own first.
                const auto *text
                    = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                QByteArrayView view(text, sqlite3_column_bytes(statement, i));
                if (!keepTrailingBlanks)
                    while (!view.isEmpty() && view.back() == ' ')
                        view.chop(1);
                sink.addUtf8Text(view);
                break;
            }
            }
        }
        ++rows;
    }
    return rows;
}

// Reads one row ahead of the caller, so that the query is over, and the server
// free, as soon as its last row has been handed out.
void ConnectionCore::readAhead()
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

void ConnectionCore::closeQuery(quint64 ticket)
{
    if (ticket != 0 && ticket == mLiveTicket)
        stopQuery();
}

void ConnectionCore::stopQuery()
{
    endQuery(QueryEnd::Stopped);
    mLiveTicket = 0;
    mAhead.reset();
    mAheadError = QSqlError();
}

void ConnectionCore::endQuery(QueryEnd how)
{
    if (!mQuery)
        return;
    if (how == QueryEnd::Stopped)
        cancelServerStatement();
    endCancellableStep();
    mQuery->finish();
    mQuery.reset();
    if (mQueryHasSavepoint) {
        mQueryHasSavepoint = false;
        // A cancelled or failed query has aborted the transaction on PostgreSQL.
        // psqlODBC rolls back the whole transaction when a fetch fails, and the
        // savepoint is gone with it: the driver's new transaction ends too, and
        // the work counts as lost, as it is.
        if (!releaseSavepoint(how != QueryEnd::Completed) && mOdbcBackendPid > 0) {
            database().rollback();
            mDriverTransaction = false;
            settleTransactionState(TransactionControl::Rollback);
        } else if (how != QueryEnd::Completed) {
            // Undone to its savepoint: the statement left nothing behind.
            mPendingWork = mPendingBeforeQuery && mInTransaction;
            mQueryMayWrite = false;
        }
    }
    settleTransactionState(TransactionControl::None);
    if (mQueryMayWrite) {
        mQueryMayWrite = false;
        settleReadOnlyTransaction();
    }
}

// After a query, or another statement that returned rows, in a transaction with
// no work before it: the work is pending when it wrote. Otherwise the
// transaction begun for a statement ends, as if it had been a query. Where the
// server cannot tell, a statement's work counts as pending, and a query's as
// none (it is a query): nothing may be dropped unasked.
void ConnectionCore::settleReadOnlyTransaction()
{
    if (!mInTransaction || mLost)
        return;
    bool wrote = mQueryBeganAsStatement;
    if (mSqlite) {
        wrote = sqlite3_txn_state(mSqlite, nullptr) == SQLITE_TXN_WRITE;
    } else if (database().driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        // Through QPSQL or through ODBC: an id is assigned at the first write.
        QSqlQuery query(database());
        if (query.exec(QStringLiteral("SELECT txid_current_if_assigned() IS NOT NULL"))
            && query.next())
            wrote = query.value(0).toBool();
    }
    if (wrote) {
        mPendingWork = true;
    } else if (mQueryBeganAsStatement && mDriverTransaction) {
        database().rollback();
        mDriverTransaction = false;
        settleTransactionState(TransactionControl::Rollback);
    }
}

void ConnectionCore::cancelServerStatement()
{
    // Without a cancel request the server goes on sending every remaining row,
    // and finishing the query would have to read them all. A request that fails
    // to arrive only means that finishing reads the rest.
    if (mPgCancel) {
        char message[256];
        PQcancel(mPgCancel.get(), message, sizeof message);
    }
}

static void OdbcCancel(void *statement)
{
    if (const auto cancel = OdbcFunction<short (*)(void *)>("SQLCancel"))
        cancel(statement);
}

void ConnectionCore::cancel()
{
    std::unique_lock lock(mCancelMutex);
    if (!mRunning)
        return;
    mCancelRequested = true;
    if (!mCancelReachesServer)
        return; // the statement will not start
    if (mSqlite)
        sqlite3_interrupt(mSqlite);
    cancelServerStatement();
    if (mOdbcStatement)
        OdbcCancel(mOdbcStatement);
    if (mReadingRows && mOdbcBackendPid > 0) {
        // A login takes a while: the connection's thread goes on meanwhile.
        lock.unlock();
        cancelOdbcFetch();
    }
}

// Asks PostgreSQL behind ODBC to cancel what this connection's backend runs,
// from a short connection of its own with the same login.
void ConnectionCore::cancelOdbcFetch()
{
    const SqlConnectionName name;
    {
        QSqlDatabase side = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name.name());
        side.setDatabaseName(mOdbcLogin.databaseName);
        side.setUserName(mOdbcLogin.userName);
        side.setPassword(mOdbcLogin.password);
        side.setConnectOptions(mOdbcLogin.options);
        if (side.open())
            QSqlQuery(side).exec(
                QStringLiteral("SELECT pg_cancel_backend(%1)").arg(mOdbcBackendPid));
        side.close();
    }
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
    const auto getConnectAttr
        = OdbcFunction<short (*)(void *, int, void *, int, int *)>("SQLGetConnectAttr");
    if (!connection)
        return false;
    const int AttrConnectionDead = 1209;
    const short Success = 0, SuccessWithInfo = 1;
    quint32 dead = 0;
    if (!getConnectAttr)
        return false;
    const short result
        = getConnectAttr(connection, AttrConnectionDead, &dead, sizeof dead, nullptr);
    return (result == Success || result == SuccessWithInfo) && dead == 1;
}

bool ConnectionCore::connectionBroken() const
{
    const QSqlDatabase db = database();
    if (PGconn *conn = PostgresConnection(db))
        return PQstatus(conn) == CONNECTION_BAD;
    return OdbcConnectionDead(db);
}

// Takes the transaction state from the server where it can tell: PostgreSQL's
// status after the last command, SQLite's autocommit mode. Other drivers have
// no such question: there the statement's own words decide.
void ConnectionCore::settleTransactionState(TransactionControl control)
{
    if (mSqlite) {
        mInTransaction = !sqlite3_get_autocommit(mSqlite);
    } else if (PGconn *conn = PostgresConnection(database())) {
        switch (PQtransactionStatus(conn)) {
        case PQTRANS_IDLE:
            mInTransaction = false;
            break;
        case PQTRANS_INTRANS:
        case PQTRANS_INERROR:
            mInTransaction = true;
            break;
        default:
            break; // a query still streams, or the connection is gone: unchanged
        }
    } else if (control == TransactionControl::Begin) {
        mInTransaction = true;
    } else if (control == TransactionControl::Commit || control == TransactionControl::Rollback) {
        mInTransaction = false;
    }
    if (!mInTransaction)
        mPendingWork = false;
}

} // namespace Engine
