#include "oracle/sqlthread.h"

#include <QScopeGuard>

#include <chrono>
#include <future>

namespace Ora {

namespace {

thread_local StatementWait *CurrentWait = nullptr;

// A statement that ends within this time never makes the waiting thread
// handle its events: most statements end well before anyone would notice.
constexpr std::chrono::milliseconds QuietWait{20};
// How often the wait is polled after that: short enough for a smooth repaint
// and a cancel that takes effect at once.
constexpr std::chrono::milliseconds PollInterval{5};

} // namespace

ScopedStatementWait::ScopedStatementWait(StatementWait &wait)
    : mPrevious(CurrentWait)
{
    CurrentWait = &wait;
}

ScopedStatementWait::~ScopedStatementWait()
{
    CurrentWait = mPrevious;
}

StatementWait *ScopedStatementWait::current()
{
    return CurrentWait;
}

SqlThread::SqlThread()
    : mThread([this] { loop(); })
{}

SqlThread::~SqlThread()
{
    {
        std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mWake.notify_one();
    mThread.join();
}

void SqlThread::loop()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        mWake.wait(lock, [this] { return mStopping || !mQueue.empty(); });
        if (mQueue.empty())
            return; // stopping, and nothing left to run
        Job *job = mQueue.front();
        mQueue.pop_front();
        lock.unlock();
        try {
            job->task();
        } catch (...) {
            job->error = std::current_exception();
        }
        lock.lock();
        job->done = true;
        mDone.notify_all();
    }
}

void SqlThread::post(Job *job)
{
    {
        std::lock_guard lock(mMutex);
        mQueue.push_back(job);
    }
    mWake.notify_one();
}

void SqlThread::run(const std::function<void()> &task)
{
    if (std::this_thread::get_id() == mThread.get_id()) {
        task(); // already on the thread: a task that calls back into the connection
        return;
    }
    Job job{task, nullptr, false};
    post(&job);
    std::unique_lock lock(mMutex);
    mDone.wait(lock, [&job] { return job.done; });
    if (job.error)
        std::rethrow_exception(job.error);
}

void SqlThread::runStatement(const std::function<void()> &task,
                             const RunningStatement &statement,
                             const std::function<void()> &cancel,
                             const std::function<void()> &meanwhile)
{
    StatementWait *wait = CurrentWait;
    if (std::this_thread::get_id() == mThread.get_id()) {
        task();
        if (meanwhile)
            meanwhile();
        return;
    }
    Job job{task, nullptr, false};
    post(&job);
    // The job and the cancel refer to this frame: whatever happens here, they
    // end before it does. A cancel goes out on a thread of its own, as reaching
    // the server may take a while, and the window keeps being served meanwhile.
    std::future<void> cancelling;
    const auto waitForEnd = [&] {
        std::unique_lock lock(mMutex);
        mDone.wait(lock, [&job] { return job.done; });
        lock.unlock();
        if (cancelling.valid())
            cancelling.wait();
    };
    auto finish = qScopeGuard(waitForEnd);
    if (meanwhile)
        meanwhile();
    std::unique_lock lock(mMutex);
    if (wait && !mDone.wait_for(lock, QuietWait, [&job] { return job.done; })) {
        while (!job.done) {
            // The wait handles the window's events: never while holding the lock.
            lock.unlock();
            const bool cancelAsked = wait->poll(statement);
            if (cancelAsked
                && (!cancelling.valid()
                    || cancelling.wait_for(std::chrono::seconds(0)) == std::future_status::ready))
                cancelling = std::async(std::launch::async, cancel);
            lock.lock();
            mDone.wait_for(lock, PollInterval, [&job] { return job.done; });
        }
    }
    lock.unlock();
    finish.dismiss();
    waitForEnd();
    if (job.error)
        std::rethrow_exception(job.error);
}

} // namespace Ora
