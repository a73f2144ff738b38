#include "engine/nativedriver.h"

#include "engine/rowsink.h"

#include <QSqlDriver>
#include <QSqlResult>

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

// The PostgreSQL types (pg_type oids) whose values are handed on from the text
// the server sent.
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
    Time = 1083,
    Timestamp = 1114,
    TimestampTz = 1184,
    TimeTz = 1266,
    Numeric = 1700
};

bool IsDateOrTime(Oid type)
{
    return type == Date || type == Time || type == Timestamp || type == TimestampTz
           || type == TimeTz;
}

// A date, time or timestamp as the server wrote it, with nothing lost: in the
// ISO style that QPSQL sets, a leading date 2026-01-05 becomes 2026/01/05 (in
// the buffer) and the rest stays as sent: the time with its fractional seconds,
// the offset of a timestamptz or timetz in the session's time zone, " BC". Any
// other text (infinity, -infinity, a time alone, another DateStyle) is returned
// as it is.
QByteArrayView SlashedDate(QByteArrayView text, char (&buffer)[64])
{
    const auto isDigit = [&text](qsizetype i) { return text[i] >= '0' && text[i] <= '9'; };
    qsizetype year = 0; // the digits of the year, four or more
    while (year < text.size() && isDigit(year))
        ++year;
    const qsizetype dateEnd = year + 6; // after "-MM-DD"
    if (year < 4 || text.size() < dateEnd || text.size() > qsizetype(sizeof buffer)
        || text[year] != '-' || text[year + 3] != '-' || !isDigit(year + 1) || !isDigit(year + 2)
        || !isDigit(year + 4) || !isDigit(year + 5)
        || (text.size() > dateEnd && text[dateEnd] != ' '))
        return text;
    std::copy(text.begin(), text.end(), buffer);
    buffer[year] = buffer[year + 3] = '/';
    return QByteArrayView(buffer, text.size());
}

// Hands on a value of a PostgreSQL row from its text as the server sent it,
// where that text is what the driver's own value would show, or more: texts,
// integers and exact numerics, dates and times. False for any other value,
// which then goes the driver's way.
bool SendPostgresText(RowSink &sink, const PGresult *result, int column, bool keepTrailingBlanks)
{
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
    case Date:
    case Time:
    case Timestamp:
    case TimestampTz:
    case TimeTz: {
        char buffer[64];
        sink.addUtf8Text(SlashedDate(text, buffer));
        return true;
    }
    default:
        return false;
    }
}

// A column of a query as the result list shows it, in SQL for COPY to write
// (see sendRow): booleans in words, bytes in hexadecimal after 0x. Dates,
// special reals and trailing blanks are the reader's (ColumnFix).
QString ListedColumn(const QString &column, Oid type)
{
    switch (type) {
    case 16: // boolean
        return QStringLiteral("CASE %1 WHEN true THEN 'true' WHEN false THEN 'false' END")
            .arg(column);
    case 17: // bytea
        return QStringLiteral("'0x' || upper(encode(%1, 'hex'))").arg(column);
    default:
        return column;
    }
}

// What the reader of COPY's rows changes in a column so that its values read
// as the result list shows them: done here rather than by the server, where
// the same change costs more than writing the row.
enum class ColumnFix : char {
    None,
    Date, ///< dates with slashes, as SlashedDate makes them
    Trim, ///< texts without their trailing blanks
    Real  ///< Infinity, -Infinity and NaN as Qt writes them
};

// How COPY writes the rows: the CSV format, with the NULL text in UTF-8.
struct CopyFormat
{
    char delimiter;
    char quote;
    QByteArray null;
};

// Appends bytes at out, which has room for them.
char *Put(char *out, QByteArrayView bytes)
{
    if (!bytes.isEmpty())
        std::memcpy(out, bytes.data(), size_t(bytes.size()));
    return out + bytes.size();
}

// One value of a COPY row, changed as its column needs, at out; returns the end.
// A NULL (the NULL text unquoted) stays; a text that trimming leaves empty, or
// equal to the NULL text, is enclosed, so that it stays a text. The value
// grows by two bytes at most.
char *PutListed(char *out, QByteArrayView field, ColumnFix fix, const CopyFormat &format)
{
    const bool quoted = field.size() >= 2 && field.front() == format.quote;
    if (fix == ColumnFix::None || (!quoted && field == format.null))
        return Put(out, field);
    QByteArrayView value = quoted ? field.sliced(1, field.size() - 2) : field;
    char buffer[64];
    switch (fix) {
    case ColumnFix::Date:
        value = SlashedDate(value, buffer);
        break;
    case ColumnFix::Real:
        if (value == "Infinity")
            value = "inf";
        else if (value == "-Infinity")
            value = "-inf";
        else if (value == "NaN")
            value = "nan";
        break;
    case ColumnFix::Trim:
        while (!value.isEmpty() && value.back() == ' ')
            value.chop(1);
        break;
    case ColumnFix::None:
        break;
    }
    const bool enclose = quoted
                         || (fix == ColumnFix::Trim && value.size() < field.size()
                             && (value.isEmpty() || value == format.null));
    if (enclose)
        *out++ = format.quote;
    out = Put(out, value);
    if (enclose)
        *out++ = format.quote;
    return out;
}

// A row as COPY wrote it, each value changed as its column needs, in out.
QByteArrayView ListedRow(QByteArrayView line,
                         const std::vector<ColumnFix> &fixes,
                         const CopyFormat &format,
                         QByteArray &out)
{
    out.resize(line.size() + 2 * qsizetype(fixes.size()));
    char *to = out.data();
    qsizetype i = 0;
    for (size_t column = 0; column < fixes.size() && i <= line.size(); ++column) {
        const qsizetype start = i;
        if (i < line.size() && line[i] == format.quote) {
            for (++i; i < line.size(); ++i) {
                if (line[i] == format.quote
                    && (i + 1 >= line.size() || line[i + 1] != format.quote))
                    break;
                if (line[i] == format.quote)
                    ++i; // a doubled quote
            }
            ++i; // past the closing quote
        } else {
            const char *end = static_cast<const char *>(
                std::memchr(line.data() + i, format.delimiter, size_t(line.size() - i)));
            i = end ? end - line.data() : line.size();
            if (i == line.size() && line.endsWith('\n'))
                --i;
        }
        if (column > 0)
            *to++ = format.delimiter;
        to = PutListed(to, line.sliced(start, qMin(i, line.size()) - start), fixes[column], format);
        if (i < line.size() && line[i] == format.delimiter)
            ++i;
    }
    if (i < line.size())
        to = Put(to, line.sliced(i)); // the line end
    return QByteArrayView(out.constData(), to - out.constData());
}

ColumnFix ColumnFixOf(Oid type, bool keepTrailingBlanks)
{
    switch (type) {
    case Date:
    case Timestamp:
    case TimestampTz:
        return ColumnFix::Date;
    case 700: // real
    case 701: // double precision
        return ColumnFix::Real;
    case Char:
    case Name:
    case Text:
    case BpChar:
    case VarChar:
        return keepTrailingBlanks ? ColumnFix::None : ColumnFix::Trim;
    default:
        return ColumnFix::None;
    }
}

// A text as a PostgreSQL string literal.
QString Literal(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''"))
           + QLatin1Char('\'');
}

// The error of a libpq result (or of the connection), as QPSQL would make it.
QSqlError ResultError(PGconn *connection, const PGresult *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return QSqlError(
        QStringLiteral("CSVを出力できません。"),
        QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection))
            .trimmed(),
        QSqlError::StatementError, QString::fromLatin1(state ? state : ""));
}

struct ResultDeleter
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

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

    QVariant value(const QSqlQuery &query, int column) const override
    {
        // Dates and times as the result list shows them, as sendRow() hands them on.
        const PGresult *result = PostgresRow(query);
        if (!result || PQgetisnull(result, 0, column) || !IsDateOrTime(PQftype(result, column)))
            return query.value(column);
        char buffer[64];
        return QString::fromUtf8(SlashedDate(
            QByteArrayView(PQgetvalue(result, 0, column), PQgetlength(result, 0, column)), buffer));
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

    std::optional<qint64>
    copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink, QSqlError *error) override;

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

// The statement up to its last token: a query that ends with semicolons and
// comments runs alone, but not inside COPY's parentheses. Strings, quoted
// names and dollar bodies are skipped whole, so that a semicolon or comment
// mark inside them is kept.
QString WithoutTrailingEnd(const QString &sql)
{
    const qsizetype size = sql.size();
    qsizetype end = 0; // after the last character of the statement proper
    qsizetype i = 0;
    auto isNameCharacter = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; };
    while (i < size) {
        const QChar c = sql[i];
        const QChar next = i + 1 < size ? sql[i + 1] : QChar();
        qsizetype after = -1; // past a string, name or body that starts here
        if (c == u'-' && next == u'-') {
            i = sql.indexOf(u'\n', i);
            if (i < 0)
                break;
            continue;
        }
        if (c == u'/' && next == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            if (close < 0)
                break;
            i = close + 2;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            after = i + 1;
            while (after < size && sql[after] != c)
                ++after; // a doubled quote is two strings side by side here
            after = qMin(after + 1, size);
        } else if (c == u'$' && (i == 0 || !isNameCharacter(sql[i - 1])) && !next.isDigit()) {
            qsizetype tagEnd = i + 1;
            while (tagEnd < size && sql[tagEnd] != u'$' && isNameCharacter(sql[tagEnd]))
                ++tagEnd;
            if (tagEnd < size && sql[tagEnd] == u'$') {
                const QString tag = sql.mid(i, tagEnd - i + 1);
                const qsizetype close = sql.indexOf(tag, tagEnd + 1);
                after = close < 0 ? size : close + tag.size();
            }
        }
        if (after >= 0) {
            end = i = after;
            continue;
        }
        if (!c.isSpace() && c != u';')
            end = i + 1;
        ++i;
    }
    return sql.left(end).trimmed();
}

// The query is described first (prepared, not run), for its column names and
// types; then COPY writes the rows of a query around it that gives each column
// its listed form, and they are handed on as they arrive.
std::optional<qint64> PostgresDriver::copyCsv(const QString &sql,
                                              const CsvFormat &format,
                                              CsvSink &sink,
                                              QSqlError *error)
{
    if (!mConnection)
        return std::nullopt;
    const QString statement = WithoutTrailingEnd(sql);
    const QByteArray query = statement.toUtf8();
    Result described(PQprepare(mConnection, "", query.constData(), 0, nullptr));
    if (PQresultStatus(described.get()) == PGRES_COMMAND_OK)
        described.reset(PQdescribePrepared(mConnection, ""));
    if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
        *error = ResultError(mConnection, described.get());
        return 0;
    }
    const int columns = PQnfields(described.get());
    QStringList names, aliases, listed;
    std::vector<ColumnFix> fixes;
    for (int i = 0; i < columns; ++i) {
        const Oid type = PQftype(described.get(), i);
        names.append(QString::fromUtf8(PQfname(described.get(), i)));
        aliases.append(QStringLiteral("c%1").arg(i + 1));
        listed.append(ListedColumn(aliases.last(), type));
        fixes.push_back(ColumnFixOf(type, format.keepTrailingBlanks));
    }
    described.reset();
    if (columns == 0) {
        *error = QSqlError(QStringLiteral("CSVを出力できません。"),
                           QStringLiteral("行を返さないSQLです。"), QSqlError::StatementError);
        return 0;
    }
    // The query on lines of its own, so that a comment at its end ends there.
    const QString copy
        = QStringLiteral("COPY (SELECT %1 FROM (\n%2\n) AS korvane_rows(%3)) TO STDOUT WITH "
                         "(FORMAT csv, DELIMITER %4, QUOTE %5, NULL %6, ENCODING 'UTF8')")
              .arg(listed.join(QStringLiteral(", ")), statement, aliases.join(QStringLiteral(", ")),
                   Literal(QString(QLatin1Char(format.delimiter))),
                   Literal(QString(QLatin1Char(format.quote))), Literal(format.nullText));
    Result started(PQexec(mConnection, copy.toUtf8().constData()));
    if (PQresultStatus(started.get()) != PGRES_COPY_OUT) {
        *error = ResultError(mConnection, started.get());
        return 0;
    }
    started.reset();
    sink.columns(names);
    qint64 rows = 0;
    char *line = nullptr;
    int length = 0;
    const bool changes = std::any_of(fixes.begin(), fixes.end(),
                                     [](ColumnFix fix) { return fix != ColumnFix::None; });
    QByteArray listedRow;
    const CopyFormat copyFormat{format.delimiter, format.quote, format.nullText.toUtf8()};
    while ((length = PQgetCopyData(mConnection, &line, 0)) > 0) {
        const QByteArrayView row(line, length);
        sink.csvRow(changes ? ListedRow(row, fixes, copyFormat, listedRow) : row);
        PQfreemem(line);
        ++rows;
    }
    // The end of the rows, a cancel or a failure: the results say which.
    while (Result result{PQgetResult(mConnection)}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && error->type() == QSqlError::NoError)
            *error = ResultError(mConnection, result.get());
    }
    if (length == -2 && error->type() == QSqlError::NoError)
        *error = ResultError(mConnection, nullptr);
    return rows;
}

} // namespace

std::unique_ptr<NativeDriver> MakePostgresDriver()
{
    return std::make_unique<PostgresDriver>();
}

} // namespace Engine
