#include "connections/frmdb.h"

#include "common/common.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/filelock.h"
#include "common/fonts.h"
#include "common/placeform.h"
#include "common/waitcursor.h"
#include "connections/connectionlist.h"
#include "connections/connectionstate.h"
#include "connections/passwordstore.h"
#include "connections/pendingwork.h"
#include "files/loadtextfile.h"
#include "files/textfiles.h"
#include "oracle/db.h"
#include "oracle/oo4o.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using Common::TwipsToPixels;

namespace {

constexpr int ClientWidth = 4410;
constexpr int ClientHeight = 4830;
constexpr int ServerNameLength = 15;
constexpr int RecordRole = Qt::UserRole; // the whole record behind a list entry

const QString Caption = QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ接続");
const QString FailedText = QStringLiteral("Oracleへの接続を失敗しました。");
const QString FailedTitle = QStringLiteral("接続失敗");

bool isFilled(const QString &text)
{
    return Common::ValidateInput(QVariant(text), Common::InputRequired);
}

} // namespace

frmDB::frmDB(QWidget *parent, QPoint placement)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , mPlacement(placement)
{
    setObjectName(QStringLiteral("frmDB"));
    setWindowTitle(Caption);
    setFixedSize(TwipsToPixels(ClientWidth), TwipsToPixels(ClientHeight));
    createControls();
    Form_Load();
}

void frmDB::createControls()
{
    const QFont gothic = Common::JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9);
    const char *labels[] = {"接続ﾘｽﾄ：", "ﾕｰｻﾞｰID：", "ﾊﾟｽﾜｰﾄﾞ：", "ｻｰﾊﾞｰ名："};
    for (int i = 0; i < 4; ++i) {
        lblCaption[i] = new QLabel(QString::fromUtf8(labels[i]), this);
        lblCaption[i]->setObjectName(QStringLiteral("lblCaption(%1)").arg(i));
    }
    Common::PlaceControl(lblCaption[0], 60, 45, 780, 240);

    const char *headers[] = {"ﾕｰｻﾞｰID", "ｻｰﾊﾞｰ名"};
    for (int i = 0; i < 2; ++i) {
        cmdHeader[i] = new QPushButton(QString::fromUtf8(headers[i]), this);
        cmdHeader[i]->setObjectName(QStringLiteral("cmdHeader(%1)").arg(i));
        connect(cmdHeader[i], &QPushButton::clicked, this, [this, i] { cmdHeader_Click(i); });
    }
    Common::PlaceControl(cmdHeader[0], 870, 30, 1695, 255);
    Common::PlaceControl(cmdHeader[1], 2580, 30, 1755, 255);

    lstDB = new QListWidget(this);
    lstDB->setObjectName(QStringLiteral("lstDB"));
    lstDB->setFont(gothic);
    lstDB->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstDB->setTextElideMode(Qt::ElideNone);
    lstDB->setSelectionMode(QAbstractItemView::SingleSelection);
    Common::PlaceControl(lstDB, 870, 285, 3480, 1680);
    lblCaption[0]->setBuddy(lstDB);
    connect(lstDB, &QListWidget::itemSelectionChanged, this, &frmDB::lstDB_SelectionChanged);
    connect(lstDB, &QListWidget::itemDoubleClicked, this, [this] { cmdButton_Click(1); });
    lstDB->viewport()->installEventFilter(this);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::VLine);
    Common::PlaceControl(Picture1, 2535, 30, 60, 1935);

    for (int i = 0; i < 3; ++i) {
        txtInput[i] = new QLineEdit(this);
        txtInput[i]->setObjectName(QStringLiteral("txtInput(%1)").arg(i));
        txtInput[i]->setFont(gothic);
        txtInput[i]->installEventFilter(this);
        lblCaption[i + 1]->setBuddy(txtInput[i]);
        Common::PlaceControl(lblCaption[i + 1], 60, 2145 + 420 * i, 1050, 300);
        Common::PlaceControl(txtInput[i], 1170, 2100 + 420 * i, 3180, 345);
    }

    // User IDs and passwords of any length connect; only the server name, which
    // SERVERS.ini names, keeps the list's width.
    txtInput[2]->setMaxLength(ServerNameLength);

    const char *checks[] = {"接続ﾘｽﾄに登録する", "初期接続に設定する"};
    for (int i = 0; i < 2; ++i) {
        chkInput[i] = new QCheckBox(QString::fromUtf8(checks[i]), this);
        chkInput[i]->setObjectName(QStringLiteral("chkInput(%1)").arg(i));
        Common::PlaceControl(chkInput[i], 1170, 3360 + 300 * i, 3180, 285);
    }
    createKeyringBox();

    const char *buttons[] = {"接続テスト", "OK", "ｷｬﾝｾﾙ", "削除"};
    const int buttonLefts[] = {60, 2190, 3255, 1125};
    for (int i = 0; i < 4; ++i) {
        cmdButton[i] = new QPushButton(QString::fromUtf8(buttons[i]), this);
        cmdButton[i]->setObjectName(QStringLiteral("cmdButton(%1)").arg(i));
        // No button answers Enter for the dialog.
        cmdButton[i]->setAutoDefault(false);
        Common::PlaceControl(cmdButton[i], buttonLefts[i], 4320, 1035, 375);
        connect(cmdButton[i], &QPushButton::clicked, this, [this, i] { cmdButton_Click(i); });
    }
    for (QPushButton *header : cmdHeader)
        header->setAutoDefault(false);

    const QList<QWidget *> order
        = {cmdHeader[0], cmdHeader[1], lstDB,       txtInput[0], txtInput[1],
           txtInput[2],  chkInput[0],  chkInput[1], chkInput[2], cmdButton[0],
           cmdButton[3], cmdButton[1], cmdButton[2]};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void frmDB::Form_Load()
{
    // Shown as stars; the password never appears anywhere in the dialog.
    txtInput[1]->setEchoMode(QLineEdit::Password);
    txtInput[1]->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    const QString path = Connections::ConnectionListPath();
    try {
        FileIO::LoadTextFile(path, lstDB);
    } catch (const Common::RuntimeError &error) {
        // A missing list is an empty one; a list that exists but cannot be read is
        // kept from being overwritten by what this dialog saves.
        mListUnreadable = error.number() != Common::ErrFileNotFound;
        lstDB->clear();
    }
    for (int row = 0; row < lstDB->count(); ++row) {
        QListWidgetItem *item = lstDB->item(row);
        item->setData(RecordRole, item->text());
        item->setText(item->text().left(Connections::VisibleLength));
    }
    mLoadedRecords = entryRecords();

    txtInput[0]->setText(DB::CurrentUserId());
    txtInput[1]->setText(DB::CurrentPassword());
    txtInput[2]->setText(DB::CurrentServerName());
    chkInput[1]->setChecked(DB::CurrentIsInitial() == 1);

    Common::PlaceForm(this, mPlacement.y(), mPlacement.x());
    mListChanged = false;
}

void frmDB::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!mActivated) {
        mActivated = true;
        Form_Activate();
    }
}

void frmDB::Form_Activate()
{
    const QString current = currentRecord();
    cmdButton[3]->setEnabled(false);
    for (int row = 0; row < lstDB->count(); ++row) {
        if (entryRecord(row) == current || entryRecord(row) == currentKeyringRecord()) {
            selectEntry(row);
            cmdButton[3]->setEnabled(true);
            break;
        }
    }
    txtInput[0]->setFocus();
}

QString frmDB::entryRecord(int row) const
{
    const QListWidgetItem *item = lstDB->item(row);
    return item ? item->data(RecordRole).toString() : QString();
}

QStringList frmDB::entryRecords() const
{
    QStringList records;
    for (int row = 0; row < lstDB->count(); ++row)
        records << entryRecord(row);
    return records;
}

QString frmDB::currentRecord() const
{
    return Connections::RecordText(DB::CurrentUserId(), DB::CurrentServerName(),
                                   DB::CurrentPassword(), DB::CurrentIsInitial());
}

void frmDB::addEntry(const QString &record)
{
    auto *item = new QListWidgetItem(record.left(Connections::VisibleLength), lstDB);
    item->setData(RecordRole, record);
}

// A selection made by the dialog itself fills the boxes.
void frmDB::selectEntry(int row)
{
    mFillFromList = true;
    lstDB->setCurrentRow(row);
    mFillFromList = false;
}

void frmDB::lstDB_SelectionChanged()
{
    const QList<QListWidgetItem *> selected = lstDB->selectedItems();
    if (!mFillFromList || selected.isEmpty())
        return;
    const Connections::Entry entry
        = Connections::ParseRecord(selected.first()->data(RecordRole).toString());
    txtInput[0]->setText(entry.userId);
    txtInput[1]->setText(entry.password);
    txtInput[2]->setText(entry.serverName);
    chkInput[1]->setChecked(entry.isInitial());
    txtInput[0]->setFocus();
    cmdButton[3]->setEnabled(true);
    fillSavedPassword(entry.userId, entry.serverName);
}

void frmDB::cmdHeader_Click(int index)
{
    if (lstDB->count() == 0)
        return;
    const QStringList sorted
        = Connections::SortRecords(entryRecords(), index == 0 ? Connections::SortKey::UserId
                                                              : Connections::SortKey::ServerName);
    const QString current = currentRecord();
    lstDB->clear();
    for (const QString &record : sorted) {
        addEntry(record);
        if (record.compare(current, Qt::CaseInsensitive) == 0
            || record.compare(currentKeyringRecord(), Qt::CaseInsensitive) == 0)
            selectEntry(lstDB->count() - 1);
    }
    if (DB::CurrentUserId().isEmpty() && DB::CurrentPassword().isEmpty()
        && DB::CurrentServerName().isEmpty()) {
        lstDB->clearSelection();
        for (QLineEdit *box : txtInput)
            box->clear();
        chkInput[1]->setChecked(false);
    }
}

void frmDB::cmdButton_Click(int index)
{
    // Nothing may leave a slot: Qt would end the program.
    try {
        runButton(index);
    } catch (const std::exception &error) {
        Common::Dialogs::instance().message(this, QString::fromLocal8Bit(error.what()),
                                            QStringLiteral("Error"),
                                            Common::Dialogs::Icon::Critical);
    }
}

void frmDB::runButton(int index)
{
    switch (index) {
    case 0:
        testConnection();
        break;
    case 1:
        confirm();
        break;
    case 2:
        reject();
        break;
    case 3:
        deleteEntry();
        break;
    default:
        break;
    }
}

bool frmDB::inputsFilled() const
{
    for (const QLineEdit *box : txtInput) {
        if (!isFilled(box->text()))
            return false;
    }
    return true;
}

void frmDB::testConnection()
{
    if (!inputsFilled())
        return;
    // A connection of the test's own: the one in use, and its work, stay as they are.
    oo4o probe;
    probe.SetUserId(txtInput[0]->text());
    probe.SetPassWord(txtInput[1]->text());
    probe.SetServerName(txtInput[2]->text());
    {
        const Connections::LiveWait wait;
        probe.oraDBOpen();
    }
    const Common::ErrorInfo error = Common::LastError::get();
    probe.oraDBClose();
    using Common::Dialogs;
    if (!error.isSet())
        Dialogs::instance().message(this, QStringLiteral("Oracleへの接続が成功しました。"),
                                    QStringLiteral("接続成功"), Dialogs::Icon::None);
    else
        Dialogs::instance().message(
            this,
            Connections::ConnectFailureText(FailedText, error.description, probe.GetPassWord()),
            FailedTitle, Dialogs::Icon::Critical);
}

void frmDB::confirm()
{
    if (!inputsFilled())
        return;
    // Connecting replaces the connection in use: its work is settled first.
    if (!Connections::SettlePendingWork(this))
        return;
    ConnectAndSaveList();
    if (!Common::LastError::isSet())
        SQLEdit::HasConnected = true;
    emit confirmed();
    accept();
}

// The main window's caption names the connection in use.
void frmDB::showCaption(const QString &caption)
{
    if (QWidget *owner = parentWidget())
        owner->setWindowTitle(caption);
}

void frmDB::ConnectAndSaveList()
{
    using Common::Dialogs;
    const QString userId = txtInput[0]->text();
    const QString password = txtInput[1]->text();
    const QString serverName = txtInput[2]->text();
    const bool makeInitial = chkInput[1]->isChecked();

    {
        const Connections::LiveWait wait;
        DB::ConnectDatabase(userId, password, serverName);
    }
    const bool connected = !Common::LastError::isSet();
    if (connected) {
        showCaption(Connections::ConnectedCaption(SQLEdit::BaseCaption, userId, serverName));
        DB::SetCurrentUserId(userId);
        DB::SetCurrentPassword(password);
        DB::SetCurrentServerName(serverName);
        DB::SetCurrentIsInitial(makeInitial ? 1 : 0);
    } else {
        const Common::ErrorInfo error = Common::LastError::get();
        Dialogs::instance().message(
            this, Connections::ConnectFailureText(FailedText, error.description, password),
            FailedTitle, Dialogs::Icon::Critical);
        // A connection that was open stays open, with its work; without one the
        // caption and the current values say that nothing is connected.
        if (DB::CurrentSession().state() != oo4o::State::Open) {
            showCaption(SQLEdit::BaseCaption);
            DB::SetCurrentUserId(QString());
            DB::SetCurrentPassword(QString());
            DB::SetCurrentServerName(QString());
            DB::SetCurrentIsInitial(0);
        }
        // The caller reads the outcome from the error state, whatever ran meanwhile.
        Common::LastError::set(error);
        if (!mListChanged)
            return;
    }

    const ListEntryPlan plan = planListEntry(userId, serverName, password, connected);
    const QString path = Connections::ConnectionListPath();
    const QString saveFailed = QStringLiteral("接続ﾘｽﾄを保存できませんでした。\n%1\n%2");
    if (mListUnreadable) {
        Dialogs::instance().message(this,
                                    saveFailed.arg(path, QStringLiteral("読み込めないファイルです。"
                                                                        "上書きしませんでした。")),
                                    Caption, Dialogs::Icon::Warning);
        return;
    }
    try {
        // Another Korvane may have saved the list since this dialog read it: read
        // it again, under its lock, and keep what it added.
        const Common::FileLock lock(path);
        if (!lock.isLocked())
            throw Common::RuntimeError(Common::ErrFileAccess, lock.errorString(),
                                       QStringLiteral("frmDB"));
        QStringList latest;
        try {
            latest = FileIO::ReadTextLines(path);
        } catch (const Common::RuntimeError &error) {
            if (error.number() != Common::ErrFileNotFound)
                throw;
        }
        QStringList records = Connections::MergeRecords(mLoadedRecords, entryRecords(), latest);
        if (plan.movedToKeyring)
            records = Connections::WithoutPassword(records, userId, serverName);
        const QString text = Connections::ListFileText(
            records, plan.identity, makeInitial && !plan.identity.isEmpty(), plan.addToList);
        // The list holds passwords: readable by its owner only.
        FileIO::WriteTextToFile(text, path, Common::FileAccess::OwnerOnly);
        forgetDeletedPasswords(text.split(QStringLiteral("\r\n")));
    } catch (const Common::RuntimeError &error) {
        Dialogs::instance().message(this, saveFailed.arg(path, error.description()), Caption,
                                    Dialogs::Icon::Warning);
    }
    // The outcome of the connection, not of the save, is what the caller reads.
    if (connected)
        Common::LastError::clear();
}

void frmDB::deleteEntry()
{
    Common::WaitCursor wait;
    const QList<QListWidgetItem *> selected = lstDB->selectedItems();
    if (!selected.isEmpty()) {
        const Connections::Entry entry
            = Connections::ParseRecord(selected.first()->data(RecordRole).toString());
        mDeletedKeys << Connections::PasswordKey(entry.userId, entry.serverName);
        delete lstDB->takeItem(lstDB->row(selected.first()));
    }
    cmdButton[3]->setEnabled(false);
    mListChanged = true;
}

void frmDB::reject()
{
    // The connection in use was never touched: it stays, with its work. Only
    // when none is open is the last one opened again.
    try {
        const QString userId = DB::CurrentUserId();
        const QString password = DB::CurrentPassword();
        const QString serverName = DB::CurrentServerName();
        if (DB::CurrentSession().state() != oo4o::State::Open) {
            if (isFilled(userId) && isFilled(password) && isFilled(serverName)) {
                const Connections::LiveWait wait;
                DB::ConnectDatabase(userId, password, serverName);
            } else {
                DB::DisconnectDatabase();
            }
        }
    } catch (const Common::RuntimeError &) {
        // Closing what is left of a connection cannot keep the dialog open.
    }
    QDialog::reject();
}

void frmDB::keyPressEvent(QKeyEvent *event)
{
    // No button is the dialog's cancel button: Esc does not close it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmDB::eventFilter(QObject *watched, QEvent *event)
{
    // A mouse press on the list lets the selection it makes fill the boxes.
    if (watched == lstDB->viewport()) {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            mFillFromList = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            mFillFromList = false;
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);

    auto *key = static_cast<QKeyEvent *>(event);
    auto *box = qobject_cast<QLineEdit *>(watched);
    const int row = lstDB->currentRow();
    const bool selected = !lstDB->selectedItems().isEmpty();
    if (key->key() == Qt::Key_Up) {
        if (selected && row > 0)
            selectEntry(row - 1);
        return true;
    }
    if (key->key() == Qt::Key_Down) {
        if (!selected && lstDB->count() > 0)
            selectEntry(0);
        else if (selected && row + 1 < lstDB->count())
            selectEntry(row + 1);
        return true;
    }
    // Typed small letters become capitals in the user ID and server name, whose
    // letter case the servers ignore; a password is taken as typed, since most
    // servers tell its small letters from capitals, and so is a user ID in double
    // quotes, which names a role exactly. Pasted text is left alone.
    const QString text = key->text();
    const bool exactName = box == txtInput[0] && box->text().startsWith(QLatin1Char('"'));
    if (box && box != txtInput[1] && !exactName && text.size() == 1
        && text.at(0) >= QLatin1Char('a') && text.at(0) <= QLatin1Char('z')) {
        QKeyEvent capital(QEvent::KeyPress, key->key(), key->modifiers(), text.toUpper(),
                          key->isAutoRepeat(), ushort(key->count()));
        QApplication::sendEvent(box, &capital);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
