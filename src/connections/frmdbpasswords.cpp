// The connection dialog's saved passwords: the keyring box, passwords read back
// for saved connections, and what OK may keep in DB.ini.

#include "common/dialogs.h"
#include "common/placeform.h"
#include "connections/connectionlist.h"
#include "connections/frmdb.h"
#include "connections/passwordstore.h"
#include "oracle/db.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

using Common::Dialogs;
using Connections::PasswordStore;

namespace {

const QString ListTitle = QStringLiteral("接続ﾘｽﾄ");

bool sameConnection(const Connections::Entry &entry,
                    const QString &userId,
                    const QString &serverName)
{
    return entry.userId.compare(userId, Qt::CaseInsensitive) == 0
           && entry.serverName.compare(serverName, Qt::CaseInsensitive) == 0;
}

} // namespace

void frmDB::createKeyringBox()
{
    chkInput[2] = new QCheckBox(QStringLiteral("パスワードをキーリングに保存"), this);
    chkInput[2]->setObjectName(QStringLiteral("chkInput(2)"));
    Common::PlaceControl(chkInput[2], 1170, 3960, 3180, 285);
    const bool available = PasswordStore::instance().isAvailable();
    chkInput[2]->setEnabled(available);
    chkInput[2]->setChecked(available);
    if (!available)
        chkInput[2]->setToolTip(
            QStringLiteral("キーリング(Secret Service)が見つからないため使えません。"
                           "パスワードは接続ﾘｽﾄのファイルに保存されます。"));
}

QString frmDB::currentKeyringRecord() const
{
    return Connections::RecordText(DB::CurrentUserId(), DB::CurrentServerName(), QString(),
                                   DB::CurrentIsInitial());
}

// A saved connection whose record holds no password has it in the keyring; when
// the keyring cannot give it, the password box says why and waits for it.
void frmDB::fillSavedPassword(const QString &userId, const QString &serverName)
{
    QLineEdit *box = txtInput[1];
    box->setPlaceholderText(QString());
    box->setToolTip(QString());
    if (!box->text().isEmpty() || userId.isEmpty())
        return;
    const PasswordStore::Result result = Connections::ReadSavedPassword(userId, serverName);
    if (result.ok()) {
        box->setText(result.password);
        return;
    }
    const QString why = Connections::PasswordStoreFailureText(result)
                        + QStringLiteral("パスワードを入力してください。");
    box->setPlaceholderText(why);
    box->setToolTip(why);
    box->setFocus();
}

// What OK keeps of the connection in DB.ini. Nothing is ever cut to fit: a user
// ID or password longer than its field is connected but not listed, and said so;
// a password in the keyring leaves the file's field blank.
frmDB::ListEntryPlan frmDB::planListEntry(const QString &userId,
                                          const QString &serverName,
                                          const QString &password,
                                          bool connected)
{
    ListEntryPlan plan;
    const bool wanted = chkInput[0]->isChecked();
    bool listed = false;
    for (const QString &record : entryRecords())
        listed = listed || sameConnection(Connections::ParseRecord(record), userId, serverName);

    if (userId.size() > Connections::UserIdLength) {
        if (wanted)
            Dialogs::instance().message(
                this,
                QStringLiteral("ユーザーIDが%1文字を超えるため、接続ﾘｽﾄには登録しませんでした。")
                    .arg(Connections::UserIdLength),
                ListTitle, Dialogs::Icon::Information);
        return plan;
    }

    if (chkInput[2]->isEnabled() && chkInput[2]->isChecked()) {
        // Only a password that connected is worth keeping.
        plan.identity = Connections::IdentityText(userId, serverName, QString());
        if (!connected || !(wanted || listed))
            return plan;
        const PasswordStore::Result stored = PasswordStore::instance().store(
            Connections::PasswordKey(userId, serverName), password);
        if (stored.ok()) {
            plan.addToList = wanted;
            plan.movedToKeyring = true;
            mDeletedKeys.removeAll(Connections::PasswordKey(userId, serverName));
            return plan;
        }
        plan.identity.clear();
        Dialogs::instance().message(this,
                                    QStringLiteral("パスワードをキーリングに保存できませんでした。"
                                                   "接続ﾘｽﾄには登録しませんでした。\n%1")
                                        .arg(Connections::PasswordStoreFailureText(stored)),
                                    ListTitle, Dialogs::Icon::Warning);
        return plan;
    }

    if (password.size() > Connections::PasswordLength) {
        if (wanted)
            Dialogs::instance().message(
                this,
                QStringLiteral("パスワードが%1文字を超えるため、接続ﾘｽﾄには登録しませんでした。"
                               "%1文字を超えるパスワードはキーリングにのみ保存できます。")
                    .arg(Connections::PasswordLength),
                ListTitle, Dialogs::Icon::Information);
        return plan;
    }
    plan.identity = Connections::IdentityText(userId, serverName, password);
    plan.addToList = wanted;
    return plan;
}

// The keyring entries of deleted connections go once the list is saved without
// them, unless a record of the same connection is still written.
void frmDB::forgetDeletedPasswords(const QStringList &written)
{
    const QStringList keys = mDeletedKeys;
    mDeletedKeys.clear();
    PasswordStore &store = PasswordStore::instance();
    if (keys.isEmpty() || !store.isAvailable())
        return;
    QStringList kept;
    for (const QString &record : written) {
        const Connections::Entry entry = Connections::ParseRecord(record);
        kept << Connections::PasswordKey(entry.userId, entry.serverName).toCaseFolded();
    }
    for (const QString &key : keys) {
        if (kept.contains(key.toCaseFolded()))
            continue;
        const PasswordStore::Result removed = store.remove(key);
        if (!removed.ok())
            Dialogs::instance().message(
                this,
                QStringLiteral("キーリングからパスワードを削除できませんでした。\n%1")
                    .arg(Connections::PasswordStoreFailureText(removed)),
                ListTitle, Dialogs::Icon::Warning);
    }
}
