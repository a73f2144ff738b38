#pragma once

#include <QString>

namespace Export {

/// The kinds of file an export writes.
enum class Format { Csv, Tsv, Json, JsonLines, Insert, Xlsx };

/// How a text file's characters become bytes.
enum class Encoding { Utf8Bom, Utf8, ShiftJis };

/// Everything that decides what an export writes, as the export dialog sets it.
struct Options
{
    Format format = Format::Csv;
    /// Between values (CSV, TSV); any text of one or more characters.
    QString separator = QStringLiteral(",");
    /// Encloses a value that needs it, doubled inside it: one ASCII character,
    /// or empty to write every value as it is (CSV, TSV).
    QString quote = QStringLiteral("\"");
    /// What a NULL becomes (CSV, TSV); an empty text stays apart from it, as
    /// an empty value in quotes.
    QString nullText;
    /// The column names first (CSV, TSV, Excel).
    bool header = true;
    /// CR LF between lines, else LF.
    bool crlf = true;
    Encoding encoding = Encoding::Utf8Bom;
    /// The table the INSERT statements name, as typed ("schema.table" allowed).
    QString tableName;
    /// The Qt SQL driver of the connection (QPSQL, QSQLITE, QMYSQL, ...): how
    /// the INSERT statements quote names.
    QString driver;

    /// The defaults for a format: the separator and enclosing character of the
    /// copy settings where they fit it, a BOM for CSV and TSV (which spreadsheet
    /// programs need to read UTF-8), CR LF line ends.
    static Options defaults(Format format);
};

/// The separator and enclosing character that the copy settings (FIELD,
/// FIELDMOJI, DATAPAUSE, DATAPAUSEF, DATAPAUSEB) give a CSV file: the copy's
/// separator unless it is a Tab or a space (which are not CSV), else a comma;
/// the copy's enclosing character when it is one ASCII character on both
/// sides, else a double quote.
void CsvSettingsFromCopy(QString *separator, QString *quote);

/// The file name suffix of a format, without the dot ("csv", "xlsx").
QString FileSuffix(Format format);
/// The file chooser's filter for a format.
QString FileFilter(Format format);

/// A table or column name quoted for the driver: in backquotes for MySQL, in
/// double quotes for the others, a quote inside it doubled. A table name typed
/// as schema.table has each part quoted; a part already in quotes stays.
QString QuoteIdentifier(const QString &name, const QString &driver);
QString QuoteTableName(const QString &name, const QString &driver);

/// Why the options cannot be used, or empty when they can.
QString CheckOptions(const Options &options);

} // namespace Export
