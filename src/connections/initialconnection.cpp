#include "connections/initialconnection.h"

#include "common/dialogs.h"
#include "common/errors.h"
#include "connections/connectionlist.h"
#include "connections/connectionstate.h"
#include "connections/passwordstore.h"
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

    // A record without a password has it in the keyring.
    QString password = entry->password;
    if (password.isEmpty()) {
        const Connections::PasswordStore::Result saved
            = Connections::ReadSavedPassword(entry->userId, entry->serverName);
        if (!saved.ok()) {
            Common::Dialogs::instance().message(
                &window,
                QStringLiteral("初期接続のパスワードを取得できませんでした。\n%1\n"
                               "接続ダイアログでパスワードを入力してください。")
                    .arg(Connections::PasswordStoreFailureText(saved)),
                QStringLiteral("初期接続失敗"), Common::Dialogs::Icon::Warning);
            return false;
        }
        password = saved.password;
    }
    {
        const Connections::LiveWait wait;
        DB::ConnectDatabase(entry->userId, password, entry->serverName);
    }
    if (!Common::LastError::isSet()) {
        window.setWindowTitle(
            Connections::ConnectedCaption(BaseCaption, entry->userId, entry->serverName));
        DB::SetCurrentUserId(entry->userId);
        DB::SetCurrentPassword(password);
        DB::SetCurrentServerName(entry->serverName);
        DB::SetCurrentIsInitial(1);
        HasConnected = true;
        return false;
    }
    Common::Dialogs::instance().message(
        &window,
        Connections::ConnectFailureText(QStringLiteral("Oracleへの初期接続に失敗しました。"),
                                        Common::LastError::get().description, password),
        QStringLiteral("初期接続失敗"), Common::Dialogs::Icon::Critical);
    window.setWindowTitle(BaseCaption);
    DB::SetCurrentUserId(QString());
    DB::SetCurrentPassword(QString());
    DB::SetCurrentServerName(QString());
    DB::SetCurrentIsInitial(0);
    return false;
}

} // namespace SQLEdit
