#include "editor/sqlhighlighter.h"

#include <QPalette>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTimer>

#include <climits>

namespace Editor {

namespace {

// A block's user state holds the tokenizer's state in its low bits and, inside
// a dollar body, the body's own state (an open comment or string) above them.
constexpr int OuterBits = 24;
constexpr int OuterMask = (1 << OuterBits) - 1;
constexpr int InnerLimit = 16; // body states that fit above the outer ones

struct KindColours
{
    TokenKind kind;
    QColor light; // on a light base
    QColor dark;  // on a dark base
    bool italic;
};

const KindColours Colours[] = {
    {TokenKind::Keyword, QColor(0, 0, 190), QColor(110, 170, 240), false},
    {TokenKind::QuotedName, QColor(128, 0, 128), QColor(210, 150, 210), false},
    {TokenKind::String, QColor(163, 21, 21), QColor(230, 160, 130), false},
    {TokenKind::DollarString, QColor(163, 21, 21), QColor(230, 160, 130), false},
    {TokenKind::Number, QColor(9, 110, 80), QColor(170, 215, 160), false},
    {TokenKind::Parameter, QColor(0, 100, 150), QColor(150, 215, 250), false},
    {TokenKind::LineComment, QColor(90, 110, 90), QColor(150, 175, 150), true},
    {TokenKind::BlockComment, QColor(90, 110, 90), QColor(150, 175, 150), true},
};

} // namespace

SqlHighlighter::SqlHighlighter(QObject *parent)
    : QSyntaxHighlighter(parent)
{
    setPalette(QPalette());
}

SqlHighlighter::~SqlHighlighter()
{
    attach(nullptr);
}

void SqlHighlighter::attach(QTextDocument *document)
{
    if (QTextDocument *old = this->document())
        disconnect(old, nullptr, this, nullptr);
    mPending = QTextCursor();
    mSuspended = false;
    {
        // Taking colours off a document is no edit of its text.
        const QSignalBlocker blocker(this->document());
        setDocument(nullptr);
    }
    if (!document)
        return;
    // Connected before the base class's own handler, so that it knows what
    // each edit changed before the lines are coloured.
    connect(document, &QTextDocument::contentsChange, this, &SqlHighlighter::noteChange);
    setDocument(document);
    restyleAll();
}

void SqlHighlighter::suspend(int from, int added)
{
    QTextDocument *document = this->document();
    if (!document || mSuspended)
        return;
    disconnect(document, nullptr, this, nullptr);
    mSuspended = true;
    mPending = QTextCursor();
    // Lines strictly inside the added text are new and have no colours; the
    // others may, and their colours no longer fit an edited line.
    const QTextBlock first = document->findBlock(from);
    const QTextBlock last = document->findBlock(from + added);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockNumber() > first.blockNumber() && block.blockNumber() < last.blockNumber())
            block = last;
        block.layout()->clearFormats();
    }
    document->markContentsDirty(0, first.position() + first.length());
    document->markContentsDirty(last.position(), document->characterCount() - last.position());
}

void SqlHighlighter::setPalette(const QPalette &palette)
{
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    mFormats = {};
    for (const KindColours &entry : Colours) {
        QTextCharFormat &format = mFormats[size_t(entry.kind)];
        format.setForeground(dark ? entry.dark : entry.light);
        if (entry.italic)
            format.setFontItalic(true);
    }
    restyleAll();
}

QTextCharFormat SqlHighlighter::formatFor(TokenKind kind) const
{
    return mFormats[size_t(kind)];
}

// Colours the whole document without reporting a change of its text: the
// editor's journal and change signals see only real edits.
void SqlHighlighter::restyleAll()
{
    if (!isActive())
        return;
    mPending = QTextCursor();
    mRangeEnd = INT_MAX;
    const QSignalBlocker blocker(document());
    rehighlight();
}

void SqlHighlighter::noteChange(int from, int removed, int added)
{
    // The base class colours every line up to the end of the block after the
    // change; past that, lines are coloured only while their start state changes.
    const QTextBlock last = document()->findBlock(from + added + (removed > 0 ? 1 : 0));
    const QTextBlock end = last.isValid() ? last : document()->lastBlock();
    mRangeEnd = end.position() + end.length();
    mCascaded = 0;
}

void SqlHighlighter::continuePending()
{
    if (mPending.isNull() || !isActive())
        return;
    const QTextBlock block = mPending.block();
    mPending = QTextCursor();
    mRangeEnd = block.position() + block.length();
    mCascaded = 0;
    const QSignalBlocker blocker(document());
    rehighlightBlock(block);
}

void SqlHighlighter::colour(qsizetype start, qsizetype length, TokenKind kind)
{
    if (start >= LineCharacters || length <= 0)
        return;
    const QTextCharFormat &format = mFormats[size_t(kind)];
    if (format.isValid() && format.hasProperty(QTextFormat::ForegroundBrush))
        setFormat(int(start), int(qMin<qsizetype>(length, LineCharacters - start)), format);
}

// Colours the inside of a dollar body as SQL, starting in `state`; returns the
// state at its end.
int SqlHighlighter::highlightBody(const QString &text, qsizetype from, qsizetype to, int state)
{
    if (to <= from)
        return state;
    SqlTokenizer tokenizer(QStringView(text).sliced(from, to - from), state);
    Token token;
    while (tokenizer.next(token))
        colour(from + token.start, token.length, token.kind);
    const int end = tokenizer.state();
    return end < InnerLimit ? end : 0;
}

void SqlHighlighter::highlightBlock(const QString &text)
{
    const int previous = qMax(previousBlockState(), 0);
    int inner = previous >> OuterBits; // the body's state, when the line starts in one
    SqlTokenizer tokenizer(text, previous & OuterMask);
    bool inBody = SqlTokenizer::inDollarString(previous & OuterMask);
    Token token;
    while (tokenizer.next(token)) {
        if (token.kind != TokenKind::DollarString) {
            colour(token.start, token.length, token.kind);
            continue;
        }
        qsizetype bodyStart = token.start;
        qsizetype bodyEnd = token.start + token.length;
        if (!inBody) {
            // A body opened on this line: its tag, then the body from the start.
            const qsizetype tag
                = SqlTokenizer::dollarTag(QStringView(text).sliced(token.start)).size();
            colour(token.start, tag, TokenKind::DollarString);
            bodyStart += tag;
            inner = 0;
        }
        inBody = false;
        if (!token.unterminated) {
            const qsizetype tag = bodyEnd - text.lastIndexOf(u'$', bodyEnd - 2);
            bodyEnd -= tag;
            colour(bodyEnd, tag, TokenKind::DollarString);
        }
        inner = highlightBody(text, bodyStart, qMax(bodyStart, bodyEnd), inner);
    }
    int state = tokenizer.state();
    if (SqlTokenizer::inDollarString(state))
        state |= inner << OuterBits;
    const QTextBlock block = currentBlock();
    const int oldState = block.userState();
    setCurrentBlockState(state);

    // Lines past the edit are coloured a slice at a time: when this slice is
    // spent, the line keeps its old state, which stops the base class here,
    // and the rest goes on from this line on the next turn of the event loop.
    if (block.position() < mRangeEnd)
        return;
    mCascaded += text.size() + 1;
    if (mCascaded > SliceCharacters && oldState != state) {
        setCurrentBlockState(oldState);
        mPending = QTextCursor(block);
        QTimer::singleShot(0, this, &SqlHighlighter::continuePending);
    }
}

} // namespace Editor
