#include "settings/propertyrules.h"

#include <QRegularExpression>

namespace Properties {

int ShownOption(int stored, int optionCount, int defaultOption)
{
    return stored >= 0 && stored < optionCount ? stored : defaultOption;
}

QString TwoLineCaption(const QString &caption)
{
    static const QRegularExpression blanks(QStringLiteral(" {2,}"));
    const QRegularExpressionMatch match = blanks.match(caption);
    if (!match.hasMatch())
        return caption;
    return caption.left(match.capturedStart()) + QLatin1Char('\n')
           + caption.mid(match.capturedEnd());
}

} // namespace Properties
