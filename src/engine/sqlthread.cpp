#include "engine/sqlthread.h"

#include <QScopeGuard>

#include <chrono>
#include <future>

namespace Engine {

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
        const std::shared_ptr<Job> job = mQueue.front();
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

std::shared_ptr<SqlThread::Job> SqlThread::enqueue(std::function<void()> task)
{
    auto job = std::make_shared<Job>();
    job->task = std::move(task);
    {
        std::lock_guard lock(mMutex);
        mQueue.push_back(job);
    }
    mWake.notify_one();
    return job;
}

void SqlThread::post(std::function<void()> task)
{
    enqueue(std::move(task));
}

void SqlThread::run(const std::function<void()> &task)
{
    if (std::this_thread::get_id() == mThread.get_id()) {
        task(); // already on the thread: a task that calls back into the connection
        return;
    }
    const std::shared_ptr<Job> job = enqueue(task);
    std::unique_lock lock(mMutex);
    mDone.wait(lock, [&job] { return job->done; });
    if (job->error)
        std::rethrow_exception(job->error);
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
    const std::shared_ptr<Job> job = enqueue(task);
    // The task and the cancel refer to this frame: whatever happens here, they
    // end before it does. A cancel goes out on a thread of its own, as reaching
    // the server may take a while, and the window keeps being served meanwhile.
    std::future<void> cancelling;
    const auto waitForEnd = [&] {
        std::unique_lock lock(mMutex);
        mDone.wait(lock, [&job] { return job->done; });
        lock.unlock();
        if (cancelling.valid())
            cancelling.wait();
    };
    auto finish = qScopeGuard(waitForEnd);
    if (meanwhile)
        meanwhile();
    std::unique_lock lock(mMutex);
    if (wait && !mDone.wait_for(lock, QuietWait, [&job] { return job->done; })) {
        while (!job->done) {
            // The wait handles the window's events: never while holding the lock.
            lock.unlock();
            const bool cancelAsked = wait->poll(statement) && statement.cancellable;
            if (cancelAsked
                && (!cancelling.valid()
                    || cancelling.wait_for(std::chrono::seconds(0)) == std::future_status::ready))
                cancelling = std::async(std::launch::async, cancel);
            lock.lock();
            mDone.wait_for(lock, PollInterval, [&job] { return job->done; });
        }
    }
    lock.unlock();
    finish.dismiss();
    waitForEnd();
    if (job->error)
        std::rethrow_exception(job->error);
}

bool SqlThread::runOrAbandon(std::function<void()> task)
{
    if (std::this_thread::get_id() == mThread.get_id()) {
        task();
        return true;
    }
    StatementWait *wait = CurrentWait;
    const std::shared_ptr<Job> job = enqueue(std::move(task));
    std::unique_lock lock(mMutex);
    if (!wait) {
        mDone.wait(lock, [&job] { return job->done; });
    } else if (!mDone.wait_for(lock, QuietWait, [&job] { return job->done; })) {
        while (!job->done) {
            lock.unlock();
            if (wait->poll(RunningStatement{}))
                return false; // the job owns what it uses and may end when it will
            lock.lock();
            mDone.wait_for(lock, PollInterval, [&job] { return job->done; });
        }
    }
    if (job->error)
        std::rethrow_exception(job->error);
    return true;
}

namespace {

// The threads released to end in the background, counted so that the program
// can wait for them before it ends.
struct Released
{
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

// Never destroyed: a thread released just before the program ends may still
// reach it during the static destruction.
Released &released()
{
    static Released *const instance = new Released;
    return *instance;
}

} // namespace

void SqlThread::release(std::unique_ptr<SqlThread> thread)
{
    Released &state = released();
    {
        std::lock_guard lock(state.mutex);
        ++state.count;
    }
    std::thread([thread = std::move(thread), &state]() mutable {
        thread.reset(); // runs what is queued, then joins
        std::lock_guard lock(state.mutex);
        --state.count;
        state.ended.notify_all();
    }).detach();
}

bool SqlThread::waitForReleased(std::chrono::milliseconds timeout)
{
    Released &state = released();
    std::unique_lock lock(state.mutex);
    return state.ended.wait_for(lock, timeout, [&state] { return state.count == 0; });
}

} // namespace Engine
