#include "editor/sqleditor.h"

#include "editor/bracketmatch.h"
#include "editor/findbar.h"
#include "editor/sqlhighlighter.h"

#include <QPainter>
#include <QTextBlock>
#include <QTimer>

namespace Editor {

namespace {

QColor Blend(const QColor &base, const QColor &tint, double share)
{
    return QColor::fromRgbF(float(base.redF() * (1 - share) + tint.redF() * share),
                            float(base.greenF() * (1 - share) + tint.greenF() * share),
                            float(base.blueF() * (1 - share) + tint.blueF() * share));
}

} // namespace

/// The margin left of the text that shows the line numbers.
class SqlEditor::LineNumbers : public QWidget
{
public:
    explicit LineNumbers(SqlEditor *editor)
        : QWidget(editor)
        , mEditor(editor)
    {
        setObjectName(QStringLiteral("lineNumbers"));
    }
    QSize sizeHint() const override { return {mEditor->lineNumberWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *event) override { mEditor->paintLineNumbers(event); }

private:
    SqlEditor *mEditor;
};

SqlEditor::SqlEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    // Before the highlighter's own handler: a text grown past the limit is
    // left plain before any line of it is coloured.
    connect(document(), &QTextDocument::contentsChange, this, &SqlEditor::followLength);
    // Owned by the document, so that it goes after the document: a highlighter
    // that outlives its document would first take the colours off every line,
    // which for a long text that was never coloured costs seconds.
    mHighlighter = new SqlHighlighter(document());
    mHighlighter->setPalette(palette());
    mHighlighter->attach(document());

    mLineNumbers = new LineNumbers(this);
    mFindBar = new FindBar(this, this);
    connect(mFindBar, &FindBar::shownChanged, this, &SqlEditor::updateMargins);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &SqlEditor::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &SqlEditor::scrollLineNumbers);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SqlEditor::markCaret);
    updateMargins();
    markCaret();
}

SqlEditor::~SqlEditor()
{
    disconnect(document(), nullptr, this, nullptr);
}

bool SqlEditor::isHighlighted() const
{
    return mHighlighter->isActive();
}

void SqlEditor::setLineNumbersVisible(bool visible)
{
    mLineNumbersVisible = visible;
    updateMargins();
}

void SqlEditor::setHighlightingEnabled(bool enabled)
{
    mHighlightingEnabled = enabled;
    if (!enabled)
        mHighlighter->suspend(0, 0);
    else
        resumeHighlighting();
}

void SqlEditor::followLength(int from, int /*removed*/, int added)
{
    const bool over = document()->characterCount() > HighlightLimit;
    if (over && mHighlighter->isActive())
        mHighlighter->suspend(from, added);
    else if (!over && mLimited && mHighlightingEnabled)
        QTimer::singleShot(0, this, &SqlEditor::resumeHighlighting);
    if (over != mLimited) {
        mLimited = over;
        emit highlightingLimitedChanged(over);
    }
}

void SqlEditor::resumeHighlighting()
{
    if (mHighlightingEnabled && !mLimited && !mHighlighter->isActive())
        mHighlighter->attach(document());
}

int SqlEditor::lineNumberWidth() const
{
    if (!mLineNumbersVisible)
        return 0;
    const int digits = qMax(3, int(QString::number(blockCount()).size()));
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void SqlEditor::updateMargins()
{
    const int bottom = mFindBar->isVisibleTo(this) ? mFindBar->sizeHint().height() : 0;
    const QMargins margins(lineNumberWidth(), 0, 0, bottom);
    if (margins != viewportMargins())
        setViewportMargins(margins);
    mLineNumbers->setVisible(mLineNumbersVisible);
    placeSideWidgets();
}

void SqlEditor::placeSideWidgets()
{
    const QRect text = viewport()->geometry();
    const int left = contentsRect().left();
    mLineNumbers->setGeometry(left, text.top(), lineNumberWidth(), text.height());
    mFindBar->setGeometry(left, text.bottom() + 1, text.right() + 1 - left,
                          mFindBar->sizeHint().height());
}

void SqlEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeSideWidgets();
}

void SqlEditor::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        mHighlighter->setPalette(palette());
        markCaret();
    } else if (event->type() == QEvent::FontChange) {
        updateMargins();
    }
}

void SqlEditor::scrollLineNumbers(const QRect &rect, int dy)
{
    if (dy)
        mLineNumbers->scroll(0, dy);
    else
        mLineNumbers->update(0, rect.y(), mLineNumbers->width(), rect.height());
}

void SqlEditor::paintLineNumbers(QPaintEvent *event)
{
    QPainter painter(mLineNumbers);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    const int current = textCursor().blockNumber();
    const QColor plain = palette().color(QPalette::PlaceholderText);
    const QColor strong = palette().color(QPalette::WindowText);
    const int width = mLineNumbers->width() - 4;
    const int height = fontMetrics().height();
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= event->rect().top()) {
            painter.setPen(block.blockNumber() == current ? strong : plain);
            painter.drawText(0, top, width, height, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        }
        block = block.next();
        top = bottom;
    }
}

// The caret's line gets a tint across the whole width, and a bracket beside the
// caret gets a mark with its partner (a warning colour when it has none).
void SqlEditor::markCaret()
{
    const QColor base = palette().color(QPalette::Base);
    const QColor tint = palette().color(QPalette::Highlight);
    QList<QTextEdit::ExtraSelection> marks;
    QTextEdit::ExtraSelection line;
    line.format.setBackground(Blend(base, tint, 0.12));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    marks.append(line);

    const BracketMatch match
        = MatchBracket(document(), textCursor().position(), mHighlighter->isActive());
    if (match.bracket >= 0 && (match.partner >= 0 || IsUnmatched(match))) {
        const bool good = match.matched;
        const QColor colour
            = good ? Blend(base, tint, 0.40) : Blend(base, QColor(230, 40, 40), 0.45);
        for (int position : {match.bracket, match.partner}) {
            if (position < 0)
                continue;
            QTextEdit::ExtraSelection mark;
            mark.format.setBackground(colour);
            mark.cursor = QTextCursor(document());
            mark.cursor.setPosition(position);
            mark.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
            marks.append(mark);
        }
    }
    setExtraSelections(marks);
    mLineNumbers->update();
}

} // namespace Editor
