#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace Ora {

/// What the thread that started a statement is told while it waits for it.
struct RunningStatement
{
    /// The statement is a query (its rows are being read), not a change.
    bool query = false;
    /// Cancelling it would undo the whole open transaction, not only the
    /// statement (SQLite rolls back the transaction of an interrupted write).
    bool cancelUndoesTransaction = false;
};

/// Lets the waiting thread stay responsive while a statement runs: poll is
/// called every few milliseconds once a statement has run for a moment, and
/// returns true to ask that it be cancelled on the server.
class StatementWait
{
public:
    virtual ~StatementWait() = default;
    virtual bool poll(const RunningStatement &statement) = 0;
};

/// Installs a StatementWait for the statements this thread starts while the
/// object lives. Without one, a thread simply blocks until each statement ends.
class ScopedStatementWait
{
public:
    explicit ScopedStatementWait(StatementWait &wait);
    ~ScopedStatementWait();
    ScopedStatementWait(const ScopedStatementWait &) = delete;
    ScopedStatementWait &operator=(const ScopedStatementWait &) = delete;

    /// The wait installed on this thread, or null.
    static StatementWait *current();

private:
    StatementWait *mPrevious;
};

/// A thread of its own for one database connection. A Qt SQL connection may be
/// used only on the thread that opened it, and its drivers block while the
/// server works; on this thread they block nobody, and the thread that waits
/// can repaint its windows and cancel the statement from outside.
class SqlThread
{
public:
    SqlThread();
    /// Runs what is queued, then ends the thread.
    ~SqlThread();
    SqlThread(const SqlThread &) = delete;
    SqlThread &operator=(const SqlThread &) = delete;

    /// Runs the task on the thread and blocks until it ends; rethrows what it threw.
    void run(const std::function<void()> &task);

    /// Runs a statement's task: like run, but once it takes longer than a moment
    /// the installed StatementWait (if any) is polled, and cancel is called on
    /// this thread each time the wait asks for it. Meanwhile, when given, runs
    /// on this thread while the task runs there, before the waiting begins.
    void runStatement(const std::function<void()> &task,
                      const RunningStatement &statement,
                      const std::function<void()> &cancel,
                      const std::function<void()> &meanwhile = {});

private:
    struct Job
    {
        std::function<void()> task;
        std::exception_ptr error;
        bool done = false;
    };

    void loop();
    void post(Job *job);

    std::mutex mMutex;
    std::condition_variable mWake; // a job was queued, or the thread must end
    std::condition_variable mDone; // a job ended
    std::deque<Job *> mQueue;
    bool mStopping = false;
    std::thread mThread;
};

} // namespace Ora
