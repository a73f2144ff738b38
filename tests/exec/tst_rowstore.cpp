#include "exec/cellvalue.h"
#include "exec/resultmodel.h"

#include <QDate>
#include <QTest>

using namespace SQLEdit;

/// The text a cell shows, and the store that keeps a result's rows, apart from
/// any window or database.
class tst_RowStore : public QObject
{
    Q_OBJECT

private slots:
    void formatCellValue_data();
    void formatCellValue();
    void rowStoreKeepsEveryCell_data();
    void rowStoreKeepsEveryCell();
};

void tst_RowStore::formatCellValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("null") << QVariant(QMetaType::fromType<QString>()) << "<NULL>";
    QTest::newRow("empty text") << QVariant(QString("")) << "";
    QTest::newRow("number") << QVariant(12.5) << "12.5";
    // Reals in the shortest text that reads back as the same number.
    QTest::newRow("third") << QVariant(1.0 / 3) << "0.3333333333333333";
    QTest::newRow("large real") << QVariant(1e20) << "1e+20";
    QTest::newRow("whole real") << QVariant(100000.0) << "1e+05";
    QTest::newRow("integer") << QVariant(qint64(-9007199254740993)) << "-9007199254740993";
    QTest::newRow("date") << QVariant(QDate(2026, 1, 5)) << "2026/01/05";
    QTest::newRow("date and time")
        << QVariant(QDateTime(QDate(2026, 1, 5), QTime(9, 8, 7))) << "2026/01/05 09:08:07";
    QTest::newRow("BC date") << QVariant(QDate(-44, 3, 15)) << "0044/03/15 BC";
    QTest::newRow("time") << QVariant(QTime(9, 8, 7)) << "09:08:07";
    QTest::newRow("time with milliseconds") << QVariant(QTime(9, 8, 7, 50)) << "09:08:07.05";
    const QDate day(2026, 1, 5);
    const QTime time(9, 8, 7, 123);
    QTest::newRow("milliseconds") << QVariant(QDateTime(day, time)) << "2026/01/05 09:08:07.123";
    QTest::newRow("UTC") << QVariant(QDateTime(day, time, Qt::UTC)) << "2026/01/05 09:08:07.123+00";
    QTest::newRow("offset") << QVariant(QDateTime(day, time, Qt::OffsetFromUTC, -12600))
                            << "2026/01/05 09:08:07.123-03:30";
    QTest::newRow("BC date and time")
        << QVariant(QDateTime(QDate(-44, 3, 15), QTime(12, 0), Qt::OffsetFromUTC, 9 * 3600))
        << "0044/03/15 12:00:00+09 BC";
    QTest::newRow("bytes") << QVariant(QByteArray("\x00\xff A", 4)) << "0x00FF2041";
}

void tst_RowStore::formatCellValue()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QCOMPARE(FormatCellValue(value), text);
}

void tst_RowStore::rowStoreKeepsEveryCell_data()
{
    // Rows added one by one, or in batches moved into the store as the fill
    // does (batch sizes, then the rest one by one), their memory made ready
    // beforehand or not.
    QTest::addColumn<QList<int>>("batches");
    QTest::addColumn<bool>("prepared");
    QTest::newRow("row by row") << QList<int>() << false;
    QTest::newRow("whole blocks") << QList<int>({4096, 4096}) << false;
    QTest::newRow("uneven batches") << QList<int>({1, 0, 4095, 3, 4999}) << false;
    QTest::newRow("prepared batches, some empty") << QList<int>({0, 1, 4095, 0, 4999}) << true;
    QTest::newRow("one batch of all") << QList<int>({10000}) << true;
}

void tst_RowStore::rowStoreKeepsEveryCell()
{
    QFETCH(QList<int>, batches);
    QFETCH(bool, prepared);
    const QString japanese = QString::fromUtf8("社員名");
    const QString longText(100000, QChar(0x3042));
    // Rows of batches take their texts in UTF-8, as from SQLite.
    auto addRow = [&](RowStore &store, int row, bool utf8) {
        store.beginRow();
        store.addCell(QString::number(row));
        if (row % 10 == 0)
            store.addNull();
        else if (utf8 && row % 10 == 5) // a character cut short, as SQLite text may hold
            store.addUtf8Cell(QByteArrayView("ab\xE3\x81"));
        else if (utf8)
            store.addUtf8Cell(row % 2 ? QByteArrayView("社員名") : QByteArrayView(""));
        else
            store.addCell(row % 2 ? QStringView(japanese) : QStringView());
        if (utf8 && row != 4097)
            store.addUtf8Cell(QByteArrayView("x"));
        else
            store.addCell(row == 4097 ? QStringView(longText) : QStringView(u"x"));
    };
    RowStore store;
    store.clear(3);
    int next = 0;
    for (const int size : batches) {
        RowStore batch;
        batch.clear(3);
        if (prepared) {
            batch.prepareFirstBlock(100000);
            QVERIFY(batch.overheadBytes() >= 200000); // the room stays for the rows
        }
        for (int i = 0; i < size; ++i)
            addRow(batch, next++, true);
        store.append(std::move(batch));
        QCOMPARE(batch.rowCount(), 0);
    }
    const int batched = next;
    while (next < 10000)
        addRow(store, next++, false);

    QCOMPARE(store.rowCount(), 10000);
    for (const int row : {0, 1, 2, 4095, 4096, 4097, 4100, 4105, 5000, 9999}) {
        QCOMPARE(store.cell(row, 0).toString(), QString::number(row));
        QCOMPARE(store.isNull(row, 1), row % 10 == 0);
        const bool cut = row % 10 == 5 && row < batched;
        if (!cut)
            QCOMPARE(store.cell(row, 1).toString(), row % 10 == 0 ? QString("<NULL>")
                                                    : row % 2     ? japanese
                                                                  : QString());
        // The cut character never reaches into the next cell.
        QCOMPARE(store.cell(row, 2).toString(), row == 4097 ? longText : QString("x"));
    }
    // Beyond the text itself, a few bytes a cell.
    QVERIFY2(store.overheadBytes() <= 16 * 3 * 10000,
             qPrintable(QString::number(store.overheadBytes())));
}

QTEST_GUILESS_MAIN(tst_RowStore)

#include "tst_rowstore.moc"
