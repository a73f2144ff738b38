#include "editor/sqltokenizer.h"

#include <QMutex>
#include <QString>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace Editor {

namespace {

// The tags of dollar strings that ran past the end of a line, so that a state
// number can name one. Tags are few (most bodies use $$ or $body$); the list is
// shared by every tokenizer and only grows.
class DollarTags
{
public:
    int indexOf(QStringView tag)
    {
        QMutexLocker lock(&mMutex);
        for (size_t i = 0; i < mTags.size(); ++i) {
            if (mTags[i] == tag)
                return int(i);
        }
        if (mTags.size() >= MaxTags)
            return 0; // "$$": a wrong tag past this many only ends a body early
        mTags.emplace_back(tag.toString());
        return int(mTags.size() - 1);
    }
    QString tag(int index)
    {
        QMutexLocker lock(&mMutex);
        return index >= 0 && size_t(index) < mTags.size() ? mTags[size_t(index)]
                                                          : QStringLiteral("$$");
    }

private:
    static constexpr size_t MaxTags = 1 << 20;
    QMutex mMutex;
    std::vector<QString> mTags{QStringLiteral("$$")};
};

DollarTags &Tags()
{
    static DollarTags tags;
    return tags;
}

constexpr int OpenBits = 4;

constexpr bool IsAsciiLetter(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

bool IsSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0x3000;
}

// The keywords, upper case and sorted, for a binary search.
constexpr std::string_view Keywords[] = {
#include "editor/sqlkeywords.inc"
};

constexpr qsizetype MaxKeywordLength = 24;

// Which ASCII characters may be part of a name, looked up for every character
// of every word.
constexpr std::array<bool, 128> AsciiNameCharacters = [] {
    std::array<bool, 128> table{};
    for (char16_t c = 0; c < 128; ++c)
        table[c] = IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '$' || c == '#';
    return table;
}();

// The keywords in an open-addressed hash table, made once: the highlighter asks
// about every word of a text, and a sorted search cost half its time.
class KeywordTable
{
public:
    static const KeywordTable &instance()
    {
        static const KeywordTable table;
        return table;
    }
    bool contains(std::string_view word) const
    {
        for (size_t i = hash(word);; i = (i + 1) & Mask) {
            if (mSlots[i].empty())
                return false;
            if (mSlots[i] == word)
                return true;
        }
    }

private:
    static constexpr size_t Mask = 2047; // over four times the keywords
    static_assert(std::size(Keywords) * 4 < Mask);

    KeywordTable()
    {
        for (std::string_view keyword : Keywords) {
            size_t i = hash(keyword);
            while (!mSlots[i].empty())
                i = (i + 1) & Mask;
            mSlots[i] = keyword;
        }
    }
    static size_t hash(std::string_view word)
    {
        size_t h = 2166136261u;
        for (char c : word)
            h = (h ^ size_t(quint8(c))) * 16777619u;
        return (h ^ (h >> 11)) & Mask;
    }

    std::array<std::string_view, Mask + 1> mSlots{};
};

} // namespace

bool IsNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return AsciiNameCharacters[u];
    if (c.isSurrogate())
        return true;
    return c.isLetterOrNumber() || c.category() == QChar::Mark_NonSpacing
           || c.category() == QChar::Mark_SpacingCombining;
}

bool IsKeyword(QStringView word)
{
    if (word.size() < 2 || word.size() > MaxKeywordLength)
        return false;
    char upper[MaxKeywordLength];
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c >= 'a' && c <= 'z')
            upper[i] = char(c - 'a' + 'A');
        else if ((c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9'))
            upper[i] = char(c);
        else
            return false;
    }
    return KeywordTable::instance().contains(std::string_view(upper, size_t(word.size())));
}

SqlTokenizer::SqlTokenizer(QStringView text, int state)
    : mText(text)
{
    const int open = state & ((1 << OpenBits) - 1);
    if (state > 0 && open <= int(Open::Dollar)) {
        mOpen = Open(open);
        mDollarTag = state >> OpenBits;
    }
}

int SqlTokenizer::state() const
{
    if (mOpen == Open::Dollar)
        return int(mOpen) | (mDollarTag << OpenBits);
    return int(mOpen);
}

bool SqlTokenizer::inDollarString(int state)
{
    return state > 0 && (state & ((1 << OpenBits) - 1)) == int(Open::Dollar);
}

QStringView SqlTokenizer::dollarTag(QStringView text)
{
    if (text.size() < 2 || text[0] != u'$')
        return {};
    qsizetype i = 1;
    if (text[1] != u'$') {
        // A tag is a name that does not start with a digit ($1 is a parameter).
        if (IsDigit(text[1].unicode()) || !IsNameCharacter(text[1]) || text[1] == u'$')
            return {};
        while (i < text.size() && text[i] != u'$' && IsNameCharacter(text[i]))
            ++i;
        if (i == text.size() || text[i] != u'$')
            return {};
    }
    return text.first(i + 1);
}

// Finds the end of a quoted run that starts at mPos (after its opening quote),
// with the quote doubled inside and, for E'' strings, backslash escapes.
// Returns the position after the closing quote, or -1 when the text ends first.
qsizetype SqlTokenizer::closeQuote(QChar quote, bool backslashes)
{
    qsizetype i = mPos;
    const qsizetype size = mText.size();
    while (i < size) {
        const QChar c = mText[i];
        if (backslashes && c == u'\\') {
            i += 2;
            continue;
        }
        if (c == quote) {
            if (i + 1 < size && mText[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return -1;
}

// Goes on with a string, name, comment or body that was open at the start of
// the text or has just been opened at mPos.
void SqlTokenizer::readOpen(Token &token)
{
    qsizetype end = -1;
    switch (mOpen) {
    case Open::BlockComment: {
        const qsizetype close = mText.indexOf(u"*/", mPos);
        end = close < 0 ? -1 : close + 2;
        token.kind = TokenKind::BlockComment;
        break;
    }
    case Open::String:
    case Open::EscapeString:
        end = closeQuote(u'\'', mOpen == Open::EscapeString);
        token.kind = TokenKind::String;
        break;
    case Open::QuotedName:
        end = closeQuote(u'"', false);
        token.kind = TokenKind::QuotedName;
        break;
    case Open::BackQuotedName:
        end = closeQuote(u'`', false);
        token.kind = TokenKind::QuotedName;
        break;
    case Open::Dollar: {
        const QString tag = Tags().tag(mDollarTag);
        const qsizetype close = mText.indexOf(tag, mPos);
        end = close < 0 ? -1 : close + tag.size();
        token.kind = TokenKind::DollarString;
        break;
    }
    case Open::None:
        break;
    }
    if (end < 0) {
        token.unterminated = true;
        end = mText.size();
    } else {
        mOpen = Open::None;
        mDollarTag = 0;
    }
    token.length = end - token.start;
    mPos = end;
}

void SqlTokenizer::readWord(Token &token)
{
    qsizetype i = mPos;
    const qsizetype size = mText.size();
    while (i < size) {
        const char16_t c = mText[i].unicode();
        if (c < 0x80 ? !AsciiNameCharacters[c] : !IsNameCharacter(QChar(c)))
            break;
        ++i;
    }
    token.length = i - token.start;
    token.kind
        = IsKeyword(mText.sliced(token.start, token.length)) ? TokenKind::Keyword : TokenKind::Word;
    mPos = i;
}

void SqlTokenizer::readNumber(Token &token)
{
    qsizetype i = mPos;
    const qsizetype size = mText.size();
    token.kind = TokenKind::Number;
    if (i + 1 < size && mText[i] == u'0' && (mText[i + 1] == u'x' || mText[i + 1] == u'X')) {
        i += 2;
        while (
            i < size
            && (IsDigit(mText[i].unicode()) || QStringLiteral("abcdefABCDEF").contains(mText[i])))
            ++i;
    } else {
        while (i < size && IsDigit(mText[i].unicode()))
            ++i;
        if (i < size && mText[i] == u'.') {
            ++i;
            while (i < size && IsDigit(mText[i].unicode()))
                ++i;
        }
        if (i < size && (mText[i] == u'e' || mText[i] == u'E')) {
            qsizetype j = i + 1;
            if (j < size && (mText[j] == u'+' || mText[j] == u'-'))
                ++j;
            if (j < size && IsDigit(mText[j].unicode())) {
                i = j;
                while (i < size && IsDigit(mText[i].unicode()))
                    ++i;
            }
        }
    }
    // 12abc is one odd word, not a number and a name.
    while (i < size && IsNameCharacter(mText[i]) && mText[i] != u'$') {
        token.kind = TokenKind::Word;
        ++i;
    }
    token.length = i - token.start;
    mPos = i;
}

bool SqlTokenizer::next(Token &token)
{
    const qsizetype size = mText.size();
    if (mPos >= size)
        return false;
    token = Token{};
    token.start = mPos;
    if (mOpen != Open::None) {
        readOpen(token);
        return true;
    }

    const char16_t c = mText[mPos].unicode();
    const char16_t n = mPos + 1 < size ? mText[mPos + 1].unicode() : 0;
    if (IsSpace(c)) {
        qsizetype i = mPos + 1;
        while (i < size && IsSpace(mText[i].unicode()))
            ++i;
        token.kind = TokenKind::Space;
        token.length = i - mPos;
        mPos = i;
        return true;
    }
    if (c == '-' && n == '-') {
        qsizetype i = mText.indexOf(u'\n', mPos);
        if (i < 0)
            i = size;
        else if (i > mPos && mText[i - 1] == u'\r')
            --i;
        token.kind = TokenKind::LineComment;
        token.length = i - mPos;
        mPos = i;
        return true;
    }
    auto open = [&](Open what, qsizetype skip) {
        mOpen = what;
        mPos += skip;
        readOpen(token);
        return true;
    };
    if (c == '/' && n == '*')
        return open(Open::BlockComment, 2);
    if (c == '\'')
        return open(Open::String, 1);
    if ((c == 'e' || c == 'E') && n == '\'')
        return open(Open::EscapeString, 2);
    if (c == '"')
        return open(Open::QuotedName, 1);
    if (c == '`')
        return open(Open::BackQuotedName, 1);
    if (c == '$') {
        const QStringView tag = dollarTag(mText.sliced(mPos));
        if (!tag.isEmpty()) {
            mDollarTag = Tags().indexOf(tag);
            return open(Open::Dollar, tag.size());
        }
        if (IsDigit(n)) {
            qsizetype i = mPos + 1;
            while (i < size && IsDigit(mText[i].unicode()))
                ++i;
            token.kind = TokenKind::Parameter;
            token.length = i - mPos;
            mPos = i;
            return true;
        }
    }
    if (IsDigit(c) || (c == '.' && IsDigit(n))) {
        readNumber(token);
        return true;
    }
    if (c != '$' && c != '#' && IsNameCharacter(QChar(c))) {
        readWord(token);
        return true;
    }
    if (c == '?' || (c == ':' && n != ':' && n && IsNameCharacter(QChar(n)) && !IsDigit(n))) {
        qsizetype i = mPos + 1;
        if (c == ':') {
            while (i < size && IsNameCharacter(mText[i]))
                ++i;
        }
        token.kind = TokenKind::Parameter;
        token.length = i - mPos;
        mPos = i;
        return true;
    }
    token.kind = (c == '(' || c == ')' || c == ',' || c == ';' || c == '.') ? TokenKind::Punctuation
                                                                            : TokenKind::Operator;
    // Operators of several characters (<=, ||, ::) stay together; punctuation
    // is one character a token.
    qsizetype i = mPos + 1;
    if (token.kind == TokenKind::Operator) {
        static constexpr char16_t Joined[] = u"<>=!|:&^~+*%@";
        auto joins = [](char16_t ch) {
            return std::char_traits<char16_t>::find(Joined, 13, ch) != nullptr;
        };
        while (i < size && joins(mText[i].unicode()) && joins(c))
            ++i;
    }
    token.length = i - mPos;
    mPos = i;
    return true;
}

} // namespace Editor
