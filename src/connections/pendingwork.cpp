#include "connections/pendingwork.h"

#include "common/dialogs.h"
#include "common/errors.h"
#include "oracle/db.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>

namespace Connections {

LiveWait::LiveWait()
    : mScope(std::make_unique<Engine::ScopedStatementWait>(*this))
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::instance()->installEventFilter(this);
}

LiveWait::~LiveWait()
{
    QCoreApplication::instance()->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

bool LiveWait::poll(const Engine::RunningStatement &)
{
    QCoreApplication::processEvents();
    const bool stop = mEscape;
    mEscape = false;
    return stop;
}

bool LiveWait::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            mEscape = true;
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool SettlePendingWork(QWidget *parent)
{
    if (!DB::UncommittedChanges())
        return true;
    using Common::Dialogs;
    const Dialogs::Answer answer = Dialogs::instance().questionWithCancel(
        parent, QStringLiteral("コミットしていない変更があります。コミットしますか？"),
        QStringLiteral("確認"));
    if (answer == Dialogs::Answer::Cancel)
        return false;
    try {
        const LiveWait wait;
        if (answer == Dialogs::Answer::Yes)
            DB::CommitTransaction();
        else
            DB::RollbackTransaction();
    } catch (const Common::RuntimeError &error) {
        Dialogs::instance().message(parent,
                                    (answer == Dialogs::Answer::Yes
                                         ? QStringLiteral("コミットできませんでした。\n")
                                         : QStringLiteral("ロールバックできませんでした。\n"))
                                        + error.description(),
                                    QStringLiteral("確認"), Dialogs::Icon::Critical);
        // A lost connection took the work with it: nothing is left to keep, and
        // the caller may go on once the user knows.
        return DB::ConnectionLost();
    }
    return true;
}

QString ConnectFailureText(const QString &firstLine, const QString &reason, const QString &password)
{
    QString text = reason.trimmed();
    // A short password would mask ordinary letters of the message; one of four
    // characters or more is masked wherever a driver repeats it.
    if (password.size() >= 4)
        text.replace(password, QStringLiteral("****"));
    return text.isEmpty() ? firstLine : firstLine + QLatin1Char('\n') + text;
}

bool ReportLostConnection(QWidget *parent, bool workWasPending)
{
    using Common::Dialogs;
    QString text = QStringLiteral("データベースとの接続が切れました。");
    if (workWasPending)
        text += QStringLiteral("\nコミットしていない変更はコミットされませんでした"
                               "（サーバーがロールバックしました）。");
    text += QStringLiteral("\n\n%1 @ %2 で接続し直しますか？")
                .arg(DB::CurrentUserId(), DB::CurrentServerName());
    if (!Dialogs::instance().question(parent, text, QStringLiteral("接続切断")))
        return false;
    {
        const LiveWait wait;
        DB::ConnectDatabase(DB::CurrentUserId(), DB::CurrentPassword(), DB::CurrentServerName());
    }
    if (!Common::LastError::isSet())
        return true;
    Dialogs::instance().message(parent,
                                ConnectFailureText(QStringLiteral("Oracleへの接続を失敗しました。"),
                                                   Common::LastError::get().description,
                                                   DB::CurrentPassword()),
                                QStringLiteral("接続失敗"), Dialogs::Icon::Critical);
    return false;
}

} // namespace Connections
