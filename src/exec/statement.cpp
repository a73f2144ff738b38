#include "exec/statement.h"

#include "common/common.h"
#include "settings/settingsstore.h"

#include <algorithm>

namespace SQLEdit {

bool AbortRequested = false;
namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString Tab = QStringLiteral("\t");
const QString Space = QStringLiteral(" ");

/// Whole seconds since the epoch, rounded down also before 1970 (integer
/// division alone would round those up and shift the second boundary).
qint64 wholeSeconds(const QDateTime &stamp)
{
    const qint64 msecs = stamp.toMSecsSinceEpoch();
    return msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0);
}

} // namespace

StatementText PrepareStatement(const QString &text)
{
    QString classification = text;
    classification.replace(CrLf, Space).replace(Tab, Space);
    // Sent as typed: a tab in a string literal stays a tab, and a line break is
    // the editor's own LF, not the CR LF of the text handed over.
    QString execution = text;
    execution.replace(CrLf, QStringLiteral("\n"));
    return {Common::TrimSpaces(classification), Common::TrimSpaces(execution)};
}

bool IsQuery(const QString &classification)
{
    return classification.left(6).toUpper() == QLatin1String("SELECT");
}

qint32 DynasetOptions(const std::array<qint16, 8> &settings)
{
    qint32 options = 0;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i] == 1)
            options |= qint32(1) << i;
    }
    return options;
}

qint32 DynasetOptionsFromSettings()
{
    std::array<qint16, 8> settings{};
    for (std::size_t i = 0; i < settings.size(); ++i)
        settings[i]
            = FileIO::GetSettingValue(QStringLiteral("DYNOPTION%1").arg(i + 1)).value<qint16>();
    return DynasetOptions(settings);
}

QString FormatElapsedTime(const QDateTime &start, const QDateTime &end)
{
    // A clock set back during the run (or stamps given the wrong way round)
    // would give a negative span; it counts as no time at all.
    const qint64 total = std::max<qint64>(0, wholeSeconds(end) - wholeSeconds(start));
    const qint64 hours = total / 3600;
    const qint64 minutes = (total / 60) % 60;
    const qint64 seconds = total % 60;

    QString text;
    if (hours > 0)
        text += QString::number(hours) + QStringLiteral("時間");
    if (minutes > 0)
        text += QString::number(minutes) + QStringLiteral("分");
    if (text.isEmpty() || seconds > 0)
        text += QString::number(seconds) + QStringLiteral("秒");
    return text;
}

} // namespace SQLEdit
