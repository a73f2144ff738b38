#include "export/exportoptions.h"

#include "exec/copyrows.h"

namespace Export {

Options Options::defaults(Format format)
{
    Options options;
    options.format = format;
    if (format == Format::Tsv) {
        options.separator = QStringLiteral("\t");
        QString separator;
        CsvSettingsFromCopy(&separator, &options.quote);
    } else {
        CsvSettingsFromCopy(&options.separator, &options.quote);
    }
    const bool spreadsheetText = format == Format::Csv || format == Format::Tsv;
    options.encoding = spreadsheetText ? Encoding::Utf8Bom : Encoding::Utf8;
    return options;
}

void CsvSettingsFromCopy(QString *separator, QString *quote)
{
    const SQLEdit::CopyFormat copy = SQLEdit::CopyFormat::fromSettings();
    const bool separatorFits = !copy.separator.isEmpty() && copy.separator != QLatin1String("\t")
                               && copy.separator != QLatin1String(" ");
    *separator = separatorFits ? copy.separator : QStringLiteral(",");
    const bool quoteFits = copy.before.size() == 1 && copy.before == copy.after
                           && copy.before.at(0).unicode() > 0x20
                           && copy.before.at(0).unicode() < 0x7f;
    *quote = quoteFits ? copy.before : QStringLiteral("\"");
    // A separator that is also the enclosing character could never be told apart.
    if (*separator == *quote)
        *separator = QStringLiteral(",");
}

QString FileSuffix(Format format)
{
    switch (format) {
    case Format::Csv:
        return QStringLiteral("csv");
    case Format::Tsv:
        return QStringLiteral("tsv");
    case Format::Json:
        return QStringLiteral("json");
    case Format::JsonLines:
        return QStringLiteral("jsonl");
    case Format::Insert:
        return QStringLiteral("sql");
    case Format::Xlsx:
        return QStringLiteral("xlsx");
    }
    return QString();
}

QString FileFilter(Format format)
{
    switch (format) {
    case Format::Csv:
        return QStringLiteral("CSVﾌｧｲﾙ (*.csv)");
    case Format::Tsv:
        return QStringLiteral("TSVﾌｧｲﾙ (*.tsv *.txt)");
    case Format::Json:
        return QStringLiteral("JSONﾌｧｲﾙ (*.json)");
    case Format::JsonLines:
        return QStringLiteral("JSON Linesﾌｧｲﾙ (*.jsonl *.json)");
    case Format::Insert:
        return QStringLiteral("SQLﾌｧｲﾙ (*.sql *.txt)");
    case Format::Xlsx:
        return QStringLiteral("Excelﾌﾞｯｸ (*.xlsx)");
    }
    return QString();
}

QString QuoteIdentifier(const QString &name, const QString &driver)
{
    const QChar quote = driver == QLatin1String("QMYSQL") ? QLatin1Char('`') : QLatin1Char('"');
    QString quoted = name;
    quoted.replace(quote, QString(2, quote));
    return quote + quoted + quote;
}

QString QuoteTableName(const QString &name, const QString &driver)
{
    // The parts between dots outside quotes, each quoted unless it is already.
    QStringList parts;
    QString part;
    QChar open;
    for (const QChar c : name.trimmed()) {
        if (open.isNull() && c == QLatin1Char('.')) {
            parts.append(part);
            part.clear();
            continue;
        }
        if (open.isNull() && part.isEmpty() && (c == QLatin1Char('"') || c == QLatin1Char('`')))
            open = c;
        else if (!open.isNull() && c == open)
            open = QChar();
        part += c;
    }
    parts.append(part);
    for (QString &each : parts) {
        const bool quoted
            = each.size() >= 2
              && (each.front() == QLatin1Char('"') || each.front() == QLatin1Char('`'))
              && each.back() == each.front();
        if (!quoted)
            each = QuoteIdentifier(each, driver);
    }
    return parts.join(QLatin1Char('.'));
}

QString CheckOptions(const Options &options)
{
    const bool delimited = options.format == Format::Csv || options.format == Format::Tsv;
    if (delimited && options.separator.isEmpty())
        return QStringLiteral("区切り文字を入力してください。");
    if (delimited && !options.quote.isEmpty()
        && (options.quote.size() != 1 || options.quote.at(0).unicode() <= 0x20
            || options.quote.at(0).unicode() >= 0x7f))
        return QStringLiteral("囲み文字は半角1文字で入力してください（空欄で囲みません）。");
    if (delimited && !options.quote.isEmpty() && options.separator.contains(options.quote))
        return QStringLiteral("区切り文字と囲み文字には別の文字を指定してください。");
    if (options.format == Format::Insert && options.tableName.trimmed().isEmpty())
        return QStringLiteral("INSERT文のテーブル名を入力してください。");
    return QString();
}

} // namespace Export
