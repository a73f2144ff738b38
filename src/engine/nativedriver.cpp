#include "engine/nativedriver.h"

#include "engine/rowsink.h"

#include <QSqlDriver>

namespace Engine {

namespace {

// A driver with nothing of its own: every call keeps its default.
class OtherDriver final : public NativeDriver
{};

} // namespace

std::unique_ptr<NativeDriver> NativeDriver::create(const QString &driverName)
{
    if (driverName == QLatin1String("QPSQL"))
        return MakePostgresDriver();
    if (driverName == QLatin1String("QSQLITE"))
        return MakeSqliteDriver();
    if (driverName == QLatin1String("QODBC"))
        return MakeOdbcDriver();
    return std::make_unique<OtherDriver>();
}

QString NativeDriver::ConnectOptions(const ServerEntry &server, const QString &timeoutKey)
{
    if (timeoutKey.isEmpty() || server.connectTimeout <= 0
        || server.options.contains(timeoutKey, Qt::CaseInsensitive))
        return server.options;
    const QString timeout = timeoutKey + QLatin1Char('=') + QString::number(server.connectTimeout);
    return server.options.isEmpty() ? timeout : timeout + QLatin1Char(';') + server.options;
}

void NativeDriver::setLogin(QSqlDatabase &db,
                            const ServerEntry &server,
                            const QString &userId,
                            const QString &password)
{
    db.setDatabaseName(server.database);
    db.setUserName(userId);
    db.setPassword(password);
    db.setConnectOptions(ConnectOptions(server, QString()));
}

void NativeDriver::attach(const QSqlDatabase &) {}

void *NativeDriver::statementHandle(const QSqlQuery &) const
{
    return nullptr;
}

void NativeDriver::cancel(void *) {}

bool NativeDriver::preparesFirst(const QString &) const
{
    return false;
}

bool NativeDriver::commitRolledBack(const QSqlQuery &) const
{
    return false;
}

std::optional<bool> NativeDriver::transactionWrote(const QSqlDatabase &db) const
{
    // Through QPSQL or through ODBC: an id is assigned at the first write.
    if (db.driver()->dbmsType() != QSqlDriver::PostgreSQL)
        return std::nullopt;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT txid_current_if_assigned() IS NOT NULL")) && query.next())
        return query.value(0).toBool();
    return std::nullopt;
}

std::optional<qint64>
NativeDriver::copyCsv(const QString &, const CsvFormat &, CsvSink &, QSqlError *)
{
    return std::nullopt;
}

std::optional<qsizetype>
NativeDriver::readRows(QSqlQuery &, int, RowSink &, qsizetype, bool, bool *, QSqlError *)
{
    return std::nullopt;
}

void NativeDriver::sendRow(const QSqlQuery &query,
                           int columnCount,
                           RowSink &sink,
                           bool keepTrailingBlanks) const
{
    for (int i = 0; i < columnCount; ++i)
        SendValue(sink, query.value(i), keepTrailingBlanks);
}

} // namespace Engine
