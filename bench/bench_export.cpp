// Export: a query streamed to a CSV file through the real path (the statement
// run afresh, its rows written on the connection's thread), beside the
// database's own tool writing the same rows as CSV, in the same run; the
// growth of resident memory while it runs; and an Excel workbook of fewer rows
// beside the CSV file of the same rows.
//
//   bench_export [rows] [runs] [xlsx-rows]                         SQLite (needs sqlite3)
//   scripts/with-postgres bench_export --pg [rows] [runs] [xlsx-rows]   PostgreSQL (psql)
#include "benchwindow.h"
#include "common/errors.h"
#include "exec/executionview.h"
#include "exec/resultmodel.h"
#include "export/exportrun.h"
#include "oracle/db.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace {

using Bench::median;

using Bench::memoryKb;

// Starts the peak resident memory afresh from what is resident now.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double timeCommand(const QString &command)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    return timer.elapsed() / 1000.0;
}

const char *const TableSql = "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(40), "
                             "jname VARCHAR(40), amount REAL, day DATE, note VARCHAR(20))";

bool prepareSqlite(const QString &path, qint64 rows)
{
    if (QFile::exists(path))
        return true;
    const QString sql
        = QString::fromUtf8(TableSql)
          + QStringLiteral(";\nWITH RECURSIVE c(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM c "
                           "WHERE g < %1) INSERT INTO t SELECT g, 'customer name ' || g, "
                           "'顧客名前データ' || g, g * 1.25, date('2020-01-01', '+' || (g % "
                           "1000) || ' days'), CASE WHEN g % 10 = 0 THEN NULL ELSE 'n' || (g "
                           "% 977) END FROM c;\n")
                .arg(rows);
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {path});
    sqlite.write(sql.toUtf8());
    sqlite.closeWriteChannel();
    return sqlite.waitForFinished(-1) && sqlite.exitCode() == 0;
}

using Bench::pgValue;

bool preparePostgres(qint64 rows)
{
    QSqlDatabase db = Bench::openPostgres(QStringLiteral("prep"));
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT count(*) FROM export_t"));
    if (query.next() && query.value(0).toLongLong() == rows)
        return true;
    query.exec(QStringLiteral("DROP TABLE IF EXISTS export_t"));
    return query.exec(QString::fromUtf8(TableSql).replace(QLatin1String("TABLE t "),
                                                          QLatin1String("TABLE export_t ")))
           && query.exec(
               QStringLiteral("INSERT INTO export_t SELECT g, 'customer name ' || g, "
                              "'顧客名前データ' || g, g * 1.25, DATE '2020-01-01' + (g % 1000), "
                              "CASE WHEN g % 10 = 0 THEN NULL ELSE 'n' || (g % 977) END "
                              "FROM generate_series(1, %1) g")
                   .arg(rows))
           && query.exec(QStringLiteral("VACUUM ANALYZE export_t"));
}

// What the export needs of the window.
class View : public SQLEdit::ExecutionView
{
public:
    QString statementText() const override { return QString(); }
    void setRunning(bool) override {}
    bool isRunning() const override { return false; }
    QString statusText() const override { return QString(); }
    void setStatusText(const QString &) override {}
    void setHeaderVisible(bool) override {}
    SQLEdit::ResultModel &resultModel() override { return model; }
    QWidget *dialogParent() override { return &window; }

    SQLEdit::ResultModel model;
    QWidget window;
};

struct Run
{
    double seconds = 0;
    qint64 growthKb = 0;
    qint64 bytes = 0;
};

Run exportOnce(View &view, const QString &sql, Export::Format format, const QString &path)
{
    Export::Request request;
    request.source = Export::Source::Statement;
    request.options = Export::Options::defaults(format);
    request.options.encoding = Export::Encoding::Utf8;
    request.statement = sql;
    request.path = path;
    resetPeak();
    const qint64 before = memoryKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const Export::Outcome outcome = Export::WriteExport(view, request);
    Run run;
    run.seconds = timer.elapsed() / 1000.0;
    run.growthKb = memoryKb("VmHWM:") - before;
    run.bytes = outcome.bytes;
    if (!outcome.written)
        std::fprintf(stderr, "export failed: %s\n", qPrintable(outcome.message));
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool postgres = args.removeAll(QStringLiteral("--pg")) > 0;
    const qint64 rows = args.value(0, QStringLiteral("10000000")).toLongLong();
    const int runs = args.value(1, QStringLiteral("3")).toInt();
    const qint64 xlsxRows = args.value(2, QStringLiteral("1000000")).toLongLong();

    const QString home = QDir::temp().filePath(QStringLiteral("korvane-bench"));
    QDir().mkpath(home);
    qputenv("KORVANE_HOME", home.toUtf8());
    const QString dbPath = QDir(home).filePath(QStringLiteral("export-%1.db").arg(rows));
    QFile servers(QDir(home).filePath(QStringLiteral("SERVERS.ini")));
    if (!servers.open(QIODevice::WriteOnly)
        || servers.write(
               QStringLiteral("[LITE]\r\nDRIVER=QSQLITE\r\nDATABASE=%1\r\n"
                              "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%2\r\nHOST=%3\r\nPORT=%4\r\n")
                   .arg(dbPath, pgValue("DATABASE"), pgValue("HOST"), pgValue("PORT"))
                   .toUtf8())
               < 0)
        return 1;
    servers.close();
    std::printf("preparing %lld rows...\n", rows);
    std::fflush(stdout);
    if (!(postgres ? preparePostgres(rows) : prepareSqlite(dbPath, rows))) {
        std::fprintf(stderr, "could not create the table\n");
        return 1;
    }
    const QString table = postgres ? QStringLiteral("export_t") : QStringLiteral("t");
    const QString sql = QStringLiteral("select * from %1").arg(table);
    const QString out = QDir(home).filePath(QStringLiteral("export-out"));
    const QString reference
        = postgres ? QStringLiteral("PGPASSWORD='%1' psql -h %2 -p %3 -U %4 -d %5 -c "
                                    "\"\\copy (%6) to '%7.ref' csv\" > /dev/null")
                         .arg(pgValue("PASSWORD"), pgValue("HOST"), pgValue("PORT"),
                              pgValue("USER"), pgValue("DATABASE"), sql, out)
                   : QStringLiteral("sqlite3 -csv '%1' '%2' > '%3.ref'").arg(dbPath, sql, out);

    Bench::PrintedDialogs dialogs;
    DB::ConnectDatabase(pgValue("USER"), pgValue("PASSWORD"),
                        postgres ? QStringLiteral("PG") : QStringLiteral("LITE"));
    if (Common::LastError::isSet()) {
        std::fprintf(stderr, "connect: %s\n", qPrintable(Common::LastError::get().description));
        return 1;
    }
    View view;
    std::printf("load average %s\n", qPrintable(Bench::loadAverage()));
    QList<double> ours, theirs, ratios, growth;
    for (int i = 0; i < runs; ++i) {
        const Run run = exportOnce(view, sql, Export::Format::Csv, out + QStringLiteral(".csv"));
        const double ref = timeCommand(reference);
        ours << run.seconds;
        theirs << ref;
        ratios << run.seconds / ref;
        growth << run.growthKb / 1024.0;
        std::printf("run %d: csv %.3f s (%lld bytes, reference %lld), reference %.3f s, ratio "
                    "%.2f, peak memory +%.1f MB\n",
                    i + 1, run.seconds, run.bytes, QFileInfo(out + QStringLiteral(".ref")).size(),
                    ref, run.seconds / ref, run.growthKb / 1024.0);
        std::fflush(stdout);
    }
    std::printf("median: csv %.3f s, reference %.3f s, ratio %.2f, peak memory +%.1f MB\n",
                median(ours), median(theirs), median(ratios), median(growth));

    // The workbook beside the CSV file of the same rows.
    const QString some = QStringLiteral("%1 limit %2").arg(sql).arg(xlsxRows);
    QList<double> csvTimes, xlsxTimes, xlsxRatios;
    for (int i = 0; i < runs; ++i) {
        const Run csv = exportOnce(view, some, Export::Format::Csv, out + QStringLiteral(".csv"));
        const Run xlsx
            = exportOnce(view, some, Export::Format::Xlsx, out + QStringLiteral(".xlsx"));
        csvTimes << csv.seconds;
        xlsxTimes << xlsx.seconds;
        xlsxRatios << xlsx.seconds / csv.seconds;
        std::printf("run %d: %lld rows, csv %.3f s, xlsx %.3f s (%lld bytes, peak memory +%.1f "
                    "MB), ratio %.2f\n",
                    i + 1, xlsxRows, csv.seconds, xlsx.seconds, xlsx.bytes, xlsx.growthKb / 1024.0,
                    xlsx.seconds / csv.seconds);
        std::fflush(stdout);
    }
    std::printf("median: csv %.3f s, xlsx %.3f s, ratio %.2f\n", median(csvTimes),
                median(xlsxTimes), median(xlsxRatios));
    std::printf("load average %s\n", qPrintable(Bench::loadAverage()));
    for (const char *suffix : {".csv", ".xlsx", ".ref"})
        QFile::remove(out + QLatin1String(suffix));
    DB::DisconnectDatabase();
    return dialogs.count == 0 ? 0 : 1;
}
