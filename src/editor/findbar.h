#pragma once

#include "editor/textmatcher.h"

#include <QTextBlock>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Editor {

/// The find and replace bar under the editor: a pattern, the options (case,
/// whole word, regular expression), find next and previous, replace and
/// replace all, and the count of matches. Matches lie within one line.
///
/// The count is taken a slice of lines at a time between the window's events,
/// so that a pattern typed over a large text never holds the window up; it is
/// shown as it grows and starts again after each change of the text or the
/// pattern.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    /// Characters read for the count in one turn of the event loop.
    static constexpr int CountSliceCharacters = 200000;

    explicit FindBar(QPlainTextEdit *editor, QWidget *parent = nullptr);

    /// Shows the bar (with the replace row when `replace`), takes the editor's
    /// selection of one line as the pattern, and puts the focus on the pattern.
    void open(bool replace);
    /// Hides the bar and gives the focus back to the editor.
    void dismiss();
    bool replaceShown() const;

    /// Selects the next (previous) match after (before) the editor's selection,
    /// going round the end (start) of the text; false when there is none.
    bool findNext();
    bool findPrevious();
    /// Replaces the selection when it is a match, then finds the next one.
    bool replaceOne();
    /// Replaces every match as one step of undo; returns how many.
    int replaceAll();

    FindOptions options() const;
    QLineEdit *patternBox() const { return mPatternBox; }
    QLineEdit *replacementBox() const { return mReplacementBox; }
    /// The matches counted so far, and whether the count is complete.
    int matchCount() const { return mCount; }
    bool isCounting() const { return mCountBlock.isValid(); }
    /// The text beside the pattern: the count, or what is wrong with the pattern.
    QString statusText() const;

signals:
    void countFinished(int count);
    /// The bar was shown or hidden: the editor makes room for it.
    void shownChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildControls();
    bool find(bool forward);
    bool select(const QTextBlock &block, const TextMatch &match);
    void restartCount();
    void countSlice();
    void showStatus(const QString &text, bool problem);

    QPlainTextEdit *mEditor;
    QLineEdit *mPatternBox = nullptr;
    QLineEdit *mReplacementBox = nullptr;
    QCheckBox *mCaseBox = nullptr;
    QCheckBox *mWordBox = nullptr;
    QCheckBox *mRegexBox = nullptr;
    QLabel *mStatus = nullptr;
    QList<QWidget *> mReplaceRow;
    QTimer mCountTimer;
    QTextBlock mCountBlock; // the next line to count; invalid when done
    int mCount = 0;
};

} // namespace Editor
