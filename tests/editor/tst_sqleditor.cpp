#include "editor/bracketmatch.h"
#include "editor/findbar.h"
#include "editor/sqleditor.h"
#include "editor/sqlhighlighter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using Editor::SqlEditor;
using Editor::SqlHighlighter;
using Editor::TokenKind;

namespace {

// The colours of each line as one letter a character: k keyword, q quoted
// name, s string or dollar delimiter, n number, p parameter, c comment,
// '.' plain; lines joined by '\n'.
QString ColourMask(const QTextDocument &document, const SqlHighlighter &highlighter)
{
    const std::pair<TokenKind, QChar> kinds[] = {
        {TokenKind::Keyword, u'k'}, {TokenKind::QuotedName, u'q'}, {TokenKind::String, u's'},
        {TokenKind::Number, u'n'},  {TokenKind::Parameter, u'p'},  {TokenKind::LineComment, u'c'},
    };
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString mask(block.length() - 1, u'.');
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            QChar letter = u'?';
            for (const auto &[kind, l] : kinds) {
                if (highlighter.formatFor(kind).foreground() == range.format.foreground())
                    letter = l;
            }
            for (int i = range.start; i < range.start + range.length; ++i)
                mask[i] = letter;
        }
        lines << mask;
    }
    return lines.join(u'\n');
}

// WCAG's contrast ratio of two colours, 1 to 21.
double Contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF())
               + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
    return dark;
}

// A document laid out as the editor lays it out: without a layout, a document
// reports no edits, and nothing would be coloured.
class PlainDocument : public QTextDocument
{
public:
    PlainDocument() { setDocumentLayout(new QPlainTextDocumentLayout(this)); }
};

// Turns of the event loop until the highlighter has coloured every line.
void FinishColouring(const SqlHighlighter &highlighter)
{
    for (int turn = 0; turn < 1000 && highlighter.isPending(); ++turn)
        QCoreApplication::processEvents();
}

} // namespace

class tst_SqlEditor : public QObject
{
    Q_OBJECT

private slots:
    void colours_data();
    void colours();
    void coloursSuitTheBase_data();
    void coloursSuitTheBase();
    void editFarAboveColoursTheRest();
    void longTextIsLeftPlain();
    void brackets_data();
    void brackets();
    void findBar_data();
    void findBar();
    void findBarOpensAndCloses();
    void inputMethod();
};

void tst_SqlEditor::colours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");

    QTest::newRow("string with doubled quote") << "select 'it''s' from t"
                                               << "kkkkkk.sssssss.kkkk..";
    QTest::newRow("quoted name, number, parameter") << R"(select "a b", 1.5e3, :id)"
                                                    << "kkkkkk.qqqqq..nnnnn..ppp";
    QTest::newRow("line comment") << "x -- select"
                                  << "..ccccccccc";
    QTest::newRow("block comment over lines") << "a /* one\ntwo */ or b"
                                              << "..cccccc\ncccccc.kk..";
    QTest::newRow("string left open on a line") << "'abc\ndef' in x"
                                                << "ssss\nssss.kk..";
    QTest::newRow("half-typed string at the end") << "select x = 'ab"
                                                  << "kkkkkk.....sss";
    QTest::newRow("unterminated comment to the end") << "/* a\nb"
                                                     << "cccc\nc";
    QTest::newRow("dollar body is SQL inside") << "as $$select 1$$;"
                                               << "kk.sskkkkkk.nss.";
    QTest::newRow("tagged body with a comment over lines")
        << "$f$ begin /* x\ny */ end $f$\nselect"
        << "sss.kkkkk.cccc\ncccc.kkk.sss\nkkkkkk";
    QTest::newRow("Japanese names") << "select 数量 from 受注明細"
                                    << "kkkkkk....kkkk.....";
    QTest::newRow("E string with backslash") << R"(E'a\'b' x)"
                                             << "sssssss..";
}

void tst_SqlEditor::colours()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    PlainDocument document;
    SqlHighlighter highlighter;
    highlighter.attach(&document);
    // Typed a character at a time, as half-typed text is coloured on the way.
    QTextCursor cursor(&document);
    for (const QChar c : text)
        cursor.insertText(QString(c));
    QCOMPARE(ColourMask(document, highlighter), mask);
    // Coloured at once, as a loaded file is.
    PlainDocument loaded;
    loaded.setPlainText(text);
    SqlHighlighter again;
    again.attach(&loaded);
    QCOMPARE(ColourMask(loaded, again), mask);
}

void tst_SqlEditor::coloursSuitTheBase_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QPalette(QColor(240, 240, 240), QColor(255, 255, 255));
    QTest::newRow("dark") << DarkPalette();
}

void tst_SqlEditor::coloursSuitTheBase()
{
    QFETCH(QPalette, palette);
    SqlEditor editor;
    editor.setPalette(palette);
    const QColor base = palette.color(QPalette::Base);
    for (TokenKind kind : {TokenKind::Keyword, TokenKind::QuotedName, TokenKind::String,
                           TokenKind::Number, TokenKind::Parameter, TokenKind::BlockComment}) {
        const QColor colour = editor.highlighter()->formatFor(kind).foreground().color();
        QVERIFY2(Contrast(colour, base) >= 4.5, qPrintable(QStringLiteral("kind %1: %2 on %3")
                                                               .arg(int(kind))
                                                               .arg(colour.name(), base.name())));
    }
}

// An edit that opens a comment at the top colours every later line, a slice at
// a time; closing it again brings the keywords back.
void tst_SqlEditor::editFarAboveColoursTheRest()
{
    PlainDocument document;
    const QString line = QStringLiteral("select x from t;");
    const int lines = 3 * SqlHighlighter::SliceCharacters / int(line.size() + 1);
    document.setPlainText(QStringList(lines, line).join(u'\n'));
    SqlHighlighter highlighter;
    highlighter.attach(&document);
    QTextCursor top(&document);
    top.insertText(QStringLiteral("/*"));
    QVERIFY(highlighter.isPending());
    FinishColouring(highlighter);
    QVERIFY(!highlighter.isPending());
    const QString comment = QString(line.size(), u'c');
    QCOMPARE(ColourMask(document, highlighter).split(u'\n').last(), comment);
    top.deletePreviousChar();
    FinishColouring(highlighter);
    QCOMPARE(ColourMask(document, highlighter).split(u'\n').last(),
             QStringLiteral("kkkkkk...kkkk..."));
}

void tst_SqlEditor::longTextIsLeftPlain()
{
    SqlEditor editor;
    QSignalSpy limited(&editor, &SqlEditor::highlightingLimitedChanged);
    editor.setPlainText(QStringLiteral("select 1;\n"));
    QVERIFY(editor.isHighlighted());
    const QString line = QStringLiteral("select x from t where y = 'z';\n");
    editor.setPlainText(line.repeated(SqlEditor::HighlightLimit / int(line.size()) + 1));
    QVERIFY(editor.highlightingLimited());
    QVERIFY(!editor.isHighlighted());
    QCOMPARE(editor.document()->lastBlock().previous().layout()->formats().size(), 0);
    QCOMPARE(limited.count(), 1);
    editor.setPlainText(line);
    QCoreApplication::processEvents();
    QVERIFY(editor.isHighlighted());
    QCOMPARE(limited.count(), 2);
    QCOMPARE(ColourMask(*editor.document(), *editor.highlighter()).left(6),
             QStringLiteral("kkkkkk"));
}

void tst_SqlEditor::brackets_data()
{
    // The caret stands at '|'; the marks are the positions (in the text without
    // the '|') of the bracket and its partner, and whether they match.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bracket");
    QTest::addColumn<int>("partner");
    QTest::addColumn<bool>("matched");

    QTest::newRow("before an opening") << "f|(a, (b))" << 1 << 8 << true;
    QTest::newRow("after a closing") << "f(a, (b))|" << 8 << 1 << true;
    QTest::newRow("inner pair") << "f(a, (b|))" << 7 << 5 << true;
    QTest::newRow("string's bracket ignored") << "(a, ')'|)" << 7 << 0 << true;
    QTest::newRow("comment's bracket ignored") << "|(a /* ) */\n)" << 0 << 11 << true;
    QTest::newRow("over lines") << "select (\n a,\n b\n)|" << 16 << 7 << true;
    QTest::newRow("inside a dollar body") << "$$ f(|x) $$" << 4 << 6 << true;
    QTest::newRow("wrong kind") << "[a)|" << 2 << 0 << false;
    QTest::newRow("no partner") << "select (a|" << -1 << -1 << false;
    QTest::newRow("unclosed") << "(|a" << 0 << -1 << false;
    QTest::newRow("bracket in a string only") << "'(|'" << -1 << -1 << false;
}

void tst_SqlEditor::brackets()
{
    QFETCH(QString, text);
    QFETCH(int, bracket);
    QFETCH(int, partner);
    QFETCH(bool, matched);
    const int caret = int(text.indexOf(u'|'));
    PlainDocument document;
    document.setPlainText(QString(text).remove(u'|'));
    SqlHighlighter highlighter;
    highlighter.attach(&document);
    const Editor::BracketMatch match = Editor::MatchBracket(&document, caret, true);
    QCOMPARE(match.bracket, bracket);
    QCOMPARE(match.partner, partner);
    QCOMPARE(match.matched, matched);
}

void tst_SqlEditor::findBar_data()
{
    // options: c case, w whole word, r regular expression. count -1: the
    // pattern is refused. steps: n next, p previous, each giving the start of
    // the selected match (-1: none), from the text's start.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QList<int>>("starts");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("replaced");

    QTest::newRow("any case") << "select a from A;\n-- a"
                              << "a"
                              << "" << 3 << "nnnn" << QList<int>{7, 14, 20, 7} << "b"
                              << "select b from b;\n-- b";
    QTest::newRow("case") << "select a from A;"
                          << "A"
                          << "c" << 1 << "np" << QList<int>{14, 14} << "t"
                          << "select a from t;";
    QTest::newRow("previous goes round") << "x a x"
                                         << "x"
                                         << "" << 2 << "pp" << QList<int>{4, 0} << "y"
                                         << "y a y";
    QTest::newRow("whole word") << "emp emp_no empno emp#1 emp"
                                << "emp"
                                << "w" << 2 << "nn" << QList<int>{0, 23} << "e"
                                << "e emp_no empno emp#1 e";
    QTest::newRow("Japanese whole word") << "数量 数量計 (数量)"
                                         << "数量"
                                         << "w" << 2 << "nn" << QList<int>{0, 8} << "qty"
                                         << "qty 数量計 (qty)";
    QTest::newRow("regular expression with groups") << "emp_no, dept_no"
                                                    << "(\\w+)_no"
                                                    << "r" << 2 << "n" << QList<int>{0} << "\\1_id"
                                                    << "emp_id, dept_id";
    QTest::newRow("empty matches are stepped over") << "axxb"
                                                    << "x*"
                                                    << "r" << 1 << "nn" << QList<int>{1, 1} << "-"
                                                    << "a-b";
    QTest::newRow("bad regular expression") << "abc"
                                            << "(a"
                                            << "r" << -1 << "n" << QList<int>{-1} << "z"
                                            << "abc";
    QTest::newRow("nothing found") << "abc"
                                   << "zz"
                                   << "" << 0 << "n" << QList<int>{-1} << "y"
                                   << "abc";
}

void tst_SqlEditor::findBar()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(int, count);
    QFETCH(QString, steps);
    QFETCH(QList<int>, starts);
    QFETCH(QString, replacement);
    QFETCH(QString, replaced);

    SqlEditor editor;
    editor.setPlainText(text);
    Editor::FindBar *bar = editor.findBar();
    bar->open(true);
    const QList<QCheckBox *> boxes = bar->findChildren<QCheckBox *>();
    for (QCheckBox *box : boxes) {
        const QString caption = box->text();
        box->setChecked((options.contains(u'c') && caption.contains(u'大'))
                        || (options.contains(u'w') && caption.contains(u'単'))
                        || (options.contains(u'r') && caption.contains(u'正')));
    }
    bar->patternBox()->setText(pattern);
    if (count < 0) {
        QVERIFY(bar->statusText().contains(QStringLiteral("正規表現")));
    } else {
        QVERIFY(!bar->isCounting()); // a short text is counted in one slice
        QCOMPARE(bar->matchCount(), count);
    }
    for (int i = 0; i < steps.size(); ++i) {
        const bool found = steps[i] == u'n' ? bar->findNext() : bar->findPrevious();
        QCOMPARE(found ? editor.textCursor().selectionStart() : -1, starts.at(i));
    }
    bar->replacementBox()->setText(replacement);
    bar->replaceAll();
    QCOMPARE(editor.toPlainText(), replaced);
    // Replace all is one step of undo.
    editor.undo();
    QCOMPARE(editor.toPlainText(), text);
    QVERIFY(!editor.document()->isUndoAvailable());
}

void tst_SqlEditor::findBarOpensAndCloses()
{
    SqlEditor editor;
    editor.resize(600, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.activateWindow();
    QApplication::setActiveWindow(&editor);
    const QRect text = editor.viewport()->geometry();
    editor.setLineNumbersVisible(false);
    QVERIFY(editor.viewport()->geometry().left() < text.left());
    editor.setLineNumbersVisible(true);
    QCOMPARE(editor.viewport()->geometry(), text);

    editor.setPlainText(QStringLiteral("select ename from emp"));
    QTextCursor word(editor.document());
    word.setPosition(7);
    word.setPosition(12, QTextCursor::KeepAnchor);
    editor.setTextCursor(word);
    editor.findBar()->open(false);
    QVERIFY(editor.findBar()->isVisible());
    QVERIFY(!editor.findBar()->replaceShown());
    QCOMPARE(editor.findBar()->patternBox()->text(), QStringLiteral("ename"));
    QVERIFY(editor.viewport()->geometry().bottom() < text.bottom());
    QTRY_VERIFY(editor.findBar()->patternBox()->hasFocus());
    QTest::keyClick(editor.findBar()->patternBox(), Qt::Key_Escape);
    QVERIFY(!editor.findBar()->isVisible());
    QCOMPARE(editor.viewport()->geometry(), text);
    QTRY_VERIFY(editor.hasFocus());
}

// Composition never reaches the text; the committed string does, and is coloured.
void tst_SqlEditor::inputMethod()
{
    SqlEditor editor;
    editor.setPlainText(QStringLiteral("select "));
    editor.moveCursor(QTextCursor::End);
    QInputMethodEvent preedit(QStringLiteral("すうりょう"), {});
    QApplication::sendEvent(&editor, &preedit);
    QCOMPARE(editor.toPlainText(), QStringLiteral("select "));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("数量 from t"));
    QApplication::sendEvent(&editor, &commit);
    QCOMPARE(editor.toPlainText(), QStringLiteral("select 数量 from t"));
    QCOMPARE(editor.document()->isUndoAvailable(), true);
    QCOMPARE(ColourMask(*editor.document(), *editor.highlighter()),
             QStringLiteral("kkkkkk....kkkk.."));
}

QTEST_MAIN(tst_SqlEditor)
#include "tst_sqleditor.moc"
