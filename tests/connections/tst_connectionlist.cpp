#include "connectionrecords.h"
#include "connections/connectionlist.h"

#include <QTest>

using namespace Connections;

/// The connection list's records (DB.ini): their layout, reading, sorting, and
/// the text written back, merged with what another copy of the program saved.
class tst_ConnectionList : public QObject
{
    Q_OBJECT

private slots:
    void recordLayout();
    void parseRecord_data();
    void parseRecord();
    void findInitialRecord_data();
    void findInitialRecord();
    void sortRecords_data();
    void sortRecords();
    void listFileText_data();
    void listFileText();
    void mergeRecords_data();
    void mergeRecords();
    void withoutPassword_data();
    void withoutPassword();
};

void tst_ConnectionList::recordLayout()
{
    QCOMPARE(record("SCOTT", "DEMO", "TIGER", 1),
             QString("SCOTT              DEMO               TIGER           1"));
    QCOMPARE(record("社員", "DEMO", "パス", 0).size(), 55);
    // Longer values are cut to their fields, so that the columns stay in place.
    QCOMPARE(IdentityText(QString(20, 'U'), "S", QString(20, 'P')),
             QString(19, 'U') + "S" + QString(18, ' ') + QString(16, 'P'));
    QCOMPARE(ConnectedCaption(Base, "SCOTT", "DEMO"), QString("Korvane Ver3.1.1(SCOTT @ DEMO)"));
}

void tst_ConnectionList::parseRecord_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("fields"); // user|server|password|flag
    QTest::addColumn<bool>("initial");

    QTest::newRow("record") << record("SCOTT", "DEMO", "TIGER", 1) << "SCOTT|DEMO|TIGER|1" << true;
    QTest::newRow("only 15 characters of the user ID")
        << QString("ABCDEFGHIJKLMNOPQRS") + QString("DEMO").leftJustified(19) + "TIGER"
        << "ABCDEFGHIJKLMNO|DEMO|TIGER|" << false;
    QTest::newRow("short line") << "SCOTT   DEMO"
                                << "SCOTT   DEMO|||" << false;
    QTest::newRow("200 characters")
        << record("A", "B", "C", 1) + QString(145, 'x') << "A|B|C|1" << true;
    QTest::newRow("tabs stay") << "\tSCOTT" + QString(13, ' ') + "DEMO\t"
                               << "\tSCOTT|DEMO\t||" << false;
    QTest::newRow("flag not a digit") << record("A", "B", "C", 0).left(54) + "x"
                                      << "A|B|C|x" << false;
    QTest::newRow("flag 2") << record("A", "B", "C", 2) << "A|B|C|2" << false;
    // A field never holds half of a character of two UTF-16 units: the one that
    // the 15th position cuts is left out.
    QTest::newRow("edge cuts a surrogate pair")
        << QString("山").repeated(14) + "𠮷" + "   " + QString("DEMO").leftJustified(19) + "P"
        << QString("山").repeated(14) + "|DEMO|P|" << false;
    QTest::newRow("field starts inside a surrogate pair")
        << QString(18, 'A') + "𠮷" + "EMO" << QString(15, 'A') + "|EMO||" << false;
}

void tst_ConnectionList::parseRecord()
{
    QFETCH(QString, line);
    QFETCH(QString, fields);
    QFETCH(bool, initial);
    const Entry entry = ParseRecord(line);
    QCOMPARE(QStringList({entry.userId, entry.serverName, entry.password, entry.flag}).join('|'),
             fields);
    QCOMPARE(entry.isInitial(), initial);
}

void tst_ConnectionList::findInitialRecord_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("found"); // user@server, empty: none
    QTest::newRow("none flagged") << QStringList({record("A", "S", "P", 0), ""}) << "";
    QTest::newRow("first of two flagged") << QStringList(
        {record("A", "S", "P", 0), record("B", "S", "P", 1), record("C", "S", "P", 1)})
                                          << "B@S";
    QTest::newRow("blank flag and short line")
        << QStringList({record("A", "S", "P", 0).left(54), "B                  S   1"}) << "";
    QTest::newRow("empty fields") << QStringList({QString(54, ' ') + "1"}) << "@";
}

void tst_ConnectionList::findInitialRecord()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, found);
    const std::optional<Entry> entry = FindInitialRecord(lines);
    QCOMPARE(entry ? entry->userId + "@" + entry->serverName : QString(), found);
}

void tst_ConnectionList::sortRecords_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("order"); // the users in sorted order

    const QStringList records = {record("SCOTT", "PG", "1", 0), record("ADMIN", "PG", "2", 0),
                                 record("SCOTT", "DEMO", "3", 0), record("scott", "A", "4", 0),
                                 record("ADMIN", "DEMO", "5", 1)};
    QTest::newRow("by user ID, then the server") << records << 0
                                                 << "ADMIN@DEMO ADMIN@PG "
                                                    "SCOTT@DEMO SCOTT@PG scott@A";
    QTest::newRow("by server, then the user ID") << records << 1
                                                 << "scott@A ADMIN@DEMO "
                                                    "SCOTT@DEMO ADMIN@PG SCOTT@PG";
    QTest::newRow("one record") << QStringList({records.first()}) << 1 << "SCOTT@PG";
}

void tst_ConnectionList::sortRecords()
{
    QFETCH(QStringList, records);
    QFETCH(int, key);
    QFETCH(QString, order);
    QStringList users;
    for (const QString &line :
         SortRecords(records, key == 0 ? SortKey::UserId : SortKey::ServerName)) {
        const Entry entry = ParseRecord(line);
        users << entry.userId + "@" + entry.serverName;
    }
    QCOMPARE(users.join(' '), order);
}

void tst_ConnectionList::listFileText_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("identity"); // the confirmed connection
    QTest::addColumn<bool>("makeInitial");
    QTest::addColumn<bool>("addToList");
    QTest::addColumn<QStringList>("lines");

    const QString a1 = record("A", "S", "P", 1);
    const QString b0 = record("B", "S", "P", 0);
    const QString b1 = record("B", "S", "P", 1);
    const QString c0 = record("C", "S", "P", 0);
    const QString c1 = record("C", "S", "P", 1);
    const QString newC = IdentityText("C", "S", "P");
    QTest::newRow("in the list under other letter case: its flag only")
        << QStringList({a1, b0}) << IdentityText("b", "s", "p") << true << true
        << QStringList({record("A", "S", "P", 0), b1});
    QTest::newRow("registered as the start-up connection")
        << QStringList({a1, b0}) << newC << true << true
        << QStringList({record("A", "S", "P", 0), b0, c1});
    QTest::newRow("start-up but not registered: none remains")
        << QStringList({a1, b0}) << newC << true << false
        << QStringList({record("A", "S", "P", 0), b0});
    QTest::newRow("not start-up: its flag cleared, others kept")
        << QStringList({a1, b1, c1}) << IdentityText("B", "S", "P") << false << true
        << QStringList({a1, b0, c1});
    QTest::newRow("registered, not start-up")
        << QStringList({a1}) << newC << false << true << QStringList({a1, c0});
    QTest::newRow("empty list, nothing registered")
        << QStringList() << newC << false << false << QStringList();
    // A short line keeps its fields when every flag is cleared: the flag goes in
    // its column, not after the last field.
    QTest::newRow("short line made start-up elsewhere")
        << QStringList({"short", b1}) << IdentityText("A", "S", "P") << true << true
        << QStringList({QString("short").leftJustified(54) + "0", b0, record("A", "S", "P", 1)});
    QTest::newRow("short line is the start-up connection")
        << QStringList({"B                  S"}) << IdentityText("b", "s", "") << true << false
        << QStringList({QString("B                  S").leftJustified(54) + "1"});
    QTest::newRow("other lines kept whole") << QStringList({"short", a1 + "tail"}) << newC << false
                                            << false << QStringList({"short", a1 + "tail"});
}

void tst_ConnectionList::listFileText()
{
    QFETCH(QStringList, records);
    QFETCH(QString, identity);
    QFETCH(bool, makeInitial);
    QFETCH(bool, addToList);
    QFETCH(QStringList, lines);
    const QString expected = lines.isEmpty() ? QString() : lines.join("\r\n") + "\r\n";
    QCOMPARE(ListFileText(records, identity, makeInitial, addToList), expected);
}

// Another Korvane saved the list while this one's dialog was open.
void tst_ConnectionList::mergeRecords_data()
{
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QStringList>("edited");
    QTest::addColumn<QStringList>("latest");
    QTest::addColumn<QStringList>("merged");

    const QString a0 = record("A", "S", "P", 0);
    const QString a1 = record("A", "S", "P", 1);
    const QString b0 = record("B", "S", "P", 0);
    const QString c0 = record("C", "S", "P", 0);
    const QString d1 = record("D", "S", "P", 1);
    QTest::newRow("unchanged file")
        << QStringList{a0, b0} << QStringList{b0, a0} << QStringList{a0, b0} << QStringList{b0, a0};
    QTest::newRow("added elsewhere: after the dialog's, in file order")
        << QStringList{a0} << QStringList{a0} << QStringList{d1, a0, c0} << QStringList{a0, d1, c0};
    QTest::newRow("deleted elsewhere")
        << QStringList{a0, b0} << QStringList{a0, b0} << QStringList{b0} << QStringList{b0};
    QTest::newRow("deleted here stays deleted")
        << QStringList{a0, b0} << QStringList{b0} << QStringList{a0, b0} << QStringList{b0};
    QTest::newRow("flag changed elsewhere: the file's record")
        << QStringList{a0, b0} << QStringList{a0, b0} << QStringList{a1, b0} << QStringList{a1, b0};
    QTest::newRow("same identity in other letter case is the same connection")
        << QStringList{} << QStringList{a0} << QStringList{record("a", "s", "p", 0)}
        << QStringList{record("a", "s", "p", 0)};
    QTest::newRow("file gone: only what the dialog never read")
        << QStringList{a0} << QStringList{a0} << QStringList{} << QStringList{};
    QTest::newRow("blank lines of the file passed over")
        << QStringList{} << QStringList{} << QStringList{"", "   ", c0} << QStringList{c0};
}

void tst_ConnectionList::mergeRecords()
{
    QFETCH(QStringList, loaded);
    QFETCH(QStringList, edited);
    QFETCH(QStringList, latest);
    QTEST(MergeRecords(loaded, edited, latest), "merged");
}

// A password moved into the keyring blanks its field only: every other character
// of the file stays as it was, a hand-edited short line included.
void tst_ConnectionList::withoutPassword_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    const QString padded = QString(16, ' ');
    QTest::newRow("record") << RecordText("SCOTT", "LITE", "TIGER", 1)
                            << RecordText("SCOTT", "LITE", "", 1);
    QTest::newRow("other letter case, text after the flag")
        << RecordText("scott", "lite", "TIGER", 0) + "xyz"
        << RecordText("scott", "lite", "", 0) + "xyz";
    QTest::newRow("short line") << QString("SCOTT").leftJustified(19) + "LITE"
                                << QString("SCOTT").leftJustified(19)
                                       + QString("LITE").leftJustified(19) + padded;
    QTest::newRow("another connection")
        << RecordText("SCOTT", "PG", "TIGER", 0) << RecordText("SCOTT", "PG", "TIGER", 0);
}

void tst_ConnectionList::withoutPassword()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(WithoutPassword({line}, "SCOTT", "LITE"), QStringList({expected}));
}

QTEST_GUILESS_MAIN(tst_ConnectionList)

#include "tst_connectionlist.moc"
