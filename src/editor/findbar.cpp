#include "editor/findbar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>

namespace Editor {

FindBar::FindBar(QPlainTextEdit *editor, QWidget *parent)
    : QWidget(parent)
    , mEditor(editor)
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    buildControls();
    mCountTimer.setInterval(0);
    connect(&mCountTimer, &QTimer::timeout, this, &FindBar::countSlice);
    connect(mPatternBox, &QLineEdit::textChanged, this, &FindBar::restartCount);
    for (QCheckBox *box : {mCaseBox, mWordBox, mRegexBox})
        connect(box, &QCheckBox::toggled, this, &FindBar::restartCount);
    connect(editor->document(), &QTextDocument::contentsChange, this, [this] {
        if (isVisible())
            restartCount();
    });
    hide();
}

void FindBar::buildControls()
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);

    auto *findLabel = new QLabel(QStringLiteral("検索(&N):"), this);
    mPatternBox = new QLineEdit(this);
    mPatternBox->setObjectName(QStringLiteral("findPattern"));
    findLabel->setBuddy(mPatternBox);
    auto *previous = new QPushButton(QStringLiteral("前へ"), this);
    previous->setToolTip(QStringLiteral("前を検索 (Shift+F3)"));
    auto *next = new QPushButton(QStringLiteral("次へ"), this);
    next->setToolTip(QStringLiteral("次を検索 (F3)"));
    mCaseBox = new QCheckBox(QStringLiteral("大/小文字を区別(&C)"), this);
    mWordBox = new QCheckBox(QStringLiteral("単語単位(&W)"), this);
    mRegexBox = new QCheckBox(QStringLiteral("正規表現(&X)"), this);
    mStatus = new QLabel(this);
    mStatus->setObjectName(QStringLiteral("findStatus"));
    // A long message is cut to the room there is; its tooltip holds it whole.
    mStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *close = new QToolButton(this);
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("検索バーを閉じる (Esc)"));
    close->setAccessibleName(close->toolTip());

    // Three rows, as the editor is narrow: the pattern with its buttons and
    // count, the options, and (when replacing) the replacement.
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(previous);
    buttons->addWidget(next);
    buttons->addWidget(close);
    auto *options = new QHBoxLayout;
    for (QWidget *w : {mCaseBox, mWordBox, mRegexBox})
        options->addWidget(w);
    options->addWidget(mStatus, 1);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(mPatternBox, 0, 1);
    grid->addLayout(buttons, 0, 2);
    grid->addLayout(options, 1, 1, 1, 2);

    auto *replaceLabel = new QLabel(QStringLiteral("置換後(&P):"), this);
    mReplacementBox = new QLineEdit(this);
    mReplacementBox->setObjectName(QStringLiteral("findReplacement"));
    replaceLabel->setBuddy(mReplacementBox);
    auto *replace = new QPushButton(QStringLiteral("置換"), this);
    auto *replaceAll = new QPushButton(QStringLiteral("すべて置換"), this);
    auto *actions = new QHBoxLayout;
    actions->addWidget(replace);
    actions->addWidget(replaceAll);
    actions->addStretch();
    grid->addWidget(replaceLabel, 2, 0);
    grid->addWidget(mReplacementBox, 2, 1);
    grid->addLayout(actions, 2, 2);
    grid->setColumnStretch(1, 1);
    mReplaceRow = {replaceLabel, mReplacementBox, replace, replaceAll};

    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(replace, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(replaceAll, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(mPatternBox, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(mReplacementBox, &QLineEdit::returnPressed, this, &FindBar::replaceOne);
}

FindOptions FindBar::options() const
{
    return {mCaseBox->isChecked(), mWordBox->isChecked(), mRegexBox->isChecked()};
}

bool FindBar::replaceShown() const
{
    return mReplacementBox->isVisibleTo(this);
}

void FindBar::open(bool replace)
{
    const QString selected = mEditor->textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)
        && !selected.contains(QChar::LineSeparator))
        mPatternBox->setText(selected);
    for (QWidget *w : std::as_const(mReplaceRow))
        w->setVisible(replace);
    show();
    emit shownChanged(); // the height may differ with the replace row
    mPatternBox->setFocus();
    mPatternBox->selectAll();
}

void FindBar::dismiss()
{
    hide();
    mEditor->setFocus();
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::ShiftModifier && mPatternBox->hasFocus()) {
        findPrevious();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    restartCount();
    emit shownChanged();
}

void FindBar::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    mCountTimer.stop();
    mCountBlock = QTextBlock();
    emit shownChanged();
}

bool FindBar::findNext()
{
    return find(true);
}

bool FindBar::findPrevious()
{
    return find(false);
}

bool FindBar::select(const QTextBlock &block, const TextMatch &match)
{
    if (match.start < 0)
        return false;
    QTextCursor cursor(mEditor->document());
    cursor.setPosition(block.position() + int(match.start));
    cursor.setPosition(block.position() + int(match.start + match.length), QTextCursor::KeepAnchor);
    mEditor->setTextCursor(cursor);
    return true;
}

// Searches line by line from the selection, round the end of the text and back
// to the line it started in.
bool FindBar::find(bool forward)
{
    const TextMatcher matcher(mPatternBox->text(), options());
    if (!matcher.isValid()) {
        restartCount(); // says what is wrong with the pattern
        return false;
    }
    const QTextCursor caret = mEditor->textCursor();
    const int from = forward ? caret.selectionEnd() : caret.selectionStart();
    const QTextBlock start = mEditor->document()->findBlock(from);
    const int offset = from - start.position();
    QTextBlock block = start;
    do {
        const QString text = block.text();
        const TextMatch match
            = forward ? matcher.findIn(text, block == start ? offset : 0)
                      : matcher.findLastIn(text, block == start ? offset : text.size());
        if (select(block, match))
            return true;
        block = forward ? block.next() : block.previous();
        if (!block.isValid())
            block = forward ? mEditor->document()->firstBlock() : mEditor->document()->lastBlock();
    } while (block != start);
    // Round the text and back: the rest of the line it started in.
    const QString text = start.text();
    if (select(start, forward ? matcher.findIn(text, 0) : matcher.findLastIn(text, text.size())))
        return true;
    showStatus(QStringLiteral("見つかりません"), false);
    return false;
}

bool FindBar::replaceOne()
{
    const TextMatcher matcher(mPatternBox->text(), options());
    QTextCursor caret = mEditor->textCursor();
    if (matcher.isValid() && caret.hasSelection() && !mEditor->isReadOnly()) {
        const QTextBlock block = mEditor->document()->findBlock(caret.selectionStart());
        const QString text = block.text();
        const int start = caret.selectionStart() - block.position();
        const TextMatch match = matcher.findIn(text, start);
        if (match.start == start
            && match.start + match.length == caret.selectionEnd() - block.position())
            caret.insertText(matcher.replacementFor(text, match, mReplacementBox->text()));
    }
    return findNext();
}

int FindBar::replaceAll()
{
    const TextMatcher matcher(mPatternBox->text(), options());
    if (!matcher.isValid() || mEditor->isReadOnly())
        return 0;
    // Every match is found first and replaced from the last: a replacement
    // never shifts a match still to come, and is never searched again.
    struct Replacement
    {
        int position;
        int length;
        QString text;
    };
    QList<Replacement> replacements;
    const QString replacement = mReplacementBox->text();
    for (QTextBlock block = mEditor->document()->firstBlock(); block.isValid();
         block = block.next()) {
        const QString text = block.text();
        for (TextMatch m = matcher.findIn(text); m.start >= 0;
             m = matcher.findIn(text, m.start + m.length))
            replacements.append({block.position() + int(m.start), int(m.length),
                                 matcher.replacementFor(text, m, replacement)});
    }
    if (replacements.isEmpty()) {
        showStatus(QStringLiteral("見つかりません"), false);
        return 0;
    }
    QTextCursor cursor(mEditor->document());
    cursor.beginEditBlock(); // one step of undo
    for (auto r = replacements.crbegin(); r != replacements.crend(); ++r) {
        cursor.setPosition(r->position);
        cursor.setPosition(r->position + r->length, QTextCursor::KeepAnchor);
        cursor.insertText(r->text);
    }
    cursor.endEditBlock();
    showStatus(QStringLiteral("%L1 件を置換しました").arg(replacements.size()), false);
    return int(replacements.size());
}

void FindBar::restartCount()
{
    mCount = 0;
    mCountBlock = QTextBlock();
    mCountTimer.stop();
    const TextMatcher matcher(mPatternBox->text(), options());
    if (!matcher.errorText().isEmpty()) {
        showStatus(matcher.errorText(), true);
        return;
    }
    if (!matcher.isValid()) {
        showStatus(QString(), false);
        return;
    }
    mCountBlock = mEditor->document()->firstBlock();
    countSlice();
}

void FindBar::countSlice()
{
    const TextMatcher matcher(mPatternBox->text(), options());
    int read = 0;
    while (mCountBlock.isValid() && read < CountSliceCharacters) {
        const QString text = mCountBlock.text();
        mCount += matcher.countIn(text);
        read += int(text.size()) + 1;
        mCountBlock = mCountBlock.next();
    }
    if (mCountBlock.isValid()) {
        showStatus(QStringLiteral("%L1 件…").arg(mCount), false);
        mCountTimer.start();
        return;
    }
    mCountTimer.stop();
    showStatus(QStringLiteral("%L1 件").arg(mCount), false);
    emit countFinished(mCount);
}

void FindBar::showStatus(const QString &text, bool problem)
{
    mStatus->setText(text);
    mStatus->setToolTip(text);
    QPalette palette = this->palette();
    if (problem) {
        const bool dark = palette.color(QPalette::Window).lightness() < 128;
        palette.setColor(QPalette::WindowText, dark ? QColor(255, 140, 140) : QColor(180, 0, 0));
    }
    mStatus->setPalette(palette);
}

QString FindBar::statusText() const
{
    return mStatus->text();
}

} // namespace Editor
