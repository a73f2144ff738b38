#pragma once

#include <QStringView>

namespace Editor {

/// What a piece of SQL text is, as the highlighter colours it and completion
/// reads it.
enum class TokenKind : quint8 {
    Space,        // blanks and line breaks
    Word,         // a name that is not a keyword (Japanese letters included)
    Keyword,      // a word in the keyword list, in any case
    QuotedName,   // "name", `name`, with doubled quotes inside
    String,       // 'text' with '' inside; E'..' also takes backslash escapes
    DollarString, // $$ .. $$ or $tag$ .. $tag$, as PostgreSQL writes bodies
    Number,       // 12, 1.5, .5, 1e-3, 0x1F
    Parameter,    // ?, :name, $1
    LineComment,  // -- to the end of the line
    BlockComment, // /* .. */
    Punctuation,  // ( ) , ; .
    Operator,     // anything else: = < > + - * / || and stray characters
};

struct Token
{
    TokenKind kind = TokenKind::Space;
    qsizetype start = 0;
    qsizetype length = 0;
    /// A string, quoted name or comment that the text ends inside of.
    bool unterminated = false;
};

/// Splits SQL text into tokens, one after another. A text may be read a line at
/// a time: state() after one line is the start state of the next, so that a
/// comment, string or body that runs over several lines is followed. The state
/// is a small non-negative number, fit for QTextBlock::setUserState; 0 is the
/// start of a statement outside any string or comment.
///
/// Any text is read without fault: half-typed text gives unterminated tokens,
/// never a wrong split of what comes before it.
class SqlTokenizer
{
public:
    explicit SqlTokenizer(QStringView text, int state = 0);

    /// The next token, or false at the end of the text.
    bool next(Token &token);
    /// The state at the end of the text read so far.
    int state() const;

    /// Whether a line that starts in the state starts inside a dollar string.
    static bool inDollarString(int state);

    /// The tag of a dollar string, "$$" or "$body$", when the text starts with
    /// one (and it is not a parameter such as $1); empty otherwise.
    static QStringView dollarTag(QStringView text);

private:
    enum class Open : quint8 {
        None,
        BlockComment,
        String,
        EscapeString,
        QuotedName,
        BackQuotedName,
        Dollar
    };

    void readOpen(Token &token);
    void readWord(Token &token);
    void readNumber(Token &token);
    qsizetype closeQuote(QChar quote, bool backslashes);

    QStringView mText;
    qsizetype mPos = 0;
    Open mOpen = Open::None;
    int mDollarTag = 0; // index in the tags seen, for an open dollar string
};

/// Whether the word is a keyword of SQL, PostgreSQL, SQLite or Oracle (any case).
bool IsKeyword(QStringView word);

/// Whether the character may be part of a name: letters and digits of any
/// script, '_', '$' and '#', and both halves of a surrogate pair.
bool IsNameCharacter(QChar c);

} // namespace Editor
