#pragma once

#include "oracle/servers.h"
#include "oracle/sqlconnectionname.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>

namespace Ora {

/// One open database connection under the component objects: statements,
/// transactions and the one streaming query, with the care each driver needs.
///
/// - Oracle undoes only a failed statement, never the transaction around it.
///   PostgreSQL aborts the whole transaction instead, so on QPSQL every statement
///   inside a transaction runs under a savepoint that a failure rolls back to. On
///   QODBC psqlODBC does the same by itself, provided that a statement is sent
///   apart from its savepoint, which preparing it does.
/// - A query streams (forward-only); any other statement first ends it. A query
///   stopped before its end is cancelled on the server (QPSQL), or the next
///   statement would wait for all the rows it had left to send.
/// Failures raise Common::RuntimeError; the destructor rolls back an open
/// transaction and closes the connection.
class Connection
{
public:
    /// Opens the connection as the user ID that LoginUserId gives; raises when the
    /// driver is missing, USERCASE is unknown or the login fails.
    Connection(const ServerEntry &server, const QString &userId, const QString &password);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QString driverName() const { return mDriverName; }

    void beginTransaction();
    void rollbackTransaction();
    void commitTransaction();
    bool inTransaction() const { return mInTransaction; }

    /// Runs a statement and returns the number of rows it processed.
    qint32 execute(const QString &sql);

    /// Starts a streaming query, which ends any earlier one; returns its ticket
    /// and the column names in select-list order.
    quint64 openQuery(const QString &sql, QStringList *columnNames);
    /// Reads the next row of the query with that ticket; false past the last row.
    /// Raises when the row cannot be read or when a later statement ended the query.
    bool fetchRow(quint64 ticket, QVariantList *values);
    /// Ends the query with that ticket, if it still runs.
    void closeQuery(quint64 ticket);
    /// Ends whatever query still runs; its dynaset can then read no further.
    void stopQuery();

private:
    enum class QueryEnd { Completed, Failed, Stopped };

    QSqlDatabase database() const;
    [[noreturn]] void raise(const QSqlError &error) const;
    bool usesSavepoints() const;
    bool prepareInTransaction(const QString &sql) const;
    bool runQuiet(const QString &sql);
    void setSavepoint();
    void releaseSavepoint(bool rollBack);
    void readAhead();
    void endQuery(QueryEnd how);
    void cancelServerStatement();
    bool connectionLost() const;
    bool serverInTransaction() const;

    SqlConnectionName mName;
    QString mDriverName;
    bool mInTransaction = false;
    std::unique_ptr<QSqlQuery> mQuery; // null once the query has ended on the server
    bool mQueryHasSavepoint = false;
    int mColumnCount = 0;    // of the streaming query
    quint64 mLiveTicket = 0; // the query whose rows can still be read
    quint64 mLastTicket = 0;
    std::optional<QVariantList> mAhead; // the next row, read ahead
    QSqlError mAheadError;              // or the error that reading it gave
};

} // namespace Ora
