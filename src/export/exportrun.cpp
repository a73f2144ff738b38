#include "export/exportrun.h"

#include "common/appdir.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "connections/pendingwork.h"
#include "engine/errors.h"
#include "engine/servers.h"
#include "engine/sqlthread.h"
#include "exec/executionview.h"
#include "exec/logs.h"
#include "exec/resultmodel.h"
#include "exec/statement.h"
#include "export/textwriters.h"
#include "oracle/component.h"
#include "oracle/db.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QRadioButton>

namespace Export {

namespace {

const QString Title = QStringLiteral("ｴｸｽﾎﾟｰﾄ");
// Rows handed to the writer at a time: one batch of the connection's reading.
constexpr qsizetype BatchRows = 4096;

// The progress window: the rows written, a Cancel button that Esc presses too.
// Shown at once and updated a few times a second, handling the window's events.
class Progress
{
public:
    Progress(QWidget *parent, qint64 total)
        : mDialog(QStringLiteral("書き出しています..."),
                  QStringLiteral("中止"),
                  0,
                  int(qMin<qint64>(total, INT_MAX)),
                  parent)
    {
        mDialog.setObjectName(QStringLiteral("prgExport"));
        mDialog.setWindowTitle(Title);
        mDialog.setWindowModality(Qt::WindowModal);
        mDialog.setMinimumDuration(0);
        mDialog.setAutoClose(false);
        mDialog.setAutoReset(false);
        mDialog.setValue(0);
        mTimer.start();
    }

    /// False once the user has asked to stop.
    bool update(qint64 rows)
    {
        if (mTimer.elapsed() >= 100) {
            mTimer.restart();
            if (mDialog.maximum() > 0)
                mDialog.setValue(int(qMin<qint64>(rows, mDialog.maximum())));
            mDialog.setLabelText(
                QStringLiteral("%1件 書き出しました").arg(QLocale().toString(rows)));
            QCoreApplication::processEvents();
        }
        return !stopped();
    }
    bool stopped() const { return mDialog.wasCanceled() || SQLEdit::AbortRequested; }
    QProgressDialog &dialog() { return mDialog; }

private:
    QProgressDialog mDialog;
    QElapsedTimer mTimer;
};

// While the query opens and its rows are read the window stays live, and the
// progress window's Cancel stops the query on the server.
class ExportWait final : public Engine::StatementWait
{
public:
    ExportWait(Progress &progress, const TableWriter &writer)
        : mProgress(progress)
        , mWriter(writer)
    {}
    bool poll(const Engine::RunningStatement &statement) override
    {
        mProgress.update(mWriter.rowsWritten());
        QCoreApplication::processEvents();
        return statement.cancellable && mProgress.stopped();
    }

private:
    Progress &mProgress;
    const TableWriter &mWriter;
};

void writeListedRows(SQLEdit::ExecutionView &view, TableWriter &writer, Outcome &outcome)
{
    const SQLEdit::ResultModel &model = view.resultModel();
    const SQLEdit::RowStore &store = model.store();
    Progress progress(view.dialogParent(), store.rowCount());
    writer.begin(model.columnNames());
    for (qsizetype row = 0; row < store.rowCount() && !writer.failed(); row += BatchRows) {
        WriteStoredRows(store, row, BatchRows, writer);
        if (!progress.update(writer.rowsWritten())) {
            outcome.cancelled = true;
            return;
        }
    }
}

void writeSqlLog(const QString &statement)
{
    // The statement has run: a log that cannot be written changes nothing.
    try {
        SQLEdit::WriteSqlLog(QString(statement).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    } catch (const Common::RuntimeError &) {
    }
}

// PostgreSQL writes the rows as CSV itself (COPY) when the file's format is
// one it can write, much faster than they can be read one by one. False when
// the database or the format cannot, and nothing ran.
bool copyServerCsv(const QString &statement, TableWriter &writer, Outcome &outcome)
{
    auto *delimited = dynamic_cast<DelimitedWriter *>(&writer);
    const std::optional<Engine::CsvFormat> format
        = delimited ? delimited->serverFormat() : std::nullopt;
    if (!format)
        return false;
    const std::optional<qint64> rows
        = DB::CopyCsv(statement, SQLEdit::DynasetOptionsFromSettings(), *format, *delimited);
    if (Common::LastError::isSet())
        throw Common::RuntimeError(Common::LastError::get());
    if (rows)
        outcome.rows = *rows;
    return rows.has_value();
}

// Runs the statement and streams its rows into the writer on the connection's
// thread, a batch at a time: memory stays the same whatever the row count.
void writeStatementRows(SQLEdit::ExecutionView &view,
                        const QString &statement,
                        TableWriter &writer,
                        Outcome &outcome)
{
    Progress progress(view.dialogParent(), 0);
    ExportWait wait(progress, writer);
    const Engine::ScopedStatementWait waiting(wait);
    const bool workBefore = DB::UncommittedChanges();
    try {
        if (copyServerCsv(statement, writer, outcome)) {
            writeSqlLog(statement);
            return;
        }
        std::shared_ptr<Ora::Dynaset> dynaset
            = DB::OpenDynaset(statement, SQLEdit::DynasetOptionsFromSettings());
        if (Common::LastError::isSet())
            throw Common::RuntimeError(Common::LastError::get());
        writeSqlLog(statement);
        writer.begin(dynaset->columnNames());
        while (!dynaset->isEof() && !writer.failed()) {
            bool cancelled = false;
            dynaset->readRows(writer, BatchRows, &cancelled);
            if (cancelled || !progress.update(writer.rowsWritten())) {
                outcome.cancelled = true;
                return;
            }
        }
    } catch (const Common::RuntimeError &error) {
        if (error.number() == Engine::ErrCancelled) {
            outcome.cancelled = true;
            return;
        }
        outcome.message = error.description();
        if (error.number() == Engine::ErrConnectionLost) {
            progress.dialog().hide();
            Connections::ReportLostConnection(view.dialogParent(), workBefore);
        }
    }
}

// Characters that Shift_JIS lacks: the file is kept, with "?" for them, only
// when the user agrees.
bool acceptUnencodable(QWidget *parent, const TableWriter &writer)
{
    if (writer.unencodableCount() == 0)
        return true;
    return Common::Dialogs::instance().question(
        parent,
        QStringLiteral("Shift_JISで表せない文字が %1 文字あります（%2 など）。\n"
                       "これらを「?」に置き換えて保存しますか?")
            .arg(QLocale().toString(writer.unencodableCount()),
                 writer.unencodableSamples().join(QStringLiteral("、"))),
        Title);
}

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

Outcome WriteExport(SQLEdit::ExecutionView &view, const Request &request)
{
    Outcome outcome;
    QElapsedTimer timer;
    timer.start();
    SQLEdit::AbortRequested = false;
    const std::unique_ptr<TableWriter> writer
        = MakeWriter(request.options, request.path, request.statement);
    if (!writer->failed()) {
        if (request.source == Source::ListedRows)
            writeListedRows(view, *writer, outcome);
        else
            writeStatementRows(view, request.statement, *writer, outcome);
    }
    SQLEdit::AbortRequested = false;
    outcome.rows = writer->rowsWritten();
    if (outcome.cancelled || !outcome.message.isEmpty())
        return outcome; // the temporary file goes with the writer
    if (!writer->complete()) {
        outcome.message = writer->error();
        return outcome;
    }
    if (!acceptUnencodable(view.dialogParent(), *writer)) {
        outcome.cancelled = true;
        return outcome;
    }
    if (!writer->commit()) {
        outcome.message = writer->error();
        return outcome;
    }
    outcome.written = true;
    outcome.bytes = writer->fileSize();
    outcome.milliseconds = timer.elapsed();
    if (writer->cutValues() > 0)
        outcome.message = QStringLiteral("32,767文字を超える値 %1 件は、Excelのｾﾙに入る長さに"
                                         "切り詰めました。")
                              .arg(QLocale().toString(writer->cutValues()));
    return outcome;
}

namespace {

// The connected database's driver, for quoting names; empty when unknown.
QString connectedDriver()
{
    const std::optional<Engine::ServerEntry> server = Engine::FindServer(DB::CurrentServerName());
    return server ? server->driver : QString();
}

// The file chosen for the format, with its suffix added when it has none; a
// name made longer that way is asked about here, as the chooser asked only
// about the name typed. Empty when cancelled.
QString chooseFile(QWidget *parent, Format format)
{
    using Common::Dialogs;
    const QString chosen = Dialogs::instance().saveFileName(
        parent, Title, Common::DocumentsDirectory(), FileFilter(format));
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    const QString path = chosen + QLatin1Char('.') + FileSuffix(format);
    if (QFileInfo::exists(path)
        && !Dialogs::instance().question(
            parent, QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(path), Title))
        return QString();
    return path;
}

} // namespace

void RunExport(SQLEdit::ExecutionView &view, const QString &listedStatement)
{
    using Common::Dialogs;
    const QString typed = view.statementText();
    const SQLEdit::StatementText statement = SQLEdit::PrepareStatement(typed);
    const bool connected = !DB::CurrentServerName().isEmpty() && !DB::ConnectionLost();
    const bool rowsListed = view.resultModel().columnCount() > 0;
    frmExport dialog(view.dialogParent(), rowsListed,
                     connected && SQLEdit::IsQuery(statement.classification), connectedDriver());
    if (!rowsListed && !dialog.optStatement->isEnabled()) {
        Dialogs::instance().message(
            view.dialogParent(),
            QStringLiteral("ｴｸｽﾎﾟｰﾄする行がありません。\n"
                           "SELECT文を入力して接続してから選んでください。"),
            Title, Dialogs::Icon::Information);
        return;
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    Request request;
    request.source = dialog.source();
    request.options = dialog.options();
    request.statement = request.source == Source::Statement ? statement.execution : listedStatement;
    request.path = chooseFile(view.dialogParent(), request.options.format);
    if (request.path.isEmpty())
        return;

    const Outcome outcome = WriteExport(view, request);
    DB::NotifyStateChanged();
    if (outcome.written) {
        view.setStatusText(QStringLiteral("%1件を書き出しました（%2秒、%3）: %4")
                               .arg(QLocale().toString(outcome.rows),
                                    QString::number(outcome.milliseconds / 1000.0, 'f', 2),
                                    sizeText(outcome.bytes),
                                    QDir::toNativeSeparators(request.path)));
        if (!outcome.message.isEmpty())
            Dialogs::instance().message(view.dialogParent(), outcome.message, Title,
                                        Dialogs::Icon::Information);
    } else if (outcome.cancelled) {
        view.setStatusText(QStringLiteral("ｴｸｽﾎﾟｰﾄを中止しました。ファイルは作っていません。"));
    } else {
        view.setStatusText(QStringLiteral("ｴｸｽﾎﾟｰﾄできませんでした。"));
        Dialogs::instance().message(
            view.dialogParent(), outcome.message + QStringLiteral("\nファイルは作っていません。"),
            Title, Dialogs::Icon::Critical);
    }
}

} // namespace Export
