#pragma once

#include "engine/servers.h"
#include "engine/sqlconnectionname.h"
#include "engine/sqlthread.h"
#include "engine/transactioncontrol.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace Engine {

class CsvSink;
class NativeDriver;
class RowSink;
struct CsvFormat;

/// One open database connection under the component objects: statements,
/// transactions and the one streaming query, with the care each driver needs.
/// Every call but cancel() must come from the one thread that created it.
///
/// - Oracle undoes only a failed statement, never the transaction around it.
///   PostgreSQL aborts the whole transaction instead, so on QPSQL every statement
///   inside a transaction runs under a savepoint that a failure rolls back to. On
///   QODBC psqlODBC does the same by itself, provided that a statement is sent
///   apart from its savepoint, which preparing it does.
/// - SQLite rolls back the whole transaction when a write inside it fails in
///   some ways, an interrupted one included: that failure is raised as
///   ErrTransactionRolledBack, and the transaction counts as ended.
/// - A query streams (forward-only); any other statement first ends it. A query
///   stopped before its end is cancelled on the server (QPSQL), or the next
///   statement would wait for all the rows it had left to send.
/// - Whether a transaction is open is asked of the server after every statement
///   (PostgreSQL and SQLite), so that a COMMIT or BEGIN typed by the user counts;
///   ODBC has no such question, and there the statement's first words decide.
/// - Once the connection is found lost, every later call raises ErrConnectionLost
///   without reaching the server: its work is gone, and nothing may claim otherwise.
/// Failures raise Common::RuntimeError; the destructor rolls back an open
/// transaction and closes the connection.
class ConnectionCore
{
public:
    /// Opens the connection as the user ID that LoginUserId gives; raises when the
    /// driver is missing, USERCASE is unknown or the login fails.
    ConnectionCore(const ServerEntry &server, const QString &userId, const QString &password);
    ~ConnectionCore();
    ConnectionCore(const ConnectionCore &) = delete;
    ConnectionCore &operator=(const ConnectionCore &) = delete;

    QString driverName() const { return mDriverName; }

    void beginTransaction();
    void rollbackTransaction();
    void commitTransaction();
    /// The server has a transaction open (as last asked).
    bool inTransaction() const { return mInTransaction; }
    /// A statement other than a query ran in the open transaction: there is work
    /// that a commit would keep and a rollback would undo.
    bool hasPendingWork() const { return mPendingWork; }
    /// The connection to the server was found broken.
    bool isLost() const { return mLost; }
    /// A cancel while rows are read would end the whole transaction (psqlODBC
    /// rolls it back when a fetch fails).
    bool cancelWhileReadingEndsTransaction() const;

    /// What a statement run by execute gave back.
    struct Outcome
    {
        qint32 rowsAffected = 0;
        /// A query's ticket when the statement returned rows, else 0.
        quint64 ticket = 0;
        QStringList columnNames;
    };
    /// Runs any statement. One that returns rows (a WITH query, VALUES, INSERT
    /// ... RETURNING) streams them as openQuery does. Transaction control typed by
    /// the user runs as it is, without the savepoint around other statements.
    Outcome execute(const QString &sql);

    /// Starts a streaming query, which ends any earlier one; returns its ticket
    /// and the column names in select-list order.
    quint64 openQuery(const QString &sql, QStringList *columnNames);
    /// Reads the next row of the query with that ticket; false past the last row.
    /// Raises when the row cannot be read or when a later statement ended the query.
    /// readNext false leaves the row after it unread, for the caller to read.
    bool fetchRow(quint64 ticket, QVariantList *values, bool readNext = true);
    /// Hands up to maxRows next rows of the query to the sink; returns how many.
    /// Fewer at the end of the rows, and when a cancel stopped the query (then
    /// *cancelled is set and the query is over). Raises like fetchRow.
    qsizetype readRows(
        quint64 ticket, RowSink &sink, qsizetype maxRows, bool keepTrailingBlanks, bool *cancelled);
    /// Runs a query whose rows the server writes as CSV itself (see
    /// NativeDriver::copyCsv), under a savepoint inside a transaction, like any
    /// statement. The number of rows; std::nullopt where the driver has no such
    /// way. Raises like openQuery, and ErrCancelled when cancelled.
    std::optional<qint64> copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink);
    /// Ends the query with that ticket, if it still runs.
    void closeQuery(quint64 ticket);
    /// Ends whatever query still runs; its dynaset can then read no further.
    void stopQuery();

    /// Asks the server to stop the statement that runs now, if any. The one
    /// call that may come from any thread.
    void cancel();

    /// The Qt SQL connection, for reading the driver's own lists of tables and
    /// fields on the connection's thread.
    QSqlDatabase database() const;

private:
    enum class QueryEnd { Completed, Failed, Stopped };
    class Running;

    [[noreturn]] void raise(const QSqlError &error);
    [[noreturn]] void raiseLost();
    [[noreturn]] void raiseCancelled();
    void checkNotLost();
    void *queryStatement() const;
    bool usesSavepoints() const;
    bool run(QSqlQuery &query, const QString &sql);
    bool runQuiet(const QString &sql);
    Outcome start(const QString &sql, TransactionControl control, bool changesData);
    void endTransaction(bool commit);
    void setSavepoint();
    bool releaseSavepoint(bool rollBack);
    void endCancellableStep();
    void readAhead();
    void endQuery(QueryEnd how);
    void settleTransactionState(TransactionControl control);
    void settleReadOnlyTransaction();

    SqlConnectionName mName;
    QString mDriverName;
    // Read by the waiting thread while a statement runs, hence atomic.
    std::atomic<bool> mInTransaction = false;
    std::atomic<bool> mPendingWork = false;
    bool mPendingBeforeQuery = false;    // when the streaming query began
    bool mQueryBeganAsStatement = false; // not a query: run by execute()
    bool mLost = false;
    // On ODBC a transaction begun by the driver (autocommit off) ends through the
    // driver as well; one that a typed BEGIN opened ends with a typed COMMIT.
    bool mDriverTransaction = false;
    std::unique_ptr<QSqlQuery> mQuery; // null once the query has ended on the server
    bool mQueryHasSavepoint = false;
    bool mQueryMayWrite = false; // a statement's rows: pending work decided at their end
    int mColumnCount = 0;        // of the streaming query
    quint64 mLiveTicket = 0;     // the query whose rows can still be read
    quint64 mLastTicket = 0;
    std::optional<QVariantList> mAhead; // the next row, read ahead
    QSqlError mAheadError;              // or the error that reading it gave

    // The driver's own side: made with the connection and never replaced, as
    // cancel() reaches it from another thread.
    const std::unique_ptr<NativeDriver> mDriver;

    // What cancel() reaches from another thread, guarded by mCancelMutex: the
    // statement handle a cancel goes through, and whether a statement runs now.
    std::mutex mCancelMutex;
    void *mStatement = nullptr;
    bool mRunning = false;
    bool mCancelReachesServer = false;
    bool mReadingRows = false;
    std::atomic<bool> mCancelRequested = false;
};

} // namespace Engine
