#include "editor/textmatcher.h"

#include "editor/sqltokenizer.h"

namespace Editor {

TextMatcher::TextMatcher(const QString &pattern, const FindOptions &options)
    : mPattern(pattern)
    , mOptions(options)
{
    if (options.regularExpression) {
        mExpression.setPattern(pattern);
        mExpression.setPatternOptions(options.caseSensitive
                                          ? QRegularExpression::NoPatternOption
                                          : QRegularExpression::CaseInsensitiveOption);
    }
}

bool TextMatcher::isValid() const
{
    return !mPattern.isEmpty() && (!mOptions.regularExpression || mExpression.isValid());
}

QString TextMatcher::errorText() const
{
    if (!mOptions.regularExpression || mPattern.isEmpty() || mExpression.isValid())
        return {};
    return QStringLiteral("正規表現に誤りがあります（%1 文字目: %2）")
        .arg(mExpression.patternErrorOffset() + 1)
        .arg(mExpression.errorString());
}

bool TextMatcher::isWholeWord(QStringView line, qsizetype start, qsizetype length) const
{
    const qsizetype end = start + length;
    return (start == 0 || !IsNameCharacter(line[start - 1]))
           && (end >= line.size() || !IsNameCharacter(line[end]));
}

// The first match of the pattern itself at or after `from`, whole word or not.
TextMatch TextMatcher::matchAt(QStringView line, qsizetype from) const
{
    TextMatch found;
    if (mOptions.regularExpression) {
        // An empty match is stepped over: it would find "something" everywhere.
        for (qsizetype at = from; at <= line.size(); ++at) {
            const QRegularExpressionMatch match = mExpression.match(line, at);
            if (!match.hasMatch())
                break;
            if (match.capturedLength() > 0) {
                found.start = match.capturedStart();
                found.length = match.capturedLength();
                break;
            }
            at = match.capturedStart();
        }
    } else {
        const Qt::CaseSensitivity cs
            = mOptions.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        found.start = line.indexOf(mPattern, from, cs);
        found.length = found.start < 0 ? 0 : mPattern.size();
    }
    return found;
}

TextMatch TextMatcher::findIn(QStringView line, qsizetype from) const
{
    if (!isValid())
        return {};
    for (qsizetype at = from; at <= line.size();) {
        const TextMatch match = matchAt(line, at);
        if (match.start < 0 || !mOptions.wholeWord || isWholeWord(line, match.start, match.length))
            return match;
        at = match.start + 1;
    }
    return {};
}

TextMatch TextMatcher::findLastIn(QStringView line, qsizetype before) const
{
    TextMatch last;
    for (TextMatch match = findIn(line, 0);
         match.start >= 0 && match.start + match.length <= before;
         match = findIn(line, match.start + 1))
        last = match;
    return last;
}

int TextMatcher::countIn(QStringView line) const
{
    int count = 0;
    for (TextMatch match = findIn(line, 0); match.start >= 0;
         match = findIn(line, match.start + match.length))
        ++count;
    return count;
}

QString TextMatcher::replacementFor(QStringView line,
                                    const TextMatch &match,
                                    const QString &replacement) const
{
    if (!mOptions.regularExpression)
        return replacement;
    const QRegularExpressionMatch groups
        = mExpression.match(line, match.start, QRegularExpression::NormalMatch,
                            QRegularExpression::AnchorAtOffsetMatchOption);
    QString text;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c == u'\\' && i + 1 < replacement.size()) {
            const QChar n = replacement[i + 1];
            if (n.isDigit() && n.unicode() < 0x80) {
                text += groups.captured(n.digitValue());
                ++i;
                continue;
            }
            if (n == u'\\') {
                text += n;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

} // namespace Editor
