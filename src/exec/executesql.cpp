#include "exec/executesql.h"

#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "exec/cellvalue.h"
#include "exec/logs.h"
#include "exec/resultmodel.h"
#include "exec/statement.h"
#include "oracle/component.h"
#include "oracle/db.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace SQLEdit {
namespace {

// How long the fill reads rows before the window handles its events: short
// enough to keep it responsive, long enough that the events cost little.
constexpr int SliceMilliseconds = 10;

void setCommandsEnabled(frmMain &window, bool enabled)
{
    window.txtWindow->setEnabled(enabled);
    for (QMenu *menu :
         {window.mnu_file, window.mnu_edit, window.mnu_view, window.mnu_setting, window.mnu_help})
        menu->menuAction()->setEnabled(enabled);
    window.Toolbar->setEnabled(enabled);
}

void showRowCount(frmMain &window, qint32 count)
{
    window.staMsg->showMessage(QString::number(count) + QStringLiteral("件"));
}

// An error the user must see: a message box, and a record in the error log,
// which may itself fail without stopping anything.
void reportError(frmMain &window, const Common::ErrorInfo &error)
{
    Common::Dialogs::instance().message(&window, error.description + QStringLiteral("\r\n"),
                                        QStringLiteral("Error"), Common::Dialogs::Icon::Critical);
    try {
        WriteErrorLog(error);
    } catch (const Common::RuntimeError &) {
    }
}

void writeSqlLog(const QString &statement)
{
    // The statement has run: a log that cannot be written changes nothing.
    try {
        WriteSqlLog(statement);
    } catch (const Common::RuntimeError &) {
    }
}

} // namespace

bool FillResultList(frmMain &window, Ora::Dynaset &dynaset)
{
    ResultModel &model = *window.resultModel();
    QHeaderView *header = window.lvwWindow->horizontalHeader();
    qint32 count = 0;
    try {
        header->show();
        model.clear();
        if (dynaset.isEof())
            header->hide();
        window.Label1->show();
        window.lvwWindow->hide();

        RowStore &store = model.store();
        bool headersDone = false;
        QElapsedTimer slice;
        while (!dynaset.isEof()) {
            if (!slice.isValid() || slice.elapsed() >= SliceMilliseconds) {
                if (count > 0)
                    showRowCount(window, count);
                model.publishRows();
                QCoreApplication::processEvents();
                slice.start();
            }
            if (AbortRequested) {
                AbortRequested = false;
                break;
            }
            if (!headersDone) {
                headersDone = true;
                model.setColumns(dynaset.columnNames());
            }
            store.beginRow();
            for (const QVariant &value : dynaset.values()) {
                if (value.isNull())
                    store.addNull();
                else
                    store.addCell(FormatCellValue(value));
            }
            ++count;
            dynaset.moveNext();
        }
    } catch (const Common::RuntimeError &error) {
        Common::LastError::set(error.info());
        model.publishRows();
        if (count > 0)
            showRowCount(window, count);
        return false;
    }
    model.publishRows();
    if (count > 0)
        showRowCount(window, count);
    window.lvwWindow->show();
    return true;
}

bool ExecuteSql(frmMain &window)
{
    bool result = true;
    std::shared_ptr<Ora::Dynaset> dynaset;
    try {
        QString text = SelectedEditorText(window.txtWindow);
        if (text.isEmpty())
            text = EditorText(window.txtWindow);
        const StatementText statement = PrepareStatement(text);
        if (statement.classification.isEmpty()) {
            window.staMsg->clearMessage();
        } else {
            Common::LastError::clear();
            QDateTime start;
            QDateTime end;
            bool failed = false;
            if (IsQuery(statement.classification)) {
                const qint32 options = DynasetOptionsFromSettings();
                start = QDateTime::currentDateTime();
                dynaset = DB::OpenDynaset(statement.execution, options);
                end = QDateTime::currentDateTime();
                failed = Common::LastError::isSet();
            } else {
                if (!DB::InTransaction()) {
                    // Whatever the begin achieves, the statement counts as in one.
                    try {
                        DB::BeginTransaction();
                    } catch (const Common::RuntimeError &) {
                    }
                    DB::SetInTransaction(true);
                }
                Common::LastError::clear();
                start = QDateTime::currentDateTime();
                DB::ExecuteStatement(statement.execution);
                end = QDateTime::currentDateTime();
                failed = Common::LastError::isSet();
                if (!failed)
                    UncommittedChanges = true;
            }

            if (failed) {
                window.staMsg->showMessage(Common::LastError::get().description);
            } else {
                writeSqlLog(statement.execution);
                Common::LastError::clear();
                if (!dynaset) {
                    window.staMsg->showMessage(QStringLiteral("実行しました。"));
                } else {
                    window.staMsg->clearMessage();
                    window.setFocus();
                    setCommandsEnabled(window, false);
                    if (!FillResultList(window, *dynaset))
                        throw Common::RuntimeError(Common::LastError::get());
                    setCommandsEnabled(window, true);
                }
                window.staMsg->showMessage(window.staMsg->currentMessage() + QLatin1Char('\t')
                                           + FormatElapsedTime(start, end));
                QApplication::beep();
            }
        }
    } catch (const Common::RuntimeError &error) {
        result = false;
        reportError(window, error.info());
    } catch (const std::exception &error) {
        result = false;
        reportError(window, {Common::ErrInternal, QString::fromLocal8Bit(error.what()),
                             QStringLiteral("Korvane")});
    }

    // Whichever way the run ended, the window is usable again.
    window.lvwWindow->show();
    window.Label1->hide();
    setCommandsEnabled(window, true);
    window.txtWindow->setFocus();
    dynaset.reset();
    return result;
}

} // namespace SQLEdit
