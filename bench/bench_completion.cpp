// Completion from the schema: loading 20,000 tables with 200,000 columns from
// PostgreSQL, and the completion list at each keystroke with those names.
//   scripts/with-postgres build-bench/bench_completion [tables] [runs] [statements]
//
// The tables are made once in the server's public schema (t_00001 .. with
// col_01 .. col_10, a comment on every col_01), and kept while the server runs.
// Load: SchemaLoader on its own connection and thread, median of `runs`, with
// the longest gap between the ticks of a 1 ms timer on this thread meanwhile
// (the window's event loop). Keys: `statements` statements typed one key at a
// time into an offscreen editor with the loaded names, each key timed from the
// press to the list shown and filled (the event loop run once after the key).

#include "benchwindow.h"
#include "editor/completionpopup.h"
#include "editor/schemaloader.h"
#include "engine/sqlconnectionname.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

QString pg(const char *name)
{
    return qEnvironmentVariable((QByteArray("KORVANE_TEST_PG_") + name).constData());
}

Engine::ServerEntry server()
{
    Engine::ServerEntry entry;
    entry.name = QStringLiteral("PG");
    entry.driver = QStringLiteral("QPSQL");
    entry.database = pg("DATABASE");
    entry.host = pg("HOST");
    entry.port = pg("PORT").toInt();
    return entry;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

// Makes the tables unless they are there; committed every 500 tables, as one
// transaction would need a lock apiece.
bool makeTables(int tables)
{
    Engine::SqlConnectionName name;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name.name());
    db.setHostName(pg("HOST"));
    db.setPort(pg("PORT").toInt());
    db.setDatabaseName(pg("DATABASE"));
    db.setUserName(pg("USER"));
    db.setPassword(pg("PASSWORD"));
    if (!db.open()) {
        std::fprintf(stderr, "connect: %s\n", qPrintable(db.lastError().text()));
        return false;
    }
    QSqlQuery query(db);
    query.exec(QStringLiteral("select count(*) from pg_class where relname ~ '^t_[0-9]{5}$'"));
    const int present = query.next() ? query.value(0).toInt() : 0;
    if (present < tables) {
        std::printf("making %d tables with 10 columns each...\n", tables);
        std::fflush(stdout);
        const bool made = query.exec(QStringLiteral(R"(
do $$ begin
  for i in %1..%2 loop
    execute format('create table if not exists t_%s (%s)', lpad(i::text, 5, '0'),
      (select string_agg(format('col_%s int', lpad(j::text, 2, '0')), ', ')
       from generate_series(1, 10) j));
    execute format('comment on column t_%s.col_01 is %L', lpad(i::text, 5, '0'), '番号 ' || i);
    if i % 500 = 0 then commit; end if;
  end loop;
end $$)")
                                         .arg(present + 1)
                                         .arg(tables));
        if (!made) {
            std::fprintf(stderr, "make tables: %s\n", qPrintable(query.lastError().text()));
            return false;
        }
    }
    query.finish();
    db.close();
    return true;
}

// One load, timed, with the longest pause of this thread's event loop meanwhile.
std::shared_ptr<const Editor::SchemaCatalog> load(double *seconds, double *longestPauseMs)
{
    Editor::SchemaLoader loader;
    std::shared_ptr<const Editor::SchemaCatalog> catalog;
    bool ended = false;
    QObject::connect(&loader, &Editor::SchemaLoader::loaded,
                     [&](std::shared_ptr<const Editor::SchemaCatalog> names) {
                         catalog = std::move(names);
                         ended = true;
                     });
    QObject::connect(&loader, &Editor::SchemaLoader::failed, [&](const QString &message) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(message));
        ended = true;
    });
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    loader.start(server(), pg("USER"), pg("PASSWORD"));
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    *seconds = double(clock.nsecsElapsed()) / 1e9;
    *longestPauseMs = double(std::max(longest, clock.nsecsElapsed() - lastTick)) / 1e6;
    return catalog;
}

// Statements as typed: a table after FROM, then an alias's columns.
QString statement(int i, int tables)
{
    return QStringLiteral("select x.col_0%1 from t_%2 x where x.col_1")
        .arg(i % 9 + 1)
        .arg((i * 7919) % tables + 1, 5, 10, QLatin1Char('0'));
}

} // namespace

// The offscreen platform warns at each list shown that it cannot raise it.
QtMessageHandler previousHandler = nullptr;

void QuietRaise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.contains(QLatin1String("does not support raise")) && previousHandler)
        previousHandler(type, context, message);
}

int main(int argc, char **argv)
{
    previousHandler = qInstallMessageHandler(QuietRaise);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int tables = args.size() > 1 ? args[1].toInt() : 20000;
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    const int statements = args.size() > 3 ? args[3].toInt() : 200;
    if (pg("PORT").isEmpty()) {
        std::fprintf(stderr, "run through scripts/with-postgres\n");
        return 1;
    }
    if (!makeTables(tables))
        return 1;

    std::vector<double> loadTimes, pauses;
    std::shared_ptr<const Editor::SchemaCatalog> catalog;
    for (int run = 0; run < runs; ++run) {
        double seconds = 0, pause = 0;
        catalog = load(&seconds, &pause);
        if (!catalog)
            return 1;
        loadTimes.push_back(seconds);
        pauses.push_back(pause);
        std::printf("load %d: %.3f s, longest pause %.1f ms\n", run + 1, seconds, pause);
    }
    std::printf("names: %zu tables and views, %lld columns\n", catalog->relations().size(),
                qlonglong(catalog->columnCount()));
    std::printf("load: median %.3f s (target 2 s), longest pause median %.1f ms, worst %.1f ms\n",
                percentile(loadTimes, 0.5), percentile(pauses, 0.5), percentile(pauses, 1.0));

    QPlainTextEdit editor;
    editor.resize(800, 400);
    editor.show();
    Editor::CompletionPopup popup(&editor);
    popup.setCatalog(catalog, true);
    std::vector<double> keys, shownKeys;
    for (int i = 0; i < statements; ++i) {
        editor.clear();
        for (const QChar c : statement(i, tables)) {
            QElapsedTimer key;
            key.start();
            QTest::sendKeyEvent(QTest::Click, &editor, Qt::Key_unknown, c, Qt::NoModifier);
            QCoreApplication::processEvents();
            const double ms = double(key.nsecsElapsed()) / 1e6;
            keys.push_back(ms);
            if (popup.isVisible())
                shownKeys.push_back(ms);
        }
        popup.hide();
    }
    std::printf("keys: %zu, ms median %.2f, p95 %.2f, worst %.2f\n", keys.size(),
                percentile(keys, 0.5), percentile(keys, 0.95), percentile(keys, 1.0));
    std::printf("keys with the list open after them: %zu, ms median %.2f, p95 %.2f (target 50), "
                "worst %.2f; load average %s\n",
                shownKeys.size(), percentile(shownKeys, 0.5), percentile(shownKeys, 0.95),
                percentile(shownKeys, 1.0), qPrintable(Bench::loadAverage()));
    return 0;
}
