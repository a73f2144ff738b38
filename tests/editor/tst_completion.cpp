#include "../databasetest.h"
#include "editor/completioncontext.h"
#include "editor/completionpopup.h"
#include "editor/schemaloader.h"
#include "engine/sqlthread.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace Editor;

Q_DECLARE_METATYPE(std::shared_ptr<const Editor::SchemaCatalog>)

namespace {

// A PostgreSQL-like schema: public (on the search path) and hr (not on it).
std::shared_ptr<SchemaCatalog> SampleCatalog()
{
    auto catalog = std::make_shared<SchemaCatalog>();
    const auto add = [&](const char *schema, const QString &name, QStringList columns,
                         NameKind kind = NameKind::Table) {
        const QString schemaName = QString::fromUtf8(schema);
        const int relation
            = catalog->addRelation(schemaName, name, kind, schemaName == QLatin1String("public"));
        for (const QString &column : columns) {
            const QStringList parts = column.split(u'=');
            catalog->addColumn(relation, parts[0], parts.value(1));
        }
    };
    catalog->addSchema(QStringLiteral("public"));
    catalog->addSchema(QStringLiteral("hr"));
    add("public", "employees", {"empno", "ename", "sal=給与", "deptno"});
    add("public", "departments", {"deptno", "dname"});
    add("public", "emp_view", {"empno"}, NameKind::View);
    add("public", "Order Lines", {"line_no", "Qty"});
    add("public", "社員", {"社員番号", "氏名"});
    add("public", "select", {"from"});
    add("hr", "employees", {"staff_id", "hired"});
    add("hr", "staff", {"id", "name"});
    catalog->finish();
    return catalog;
}

// The statement with its caret where the '|' is.
QStringList
Offered(QString statement, const SchemaCatalog &catalog, QStringList *inserted = nullptr)
{
    const qsizetype caret = statement.indexOf(u'|');
    statement.remove(caret, 1);
    QStringList names;
    for (const Candidate &candidate :
         CompletionCandidates(ReadCompletionContext(statement, caret), catalog, true)) {
        names << candidate.name;
        if (inserted)
            *inserted << candidate.insert;
    }
    return names;
}

} // namespace

/// Completion: the context read at the caret and the names it offers, the
/// loader against real databases, and the list in an editor with its keys and
/// the input method.
class tst_Completion : public DatabaseTest
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpServers(); }
    void cleanupTestCase()
    {
        tearDownServers();
        // Loads given up end in the background: before Qt SQL goes.
        QVERIFY(Engine::SqlThread::waitForReleased(std::chrono::seconds(30)));
    }
    void candidates_data();
    void candidates();
    void insertedQuoted();
    void longLine();
    void changesSchema_data();
    void changesSchema();
    void loads_data();
    void loads();
    void loadFailsQuietly();
    void popupKeys();
    void inputMethod();
};

void tst_Completion::candidates_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    QTest::newRow("after FROM: tables, views and schemas")
        << "select * from e|" << QStringList{"emp_view", "employees"};
    QTest::newRow("schemas too") << "select * from h|" << QStringList{"hr"};
    QTest::newRow("a FROM list after a comma")
        << "select * from employees e, d|" << QStringList{"departments"};
    QTest::newRow("JOIN, UPDATE, INTO") << "update d|" << QStringList{"departments"};
    QTest::newRow("alias") << "select * from employees e where e.|"
                           << QStringList{"empno", "ename", "sal", "deptno"};
    QTest::newRow("alias with a prefix, in upper case")
        << "select * from employees e where E.EN|" << QStringList{"ename"};
    QTest::newRow("alias after AS, FROM after the caret")
        << "select d.| from employees as e join departments d on d.deptno = e.deptno"
        << QStringList{"deptno", "dname"};
    QTest::newRow("table name as qualifier") << "select departments.dn|" << QStringList{"dname"};
    QTest::newRow("columns of the statement's tables, then tables")
        << "select de| from employees, departments" << QStringList{"deptno", "departments"};
    QTest::newRow("schema-qualified table")
        << "select x.| from hr.employees x" << QStringList{"staff_id", "hired"};
    QTest::newRow("schema.: its tables")
        << "select * from hr.|" << QStringList{"employees", "staff"};
    QTest::newRow("schema.table.: its columns")
        << "select hr.staff.| from hr.staff" << QStringList{"id", "name"};
    QTest::newRow("quoted table with an alias")
        << "select ol.| from \"Order Lines\" ol" << QStringList{"line_no", "Qty"};
    QTest::newRow("a quoted name being typed")
        << "select * from \"Ord|" << QStringList{"Order Lines"};
    QTest::newRow("Japanese names") << "select 社員.| from 社員" << QStringList{"社員番号", "氏名"};
    QTest::newRow("Japanese prefix") << "select * from 社|" << QStringList{"社員"};
    QTest::newRow("other statements do not count")
        << "select * from departments d; select d.|" << none;
    QTest::newRow("next statement's tables do not count")
        << "select d.|; select * from departments d" << none;
    QTest::newRow("inside a string") << "select 'e.| from employees e" << none;
    QTest::newRow("inside a closed string") << "select 'from em|p' from x" << none;
    QTest::newRow("inside a line comment") << "select * -- from em|" << none;
    QTest::newRow("inside an unterminated comment") << "select /* from em|" << none;
    QTest::newRow("inside a dollar body") << "do $$ select * from em|" << none;
    QTest::newRow("after a number") << "select 12|" << none;
    QTest::newRow("where an alias goes") << "select * from employees em|" << none;
    QTest::newRow("unknown alias") << "select zz.| from employees e" << none;
    QTest::newRow("a reserved name is a table too")
        << "select * from sel|" << QStringList{"select"};
}

void tst_Completion::candidates()
{
    QFETCH(QString, statement);
    QFETCH(QStringList, expected);
    QCOMPARE(Offered(statement, *SampleCatalog()), expected);
}

// A name that needs quotes goes in quoted; a typed quote is replaced whole.
void tst_Completion::insertedQuoted()
{
    const auto catalog = SampleCatalog();
    QStringList inserted;
    Offered(QStringLiteral("select ol.| from \"Order Lines\" ol"), *catalog, &inserted);
    QCOMPARE(inserted, (QStringList{"line_no", "\"Qty\""}));
    inserted.clear();
    Offered(QStringLiteral("select * from sel|"), *catalog, &inserted);
    QCOMPARE(inserted, QStringList{"\"select\""});
    QCOMPARE(QuotedNameIfNeeded(QStringLiteral("a\"b c"), false), QStringLiteral("\"a\"\"b c\""));
    QCOMPARE(QuotedNameIfNeeded(QStringLiteral("Qty"), false), QStringLiteral("Qty"));
    QCOMPARE(QuotedNameIfNeeded(QStringLiteral("社員"), true), QStringLiteral("社員"));
    const CompletionContext context = ReadCompletionContext(u"from \"Ord", 9);
    QCOMPARE(context.start, 5);
    QVERIFY(context.quoted);
}

// A statement on one line of 2 MB: the popup reads a bounded stretch around
// the caret, so the alias near it is found and nothing further is needed.
void tst_Completion::longLine()
{
    QPlainTextEdit editor;
    CompletionPopup popup(&editor);
    popup.setCatalog(SampleCatalog(), true);
    QString text = QStringLiteral("select ") + QString(2 * 1024 * 1024, u'x')
                   + QStringLiteral(" from employees e where e.");
    editor.setPlainText(text);
    editor.moveCursor(QTextCursor::End);
    popup.complete();
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.list()->model()->rowCount(), 4);
    // Inside a string that runs to the end of the line: nothing.
    editor.setPlainText(QStringLiteral("select '") + QString(1024, u'y')
                        + QStringLiteral(" from e"));
    editor.moveCursor(QTextCursor::End);
    popup.complete();
    QVERIFY(!popup.isVisible());
}

void tst_Completion::changesSchema_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("changes");
    QTest::newRow("create") << "CREATE TABLE t (a int)" << true;
    QTest::newRow("after a comment") << "-- new\n/* x */ drop view v" << true;
    QTest::newRow("second statement")
        << "insert into t values (1); alter table t add b int" << true;
    QTest::newRow("comment on") << "comment on column t.a is 'x'" << true;
    QTest::newRow("query") << "select 'create' from t" << false;
    QTest::newRow("insert") << "insert into created values (1)" << false;
}

void tst_Completion::changesSchema()
{
    QFETCH(QString, sql);
    QFETCH(bool, changes);
    QCOMPARE(ChangesSchema(sql), changes);
}

void tst_Completion::loads_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("SQLite") << "LITE";
    QTest::newRow("PostgreSQL") << "PG";
    QTest::newRow("ODBC") << "ODBC";
}

// Names with quotes, spaces and Japanese come back as they are, with their
// columns in order, views told apart, and on PostgreSQL comments and schemas.
void tst_Completion::loads()
{
    QFETCH(QString, server);
    REQUIRE_POSTGRES(server);
    // ODBC lists the tables of the search path: there the names go in public.
    const QString owner = server == QLatin1String("LITE") ? server : QStringLiteral("PG");
    const QString schemaName
        = server == QLatin1String("PG") ? QStringLiteral("補完 Test") : QString();
    const QString schema
        = schemaName.isEmpty() ? QString() : QStringLiteral("\"%1\".").arg(schemaName);
    const QString table = schema + QStringLiteral("\"Order \"\"Lines\"\"\"");
    const QString view = schema + QStringLiteral("\"社員 View\"");
    const QStringList cleanup = {QStringLiteral("drop view if exists ") + view,
                                 QStringLiteral("drop table if exists ") + table};
    QStringList setup = cleanup;
    if (!schema.isEmpty())
        setup.prepend(QStringLiteral("create schema if not exists \"補完 Test\""));
    setup << QStringLiteral("create table %1 (\"Line No\" int, 数量 int)").arg(table)
          << QStringLiteral("create view %1 as select 1 as 番号").arg(view);
    if (owner == QLatin1String("PG"))
        setup << QStringLiteral("comment on column %1.数量 is '注文の数'").arg(table);
    for (const QString &sql : setup)
        QVERIFY(observe(owner, sql));
    const auto dropAtEnd = qScopeGuard([&] {
        for (const QString &sql : cleanup)
            observe(owner, sql);
    });

    SchemaLoader loader;
    QSignalSpy loaded(&loader, &SchemaLoader::loaded);
    loader.start(*Engine::FindServer(server), userFor(server), passwordFor(server));
    QVERIFY(loaded.wait(60000));
    const auto catalog = loaded.first().first().value<std::shared_ptr<const SchemaCatalog>>();
    const int found = catalog->findRelation(schemaName, u"Order \"Lines\"");
    QVERIFY(found >= 0);
    const int foundView = catalog->findRelation(schemaName, u"社員 View");
    QVERIFY(foundView >= 0);
    const SchemaRelation &viewNames = catalog->relations()[size_t(foundView)];
    QCOMPARE(viewNames.kind, NameKind::View);
    QCOMPARE(viewNames.columns.size(), size_t(1));
    QCOMPARE(viewNames.columns[0].name, QStringLiteral("番号"));
    // The ODBC driver finds no fields for a name with a double quote in it: the
    // table is listed without its columns.
    if (server == QLatin1String("ODBC"))
        return;
    const SchemaRelation &lines = catalog->relations()[size_t(found)];
    QCOMPARE(lines.columns.size(), size_t(2));
    QCOMPARE(lines.columns[0].name, QStringLiteral("Line No"));
    QCOMPARE(lines.columns[1].name, QStringLiteral("数量"));
    if (server == QLatin1String("PG")) {
        QCOMPARE(lines.columns[1].comment, QStringLiteral("注文の数"));
        QVERIFY(!lines.visible);
        QVERIFY(catalog->hasSchema(u"補完 Test"));
        QVERIFY(!catalog->hasSchema(u"pg_catalog"));
    }
}

// A login refused fails the load, and a load stopped reports nothing.
void tst_Completion::loadFailsQuietly()
{
    SchemaLoader loader;
    QSignalSpy loaded(&loader, &SchemaLoader::loaded);
    QSignalSpy failed(&loader, &SchemaLoader::failed);
    Engine::ServerEntry missing{
        QStringLiteral("X"), QStringLiteral("QNOSUCH"), {}, {}, -1, {}, {}, 1};
    loader.start(missing, QStringLiteral("u"), QStringLiteral("p"));
    QVERIFY(failed.wait(60000));
    QVERIFY(!failed.first().first().toString().isEmpty());

    loader.start(*Engine::FindServer(QStringLiteral("LITE")), QStringLiteral("u"), QString());
    loader.stop();
    QVERIFY(!loader.isLoading());
    QVERIFY(!loaded.wait(500));
    QCOMPARE(loaded.size(), 0);
}

// Two typed characters open the list; Esc closes it without inserting, Space
// is typed and never accepts, Enter and Tab put the name in, quoted where needed.
void tst_Completion::popupKeys()
{
    QPlainTextEdit editor;
    CompletionPopup popup(&editor);
    popup.setCatalog(SampleCatalog(), true);
    editor.show();
    editor.activateWindow();
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));

    QTest::keyClicks(&editor, "select * from e");
    QCoreApplication::processEvents();
    QVERIFY(!popup.isVisible()); // one character
    QTest::keyClick(&editor, Qt::Key_M);
    QTRY_VERIFY(popup.isVisible());
    QVERIFY(editor.hasFocus());
    QTest::keyClick(&editor, Qt::Key_Escape);
    QVERIFY(!popup.isVisible());
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from em"));

    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_F5); // runs the statement: Esc is then the window's
    QVERIFY(!popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_Space);
    QVERIFY(!popup.isVisible());
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from em "));

    editor.setPlainText(QStringLiteral("select * from employees e where e"));
    editor.moveCursor(QTextCursor::End);
    QTest::keyClick(&editor, Qt::Key_Period);
    QTRY_VERIFY(popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_Down);
    QTest::keyClick(&editor, Qt::Key_Return);
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from employees e where e.ename"));

    editor.setPlainText(QStringLiteral("select * from \"Or"));
    editor.moveCursor(QTextCursor::End);
    QTest::keyClick(&editor, Qt::Key_D);
    QTRY_VERIFY(popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_Tab);
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from \"Order Lines\""));
    editor.undo();
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from \"Ord"));
}

// While the input method composes, the list is closed and none opens; the
// committed text opens it as typed text would.
void tst_Completion::inputMethod()
{
    QPlainTextEdit editor;
    CompletionPopup popup(&editor);
    popup.setCatalog(SampleCatalog(), true);
    editor.setPlainText(QStringLiteral("select * from 社"));
    editor.moveCursor(QTextCursor::End);
    popup.complete();
    QVERIFY(popup.isVisible());

    QInputMethodEvent composing(QStringLiteral("いん"), {});
    QCoreApplication::sendEvent(&editor, &composing);
    QVERIFY(!popup.isVisible());
    popup.complete(); // Ctrl+Space while composing
    QVERIFY(!popup.isVisible());
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(!popup.isVisible());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("員"));
    QCoreApplication::sendEvent(&editor, &commit);
    QCOMPARE(editor.toPlainText(), QStringLiteral("select * from 社員"));
    QTRY_VERIFY(popup.isVisible());
    QCOMPARE(popup.list()->currentIndex().data().toString(), QStringLiteral("社員"));
}

QTEST_MAIN(tst_Completion)
#include "tst_completion.moc"
