// Times the program's start with and without a full data folder, in the same
// run, the two cases taking turns:
//
//   A  the data folder as a first start leaves it;
//   B  the same plus a history of 100,000 records and a 50 MB editor journal
//      left behind by a copy that ended without closing (it is restored).
//
// Start-up is timed from just before the main window is made until it is on
// the screen, exposed, and the event loop has run once: the moment the user
// sees a window to work in. For B the time until the old editor is back is
// shown as well.
//
//   bench_startup [runs] [characters]
//
// The history is built once through the store itself and kept in
// $TMPDIR/korvane-bench for later runs.
#include "app/frmmain.h"
#include "app/globals.h"
#include "benchwindow.h"
#include "common/appdir.h"
#include "common/dialogs.h"
#include "engine/servers.h"
#include "history/historystore.h"
#include "journal/journalfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString RestoredMessage = QStringLiteral("前回終了しなかった");

using Bench::median;

// A history of `records` statements, a third of them a recent one run again,
// written through the store as the program writes it.
bool buildHistory(const QString &path, int records)
{
    History::Store store;
    if (!store.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.problem()));
        return false;
    }
    const QString text = Bench::sqlText(30000);
    const QStringList statements = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList recent;
    for (int i = 0; i < records; ++i) {
        History::RunStart run;
        if (!recent.isEmpty() && i % 3 == 0)
            run.text = recent.at(i % recent.size());
        else
            run.text = statements.at(i % statements.size()) + QStringLiteral(" -- %1").arg(i);
        recent.append(run.text);
        if (recent.size() > 300)
            recent.removeFirst();
        History::RunEnd end;
        end.elapsedMs = i % 2000;
        end.rows = i % 500;
        end.outcome = QStringLiteral("取得");
        store.recordEnd(store.recordStart(run), end);
    }
    return store.isOpen();
}

// What one start measured.
struct Start
{
    double made = 0;      // ms until the window is made (its constructor)
    double shown = 0;     // ms until the window is usable
    double restored = -1; // ms until the old editor is back; -1 when nothing was restored
    qsizetype restoredCharacters = 0;
};

// Starts the program's window in `home` as the program does, and closes it
// again as a destroyed window does (its own journal goes with it).
Start startWindow(const QString &home, bool waitForRestore)
{
    qputenv("KORVANE_HOME", QFile::encodeName(home));
    // What the program does before its window, outside the time measured.
    Common::PrepareFileFolders(Common::CurrentFileFolders());
    SQLEdit::InitGlobals();
    Engine::CreateServersFileIfMissing();

    Start start;
    QElapsedTimer timer;
    timer.start();
    auto window = std::make_unique<frmMain>();
    start.made = timer.nsecsElapsed() / 1e6;
    window->openInitialConnection = [] { return false; };
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        std::fprintf(stderr, "the window was never exposed\n");
    QCoreApplication::processEvents();
    start.shown = timer.nsecsElapsed() / 1e6;

    if (waitForRestore) {
        // The event loop runs as the program's own until the status bar says
        // the old editor is back.
        auto *status = window->findChild<QStatusBar *>(QStringLiteral("staMsg"));
        QEventLoop loop;
        QObject::connect(status, &QStatusBar::messageChanged, &loop, [&](const QString &text) {
            if (text.startsWith(RestoredMessage))
                loop.quit();
        });
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        if (!status->currentMessage().startsWith(RestoredMessage))
            loop.exec();
        if (status->currentMessage().startsWith(RestoredMessage)) {
            start.restored = timer.nsecsElapsed() / 1e6;
            auto *editor = window->findChild<QPlainTextEdit *>(QStringLiteral("txtWindow"));
            start.restoredCharacters = editor->document()->characterCount() - 1;
        } else {
            std::fprintf(stderr, "nothing was restored within 10 minutes\n");
        }
    }
    window.reset();
    // Let what the window left behind go before the next start.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(200);
    return start;
}

// The journal a copy that was killed while editing would leave: the text, the
// caret in the middle; nobody holds its lock.
bool writeOrphan(const QString &home, const QString &text)
{
    const QString folder = QDir(home).filePath(QStringLiteral("journal"));
    QDir().mkpath(folder);
    Journal::Snapshot snapshot;
    snapshot.text = text;
    snapshot.caret = snapshot.anchor = qint32(text.size() / 2);
    QString problem;
    if (!Journal::WriteFile(QDir(folder).filePath(QStringLiteral("journal-1-dead.kvj")), snapshot,
                            &problem)) {
        std::fprintf(stderr, "cannot write the journal: %s\n", qPrintable(problem));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    const QStringList args = app.arguments();
    const int runs = args.size() > 1 ? args.at(1).toInt() : 9;
    const qsizetype characters = args.size() > 2 ? args.at(2).toLongLong() : 50000000;
    constexpr int Records = 100000;
    Bench::PrintedDialogs dialogs;
    std::printf("load average at the start: %s\n", qPrintable(Bench::loadAverage()));

    // The history is kept between runs of the benchmark: building it takes a while.
    const QString cache = QDir::temp().filePath(QStringLiteral("korvane-bench"));
    QDir().mkpath(cache);
    const QString historyTemplate
        = QDir(cache).filePath(QStringLiteral("startup-history-%1.db").arg(Records));
    if (!QFileInfo::exists(historyTemplate)) {
        QElapsedTimer timer;
        timer.start();
        if (!buildHistory(historyTemplate, Records))
            return 1;
        std::printf("built a history of %d records in %.1f s\n", Records, timer.elapsed() / 1000.0);
    }

    QTemporaryDir homeA;
    QTemporaryDir homeB;
    const QString historyB = QDir(homeB.path()).filePath(QStringLiteral("history/history.db"));
    QDir().mkpath(QFileInfo(historyB).path());
    if (!QFile::copy(historyTemplate, historyB)) {
        std::fprintf(stderr, "cannot copy the history to %s\n", qPrintable(historyB));
        return 1;
    }
    const QString text = Bench::sqlText(characters);
    const QString orphan
        = QDir(homeB.path()).filePath(QStringLiteral("journal/journal-1-dead.kvj"));
    if (!writeOrphan(homeB.path(), text))
        return 1;
    std::printf("history %.1f MB; journal %lld characters, %.1f MB\n",
                QFileInfo(historyB).size() / 1e6, qlonglong(characters),
                QFileInfo(orphan).size() / 1e6);

    // A first start in each folder, not counted: it creates the files a first
    // start creates, and brings the program's own code and libraries in.
    startWindow(homeA.path(), false);
    startWindow(homeB.path(), true);

    // Times in ms: "made" when the window's constructor has returned, "shown"
    // when the window is usable, "restored" when the old editor is back.
    QList<double> madeA, shownA, madeB, shownB, restoredB;
    qsizetype restoredCharacters = 0;
    std::printf("%-4s %9s %9s %9s %9s %11s %13s\n", "run", "A made", "A shown", "B made", "B shown",
                "B restored", "B characters");
    const auto printRow = [](const char *label, double aMade, double aShown, double bMade,
                             double bShown, double bRestored, qsizetype bCharacters) {
        std::printf("%-4s %9.1f %9.1f %9.1f %9.1f %11.1f %13lld\n", label, aMade, aShown, bMade,
                    bShown, bRestored, qlonglong(bCharacters));
        std::fflush(stdout);
    };
    for (int run = 1; run <= runs; ++run) {
        if (!writeOrphan(homeB.path(), text))
            return 1;
        const Start a = startWindow(homeA.path(), false);
        const Start b = startWindow(homeB.path(), true);
        madeA << a.made;
        shownA << a.shown;
        madeB << b.made;
        shownB << b.shown;
        restoredB << b.restored;
        restoredCharacters = b.restoredCharacters;
        printRow(qPrintable(QString::number(run)), a.made, a.shown, b.made, b.shown, b.restored,
                 b.restoredCharacters);
    }
    printRow("med", median(madeA), median(shownA), median(madeB), median(shownB), median(restoredB),
             restoredCharacters);
    std::printf("start-up B / A: %.3f (target 1.10)\n", median(shownB) / median(shownA));
    std::printf("load average at the end: %s\n", qPrintable(Bench::loadAverage()));
    if (dialogs.count > 0 || restoredCharacters != characters) {
        std::fprintf(stderr, "the runs did not go as planned (see the messages above)\n");
        return 1;
    }
    return 0;
}
