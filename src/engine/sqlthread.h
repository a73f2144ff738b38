#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Engine {

/// What the thread that started a statement is told while it waits for it.
struct RunningStatement
{
    /// The statement is a query (its rows are being read), not a change.
    bool query = false;
    /// Cancelling it would undo the whole open transaction, not only the
    /// statement (SQLite rolls back the transaction of an interrupted write).
    bool cancelUndoesTransaction = false;
    /// It can be stopped: false for a commit or rollback, which the wait only
    /// keeps the window live for.
    bool cancellable = true;
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

    /// Runs a task that owns all it uses and waits for it as runStatement does.
    /// When the installed wait asks to stop, gives it up instead: returns false
    /// at once, and the task ends on the thread unseen. Rethrows what it threw.
    bool runOrAbandon(std::function<void()> task);

    /// Queues a task that owns all it uses, without waiting for it.
    void post(std::function<void()> task);

    /// Ends the thread in the background once what is queued has run, so that
    /// nobody waits for a task that was given up.
    static void release(std::unique_ptr<SqlThread> thread);
    /// Waits, at most for the time given, until every thread released that way
    /// has ended; true when none is left. Called before the program ends.
    static bool waitForReleased(std::chrono::milliseconds timeout);

private:
    struct Job
    {
        std::function<void()> task;
        std::exception_ptr error;
        bool done = false;
    };

    void loop();
    std::shared_ptr<Job> enqueue(std::function<void()> task);

    std::mutex mMutex;
    std::condition_variable mWake; // a job was queued, or the thread must end
    std::condition_variable mDone; // a job ended
    std::deque<std::shared_ptr<Job>> mQueue;
    bool mStopping = false;
    std::thread mThread;
};

} // namespace Engine
