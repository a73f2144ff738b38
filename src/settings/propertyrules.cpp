#include "settings/propertyrules.h"

#include <QRegularExpression>

#include <algorithm>

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

QString VariableNameProblem(const QString &name)
{
    const auto isLetter = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
               || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    };
    const auto isNamePart = [&](QChar c) {
        return isLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
               || c == QLatin1Char('_');
    };
    QString why;
    if (name.isEmpty())
        why = QStringLiteral("変数名が入力されていません。");
    else if (!isLetter(name.front()))
        why = QStringLiteral("変数名は半角の英字で始めてください。");
    else if (!std::all_of(name.begin(), name.end(), isNamePart))
        why = QStringLiteral("変数名に使えるのは半角の英字、数字と「_」だけです。");
    else
        return QString();
    return QStringLiteral("この変数名は使用できません。\n") + why;
}

} // namespace Properties
