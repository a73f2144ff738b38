#include "app/editorbox.h"

#include <QMimeData>
#include <QTextBlock>
#include <QUrl>

namespace {

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

EditorBox::EditorBox(QWidget *parent)
    : Editor::SqlEditor(parent)
{
    setAcceptDrops(true);
}

void EditorBox::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    // A menu opening takes the keyboard for a moment; the editor keeps its place.
    if (event->reason() != Qt::PopupFocusReason)
        emit gotFocus();
}

void EditorBox::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        emit lostFocus();
}

void EditorBox::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
    emit keyDown(event);
    if (event->isAccepted())
        return;
    // Ctrl+Y redoes, as on Windows, besides the desktop's own Ctrl+Shift+Z.
    if (event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)
        && !isReadOnly()) {
        redo();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void EditorBox::keyReleaseEvent(QKeyEvent *event)
{
    QPlainTextEdit::keyReleaseEvent(event);
    emit keyUp();
}

void EditorBox::inputMethodEvent(QInputMethodEvent *event)
{
    QPlainTextEdit::inputMethodEvent(event);
    if (!event->commitString().isEmpty())
        emit keyUp();
}

void EditorBox::mousePressEvent(QMouseEvent *event)
{
    emit mouseDown();
    QPlainTextEdit::mousePressEvent(event);
}

void EditorBox::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    emit mouseUp();
}

void EditorBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void EditorBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        QPlainTextEdit::dragEnterEvent(event);
}

void EditorBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        QPlainTextEdit::dragMoveEvent(event);
}

void EditorBox::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        QPlainTextEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

QString EditorText(const QPlainTextEdit *editor)
{
    // Block by block: toPlainText() would turn no-break spaces into spaces.
    QString text;
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
        if (block != editor->document()->begin())
            text += QLatin1String("\r\n");
        text += block.text();
    }
    // Shift+Enter breaks a line inside a paragraph: a line end all the same.
    return text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
}

QString EditorTextForRules(const QPlainTextEdit *editor)
{
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
        for (const QChar c : block.text()) {
            if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QChar::LineSeparator)
                return QString(c);
        }
    }
    return EditorText(editor);
}

QString SelectedEditorText(const QPlainTextEdit *editor)
{
    return editor->textCursor()
        .selectedText()
        .replace(QChar::ParagraphSeparator, QLatin1String("\r\n"))
        .replace(QChar::LineSeparator, QLatin1String("\r\n"));
}
