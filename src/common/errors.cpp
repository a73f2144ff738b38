#include "common/errors.h"

namespace Common {

RuntimeError::RuntimeError(int number, const QString &description, const QString &source)
    : RuntimeError(ErrorInfo{number, description, source})
{}

RuntimeError::RuntimeError(ErrorInfo info)
    : mInfo(std::move(info))
    , mWhat(mInfo.description.toUtf8())
{}

namespace LastError {

static thread_local ErrorInfo current;

void clear()
{
    current = ErrorInfo();
}

bool isSet()
{
    return current.isSet();
}

ErrorInfo get()
{
    return current;
}

void set(const ErrorInfo &info)
{
    current = info;
}

} // namespace LastError
} // namespace Common
