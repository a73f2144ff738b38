#pragma once

#include "editor/sqleditor.h"

/// The SQL editor: a plain-text box that reports its events to the main window
/// in the order the window's handlers expect. A key goes to keyDown before the
/// box handles it (a handler that accepts the event keeps it from the box); the
/// other events are reported after the box has handled them, so that a handler
/// sees the selection they made. Dropped files are reported instead of inserted.
/// The SQL aids (colours, line numbers, find bar) come from Editor::SqlEditor.
class EditorBox : public Editor::SqlEditor
{
    Q_OBJECT

public:
    explicit EditorBox(QWidget *parent = nullptr);

signals:
    void gotFocus();
    void lostFocus();
    void keyDown(QKeyEvent *event);
    /// A key released, or text committed by an input method (which releases no key).
    void keyUp();
    void mouseDown();
    void mouseUp();
    void doubleClicked();
    /// Local files dropped on the box, in the order the drop gives them.
    void filesDropped(const QStringList &paths);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

/// The editor's whole text with CR LF between lines, as the program's logic takes it.
QString EditorText(const QPlainTextEdit *editor);

/// A text that the button-state rules judge as they judge the editor's text, read
/// without copying a large text: the first character that is not a space, tab or
/// line break stands for the whole text when there is one, since every rule then
/// gives the same answer; a text of blanks only is returned whole.
QString EditorTextForRules(const QPlainTextEdit *editor);

/// The editor's selected text with CR LF between lines; empty without a selection.
QString SelectedEditorText(const QPlainTextEdit *editor);
