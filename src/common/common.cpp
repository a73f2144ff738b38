#include "common/common.h"

#include <QDateTime>
#include <QFile>

#include <cmath>

namespace Common {

QString MoveAside(const QString &path)
{
    const QString target
        = path + QStringLiteral(".damaged-")
          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString name = target;
    for (int n = 2; QFile::exists(name); ++n)
        name = target + u'-' + QString::number(n);
    return QFile::rename(path, name) ? name : QString();
}

bool IsBlankText(const QString &text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            return false;
    }
    return true;
}

bool ValidateInput(const QVariant &value, int kind)
{
    if (kind != InputRequired)
        return false;
    if (value.isNull() || !value.isValid())
        return false;
    return !TrimSpaces(value.toString()).isEmpty();
}

QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

int TwipsToPixels(double twips)
{
    return int(std::lround(twips / TwipsPerPixel));
}

int PixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace Common
