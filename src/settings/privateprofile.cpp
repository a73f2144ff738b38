#include "settings/privateprofile.h"

#include "common/filelock.h"
#include "common/textcodec.h"

#include <QFileInfo>
#include <QStringList>

#include <limits>

namespace PrivateProfile {
namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Spaces and tabs only: QString::trimmed() would also take the ideographic
// space, which is part of Japanese text.
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    // The break after the last line does not start another one.
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

std::optional<QString> headerName(const QString &line)
{
    const QString text = trimBlanks(line);
    if (!text.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    return trimBlanks(text.mid(1, close < 0 ? -1 : close - 1));
}

struct KeyLine
{
    QString key;
    QString value;
};

std::optional<KeyLine> keyLine(const QString &line)
{
    const QString text = trimBlanks(line);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (text.startsWith(QLatin1Char(';')) || equals < 0)
        return std::nullopt;
    const QString value = text.mid(equals + 1);
    return KeyLine{trimBlanks(text.left(equals)), trimBlanks(value.left(value.indexOf(QChar(0))))};
}

// Where a key is, or would go, in the lines of a file (-1: not there).
struct Location
{
    qsizetype header = -1;
    qsizetype key = -1;
    qsizetype lastKey = -1;
    QString value;
};

Location locate(const QStringList &lines, const QString &section, const QString &key)
{
    Location found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = headerName(lines.at(i))) {
            if (found.header >= 0)
                break; // the end of the first matching section
            if (sameName(*name, section))
                found.header = i;
        } else if (found.header >= 0) {
            if (const auto entry = keyLine(lines.at(i))) {
                found.lastKey = i;
                if (found.key < 0 && sameName(entry->key, key)) {
                    found.key = i;
                    found.value = entry->value;
                }
            }
        }
    }
    return found;
}

bool fitsOnOneLine(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'));
}

// The value as a C string would hold it: up to its first NUL character.
QString storedValue(const QString &value)
{
    return value.left(value.indexOf(QChar(0)));
}

bool hasOuterBlanks(const QString &text)
{
    return !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
}

// Whether a file can hold the key so that reading it gives the names and the
// value back: a line break would turn the text into other lines, a lone
// surrogate has no UTF-8 form, blanks around a name are not part of it when it is
// read, a ']' ends a section name, an '=' ends a key, and a key line starting
// with ';' or '[' is a comment or a section.
bool canHold(const QString &section, const QString &key, const QString &value)
{
    const QString stored = storedValue(value);
    for (const QString *text : {&section, &key, &stored}) {
        if (!fitsOnOneLine(*text) || !text->isValidUtf16())
            return false;
    }
    return !section.contains(QLatin1Char(']')) && !hasOuterBlanks(section)
           && !key.contains(QLatin1Char('=')) && !key.startsWith(QLatin1Char(';'))
           && !key.startsWith(QLatin1Char('[')) && !hasOuterBlanks(key);
}

} // namespace

std::optional<QString> findString(const QString &text, const QString &section, const QString &key)
{
    const Location found = locate(splitLines(text), section, key);
    if (found.key < 0)
        return std::nullopt;
    return found.value;
}

std::optional<QString>
setString(const QString &text, const QString &section, const QString &key, const QString &value)
{
    if (!canHold(section, key, value))
        return std::nullopt;

    QStringList lines = splitLines(text);
    const Location found = locate(lines, section, key);
    const QString entry = key + QLatin1Char('=') + storedValue(value);
    if (found.header < 0) {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    } else if (found.key >= 0) {
        lines[found.key] = entry;
    } else {
        lines.insert((found.lastKey >= 0 ? found.lastKey : found.header) + 1, entry);
    }
    const QString lineEnd = QStringLiteral("\r\n");
    return lines.join(lineEnd) + lineEnd;
}

std::optional<QString>
readString(const QString &fileName, const QString &section, const QString &key)
{
    QString text;
    if (!Common::ReadTextFile(fileName, &text))
        return std::nullopt;
    return findString(text, section, key);
}

qint32 toInt(const std::optional<QString> &text, qint32 defaultValue)
{
    if (!text || text->isEmpty())
        return defaultValue;

    qsizetype i = 0;
    const bool negative = text->at(0) == QLatin1Char('-');
    if (negative || text->at(0) == QLatin1Char('+'))
        ++i;
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min())
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 number = 0;
    for (; i < text->size() && text->at(i) >= QLatin1Char('0') && text->at(i) <= QLatin1Char('9');
         ++i) {
        number = qMin(number * 10 + text->at(i).digitValue(), limit);
    }
    return qint32(negative ? -number : number);
}

qint32
readInt(const QString &fileName, const QString &section, const QString &key, qint32 defaultValue)
{
    return toInt(readString(fileName, section, key), defaultValue);
}

bool writeString(const QString &fileName,
                 const QString &section,
                 const QString &key,
                 const QString &value)
{
    if (fileName.isEmpty() || !canHold(section, key, value))
        return false;

    // Another Korvane may be writing the same file: read and write it under its
    // lock, so that the key it has just written is read back, and kept.
    const Common::FileLock lock(fileName);
    if (!lock.isLocked())
        return false;

    QString text;
    // A file that exists but cannot be read must not be replaced by one key, nor
    // one that is not text, whose bytes would not survive decoding.
    bool isText = true;
    if (QFileInfo::exists(fileName) && (!Common::ReadTextFile(fileName, &text, &isText) || !isText))
        return false;
    const std::optional<QString> updated = setString(text, section, key, value);
    return updated && Common::WriteTextFile(fileName, *updated);
}

} // namespace PrivateProfile
