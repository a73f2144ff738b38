#include "connections/connectionlist.h"

#include "common/appdir.h"
#include "common/common.h"

namespace Connections {
namespace {

constexpr int UserIdWidth = 19;
constexpr int ServerNameWidth = 19;
constexpr int PasswordWidth = 16;
constexpr int ServerNameStart = UserIdWidth;
constexpr int PasswordStart = UserIdWidth + ServerNameWidth;
constexpr int EnteredLength = 15; // the most characters a box takes

// A character of two UTF-16 units that a field's edge cuts belongs to neither
// side: its halves are left out, so that no field holds half a character.
QString field(const QString &record, int start, int length)
{
    QString text = record.mid(start, length);
    if (!text.isEmpty() && text.front().isLowSurrogate())
        text.remove(0, 1);
    if (!text.isEmpty() && text.back().isHighSurrogate())
        text.chop(1);
    return Common::TrimSpaces(text);
}

QString sortKey(const QString &record, SortKey key)
{
    if (key == SortKey::UserId)
        return record.left(30);
    return record.mid(ServerNameStart, EnteredLength) + record.left(EnteredLength);
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The first 54 characters, a short line filled with spaces, so that a flag
// after them stays in its column.
QString identityPart(const QString &record)
{
    return record.left(IdentityLength).leftJustified(IdentityLength, QLatin1Char(' '));
}

QString identityKey(const QString &record)
{
    return record.left(IdentityLength).toCaseFolded();
}

const QString *findByIdentity(const QStringList &records, const QString &key)
{
    for (const QString &record : records) {
        if (identityKey(record) == key)
            return &record;
    }
    return nullptr;
}

} // namespace

QString ConnectionListPath()
{
    return Common::ConfigFilePath(QStringLiteral("DB.ini"));
}

QString IdentityText(const QString &userId, const QString &serverName, const QString &password)
{
    return userId.leftJustified(UserIdWidth, QLatin1Char(' '), true)
           + serverName.leftJustified(ServerNameWidth, QLatin1Char(' '), true)
           + password.leftJustified(PasswordWidth, QLatin1Char(' '), true);
}

QString
RecordText(const QString &userId, const QString &serverName, const QString &password, int initial)
{
    return IdentityText(userId, serverName, password) + QString::number(initial);
}

Entry ParseRecord(const QString &record)
{
    return Entry{field(record, 0, EnteredLength), field(record, ServerNameStart, EnteredLength),
                 field(record, PasswordStart, PasswordWidth), field(record, IdentityLength, 1)};
}

std::optional<Entry> FindInitialRecord(const QStringList &lines)
{
    for (const QString &line : lines) {
        const Entry entry = ParseRecord(line);
        if (entry.isInitial())
            return entry;
    }
    return std::nullopt;
}

QStringList SortRecords(QStringList records, SortKey key)
{
    QStringList keys;
    for (const QString &record : records)
        keys << sortKey(record, key);
    // Every pair of positions, exchanged when the earlier key is the smaller:
    // the result is ascending, and ties fall where the exchanges leave them.
    for (qsizetype i = 0; i < records.size(); ++i) {
        for (qsizetype j = 0; j < records.size(); ++j) {
            if (keys.at(i) < keys.at(j)) {
                records.swapItemsAt(i, j);
                keys.swapItemsAt(i, j);
            }
        }
    }
    return records;
}

QString
ListFileText(const QStringList &records, const QString &identity, bool makeInitial, bool addToList)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    bool found = false;
    for (const QString &record : records) {
        QString line = makeInitial ? identityPart(record) + flagText(false) : record;
        if (identityPart(line).compare(identity, Qt::CaseInsensitive) == 0) {
            found = true;
            line = identityPart(line) + flagText(makeInitial) + line.mid(IdentityLength + 1);
        }
        text += line + lineEnd;
    }
    if (!found && addToList)
        text += identity + flagText(makeInitial) + lineEnd;
    return text;
}

QStringList
MergeRecords(const QStringList &loaded, const QStringList &edited, const QStringList &latest)
{
    QStringList file;
    for (const QString &line : latest) {
        if (!Common::TrimSpaces(line).isEmpty())
            file << line;
    }
    QStringList merged;
    QStringList mergedKeys;
    for (const QString &record : edited) {
        const QString key = identityKey(record);
        const QString *now = findByIdentity(file, key);
        if (!now && findByIdentity(loaded, key))
            continue; // deleted by another Korvane
        merged << (now ? *now : record);
        mergedKeys << key;
    }
    for (const QString &record : file) {
        const QString key = identityKey(record);
        if (!findByIdentity(loaded, key) && !mergedKeys.contains(key)) {
            merged << record; // saved by another Korvane
            mergedKeys << key;
        }
    }
    return merged;
}

QStringList
WithoutPassword(const QStringList &records, const QString &userId, const QString &serverName)
{
    QStringList result;
    for (const QString &record : records) {
        const Entry entry = ParseRecord(record);
        if (entry.userId.compare(userId, Qt::CaseInsensitive) == 0
            && entry.serverName.compare(serverName, Qt::CaseInsensitive) == 0)
            result << identityPart(record).left(PasswordStart)
                          + QString(PasswordWidth, QLatin1Char(' ')) + record.mid(IdentityLength);
        else
            result << record;
    }
    return result;
}

QString
ConnectedCaption(const QString &baseCaption, const QString &userId, const QString &serverName)
{
    return QStringLiteral("%1(%2 @ %3)").arg(baseCaption, userId, serverName);
}

} // namespace Connections
