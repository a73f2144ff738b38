#pragma once

#include "editor/completioncontext.h"
#include "editor/schemacatalog.h"

#include <QObject>

#include <memory>

class QKeyEvent;
class QListView;
class QPlainTextEdit;

namespace Editor {

class CandidateModel;

/// Completion of names in an SQL editor: a list of candidates under the caret
/// that never takes the focus from the editor (the input method stays with it).
/// It drives itself through an event filter on the editor:
///
/// - it opens after two typed characters of a name, after "name." and on
///   Ctrl+Space, and follows the typing while open;
/// - Enter or Tab put the chosen name in place of the typed part, Esc closes it
///   without inserting (and goes no further), Space closes it and is typed;
///   Up, Down, Page Up and Page Down move in the list;
/// - while an input method composes (a preedit text) it is closed, and none
///   opens until the text is committed.
///
/// The statement around the caret is read a bounded stretch at a time (see
/// ContextChars), so a huge line costs no more per key than a short one.
class CompletionPopup : public QObject
{
    Q_OBJECT

public:
    explicit CompletionPopup(QPlainTextEdit *editor);
    ~CompletionPopup() override;

    /// The names to offer; null offers none. foldsToLower as CompletionCandidates takes it.
    void setCatalog(std::shared_ptr<const SchemaCatalog> catalog, bool foldsToLower);
    /// Opens the list at the caret, with every name that fits there (Ctrl+Space).
    void complete();
    void hide();
    bool isVisible() const;
    /// The list, for tests and assistive technology.
    QListView *list() const { return mList; }

    /// Characters read before and after the caret at most.
    static constexpr qsizetype ContextChars = 32768;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    void textEdited();
    void refresh(bool requested);
    void accept();
    void place();

    QPlainTextEdit *mEditor;
    QListView *mList;
    CandidateModel *mModel;
    std::shared_ptr<const SchemaCatalog> mCatalog;
    bool mFoldsToLower = false;
    bool mComposing = false; // an input method shows a preedit text
    bool mTyped = false;     // the next edit comes from a typed key
    bool mRefreshQueued = false;
    qsizetype mStart = 0; // the document position of the name's start
};

} // namespace Editor
