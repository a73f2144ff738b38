// Running a statement: the two copies of the editor's text, the choice between a
// query and other statements, and the elapsed-time text. The input is the text,
// with two time stamps taken from its end. Properties:
// - neither copy starts or ends with a space; the classification copy holds no
//   tab or CR LF pair and is the text with CR LF pairs and tabs made spaces, cut
//   at its ends; the execution copy is the text with CR LF pairs made LF (a lone
//   CR before one stays: "\r\r\n" gives "\r\n"), cut at its ends, and keeps
//   every tab of the text;
// - transaction control is read from the first words alone: a text behind a
//   query's first word is never taken for it;
// - a text is a query exactly when its classification begins with the six
//   letters of "select", in any case;
// - the elapsed time reads back as the whole seconds between the stamps (none when
//   the end comes first), in hours, minutes under 60 and seconds under 60, with
//   no zero part but "0秒" alone.

#include "fuzzinput.h"

#include "common/common.h"
#include "common/textcodec.h"
#include "engine/transactioncontrol.h"
#include "exec/statement.h"

#include <QRegularExpression>

#include <limits>

namespace {

qint64 floorSeconds(qint64 msecs)
{
    return msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0);
}

QDateTime stamp(qint64 msecs, qint32 offsetSeconds)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, offsetSeconds);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // Stamps mostly within a few days of each other, sometimes anywhere at all.
    const quint8 choice = input.ConsumeIntegral<quint8>();
    const qint64 start = input.ConsumeIntegral<qint64>() / ((choice & 1) ? 1 : 4096);
    const qint64 span = choice & 2 ? input.ConsumeIntegral<qint64>() / 4096
                                   : input.ConsumeIntegralInRange<qint64>(-5000, 400'000'000);
    const qint32 offset = input.ConsumeIntegralInRange<qint32>(-14 * 3600, 14 * 3600);
    const QString text
        = Common::DecodeText(QByteArray::fromStdString(input.ConsumeRemainingBytesAsString()));

    const SQLEdit::StatementText prepared = SQLEdit::PrepareStatement(text);
    for (const QString *copy : {&prepared.classification, &prepared.execution})
        FUZZ_CHECK(Common::TrimSpaces(*copy) == *copy, "no space at either end");
    FUZZ_CHECK(!prepared.classification.contains(QLatin1Char('\t'))
                   && !prepared.classification.contains(QStringLiteral("\r\n")),
               "the classification copy holds no tab and no CR LF pair");
    FUZZ_CHECK(QString(text)
                   .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                   .replace(QLatin1Char('\t'), QLatin1Char(' '))
                   .contains(prepared.classification),
               "the classification is the text on one line, tabs made spaces, cut at its ends");
    FUZZ_CHECK(QString(text)
                   .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                   .contains(prepared.execution),
               "the execution copy is the text with LF line ends, cut at its ends");
    FUZZ_CHECK(prepared.execution.count(QLatin1Char('\t')) == text.count(QLatin1Char('\t')),
               "every tab is sent as typed");

    Engine::ClassifyTransactionControl(text);
    FUZZ_CHECK(Engine::ClassifyTransactionControl(QStringLiteral("select ") + text)
                   == Engine::TransactionControl::None,
               "only the first words decide");

    const bool query = prepared.classification.left(6).toLatin1().toLower() == "select";
    FUZZ_CHECK(SQLEdit::IsQuery(prepared.classification) == query,
               "a query begins with the letters of select");

    const qint64 end = (start > 0 && span > std::numeric_limits<qint64>::max() - start)
                               || (start < 0 && span < std::numeric_limits<qint64>::min() - start)
                           ? start
                           : start + span;
    const QDateTime from = stamp(start, offset);
    const QDateTime to = stamp(end, choice & 4 ? offset : -offset);
    const QString elapsed = SQLEdit::FormatElapsedTime(from, to);
    static const QRegularExpression form(QStringLiteral(
        "^(?:0秒|(?:([1-9][0-9]*)時間)?(?:([1-9]|[1-5][0-9])分)?(?:([1-9]|[1-5][0-9])秒)?)$"));
    const QRegularExpressionMatch parts = form.match(elapsed);
    FUZZ_CHECK(parts.hasMatch() && !elapsed.isEmpty(),
               "hours, minutes under 60, seconds under 60, no zero part but 0秒 alone");
    if (from.isValid() && to.isValid()) {
        const qint64 seconds = parts.captured(1).toLongLong() * 3600
                               + parts.captured(2).toLongLong() * 60
                               + parts.captured(3).toLongLong();
        const qint64 expected = std::max<qint64>(0, floorSeconds(to.toMSecsSinceEpoch())
                                                        - floorSeconds(from.toMSecsSinceEpoch()));
        FUZZ_CHECK(seconds == expected, "the text reads back as the whole seconds between");
    }
    return 0;
}
