#pragma once

#include "app/editorbox.h"
#include "convert/frmvb.h"
#include "exec/resultmodel.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

/// The main window's controls as a test reaches them: by their objectNames,
/// the way a user finds them by place and caption, never through the window's
/// own members. A control that is not found, or found twice, stops the test
/// program with its name, so that a renamed control never passes unnoticed.
namespace TestWindow {

namespace Detail {

/// The window that `object` is part of: the first window among its ancestors,
/// menus aside (a menu is a window of its own, but belongs to the window whose
/// menu bar holds it).
inline const QWidget *owningWindow(const QObject *object)
{
    for (const QObject *parent = object->parent(); parent; parent = parent->parent()) {
        const auto *widget = qobject_cast<const QWidget *>(parent);
        if (widget && widget->isWindow() && !qobject_cast<const QMenu *>(widget))
            return widget;
    }
    return nullptr;
}

/// The one object of type T named `name` in `window` itself; the windows it
/// owns (the code window, dialogs) are not searched.
template<typename T>
T *find(const QWidget &window, const QString &name)
{
    QList<T *> found;
    for (T *object : window.findChildren<T *>(name)) {
        if (owningWindow(object) == &window)
            found << object;
    }
    if (found.size() != 1)
        qFatal("TestWindow: %d controls named \"%s\" of type %s in window \"%s\", not one",
               int(found.size()), qPrintable(name), T::staticMetaObject.className(),
               qPrintable(window.objectName()));
    return found.first();
}

} // namespace Detail

/// The SQL editor.
inline EditorBox *editor(const QWidget &window)
{
    return Detail::find<EditorBox>(window, QStringLiteral("txtWindow"));
}

/// The list of a query's rows.
inline QTableView *resultList(const QWidget &window)
{
    return Detail::find<QTableView>(window, QStringLiteral("lvwWindow"));
}

/// The rows and columns the result list shows.
inline SQLEdit::ResultModel *resultModel(const QWidget &window)
{
    auto *model = qobject_cast<SQLEdit::ResultModel *>(resultList(window)->model());
    if (!model)
        qFatal("TestWindow: the result list of \"%s\" shows no result model",
               qPrintable(window.objectName()));
    return model;
}

inline QStatusBar *statusBar(const QWidget &window)
{
    return Detail::find<QStatusBar>(window, QStringLiteral("staMsg"));
}

/// The hint under the result list while a statement runs.
inline QLabel *hint(const QWidget &window)
{
    return Detail::find<QLabel>(window, QStringLiteral("Label1"));
}

inline QToolBar *toolbar(const QWidget &window)
{
    return Detail::find<QToolBar>(window, QStringLiteral("Toolbar"));
}

/// The strip between editor and result list that the mouse drags.
inline QWidget *splitterGrip(const QWidget &window)
{
    return Detail::find<QWidget>(window, QStringLiteral("imgSplitter"));
}

/// The bar that follows the mouse while the grip is dragged.
inline QWidget *splitterBar(const QWidget &window)
{
    return Detail::find<QWidget>(window, QStringLiteral("picSplitter"));
}

/// A menu of the menu bar by its name, such as "mnu_file".
inline QMenu *menu(const QWidget &window, const char *name)
{
    return Detail::find<QMenu>(window, QString::fromLatin1(name));
}

/// Item `index` (from 0, separators included) of a menu's items, named as
/// "mnu_f(3)" for items "mnu_f" and index 3.
inline QAction *menuItem(const QWidget &window, const char *items, int index)
{
    return Detail::find<QAction>(window,
                                 QStringLiteral("%1(%2)").arg(QLatin1String(items)).arg(index));
}

/// Every item named after `items`, from index 0 up to the first index that
/// names none.
inline QList<QAction *> menuItems(const QWidget &window, const char *items)
{
    QList<QAction *> list;
    const QString prefix = QLatin1String(items) + QLatin1Char('(');
    while (true) {
        const QString name = prefix + QString::number(list.size()) + QLatin1Char(')');
        bool named = false;
        for (QAction *action : window.findChildren<QAction *>(name))
            named = named || Detail::owningWindow(action) == &window;
        if (!named)
            return list;
        list << Detail::find<QAction>(window, name);
    }
}

/// Opens the menu that holds the item, as a user does, which refreshes its
/// items' states, and chooses the item. False, with nothing chosen, when the
/// item is disabled then.
inline bool chooseMenuItem(const QWidget &window, const char *items, int index)
{
    QAction *item = menuItem(window, items, index);
    auto *menu = qobject_cast<QMenu *>(item->parent());
    if (!menu)
        qFatal("TestWindow: menu item %s(%d) is in no menu", items, index);
    emit menu->aboutToShow();
    if (!item->isEnabled())
        return false;
    item->trigger();
    return true;
}

/// Toolbar button by its position from 1, separators included.
inline QAction *toolbarButton(const QWidget &window, int index)
{
    const QList<QAction *> buttons = toolbar(window)->actions();
    if (index < 1 || index > buttons.size())
        qFatal("TestWindow: the toolbar of \"%s\" has no button %d",
               qPrintable(window.objectName()), index);
    return buttons.at(index - 1);
}

/// The code window, created hidden with the main window.
inline frmVb *codeWindow(const QWidget &window)
{
    return Detail::find<frmVb>(window, QStringLiteral("frmVb"));
}

/// Shows a window and makes it the active one, offscreen as under a window system.
inline bool activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

} // namespace TestWindow
