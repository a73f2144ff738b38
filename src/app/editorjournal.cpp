#include "app/editorjournal.h"

#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/maincontrols.h"
#include "common/appdir.h"
#include "common/dialogs.h"
#include "journal/journalslot.h"
#include "journal/journalwriter.h"
#include "oracle/db.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

namespace {

const QString JournalTitle = QStringLiteral("編集内容の保護");
const QString RestoringText = QStringLiteral("前回の編集内容を復元しています…");
// A journal larger than this is read on another thread, after the window is up.
constexpr qint64 LargeJournalBytes = 4 << 20;
// How long after the window shows that the reading starts: its first paints go first.
constexpr int LargeJournalDelayMilliseconds = 300;
// Characters put back in one step of the window's event loop (about 25 ms).
constexpr qsizetype RestoreStepCharacters = 256 * 1024;
// Pending statements listed after a restore; the rest are counted.
constexpr int ListedStatements = 20;
constexpr int ListedCharacters = 300;

// The document's text as the journal keeps it: lines end in '\n', every other
// character as the editor holds it.
QString documentText(const QTextDocument *document)
{
    return document->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// Whether the file is no longer as it was when the editor's text was read from
// it or saved to it.
bool changedOnDisk(const Journal::Snapshot &snapshot)
{
    if (snapshot.sourcePath.isEmpty())
        return false;
    const QFileInfo file(snapshot.sourcePath);
    return !file.exists() || file.size() != snapshot.sourceSize
           || file.lastModified().toMSecsSinceEpoch() != snapshot.sourceModified;
}

QString pendingWorkMessage(const Journal::Snapshot &snapshot)
{
    QString text
        = QStringLiteral("前回 Korvane が終了したとき、%1 @ %2 の接続にはコミットしていない"
                         "変更がありました。\n接続が切れたため、サーバーはその変更を"
                         "ロールバックしています。")
              .arg(snapshot.user, snapshot.server);
    if (snapshot.pendingStatements.isEmpty())
        return text;
    text += QStringLiteral("\n\nその変更を行った文:");
    const QStringList &statements = snapshot.pendingStatements;
    for (qsizetype i = 0; i < statements.size() && i < ListedStatements; ++i) {
        QString statement = statements[i].simplified();
        if (statement.size() > ListedCharacters)
            statement = statement.left(ListedCharacters) + QStringLiteral(" …");
        text += QStringLiteral("\n%1. %2").arg(i + 1).arg(statement);
    }
    if (statements.size() > ListedStatements)
        text += QStringLiteral("\nほか %1 文").arg(statements.size() - ListedStatements);
    return text;
}

} // namespace

EditorJournal::EditorJournal(MainControls &controls)
    : ui(controls)
{}

EditorJournal::~EditorJournal()
{
    if (mReader.joinable())
        mReader.join();
    if (mWriter)
        mWriter->stop();
    mWriter.reset();
    if (mSlot)
        mSlot->removeJournal();
}

QString EditorJournal::path() const
{
    return mWriter ? mWriter->path() : QString();
}

void EditorJournal::start()
{
    // A folder of their own keeps the journals and their locks together.
    const QString folder = Common::DataSubfolder(QStringLiteral("journal"));
    if (folder.isEmpty())
        return; // no data folder: said when the program starts
    mSlot = std::make_unique<Journal::Slot>(folder);
    if (!mSlot->isOpen()) {
        turnOff(mSlot->problem());
        return;
    }
    mWriter = std::make_unique<Journal::Writer>(mSlot->journalPath());
    connect(mWriter.get(), &Journal::Writer::failed, this, &EditorJournal::turnOff);

    const QString orphan = mSlot->takeOrphan();
    if (orphan.isEmpty()) {
        beginJournalling();
    } else if (QFileInfo(orphan).size() <= LargeJournalBytes) {
        orphanRead(Journal::ReadFile(orphan), orphan);
    } else {
        // A large journal is read and put back once the window is on the
        // screen, so that reading it takes nothing from the start; the editor
        // waits for it, read-only.
        ui.txtWindow->setReadOnly(true);
        ui.staMsg->showMessage(RestoringText);
        mLargeOrphan = orphan;
        ui.window->installEventFilter(this);
    }
}

bool EditorJournal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.window && event->type() == QEvent::Show && !mLargeOrphan.isEmpty()) {
        ui.window->removeEventFilter(this);
        QTimer::singleShot(LargeJournalDelayMilliseconds, this, [this] {
            mReader = std::thread([this, orphan = mLargeOrphan] {
                Journal::ReadResult read = Journal::ReadFile(orphan);
                QMetaObject::invokeMethod(
                    this, [this, read = std::move(read), orphan] { orphanRead(read, orphan); },
                    Qt::QueuedConnection);
            });
        });
    }
    return QObject::eventFilter(watched, event);
}

// This copy's journal follows the editor from here on.
void EditorJournal::beginJournalling()
{
    if (!mWriter)
        return; // the journal failed meanwhile
    QTextDocument *document = ui.txtWindow->document();
    connect(document, &QTextDocument::contentsChange, this, &EditorJournal::contentsChanged);
    connect(ui.txtWindow, &QPlainTextEdit::cursorPositionChanged, this,
            &EditorJournal::sendDetails);
    connect(ui.txtWindow, &QPlainTextEdit::selectionChanged, this, &EditorJournal::sendDetails);
    mLength = document->characterCount() - 1;
    if (mLength > 0)
        mWriter->setText(documentText(document));
    sendDetails();
}

void EditorJournal::orphanRead(const Journal::ReadResult &read, const QString &path)
{
    if (mReader.joinable())
        mReader.join();
    ui.txtWindow->setReadOnly(false);
    if (ui.staMsg->currentMessage() == RestoringText)
        ui.staMsg->clearMessage();
    switch (read.problem) {
    case Journal::ReadProblem::None:
        if (read.snapshot->text.isEmpty() && !read.snapshot->workPending) {
            mSlot->discardOrphan(); // nothing was typed and nothing was lost
            beginJournalling();
        } else {
            restoreStep(*read.snapshot, 0);
        }
        return;
    case Journal::ReadProblem::Damaged: {
        const QString kept = mSlot->setOrphanAside();
        Common::Dialogs::instance().message(
            ui.window,
            QStringLiteral("前回の編集内容のジャーナルが壊れていたため、復元できませんでした。\n"
                           "ファイルは %1 に残してあります。")
                .arg(QDir::toNativeSeparators(kept)),
            JournalTitle, Common::Dialogs::Icon::Warning);
        break;
    }
    case Journal::ReadProblem::Newer:
        mSlot->leaveOrphan();
        Common::Dialogs::instance().message(
            ui.window,
            QStringLiteral("前回の編集内容のジャーナルは新しい版の Korvane のものです。"
                           "この版では復元できません。\n%1")
                .arg(QDir::toNativeSeparators(path)),
            JournalTitle, Common::Dialogs::Icon::Warning);
        break;
    case Journal::ReadProblem::Missing:
        mSlot->discardOrphan();
        break;
    }
    beginJournalling();
}

// Puts the text back a part at a time, so that a large text never holds the
// window for long; a small one goes in one step.
void EditorJournal::restoreStep(const Journal::Snapshot &snapshot, qsizetype done)
{
    if (done == 0 && snapshot.text.size() <= RestoreStepCharacters) {
        ui.txtWindow->setPlainText(snapshot.text);
        restored(snapshot);
        return;
    }
    if (done == 0) {
        ui.txtWindow->clear();
        ui.txtWindow->setReadOnly(true);
    }
    QTextCursor end(ui.txtWindow->document());
    end.movePosition(QTextCursor::End);
    end.insertText(snapshot.text.mid(done, RestoreStepCharacters));
    done += RestoreStepCharacters;
    if (done < snapshot.text.size()) {
        ui.staMsg->showMessage(RestoringText
                               + QStringLiteral(" %1%").arg(done * 100 / snapshot.text.size()));
        QTimer::singleShot(0, this, [this, snapshot, done] { restoreStep(snapshot, done); });
        return;
    }
    ui.txtWindow->setReadOnly(false);
    restored(snapshot);
}

void EditorJournal::restored(const Journal::Snapshot &snapshot)
{
    const int end = ui.txtWindow->document()->characterCount() - 1;
    QTextCursor cursor = ui.txtWindow->textCursor();
    cursor.setPosition(qBound(0, snapshot.anchor, end));
    cursor.setPosition(qBound(0, snapshot.caret, end), QTextCursor::KeepAnchor);
    ui.txtWindow->setTextCursor(cursor);

    // The file and its state come along; the work does not: the server undid it.
    mDetails.sourcePath = snapshot.sourcePath;
    mDetails.sourceEncoding = snapshot.sourceEncoding;
    mDetails.sourceSize = snapshot.sourceSize;
    mDetails.sourceModified = snapshot.sourceModified;
    mDetails.sourceChanged = snapshot.sourceChanged;

    // The text is safe in this copy's journal before the old one goes.
    beginJournalling();
    if (mWriter && mWriter->flush())
        mSlot->discardOrphan();
    else
        mSlot->leaveOrphan();

    QString status = QStringLiteral("前回終了しなかったときの編集内容を復元しました。");
    if (changedOnDisk(snapshot))
        status += QStringLiteral("  ファイル %1 はその後変更されています。")
                      .arg(QDir::toNativeSeparators(snapshot.sourcePath));
    ui.staMsg->showMessage(status);
    if (snapshot.workPending) {
        // Said once the window is on the screen, over it.
        const QString text = pendingWorkMessage(snapshot);
        QTimer::singleShot(0, this, [this, text] {
            Common::Dialogs::instance().message(ui.window, text, JournalTitle,
                                                Common::Dialogs::Icon::Information);
        });
    }
}

void EditorJournal::contentsChanged(int position, int removed, int added)
{
    if (!mWriter)
        return;
    const QTextDocument *document = ui.txtWindow->document();
    const int length = document->characterCount() - 1;
    mLength += added - removed;
    if (mLength != length) {
        // The counts the document reported do not add up (it counts its last
        // line end in some changes): the journal takes the whole text instead.
        mLength = length;
        mWriter->setText(documentText(document));
    } else {
        QTextCursor cursor(ui.txtWindow->document());
        cursor.setPosition(qBound(0, position, length));
        cursor.setPosition(qBound(0, position + added, length), QTextCursor::KeepAnchor);
        mWriter->replace(position, removed,
                         cursor.selectedText().replace(QChar::ParagraphSeparator, '\n'));
    }
    if (!mDetails.sourcePath.isEmpty())
        mDetails.sourceChanged = true;
    sendDetails();
}

void EditorJournal::setSource(const QString &path, const QString &encoding)
{
    const QFileInfo file(path);
    mDetails.sourcePath = file.absoluteFilePath();
    mDetails.sourceEncoding = encoding;
    mDetails.sourceSize = file.size();
    mDetails.sourceModified = file.lastModified().toMSecsSinceEpoch();
    mDetails.sourceChanged = false;
    sendDetails();
}

void EditorJournal::statementStarting()
{
    mWorkBefore = DB::UncommittedChanges();
}

void EditorJournal::statementEnded(const QString &text, bool query)
{
    // A statement that left work pending where there was none begins the list;
    // a query in a transaction already pending changed nothing that it knows.
    if (DB::UncommittedChanges()) {
        if (!mWorkBefore)
            mDetails.pendingStatements.clear();
        if (!mWorkBefore || !query)
            mDetails.pendingStatements.append(text);
    }
    sendDetails();
}

void EditorJournal::connectionStateChanged()
{
    sendDetails();
}

void EditorJournal::sendDetails()
{
    if (!mWriter)
        return;
    const QTextCursor cursor = ui.txtWindow->textCursor();
    mDetails.caret = cursor.position();
    mDetails.anchor = cursor.anchor();
    mDetails.workPending = DB::UncommittedChanges();
    if (mDetails.workPending) {
        mDetails.server = DB::CurrentServerName();
        mDetails.user = DB::CurrentUserId();
    } else {
        mDetails.pendingStatements.clear();
    }
    mWriter->setDetails(mDetails);
}

bool EditorJournal::flush()
{
    if (!mWriter)
        return false;
    sendDetails();
    return mWriter->flush();
}

void EditorJournal::turnOff(const QString &problem)
{
    if (mWriter) {
        mWriter->stop();
        mWriter.reset(); // its file, if any, stays: the last state it holds is whole
    }
    disconnect(ui.txtWindow->document(), nullptr, this, nullptr);
    disconnect(ui.txtWindow, nullptr, this, nullptr);
    Common::Dialogs::instance().message(
        ui.window,
        QStringLiteral("編集内容のジャーナルは、この実行中は記録されません。\n%1").arg(problem),
        JournalTitle, Common::Dialogs::Icon::Warning);
}
