#include "engine/connectioncore.h"

#include "engine/errors.h"
#include "engine/nativedriver.h"
#include "engine/rowsink.h"

#include <QSqlError>
#include <QSqlRecord>

namespace Engine {

static const char SavepointName[] = "korvane_statement";

ConnectionCore::ConnectionCore(const ServerEntry &server,
                               const QString &userId,
                               const QString &password)
    : mDriverName(server.driver)
    , mDriver(NativeDriver::create(server.driver))
{
    if (mDriverName.isEmpty())
        Raise(ErrCannotCreateObject,
              QStringLiteral("SERVERS.ini のサーバ %1 に DRIVER がありません。").arg(server.name),
              LayerSource());
    if (!QSqlDatabase::isDriverAvailable(mDriverName))
        Raise(ErrCannotCreateObject,
              QStringLiteral("サーバ %2 のデータベースドライバ %1 がインストールされていません"
                             "（その名前の Qt SQL プラグインがありません）。")
                  .arg(mDriverName, server.name),
              LayerSource());
    const std::optional<QString> loginUserId = LoginUserId(server, userId);
    if (!loginUserId)
        Raise(ErrCannotCreateObject,
              QStringLiteral("SERVERS.ini のサーバ %1 の USERCASE=%2 は使えません。"
                             "LOWER か KEEP を指定してください。")
                  .arg(server.name, server.userCase),
              LayerSource());

    QSqlDatabase db = QSqlDatabase::addDatabase(mDriverName, mName.name());
    if (!server.host.isEmpty())
        db.setHostName(server.host);
    if (server.port > 0)
        db.setPort(server.port);
    mDriver->setLogin(db, server, *loginUserId, password);
    if (!db.open())
        raise(db.lastError());
    mDriver->attach(db);
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
    if (!mLost && mDriver->connectionLost()) {
        mLost = true;
        mInTransaction = mPendingWork = false;
    }
    if (mLost)
        raiseLost();
    // SQLite has rolled back the whole transaction when it is left in autocommit
    // mode: the work before the failed statement is gone, and the caller must know.
    const bool wasInTransaction = mInTransaction;
    settleTransactionState(TransactionControl::None);
    if (wasInTransaction && !mInTransaction && mDriver->failureMayEndTransaction()) {
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

    explicit Running(ConnectionCore &core, void *statement = nullptr, Start start = Cancellable)
        : mCore(core)
    {
        std::lock_guard lock(mCore.mCancelMutex);
        mCore.mRunning = true;
        mCore.mCancelReachesServer = start != OwnStepFirst;
        mCore.mReadingRows = start == ReadingRows;
        mCore.mCancelRequested = false;
        mCore.mStatement = statement;
    }
    ~Running()
    {
        std::lock_guard lock(mCore.mCancelMutex);
        mCore.mRunning = false;
        mCore.mStatement = nullptr;
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

// The handle of the streaming query's statement that a cancel goes through
// (ODBC), or null.
void *ConnectionCore::queryStatement() const
{
    return mQuery ? mDriver->statementHandle(*mQuery) : nullptr;
}

bool ConnectionCore::cancelWhileReadingEndsTransaction() const
{
    return mInTransaction && mDriver->failedFetchEndsTransaction();
}

bool ConnectionCore::usesSavepoints() const
{
    return mInTransaction && mDriver->usesSavepoints();
}

bool ConnectionCore::run(QSqlQuery &query, const QString &sql)
{
    if (!mDriver->preparesFirst(sql))
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    void *statement = mDriver->statementHandle(query);
    {
        // An Esc during the prepare found no handle to cancel: the statement
        // does not start (the caller reads an error of no type as cancelled).
        std::lock_guard lock(mCancelMutex);
        mStatement = statement;
        if (mCancelRequested)
            return false;
    }
    return query.exec();
}

// The statement's own work is over: what follows (releasing the savepoint,
// finishing the query) is the program's, which a cancel must not reach, and the
// statement's handle is about to be freed.
void ConnectionCore::endCancellableStep()
{
    std::lock_guard lock(mCancelMutex);
    mCancelReachesServer = false;
    mStatement = nullptr;
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
    if (error.type() == QSqlError::NoError && mDriver->connectionLost())
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
    if (control == TransactionControl::Commit && mDriver->commitRolledBack(*query)) {
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
        if (mDriver->endsTypedTransactionInDriver())
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
              QStringLiteral("同じ接続で次のSQLが実行されたため、検索を終了しました。"),
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
        const Running running(*this, queryStatement(), Running::ReadingRows);
        readAhead();
    }
    return true;
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
        const Running running(*this, queryStatement(), Running::ReadingRows);
        if (const std::optional<qsizetype> read
            = mDriver->readRows(*mQuery, mColumnCount, sink, maxRows - rows, keepTrailingBlanks,
                                &more, &mAheadError)) {
            rows += *read;
        } else {
            while (rows < maxRows && !mCancelRequested && (more = mQuery->next())) {
                sink.beginRow();
                mDriver->sendRow(*mQuery, mColumnCount, sink, keepTrailingBlanks);
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
        const Running running(*this, queryStatement(), Running::ReadingRows);
        readAhead();
    }
    return rows;
}

std::optional<qint64>
ConnectionCore::copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink)
{
    checkNotLost();
    stopQuery();
    Running running(*this, nullptr, Running::OwnStepFirst);
    const bool savepoint = usesSavepoints();
    if (savepoint)
        setSavepoint();
    if (!running.userStatementStarts()) {
        if (savepoint)
            releaseSavepoint(true);
        raiseCancelled();
    }
    QSqlError error;
    const std::optional<qint64> rows = mDriver->copyCsv(sql, format, sink, &error);
    endCancellableStep();
    const bool failed = error.type() != QSqlError::NoError;
    if (savepoint && !mDriver->connectionLost())
        releaseSavepoint(failed);
    if (failed) {
        if (mCancelRequested && !mDriver->connectionLost())
            raiseCancelled();
        raise(error);
    }
    settleTransactionState(TransactionControl::None);
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
            row.append(mDriver->value(*mQuery, i));
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
        mDriver->stopStreaming();
    endCancellableStep();
    mQuery->finish();
    mQuery.reset();
    if (mQueryHasSavepoint) {
        mQueryHasSavepoint = false;
        // A cancelled or failed query has aborted the transaction on PostgreSQL.
        // psqlODBC rolls back the whole transaction when a fetch fails, and the
        // savepoint is gone with it: the driver's new transaction ends too, and
        // the work counts as lost, as it is.
        if (!releaseSavepoint(how != QueryEnd::Completed)
            && mDriver->failedFetchEndsTransaction()) {
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
    const bool wrote = mDriver->transactionWrote(database()).value_or(mQueryBeganAsStatement);
    if (wrote) {
        mPendingWork = true;
    } else if (mQueryBeganAsStatement && mDriverTransaction) {
        database().rollback();
        mDriverTransaction = false;
        settleTransactionState(TransactionControl::Rollback);
    }
}

void ConnectionCore::cancel()
{
    std::unique_lock lock(mCancelMutex);
    if (!mRunning)
        return;
    mCancelRequested = true;
    if (!mCancelReachesServer)
        return; // the statement will not start
    mDriver->cancel(mStatement);
    if (mReadingRows) {
        // A login takes a while: the connection's thread goes on meanwhile.
        lock.unlock();
        mDriver->cancelFetch();
    }
}

// Takes the transaction state from the server where it can tell: PostgreSQL's
// status after the last command, SQLite's autocommit mode. Other drivers have
// no such question: there the statement's own words decide.
void ConnectionCore::settleTransactionState(TransactionControl control)
{
    using State = NativeDriver::TransactionState;
    switch (mDriver->transactionState()) {
    case State::Idle:
        mInTransaction = false;
        break;
    case State::Open:
        mInTransaction = true;
        break;
    case State::Unknown:
        break; // unchanged
    case State::NotReported:
        if (control == TransactionControl::Begin)
            mInTransaction = true;
        else if (control == TransactionControl::Commit || control == TransactionControl::Rollback)
            mInTransaction = false;
        break;
    }
    if (!mInTransaction)
        mPendingWork = false;
}

} // namespace Engine
