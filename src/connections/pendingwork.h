#pragma once

#include "engine/sqlthread.h"

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace Connections {

/// Keeps the window live while a connect, commit or rollback waits for the
/// server: it repaints and shows the wait cursor, but takes no input, so that
/// nothing starts meanwhile. Esc gives up a connect. Installed for the calls
/// this thread makes while the object lives.
class LiveWait final : public QObject, public Engine::StatementWait
{
public:
    LiveWait();
    ~LiveWait() override;
    LiveWait(const LiveWait &) = delete;
    LiveWait &operator=(const LiveWait &) = delete;

    bool poll(const Engine::RunningStatement &statement) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mEscape = false;
    std::unique_ptr<Engine::ScopedStatementWait> mScope;
};

/// Asks what becomes of uncommitted work before it would be lost (exit, a
/// connect elsewhere): Yes commits, No rolls back, Cancel stays. Without
/// pending work nothing is asked. True when the caller may go on; false on
/// Cancel, and when the commit or rollback failed (which is said).
bool SettlePendingWork(QWidget *parent);

/// The message for a connect that failed: the fixed first line, then the
/// database's or driver's reason, with the password masked wherever it shows.
QString
ConnectFailureText(const QString &firstLine, const QString &reason, const QString &password);

/// Says that the connection was lost, and that the uncommitted work went with
/// it when there was some, and offers to connect again with the same user and
/// server. True when connected again.
bool ReportLostConnection(QWidget *parent, bool workWasPending);

} // namespace Connections
