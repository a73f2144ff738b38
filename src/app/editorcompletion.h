#pragma once

#include "editor/schemacatalog.h"
#include "editor/schemaloader.h"

#include <QHash>
#include <QObject>

#include <memory>

struct MainControls;
class QAction;

namespace DB {
struct ConnectionEvent;
}
namespace Editor {
class CompletionPopup;
}

/// Completion of names in the main window's editor. The names of each server
/// (and user) are read once, at the first connect, on a connection of their
/// own, and kept in memory for the run: connecting again to the same server
/// uses them at once. They are read again after DDL that the program ran has
/// been committed (or ran outside a transaction), and on demand from the 表示
/// menu. A load that fails keeps the names read before.
class EditorCompletion : public QObject
{
    Q_OBJECT

public:
    explicit EditorCompletion(MainControls &ui);
    ~EditorCompletion() override;

    Editor::CompletionPopup &popup() { return *mPopup; }
    /// The names in use now; null before the first load of the server.
    std::shared_ptr<const Editor::SchemaCatalog> catalog() const;

private:
    void connectionEvent(const DB::ConnectionEvent &event);
    void connected(const QString &userId, const QString &password, const QString &serverName);
    void load(bool onDemand);
    void loaded(const std::shared_ptr<const Editor::SchemaCatalog> &catalog);
    void failed(const QString &message);
    void refreshRequested();

    MainControls &ui;
    Editor::CompletionPopup *mPopup;
    Editor::SchemaLoader mLoader;
    QAction *mnuRefreshNames = nullptr;
    QAction *mnuComplete = nullptr;
    QHash<QString, std::shared_ptr<const Editor::SchemaCatalog>> mCache; // by server and user
    QString mKey; // of the connection in use; empty without one
    QString mDriver, mServerName, mUserId, mPassword;
    bool mOnDemand = false;   // the load that runs was asked for: its end is said
    bool mDdlPending = false; // DDL ran in the open transaction
};
