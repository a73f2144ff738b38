#include "exec/copyrows.h"

#include "exec/resultmodel.h"
#include "settings/settingsstore.h"

#include <algorithm>
#include <cstring>

namespace SQLEdit {
namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x3000);
}

// The character that encloses each value when the texts before and after it are
// that one character (a quote, say), or none (a null QChar).
QChar enclosingCharacter(const CopyFormat &format)
{
    return format.before.size() == 1 && format.before == format.after ? format.before.at(0)
                                                                      : QChar();
}

} // namespace

CopyFormat CopyFormat::fromSettings()
{
    using FileIO::GetSettingValue;
    CopyFormat format;
    format.separator = FieldSeparator(GetSettingValue(QStringLiteral("FIELD")).toInt(),
                                      GetSettingValue(QStringLiteral("FIELDMOJI")).toString());
    if (GetSettingValue(QStringLiteral("DATAPAUSE")).toInt() == 0) {
        format.before = GetSettingValue(QStringLiteral("DATAPAUSEF")).toString();
        format.after = GetSettingValue(QStringLiteral("DATAPAUSEB")).toString();
    }
    format.trimMode = GetSettingValue(QStringLiteral("SPACE")).toInt();
    return format;
}

QString FieldSeparator(int field, const QString &userSeparator)
{
    switch (field) {
    case 0:
        return QStringLiteral(",");
    case 1:
        return QStringLiteral("\t");
    case 2:
        return QStringLiteral(";");
    case 3:
        return QStringLiteral(" ");
    case 4:
        return userSeparator;
    default:
        return QString();
    }
}

QStringView CopyCellText(QStringView text, bool isNull)
{
    return isNull ? QStringView() : text;
}

QStringView TrimCellText(QStringView text, int mode)
{
    if (mode < 0 || mode > 2)
        return text;
    qsizetype begin = 0;
    qsizetype end = text.size();
    if (mode == 0 || mode == 2) {
        while (begin < end && isBlank(text[begin]))
            ++begin;
    }
    if (mode == 1 || mode == 2) {
        while (end > begin && isBlank(text[end - 1]))
            --end;
    }
    return text.sliced(begin, end - begin);
}

std::vector<RowRange> SelectedRowRanges(const QItemSelection &selection)
{
    std::vector<RowRange> ranges;
    ranges.reserve(size_t(selection.size()));
    for (const QItemSelectionRange &range : selection) {
        if (range.isValid())
            ranges.push_back({range.top(), range.bottom()});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRange &a, const RowRange &b) { return a.first < b.first; });
    std::vector<RowRange> merged;
    for (const RowRange &range : ranges) {
        if (!merged.empty() && range.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, range.last);
        else
            merged.push_back(range);
    }
    return merged;
}

QString
CopyRowsText(const RowStore &store, const std::vector<RowRange> &rows, const CopyFormat &format)
{
    const int columns = store.columnCount();
    if (columns == 0)
        return QString();

    // The text is built once in a buffer of its largest possible size (trimming
    // only shortens it) and cut to what was written; enclosing characters that
    // a value holds, written twice, get room as they come.
    const qsizetype perRow = columns * (format.before.size() + format.after.size())
                             + (columns - 1) * format.separator.size() + 2;
    // The enclosing character, doubled inside a value, or none.
    const QChar enclosing = enclosingCharacter(format);
    // Rows the store does not hold (yet) are not read.
    const auto lastRow
        = [&store](const RowRange &range) { return qMin(range.last, store.rowCount() - 1); };
    qsizetype size = 0;
    for (const RowRange &range : rows) {
        for (qsizetype row = qMax<qsizetype>(range.first, 0); row <= lastRow(range); ++row)
            size += store.cells(row).textSize(columns) + perRow;
    }
    if (size == 0)
        return QString();
    QString text;
    text.resize(size);
    QChar *out = text.data();
    const auto put = [&out](QStringView part) {
        if (part.isEmpty())
            return; // an empty view may have no data at all
        std::memcpy(static_cast<void *>(out), part.data(), size_t(part.size()) * sizeof(QChar));
        out += part.size();
    };
    qsizetype spare = 0; // room made for doubled characters, not yet used
    const auto putDoubled = [&](QChar c) {
        if (spare == 0) {
            const qsizetype used = out - text.constData();
            spare = qMax<qsizetype>(1024, text.size() / 8);
            text.resize(text.size() + spare);
            out = text.data() + used;
        }
        --spare;
        *out++ = c;
        *out++ = c;
    };
    const auto putValue = [&](QStringView value) {
        if (enclosing.isNull()) {
            put(value);
            return;
        }
        PutDoublingEnclosing(
            value.begin(), value.end(), enclosing,
            [&](const QChar *from, const QChar *to) { put(QStringView(from, to)); },
            [&] { putDoubled(enclosing); });
    };
    const QStringView separator = format.separator;
    const QStringView before = format.before;
    const QStringView after = format.after;
    const QStringView lineEnd = u"\r\n";

    for (const RowRange &range : rows) {
        for (qsizetype row = qMax<qsizetype>(range.first, 0); row <= lastRow(range); ++row) {
            const RowStore::RowCells cells = store.cells(row);
            for (int column = 0; column < columns; ++column) {
                if (column > 0)
                    put(separator);
                put(before);
                putValue(TrimCellText(CopyCellText(cells.text(column), cells.isNull(column)),
                                      format.trimMode));
                put(after);
            }
            put(lineEnd);
        }
    }
    // No line end after the last row.
    text.resize(qMax<qsizetype>(out - text.constData() - 2, 0));
    return text;
}

} // namespace SQLEdit
