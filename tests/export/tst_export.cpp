#include "../fakedialogs.h"
#include "../filesizelimit.h"
#include "../testservers.h"
#include "../watchdog.h"
#include "engine/sqlconnectionname.h"
#include "exec/executionview.h"
#include "exec/resultmodel.h"
#include "export/exportrun.h"
#include "export/textwriters.h"
#include "export/xlsxwriter.h"
#include "oracle/db.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <optional>

using namespace Export;

namespace {

// What the export needs of the window, without the window.
class TestView : public SQLEdit::ExecutionView
{
public:
    QString statementText() const override { return statement; }
    void setRunning(bool running) override { mRunning = running; }
    bool isRunning() const override { return mRunning; }
    QString statusText() const override { return status; }
    void setStatusText(const QString &text) override { status = text; }
    void setHeaderVisible(bool) override {}
    SQLEdit::ResultModel &resultModel() override { return model; }
    QWidget *dialogParent() override { return &window; }

    QString statement;
    QString status;
    SQLEdit::ResultModel model;
    QWidget window;

private:
    bool mRunning = false;
};

using Value = std::optional<QString>;

// The values every format must carry back, one a row, beside their names.
const QList<std::pair<QString, Value>> Values = {
    {"null", std::nullopt},
    {"empty", QString("")},
    {"separators", QString("a,b;c\td")},
    {"quotes", QString("say \"hi\" 'you'")},
    {"crlf", QString("line1\r\nline2")},
    {"lf", QString("lf\nonly\\n")},
    {"leading zeros", QString("000123")},
    {"18 digits", QString("123456789012345678")},
    {"japanese", QString("日本語の値　全角")},
    {"binary", QString("0x00FF")},
    {"integer", QString("12")},
    {"real", QString("-1.5")},
    {"date", QString("2026/01/05")},
    {"date and time", QString("2026/01/05 12:34:56.5")},
};

void fillModel(SQLEdit::ResultModel &model, const QList<std::pair<QString, Value>> &values)
{
    model.clear();
    model.setColumns({"名前", "value"});
    for (const auto &[name, value] : values) {
        model.store().beginRow();
        model.store().addCell(name);
        if (value)
            model.store().addCell(*value);
        else
            model.store().addNull();
    }
    model.publishRows();
}

// Reads an exported file back with Python's own readers and prints its rows
// as JSON: texts, null, and for a workbook "n:" numbers and "d:" dates, with
// the sheet names, the frozen cell and the autofilter last.
const char ReadBack[] = R"(
import csv, json, sqlite3, sys
kind, path, arg = sys.argv[1], sys.argv[2], sys.argv[3]
rows = []
if kind in ('csv', 'tsv', 'sjis'):
    enc = 'cp932' if kind == 'sjis' else 'utf-8-sig'
    with open(path, newline='', encoding=enc) as f:
        for r in csv.reader(f, delimiter=',' if kind != 'tsv' else '\t'):
            rows.append([None if c == arg else c for c in r])
elif kind == 'json':
    data = json.load(open(path, encoding='utf-8'))
    rows = [list(o.values()) for o in data]
elif kind == 'jsonl':
    rows = [list(json.loads(l).values()) for l in open(path, encoding='utf-8')]
elif kind == 'insert':
    db = sqlite3.connect(':memory:')
    db.execute('create table "t x" ("名前" text, "value" text)')
    db.executescript(open(path, encoding='utf-8', newline='').read())
    rows = [list(r) for r in db.execute('select * from "t x"')]
elif kind == 'xlsx':
    import openpyxl, datetime
    book = openpyxl.load_workbook(path)
    def cell(v):
        if isinstance(v, (int, float)) and not isinstance(v, bool): return 'n:' + repr(v)
        if isinstance(v, datetime.datetime): return 'd:' + v.isoformat()
        return v
    rows = [[cell(v) for v in r] for r in book.worksheets[0].iter_rows(values_only=True)]
    sheet = book.worksheets[0]
    rows.append(book.sheetnames + [sheet.freeze_panes, sheet.auto_filter.ref,
                                   book.worksheets[-1]['A1'].value])
print(json.dumps(rows))
)";

QJsonArray readWithPython(const QString &kind, const QString &path, const QString &arg = QString())
{
    QProcess python;
    python.start("/usr/bin/python3", {"-c", ReadBack, kind, path, arg});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QJsonArray jsonRow(const QString &name, const QJsonValue &value)
{
    return QJsonArray{name, value};
}

QJsonValue plain(const Value &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// The rows a workbook reads back as: numbers that keep their digits and dates
// as such, NULL and the empty text as empty cells.
QJsonValue inWorkbook(const QString &name, const Value &value)
{
    static const QHash<QString, QString> typed = {{"integer", "n:12"},
                                                  {"real", "n:-1.5"},
                                                  {"date", "d:2026-01-05T00:00:00"},
                                                  {"date and time", "d:2026-01-05T12:34:56.500000"},
                                                  {"crlf", "line1\nline2"}};
    if (!value || value->isEmpty())
        return QJsonValue::Null;
    return typed.contains(name) ? QJsonValue(typed[name]) : QJsonValue(*value);
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

} // namespace

/// Export: every format read back by another program, the bytes of CSV, the
/// encodings, a full disk, and the statement streamed from real databases.
class tst_Export : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readBack_data();
    void readBack();
    void csvBytes_data();
    void csvBytes();
    void workbookCells_data();
    void workbookCells();
    void quotedNames_data();
    void quotedNames();
    void shiftJisAsksAboutUnencodable();
    void failureLeavesNoFile_data();
    void failureLeavesNoFile();
    void statementStreamsEveryRow_data();
    void statementStreamsEveryRow();
    void lostConnectionLeavesNoFile();
    void serverCsvAgreesWithRows();
    void menuCommandWritesTheListedRows();

private:
    // The exported files go to a folder of their own, apart from the logs.
    QString folder() const { return mFolder->filePath("files"); }
    QString path(const QString &name) const { return folder() + '/' + name; }

    std::unique_ptr<QTemporaryDir> mFolder;
    std::unique_ptr<FakeDialogs> mDialogs;
};

void tst_Export::init()
{
    mFolder = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mFolder->path().toUtf8());
    QVERIFY(writeTestServers(mFolder->path()));
    QVERIFY(QDir(mFolder->path()).mkdir("files"));
    mDialogs = std::make_unique<FakeDialogs>();
}

void tst_Export::cleanup()
{
    DB::DisconnectDatabase();
    Common::LastError::clear();
    mDialogs.reset();
    qunsetenv("KORVANE_HOME");
    mFolder.reset();
}

void tst_Export::readBack_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QString>("reader");

    QTest::newRow("csv") << int(Format::Csv) << int(Encoding::Utf8Bom) << true << "csv";
    QTest::newRow("tsv, lf") << int(Format::Tsv) << int(Encoding::Utf8) << false << "tsv";
    QTest::newRow("csv, shift_jis")
        << int(Format::Csv) << int(Encoding::ShiftJis) << true << "sjis";
    QTest::newRow("json") << int(Format::Json) << int(Encoding::Utf8) << true << "json";
    QTest::newRow("json lines") << int(Format::JsonLines) << int(Encoding::Utf8) << false
                                << "jsonl";
    QTest::newRow("insert, sqlite")
        << int(Format::Insert) << int(Encoding::Utf8) << true << "insert";
    QTest::newRow("insert, postgresql")
        << int(Format::Insert) << int(Encoding::Utf8) << false << "postgresql";
    QTest::newRow("xlsx") << int(Format::Xlsx) << int(Encoding::Utf8) << true << "xlsx";
}

void tst_Export::readBack()
{
    QFETCH(int, format);
    QFETCH(int, encoding);
    QFETCH(bool, crlf);
    QFETCH(QString, reader);

    TestView view;
    fillModel(view.model, Values);
    Request request;
    request.options = Options::defaults(Format(format));
    request.options.encoding = Encoding(encoding);
    request.options.crlf = crlf;
    request.options.nullText = "\\N";
    request.options.tableName = "t x";
    request.options.driver = reader == "postgresql" ? "QPSQL" : "QSQLITE";
    request.path = path("out." + FileSuffix(Format(format)));
    request.statement = "select *\r\n  from t";
    const Outcome outcome = WriteExport(view, request);
    QVERIFY2(outcome.written, qPrintable(outcome.message));
    QCOMPARE(outcome.rows, Values.size());
    QCOMPARE(filesIn(folder()), QStringList({QFileInfo(request.path).fileName()}));

    QJsonArray expected;
    const bool header = reader == "csv" || reader == "tsv" || reader == "sjis" || reader == "xlsx";
    if (header)
        expected.append(QJsonArray{"名前", "value"});
    for (const auto &[name, value] : Values)
        expected.append(jsonRow(name, reader == "xlsx" ? inWorkbook(name, value) : plain(value)));
    if (reader == "xlsx")
        expected.append(QJsonArray{"Sheet1", "SQL", "A2", "A1:B15", "select *"});

    QJsonArray actual;
    if (reader == "postgresql") {
        // The statements run into a table on the server, and its rows come back.
        Engine::SqlConnectionName name;
        QSqlDatabase db = testPostgres(name.name());
        QVERIFY2(db.open(), "run the tests through scripts/with-postgres");
        QSqlQuery query(db);
        QVERIFY(query.exec("create temporary table \"t x\" (\"名前\" text, \"value\" text)"));
        QFile file(request.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(query.exec(QString::fromUtf8(file.readAll())),
                 qPrintable(query.lastError().text()));
        QVERIFY(query.exec("select * from \"t x\""));
        while (query.next())
            actual.append(jsonRow(query.value(0).toString(),
                                  query.isNull(1) ? QJsonValue(QJsonValue::Null)
                                                  : QJsonValue(query.value(1).toString())));
        query.finish();
        db.close();
    } else {
        actual = readWithPython(reader, request.path, "\\N");
    }
    QCOMPARE(actual, expected);
}

void tst_Export::csvBytes_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("quote");
    QTest::addColumn<QString>("nullText");
    QTest::addColumn<bool>("header");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("expected");

    // Rows: NULL and the empty text, a value with the separator and quotes.
    QTest::newRow("defaults") << ","
                              << "\""
                              << "" << true << true << int(Encoding::Utf8Bom)
                              << QByteArray("\xEF\xBB\xBF名前,value\r\nnull,\r\nempty,\"\"\r\n"
                                            "q,\"a,\"\"b\"\"\"\r\n");
    QTest::newRow("null text, lf, no header") << ";"
                                              << "'"
                                              << "NULL" << false << false << int(Encoding::Utf8)
                                              << QByteArray("null;NULL\nempty;''\nq;a,\"b\"\n");
    QTest::newRow("no quote") << "\\t"
                              << ""
                              << "" << false << true << int(Encoding::Utf8)
                              << QByteArray("null\t\r\nempty\t\r\nq\ta,\"b\"\r\n");
    QTest::newRow("null text met as a value")
        << ","
        << "\""
        << "q" << false << true << int(Encoding::Utf8)
        << QByteArray("null,q\r\nempty,\"\"\r\n\"q\",\"a,\"\"b\"\"\"\r\n");
}

void tst_Export::csvBytes()
{
    QFETCH(QString, separator);
    QFETCH(QString, quote);
    QFETCH(QString, nullText);
    QFETCH(bool, header);
    QFETCH(bool, crlf);
    QFETCH(int, encoding);
    QFETCH(QByteArray, expected);

    TestView view;
    fillModel(view.model,
              {{"null", std::nullopt}, {"empty", QString("")}, {"q", QString("a,\"b\"")}});
    Request request;
    request.options = Options::defaults(Format::Csv);
    request.options.separator = frmExport::SeparatorFromText(separator);
    request.options.quote = quote;
    request.options.nullText = nullText;
    request.options.header = header;
    request.options.crlf = crlf;
    request.options.encoding = Encoding(encoding);
    request.path = path("out.csv");
    QVERIFY(WriteExport(view, request).written);
    QFile file(request.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

void tst_Export::workbookCells_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("number");

    const int text = SheetValue::String;
    QTest::newRow("integer") << "-42" << int(SheetValue::Number) << -42.0;
    QTest::newRow("zero") << "0" << int(SheetValue::Number) << 0.0;
    QTest::newRow("fraction") << "0.000123" << int(SheetValue::Number) << 0.000123;
    QTest::newRow("15 digits") << "123456789012345" << int(SheetValue::Number) << 123456789012345.0;
    QTest::newRow("16 digits") << "1234567890123456" << text << 0.0;
    QTest::newRow("15 digits after zeros")
        << "0.000123456789012345" << int(SheetValue::Number) << 0.000123456789012345;
    QTest::newRow("leading zero") << "0123" << text << 0.0;
    QTest::newRow("exponent") << "1.5e3" << int(SheetValue::Number) << 1500.0;
    QTest::newRow("too large") << "1e400" << text << 0.0;
    QTest::newRow("plus sign") << "+1" << text << 0.0;
    QTest::newRow("date") << "2024/02/29" << int(SheetValue::Date) << 0.0;
    QTest::newRow("no such day") << "2023/02/29" << text << 0.0;
    QTest::newRow("before 1900") << "1899/12/31" << text << 0.0;
    QTest::newRow("mixed marks") << "2024/02-01" << text << 0.0;
    QTest::newRow("date and time") << "2024-02-01 23:59:59" << int(SheetValue::DateTime) << 0.0;
    QTest::newRow("time zone") << "2024/02/01 10:00:00+09" << text << 0.0;
    QTest::newRow("time") << "08:30" << int(SheetValue::Time) << 0.0;
    QTest::newRow("no such time") << "24:00:00" << text << 0.0;
    QTest::newRow("binary") << "0x00FF" << text << 0.0;
}

void tst_Export::workbookCells()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(double, number);
    const SheetValue value = ClassifyText(text.toUtf8());
    QCOMPARE(int(value.kind), kind);
    if (kind == SheetValue::Number)
        QCOMPARE(value.number, number);
}

void tst_Export::quotedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("quoted");

    QTest::newRow("plain") << "t"
                           << "QPSQL"
                           << "\"t\"";
    QTest::newRow("schema") << "public.受注 明細"
                            << "QPSQL"
                            << "\"public\".\"受注 明細\"";
    QTest::newRow("already quoted") << "\"A.b\".c"
                                    << "QSQLITE"
                                    << "\"A.b\".\"c\"";
    QTest::newRow("quote inside") << "a\"b"
                                  << "QODBC"
                                  << "\"a\"\"b\"";
    QTest::newRow("mysql") << "db.t`x"
                           << "QMYSQL"
                           << "`db`.`t``x`";
}

void tst_Export::quotedNames()
{
    QFETCH(QString, name);
    QFETCH(QString, driver);
    QFETCH(QString, quoted);
    QCOMPARE(QuoteTableName(name, driver), quoted);
}

void tst_Export::shiftJisAsksAboutUnencodable()
{
    TestView view;
    fillModel(view.model, {{"a", QString("日本①😀語")}, {"b", QString("𠮷野家😀")}});
    Request request;
    request.options = Options::defaults(Format::Csv);
    request.options.encoding = Encoding::ShiftJis;
    request.path = path("sjis.csv");

    // Declined: no file.
    mDialogs->answerYes = false;
    Outcome outcome = WriteExport(view, request);
    QVERIFY(outcome.cancelled);
    QCOMPARE(mDialogs->questions.size(), 1);
    QVERIFY2(mDialogs->questions.first().contains("3 文字")
                 && mDialogs->questions.first().contains("😀、𠮷"),
             qPrintable(mDialogs->questions.first()));
    QVERIFY(!QFile::exists(request.path));

    // Agreed: each such character is a "?".
    mDialogs->answerYes = true;
    outcome = WriteExport(view, request);
    QVERIFY(outcome.written);
    QFile file(request.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringDecoder decode("Shift_JIS");
    QCOMPARE(QString(decode(file.readAll())), QString("名前,value\r\na,日本①?語\r\nb,?野家?\r\n"));
}

void tst_Export::failureLeavesNoFile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("cause");

    QTest::newRow("csv, full disk") << int(Format::Csv) << "full";
    QTest::newRow("xlsx, full disk") << int(Format::Xlsx) << "full";
    QTest::newRow("json, folder missing") << int(Format::Json) << "folder";
    QTest::newRow("tsv, cancelled") << int(Format::Tsv) << "cancel";
}

void tst_Export::failureLeavesNoFile()
{
    QFETCH(int, format);
    QFETCH(QString, cause);

    // Rows well past the limit, and a file of the chosen name there before.
    QList<std::pair<QString, Value>> values;
    for (int i = 0; i < 20000; ++i)
        values.append({QString::number(i), QString("値 %1 ").arg(i).repeated(8)});
    TestView view;
    fillModel(view.model, values);
    Request request;
    request.options = Options::defaults(Format(format));
    request.path = path("out");
    QVERIFY(writeBytes(path("out"), "old"));
    if (cause == "folder")
        request.path = path("gone/out");
    Outcome outcome;
    if (cause == "cancel") {
        // A writer given up before its end: what a cancel does.
        const std::unique_ptr<TableWriter> writer = MakeWriter(request.options, request.path, "");
        writer->begin(view.model.columnNames());
        WriteStoredRows(view.model.store(), 0, 100, *writer);
        QVERIFY(writer->complete());
    } else {
        const FileSizeLimit limit(cause == "full" ? 200000 : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        outcome = WriteExport(view, request);
    }
    QVERIFY(!outcome.written);
    if (cause == "full")
        QVERIFY2(outcome.message.contains("上限"), qPrintable(outcome.message));
    if (cause == "folder")
        QVERIFY2(outcome.message.contains("書き込めません"), qPrintable(outcome.message));
    QCOMPARE(filesIn(folder()), QStringList({"out"}));
    QFile file(path("out"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
}

void tst_Export::statementStreamsEveryRow_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("sql");

    QTest::newRow("sqlite") << "LITE"
                            << "with recursive c(i) as (select 1 union all select i + 1 from c "
                               "where i < 50000) select i, 'row ' || i, null from c";
    QTest::newRow("postgresql") << "PG"
                                << "select i, 'row ' || i, null from generate_series(1, 50000) i";
    QTest::newRow("postgresql, semicolon and comments after")
        << "PG"
        << "select i, 'row ' || i, null from generate_series(1, 50000) i -- 'x; y'\n"
           "; -- all of them\n/* done; */ ";
}

void tst_Export::statementStreamsEveryRow()
{
    QFETCH(QString, server);
    QFETCH(QString, sql);
    const Watchdog watchdog(60, "an export of 50,000 rows");
    DB::ConnectDatabase(testPostgresValue("USER"), testPostgresValue("PASSWORD"), server);
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));

    TestView view; // the list stays empty: the rows go to the file alone
    Request request;
    request.source = Source::Statement;
    request.options = Options::defaults(Format::Csv);
    request.options.encoding = Encoding::Utf8;
    request.statement = sql;
    request.path = path("rows.csv");
    const Outcome outcome = WriteExport(view, request);
    QVERIFY2(outcome.written, qPrintable(outcome.message));
    QCOMPARE(outcome.rows, 50000);
    QCOMPARE(view.model.rowCount(), 0);
    const QJsonArray rows = readWithPython("csv", request.path, "-");
    QCOMPARE(rows.size(), 50001);
    QCOMPARE(rows.at(50000), QJsonArray({"50000", "row 50000", ""}));
}

void tst_Export::lostConnectionLeavesNoFile()
{
    const Watchdog watchdog(60, "an export whose connection is lost");
    DB::ConnectDatabase(testPostgresValue("USER"), testPostgresValue("PASSWORD"), "PG");
    QVERIFY2(!Common::LastError::isSet(), "run the tests through scripts/with-postgres");
    TestView view;
    Request request;
    request.source = Source::Statement;
    request.options = Options::defaults(Format::Xlsx);
    // The server ends the session itself half-way through the rows.
    request.statement = "select i, case when i = 30000 then pg_terminate_backend(pg_backend_pid()) "
                        "end from generate_series(1, 100000) i";
    request.path = path("lost.xlsx");
    mDialogs->answerYes = false; // no reconnect
    const Outcome outcome = WriteExport(view, request);
    QVERIFY(!outcome.written);
    QVERIFY2(outcome.message.contains("接続が切れました"), qPrintable(outcome.message));
    QCOMPARE(mDialogs->questions.size(), 1);
    QCOMPARE(filesIn(folder()), QStringList());
}

// PostgreSQL writes CSV itself (COPY); its values must read as those that the
// rows read one by one give (here through JSON, which the server cannot write).
void tst_Export::serverCsvAgreesWithRows()
{
    DB::ConnectDatabase(testPostgresValue("USER"), testPostgresValue("PASSWORD"), "PG");
    QVERIFY2(!Common::LastError::isSet(), "run the tests through scripts/with-postgres");
    TestView view;
    Request request;
    request.source = Source::Statement;
    request.statement
        = "select 1 as i, 'a  '::char(5) as c, E'x,\"y\"\r\nz' as t, '' as e, null::text as n, "
          "date '2026-01-05' as d, timestamp '2026-01-05 12:34:56.5' as ts, timestamptz "
          "'2026-01-05 12:34:56+09' as tz, true as b, null::boolean as nb, '\\x00ff'::bytea as "
          "by, 'Infinity'::float8 as f, 0.1::float8 as g, 123456789012345678901::numeric as num, "
          "interval '1 day' as iv, '   '::varchar as sp, 'NaN'::float8 as nan, "
          "date '0044-03-15 BC' as bc -- a comment at the end\n;";
    QJsonArray rows[2];
    for (const Format format : {Format::Csv, Format::Json}) {
        request.options = Options::defaults(format);
        request.options.nullText = "\\N";
        request.path = path("agree." + FileSuffix(format));
        const Outcome outcome = WriteExport(view, request);
        QVERIFY2(outcome.written, qPrintable(outcome.message));
        rows[format == Format::Json] = readWithPython(FileSuffix(format), request.path, "\\N");
    }
    QCOMPARE(rows[0].size(), 2);
    QCOMPARE(rows[0].at(1), rows[1].at(0));
    QCOMPARE(rows[0].at(1).toArray().at(1), QJsonValue("a"));
}

// The command as the user meets it: the dialog (JSON Lines chosen), the file
// chooser (a name without its suffix), the status bar.
void tst_Export::menuCommandWritesTheListedRows()
{
    const Watchdog watchdog(60, "the export dialog");
    TestView view;
    fillModel(view.model, {{"a", QString("1")}, {"b", std::nullopt}});
    mDialogs->chosenFile = path("result");
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<frmExport *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QVERIFY(dialog->optListed->isChecked());
        QVERIFY(!dialog->optStatement->isEnabled()); // no connection
        dialog->cboFormat->setCurrentIndex(int(Format::JsonLines));
        QVERIFY(!dialog->txtSeparator->isEnabled());
        // Every box takes its name from its label.
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            QVERIFY2(label->buddy(), qPrintable(label->text()));
        dialog->accept();
    });
    RunExport(view, "select 1");
    QVERIFY2(view.status.startsWith("2件を書き出しました"), qPrintable(view.status));
    QVERIFY2(view.status.endsWith("result.jsonl"), qPrintable(view.status));
    QCOMPARE(readWithPython("jsonl", path("result.jsonl")),
             QJsonArray({QJsonArray{"a", "1"}, QJsonArray{"b", QJsonValue::Null}}));
}

QTEST_MAIN(tst_Export)
#include "tst_export.moc"
