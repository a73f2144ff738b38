// Opens a large SQL file into the editor through the window's own file-open
// path and types at its end, with the editor's colouring off and on in the
// same run; then types /* at the top of the longest text that is coloured.
//
//   bench_editor [characters] [runs] [keys]
//
// Each case runs `runs` times, the cases taking turns, in a fresh offscreen
// window with the journal off (its thread would share the cores with what is
// timed). Times are medians over the runs (open) or over every keystroke.
#include "app/frmmain.h"
#include "app/globals.h"
#include "benchwindow.h"
#include "editor/sqleditor.h"
#include "editor/sqlhighlighter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double Median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times.isEmpty() ? 0 : times.at(times.size() / 2);
}

double Worst(const QList<double> &times)
{
    return times.isEmpty() ? 0 : *std::max_element(times.cbegin(), times.cend());
}

double P99(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times.isEmpty() ? 0 : times.at(qsizetype(std::ceil(0.99 * double(times.size()))) - 1);
}

bool WriteFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// What one case measured.
struct Case
{
    QList<double> open; // ms per run
    QList<double> keys; // ms per key, with one turn of the event loop
    QList<double> rest; // ms until every line is coloured after the key
    bool highlighted = false;
};

// A key and one turn of the event loop after it, as the user sees it.
// Keys over a frame's 16 ms are named as they come.
double TimedKey(QWidget *editor, Qt::Key key, char c, int index)
{
    QElapsedTimer timer;
    timer.start();
    if (c)
        QTest::keyClick(editor, c);
    else
        QTest::keyClick(editor, key);
    const double alone = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (ms > 16)
        std::printf("    key %d ('%c'): %.2f ms, of which the key itself %.2f ms\n", index,
                    c ? c : '<', ms, alone);
    return ms;
}

// Opens `path` in a fresh window and types: `keys` characters at the end, or
// (topComment) /* at the top and back, `keys` times.
void RunCase(
    const QString &home, const QString &path, bool colours, bool topComment, int keys, Case &result)
{
    qputenv("KORVANE_HOME", QFile::encodeName(home));
    SQLEdit::InitGlobals();
    frmMain window;
    window.openInitialConnection = [] { return false; };
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was never exposed\n");
    auto *editor = window.findChild<Editor::SqlEditor *>(QStringLiteral("txtWindow"));
    editor->setHighlightingEnabled(colours);

    QElapsedTimer timer;
    timer.start();
    window.OpenFiles({path});
    QCoreApplication::processEvents();
    result.open << timer.nsecsElapsed() / 1e6;
    result.highlighted = editor->isHighlighted();

    window.activateWindow();
    editor->setFocus();
    editor->moveCursor(topComment ? QTextCursor::Start : QTextCursor::End);
    QTest::qWait(20);
    const QByteArray typed = "select count(*) from orders where status = 'OPEN';";
    for (int i = 0; i < keys; ++i) {
        if (!topComment) {
            result.keys << TimedKey(editor, Qt::Key_unknown, typed.at(i % typed.size()), i);
            continue;
        }
        // Opening the comment and taking it away again: each recolours every
        // line after it, the first slice with the key, the rest afterwards.
        for (const auto &[key, c] :
             {std::pair{Qt::Key_unknown, '/'}, std::pair{Qt::Key_unknown, '*'},
              std::pair{Qt::Key_Backspace, '\0'}, std::pair{Qt::Key_Backspace, '\0'}}) {
            result.keys << TimedKey(editor, key, c, i);
            timer.restart();
            while (editor->highlighter()->isPending())
                QCoreApplication::processEvents();
            result.rest << timer.nsecsElapsed() / 1e6;
        }
    }
}

void Print(const char *label, const Case &c)
{
    std::printf("  %-28s open %8.0f ms (coloured: %s)   key+paint median %6.2f, 99th %6.2f, "
                "worst %6.2f ms",
                label, Median(c.open), c.highlighted ? "yes" : "no", Median(c.keys), P99(c.keys),
                Worst(c.keys));
    if (!c.rest.isEmpty())
        std::printf("   rest coloured: median %.0f, worst %.0f ms", Median(c.rest), Worst(c.rest));
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    const QStringList args = app.arguments();
    const qsizetype characters = args.size() > 1 ? args.at(1).toLongLong() : 50000000;
    const int runs = args.size() > 2 ? args.at(2).toInt() : 3;
    const int keys = args.size() > 3 ? args.at(3).toInt() : 200;
    Bench::PrintedDialogs dialogs;
    std::printf("load average at the start: %s\n", qPrintable(Bench::loadAverage()));

    QTemporaryDir temporary;
    const QString large = QDir(temporary.path()).filePath(QStringLiteral("large.sql"));
    const QString limit = QDir(temporary.path()).filePath(QStringLiteral("limit.sql"));
    // The file at the limit ends with a line end, which the file-open path adds.
    if (!WriteFile(large, Bench::sqlText(characters))
        || !WriteFile(limit, Bench::sqlText(Editor::SqlEditor::HighlightLimit - 200))) {
        std::fprintf(stderr, "cannot write the files\n");
        return 1;
    }
    // The journal is off when the data folder cannot exist: a path under a file.
    const QString file = QDir(temporary.path()).filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString noHome = QDir(file).filePath(QStringLiteral("home"));

    Case largeOff, largeOn, limitOff, limitOn;
    for (int run = 0; run < runs; ++run) {
        RunCase(noHome, large, false, false, keys, largeOff);
        RunCase(noHome, large, true, false, keys, largeOn);
        RunCase(noHome, limit, false, false, keys, limitOff);
        RunCase(noHome, limit, true, false, keys, limitOn);
    }
    Case topOn;
    for (int run = 0; run < runs; ++run)
        RunCase(noHome, limit, true, true, 5, topOn);

    std::printf("%lld characters; limit %d; median of %d runs, %d keys at the end per run\n",
                qlonglong(characters), Editor::SqlEditor::HighlightLimit, runs, keys);
    Print("large, colours off", largeOff);
    Print("large, colours on", largeOn);
    Print("at the limit, colours off", limitOff);
    Print("at the limit, colours on", limitOn);
    Print("at the limit, /* at the top", topOn);
    std::printf("open, colours on / off: large %.2f, at the limit %.2f\n",
                Median(largeOn.open) / Median(largeOff.open),
                Median(limitOn.open) / Median(limitOff.open));
    std::printf("load average at the end: %s\n", qPrintable(Bench::loadAverage()));
    return dialogs.count == 0 ? 0 : 1;
}
