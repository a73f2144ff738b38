#include "export/xlsxwriter.h"

#include "export/xlsxcheck.h"

#include <QFileInfo>

#include <xlsxwriter.h>

#include <charconv>
#include <cmath>
#include <sys/resource.h>

namespace Export {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads digits at pos into value; false unless exactly count digits are there.
bool ReadDigits(QByteArrayView text, qsizetype &pos, int count, int *value)
{
    *value = 0;
    for (int i = 0; i < count; ++i, ++pos) {
        if (pos >= text.size() || !IsDigit(text[pos]))
            return false;
        *value = *value * 10 + (text[pos] - '0');
    }
    return true;
}

// HH:MM[:SS[.fraction]] from pos to the end of the text.
bool ReadTime(QByteArrayView text, qsizetype pos, SheetValue *value)
{
    int second = 0;
    if (!ReadDigits(text, pos, 2, &value->hour) || pos >= text.size() || text[pos++] != ':'
        || !ReadDigits(text, pos, 2, &value->minute))
        return false;
    if (pos < text.size()) {
        if (text[pos++] != ':' || !ReadDigits(text, pos, 2, &second))
            return false;
        value->second = second;
        if (pos < text.size()) {
            if (text[pos] != '.' || pos + 1 >= text.size())
                return false;
            double fraction = 0;
            const auto result
                = std::from_chars(text.data() + pos, text.data() + text.size(), fraction);
            if (result.ec != std::errc() || result.ptr != text.data() + text.size())
                return false;
            value->second += fraction;
        }
    }
    return value->hour < 24 && value->minute < 60 && second < 60;
}

bool ReadDate(QByteArrayView text, SheetValue *value)
{
    qsizetype pos = 0;
    if (!ReadDigits(text, pos, 4, &value->year) || pos >= text.size())
        return false;
    const char mark = text[pos++];
    if ((mark != '/' && mark != '-') || !ReadDigits(text, pos, 2, &value->month)
        || pos >= text.size() || text[pos++] != mark || !ReadDigits(text, pos, 2, &value->day))
        return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (value->year < 1900 || value->month < 1 || value->month > 12 || value->day < 1
        || value->day > days[value->month - 1])
        return false;
    if (value->month == 2 && value->day == 29
        && !(value->year % 4 == 0 && (value->year % 100 != 0 || value->year % 400 == 0)))
        return false;
    if (pos == text.size()) {
        value->kind = SheetValue::Date;
        return true;
    }
    value->kind = SheetValue::DateTime;
    return text[pos] == ' ' && ReadTime(text, pos + 1, value);
}

// A decimal number whose digits a double keeps: no leading zeros, at most 15
// significant digits.
bool ReadNumber(QByteArrayView text, double *number)
{
    qsizetype pos = text.startsWith('-') ? 1 : 0;
    const qsizetype intStart = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    const qsizetype intDigits = pos - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0'))
        return false;
    int significant = 0;
    bool leading = true; // zeros before the first other digit do not count
    for (qsizetype i = intStart; i < text.size(); ++i) {
        if (text[i] == 'e' || text[i] == 'E')
            break;
        if (!IsDigit(text[i]))
            continue;
        leading = leading && text[i] == '0';
        if (!leading)
            ++significant;
    }
    if (significant > 15)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *number);
    return result.ec == std::errc() && result.ptr == text.data() + text.size()
           && std::isfinite(*number);
}

} // namespace

SheetValue ClassifyText(QByteArrayView text)
{
    SheetValue value;
    if (text.isEmpty() || text.size() > 40)
        return value;
    if (ReadNumber(text, &value.number)) {
        value.kind = SheetValue::Number;
        return value;
    }
    if (ReadDate(text, &value))
        return value;
    value = SheetValue();
    if (ReadTime(text, 0, &value)) {
        value.kind = SheetValue::Time;
        return value;
    }
    return SheetValue();
}

XlsxWriter::XlsxWriter(const QString &path, const Options &options, const QString &statement)
    : mOptions(options)
    , mStatement(statement)
    , mFile(path, Encoding::Utf8)
{
    if (mFile.failed())
        return;
    lxw_workbook_options workbookOptions{};
    workbookOptions.constant_memory = LXW_TRUE;
    // The rows wait in temporary files on the disk of the workbook: when that
    // disk fills up, writing the workbook itself fails too, and says so.
    mTemporaryFolder = QFile::encodeName(QFileInfo(mFile.temporaryPath()).absolutePath());
    workbookOptions.tmpdir = mTemporaryFolder.data();
    workbookOptions.use_zip64 = LXW_TRUE;
    mWorkbook
        = workbook_new_opt(QFile::encodeName(mFile.temporaryPath()).constData(), &workbookOptions);
    if (!mWorkbook) {
        mFile.fail(QStringLiteral("Excelﾌﾞｯｸを作れませんでした。"));
        return;
    }
    mHeaderFormat = workbook_add_format(mWorkbook);
    format_set_bold(mHeaderFormat);
    mDateFormat = workbook_add_format(mWorkbook);
    format_set_num_format(mDateFormat, "yyyy/mm/dd");
    mDateTimeFormat = workbook_add_format(mWorkbook);
    format_set_num_format(mDateTimeFormat, "yyyy/mm/dd hh:mm:ss");
    mTimeFormat = workbook_add_format(mWorkbook);
    format_set_num_format(mTimeFormat, "hh:mm:ss");
}

XlsxWriter::~XlsxWriter()
{
    // Closing writes the file; unfinished, it goes with the temporary file.
    if (mWorkbook)
        workbook_close(mWorkbook);
}

void XlsxWriter::check(int error)
{
    if (error != LXW_NO_ERROR)
        mFile.fail(QStringLiteral("Excelﾌﾞｯｸを書き込めませんでした。\n%1")
                       .arg(QString::fromUtf8(lxw_strerror(lxw_error(error)))));
}

void XlsxWriter::begin(const QStringList &columns)
{
    mColumns = columns;
    mColumnCount = int(columns.size());
    startSheet();
}

void XlsxWriter::startSheet()
{
    if (!mWorkbook)
        return;
    ++mSheets;
    mSheet = workbook_add_worksheet(mWorkbook,
                                    QStringLiteral("Sheet%1").arg(mSheets).toUtf8().constData());
    mRow = 0;
    mLastRow = 0;
    if (!mSheet || !mOptions.header)
        return;
    QByteArray name;
    for (int i = 0; i < mColumnCount; ++i) {
        name.resize(0);
        AppendUtf8(name, mColumns.at(i));
        writeString(0, i, name, mHeaderFormat);
    }
    worksheet_freeze_panes(mSheet, 1, 0);
    mRow = 1;
}

void XlsxWriter::endSheet()
{
    if (mSheet && mOptions.header && mColumnCount > 0)
        check(worksheet_autofilter(mSheet, 0, 0, mLastRow, lxw_col_t(mColumnCount - 1)));
}

void XlsxWriter::startRow()
{
    if (mRow > quint32(RowsPerSheet) - (mOptions.header ? 0 : 1)) {
        endSheet();
        startSheet();
    }
    mLastRow = mRow++;
}

void XlsxWriter::writeString(quint32 row, int column, QByteArrayView text, lxw_format *format)
{
    // A cell holds 32,767 characters (UTF-8 lead bytes), and no NUL.
    qsizetype characters = 0;
    qsizetype end = 0;
    for (; end < text.size(); ++end) {
        if ((uchar(text[end]) & 0xC0) != 0x80 && ++characters > CellCharacters)
            break;
    }
    if (end < text.size())
        ++mCutValues;
    mScratch.assign(text.data(), size_t(end));
    // No NUL in a cell; a line break in a cell is an LF, as Excel makes it.
    std::erase(mScratch, '\0');
    for (size_t at = mScratch.find("\r\n"); at != std::string::npos; at = mScratch.find("\r\n", at))
        mScratch.erase(at, 1);
    check(worksheet_write_string(mSheet, row, lxw_col_t(column), mScratch.c_str(), format));
}

void XlsxWriter::cell(int column, const Cell &value)
{
    if (!mSheet || failed())
        return;
    const auto col = lxw_col_t(column);
    switch (value.kind) {
    case Cell::Null:
        return;
    case Cell::Integer:
        if (std::abs(value.integer) < 1000000000000000LL) // 15 digits
            check(worksheet_write_number(mSheet, mLastRow, col, double(value.integer), nullptr));
        else
            writeString(mLastRow, column, value.text);
        return;
    case Cell::Real:
        if (std::isfinite(value.real))
            check(worksheet_write_number(mSheet, mLastRow, col, value.real, nullptr));
        else
            writeString(mLastRow, column, value.text);
        return;
    case Cell::Text:
        break;
    }
    const SheetValue sheet = ClassifyText(value.text);
    lxw_datetime when{sheet.year, sheet.month, sheet.day, sheet.hour, sheet.minute, sheet.second};
    switch (sheet.kind) {
    case SheetValue::Number:
        check(worksheet_write_number(mSheet, mLastRow, col, sheet.number, nullptr));
        break;
    case SheetValue::Date:
        check(worksheet_write_datetime(mSheet, mLastRow, col, &when, mDateFormat));
        break;
    case SheetValue::DateTime:
        check(worksheet_write_datetime(mSheet, mLastRow, col, &when, mDateTimeFormat));
        break;
    case SheetValue::Time:
        when.year = when.month = when.day = 0;
        check(worksheet_write_datetime(mSheet, mLastRow, col, &when, mTimeFormat));
        break;
    case SheetValue::String:
        writeString(mLastRow, column, value.text);
        break;
    }
}

bool XlsxWriter::complete()
{
    if (!mWorkbook)
        return false;
    endLastRow();
    endSheet();
    // The statement on a sheet of its own, a line a row.
    if (lxw_worksheet *sheet = workbook_add_worksheet(mWorkbook, "SQL")) {
        mSheet = sheet;
        const QStringList lines = QString(mStatement).remove(QLatin1Char('\r')).split(u'\n');
        for (qsizetype i = 0; i < lines.size() && i < RowsPerSheet; ++i)
            writeString(quint32(i), 0, lines.at(i).toUtf8());
    }
    const lxw_error closed = workbook_close(mWorkbook);
    mWorkbook = nullptr;
    check(closed);
    // A file size limit cuts the temporary files short unseen, while the
    // workbook, being smaller, gets written: then the sheets are read back.
    rlimit limit{};
    const bool sizeLimited
        = getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY;
    if (!failed() && sizeLimited && !WorksheetsComplete(mFile.temporaryPath()))
        mFile.fail(QStringLiteral("Excelﾌﾞｯｸの一時ファイルを最後まで書き込めませんでした"
                                  "（ディスクの空きかファイルの大きさの上限が足りません）。"));
    mSize = QFileInfo(mFile.temporaryPath()).size();
    return mFile.close();
}

bool XlsxWriter::commit()
{
    return mFile.commit();
}

} // namespace Export
