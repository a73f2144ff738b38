#pragma once

#include <QDateTime>
#include <QString>

#include <array>

/// Running the statement in the editor: the text it sends, how it decides between
/// a query and other statements, the dynaset options and the elapsed-time text.
namespace SQLEdit {

/// Esc was pressed while a statement runs; the run and the row fill poll and
/// clear it.
extern bool AbortRequested;

/// The two copies of the statement text that a run makes. Only the space U+0020
/// is trimmed from their ends: the ideographic space U+3000 is text, and stays.
struct StatementText
{
    /// Every CR LF pair replaced by one space, then every tab by one space, then
    /// leading and trailing spaces removed: decides whether the run is a query.
    QString classification;
    /// Every CR LF pair made one LF (the editor's line break), then leading and
    /// trailing spaces removed; tabs stay. This copy is sent to the database.
    QString execution;
};

/// The two copies of text with CR LF line ends.
StatementText PrepareStatement(const QString &text);

/// True when the first six characters of the classification copy, upper-cased,
/// are "SELECT". Nothing else decides: a leading "(" or a comment makes a
/// statement that is not a query.
bool IsQuery(const QString &classification);

/// The dynaset options: for n = 1 to 8, when setting n equals exactly 1, bit n-1
/// is set. Any other value (2, -1) switches nothing on.
qint32 DynasetOptions(const std::array<qint16, 8> &settings);

/// The same from the settings DYNOPTION1 to DYNOPTION8, read afresh at each call.
qint32 DynasetOptionsFromSettings();

/// How long a run took, from two stamps compared at one-second resolution (both
/// cut to whole seconds first): hours with "時間" and minutes with "分" when
/// nonzero, then seconds with "秒" when nonzero or when nothing else was written
/// ("0秒", "59秒", "1分", "1時間5秒", "1時間1分1秒").
QString FormatElapsedTime(const QDateTime &start, const QDateTime &end);

} // namespace SQLEdit
