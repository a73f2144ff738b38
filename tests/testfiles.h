#pragma once

#include "common/errors.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

/// The bytes of a file, or "<unreadable>".
inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Writes a file byte for byte, apart from the code under test.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

/// The number of the Common::RuntimeError the call raises, or 0.
inline int errorNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Common::RuntimeError &error) {
        return error.number();
    }
    return 0;
}
