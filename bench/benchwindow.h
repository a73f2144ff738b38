#pragma once

#include "common/dialogs.h"

#include <QFile>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <algorithm>
#include <cstdio>

/// What the benchmarks that start the main window share.
namespace Bench {

// A message box would wait offscreen for a click that never comes: it is
// printed instead, and counted, as it means the run did not go as planned.
class PrintedDialogs : public Common::Dialogs
{
public:
    PrintedDialogs() { install(this); }
    ~PrintedDialogs() override { install(nullptr); }

    void message(QWidget *, const QString &text, const QString &title, Icon) override
    {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(title), qPrintable(text));
        ++count;
    }
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    Answer questionWithCancel(QWidget *, const QString &, const QString &) override
    {
        return Answer::Cancel;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }

    int count = 0;
};

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Resident (VmRSS:) or peak resident (VmHWM:) memory of this process, in kB.
inline qint64 memoryKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// A setting of the private PostgreSQL server that scripts/with-postgres starts
// (HOST, PORT, DATABASE, USER, PASSWORD).
inline QString pgValue(const char *name)
{
    return qEnvironmentVariable((QByteArray("KORVANE_TEST_PG_") + name).constData());
}

// A connection of the benchmark's own to that server, for making its tables.
inline QSqlDatabase openPostgres(const QString &connectionName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(pgValue("HOST"));
    db.setPort(pgValue("PORT").toInt());
    db.setDatabaseName(pgValue("DATABASE"));
    db.setUserName(pgValue("USER"));
    db.setPassword(pgValue("PASSWORD"));
    db.open();
    return db;
}

inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// SQL as a large script holds it: a few statement shapes with numbers, some of
// them Japanese, exactly `characters` long.
inline QString sqlText(qsizetype characters)
{
    QString text;
    text.reserve(characters + 200);
    for (int line = 1; text.size() < characters; ++line) {
        switch (line % 4) {
        case 0:
            text += QStringLiteral("select e.empno, e.ename, d.dname from emp e join dept d"
                                   " on d.deptno = e.deptno where e.sal > %1;\n")
                        .arg(line);
            break;
        case 1:
            text += QStringLiteral("update 受注明細 set 数量 = %1 where 受注番号 = %2;\n")
                        .arg(line % 50)
                        .arg(line);
            break;
        case 2:
            text += QStringLiteral("insert into sales_log(id, item, qty, note)"
                                   " values (%1, 'item %2', %3, '売上計上');\n")
                        .arg(line)
                        .arg(line % 977)
                        .arg(line % 13);
            break;
        default:
            text += QStringLiteral("-- %1 行目までの集計\n").arg(line);
            break;
        }
    }
    text.truncate(characters);
    return text;
}

} // namespace Bench
