// DB.ini, the list of saved connections. The input is the file's bytes, with a few
// choices taken from its end. Properties:
// - every record parses into fields within their widths, trimmed of spaces, and
//   valid UTF-16;
// - a record made of those fields parses back into them;
// - sorting gives the same records, in ascending order of the chosen key;
// - the start-up connection is the first record flagged "1";
// - the file text written after OK keeps every record's fields, flags exactly the
//   confirmed connection when asked to, and reads back as the same records;
// - merging with a file changed meanwhile keeps every record another copy saved.

#include "fuzzinput.h"

#include "common/common.h"
#include "common/textcodec.h"
#include "connections/connectionlist.h"
#include "files/textfiles.h"

#include <algorithm>

using namespace Connections;

namespace {

bool sameFields(const Entry &a, const Entry &b)
{
    return a.userId == b.userId && a.serverName == b.serverName && a.password == b.password;
}

bool isTrimmed(const QString &text)
{
    return !text.startsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char(' '));
}

// What a box of the dialog holds of the typed text: at most length characters,
// whole ones.
QString box(const QString &typed, int start, int length)
{
    QString text = typed.mid(start, length);
    if (!text.isEmpty() && text.front().isLowSurrogate())
        text.remove(0, 1);
    if (!text.isEmpty() && text.back().isHighSurrogate())
        text.chop(1);
    return text;
}

// The identity of a record, a short one filled with spaces: the same connection
// as a whole record with the same fields.
QString identityPart(const QString &record)
{
    return record.left(IdentityLength).leftJustified(IdentityLength, QLatin1Char(' '));
}

QString key(const QString &record, SortKey by)
{
    return by == SortKey::UserId ? record.left(30) : record.mid(19, 15) + record.left(15);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const quint8 choice = input.ConsumeIntegral<quint8>();
    const quint8 pick = input.ConsumeIntegral<quint8>();
    // What a one-line box can hold: no line breaks.
    QString typed = Fuzz::TailText(input, choice & 1, 60);
    typed.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    const QByteArray bytes = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    const QStringList lines = FileIO::SplitFileLines(Common::DecodeText(bytes)).mid(0, 64);

    QStringList records;
    for (const QString &line : lines) {
        const Entry entry = ParseRecord(line);
        FUZZ_CHECK(entry.userId.size() <= 15 && entry.serverName.size() <= 15
                       && entry.password.size() <= 16 && entry.flag.size() <= 1,
                   "fields keep to their widths");
        FUZZ_CHECK(isTrimmed(entry.userId) && isTrimmed(entry.serverName)
                       && isTrimmed(entry.password) && isTrimmed(entry.flag),
                   "fields are trimmed of spaces");
        FUZZ_CHECK(Fuzz::IsValidUtf16(entry.userId) && Fuzz::IsValidUtf16(entry.serverName)
                       && Fuzz::IsValidUtf16(entry.password),
                   "fields are valid UTF-16");
        const QString record
            = RecordText(entry.userId, entry.serverName, entry.password, entry.isInitial() ? 1 : 0);
        FUZZ_CHECK(record.size() == IdentityLength + 1, "a record is 55 characters");
        const Entry again = ParseRecord(record);
        FUZZ_CHECK(sameFields(again, entry) && again.isInitial() == entry.isInitial(),
                   "a record made of the fields parses back into them");
        if (!Common::TrimSpaces(line).isEmpty())
            records << line;
    }

    // The connection the dialog confirms: typed by the user, or one of the list,
    // whose fields the dialog puts into its boxes.
    QString identity = IdentityText(box(typed, 0, 15), box(typed, 15, 15), box(typed, 30, 16));
    const bool typedValid = Fuzz::IsValidUtf16(typed);
    if ((choice & 2) && !records.isEmpty()) {
        const Entry picked = ParseRecord(records.at(pick % records.size()));
        identity = IdentityText(picked.userId, picked.serverName, picked.password);
    }
    FUZZ_CHECK(Fuzz::IsValidUtf16(identity) || !typedValid,
               "an identity made of valid fields is valid UTF-16");

    const SortKey by = choice & 4 ? SortKey::ServerName : SortKey::UserId;
    const QStringList sorted = SortRecords(records, by);
    QStringList expected = records;
    QStringList got = sorted;
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    FUZZ_CHECK(got == expected, "sorting keeps the records");
    for (qsizetype i = 1; i < sorted.size(); ++i)
        FUZZ_CHECK(!(key(sorted.at(i), by) < key(sorted.at(i - 1), by)), "sorted ascending");

    const std::optional<Entry> initial = FindInitialRecord(lines);
    const auto flagged = std::find_if(lines.begin(), lines.end(), [](const QString &line) {
        return ParseRecord(line).isInitial();
    });
    FUZZ_CHECK(initial.has_value() == (flagged != lines.end())
                   && (!initial || sameFields(*initial, ParseRecord(*flagged))),
               "the start-up connection is the first record flagged 1");

    const bool makeInitial = choice & 8;
    const bool addToList = choice & 16;
    const QString text = ListFileText(records, identity, makeInitial, addToList);
    FUZZ_CHECK(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")), "every record ends");
    const QStringList written = FileIO::SplitFileLines(text);
    const auto matches = [&](const QString &record) {
        return identityPart(record).compare(identity, Qt::CaseInsensitive) == 0;
    };
    const bool listed = std::any_of(records.begin(), records.end(), matches);
    FUZZ_CHECK(written.size() == records.size() + (!listed && addToList),
               "the file holds the records, and the new one when added");
    for (qsizetype i = 0; i < written.size(); ++i) {
        const Entry entry = ParseRecord(written.at(i));
        if (i < records.size()) {
            FUZZ_CHECK(sameFields(entry, ParseRecord(records.at(i))), "records keep their fields");
            if (makeInitial)
                FUZZ_CHECK(entry.isInitial() == matches(records.at(i)),
                           "only the confirmed connection starts at start-up");
            else if (!matches(records.at(i)))
                FUZZ_CHECK(entry.flag == ParseRecord(records.at(i)).flag,
                           "other records keep their flags");
        } else {
            FUZZ_CHECK(written.at(i).left(IdentityLength) == identity
                           && entry.isInitial() == makeInitial,
                       "the added record is the confirmed connection");
        }
    }

    // Another copy saved the list meanwhile: the file's lines after the pick.
    const QStringList loaded = records.mid(0, pick % (records.size() + 1));
    const QStringList merged = MergeRecords(loaded, records, lines);
    for (const QString &line : lines) {
        const QString lineKey = line.left(IdentityLength).toCaseFolded();
        const auto sameKey = [&](const QString &record) {
            return record.left(IdentityLength).toCaseFolded() == lineKey;
        };
        if (!Common::TrimSpaces(line).isEmpty()
            && std::none_of(loaded.begin(), loaded.end(), sameKey)) {
            FUZZ_CHECK(std::any_of(merged.begin(), merged.end(), sameKey),
                       "a record another copy saved is kept");
        }
    }
    return 0;
}
