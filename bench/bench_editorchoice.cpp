// The measurement behind the editor's widget: QScintilla (Qt 6 build) against
// QPlainTextEdit, in the same run, offscreen.
//
//   bench_editorchoice [characters] [keys]
//
// For each editor: putting `characters` (50,000,000) characters of SQL lines into
// it and painting once; then `keys` (100) keystrokes at the end of that text,
// each with the event loop run once after it (median, 95th percentile, worst);
// and what an input method's preedit does to the text: whether it enters the
// document and how many change signals it sends before anything is committed.
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString SqlLines(qsizetype characters)
{
    const QString line = QStringLiteral(
        "select e.empno, e.ename, d.dname from emp e join dept d on d.deptno = e.deptno "
        "where e.sal > 1000 and e.ename like '%A%'; -- 社員\n");
    QString text;
    text.reserve(characters + line.size());
    while (text.size() < characters)
        text += line;
    return text;
}

void PrintKeys(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s key at end: median %8.2f  p95 %8.2f  worst %8.2f ms\n", what,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

std::vector<double> TypeKeys(QWidget *editor, int keys)
{
    std::vector<double> ms;
    for (int i = 0; i < keys; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(editor, Qt::Key_A);
        QApplication::processEvents();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

void Scintilla(const QString &text, int keys, bool lexer)
{
    QsciScintilla editor;
    editor.resize(800, 600);
    QsciLexerSQL sql;
    if (lexer) {
        editor.setLexer(&sql);
        editor.setMarginLineNumbers(0, true);
        editor.setMarginWidth(0, QStringLiteral("0000000"));
    }
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return;
    const char *name = lexer ? "QScintilla, SQL lexer, margin" : "QScintilla, plain";
    QElapsedTimer timer;
    timer.start();
    editor.setText(text);
    QApplication::processEvents();
    std::printf("%-34s load and paint: %8.0f ms\n", name, double(timer.nsecsElapsed()) / 1e6);
    editor.SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
    PrintKeys(name, TypeKeys(&editor, keys));

    int changes = 0;
    QObject::connect(&editor, &QsciScintilla::textChanged, [&] { ++changes; });
    const int before = editor.length();
    QInputMethodEvent preedit(QStringLiteral("にほん"), {});
    QApplication::sendEvent(&editor, &preedit);
    std::printf("%-34s preedit: %d change signals, document grew by %d bytes\n", name, changes,
                editor.length() - before);
}

void PlainTextEdit(const QString &text, int keys)
{
    QPlainTextEdit editor;
    editor.resize(800, 600);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return;
    const char *name = "QPlainTextEdit";
    QElapsedTimer timer;
    timer.start();
    editor.setPlainText(text);
    QApplication::processEvents();
    std::printf("%-34s load and paint: %8.0f ms\n", name, double(timer.nsecsElapsed()) / 1e6);
    editor.moveCursor(QTextCursor::End);
    PrintKeys(name, TypeKeys(&editor, keys));

    int changes = 0;
    QObject::connect(&editor, &QPlainTextEdit::textChanged, [&] { ++changes; });
    const qsizetype before = editor.document()->characterCount();
    QInputMethodEvent preedit(QStringLiteral("にほん"), {});
    QApplication::sendEvent(&editor, &preedit);
    std::printf("%-34s preedit: %d change signals, document grew by %lld characters\n", name,
                changes, static_cast<long long>(editor.document()->characterCount() - before));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype characters = argc > 1 ? QByteArray(argv[1]).toLongLong() : 50'000'000;
    const int keys = argc > 2 ? QByteArray(argv[2]).toInt() : 100;
    const QString text = SqlLines(characters);
    Scintilla(text, keys, true);
    Scintilla(text, keys, false);
    PlainTextEdit(text, keys);
    return 0;
}
