#include "connections/initialconnection.h"

#include "common/dialogs.h"
#include "common/errors.h"
#include "connections/connectionlist.h"
#include "connections/connectionstate.h"
#include "connections/pendingwork.h"
#include "files/textfiles.h"
#include "oracle/db.h"

#include <QWidget>

namespace SQLEdit {

bool OpenInitialConnection(QWidget &window)
{
    const QStringList lines = FileIO::ReadTextLines(Connections::ConnectionListPath());
    const std::optional<Connections::Entry> entry = Connections::FindInitialRecord(lines);
    if (!entry)
        return false;

    {
        const Connections::LiveWait wait;
        DB::ConnectDatabase(entry->userId, entry->password, entry->serverName);
    }
    if (!Common::LastError::isSet()) {
        window.setWindowTitle(
            Connections::ConnectedCaption(BaseCaption, entry->userId, entry->serverName));
        DB::SetCurrentUserId(entry->userId);
        DB::SetCurrentPassword(entry->password);
        DB::SetCurrentServerName(entry->serverName);
        DB::SetCurrentIsInitial(1);
        HasConnected = true;
        return false;
    }
    Common::Dialogs::instance().message(
        &window,
        Connections::ConnectFailureText(QStringLiteral("Oracleへの初期接続に失敗しました。"),
                                        Common::LastError::get().description, entry->password),
        QStringLiteral("初期接続失敗"), Common::Dialogs::Icon::Critical);
    window.setWindowTitle(BaseCaption);
    DB::SetCurrentUserId(QString());
    DB::SetCurrentPassword(QString());
    DB::SetCurrentServerName(QString());
    DB::SetCurrentIsInitial(0);
    return false;
}

} // namespace SQLEdit
