#include "engine/nativedriver.h"

#include "engine/rowsink.h"

#include <QSqlDriver>
#include <QSqlResult>

#include <libpq-fe.h>

namespace Engine {

namespace {

// The libpq connection under a QPSQL database, or null.
PGconn *PostgresConnection(const QSqlDatabase &db)
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

// The libpq result of a QPSQL statement, or null.
const PGresult *PostgresResult(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "PGresult*") != 0
        && qstrcmp(handle.typeName(), "pg_result*") != 0)
        return nullptr;
    return *static_cast<const PGresult *const *>(handle.constData());
}

// The libpq result that holds the current row of a streaming QPSQL query (one
// result a row), or null.
const PGresult *PostgresRow(const QSqlQuery &query)
{
    const PGresult *result = PostgresResult(query);
    return result && PQntuples(result) == 1 ? result : nullptr;
}

// Hands on a value of a PostgreSQL row from its text as the server sent it,
// where that text is what the driver's own value would show: texts, integers
// and exact numerics, and ISO dates turned into yyyy/MM/dd. False for any
// other value, which then goes the driver's way.
bool SendPostgresText(RowSink &sink, const PGresult *result, int column, bool keepTrailingBlanks)
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

struct CancelDeleter
{
    void operator()(PGcancel *cancel) const { PQfreeCancel(cancel); }
};

// QPSQL through libpq: PostgreSQL aborts the whole transaction when a statement
// fails, so every statement inside one runs under a savepoint.
class PostgresDriver final : public NativeDriver
{
public:
    void setLogin(QSqlDatabase &db,
                  const ServerEntry &server,
                  const QString &userId,
                  const QString &password) override
    {
        NativeDriver::setLogin(db, server, userId, password);
        db.setConnectOptions(ConnectOptions(server, QStringLiteral("connect_timeout")));
    }

    void attach(const QSqlDatabase &db) override
    {
        mConnection = PostgresConnection(db);
        // What a cancel from another thread goes through.
        if (mConnection)
            mCancel.reset(PQgetCancel(mConnection));
    }

    bool connectionLost() const override
    {
        return mConnection && PQstatus(mConnection) == CONNECTION_BAD;
    }

    void cancel(void *) override { requestCancel(); }

    // Without a cancel request the server goes on sending every remaining row,
    // and finishing the query would have to read them all. A request that fails
    // to arrive only means that finishing reads the rest.
    void stopStreaming() override { requestCancel(); }

    bool usesSavepoints() const override { return true; }

    bool commitRolledBack(const QSqlQuery &query) const override
    {
        // The command tag of the statement's result.
        const PGresult *result = PostgresResult(query);
        return result && qstrcmp(PQcmdStatus(const_cast<PGresult *>(result)), "ROLLBACK") == 0;
    }

    // PostgreSQL's status after the last command.
    TransactionState transactionState() const override
    {
        if (!mConnection)
            return TransactionState::NotReported;
        switch (PQtransactionStatus(mConnection)) {
        case PQTRANS_IDLE:
            return TransactionState::Idle;
        case PQTRANS_INTRANS:
        case PQTRANS_INERROR:
            return TransactionState::Open;
        default:
            return TransactionState::Unknown; // a query still streams, or the connection is gone
        }
    }

    void sendRow(const QSqlQuery &query,
                 int columnCount,
                 RowSink &sink,
                 bool keepTrailingBlanks) const override
    {
        const PGresult *result = PostgresRow(query);
        for (int i = 0; i < columnCount; ++i)
            if (!result || !SendPostgresText(sink, result, i, keepTrailingBlanks))
                SendValue(sink, query.value(i), keepTrailingBlanks);
    }

private:
    // libpq sends the request over a connection of its own; the cancel object is
    // only read, so this may run on any thread.
    void requestCancel() const
    {
        if (mCancel) {
            char message[256];
            PQcancel(mCancel.get(), message, sizeof message);
        }
    }

    PGconn *mConnection = nullptr; // QPSQL's, open as long as this driver is used
    std::unique_ptr<PGcancel, CancelDeleter> mCancel;
};

} // namespace

std::unique_ptr<NativeDriver> MakePostgresDriver()
{
    return std::make_unique<PostgresDriver>();
}

} // namespace Engine
