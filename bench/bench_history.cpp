// Times the statement history on a full history: recording a statement (start
// and end), the searches of the history window, and opening the file.
//
//   bench_history [records] [runs]
//
// The history is built in a temporary folder through the store itself, with
// statements of a few shapes and numbers, some run again.
#include "history/historystore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct Timing
{
    double median = 0;
    double worst = 0;
};

Timing timingOf(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return {times.at(times.size() / 2), times.last()};
}

// Milliseconds per call.
Timing measure(int runs, const std::function<void()> &call)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        call();
        times << timer.nsecsElapsed() / 1e6;
    }
    return timingOf(times);
}

// A statement of the kind typed into the editor; `n` varies its numbers and names.
QString statement(QRandomGenerator &random)
{
    const int n = int(random.bounded(100000));
    switch (random.bounded(6)) {
    case 0:
        return QStringLiteral("SELECT e.empno, e.ename, d.dname FROM emp e JOIN dept d"
                              " ON d.deptno = e.deptno WHERE e.sal > %1 ORDER BY e.ename")
            .arg(n);
    case 1:
        return QStringLiteral("UPDATE 受注明細 SET 数量 = %1 WHERE 受注番号 = %2")
            .arg(n % 50)
            .arg(n);
    case 2:
        return QStringLiteral("INSERT INTO sales_log(id, item, qty, note)"
                              " VALUES (%1, 'item %2', %3, '売上計上')")
            .arg(n)
            .arg(n % 977)
            .arg(n % 13);
    case 3:
        return QStringLiteral("select count(*) from orders where status = 'OPEN'"
                              " and created_at >= date '2026-%1-01' and customer_id = %2")
            .arg(n % 12 + 1, 2, 10, QLatin1Char('0'))
            .arg(n);
    case 4: {
        // A long one: a report over many columns, about 1.5 kB.
        QString columns;
        for (int i = 0; i < 60; ++i)
            columns += QStringLiteral("  nvl(r.amount_%1, 0) as a%1,\n").arg(i);
        return QStringLiteral("select r.region_code,\n%1  r.total\nfrom report_%2 r\n"
                              "where r.period = '2026Q%3'")
            .arg(columns)
            .arg(n % 200)
            .arg(n % 4 + 1);
    }
    default:
        return QStringLiteral("delete from tmp_work_%1 where batch_id = %2").arg(n % 300).arg(n);
    }
}

History::RunEnd endOf(QRandomGenerator &random)
{
    History::RunEnd end;
    end.elapsedMs = random.bounded(2000);
    end.rows = random.bounded(500);
    end.outcome = QStringLiteral("取得");
    return end;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int records = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int runs = args.size() > 2 ? args.at(2).toInt() : 50;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.db"));
    QRandomGenerator random(20261207);
    {
        History::Store store;
        if (!store.open(path)) {
            std::fprintf(stderr, "%s\n", qPrintable(store.problem()));
            return 1;
        }
        // A third of the records run a recent statement again.
        QStringList recent;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < records; ++i) {
            History::RunStart run;
            if (!recent.isEmpty() && random.bounded(3) == 0)
                run.text = recent.at(random.bounded(int(recent.size())));
            else
                run.text = statement(random);
            recent.append(run.text);
            if (recent.size() > 300)
                recent.removeFirst();
            store.recordEnd(store.recordStart(run), endOf(random));
        }
        std::printf("built %d records in %.1f s: %.1f MB (%lld texts)\n", records,
                    timer.elapsed() / 1000.0, QFileInfo(path).size() / 1e6,
                    qint64(store.search(QString(), -1).size()));
    }

    // Opening as at the program's start, with no other copy using the file.
    // Closing (which folds the write-ahead log into the file) is not timed.
    QList<double> openTimes;
    for (int i = 0; i < runs; ++i) {
        History::Store reopened;
        QElapsedTimer timer;
        timer.start();
        reopened.open(path);
        openTimes << timer.nsecsElapsed() / 1e6;
    }
    const Timing open = timingOf(openTimes);
    History::Store store;
    store.open(path);
    // A thousand records past the full history: every hundredth, once it has
    // ended, drops the oldest hundred (and their texts when no other record has
    // them); the last one is such a record.
    QList<double> recordTimes;
    QList<double> pruningTimes;
    for (int i = 0; i < 1000; ++i) {
        History::RunStart run;
        run.text = statement(random);
        QElapsedTimer timer;
        timer.start();
        store.recordEnd(store.recordStart(run), endOf(random));
        (i % 100 == 99 ? pruningTimes : recordTimes) << timer.nsecsElapsed() / 1e6;
    }
    const Timing pruning = timingOf(pruningTimes);
    const Timing record = timingOf(recordTimes);
    std::printf("%-34s %8.3f ms (worst %.3f)\n", "open", open.median, open.worst);
    std::printf("%-34s %8.3f ms (worst %.3f)\n", "recordStart + recordEnd", record.median,
                record.worst);
    std::printf("%-34s %8.3f ms (worst %.3f)\n", "the same, every 100th (pruning)", pruning.median,
                pruning.worst);

    const QStringList searches = {
        QString(),
        QStringLiteral("deptno"),
        QStringLiteral("where"),
        QStringLiteral("sales_log 売上計上"),
        QStringLiteral("report_42"),
        QStringLiteral("id"),
        QStringLiteral("受注明細"),
        QStringLiteral("数量"),
        QStringLiteral("zq"),
        QStringLiteral("no_such_word"),
    };
    for (const QString &words : searches) {
        qsizetype found = 0;
        const Timing search = measure(runs, [&] { found = store.search(words).size(); });
        const QString label = QStringLiteral("search \"%1\" (%2 found)").arg(words).arg(found);
        std::printf("%-34s %8.3f ms (worst %.3f)\n", qPrintable(label), search.median,
                    search.worst);
    }
    if (!store.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(store.problem()));
        return 1;
    }
    return 0;
}
