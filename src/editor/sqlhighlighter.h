#pragma once

#include "editor/sqltokenizer.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextCursor>

#include <array>

class QPalette;

namespace Editor {

/// Colours SQL in a text document: keywords, strings, quoted names, numbers,
/// parameters and comments, read by the shared tokenizer a line at a time. A
/// line's end state (an open comment, string or body) is kept in its block's
/// user state, so that the next line starts where it left off.
///
/// PostgreSQL dollar bodies show their $tag$ delimiters in the string colour
/// and the body inside as SQL, since a body is usually a function's code.
///
/// An edit that changes a line's end state (typing /* near the top) changes
/// every line after it; those are coloured a bounded slice at a time: the rest
/// follows on the next turns of the event loop, so that the keystroke stays
/// quick however long the text.
class SqlHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    /// Characters of following lines coloured in one go after an edit.
    static constexpr int SliceCharacters = 20000;
    /// Characters of one line that get colours; the state of a longer line is
    /// still followed to its end.
    static constexpr int LineCharacters = 20000;

    explicit SqlHighlighter(QObject *parent = nullptr);
    /// Lets go of the document while this is still a SqlHighlighter: the base
    /// class's destructor takes the colours off, which the document reports
    /// as a change, and this class's own handler must not hear of it.
    ~SqlHighlighter() override;

    /// Starts colouring `document` (nullptr stops), all of it at once.
    void attach(QTextDocument *document);
    /// Stops following the document's edits, from inside the report of the
    /// edit at `from` that added `added` characters: the lines it brought stay
    /// plain without being visited, and the colours of the others are removed.
    /// (0, 0) takes the colours off every line.
    void suspend(int from, int added);
    /// Whether the lines follow the document's edits.
    bool isActive() const { return document() && !mSuspended; }
    /// Colours fitting the palette's base: light text colours on a dark base.
    void setPalette(const QPalette &palette);
    /// The format that a kind of token gets; an empty format for plain text.
    QTextCharFormat formatFor(TokenKind kind) const;
    /// Whether lines still wait to be coloured after an edit.
    bool isPending() const { return !mPending.isNull(); }

protected:
    void highlightBlock(const QString &text) override;

private:
    void noteChange(int from, int removed, int added);
    void continuePending();
    void restyleAll();
    int highlightBody(const QString &text, qsizetype from, qsizetype to, int state);
    void colour(qsizetype start, qsizetype length, TokenKind kind);

    std::array<QTextCharFormat, 12> mFormats;
    int mRangeEnd = 0;       // the end of the text that the current edit changed
    qsizetype mCascaded = 0; // characters coloured past that end in this slice
    QTextCursor mPending;    // the line from which colouring goes on
    bool mSuspended = false;
};

} // namespace Editor
