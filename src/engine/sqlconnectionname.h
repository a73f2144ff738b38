#pragma once

#include <QSqlDatabase>
#include <QString>

#include <atomic>

namespace Engine {

/// A unique Qt SQL connection name that removes its connection when it goes out
/// of scope. Declare it before any QSqlDatabase or QSqlQuery that uses the name,
/// so that those are gone when the connection is removed.
class SqlConnectionName
{
public:
    SqlConnectionName()
        : mName(QStringLiteral("korvane-%1").arg(++sCounter))
    {}
    ~SqlConnectionName()
    {
        if (QSqlDatabase::contains(mName))
            QSqlDatabase::removeDatabase(mName);
    }
    SqlConnectionName(const SqlConnectionName &) = delete;
    SqlConnectionName &operator=(const SqlConnectionName &) = delete;

    const QString &name() const { return mName; }

private:
    static inline std::atomic<quint64> sCounter = 0;
    QString mName;
};

} // namespace Engine
