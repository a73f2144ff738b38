#pragma once

#include <QString>

#include <exception>

namespace Common {

/// Error numbers the program raises itself (the database layer uses its own).
enum ErrorNumber {
    ErrOverflow = 6,
    ErrInternal = 51,
    ErrTypeMismatch = 13,
    ErrFileNotFound = 53,
    ErrFileAccess = 75,
    ErrPathNotFound = 76,
    ErrBadFileFormat = 321,
};

/// One failure: a nonzero number, a description and the source that raised it.
struct ErrorInfo
{
    int number = 0;
    QString description;
    QString source;

    bool isSet() const { return number != 0; }
};

/// A run-time error that propagates to the caller.
class RuntimeError : public std::exception
{
public:
    RuntimeError(int number, const QString &description, const QString &source);
    explicit RuntimeError(ErrorInfo info);

    const ErrorInfo &info() const { return mInfo; }
    int number() const { return mInfo.number; }
    QString description() const { return mInfo.description; }
    QString source() const { return mInfo.source; }
    const char *what() const noexcept override { return mWhat.constData(); }

private:
    ErrorInfo mInfo;
    QByteArray mWhat;
};

/// The thread's error state, left set by routines that resume on error so that
/// the caller can test it right after the call.
namespace LastError {
void clear();
bool isSet();
ErrorInfo get();
void set(const ErrorInfo &info);
} // namespace LastError

} // namespace Common
