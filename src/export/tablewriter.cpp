#include "export/tablewriter.h"

#include "exec/cellvalue.h"
#include "exec/resultmodel.h"

#include <charconv>

namespace Export {

void AppendUtf8(QByteArray &out, QStringView text)
{
    // Most values are ASCII: those go a character at a time, the rest through Qt.
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *to = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            out.resize(start + i);
            out.append(text.sliced(i).toUtf8());
            return;
        }
        to[i] = char(c);
    }
}

void TableWriter::beginRow()
{
    if (mInRow)
        endRow();
    mInRow = true;
    mColumn = 0;
    mRows.fetch_add(1, std::memory_order_relaxed);
    startRow();
}

void TableWriter::endLastRow()
{
    if (mInRow)
        endRow();
    mInRow = false;
}

void TableWriter::put(const Cell &value)
{
    // A driver never sends more values than columns; should one, it is dropped.
    if (mColumn < mColumnCount)
        cell(mColumn, value);
    ++mColumn;
}

void TableWriter::addNull()
{
    put(Cell{});
}

void TableWriter::addText(QStringView text)
{
    mScratch.resize(0);
    AppendUtf8(mScratch, text);
    addUtf8Text(mScratch);
}

void TableWriter::addUtf8Text(QByteArrayView text)
{
    Cell value;
    value.kind = Cell::Text;
    value.text = text;
    put(value);
}

void TableWriter::addInteger(qint64 number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    Cell value;
    value.kind = Cell::Integer;
    value.text = QByteArrayView(digits, end - digits);
    value.integer = number;
    put(value);
}

void TableWriter::addReal(double number)
{
    const QByteArray text = SQLEdit::FormatReal(number).toLatin1();
    Cell value;
    value.kind = Cell::Real;
    value.text = text;
    value.real = number;
    put(value);
}

void TableWriter::addValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        addInteger(value.toLongLong());
    else if (value.typeId() == QMetaType::Double)
        addReal(value.toDouble());
    else
        addText(SQLEdit::FormatCellValue(value)); // dates, binary data (0x...), ...
}

void WriteStoredRows(const SQLEdit::RowStore &store,
                     qsizetype first,
                     qsizetype count,
                     TableWriter &writer)
{
    const int columns = store.columnCount();
    const qsizetype end = qMin(first + count, store.rowCount());
    for (qsizetype row = first; row < end; ++row) {
        const SQLEdit::RowStore::RowCells cells = store.cells(row);
        writer.beginRow();
        for (int column = 0; column < columns; ++column) {
            if (cells.isNull(column))
                writer.addNull();
            else
                writer.addText(cells.text(column));
        }
    }
}

} // namespace Export
