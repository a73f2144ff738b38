#pragma once

#include "engine/servers.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <memory>
#include <optional>

namespace Engine {

class CsvSink;
class RowSink;
struct CsvFormat;

/// What a connection needs of its database driver beyond Qt SQL: the login in the
/// form the driver takes, a cancel that reaches the server, what the server can
/// tell of the connection and its transaction, and faster row reading. One object
/// per connection, made by create() from the Qt SQL driver name.
///
/// Each call has a default, which is what a driver with nothing of its own does
/// (QOCI, QMYSQL, ...): it asks the server nothing and cancels nothing.
/// Every call but cancel() and cancelFetch() comes from the connection's thread.
class NativeDriver
{
public:
    /// The implementation for a Qt SQL driver name: QPSQL, QSQLITE, QODBC, or
    /// the defaults for any other.
    static std::unique_ptr<NativeDriver> create(const QString &driverName);

    virtual ~NativeDriver() = default;
    NativeDriver(const NativeDriver &) = delete;
    NativeDriver &operator=(const NativeDriver &) = delete;

    // The connection.

    /// Sets the database name, user, password and connect options of a
    /// connection not yet open (host and port are the caller's).
    virtual void setLogin(QSqlDatabase &db,
                          const ServerEntry &server,
                          const QString &userId,
                          const QString &password);
    /// Takes what the driver needs of the connection just opened.
    virtual void attach(const QSqlDatabase &db);
    /// The connection to the server is known to be broken.
    virtual bool connectionLost() const { return false; }

    // Cancel.

    /// The handle of a query's statement that cancel() goes through, or null
    /// where a cancel goes through the connection.
    virtual void *statementHandle(const QSqlQuery &query) const;
    /// Asks the server to stop what the connection runs now. Called from any
    /// thread, under the lock that keeps statement (from statementHandle(), or
    /// null) from being freed meanwhile.
    virtual void cancel(void *statement);
    /// Called after cancel() when rows were being fetched, from the same thread
    /// but without the lock: what a fetch needs besides, which may take a while.
    virtual void cancelFetch() {}
    /// A streaming query is ended before its last row: the server is asked to
    /// stop sending the rest, which finishing the query would otherwise read.
    virtual void stopStreaming() {}

    // Statements and transactions.

    /// The statement is prepared before it runs, so that a cancel has its handle.
    virtual bool preparesFirst(const QString &sql) const;
    /// Every statement inside a transaction runs under a savepoint that a
    /// failure rolls back to.
    virtual bool usesSavepoints() const { return false; }
    /// A failed statement may roll back the whole transaction around it.
    virtual bool failureMayEndTransaction() const { return false; }
    /// A failed or cancelled fetch rolls back the whole transaction around it.
    virtual bool failedFetchEndsTransaction() const { return false; }
    /// A transaction ended by a typed COMMIT or ROLLBACK must be ended in the
    /// driver as well, which otherwise believes it still open.
    virtual bool endsTypedTransactionInDriver() const { return false; }
    /// The COMMIT that the query ran was turned into a rollback by the server.
    virtual bool commitRolledBack(const QSqlQuery &query) const;

    /// The server's word on the transaction after the last statement.
    enum class TransactionState {
        Idle,       ///< no transaction is open
        Open,       ///< a transaction is open, a failed one included
        Unknown,    ///< the server cannot tell now: the state stays as it was
        NotReported ///< the driver has no such question: the statement's words decide
    };
    virtual TransactionState transactionState() const { return TransactionState::NotReported; }
    /// Whether the open transaction has written anything, where the server can tell.
    virtual std::optional<bool> transactionWrote(const QSqlDatabase &db) const;

    // Rows.

    /// Runs the query so that the server writes its rows as CSV itself, each
    /// value as the result list would show it, and hands them to the sink.
    /// Returns the number of rows; std::nullopt where the driver has no such
    /// way (then nothing ran). A failure is put in *error. A cancel reaches it
    /// through cancel().
    virtual std::optional<qint64>
    copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink, QSqlError *error);

    /// Hands up to maxRows next rows of a forward-only query to the sink straight
    /// from the driver's own statement, and returns how many. At the end of the
    /// rows *more becomes false, and a failure to read is put in *error. A cancel
    /// reaches it through cancel() alone. std::nullopt where the driver has no such
    /// reading: the rows then go through QSqlQuery and sendRow().
    virtual std::optional<qsizetype> readRows(QSqlQuery &query,
                                              int columnCount,
                                              RowSink &sink,
                                              qsizetype maxRows,
                                              bool keepTrailingBlanks,
                                              bool *more,
                                              QSqlError *error);
    /// A value of the query's current row: the driver's own, or its text where
    /// the driver's own would lose what the server sent (PostgreSQL's dates and
    /// times, in the form sendRow() hands them on).
    virtual QVariant value(const QSqlQuery &query, int column) const { return query.value(column); }
    /// Hands the values of the query's current row to the sink (after its beginRow).
    virtual void
    sendRow(const QSqlQuery &query, int columnCount, RowSink &sink, bool keepTrailingBlanks) const;

protected:
    NativeDriver() = default;

    /// The server's connect options, led by its connect timeout under the key that
    /// the driver takes, unless the options set one themselves or there is no key.
    static QString ConnectOptions(const ServerEntry &server, const QString &timeoutKey);
};

// The drivers with a native side, each in a file of its own.
std::unique_ptr<NativeDriver> MakePostgresDriver();
std::unique_ptr<NativeDriver> MakeSqliteDriver();
std::unique_ptr<NativeDriver> MakeOdbcDriver();

} // namespace Engine
