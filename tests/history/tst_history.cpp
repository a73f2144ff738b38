#include "history/historystore.h"
#include "history/sqlitehandles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace History;

class tst_History : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();
    void keepLimitPrunesOldest();
    void twoStoresShareOneFile();
    void badFiles_data();
    void badFiles();
    void laterFailureClosesOnce();
    void longStatement();

private:
    QTemporaryDir mDir;
    Store mStore;
    QDateTime mBase = QDateTime(QDate(2026, 3, 1), QTime(9, 0));
};

namespace {

const QString Emp = QStringLiteral("SELECT * FROM emp");
const QString Update = QStringLiteral("update dept set loc = 'Tokyo'");
const QString Japanese = QStringLiteral("select 売上高 from 月次集計 where 部署 = '営業'");
const QString Syntax = QStringLiteral(R"(select "a""b" from t where x = 'NEAR(a b)' -- c:d *)");
const QString Draft = QStringLiteral("下書きの SELECT 文");
const QString Removed = QStringLiteral("delete from removed_table");
const QString Percent = QStringLiteral("select id, 50% from t_x");

qint64 record(Store &store, const QString &text, const QDateTime &when, const QString &outcome)
{
    const qint64 id
        = store.recordStart({text, QStringLiteral("ORCL"), QStringLiteral("scott"), when});
    store.recordEnd(
        id, {5, 14, outcome, outcome == u"エラー" ? QStringLiteral("ORA-00942") : QString()});
    return id;
}

RunStart runOf(const QString &text)
{
    RunStart run;
    run.text = text;
    return run;
}

QStringList headsOf(const QList<Entry> &entries)
{
    QStringList heads;
    for (const Entry &entry : entries)
        heads << entry.head;
    return heads;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A second connection to a file, as another program would hold it.
Sql::Database connectTo(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    return Sql::Database(db);
}

} // namespace

void tst_History::initTestCase()
{
    QVERIFY(mStore.open(mDir.filePath("history.db")));
    record(mStore, Emp, mBase.addSecs(60), QStringLiteral("取得"));
    record(mStore, Update, mBase.addSecs(120), QStringLiteral("実行"));
    record(mStore, Emp, mBase.addSecs(180), QStringLiteral("エラー"));
    record(mStore, Japanese, mBase.addSecs(240), QStringLiteral("取得"));
    record(mStore, Syntax, mBase.addSecs(300), QStringLiteral("取得"));
    mStore.addDraft(Draft, mBase.addSecs(360));
    mStore.addDraft(QStringLiteral(" \n\t"));
    record(mStore, Removed, mBase.addSecs(420), QStringLiteral("実行"));
    record(mStore, Percent, mBase.addSecs(480), QStringLiteral("取得"));
    const QList<Entry> removed = mStore.search(Removed);
    QCOMPARE(removed.size(), 1);
    QVERIFY(mStore.remove(removed.first().textId));
}

void tst_History::search_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("heads");
    QTest::addColumn<qint64>("runs");     // of the first entry
    QTest::addColumn<QString>("outcome"); // of the first entry
    QTest::addColumn<int>("minute");      // of the first entry's last run

    const QStringList all = {Percent, Draft, Syntax, Japanese, Emp, Update};
    QTest::newRow("empty: newest first") << "" << all << 1LL << "取得" << 8;
    QTest::newRow("repeats grouped") << "emp" << QStringList{Emp} << 2LL << "エラー" << 3;
    QTest::newRow("words ANDed") << "update TOKYO" << QStringList{Update} << 1LL << "実行" << 2;
    QTest::newRow("case ignored") << "select FROM EMP" << QStringList{Emp} << 2LL << "エラー" << 3;
    QTest::newRow("no text has both") << "update emp" << QStringList{} << 0LL << "" << 0;
    QTest::newRow("short word") << "id" << QStringList{Percent} << 1LL << "取得" << 8;
    QTest::newRow("percent literal") << "%" << QStringList{Percent} << 1LL << "取得" << 8;
    QTest::newRow("underscore literal") << "_x" << QStringList{Percent} << 1LL << "取得" << 8;
    QTest::newRow("japanese short") << "売上" << QStringList{Japanese} << 1LL << "取得" << 4;
    QTest::newRow("japanese substring")
        << "月次集 業" << QStringList{Japanese} << 1LL << "取得" << 4;
    QTest::newRow("quotes") << R"("a""b")" << QStringList{Syntax} << 1LL << "取得" << 5;
    QTest::newRow("lone quote") << "\"" << QStringList{Syntax} << 1LL << "取得" << 5;
    QTest::newRow("fts syntax") << "NEAR(a -- c:d *" << QStringList{Syntax} << 1LL << "取得" << 5;
    QTest::newRow("sql") << "'; drop table texts; --" << QStringList{} << 0LL << "" << 0;
    QTest::newRow("nul") << QStringLiteral("emp") + QChar(0) + QStringLiteral("sel")
                         << QStringList{Emp} << 2LL << "エラー" << 3;
    QTest::newRow("draft") << "下書き" << QStringList{Draft} << 1LL << "下書き" << 6;
    QTest::newRow("removed group gone") << "removed_table" << QStringList{} << 0LL << "" << 0;
}

void tst_History::search()
{
    QFETCH(QString, words);
    QFETCH(QStringList, heads);
    const QList<Entry> entries = mStore.search(words);
    QCOMPARE(headsOf(entries), heads);
    if (entries.isEmpty())
        return;
    QTEST(entries.first().runs, "runs");
    QTEST(entries.first().outcome, "outcome");
    QFETCH(int, minute);
    QCOMPARE(entries.first().lastRun, mBase.addSecs(60 * minute));
    QVERIFY(mStore.isOpen());
}

void tst_History::keepLimitPrunesOldest()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    Store store;
    QVERIFY(store.open(path, 5));
    // The first text runs again at the end: its older run goes, the text stays.
    store.addDraft(QStringLiteral("again"));
    for (int i = 1; i < 999; ++i)
        store.addDraft(QStringLiteral("text %1").arg(i));
    store.addDraft(QStringLiteral("again")); // the 1000th record
    QStringList expected = {"again", "text 998", "text 997", "text 996", "text 995"};
    QList<Entry> entries = store.search(QString());
    QCOMPARE(headsOf(entries), expected);
    QCOMPARE(entries.first().runs, qint64(1));

    // Opening prunes as well.
    store.addDraft(QStringLiteral("text 999"));
    QVERIFY(store.open(path, 5));
    QCOMPARE(store.search(QString()).size(), 5);
    QCOMPARE(store.search(QStringLiteral("text 995")).size(), 0);
}

void tst_History::twoStoresShareOneFile()
{
    QTemporaryDir dir;
    Store first;
    Store second;
    QVERIFY(first.open(dir.filePath("history.db")));
    QVERIFY(second.open(dir.filePath("history.db")));
    for (int i = 0; i < 50; ++i) {
        QVERIFY(first.recordStart(runOf(QStringLiteral("select %1 from first").arg(i))) != 0);
        QVERIFY(second.recordStart(runOf(QStringLiteral("select %1 from second").arg(i))) != 0);
    }
    QCOMPARE(first.search(QStringLiteral("second")).size(), 50);
    QCOMPARE(second.search(QString()).size(), 100);
}

void tst_History::badFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // the start of the message
    const QString cannotWrite = QStringLiteral("履歴ファイルを書き込めません: ");
    QTest::newRow("garbage") << "garbage"
                             << "履歴ファイルが壊れていたため、";
    QTest::newRow("newer version") << "newer"
                                   << "新しい版の Korvane で作られた履歴です。";
    QTest::newRow("read-only folder") << "read-only folder" << cannotWrite;
    QTest::newRow("read-only file") << "read-only file" << cannotWrite;
    QTest::newRow("locked") << "locked"
                            << "履歴ファイルがほかのプログラムにロックされています。";
}

void tst_History::badFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    const QByteArray garbage = QByteArray("not a database at all, ").repeated(200);
    Sql::Database other;
    if (kind == u"garbage") {
        QVERIFY(writeFile(path, garbage));
    } else if (kind == u"newer") {
        other = connectTo(path);
        QCOMPARE(Sql::execute(other.get(), "CREATE TABLE t(x); PRAGMA user_version = 2"),
                 SQLITE_OK);
        other.reset();
    } else if (kind == u"locked") {
        other = connectTo(path);
        QCOMPARE(Sql::execute(other.get(), "CREATE TABLE t(x); BEGIN EXCLUSIVE"), SQLITE_OK);
    } else if (kind == u"read-only file") {
        QVERIFY(Store().open(path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    } else if (kind == u"read-only folder") {
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (kind.startsWith(u"read-only") && access(qPrintable(path), W_OK) == 0)
        QSKIP("this user writes to read-only files (root)");
    if (kind == u"read-only folder" && access(qPrintable(dir.path()), W_OK) == 0)
        QSKIP("this user writes to read-only folders (root)");
    const QByteArray before = contentsOf(path);

    Store store;
    QVERIFY(!store.open(path));
    QVERIFY(!store.isOpen());
    QVERIFY2(store.problem().startsWith(problem), qPrintable(store.problem()));
    QCOMPARE(store.recordStart(runOf(QStringLiteral("select 1"))), qint64(0));
    if (kind == u"garbage") {
        const QStringList moved = QDir(dir.path()).entryList({"history.db.damaged-*"});
        QCOMPARE(moved.size(), 1);
        QVERIFY(store.problem().contains(dir.filePath(moved.first())));
        QCOMPARE(contentsOf(dir.filePath(moved.first())), garbage);
        QVERIFY(store.open(path)); // a new history in its place
    } else {
        QCOMPARE(contentsOf(path), before);
    }
}

void tst_History::laterFailureClosesOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    Store store;
    QVERIFY(store.open(path));
    QStringList reported;
    store.setFailureHandler([&](const QString &problem) { reported << problem; });
    QVERIFY(store.recordStart(runOf(QStringLiteral("select 1"))) != 0);

    const Sql::Database other = connectTo(path);
    QCOMPARE(Sql::execute(other.get(), "BEGIN EXCLUSIVE"), SQLITE_OK);
    QCOMPARE(store.recordStart(runOf(QStringLiteral("select 2"))), qint64(0));
    QCOMPARE(store.recordStart(runOf(QStringLiteral("select 3"))), qint64(0));
    QCOMPARE(reported, QStringList{store.problem()});
    QVERIFY(store.problem().contains(u"ロック"));
    QVERIFY(!store.isOpen());
}

void tst_History::longStatement()
{
    QString text = QStringLiteral("select marker_near_start, ");
    text += QStringLiteral("column_name, ").repeated(10'000'000 / 13);
    text += QStringLiteral("marker_at_end from t");
    const qint64 id = mStore.recordStart(runOf(text));
    QVERIFY(id != 0);
    const QList<Entry> found = mStore.search(QStringLiteral("marker_near_start"));
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().head.size(), qsizetype(4000));
    QCOMPARE(mStore.text(found.first().textId), text);
    QVERIFY(mStore.search(QStringLiteral("marker_at_end")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_History)
#include "tst_history.moc"
