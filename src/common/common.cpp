#include "common/common.h"

#include <cmath>

namespace Common {

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
