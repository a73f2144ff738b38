#pragma once

#include "export/exportoptions.h"
#include "export/outputfile.h"
#include "export/tablewriter.h"

#include <optional>
#include <string>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace Export {

/// How a text value goes into a workbook cell.
struct SheetValue
{
    enum Kind { String, Number, Date, DateTime, Time };
    Kind kind = String;
    double number = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
};

/// A text as a workbook keeps it: a number when it reads as one without losing
/// anything (at most 15 significant digits, no leading zeros), a date, a date
/// and time or a time when it is one as the result list shows them
/// (2026/01/05, 2026-01-05 12:34:56.5, 12:34:56; years 1900 to 9999), else
/// the text itself.
SheetValue ClassifyText(QByteArrayView text);

/// An Excel workbook (.xlsx) written through libxlsxwriter in its constant
/// memory mode: rows go to the file as they come, whatever their number. The
/// header row is frozen and carries an autofilter; a new sheet begins every
/// 1,048,575 rows; the statement is written on a last sheet. A text longer
/// than a cell holds (32,767 characters) is cut, and counted; CR LF in a text
/// becomes the LF that Excel breaks lines in a cell with, and NUL is dropped.
class XlsxWriter final : public TableWriter
{
public:
    /// The rows a sheet holds below its header.
    static constexpr qint64 RowsPerSheet = 1048575;
    /// The characters a cell holds.
    static constexpr qsizetype CellCharacters = 32767;

    XlsxWriter(const QString &path, const Options &options, const QString &statement);
    ~XlsxWriter() override;

    void begin(const QStringList &columns) override;
    bool complete() override;
    bool commit() override;
    bool failed() const override { return mFile.failed(); }
    qint64 fileSize() const override { return mSize; }
    QString error() const override { return mFile.error(); }
    /// Values cut to what a cell holds.
    qint64 cutValues() const override { return mCutValues; }

private:
    void startRow() override;
    void cell(int column, const Cell &value) override;
    void endRow() override {}
    void startSheet();
    void endSheet();
    void writeString(quint32 row, int column, QByteArrayView text, lxw_format *format = nullptr);
    void check(int error);

    Options mOptions;
    QString mStatement;
    OutputFile mFile; // the temporary file the workbook is written to
    lxw_workbook *mWorkbook = nullptr;
    lxw_worksheet *mSheet = nullptr;
    lxw_format *mHeaderFormat = nullptr;
    lxw_format *mDateFormat = nullptr;
    lxw_format *mDateTimeFormat = nullptr;
    lxw_format *mTimeFormat = nullptr;
    QStringList mColumns;
    int mSheets = 0;
    quint32 mRow = 0;     // in the sheet, the header's row 0 included
    quint32 mLastRow = 0; // the last row written in the sheet
    qint64 mCutValues = 0;
    qint64 mSize = 0;
    std::string mScratch; // a value with its terminating NUL
    QByteArray mTemporaryFolder;
};

} // namespace Export
