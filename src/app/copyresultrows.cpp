#include "app/copyresultrows.h"

#include "app/maincontrols.h"
#include "exec/copyrows.h"
#include "exec/resultmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QStatusBar>
#include <QTableView>

namespace SQLEdit {

bool CopyResultRows(MainControls &ui)
{
    const CopyFormat format = CopyFormat::fromSettings();
    // The selection's ranges, not its list of rows: selecting every row is one
    // range however many rows there are.
    const std::vector<RowRange> rows
        = SelectedRowRanges(ui.lvwWindow->selectionModel()->selection());
    qsizetype count = 0;
    for (const RowRange &range : rows)
        count += range.count();
    const QString text = CopyRowsText(ui.resultModel->store(), rows, format);

    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!text.isEmpty())
        clipboard->setText(text);
    // Success is told only when the clipboard holds the text now.
    const QString copied = clipboard->text();
    if (!copied.isEmpty() && copied == text) {
        ui.staMsg->showMessage(QStringLiteral("コピーが完了しました。 (") + QString::number(count)
                               + QStringLiteral("件)"));
    }
    return true;
}

} // namespace SQLEdit
