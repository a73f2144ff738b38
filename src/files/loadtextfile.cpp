#include "files/loadtextfile.h"

#include "common/common.h"
#include "files/textfiles.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace FileIO {

void LoadTextFile(const QString &path, QWidget *control, QString *encoding)
{
    const QStringList lines = ReadTextLines(path, encoding);
    const QString kind = control->objectName().left(3);
    if (kind == QLatin1String("txt")) {
        auto *editor = qobject_cast<QPlainTextEdit *>(control);
        if (!editor || lines.isEmpty())
            return;
        // One insertion for the whole file: line by line is slow for large files.
        const QString lineEnd = QStringLiteral("\r\n");
        editor->insertPlainText(lines.join(lineEnd) + lineEnd);
    } else if (kind == QLatin1String("lst")) {
        auto *list = qobject_cast<QListWidget *>(control);
        if (!list)
            return;
        for (const QString &line : lines) {
            if (!Common::TrimSpaces(line).isEmpty())
                list->addItem(line);
        }
    }
}

QString NotTextMessage(const QString &path)
{
    return QStringLiteral("%1\nは UTF-8 または Shift_JIS のテキストファイルではないため、"
                          "読み込めません。")
        .arg(path);
}

} // namespace FileIO
