#pragma once

#include <QString>

/// The SQL-to-code converter: turns SQL text into a few lines of Visual Basic or
/// PL/SQL source that assign the same text to a string variable.
namespace SQLEdit {

/// The six EDIT settings that shape the generated code, with the store's defaults.
/// MODE, FORMAT and BECOME choose their alternative with 1; any other value
/// gives the default's meaning.
struct ConvertSettings
{
    qint16 mode = 0;                             ///< MODE: 0 Visual Basic, 1 PL/SQL
    QString variable = QStringLiteral("strSQL"); ///< HENNAME: the variable built
    QString joint = QStringLiteral("&");         ///< JOINT: the join operator
    qint16 pause = 0;  ///< PAUSE: after each SQL line 0 a line break, 1 a space, else nothing
    qint16 format = 0; ///< FORMAT: 0 sets the variable to the empty string first, 1 does not
    qint16 become = 0; ///< BECOME: 0 one statement continued over the lines, 1 one per line

    friend bool operator==(const ConvertSettings &, const ConvertSettings &) = default;
};

/// The six settings as the settings store holds them now.
ConvertSettings CurrentConvertSettings();

/// The program code that assigns source to the variable, with CR LF between its
/// lines. Line ends of the source are CR LF pairs; a source without any is one
/// line, whatever else it holds. Quotes of the target language are doubled inside
/// the literals, so that the code rebuilds the source with each line end replaced
/// by the PAUSE choice: CR LF itself (vbCrLf, or CHR(13) and CHR(10) in PL/SQL), a
/// space, or nothing. With the space, a line that ends in a "--" comment (outside
/// quotes and block comments) ends with a line break instead, vbCrLf or CHR(10),
/// so that the comment stops there. Spaces at either end of a line stay in its
/// literal.
QString ConvertSql(const QString &source, const ConvertSettings &settings);

} // namespace SQLEdit
