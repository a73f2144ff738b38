#pragma once

#include <csignal>
#include <sys/resource.h>

/// Makes writes past a file size fail the way they do on a full disk or over a
/// quota, for the life of the object: the process's file-size limit is lowered
/// and SIGXFSZ ignored, so a write past the limit fails with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = mOld;
        limited.rlim_cur = bytes;
        mActive = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return mActive; }

private:
    rlimit mOld{};
    void (*mOldHandler)(int) = nullptr;
    bool mActive = false;
};
