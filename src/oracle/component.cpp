#include "oracle/component.h"

#include "engine/connection.h"
#include "engine/errors.h"
#include "engine/rowsink.h"
#include "engine/servers.h"

#include <QFile>
#include <QSqlDatabase>

#include <algorithm>

namespace Ora {

std::shared_ptr<Session> CreateObject(const QString &progId)
{
    if (progId.compare(QLatin1String(SessionProgId), Qt::CaseInsensitive) != 0)
        Engine::Raise(Engine::ErrCannotCreateObject,
                      QStringLiteral("識別子「%1」のオブジェクトを作成できません。").arg(progId),
                      Engine::LayerSource());
    if (QSqlDatabase::drivers().isEmpty())
        Engine::Raise(Engine::ErrCannotCreateObject,
                      QStringLiteral("データベースドライバがインストールされていません"
                                     "（Qt SQL ドライバのプラグインがありません）。"),
                      Engine::LayerSource());
    return std::make_shared<Session>();
}

void SplitConnectString(const QString &connectString, QString *userId, QString *password)
{
    const qsizetype slash = connectString.indexOf(QLatin1Char('/'));
    *userId = slash < 0 ? connectString : connectString.left(slash);
    *password = slash < 0 ? QString() : connectString.mid(slash + 1);
}

static Engine::ServerEntry ResolveServer(const QString &serverName)
{
    if (std::optional<Engine::ServerEntry> entry = Engine::FindServer(serverName))
        return *entry;
    const QString name = serverName.trimmed();
    if (QSqlDatabase::isDriverAvailable(QStringLiteral("QOCI")))
        return Engine::ServerEntry{name, QStringLiteral("QOCI"),       name, {}, -1, {},
                                   {},   Engine::DefaultConnectTimeout};
    const QString path = Engine::ServersFilePath();
    const QString why = QFile::exists(path)
                            ? QStringLiteral("%1 にセクション [%2] がありません").arg(path, name)
                            : QStringLiteral("サーバ一覧 %1 がありません").arg(path);
    Engine::Raise(Engine::ErrServerNotResolved,
                  QStringLiteral("サーバ名「%1」が見つかりません（%2）。").arg(name, why),
                  Engine::LayerSource());
}

Session::~Session()
{
    for (const std::shared_ptr<Engine::Connection> &connection : mConnections)
        connection->stopQuery();
}

std::shared_ptr<Database>
Session::OpenDatabase(const QString &serverName, const QString &connectString, qint32 options)
{
    Q_UNUSED(options);
    QString userId;
    QString password;
    SplitConnectString(connectString, &userId, &password);
    const Engine::ServerEntry server = ResolveServer(serverName);
    auto connection = std::make_shared<Engine::Connection>(server, userId, password);
    mConnections.push_back(connection);
    return std::make_shared<Database>(connection);
}

void Session::BeginTrans()
{
    for (const std::shared_ptr<Engine::Connection> &connection : mConnections)
        connection->beginTransaction();
}

void Session::ResetTrans()
{
    for (const std::shared_ptr<Engine::Connection> &connection : mConnections)
        connection->rollbackTransaction();
}

void Session::CommitTrans()
{
    for (const std::shared_ptr<Engine::Connection> &connection : mConnections)
        connection->commitTransaction();
}

bool Session::inTransaction() const
{
    return std::any_of(mConnections.begin(), mConnections.end(),
                       [](const auto &connection) { return connection->inTransaction(); });
}

bool Session::hasPendingWork() const
{
    return std::any_of(mConnections.begin(), mConnections.end(),
                       [](const auto &connection) { return connection->hasPendingWork(); });
}

bool Session::isLost() const
{
    return std::any_of(mConnections.begin(), mConnections.end(),
                       [](const auto &connection) { return connection->isLost(); });
}

Database::Database(std::shared_ptr<Engine::Connection> connection)
    : mConnection(std::move(connection))
{}

std::shared_ptr<Dynaset> Database::DbCreateDynaset(const QString &sql, qint32 options)
{
    QStringList columnNames;
    const quint64 ticket = mConnection->openQuery(sql, &columnNames);
    auto dynaset = std::make_shared<Dynaset>(mConnection, ticket, columnNames, options);
    dynaset->moveNext(); // onto the first row
    return dynaset;
}

std::optional<qint64> Database::CopyCsv(const QString &sql,
                                        qint32 options,
                                        const Engine::CsvFormat &format,
                                        Engine::CsvSink &sink)
{
    Engine::CsvFormat settled = format;
    settled.keepTrailingBlanks = options & KeepTrailingBlanks;
    return mConnection->copyCsv(sql, settled, sink);
}

qint32 Database::ExecuteSQL(const QString &sql)
{
    const Engine::ConnectionCore::Outcome outcome = mConnection->execute(sql);
    // Rows it returns (INSERT ... RETURNING) are read to their end, a row for
    // each row processed: a statement stopped before it would be undone.
    qint32 rows = 0;
    QVariantList row;
    while (outcome.ticket && mConnection->fetchRow(outcome.ticket, &row))
        ++rows;
    return qMax(outcome.rowsAffected, rows);
}

std::shared_ptr<Dynaset> Database::ExecuteReturningRows(const QString &sql, qint32 options)
{
    const Engine::ConnectionCore::Outcome outcome = mConnection->execute(sql);
    if (!outcome.ticket)
        return {};
    auto dynaset
        = std::make_shared<Dynaset>(mConnection, outcome.ticket, outcome.columnNames, options);
    dynaset->moveNext(); // onto the first row
    return dynaset;
}

Field::Field(const QString &name, const QVariant &value, bool hasRow)
    : mName(name)
    , mValue(value)
    , mHasRow(hasRow)
{}

QVariant Field::value() const
{
    if (!mHasRow)
        Engine::Raise(Engine::ErrNoCurrentRow,
                      QStringLiteral("カレント行がありません（最後の行を過ぎています）。"),
                      Engine::LayerSource());
    return mValue;
}

Dynaset::Dynaset(std::shared_ptr<Engine::Connection> connection,
                 quint64 ticket,
                 const QStringList &columnNames,
                 qint32 options)
    : mConnection(std::move(connection))
    , mTicket(ticket)
    , mColumnNames(columnNames)
    , mOptions(options)
{}

Dynaset::~Dynaset()
{
    if (!mEof)
        mConnection->closeQuery(mTicket);
}

QList<Field> Dynaset::fields() const
{
    QList<Field> fields;
    for (qsizetype i = 0; i < mColumnNames.size(); ++i)
        fields.append(Field(mColumnNames.at(i), mEof ? QVariant() : mValues.value(i), !mEof));
    return fields;
}

// A value as the layer hands it out: SQL NULL as a null QVariant whatever type
// the driver gave it, and text without its trailing spaces unless they are kept.
static void SettleCellValue(QVariant &value, bool keepTrailingBlanks)
{
    if (value.isNull()) {
        value = QVariant();
        return;
    }
    if (keepTrailingBlanks || value.typeId() != QMetaType::QString)
        return;
    const QString &text = *static_cast<const QString *>(value.constData());
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    if (end < text.size())
        value = text.left(end);
}

void Dynaset::moveNext()
{
    if (mEof)
        return;
    // The row is read into the values in place: no list or value is copied.
    if (!mConnection->fetchRow(mTicket, &mValues)) {
        mEof = true;
        mValues.clear();
        return;
    }
    const bool keep = mOptions & KeepTrailingBlanks;
    for (QVariant &value : mValues)
        SettleCellValue(value, keep);
}

qsizetype Dynaset::readRows(Engine::RowSink &sink,
                            qsizetype maxRows,
                            bool *cancelled,
                            const std::function<void()> &meanwhile)
{
    *cancelled = false;
    if (mEof || maxRows <= 0)
        return 0;
    sink.beginRow();
    for (const QVariant &value : mValues) {
        if (value.isNull())
            sink.addNull();
        else if (value.typeId() == QMetaType::QString)
            sink.addText(*static_cast<const QString *>(value.constData()));
        else
            sink.addValue(value);
    }
    const qsizetype rows
        = 1
          + mConnection->readRows(mTicket, sink, maxRows - 1, mOptions & KeepTrailingBlanks,
                                  cancelled, meanwhile);
    if (*cancelled) {
        mEof = true;
        mValues.clear();
        return rows;
    }
    moveNext();
    return rows;
}

} // namespace Ora
