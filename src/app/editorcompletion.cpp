#include "app/editorcompletion.h"

#include "app/editorbox.h"
#include "app/maincontrols.h"
#include "editor/completioncontext.h"
#include "editor/completionpopup.h"
#include "engine/servers.h"
#include "oracle/db.h"

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>

EditorCompletion::EditorCompletion(MainControls &controls)
    : ui(controls)
    , mPopup(new Editor::CompletionPopup(ui.txtWindow))
{
    ui.mnu_edit->addSeparator();
    mnuComplete = ui.mnu_edit->addAction(QStringLiteral("入力補完(&M)"));
    mnuComplete->setObjectName(QStringLiteral("mnuComplete"));
    mnuComplete->setShortcut(QKeySequence(QStringLiteral("Ctrl+Space")));
    connect(mnuComplete, &QAction::triggered, this, [this] {
        if (ui.txtWindow->hasFocus())
            mPopup->complete();
    });
    ui.mnu_view->addSeparator();
    mnuRefreshNames = ui.mnu_view->addAction(QStringLiteral("補完候補を更新(&N)"));
    mnuRefreshNames->setObjectName(QStringLiteral("mnuRefreshNames"));
    mnuRefreshNames->setEnabled(false);
    connect(mnuRefreshNames, &QAction::triggered, this, &EditorCompletion::refreshRequested);

    connect(&mLoader, &Editor::SchemaLoader::loaded, this, &EditorCompletion::loaded);
    connect(&mLoader, &Editor::SchemaLoader::failed, this, &EditorCompletion::failed);
    DB::SetEventListener([this](const DB::ConnectionEvent &event) { connectionEvent(event); });
}

EditorCompletion::~EditorCompletion()
{
    DB::SetEventListener(nullptr);
}

std::shared_ptr<const Editor::SchemaCatalog> EditorCompletion::catalog() const
{
    return mCache.value(mKey);
}

void EditorCompletion::connectionEvent(const DB::ConnectionEvent &event)
{
    switch (event.kind) {
    case DB::ConnectionEvent::Connected:
        connected(event.userId, event.password, event.serverName);
        break;
    case DB::ConnectionEvent::Disconnected:
        mLoader.stop();
        mKey.clear();
        mPopup->setCatalog(nullptr, false);
        mnuRefreshNames->setEnabled(false);
        break;
    case DB::ConnectionEvent::StatementRan:
        mDdlPending = mDdlPending || Editor::ChangesSchema(event.sql);
        break;
    case DB::ConnectionEvent::StateChanged:
        // Other connections see new names only once they are committed.
        if (mDdlPending && !mKey.isEmpty() && !DB::InTransaction() && !DB::ConnectionLost()) {
            mDdlPending = false;
            load(false);
        }
        break;
    }
}

void EditorCompletion::connected(const QString &userId,
                                 const QString &password,
                                 const QString &serverName)
{
    mLoader.stop();
    mDdlPending = false;
    const std::optional<Engine::ServerEntry> server = Engine::FindServer(serverName);
    mKey = server ? server->name.toUpper() + u'\n' + userId : QString();
    mDriver = server ? server->driver.toUpper() : QString();
    mServerName = serverName;
    mUserId = userId;
    mPassword = password;
    mnuRefreshNames->setEnabled(server.has_value());
    mPopup->setCatalog(catalog(), mDriver == QLatin1String("QPSQL"));
    if (server && !catalog())
        load(false);
}

void EditorCompletion::load(bool onDemand)
{
    const std::optional<Engine::ServerEntry> server = Engine::FindServer(mServerName);
    if (!server)
        return;
    mOnDemand = onDemand;
    if (onDemand)
        ui.staMsg->showMessage(QStringLiteral("補完候補の名前を読み込んでいます..."));
    mLoader.start(*server, mUserId, mPassword);
}

void EditorCompletion::loaded(const std::shared_ptr<const Editor::SchemaCatalog> &names)
{
    mCache.insert(mKey, names);
    mPopup->setCatalog(names, mDriver == QLatin1String("QPSQL"));
    if (mOnDemand) {
        const QLocale locale(QLocale::English);
        ui.staMsg->showMessage(
            QStringLiteral("補完候補の名前を読み込みました（表とビュー %1、列 %2）。")
                .arg(locale.toString(qlonglong(names->relations().size())),
                     locale.toString(qlonglong(names->columnCount()))));
    }
}

void EditorCompletion::failed(const QString &message)
{
    // The names read before stay in use. A load of its own accord fails
    // quietly; the user's own request is answered.
    if (mOnDemand)
        ui.staMsg->showMessage(
            QStringLiteral("補完候補の名前を読み込めませんでした。\n%1").arg(message));
}

void EditorCompletion::refreshRequested()
{
    if (!mKey.isEmpty())
        load(true);
}
