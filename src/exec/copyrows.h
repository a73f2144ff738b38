#pragma once

#include <QItemSelection>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <vector>

namespace SQLEdit {

class RowStore;

/// How copied rows are written: the separator between values, the texts around
/// each value and which blanks are trimmed (the DATAEXP settings).
struct CopyFormat
{
    QString separator;
    QString before;
    QString after;
    int trimMode = 3;

    /// The format from FIELD, FIELDMOJI, DATAPAUSE, DATAPAUSEF, DATAPAUSEB and
    /// SPACE as the settings store holds them now.
    static CopyFormat fromSettings();
};

/// The separator FIELD stands for: 0 ",", 1 Tab, 2 ";", 3 " ", 4 the user's own
/// text (FIELDMOJI), anything else none.
QString FieldSeparator(int field, const QString &userSeparator);

/// The text a cell copies as: empty for a NULL value, otherwise the cell's own
/// text, so that a value which reads "<NULL>" stays as it is.
QStringView CopyCellText(QStringView text, bool isNull);

/// The text without its leading blanks (mode 0), trailing blanks (1) or both
/// (2); any other mode keeps it. Blanks are the space and the ideographic
/// (full-width) space; tabs and line breaks stay.
QStringView TrimCellText(QStringView text, int mode);

/// Writes a value with each enclosing character in it doubled, as CSV quotes
/// do ("a""b"): put(from, to) takes each stretch up to the next enclosing
/// character, putDoubled() writes that character twice. Most values hold none
/// and are one stretch. Shared by the copy (QChar) and the file export (UTF-8).
template<typename Char, typename Put, typename PutDoubled>
void PutDoublingEnclosing(
    const Char *from, const Char *end, Char enclosing, Put &&put, PutDoubled &&putDoubled)
{
    for (;;) {
        const Char *hit = std::find(from, end, enclosing);
        put(from, hit);
        if (hit == end)
            return;
        putDoubled();
        from = hit + 1;
    }
}

/// Rows from first to last, both included.
struct RowRange
{
    qsizetype first = 0;
    qsizetype last = -1;

    qsizetype count() const { return last - first + 1; }
    friend bool operator==(const RowRange &, const RowRange &) = default;
};

/// The rows a selection touches, in list order, each once: overlapping and
/// adjacent ranges become one, so that every row selected is one range.
std::vector<RowRange> SelectedRowRanges(const QItemSelection &selection);

/// The rows as copied text: per row the values in column order, each as
/// before, value, after, with the separator between values; rows joined by
/// CR LF, with none after the last. When before and after are one and the same
/// character, that character is doubled inside the values, as CSV does
/// ("a""b"); values are otherwise written as they are.
QString
CopyRowsText(const RowStore &store, const std::vector<RowRange> &rows, const CopyFormat &format);

} // namespace SQLEdit
