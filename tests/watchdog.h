#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

/// Ends the test program when what it guards takes far longer than it ever
/// should: a statement that hangs fails the test in seconds, not at ctest's
/// timeout minutes later.
class Watchdog
{
public:
    Watchdog(int seconds, const char *what)
        : mThread([this, seconds, what] {
            std::unique_lock lock(mMutex);
            if (!mEnded.wait_for(lock, std::chrono::seconds(seconds), [this] { return mDone; })) {
                std::fprintf(stderr, "FAIL: %s took more than %d s\n", what, seconds);
                std::abort();
            }
        })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(mMutex);
            mDone = true;
        }
        mEnded.notify_all();
        mThread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex mMutex;
    std::condition_variable mEnded;
    bool mDone = false;
    std::thread mThread; // last: it starts once the rest is made
};
