#include "engine/nativedriver.h"

#include "common/appdir.h"
#include "engine/rowsink.h"

#include <QDir>
#include <QSqlDriver>
#include <QSqlResult>

#include <sqlite3.h>

namespace Engine {

namespace {

// QSQLITE: a database file of the program's data folder unless named otherwise.
// SQLite rolls back the whole transaction when a write inside it fails in some
// ways, an interrupted one included.
class SqliteDriver final : public NativeDriver
{
public:
    void setLogin(QSqlDatabase &db,
                  const ServerEntry &server,
                  const QString &userId,
                  const QString &password) override
    {
        NativeDriver::setLogin(db, server, userId, password);
        // A relative file name is one in the program's data folder; an empty name,
        // :memory: and file: URIs go to SQLite as they are.
        const QString &file = server.database;
        if (!file.isEmpty() && file != QLatin1String(":memory:")
            && !file.startsWith(QLatin1String("file:")) && !QDir::isAbsolutePath(file))
            db.setDatabaseName(QDir(Common::DataDirectory()).filePath(file));
    }

    void attach(const QSqlDatabase &db) override
    {
        // What a cancel from another thread goes through.
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
            mDatabase = *static_cast<sqlite3 *const *>(handle.constData());
    }

    void cancel(void *) override
    {
        if (mDatabase)
            sqlite3_interrupt(mDatabase);
    }

    bool failureMayEndTransaction() const override { return mDatabase != nullptr; }

    // SQLite's autocommit mode.
    TransactionState transactionState() const override
    {
        if (!mDatabase)
            return TransactionState::NotReported;
        return sqlite3_get_autocommit(mDatabase) ? TransactionState::Idle : TransactionState::Open;
    }

    std::optional<bool> transactionWrote(const QSqlDatabase &db) const override
    {
        if (!mDatabase)
            return NativeDriver::transactionWrote(db);
        return sqlite3_txn_state(mDatabase, nullptr) == SQLITE_TXN_WRITE;
    }

    std::optional<qsizetype> readRows(QSqlQuery &query,
                                      int columnCount,
                                      RowSink &sink,
                                      qsizetype maxRows,
                                      bool keepTrailingBlanks,
                                      bool *more,
                                      QSqlError *error) override;

private:
    sqlite3 *mDatabase = nullptr; // QSQLITE's, open as long as this driver is used
};

// The rows of a query on SQLite read from its statement, without the copy of
// every value that the driver's own row reading makes. Each value is handed on
// as the driver would have made it: integers, reals, texts and bytes.
std::optional<qsizetype> SqliteDriver::readRows(QSqlQuery &query,
                                                int columnCount,
                                                RowSink &sink,
                                                qsizetype maxRows,
                                                bool keepTrailingBlanks,
                                                bool *more,
                                                QSqlError *error)
{
    if (!mDatabase)
        return std::nullopt;
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return 0;
    sqlite3_stmt *statement = *static_cast<sqlite3_stmt *const *>(handle.constData());
    qsizetype rows = 0;
    while (rows < maxRows) {
        const int result = sqlite3_step(statement);
        if (result != SQLITE_ROW) {
            *more = false;
            if (result != SQLITE_DONE) {
                const auto *message = static_cast<const char16_t *>(sqlite3_errmsg16(mDatabase));
                *error = QSqlError(QStringLiteral("行を取得できません。"),
                                   QString::fromUtf16(message), QSqlError::StatementError,
                                   QString::number(sqlite3_extended_errcode(mDatabase)));
            }
            return rows;
        }
        sink.beginRow();
        for (int i = 0; i < columnCount; ++i) {
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

} // namespace

std::unique_ptr<NativeDriver> MakeSqliteDriver()
{
    return std::make_unique<SqliteDriver>();
}

} // namespace Engine
