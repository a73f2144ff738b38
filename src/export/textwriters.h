#pragma once

#include "export/exportoptions.h"
#include "export/outputfile.h"
#include "export/tablewriter.h"

#include <array>
#include <memory>
#include <optional>

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
///
/// It also takes rows that the database wrote as CSV itself (Engine::CsvSink),
/// when its format is one the database can write.
class DelimitedWriter final : public TextWriter, public Engine::CsvSink
{
public:
    DelimitedWriter(const QString &path, const Options &options);
    void begin(const QStringList &columns) override;

    /// The format for a database to write, when the separator and the quote
    /// character are one ASCII character each.
    std::optional<Engine::CsvFormat> serverFormat() const;
    void columns(const QStringList &names) override { begin(names); }
    void csvRow(QByteArrayView line) override;

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
template<typename Out>
void AppendJsonString(Out &out, QByteArrayView utf8)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    qsizetype plain = 0; // start of the stretch that needs no escape
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = uchar(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(utf8.sliced(plain, i - plain));
        plain = i + 1;
        const char escaped = c == '"'    ? '"'
                             : c == '\\' ? '\\'
                             : c == '\n' ? 'n'
                             : c == '\r' ? 'r'
                             : c == '\t' ? 't'
                                         : 0;
        out.append('\\');
        if (escaped) {
            out.append(escaped);
        } else {
            out.append(QByteArrayView("u00", 3));
            out.append(hex[c >> 4]);
            out.append(hex[c & 15]);
        }
    }
    out.append(utf8.sliced(plain));
    out.append('"');
}

/// The writer for the options' format, writing to path through a temporary
/// file; the statement is what an Excel workbook keeps on its last sheet.
std::unique_ptr<TableWriter>
MakeWriter(const Options &options, const QString &path, const QString &statement);

} // namespace Export
