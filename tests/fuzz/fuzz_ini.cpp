// The INI reader and writer. The input is a file's bytes with a section, a key and
// a value taken from its end. Properties:
// - setting a key that the format can hold gives a text that reads it back as
//   written (blanks around the value trimmed, the value ended by a NUL), and that
//   survives the file's encoding;
// - every other key keeps its value, and every other line of the file stays, in
//   its order;
// - setting the same value again changes nothing;
// - names or values that the format cannot hold are refused, so nothing is written;
// - the number read is the leading decimal digits, clamped to 32 bits;
// - SERVERS.ini, read by its own reader: the entry found is the section asked for,
//   with its driver and letter-case rule in capitals.

#include "fuzzinput.h"

#include "common/textcodec.h"
#include "engine/servers.h"
#include "settings/privateprofile.h"

#include <QList>
#include <QStringList>

#include <limits>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool hasOuterBlanks(const QString &text)
{
    return !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
}

QString trimBlanks(QString text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// The rules of the format, stated on their own: what a file can hold so that
// reading it gives the names and the value back.
bool canHold(const QString &section, const QString &key, const QString &value)
{
    const QString stored = value.left(value.indexOf(QChar(0)));
    for (const QString *text : {&section, &key, &stored}) {
        if (hasLineBreak(*text) || !Fuzz::IsValidUtf16(*text))
            return false;
    }
    return !section.contains(QLatin1Char(']')) && !hasOuterBlanks(section)
           && !key.contains(QLatin1Char('=')) && !key.startsWith(QLatin1Char(';'))
           && !key.startsWith(QLatin1Char('[')) && !hasOuterBlanks(key);
}

QStringList fileLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// Whether after is before with one line replaced, one line inserted, or two lines
// (a new section and its key) added at the end.
bool keepsOtherLines(const QStringList &before, const QStringList &after)
{
    const qsizetype added = after.size() - before.size();
    if (added == 0) {
        qsizetype changed = 0;
        for (qsizetype i = 0; i < before.size(); ++i)
            changed += before.at(i) != after.at(i);
        return changed <= 1;
    }
    if (added == 2)
        return after.mid(0, before.size()) == before;
    if (added != 1)
        return false;
    for (qsizetype skip = 0; skip < after.size(); ++skip) {
        QStringList rest = after;
        rest.removeAt(skip);
        if (rest == before)
            return true;
    }
    return false;
}

// Names that the file may hold: the pieces of its lines between brackets and
// before an equals sign. They need not be exact; they only make the checks of
// other keys meet the keys that are there.
QStringList namesIn(const QStringList &lines)
{
    QStringList names;
    for (const QString &line : lines.mid(0, 6)) {
        const QString text = trimBlanks(line);
        if (text.startsWith(QLatin1Char('[')))
            names << trimBlanks(text.mid(1, text.indexOf(QLatin1Char(']')) - 1));
        else if (text.contains(QLatin1Char('=')))
            names << trimBlanks(text.left(text.indexOf(QLatin1Char('='))));
    }
    return names;
}

qint32 leadingNumber(const QString &text)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
    qint64 number = 0;
    for (; i < text.size() && text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9'; ++i)
        number = std::min<qint64>(number * 10 + (text.at(i).unicode() - '0'), qint64(1) << 40);
    if (text.startsWith(QLatin1Char('-')))
        number = -number;
    return qint32(std::clamp<qint64>(number, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const quint8 choice = input.ConsumeIntegral<quint8>();
    QString section = Fuzz::TailText(input, choice & 1);
    QString key = Fuzz::TailText(input, choice & 2);
    const QString value = Fuzz::TailText(input, choice & 4, 300);
    const quint8 pick = input.ConsumeIntegral<quint8>();
    const QString text
        = Common::DecodeText(QByteArray::fromStdString(input.ConsumeRemainingBytesAsString()));

    const QStringList lines = fileLines(text);
    const QStringList names = namesIn(lines);
    // Names of the file itself, to replace keys that are there.
    if (!names.isEmpty() && (choice & 8))
        section = names.at(pick % names.size());
    if (!names.isEmpty() && (choice & 16))
        key = names.at((pick >> 4) % names.size());

    const std::optional<QString> read = PrivateProfile::findString(text, section, key);
    if (read) {
        FUZZ_CHECK(!read->contains(QChar(0)), "a value read ends at its NUL");
        FUZZ_CHECK(*read == trimBlanks(*read), "a value read is trimmed of blanks");
        const std::optional<qint32> defaultUsed
            = read->isEmpty() ? std::optional<qint32>(-7) : std::nullopt;
        FUZZ_CHECK(PrivateProfile::toInt(read, -7) == defaultUsed.value_or(leadingNumber(*read)),
                   "the number read is the leading digits, clamped to 32 bits");
    } else {
        FUZZ_CHECK(PrivateProfile::toInt(read, -7) == -7, "a missing key gives the default");
    }

    if (const std::optional<Engine::ServerEntry> server = Engine::FindServerInText(text, section)) {
        FUZZ_CHECK(server->name.compare(section.trimmed(), Qt::CaseInsensitive) == 0,
                   "the server entry found is the one asked for");
        FUZZ_CHECK(server->driver == server->driver.toUpper()
                       && server->userCase == server->userCase.toUpper(),
                   "driver and letter-case rule are in capitals");
    }

    const std::optional<QString> written = PrivateProfile::setString(text, section, key, value);
    const bool holdable = canHold(section, key, value);
    FUZZ_CHECK(written.has_value() == holdable,
               "a key is written exactly when the format can hold it");
    if (!written)
        return 0;

    FUZZ_CHECK(Common::DecodeText(Common::EncodeText(*written)) == *written,
               "the written text survives the file's encoding");
    const QString expected = trimBlanks(value.left(value.indexOf(QChar(0))));
    FUZZ_CHECK(PrivateProfile::findString(*written, section, key) == expected,
               "the key reads back as written");
    FUZZ_CHECK(keepsOtherLines(lines, fileLines(*written)), "every other line stays");
    for (const QString &otherSection : names) {
        for (const QString &otherKey : names) {
            if (otherSection.compare(section, Qt::CaseInsensitive) == 0
                && otherKey.compare(key, Qt::CaseInsensitive) == 0) {
                continue;
            }
            FUZZ_CHECK(PrivateProfile::findString(text, otherSection, otherKey)
                           == PrivateProfile::findString(*written, otherSection, otherKey),
                       "every other key keeps its value");
        }
    }
    FUZZ_CHECK(PrivateProfile::setString(*written, section, key, value) == *written,
               "writing the same value again changes nothing");
    return 0;
}
