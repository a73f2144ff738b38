#include "export/textwriters.h"

#include "exec/copyrows.h"
#include "export/xlsxwriter.h"

namespace Export {

TextWriter::TextWriter(const QString &path, const Options &options)
    : mOptions(options)
    , mFile(path, options.encoding)
    , mLineEnd(options.crlf ? "\r\n" : "\n")
{}

bool TextWriter::complete()
{
    endLastRow();
    writeEnd();
    return mFile.close();
}

// CSV and TSV.

DelimitedWriter::DelimitedWriter(const QString &path, const Options &options)
    : TextWriter(path, options)
    , mSeparator(options.separator.toUtf8())
    , mNull(options.nullText.toUtf8())
{
    if (!options.quote.isEmpty())
        mQuote = char(options.quote.at(0).unicode());
    for (const char c : {'\r', '\n', mQuote, mSeparator.isEmpty() ? '\n' : mSeparator.at(0)})
        mSpecial[uchar(c)] = mQuote != 0;
}

void DelimitedWriter::begin(const QStringList &columns)
{
    mColumnCount = int(columns.size());
    if (!mOptions.header)
        return;
    QByteArray name;
    for (int i = 0; i < mColumnCount; ++i) {
        if (i > 0)
            mFile.write(mSeparator);
        name.resize(0);
        AppendUtf8(name, columns.at(i));
        writeText(name);
    }
    writeLineEnd();
}

void DelimitedWriter::cell(int column, const Cell &value)
{
    if (column > 0)
        mFile.write(mSeparator);
    if (value.kind == Cell::Null)
        mFile.write(mNull);
    else
        writeText(value.text);
}

void DelimitedWriter::writeText(QByteArrayView text)
{
    bool enclose = mQuote != 0 && (text.isEmpty() || (!mNull.isEmpty() && text == mNull));
    for (qsizetype i = 0; !enclose && i < text.size(); ++i)
        enclose = mSpecial[uchar(text[i])];
    if (!enclose) {
        mFile.write(text);
        return;
    }
    ByteBuffer &out = mFile.buffer();
    out.append(mQuote);
    SQLEdit::PutDoublingEnclosing(
        text.begin(), text.end(), mQuote,
        [&out](const char *from, const char *to) { out.append(QByteArrayView(from, to)); },
        [&] {
            out.append(mQuote);
            out.append(mQuote);
        });
    out.append(mQuote);
}

std::optional<Engine::CsvFormat> DelimitedWriter::serverFormat() const
{
    if (mSeparator.size() != 1 || uchar(mSeparator[0]) >= 0x80 || mQuote == 0)
        return std::nullopt;
    Engine::CsvFormat format;
    format.delimiter = mSeparator[0];
    format.quote = mQuote;
    format.nullText = mOptions.nullText;
    return format;
}

void DelimitedWriter::csvRow(QByteArrayView line)
{
    countRow();
    if (line.endsWith('\n'))
        line.chop(1);
    mFile.write(line);
    endRow();
}

void DelimitedWriter::endRow()
{
    writeLineEnd();
    mFile.flushIfFull();
}

// JSON.

JsonWriter::JsonWriter(const QString &path, const Options &options)
    : TextWriter(path, options)
    , mLines(options.format == Format::JsonLines)
{}

void JsonWriter::begin(const QStringList &columns)
{
    mColumnCount = int(columns.size());
    QStringList seen;
    for (const QString &column : columns) {
        QString key = column;
        for (int n = 2; seen.contains(key); ++n)
            key = column + QStringLiteral("_%1").arg(n);
        seen.append(key);
        QByteArray quoted;
        AppendJsonString(quoted, key.toUtf8());
        mKeys.push_back(quoted + ':');
    }
    if (!mLines)
        mFile.write('[');
}

void JsonWriter::startRow()
{
    if (!mLines) {
        if (!mFirstRow)
            mFile.write(',');
        writeLineEnd();
    }
    mFirstRow = false;
    mFile.write('{');
}

void JsonWriter::cell(int column, const Cell &value)
{
    if (column > 0)
        mFile.write(',');
    mFile.write(mKeys[size_t(column)]);
    if (value.kind == Cell::Null)
        mFile.write("null");
    else
        AppendJsonString(mFile.buffer(), value.text);
}

void JsonWriter::endRow()
{
    mFile.write('}');
    if (mLines)
        writeLineEnd();
    mFile.flushIfFull();
}

void JsonWriter::writeEnd()
{
    if (!mLines) {
        writeLineEnd();
        mFile.write(']');
        writeLineEnd();
    }
}

// INSERT statements.

InsertWriter::InsertWriter(const QString &path, const Options &options)
    : TextWriter(path, options)
    , mBackslashes(options.driver == QLatin1String("QMYSQL"))
{}

void InsertWriter::begin(const QStringList &columns)
{
    mColumnCount = int(columns.size());
    QStringList names;
    for (const QString &column : columns)
        names.append(QuoteIdentifier(column, mOptions.driver));
    mPrefix = QStringLiteral("INSERT INTO %1 (%2) VALUES (")
                  .arg(QuoteTableName(mOptions.tableName, mOptions.driver),
                       names.join(QStringLiteral(", ")))
                  .toUtf8();
}

void InsertWriter::startRow()
{
    mFile.write(mPrefix);
}

void InsertWriter::cell(int column, const Cell &value)
{
    if (column > 0)
        mFile.write(", ");
    if (value.kind == Cell::Null) {
        mFile.write("NULL");
        return;
    }
    ByteBuffer &out = mFile.buffer();
    out.append('\'');
    for (const char c : value.text) {
        if (c == '\'' || (c == '\\' && mBackslashes))
            out.append(c);
        out.append(c);
    }
    out.append('\'');
}

void InsertWriter::endRow()
{
    mFile.write(");");
    writeLineEnd();
    mFile.flushIfFull();
}

std::unique_ptr<TableWriter>
MakeWriter(const Options &options, const QString &path, const QString &statement)
{
    switch (options.format) {
    case Format::Csv:
    case Format::Tsv:
        return std::make_unique<DelimitedWriter>(path, options);
    case Format::Json:
    case Format::JsonLines:
        return std::make_unique<JsonWriter>(path, options);
    case Format::Insert:
        return std::make_unique<InsertWriter>(path, options);
    case Format::Xlsx:
        return std::make_unique<XlsxWriter>(path, options, statement);
    }
    return nullptr;
}

} // namespace Export
