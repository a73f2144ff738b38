#include "editor/completionpopup.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextBlock>

namespace Editor {

/// The candidates the list shows: the name, with its detail (a column's
/// comment, or what the name is) beside it.
class CandidateModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    static constexpr int DetailRole = Qt::UserRole;

    void setCandidates(std::vector<Candidate> candidates)
    {
        beginResetModel();
        mCandidates = std::move(candidates);
        endResetModel();
    }
    const Candidate &at(int row) const { return mCandidates[size_t(row)]; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(mCandidates.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || size_t(index.row()) >= mCandidates.size())
            return {};
        const Candidate &candidate = mCandidates[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return candidate.name;
        case Qt::ToolTipRole:
        case DetailRole:
            return candidate.detail;
        case Qt::AccessibleDescriptionRole:
            return candidate.detail;
        default:
            return {};
        }
    }

private:
    std::vector<Candidate> mCandidates;
};

namespace {

// Draws the detail after the name, in the colour of secondary text.
class CandidateDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString detail = index.data(CandidateModel::DetailRole).toString();
        if (detail.isEmpty())
            return;
        const int nameWidth = option.fontMetrics.horizontalAdvance(index.data().toString());
        QRect area = option.rect.adjusted(nameWidth + option.fontMetrics.height() * 2, 0, -4, 0);
        if (area.width() <= 0)
            return;
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(detail, Qt::ElideRight, area.width()));
        painter->restore();
    }
};

// The text around the caret: whole lines where they fit, at most ContextChars
// on either side; *caret becomes the caret's place in it, *start the text's
// place in the document.
QString TextAroundCaret(const QTextDocument *document, qsizetype *caret, qsizetype *start)
{
    const QTextBlock caretBlock = document->findBlock(int(*caret));
    const QString line = caretBlock.text();
    const qsizetype inLine = *caret - caretBlock.position();
    const qsizetype from = qMax<qsizetype>(0, inLine - CompletionPopup::ContextChars);
    const qsizetype to = qMin(line.size(), inLine + CompletionPopup::ContextChars);
    QString text = line.mid(from, to - from);
    *start = caretBlock.position() + from;
    if (from == 0) {
        for (QTextBlock block = caretBlock.previous();
             block.isValid() && text.size() + block.length() <= 2 * CompletionPopup::ContextChars;
             block = block.previous()) {
            text.prepend(block.text() + u'\n');
            *start = block.position();
        }
    }
    if (to == line.size()) {
        for (QTextBlock block = caretBlock.next();
             block.isValid() && text.size() + block.length() <= 3 * CompletionPopup::ContextChars;
             block = block.next())
            text += u'\n' + block.text();
    }
    *caret -= *start;
    return text;
}

constexpr int VisibleRows = 10;

} // namespace

CompletionPopup::CompletionPopup(QPlainTextEdit *editor)
    : QObject(editor)
    , mEditor(editor)
    , mList(new QListView(editor))
    , mModel(new CandidateModel(this))
{
    // A tooltip-like window: shown without being activated, it leaves the
    // keyboard and the input method with the editor.
    mList->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    mList->setAttribute(Qt::WA_ShowWithoutActivating);
    mList->setFocusPolicy(Qt::NoFocus);
    mList->setObjectName(QStringLiteral("lstCompletion"));
    mList->setAccessibleName(QStringLiteral("補完候補"));
    mList->setModel(mModel);
    mList->setItemDelegate(new CandidateDelegate(mList));
    mList->setUniformItemSizes(true);
    mList->setSelectionMode(QAbstractItemView::SingleSelection);
    mList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mList->hide();
    connect(mList, &QListView::clicked, this, [this](const QModelIndex &index) {
        mList->setCurrentIndex(index);
        accept();
    });
    connect(mEditor->document(), &QTextDocument::contentsChange, this,
            &CompletionPopup::textEdited);
    connect(mEditor, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        // A caret moved other than by typing (a click, an arrow key) closes the list.
        if (isVisible() && !mRefreshQueued)
            hide();
    });
    mEditor->installEventFilter(this);
}

CompletionPopup::~CompletionPopup() = default;

void CompletionPopup::setCatalog(std::shared_ptr<const SchemaCatalog> catalog, bool foldsToLower)
{
    mCatalog = std::move(catalog);
    mFoldsToLower = foldsToLower;
    if (isVisible())
        refresh(false);
}

bool CompletionPopup::isVisible() const
{
    return mList->isVisible();
}

void CompletionPopup::hide()
{
    mList->hide();
}

void CompletionPopup::complete()
{
    if (!mComposing)
        refresh(true);
}

bool CompletionPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != mEditor)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Keys the open list takes are not shortcuts meanwhile.
        if (isVisible()) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter
                || key == Qt::Key_Tab) {
                event->accept();
                return true;
            }
        }
        break;
    case QEvent::KeyPress:
        return keyPressed(static_cast<QKeyEvent *>(event));
    case QEvent::InputMethod: {
        const auto *input = static_cast<QInputMethodEvent *>(event);
        mComposing = !input->preeditString().isEmpty();
        if (mComposing)
            hide();
        else if (!input->commitString().isEmpty())
            mTyped = true;
        break;
    }
    case QEvent::FocusOut:
    case QEvent::EnabledChange:
    case QEvent::Hide:
        hide();
        break;
    default:
        break;
    }
    return false;
}

// The keys the open list takes; others go to the editor, and a typed one
// updates the list once the editor has changed its text.
bool CompletionPopup::keyPressed(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && event->key() == Qt::Key_Space) {
        complete();
        return true;
    }
    if (isVisible() && event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F35) {
        // A command key (F5 runs the statement): the list goes, so that the
        // next Esc stops what the command started instead of closing it.
        hide();
        return false;
    }
    if (isVisible()) {
        const int rows = mModel->rowCount();
        const int row = mList->currentIndex().row();
        int moveTo = -1;
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            accept();
            return true;
        case Qt::Key_Escape:
            hide();
            return true;
        case Qt::Key_Up:
            moveTo = qMax(0, row - 1);
            break;
        case Qt::Key_Down:
            moveTo = qMin(rows - 1, row + 1);
            break;
        case Qt::Key_PageUp:
            moveTo = qMax(0, row - VisibleRows);
            break;
        case Qt::Key_PageDown:
            moveTo = qMin(rows - 1, row + VisibleRows);
            break;
        default:
            break;
        }
        if (moveTo >= 0) {
            mList->setCurrentIndex(mModel->index(moveTo));
            return true;
        }
        if (event->key() == Qt::Key_Space) {
            hide(); // Space never accepts: it is typed, and the list goes
            return false;
        }
    }
    mTyped = !event->text().isEmpty() && !ctrl && event->text()[0].isPrint();
    return false;
}

void CompletionPopup::textEdited()
{
    if (!mTyped && !isVisible())
        return;
    // Read once the editor has moved its caret past the edit.
    if (!mRefreshQueued) {
        mRefreshQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                mRefreshQueued = false;
                refresh(false);
            },
            Qt::QueuedConnection);
    }
}

void CompletionPopup::refresh(bool requested)
{
    const bool typed = std::exchange(mTyped, false);
    const QTextCursor cursor = mEditor->textCursor();
    if (!mCatalog || mComposing || cursor.hasSelection() || !mEditor->isEnabled()
        || mEditor->isReadOnly()) {
        hide();
        return;
    }
    qsizetype caret = cursor.position();
    qsizetype start = 0;
    const QString text = TextAroundCaret(mEditor->document(), &caret, &start);
    const CompletionContext context = ReadCompletionContext(text, caret);
    if (!requested && !isVisible()) {
        // Two typed characters of a name, or a dot after a name, open it.
        const bool afterDot
            = context.qualified && context.prefix.isEmpty() && caret > 0 && text[caret - 1] == u'.';
        if (!typed || (context.prefix.size() < 2 && !afterDot)) {
            hide();
            return;
        }
    }
    std::vector<Candidate> candidates = CompletionCandidates(context, *mCatalog, mFoldsToLower);
    if (candidates.empty()) {
        hide();
        return;
    }
    mStart = start + context.start;
    mModel->setCandidates(std::move(candidates));
    mList->setCurrentIndex(mModel->index(0));
    place();
}

void CompletionPopup::accept()
{
    const QModelIndex current = mList->currentIndex();
    hide();
    if (!current.isValid())
        return;
    QTextCursor cursor = mEditor->textCursor();
    const int caret = cursor.position();
    if (mStart > caret)
        return;
    cursor.setPosition(int(mStart));
    cursor.setPosition(caret, QTextCursor::KeepAnchor);
    cursor.insertText(mModel->at(current.row()).insert); // one step to undo
    mEditor->setTextCursor(cursor);
}

// Under the name's start, or above it where the screen ends below.
void CompletionPopup::place()
{
    mList->setFont(mEditor->font()); // names read as in the editor
    QTextCursor at = mEditor->textCursor();
    at.setPosition(int(mStart));
    const QRect caret = mEditor->cursorRect(at);
    const QFontMetrics metrics(mList->font());
    const int rowHeight = qMax(mList->sizeHintForRow(0), metrics.height());
    const int rows = qMin(VisibleRows, mModel->rowCount());
    const int frame = 2 * mList->frameWidth();
    const QSize size(qBound(metrics.horizontalAdvance(QLatin1Char('x')) * 40,
                            mEditor->viewport()->width() / 2,
                            metrics.horizontalAdvance(QLatin1Char('x')) * 80),
                     rows * rowHeight + frame);
    QPoint below = mEditor->viewport()->mapToGlobal(caret.bottomLeft());
    if (const QScreen *screen = mEditor->screen()) {
        const QRect area = screen->availableGeometry();
        if (below.y() + size.height() > area.bottom())
            below.setY(mEditor->viewport()->mapToGlobal(caret.topLeft()).y() - size.height());
        below.setX(qBound(area.left(), below.x(), qMax(area.left(), area.right() - size.width())));
    }
    mList->setGeometry(QRect(below, size));
    mList->show();
    mList->scrollTo(mList->currentIndex());
}

} // namespace Editor
