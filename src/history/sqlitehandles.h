#pragma once

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <memory>

/// Owners of SQLite's connection and statement handles for the history store,
/// with the few calls it makes through them.
namespace History::Sql {

struct CloseDatabase
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};

// A prepared statement. A failed bind is remembered and returned by the next
// step, so that a sequence of binds needs a single check.
class Statement
{
public:
    int prepare(sqlite3 *db, const QByteArray &sql)
    {
        sqlite3_stmt *statement = nullptr;
        const int result = sqlite3_prepare_v3(db, sql.constData(), int(sql.size()),
                                              SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        mStatement.reset(statement);
        return result;
    }

    void bind(int index, qint64 value) { check(sqlite3_bind_int64(get(), index, value)); }
    void bind(int index, const QString &text) { bindUtf8(index, text.toUtf8()); }
    void bindUtf8(int index, QByteArrayView text)
    {
        check(sqlite3_bind_text64(get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    }
    void bindBlob(int index, QByteArrayView bytes)
    {
        check(sqlite3_bind_blob64(get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
    }
    void bindNull(int index) { check(sqlite3_bind_null(get(), index)); }

    /// SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return mBindError != SQLITE_OK ? mBindError : sqlite3_step(get()); }
    /// Runs a statement without rows: SQLITE_OK or an error.
    int run()
    {
        const int result = step();
        return result == SQLITE_DONE || result == SQLITE_ROW ? SQLITE_OK : result;
    }

    bool isNull(int column) const { return sqlite3_column_type(get(), column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(get(), column); }
    qint64 integerOr(int column, qint64 ifNull) const
    {
        return isNull(column) ? ifNull : integer(column);
    }
    QString text(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(get(), column));
        return QString::fromUtf8(text, sqlite3_column_bytes(get(), column));
    }

    /// Ends a run of the statement (releasing its read lock) and clears its values.
    void reset()
    {
        sqlite3_reset(get());
        sqlite3_clear_bindings(get());
        mBindError = SQLITE_OK;
    }

    sqlite3_stmt *get() const { return mStatement.get(); }

private:
    void check(int result)
    {
        if (mBindError == SQLITE_OK)
            mBindError = result;
    }

    std::unique_ptr<sqlite3_stmt, FinalizeStatement> mStatement;
    int mBindError = SQLITE_OK;
};

// Resets a kept statement when the scope ends, however it ends.
class ResetAtEnd
{
public:
    explicit ResetAtEnd(Statement &statement)
        : mStatement(statement)
    {}
    ~ResetAtEnd() { mStatement.reset(); }
    ResetAtEnd(const ResetAtEnd &) = delete;
    ResetAtEnd &operator=(const ResetAtEnd &) = delete;

private:
    Statement &mStatement;
};

inline int execute(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// A write transaction, rolled back unless committed. BEGIN IMMEDIATE takes the
// write lock at once (waiting for another copy if needed) rather than at the first
// write, where a wait could no longer help.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db)
        : mDb(db)
    {}
    ~Transaction()
    {
        if (mOpen)
            execute(mDb, "ROLLBACK");
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    int begin()
    {
        const int result = execute(mDb, "BEGIN IMMEDIATE");
        mOpen = result == SQLITE_OK;
        return result;
    }
    int commit()
    {
        const int result = execute(mDb, "COMMIT");
        if (result == SQLITE_OK)
            mOpen = false;
        return result;
    }

private:
    sqlite3 *mDb;
    bool mOpen = false;
};

} // namespace History::Sql
