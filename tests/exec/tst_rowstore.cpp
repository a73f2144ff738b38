#include "../filesizelimit.h"
#include "exec/cellvalue.h"
#include "exec/copyrows.h"
#include "exec/resultmodel.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    void damagedSpillFileShowsErrors_data();
    void damagedSpillFileShowsErrors();
    void fullDiskStopsSpilling_data();
    void fullDiskStopsSpilling();
    void leftoversOfEndedCopiesGo();
};

namespace {

// A store of rows that spill from the second block on: a small budget.
SpillPolicy tinyBudget(const QString &folder)
{
    return {1, folder, 0};
}

// Rows of a number, a Japanese text or NULL, and a text of many characters.
void addRows(RowStore &store, int count)
{
    for (int row = 0; row < count; ++row) {
        store.beginRow();
        store.addCell(QString::number(row));
        if (row % 3 == 0)
            store.addNull();
        else
            store.addCell(QStringLiteral("社員名%1").arg(row));
        store.addCell(QString(40, QChar('a' + row % 26)));
    }
}

} // namespace

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
    // With a budget of a few bytes every finished block spills, in UTF-8 or,
    // for the block holding a lone surrogate, in UTF-16.
    QTest::addColumn<QList<int>>("batches");
    QTest::addColumn<bool>("prepared");
    QTest::addColumn<bool>("spilled");
    QTest::newRow("row by row") << QList<int>() << false << false;
    QTest::newRow("whole blocks") << QList<int>({4096, 4096}) << false << false;
    QTest::newRow("uneven batches") << QList<int>({1, 0, 4095, 3, 4999}) << false << false;
    QTest::newRow("prepared batches, some empty")
        << QList<int>({0, 1, 4095, 0, 4999}) << true << false;
    QTest::newRow("one batch of all") << QList<int>({10000}) << true << false;
    QTest::newRow("spilled, row by row") << QList<int>() << false << true;
    QTest::newRow("spilled, uneven batches") << QList<int>({1, 0, 4095, 3, 4999}) << true << true;
}

void tst_RowStore::rowStoreKeepsEveryCell()
{
    QFETCH(QList<int>, batches);
    QFETCH(bool, prepared);
    QFETCH(bool, spilled);
    const QString japanese = QString::fromUtf8("社員名");
    const QString longText(100000, QChar(0x3042));
    const QString surrogate = QString("a") + QChar(0xD800) + "b";
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
        if (row == 4200)
            store.addCell(surrogate);
        else if (utf8 && row != 4097)
            store.addUtf8Cell(QByteArrayView("x"));
        else
            store.addCell(row == 4097 ? QStringView(longText) : QStringView(u"x"));
    };
    QTemporaryDir folder;
    RowStore store;
    if (spilled)
        store.setSpillPolicy(tinyBudget(folder.path()));
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
        QVERIFY(store.spill());
        QCOMPARE(batch.rowCount(), 0);
    }
    const int batched = next;
    while (next < 10000)
        addRow(store, next++, false);

    QCOMPARE(store.rowCount(), 10000);
    QVERIFY(store.spill(true));
    QCOMPARE(store.spilledBlocks() >= 2, spilled);
    for (const int row : {0, 1, 2, 4095, 4096, 4097, 4100, 4105, 5000, 4200, 9999}) {
        QCOMPARE(store.cell(row, 0).toString(), QString::number(row));
        QCOMPARE(store.isNull(row, 1), row % 10 == 0);
        const bool cut = row % 10 == 5 && row < batched;
        if (!cut)
            QCOMPARE(store.cell(row, 1).toString(), row % 10 == 0 ? QString("<NULL>")
                                                    : row % 2     ? japanese
                                                                  : QString());
        // The cut character never reaches into the next cell.
        QCOMPARE(store.cell(row, 2).toString(), row == 4097   ? longText
                                                : row == 4200 ? surrogate
                                                              : QString("x"));
    }
    // Copied rows across block boundaries read the spilled blocks.
    const std::vector<RowRange> ranges = {{4090, 4100}, {4190, 4201}, {9998, 9999}};
    const QString copied = CopyRowsText(store, ranges, {",", "\"", "\"", 3});
    QVERIFY(copied.contains(QString("\r\n\"4096\",\"\",\"x\"\r\n")));
    QVERIFY(copied.contains("\"" + surrogate + "\"\r\n\"4201\""));
    QCOMPARE(copied.count("\r\n"), 11 + 12 + 2 - 1);
    // Beyond the text itself, a few bytes a cell.
    QVERIFY2(store.overheadBytes() <= 16 * 3 * 10000,
             qPrintable(QString::number(store.overheadBytes())));
}

void tst_RowStore::damagedSpillFileShowsErrors_data()
{
    // The file cut to a size (negative: that many bytes off its end), or bytes
    // of the first block changed; the rows from first to last then show errors.
    QTest::addColumn<qint64>("cutTo");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("cut to nothing") << qint64(0) << 0 << 8191;
    QTest::newRow("cut in the second block") << qint64(-5000) << 4096 << 8191;
    QTest::newRow("bytes changed") << qint64(1) << 0 << 4095;
}

// Rows of a damaged spill file show the error marker, never other values; the
// rows in memory are untouched.
void tst_RowStore::damagedSpillFileShowsErrors()
{
    QFETCH(qint64, cutTo);
    QFETCH(int, first);
    QFETCH(int, last);
    QTemporaryDir folder;
    RowStore store;
    store.setSpillPolicy(tinyBudget(folder.path()));
    store.clear(3);
    addRows(store, 3 * 4096);
    QVERIFY(store.spill(true));
    QCOMPARE(store.spilledBlocks(), 2);
    QFile file(store.spillFilePath());
    if (cutTo == 1) {
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(5000));
        QVERIFY(file.write("zz") == 2);
        file.close();
    } else {
        QVERIFY(file.resize(cutTo < 0 ? file.size() + cutTo : cutTo));
    }
    for (const int row : {0, 4095, 4096, 8191, 8192}) {
        const bool damaged = row >= first && row <= last;
        QCOMPARE(store.cell(row, 0).toString(),
                 damaged ? RowStore::ReadErrorText : QString::number(row));
        QVERIFY(!store.isNull(row, 0));
        const RowStore::RowCells cells = store.cells(row);
        QCOMPARE(cells.text(2).toString(),
                 damaged ? RowStore::ReadErrorText : QString(40, QChar('a' + row % 26)));
        QCOMPARE(cells.isNull(1), !damaged && row % 3 == 0);
    }
}

void tst_RowStore::fullDiskStopsSpilling_data()
{
    QTest::addColumn<int>("diskFreePercent");
    QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
    QTest::addColumn<int>("spilledBlocks");
    QTest::newRow("disk budget") << 100 << qint64(0) << 0;
    QTest::newRow("file size limit at once") << 0 << qint64(1) << 0;
    QTest::newRow("file size limit at the second block") << 0 << qint64(400000) << 1;
    QTest::newRow("cache folder not writable") << 0 << qint64(-1) << 0;
}

// A full disk stops spilling with the reason, and every row stays readable;
// no block is left half written. A folder that cannot hold the file keeps the
// rows in memory and says so.
void tst_RowStore::fullDiskStopsSpilling()
{
    QFETCH(int, diskFreePercent);
    QFETCH(qint64, fileSizeLimit);
    QFETCH(int, spilledBlocks);
    QTemporaryDir folder;
    QFile blocker(folder.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    const QString cache = folder.filePath(fileSizeLimit < 0 ? "file/cache" : "cache");
    RowStore store;
    store.setSpillPolicy({1, cache, diskFreePercent});
    store.clear(3);
    {
        std::optional<FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit.emplace(rlim_t(fileSizeLimit));
        RowStore batch;
        batch.clear(3);
        addRows(batch, 4 * 4096);
        store.append(std::move(batch));
        store.spill(); // the blocks go to the spill file's thread
        QCOMPARE(store.spill(true), fileSizeLimit < 0);
        QCOMPARE(store.spill(), fileSizeLimit < 0);
    }
    QCOMPARE(store.spilledBlocks(), spilledBlocks);
    QCOMPARE(store.spillStopReason().isEmpty(), fileSizeLimit < 0);
    QCOMPARE(store.spillProblem().isEmpty(), fileSizeLimit >= 0);
    if (spilledBlocks > 0)
        QVERIFY(QFileInfo(store.spillFilePath()).size() < fileSizeLimit);
    for (const int row : {0, 4096, 8191, 16383}) {
        QCOMPARE(store.cell(row, 0).toString(), QString::number(row));
        QCOMPARE(store.isNull(row, 1), row % 3 == 0);
    }
}

// Spill files that no running copy holds are removed; a live copy's stays.
void tst_RowStore::leftoversOfEndedCopiesGo()
{
    QTemporaryDir folder;
    const QStringList names = {"spill-1-0.kvs", "spill-2-0.kvs", "other.kvs"};
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const int live = ::open(QFile::encodeName(folder.filePath(names[1])).constData(), O_RDONLY);
    QVERIFY(live >= 0 && flock(live, LOCK_EX) == 0);
    QCOMPARE(RemoveSpillLeftovers(folder.path()), 1);
    QVERIFY(!QFile::exists(folder.filePath(names[0])));
    QVERIFY(QFile::exists(folder.filePath(names[1])));
    QVERIFY(QFile::exists(folder.filePath(names[2])));
    ::close(live);
    QCOMPARE(RemoveSpillLeftovers(folder.path()), 1);
    QCOMPARE(RemoveSpillLeftovers(QString()), 0);
}

QTEST_GUILESS_MAIN(tst_RowStore)

#include "tst_rowstore.moc"
