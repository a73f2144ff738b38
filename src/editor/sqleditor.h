#pragma once

#include <QPlainTextEdit>

namespace Editor {

class FindBar;
class SqlHighlighter;

/// A plain-text editor for SQL: coloured by SqlHighlighter, with a margin of
/// line numbers, the caret's line and the brackets beside the caret marked,
/// and the find bar under the text.
///
/// Colouring stops while the text is longer than HighlightLimit characters,
/// and starts again once it is back under it: loading or editing a larger text
/// costs what it costs without colours. highlightingLimitedChanged() tells the
/// window, which says so in its status bar.
class SqlEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    /// The longest text that is coloured. Colouring a text of this length on
    /// load, or again after typing /* at its top, takes a fraction of a second
    /// (figures in bench/README.md).
    static constexpr int HighlightLimit = 5000000;

    explicit SqlEditor(QWidget *parent = nullptr);
    ~SqlEditor() override;

    FindBar *findBar() const { return mFindBar; }
    SqlHighlighter *highlighter() const { return mHighlighter; }

    void setLineNumbersVisible(bool visible);
    bool lineNumbersVisible() const { return mLineNumbersVisible; }
    /// Colours on or off, whatever the length of the text (on by default).
    void setHighlightingEnabled(bool enabled);
    bool highlightingEnabled() const { return mHighlightingEnabled; }
    /// Whether the text is too long to be coloured.
    bool highlightingLimited() const { return mLimited; }
    /// Whether the text is coloured now.
    bool isHighlighted() const;

signals:
    void highlightingLimitedChanged(bool limited);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class LineNumbers;

    int lineNumberWidth() const;
    void paintLineNumbers(QPaintEvent *event);
    void updateMargins();
    void placeSideWidgets();
    void scrollLineNumbers(const QRect &rect, int dy);
    void markCaret();
    void followLength(int from, int removed, int added);
    void resumeHighlighting();

    SqlHighlighter *mHighlighter = nullptr;
    FindBar *mFindBar = nullptr;
    QWidget *mLineNumbers = nullptr;
    bool mLineNumbersVisible = true;
    bool mHighlightingEnabled = true;
    bool mLimited = false;
};

} // namespace Editor
