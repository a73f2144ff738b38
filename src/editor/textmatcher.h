#pragma once

#include <QRegularExpression>
#include <QString>

namespace Editor {

/// What the find bar's options ask of a match.
struct FindOptions
{
    bool caseSensitive = false;
    bool wholeWord = false; // not joined to name characters on either side
    bool regularExpression = false;
};

/// Where a match lies in a line.
struct TextMatch
{
    qsizetype start = -1;
    qsizetype length = 0;
};

/// Finds a pattern in lines of text, as the find bar searches the editor: one
/// line at a time (a match never spans a line end), never an empty match (a
/// pattern such as "a*" finds only runs of one or more). A whole word is one
/// that no name character (letters of any script, digits, '_', '$', '#')
/// touches on either side, as SQL names go.
class TextMatcher
{
public:
    TextMatcher(const QString &pattern, const FindOptions &options);

    /// False for an empty pattern or a regular expression that does not compile.
    bool isValid() const;
    /// Why a regular expression does not compile, for the user; empty otherwise.
    QString errorText() const;

    /// The first match starting at or after `from`; start -1 when there is none.
    TextMatch findIn(QStringView line, qsizetype from = 0) const;
    /// The last match that ends at or before `before`; start -1 when there is none.
    TextMatch findLastIn(QStringView line, qsizetype before) const;
    /// How many matches the line holds, none overlapping.
    int countIn(QStringView line) const;
    /// The text that replaces a match: `replacement` as it is, or for a regular
    /// expression with \0 to \9 standing for the captured groups and \\ for '\'.
    QString
    replacementFor(QStringView line, const TextMatch &match, const QString &replacement) const;

private:
    TextMatch matchAt(QStringView line, qsizetype from) const;
    bool isWholeWord(QStringView line, qsizetype start, qsizetype length) const;

    QString mPattern;
    FindOptions mOptions;
    QRegularExpression mExpression;
};

} // namespace Editor
