#include "app/editoraids.h"

#include "app/editorbox.h"
#include "app/maincontrols.h"
#include "editor/findbar.h"
#include "settings/privateprofile.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>

namespace SQLEdit {

namespace {

const QString Section = QStringLiteral("EDITOR");
const QString LineNumbersKey = QStringLiteral("LINENUMBERS");

QAction *AddItem(QMenu *menu, const char *name, const QString &caption, const char *keys)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (keys)
        action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
    return action;
}

void AddFindItems(MainControls &ui)
{
    EditorBox *editor = ui.txtWindow;
    Editor::FindBar *bar = editor->findBar();
    ui.mnu_edit->addSeparator();
    QObject::connect(AddItem(ui.mnu_edit, "mnuFind", QStringLiteral("検索..."), "Ctrl+F"),
                     &QAction::triggered, bar, [bar] { bar->open(false); });
    QObject::connect(AddItem(ui.mnu_edit, "mnuReplace", QStringLiteral("置換..."), "Ctrl+H"),
                     &QAction::triggered, bar, [bar] { bar->open(true); });
    // With no pattern yet, the keys open the bar to ask for one.
    auto findOr = [bar](bool forward) {
        if (bar->patternBox()->text().isEmpty())
            bar->open(false);
        else if (forward)
            bar->findNext();
        else
            bar->findPrevious();
    };
    QObject::connect(AddItem(ui.mnu_edit, "mnuFindNext", QStringLiteral("次を検索"), "F3"),
                     &QAction::triggered, bar, [findOr] { findOr(true); });
    QObject::connect(
        AddItem(ui.mnu_edit, "mnuFindPrevious", QStringLiteral("前を検索"), "Shift+F3"),
        &QAction::triggered, bar, [findOr] { findOr(false); });
}

void AddLineNumbersItem(MainControls &ui)
{
    ui.mnu_view->addSeparator();
    QAction *item = AddItem(ui.mnu_view, "mnuLineNumbers", QStringLiteral("行番号"), nullptr);
    item->setCheckable(true);
    const bool wanted = LineNumbersWanted();
    item->setChecked(wanted);
    ui.txtWindow->setLineNumbersVisible(wanted);
    EditorBox *editor = ui.txtWindow;
    QObject::connect(item, &QAction::toggled, editor, [editor](bool checked) {
        editor->setLineNumbersVisible(checked);
        KeepLineNumbersWanted(checked);
    });
}

void AddHighlightNote(MainControls &ui)
{
    auto *note = new QLabel(QStringLiteral("色分けなし"), ui.staMsg);
    note->setObjectName(QStringLiteral("lblHighlight"));
    note->setAccessibleName(QStringLiteral("構文の色分け"));
    note->setToolTip(QStringLiteral("テキストが %1 文字を超えているため、構文の色分けを"
                                    "止めています。短くなると元に戻ります。")
                         .arg(QLocale().toString(Editor::SqlEditor::HighlightLimit)));
    note->setContentsMargins(6, 0, 6, 0);
    note->hide();
    ui.staMsg->addPermanentWidget(note);
    QObject::connect(ui.txtWindow, &Editor::SqlEditor::highlightingLimitedChanged, note,
                     &QLabel::setVisible);
}

} // namespace

bool LineNumbersWanted()
{
    const QString path = FileIO::SettingsFilePath();
    return path.isEmpty() || PrivateProfile::readInt(path, Section, LineNumbersKey, 1) != 0;
}

void KeepLineNumbersWanted(bool wanted)
{
    const QString path = FileIO::SettingsFilePath();
    if (!path.isEmpty())
        PrivateProfile::writeString(path, Section, LineNumbersKey,
                                    wanted ? QStringLiteral("1") : QStringLiteral("0"));
}

void InstallEditorAids(MainControls &ui)
{
    AddFindItems(ui);
    AddLineNumbersItem(ui);
    AddHighlightNote(ui);
}

} // namespace SQLEdit
