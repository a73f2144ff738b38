#include "engine/rowsink.h"

namespace Engine {

// A text without the trailing spaces the layer removes unless they are kept.
static QStringView TrimTrailingBlanks(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.first(end);
}

void SendValue(RowSink &sink, const QVariant &value, bool keepTrailingBlanks)
{
    if (value.isNull()) {
        sink.addNull();
    } else if (value.typeId() == QMetaType::QString) {
        const QString &text = *static_cast<const QString *>(value.constData());
        sink.addText(keepTrailingBlanks ? QStringView(text) : TrimTrailingBlanks(text));
    } else if (value.typeId() == QMetaType::Double) {
        sink.addReal(*static_cast<const double *>(value.constData()));
    } else if (value.typeId() == QMetaType::LongLong) {
        sink.addInteger(*static_cast<const qlonglong *>(value.constData()));
    } else if (value.typeId() == QMetaType::Int) {
        sink.addInteger(*static_cast<const int *>(value.constData()));
    } else {
        sink.addValue(value);
    }
}

} // namespace Engine
