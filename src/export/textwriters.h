#pragma once

#include "export/exportoptions.h"
#include "export/outputfile.h"
#include "export/tablewriter.h"

#include <array>
#include <memory>

namespace Export {

/// The writers of text files share their file: a temporary one renamed at the
/// end, in the options' encoding, with the options' line ends.
class TextWriter : public TableWriter
{
public:
    bool complete() override;
    bool commit() override { return mFile.commit(); }
    bool failed() const override { return mFile.failed(); }
    QString error() const override { return mFile.error(); }
    qint64 unencodableCount() const override { return mFile.unencodableCount(); }
    QStringList unencodableSamples() const override { return mFile.unencodableSamples(); }
    qint64 fileSize() const override { return mFile.bytesWritten(); }
    const OutputFile &file() const { return mFile; }

protected:
    TextWriter(const QString &path, const Options &options);
    void writeLineEnd() { mFile.write(mLineEnd); }
    /// Written last, before the file is completed.
    virtual void writeEnd() {}

    Options mOptions;
    OutputFile mFile;
    QByteArray mLineEnd;
};

/// CSV and TSV: values between separators, a line a row. A value is enclosed
/// in the quote character when it holds the separator, that character (then
/// doubled), a CR or an LF, and when it is an empty text, so that it stays
/// apart from NULL (written as the NULL text, not enclosed).
class DelimitedWriter final : public TextWriter
{
public:
    DelimitedWriter(const QString &path, const Options &options);
    void begin(const QStringList &columns) override;

private:
    void startRow() override {}
    void cell(int column, const Cell &value) override;
    void endRow() override;
    void writeText(QByteArrayView text);

    QByteArray mSeparator;
    QByteArray mNull;
    char mQuote = 0;                  // 0 for none
    std::array<bool, 256> mSpecial{}; // bytes that make a value need enclosing
};

/// JSON: one array of objects, or one object a line (JSON Lines). Each object
/// holds every column by name, a repeated name numbered (_2, _3, ...); values
/// are strings, so that no digit is lost, and NULL is null.
class JsonWriter final : public TextWriter
{
public:
    JsonWriter(const QString &path, const Options &options);
    void begin(const QStringList &columns) override;

private:
    void startRow() override;
    void cell(int column, const Cell &value) override;
    void endRow() override;
    void writeEnd() override;

    bool mLines;
    bool mFirstRow = true;
    std::vector<QByteArray> mKeys; // "name": of each column
};

/// SQL: one INSERT statement a row, naming the table and its columns quoted
/// for the connected database; every value a string literal, NULL as NULL.
class InsertWriter final : public TextWriter
{
public:
    InsertWriter(const QString &path, const Options &options);
    void begin(const QStringList &columns) override;

private:
    void startRow() override;
    void cell(int column, const Cell &value) override;
    void endRow() override;

    QByteArray mPrefix; // INSERT INTO table (columns) VALUES (
    bool mBackslashes;  // MySQL reads backslashes in literals as escapes
};

/// A JSON string: quotes, backslashes and control characters escaped.
void AppendJsonString(QByteArray &out, QByteArrayView utf8);

/// The writer for the options' format, writing to path through a temporary
/// file; the statement is what an Excel workbook keeps on its last sheet.
std::unique_ptr<TableWriter>
MakeWriter(const Options &options, const QString &path, const QString &statement);

} // namespace Export
