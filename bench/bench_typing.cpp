// Times each keystroke typed into the middle of a 50 MB text while the editor's
// journal follows it (its thread rewrites the journal file a moment after each
// change), and the same with the journal off, in the same run.
//
//   bench_typing [characters] [keys]
//
// A keystroke is timed twice: the key alone (the key's press and release
// handled by the editor and the window), and the key with the event loop run
// once after it, which paints the editor as a user would see it.
#include "app/frmmain.h"
#include "app/globals.h"
#include "benchwindow.h"
#include "common/dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// A keystroke slower than this misses a frame of the screen.
constexpr double FrameMs = 16.0;

struct Timing
{
    double median = 0;
    double p99 = 0;
    double worst = 0;
    int overFrame = 0; // keystrokes over FrameMs
};

Timing timingOf(QList<double> times)
{
    std::sort(times.begin(), times.end());
    Timing timing;
    timing.median = times.at(times.size() / 2);
    timing.p99 = times.at(qsizetype(std::ceil(0.99 * double(times.size()))) - 1);
    timing.worst = times.last();
    timing.overFrame
        = int(std::count_if(times.cbegin(), times.cend(), [](double ms) { return ms > FrameMs; }));
    return timing;
}

void printTiming(const char *label, const Timing &timing)
{
    std::printf("  %-22s median %6.2f ms, 99th %6.2f ms, worst %7.2f ms, over %.0f ms: %d\n", label,
                timing.median, timing.p99, timing.worst, FrameMs, timing.overFrame);
}

// The journal file of the one window running with this data folder; empty
// when there is none.
QString journalFile(const QString &home)
{
    const QDir folder(QDir(home).filePath(QStringLiteral("journal")));
    const QStringList journals = folder.entryList({QStringLiteral("journal-*.kvj")}, QDir::Files);
    return journals.size() == 1 ? folder.filePath(journals.first()) : QString();
}

// What one case measured.
struct Typing
{
    Timing key;      // keyClick alone
    Timing keyPaint; // keyClick and one run of the event loop (the editor painted)
    bool ok = false;
};

// Opens the window with its data folder at `home`, puts the text into the
// editor, and types `keys` characters into its middle, one key at a time.
Typing typeInto(const QString &home, bool journalWanted, const QString &text, int keys)
{
    qputenv("KORVANE_HOME", QFile::encodeName(home));
    SQLEdit::InitGlobals();
    Typing result;
    frmMain window;
    window.openInitialConnection = [] { return false; };
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was never exposed\n");
    auto *editor = window.findChild<QPlainTextEdit *>(QStringLiteral("txtWindow"));

    QElapsedTimer timer;
    timer.start();
    editor->setPlainText(text);
    QCoreApplication::processEvents();
    const double filled = timer.nsecsElapsed() / 1e6;
    timer.restart();
    const bool journalled = window.flushJournal();
    const double flushed = timer.nsecsElapsed() / 1e6;
    std::printf("  text put in the editor in %.0f ms; journal %s (%.0f ms)\n", filled,
                journalled ? "holds it" : "off", flushed);
    if (journalled != journalWanted) {
        std::fprintf(stderr, "the journal is %s, not as this case needs\n",
                     journalled ? "on" : "off");
        return result;
    }

    // The caret in the middle of the text, the editor focused, the journal
    // holding that state before the first key.
    window.activateWindow();
    editor->setFocus();
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(int(text.size() / 2));
    editor->setTextCursor(cursor);
    editor->ensureCursorVisible();
    window.flushJournal();
    QTest::qWait(50);

    const QString typed = QStringLiteral("select count(*) from orders where status = 'OPEN';\n");
    const int before = editor->document()->characterCount();
    QList<double> keyTimes;
    QList<double> keyPaintTimes;
    // How often the journal's thread wrote the file while the keys came: each
    // write puts a new file in place of the old one.
    const QString journal = journalFile(home);
    QDateTime lastWritten = QFileInfo(journal).lastModified();
    int writes = 0;
    for (int i = 0; i < keys; ++i) {
        const QChar c = typed.at(i % typed.size());
        timer.restart();
        if (c == QLatin1Char('\n'))
            QTest::keyClick(editor, Qt::Key_Return);
        else
            QTest::keyClick(editor, c.toLatin1());
        keyTimes << timer.nsecsElapsed() / 1e6;
        QCoreApplication::processEvents();
        keyPaintTimes << timer.nsecsElapsed() / 1e6;
        if (keyPaintTimes.last() > FrameMs)
            std::printf("  key %d: %.2f ms, of which the key itself %.2f ms\n", i + 1,
                        keyPaintTimes.last(), keyTimes.last());
        // Keys come 20 ms apart, faster than anyone types, yet far enough
        // apart that the journal's thread writes the file several times over
        // the keys (a write of a 50 MB text takes about a second).
        QTest::qWait(20);
        const QDateTime written = QFileInfo(journal).lastModified();
        if (!journal.isEmpty() && written != lastWritten) {
            lastWritten = written;
            ++writes;
        }
    }
    if (editor->document()->characterCount() - before != keys) {
        std::fprintf(stderr, "the editor took %d of %d keys\n",
                     editor->document()->characterCount() - before, keys);
        return result;
    }
    timer.restart();
    window.flushJournal();
    if (journalWanted)
        std::printf("  journal writes done while typing: %d; after the last key: %.0f ms\n", writes,
                    timer.nsecsElapsed() / 1e6);
    result.key = timingOf(keyTimes);
    result.keyPaint = timingOf(keyPaintTimes);
    result.ok = true;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    const QStringList args = app.arguments();
    const qsizetype characters = args.size() > 1 ? args.at(1).toLongLong() : 50000000;
    const int keys = args.size() > 2 ? args.at(2).toInt() : 300;
    Bench::PrintedDialogs dialogs;
    std::printf("load average at the start: %s\n", qPrintable(Bench::loadAverage()));

    const QString text = Bench::sqlText(characters);
    QTemporaryDir temporary;
    // The journal is off when the data folder cannot exist: a path under a
    // regular file.
    const QString file = QDir(temporary.path()).filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString noHome = QDir(file).filePath(QStringLiteral("home"));
    const QString home = QDir(temporary.path()).filePath(QStringLiteral("home"));
    QDir().mkpath(home);

    std::printf("%lld characters, %d keys in the middle of the text\n", qlonglong(characters),
                keys);
    std::printf("journal on:\n");
    const Typing on = typeInto(home, true, text, keys);
    if (on.ok) {
        printTiming("key", on.key);
        printTiming("key and paint", on.keyPaint);
    }
    std::printf("journal off:\n");
    const Typing off = typeInto(noHome, false, text, keys);
    if (off.ok) {
        printTiming("key", off.key);
        printTiming("key and paint", off.keyPaint);
    }
    std::printf("load average at the end: %s\n", qPrintable(Bench::loadAverage()));
    return on.ok && off.ok && dialogs.count == 0 ? 0 : 1;
}
