#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

/// The database component the program drives: a session made by programmatic
/// identifier, the databases it opens, their dynasets and fields. Exactly the calls
/// the program makes, implemented on Qt SQL. Objects are shared references:
/// releasing the last reference is what closes a connection. Every failing call
/// raises Common::RuntimeError (numbers in engine/errors.h).
namespace Engine {
class Connection;
class CsvSink;
class RowSink;
struct CsvFormat;
} // namespace Engine

namespace Ora {

class Database;
class Dynaset;
class Session;

/// The programmatic identifier of the session object.
inline constexpr char SessionProgId[] = "OracleInProcServer.XOraSession";

/// Creates an object by programmatic identifier; only the session is known.
/// Raises when the identifier is unknown or no Qt SQL driver is installed at all.
std::shared_ptr<Session> CreateObject(const QString &progId);

/// A session: opens databases and holds their common transaction.
class Session
{
public:
    Session() = default;
    /// Ends any query still running on the session's databases, so that a dynaset
    /// the caller still holds keeps no lock and no server transaction open.
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    /// Connects to a server name resolved through SERVERS.ini (or, with no entry and
    /// the QOCI driver installed, as an Oracle net service name). The connect string
    /// is user ID, "/", password, split at the first "/". Options are accepted.
    std::shared_ptr<Database>
    OpenDatabase(const QString &serverName, const QString &connectString, qint32 options);

    /// Begins a transaction on every database of the session; nothing when one is open.
    void BeginTrans();
    /// Rolls back all uncommitted work; nothing when no transaction is open.
    void ResetTrans();
    /// Commits all uncommitted work; nothing when no transaction is open.
    void CommitTrans();

    /// A transaction is open on the server, as last asked.
    bool inTransaction() const;
    /// A statement other than a query ran in the open transaction.
    bool hasPendingWork() const;
    /// A connection of the session was found broken.
    bool isLost() const;

private:
    // The session keeps its connections until it is released, as a transaction
    // of the session may outlive a released database object.
    std::vector<std::shared_ptr<Engine::Connection>> mConnections;
};

/// One open database.
class Database
{
public:
    explicit Database(std::shared_ptr<Engine::Connection> connection);

    /// Runs a query and returns a dynaset on its first row.
    std::shared_ptr<Dynaset> DbCreateDynaset(const QString &sql, qint32 options);
    /// Runs a statement that returns no rows; returns the number of rows processed.
    qint32 ExecuteSQL(const QString &sql);
    /// Runs any statement: a dynaset on the first row when the statement returned
    /// rows (a WITH query, VALUES, INSERT ... RETURNING), else empty.
    std::shared_ptr<Dynaset> ExecuteReturningRows(const QString &sql, qint32 options);

    /// Runs a query whose rows the server writes as CSV itself, handed to the
    /// sink on the connection's thread (PostgreSQL's COPY); the number of rows,
    /// or std::nullopt where the database has no such way.
    std::optional<qint64> CopyCsv(const QString &sql,
                                  qint32 options,
                                  const Engine::CsvFormat &format,
                                  Engine::CsvSink &sink);

private:
    std::shared_ptr<Engine::Connection> mConnection;
};

/// One column of the dynaset's current row.
class Field
{
public:
    Field(const QString &name, const QVariant &value, bool hasRow);

    QString name() const { return mName; }
    /// The value; a null QVariant for SQL NULL. Raises at the end of the rows.
    QVariant value() const;

private:
    QString mName;
    QVariant mValue;
    bool mHasRow;
};

/// Dynaset options that change what the layer does; other flags are accepted.
enum DynasetOption {
    /// Text values keep their trailing blanks (otherwise removed).
    KeepTrailingBlanks = 2,
};

/// The rows of a query, read forward one at a time.
class Dynaset
{
public:
    Dynaset(std::shared_ptr<Engine::Connection> connection,
            quint64 ticket,
            const QStringList &columnNames,
            qint32 options);
    /// Ends the query if it still runs, leaving the connection ready at once.
    ~Dynaset();
    Dynaset(const Dynaset &) = delete;
    Dynaset &operator=(const Dynaset &) = delete;

    /// True past the last row, and at once for an empty result.
    bool isEof() const { return mEof; }
    /// The fields of the current row in select-list order.
    QList<Field> fields() const;
    /// The column names, and the values of the current row (a null QVariant for
    /// SQL NULL), in select-list order: the fields without a copy per row, for
    /// reading many rows. The values are empty past the last row.
    const QStringList &columnNames() const { return mColumnNames; }
    const QVariantList &values() const { return mValues; }
    /// Moves to the next row; raises when the row cannot be read.
    void moveNext();
    /// Hands the current row and up to maxRows - 1 rows after it to the sink,
    /// and moves past them; returns how many. Fewer at the end of the rows, and
    /// when a cancel stopped the query: then *cancelled is set and the dynaset
    /// is at its end. Raises when a row cannot be read, after handing on the
    /// rows before it.
    /// Meanwhile, when given, runs on the calling thread while the rows are read.
    qsizetype readRows(Engine::RowSink &sink,
                       qsizetype maxRows,
                       bool *cancelled,
                       const std::function<void()> &meanwhile = {});

private:
    std::shared_ptr<Engine::Connection> mConnection;
    quint64 mTicket;
    QStringList mColumnNames;
    qint32 mOptions;
    QVariantList mValues;
    bool mEof = false;
};

/// Splits a connect string "user/password" at its first "/" (the password may hold
/// more); a text without "/" is all user ID.
void SplitConnectString(const QString &connectString, QString *userId, QString *password);

} // namespace Ora
