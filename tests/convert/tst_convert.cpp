#include "../mainwindow.h"
#include "../testservers.h"
#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/maincontrols.h"
#include "convert/converter.h"
#include "convert/frmvb.h"
#include "convert/placement.h"
#include "engine/sqlconnectionname.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace SQLEdit;

Q_DECLARE_METATYPE(SQLEdit::ConvertSettings)

namespace {

ConvertSettings vb(qint16 pause, qint16 format, qint16 become)
{
    return {0, "strSQL", "&", pause, format, become};
}

ConvertSettings plsql(qint16 pause, qint16 format, qint16 become)
{
    return {1, "strSQL", "||", pause, format, become};
}

// The twelve layouts of a language: every PAUSE, FORMAT and BECOME choice.
QList<ConvertSettings> layouts(ConvertSettings (*language)(qint16, qint16, qint16))
{
    QList<ConvertSettings> list;
    for (qint16 pause : {0, 1, 2}) {
        for (qint16 format : {0, 1}) {
            for (qint16 become : {0, 1})
                list << language(pause, format, become);
        }
    }
    return list;
}

QString describe(const ConvertSettings &s)
{
    return QString("PAUSE %1 FORMAT %2 BECOME %3: ").arg(s.pause).arg(s.format).arg(s.become);
}

// Every line followed by CR LF, as the code window shows a multi-line result.
QString lines(const QStringList &list)
{
    return list.join("\r\n") + "\r\n";
}

// The text the generated code must build: CR is no part of a line, and each
// line end becomes CR LF, a space or nothing. A source without CR LF is one line.
// spaced, when given, is the text joined by spaces, LF marking the line breaks
// that end comments; lineBreak is what the language writes for them.
QString expectedText(QString source, qint16 pause, QString spaced, const QString &lineBreak)
{
    if (pause == 1 && !spaced.isNull())
        return spaced.replace('\n', lineBreak);
    if (!source.contains("\r\n"))
        return source;
    return source.remove('\r').replace('\n', pause == 0 ? "\r\n" : pause == 1 ? " " : "");
}

// Runs the Visual Basic the converter writes: statements "name = expression",
// one per line or continued by " _" at a line's end; expressions of string
// literals (a doubled quote stands for one), vbCrLf and the variable, joined
// with &. Anything else fails. Returns the variable's final value.
bool runVisualBasic(const QString &code, const QString &variable, QString *value, QString *error)
{
    *value = QString(); // a Visual Basic string starts empty
    bool assigning = false, wantTerm = false;
    QString result;
    auto word = [&](qsizetype at, const QString &name) { // a whole name, in any letter case
        const qsizetype end = at + name.size();
        const QChar next = end < code.size() ? code.at(end) : QChar();
        return code.mid(at, name.size()).compare(name, Qt::CaseInsensitive) == 0
               && !next.isLetterOrNumber() && next != '_';
    };
    auto fail = [&](const QString &why, qsizetype at) {
        *error = why + QString(" at %1: ").arg(at) + code.mid(at, 30);
        return false;
    };
    for (qsizetype i = 0; i < code.size();) {
        const QChar c = code.at(i);
        if (c == ' ') {
            ++i;
        } else if (code.mid(i, 2) == "\r\n" || (c == '_' && code.mid(i, 3) == "_\r\n")) {
            const bool continued = c == '_';
            if (continued && (i == 0 || code.at(i - 1) != ' '))
                return fail("continuation without a space", i);
            i += continued ? 3 : 2;
            if (continued && i >= code.size())
                return fail("continued past the end", i);
            if (continued)
                continue;
            if (wantTerm)
                return fail("statement ends after an operator", i);
            if (assigning)
                *value = result;
            assigning = false;
        } else if (!assigning) {
            if (!word(i, variable) || code.mid(i + variable.size(), 3) != " = ")
                return fail("not an assignment", i);
            i += variable.size() + 3;
            assigning = wantTerm = true;
            result.clear();
        } else if (c == '&') {
            if (wantTerm)
                return fail("two operators", i);
            wantTerm = true;
            ++i;
        } else if (!wantTerm) {
            return fail("term without an operator", i);
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= code.size() || code.at(i) == '\r' || code.at(i) == '\n')
                    return fail("unterminated literal", i);
                if (code.at(i) == '"' && code.mid(i + 1, 1) != "\"")
                    break;
                if (code.at(i) == '"')
                    ++i;
                result += code.at(i);
            }
            ++i;
            wantTerm = false;
        } else if (word(i, "vbCrLf")) {
            result += "\r\n";
            i += 6;
            wantTerm = false;
        } else if (word(i, variable)) {
            result += *value;
            i += variable.size();
            wantTerm = false;
        } else {
            return fail("unknown term", i);
        }
    }
    if (wantTerm)
        return fail("code ends after an operator", code.size());
    if (assigning)
        *value = result;
    return true;
}

} // namespace

/// The SQL-to-code converter, checked byte for byte and by running its code, and
/// the code window driven through the main window's menus and toolbar.
class tst_Convert : public QObject
{
    Q_OBJECT

private slots:
    void generatesCode_data();
    void generatesCode();
    void visualBasicRebuildsSource_data();
    void visualBasicRebuildsSource();
    void plsqlRebuildsSourceInPostgres_data();
    void plsqlRebuildsSourceInPostgres();
    void placement_data();
    void placement();

    void init();
    void cleanup();
    void viewCommandShowsAndHides();
    void conversionShowsPlacesAndFills();
    void codeWindowControls();

private:
    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<frmMain> mWindow;
};

void tst_Convert::generatesCode_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<ConvertSettings>("settings");
    QTest::addColumn<QString>("code");

    const QString two = "SELECT *\r\nFROM T";
    QTest::newRow("vb continued, initialised")
        << two << vb(0, 0, 0)
        << lines({R"(strSQL = "" & _)", R"(         "SELECT *" & vbCrLf & _)",
                  R"(         "FROM T")"});
    QTest::newRow("vb continued") << two << vb(0, 1, 0)
                                  << lines({R"(strSQL = "SELECT *" & vbCrLf & _)",
                                            R"(         "FROM T")"});
    QTest::newRow("vb per line, initialised")
        << two << vb(0, 0, 1)
        << lines({R"(strSQL = "")", R"(strSQL = strSQL & "SELECT *" & vbCrLf)",
                  R"(strSQL = strSQL & "FROM T")"});
    QTest::newRow("vb per line") << two << vb(0, 1, 1)
                                 << lines({R"(strSQL = strSQL & "SELECT *" & vbCrLf)",
                                           R"(strSQL = strSQL & "FROM T")"});
    QTest::newRow("plsql per line, initialised")
        << two << plsql(1, 0, 1)
        << lines({"strSQL := '';", "strSQL := strSQL || 'SELECT * ';",
                  "strSQL := strSQL || 'FROM T';"});
    QTest::newRow("plsql per line")
        << two << plsql(1, 1, 1)
        << lines({"strSQL := strSQL || 'SELECT * ';", "strSQL := strSQL || 'FROM T';"});
    QTest::newRow("vb space") << two << vb(1, 0, 0)
                              << lines({R"(strSQL = "" & _)", R"(         "SELECT * " & _)",
                                        R"(         "FROM T")"});
    QTest::newRow("vb nothing") << two << vb(2, 0, 0)
                                << lines({R"(strSQL = "" & _)", R"(         "SELECT *" & _)",
                                          R"(         "FROM T")"});
    QTest::newRow("vb trailing line end")
        << two + "\r\n"
        << vb(0, 0, 0)
        << lines({R"(strSQL = "" & _)", R"(         "SELECT *" & vbCrLf & _)",
                  R"(         "FROM T" & vbCrLf)"});
    QTest::newRow("plsql trailing line end")
        << two + "\r\n"
        << plsql(1, 0, 1)
        << lines({"strSQL := '';", "strSQL := strSQL || 'SELECT * ';",
                  "strSQL := strSQL || 'FROM T ';"});
    QTest::newRow("vb one line") << "SELECT * FROM T" << vb(0, 1, 0)
                                 << R"(strSQL = "SELECT * FROM T")";
    QTest::newRow("plsql one line") << "SELECT * FROM T" << plsql(1, 0, 1)
                                    << "strSQL := '';\r\nstrSQL := strSQL || 'SELECT * FROM T';";
    QTest::newRow("vb double quotes")
        << R"(WHERE A = "X")" << vb(0, 1, 0) << R"(strSQL = "WHERE A = ""X""")";
    QTest::newRow("vb empty line")
        << "SELECT *\r\n\r\nFROM T" << vb(1, 1, 0)
        << lines({R"(strSQL = "SELECT * " & _)", R"(         " " & _)", R"(         "FROM T")"});
    QTest::newRow("lf alone is no line end")
        << "SELECT *\nFROM T" << vb(0, 0, 0)
        << "strSQL = \"\" & _\r\n         \"SELECT *\nFROM T\"";
    QTest::newRow("vb empty source") << "" << vb(0, 0, 0) << "strSQL = \"\" & _\r\n         \"\"";
    QTest::newRow("spaces kept") << "  SELECT *  \r\n  FROM T  " << vb(2, 1, 1)
                                 << lines({R"(strSQL = strSQL & "  SELECT *  ")",
                                           R"(strSQL = strSQL & "  FROM T  ")"});
    QTest::newRow("other variable, other indent")
        << two << ConvertSettings{0, "s", "&", 0, 0, 0}
        << lines({R"(s = "" & _)", R"(    "SELECT *" & vbCrLf & _)", R"(    "FROM T")"});
    QTest::newRow("other values take the defaults' meaning")
        << two << ConvertSettings{2, "strSQL", "&", 7, 2, 2}
        << lines({R"(strSQL = "" & _)", R"(         "SELECT *" & _)", R"(         "FROM T")"});
    QTest::newRow("CR after the last line end")
        << two + "\r\n\r" << vb(0, 1, 0)
        << lines({R"(strSQL = "SELECT *" & vbCrLf & _)", R"(         "FROM T" & vbCrLf)"});

    // PL/SQL: quotes doubled, one continued statement joined over the lines, line
    // breaks built from their character codes.
    QTest::newRow("plsql quotes doubled") << "WHERE A = 'X'\r\nAND B = \"Y\"" << plsql(1, 1, 1)
                                          << lines({"strSQL := strSQL || 'WHERE A = ''X'' ';",
                                                    "strSQL := strSQL || 'AND B = \"Y\"';"});
    QTest::newRow("plsql continued, initialised")
        << two << plsql(1, 0, 0)
        << lines({"strSQL := '' ||", "          'SELECT * ' ||", "          'FROM T';"});
    QTest::newRow("plsql continued, trailing line end")
        << two + "\r\n"
        << plsql(1, 1, 0) << lines({"strSQL := 'SELECT * ' ||", "          'FROM T ';"});
    QTest::newRow("plsql continued, one line")
        << "SELECT * FROM T" << plsql(1, 1, 0) << "strSQL := 'SELECT * FROM T';";
    QTest::newRow("plsql line break codes")
        << two << plsql(0, 1, 1)
        << lines({"strSQL := strSQL || 'SELECT *' || CHR(13) || CHR(10);",
                  "strSQL := strSQL || 'FROM T';"});

    // Joined by spaces, a line that ends in a comment ends with a line break.
    const QString comment = "SELECT * -- all\r\nFROM T";
    QTest::newRow("plsql space after a comment")
        << comment << plsql(1, 1, 0)
        << lines({"strSQL := 'SELECT * -- all' || CHR(10) ||", "          'FROM T';"});
    QTest::newRow("vb space after a comment")
        << comment << vb(1, 1, 1)
        << lines({R"(strSQL = strSQL & "SELECT * -- all" & vbCrLf)",
                  R"(strSQL = strSQL & "FROM T")"});
}

void tst_Convert::generatesCode()
{
    QFETCH(QString, source);
    QFETCH(ConvertSettings, settings);
    QFETCH(QString, code);
    QCOMPARE(ConvertSql(source, settings), code);
}

// Sources for the round trips through a language: quotes, empty lines, trailing
// line ends, Japanese text, long lines, a source beyond 32767 characters, and
// line comments, with the text that joining by spaces builds of them (see
// expectedText).
static void addRoundTripSources()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("spaced");
    const QString plain; // every line end becomes a space
    QTest::newRow("two lines") << "SELECT *\r\nFROM T" << plain;
    QTest::newRow("quotes") << "SELECT 'it''s', \"X\" AS \"Q\"\r\nFROM T WHERE A = '\"'\r\n"
                            << plain;
    QTest::newRow("quote lines") << "'\r\n\"\r\n''\r\n\"\"" << plain;
    QTest::newRow("empty lines") << "\r\n\r\nSELECT 1\r\n\r\n\r\nFROM DUAL\r\n\r\n" << plain;
    QTest::newRow("japanese") << "SELECT 氏名, '全角　空白'\r\nFROM 社員  \r\n WHERE 部署 = '営業'"
                              << plain;
    QTest::newRow("backslash, dollar, tab") << "SELECT '\\n', $1, $$x$$\t--\r\nFROM T"
                                            << "SELECT '\\n', $1, $$x$$\t--\nFROM T";
    QTest::newRow("comment ending a middle line") << "SELECT a,\r\n b -- the second\r\nFROM T"
                                                  << "SELECT a,  b -- the second\nFROM T";
    QTest::newRow("-- inside quotes and a block comment")
        << "SELECT 'a--b', \"c--d\" /* -- */\r\nFROM T" << plain;
    QTest::newRow("literal over lines, then a comment") << "SELECT 'x\r\n--y' -- z\r\nFROM T"
                                                        << "SELECT 'x --y' -- z\nFROM T";
    QTest::newRow("comment on the last line") << "SELECT 1\r\nFROM T -- last" << plain;
    QTest::newRow("comment on the last line, line end") << "SELECT 1\r\nFROM T -- last\r\n"
                                                        << "SELECT 1 FROM T -- last\n";
    QTest::newRow("one line") << "SELECT * FROM T WHERE A = 'x'" << plain;
    QTest::newRow("empty") << "" << plain;
    QTest::newRow("line end only") << "\r\n" << plain;
    QString longSource;
    for (int i = 0; i < 300; ++i)
        longSource
            += QString("SELECT '%1', '%2' FROM DUAL UNION ALL\r\n").arg(i).arg(QString(100, 'y'));
    longSource += "SELECT '" + QString(9000, 'x') + "' FROM DUAL\r\n";
    QTest::newRow("long") << longSource << plain;
}

void tst_Convert::visualBasicRebuildsSource_data()
{
    addRoundTripSources();
}

void tst_Convert::visualBasicRebuildsSource()
{
    QFETCH(QString, source);
    QFETCH(QString, spaced);
    for (const ConvertSettings &settings : layouts(vb)) {
        QString value, error;
        QVERIFY2(runVisualBasic(ConvertSql(source, settings), "strSQL", &value, &error),
                 qPrintable(describe(settings) + error));
        QVERIFY2(value == expectedText(source, settings.pause, spaced, "\r\n"),
                 qPrintable(describe(settings) + value.left(200)));
    }
}

void tst_Convert::plsqlRebuildsSourceInPostgres_data()
{
    addRoundTripSources();
    // PL/SQL literals may span lines: a source with LF alone stays one literal.
    QTest::newRow("lf alone") << "SELECT *\nFROM T\n" << QString();
}

void tst_Convert::plsqlRebuildsSourceInPostgres()
{
    QFETCH(QString, source);
    QFETCH(QString, spaced);
    if (qEnvironmentVariableIsEmpty("KORVANE_TEST_PG_USER"))
        QFAIL("The PostgreSQL test environment is missing: run the tests through "
              "scripts/with-postgres.");
    const Engine::SqlConnectionName name;
    QSqlDatabase db = testPostgres(name.name());
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QSqlQuery query(db);
    for (const ConvertSettings &settings : layouts(plsql)) {
        const QString code = ConvertSql(source, settings);
        // Oracle's NULL joins as the empty string, PostgreSQL's makes the whole
        // result NULL: code that relies on a fresh variable being empty gets an
        // empty one here.
        const QString declaration = settings.format == 1 ? "strSQL text := '';" : "strSQL text;";
        const QString where = describe(settings);
        QVERIFY2(query.exec("CREATE OR REPLACE FUNCTION pg_temp.korvane_code() RETURNS text "
                            "LANGUAGE plpgsql AS $korvane$\nDECLARE "
                            + declaration + "\nBEGIN\n" + code
                            + "\nRETURN strSQL;\nEND\n$korvane$"),
                 qPrintable(where + query.lastError().text() + "\n" + code.left(500)));
        QVERIFY2(query.exec("SELECT pg_temp.korvane_code()") && query.next(),
                 qPrintable(where + query.lastError().text() + "\n" + code.left(500)));
        const QString value = query.value(0).toString();
        QVERIFY2(value == expectedText(source, settings.pause, spaced, "\n"),
                 qPrintable(where + value.left(200)));
    }
}

void tst_Convert::placement_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<double>("screen");
    QTest::addColumn<int>("expectedLeft");

    QTest::newRow("fits beside") << 0.0 << 9000.0 << false << 15360.0 << 9000;
    QTest::newRow("too narrow a screen") << 0.0 << 9000.0 << false << 12000.0 << 4200;
    QTest::newRow("maximised") << 0.0 << 9000.0 << true << 15360.0 << 4200;
    QTest::newRow("exactly fits") << 600.0 << 9000.0 << false << 14400.0 << 9600;
    QTest::newRow("one twip short") << 600.0 << 9000.0 << false << 14399.0 << 4800;
    // 2^24 + 1 twips is 2^24 in single precision, so the window fits.
    QTest::newRow("single precision") << 0.0 << 16772417.0 << false << 16777216.0 << 16772417;
}

void tst_Convert::placement()
{
    QFETCH(double, left);
    QFETCH(double, width);
    QFETCH(bool, maximized);
    QFETCH(double, screen);
    QFETCH(int, expectedLeft);
    const CodeWindowPosition position
        = CodeWindowPlacement({left, 1200.5, width, maximized, 4800, screen});
    QCOMPARE(position, (CodeWindowPosition{1200, expectedLeft}));
}

void tst_Convert::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toLocal8Bit());
    FileIO::ResetSettings();
    mWindow.reset();
}

void tst_Convert::cleanup()
{
    mWindow.reset();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Convert::viewCommandShowsAndHides()
{
    mWindow = std::make_unique<frmMain>();
    frmMain &w = *mWindow;
    w.openInitialConnection = [] { return false; };
    QVERIFY(TestWindow::activate(&w));
    frmVb *vb = TestWindow::codeWindow(w);
    QAction *view = TestWindow::menuItem(w, "mnu_v", 0);
    QAction *button = TestWindow::toolbarButton(w, MainControls::CodeWindowButton);
    auto state = [&] {
        return QString("%1%2%3")
            .arg(vb->isVisible())
            .arg(view->isChecked())
            .arg(button->isChecked());
    };
    QCOMPARE(state(), "000");

    view->trigger();
    QCOMPARE(state(), "111");
    QCoreApplication::processEvents(); // the activations the commands asked for
    QCOMPARE(QApplication::activeWindow(), &w);
    button->trigger();
    QCOMPARE(state(), "000");
    button->trigger();
    QCOMPARE(state(), "111");
    view->trigger();
    QCOMPARE(state(), "000");

    // The close box only hides the window; the text stays for the next showing.
    view->trigger();
    vb->txtWindow->setPlainText("kept");
    QVERIFY(!vb->close());
    QCOMPARE(state(), "000");
    QCOMPARE(TestWindow::codeWindow(w), vb);
    button->trigger();
    QCOMPARE(state(), "111");
    QCOMPARE(vb->txtWindow->toPlainText(), "kept");

    // Unloading with the main window clears the check and the button.
    QPointer<frmVb> unloaded = vb;
    QVERIFY(w.close());
    QVERIFY(!view->isChecked() && !button->isChecked());
    QTRY_VERIFY(unloaded.isNull());
}

void tst_Convert::conversionShowsPlacesAndFills()
{
    mWindow = std::make_unique<frmMain>();
    frmMain &w = *mWindow;
    w.openInitialConnection = [] { return false; };
    QVERIFY(TestWindow::activate(&w));
    frmVb *vb = TestWindow::codeWindow(w);
    EditorBox *editor = TestWindow::editor(w);
    QAction *view = TestWindow::menuItem(w, "mnu_v", 0);
    QAction *codeButton = TestWindow::toolbarButton(w, MainControls::CodeWindowButton);
    editor->setFocus();
    editor->setPlainText("SELECT *\nFROM T\n");
    w.UpdateEditButtons();

    // A narrow main window leaves room beside it on the screen.
    w.resize(200, w.height());
    TestWindow::menuItem(w, "mnu_e", 5)->trigger();
    QVERIFY(vb->isVisible() && view->isChecked());
    QVERIFY(codeButton->isChecked());
    QCOMPARE(vb->frameGeometry().topLeft(),
             QPoint(w.frameGeometry().right() + 1, w.frameGeometry().top()));
    QCOMPARE(EditorText(vb->txtWindow),
             lines({R"(strSQL = "" & _)", R"(         "SELECT *" & vbCrLf & _)",
                    R"(         "FROM T" & vbCrLf)"}));
    QCoreApplication::processEvents(); // the activations the commands asked for
    QCOMPARE(QApplication::activeWindow(), &w);
    QCOMPARE(QApplication::focusWidget(), editor);

    // Again, from the toolbar, with a selection and other settings: the window
    // stays shown and goes back to its place, inside a main window too wide to
    // leave room.
    FileIO::SetSettingValue("MODE", "1");
    FileIO::SetSettingValue("HENNAME", "sql");
    FileIO::SetSettingValue("JOINT", "||");
    FileIO::SetSettingValue("PAUSE", "1");
    FileIO::SetSettingValue("BECOME", "1");
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(7);
    cursor.setPosition(16, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    w.resize(700, w.height());
    vb->move(0, 0);
    TestWindow::toolbarButton(w, 13)->trigger();
    QVERIFY(vb->isVisible() && view->isChecked());
    QVERIFY(codeButton->isChecked());
    QCOMPARE(vb->frameGeometry().right(), w.frameGeometry().right());
    QCOMPARE(vb->frameGeometry().top(), w.frameGeometry().top());
    QCOMPARE(EditorText(vb->txtWindow),
             lines({"sql := '';", "sql := sql || '* ';", "sql := sql || 'FROM T ';"}));
    QCOMPARE(EditorText(editor), "SELECT *\r\nFROM T\r\n");
    QCoreApplication::processEvents(); // the activations the commands asked for
    QCOMPARE(QApplication::activeWindow(), &w);
}

void tst_Convert::codeWindowControls()
{
    mWindow = std::make_unique<frmMain>();
    frmVb *vb = TestWindow::codeWindow(*mWindow);
    QVERIFY(vb->windowFlags() & Qt::Tool);
    QVERIFY(!(vb->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(vb->txtWindow->isReadOnly());
    QVERIFY(vb->txtWindow->font().families().contains("IPAGothic"));
    QCOMPARE(vb->txtWindow->font().pointSizeF(), 9.0);
    QCOMPARE(vb->txtWindow->accessibleName(), "編集用ｳｨﾝﾄﾞｳ");

    vb->show();
    vb->resize(400, 300);
    QCOMPARE(vb->txtWindow->geometry(), QRect(0, 0, 400, 300));
    vb->txtWindow->setPlainText("strSQL = \"\"\nstrSQL = strSQL & \"x\"");
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
        vb->txtWindow->moveCursor(QTextCursor::End);
        QTest::keyClick(vb->txtWindow, Qt::Key_A, modifiers);
        const QTextCursor cursor = vb->txtWindow->textCursor();
        QCOMPARE(cursor.selectionStart(), 0);
        QCOMPARE(cursor.selectionEnd(), vb->txtWindow->document()->characterCount() - 1);
    }
    vb->txtWindow->moveCursor(QTextCursor::End);
    QTest::keyClick(vb->txtWindow, Qt::Key_A);
    QVERIFY(!vb->txtWindow->textCursor().hasSelection());
}

QTEST_MAIN(tst_Convert)

#include "tst_convert.moc"
