#include "exec/executesql.h"

#include "common/dialogs.h"
#include "common/errors.h"
#include "connections/pendingwork.h"
#include "engine/errors.h"
#include "engine/rowsink.h"
#include "engine/sqlthread.h"
#include "engine/transactioncontrol.h"
#include "exec/cellvalue.h"
#include "exec/executionview.h"
#include "exec/logs.h"
#include "exec/resultmodel.h"
#include "exec/statement.h"
#include "oracle/component.h"
#include "oracle/db.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <charconv>
#include <optional>

namespace SQLEdit {
namespace {

// Said after a run that made the database undo the whole transaction.
const QString WorkRolledBackNote
    = QStringLiteral("  コミットしていない変更はロールバックされました。");

// How long the fill reads rows before the window handles its events: short
// enough to keep it responsive, long enough that the events cost little.
constexpr int SliceMilliseconds = 10;
// How often new rows are shown in the list, given the rows it shows. Each time
// the list takes new rows, its row header walks every row once (about 1 ns a
// row: 33 ms at 28,000,000 rows), while the connection's thread waits; so the
// list takes them less often as it grows, at most about 5% of the fill's time.
// The count in the status bar still follows every slice.
qint64 PublishMilliseconds(qsizetype shownRows)
{
    return qMax<qint64>(SliceMilliseconds, shownRows / 50'000);
}
// Rows read in one go on the connection's thread: one block of the row store.
constexpr qsizetype BatchRows = 4096;

// Rows read on the connection's thread go into a store of their own, which the
// fill then moves into the result list's store at once.
class StoreSink final : public Engine::RowSink
{
public:
    explicit StoreSink(RowStore &store)
        : mStore(store)
    {}
    void beginRow() override { mStore.beginRow(); }
    void addNull() override { mStore.addNull(); }
    void addText(QStringView text) override { mStore.addCell(text); }
    void addUtf8Text(QByteArrayView text) override { mStore.addUtf8Cell(text); }
    void addInteger(qint64 value) override
    {
        // Integers, the most common values after texts, without a string apiece.
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        mStore.addCell(QLatin1StringView(digits, end - digits));
    }
    void addReal(double value) override { mStore.addCell(FormatReal(value)); }
    void addValue(const QVariant &value) override
    {
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
            addInteger(value.toLongLong());
        else
            mStore.addCell(FormatCellValue(value));
    }

private:
    RowStore &mStore;
};

// While a statement runs the window goes on handling its events. Esc asks to
// cancel the statement; when cancelling would also undo earlier uncommitted
// work (an interrupted write on SQLite), the user is asked first.
class ExecutionWait final : public Engine::StatementWait
{
public:
    explicit ExecutionWait(ExecutionView &view)
        : mView(view)
    {}

    bool poll(const Engine::RunningStatement &statement) override
    {
        if (!mShown) {
            mShown = true;
            mView.setRunning(true);
        }
        QCoreApplication::processEvents();
        // An Esc during a step that cannot stop (the transaction's begin) is
        // kept for the statement that follows.
        if (!AbortRequested || !statement.cancellable)
            return false;
        AbortRequested = false;
        if (statement.cancelUndoesTransaction && DB::UncommittedChanges()
            && !Common::Dialogs::instance().question(
                mView.dialogParent(),
                QStringLiteral(
                    "実行中のSQLを中止すると、コミットしていない変更もすべて元に戻ります。"
                    "\r\n中止しますか？"),
                QStringLiteral("中止の確認")))
            return false;
        return true;
    }

private:
    ExecutionView &mView;
    bool mShown = false;
};

void showRowCount(ExecutionView &view, qint32 count)
{
    view.setStatusText(QString::number(count) + QStringLiteral("件"));
}

// After the count: why the fill stopped at a full disk, and, once per run of
// the program, that the rows stay in memory because no spill file could be made.
void showSpillState(ExecutionView &view, const RowStore &store)
{
    static bool problemSaid = false;
    QString text = view.statusText();
    if (!store.spillStopReason().isEmpty())
        text += QStringLiteral("  ") + store.spillStopReason()
                + QStringLiteral("、取得を中止しました。");
    if (!store.spillProblem().isEmpty() && !problemSaid) {
        problemSaid = true;
        text += QStringLiteral("  ") + store.spillProblem()
                + QStringLiteral("結果はメモリだけに保持します。");
    }
    view.setStatusText(text);
}

// An error the user must see: a message box, and a record in the error log,
// which may itself fail without stopping anything.
void reportError(ExecutionView &view, const Common::ErrorInfo &error)
{
    Common::Dialogs::instance().message(view.dialogParent(),
                                        error.description + QStringLiteral("\r\n"),
                                        QStringLiteral("Error"), Common::Dialogs::Icon::Critical);
    try {
        WriteErrorLog(error);
    } catch (const Common::RuntimeError &) {
    }
}

void writeSqlLog(const QString &statement)
{
    // The statement has run: a log that cannot be written changes nothing. The
    // log's lines end in CR LF, as every text file of the program does.
    try {
        WriteSqlLog(QString(statement).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    } catch (const Common::RuntimeError &) {
    }
}

// The connection went away: said in the status bar, and the user may connect
// again at once.
void reportLostConnection(ExecutionView &view, const Common::ErrorInfo &error, bool workWasPending)
{
    view.setStatusText(error.description);
    try {
        WriteErrorLog(error);
    } catch (const Common::RuntimeError &) {
    }
    if (Connections::ReportLostConnection(view.dialogParent(), workWasPending))
        view.setStatusText(QStringLiteral("接続し直しました。"));
}

// Tells the view that a statement starts and, however its run ends, how it
// ended: the statement is kept before it runs, so that even a run the program
// does not survive is on record.
class RunReport
{
public:
    RunReport(ExecutionView &view, const QString &text)
        : mView(view)
    {
        mView.statementStarting(text);
        mTimer.start();
        mOutcome.outcome = QStringLiteral("実行");
    }
    ~RunReport()
    {
        mOutcome.elapsedMs = mTimer.elapsed();
        mView.statementEnded(mOutcome);
    }
    RunReport(const RunReport &) = delete;
    RunReport &operator=(const RunReport &) = delete;

    void listed(qint64 rows)
    {
        mOutcome.rows = rows;
        mOutcome.outcome = QStringLiteral("取得");
    }
    void failed(const Common::ErrorInfo &error)
    {
        mOutcome.error = error.description;
        if (error.number == Engine::ErrConnectionLost)
            mOutcome.outcome = QStringLiteral("切断");
        else if (error.number == Engine::ErrCancelled)
            mOutcome.outcome = QStringLiteral("中止");
        else
            mOutcome.outcome = QStringLiteral("エラー");
    }

private:
    ExecutionView &mView;
    QElapsedTimer mTimer;
    StatementOutcome mOutcome;
};

} // namespace

bool FillResultList(ExecutionView &view, Ora::Dynaset &dynaset)
{
    ResultModel &model = view.resultModel();
    qsizetype count = 0;
    try {
        view.setHeaderVisible(true);
        model.clear();
        model.store().setSpillPolicy(SpillPolicy::fromSettings());
        if (dynaset.isEof())
            view.setHeaderVisible(false);
        else
            model.setColumns(dynaset.columnNames());
        view.setRunning(true);

        RowStore &store = model.store();
        RowStore next;
        QElapsedTimer slice;
        QElapsedTimer published;
        bool diskFull = false;
        while (!dynaset.isEof() && !diskFull) {
            if (!slice.isValid() || slice.elapsed() >= SliceMilliseconds) {
                if (count > 0)
                    showRowCount(view, qint32(qMin<qsizetype>(count, INT_MAX)));
                if (!published.isValid()
                    || published.elapsed() >= PublishMilliseconds(model.rowCount())) {
                    model.publishRows();
                    published.start();
                }
                QCoreApplication::processEvents();
                slice.start();
            }
            if (AbortRequested) {
                AbortRequested = false;
                break;
            }
            // While the rows of one batch are read on the connection's thread,
            // the next batch's memory is made ready here, and blocks over the
            // memory budget go to disk. A full disk stops the fill as Esc does.
            RowStore batch = std::move(next);
            if (batch.columnCount() != store.columnCount())
                batch.clear(store.columnCount());
            StoreSink sink(batch);
            bool cancelled = false;
            try {
                dynaset.readRows(sink, BatchRows, &cancelled, [&] {
                    next.clear(store.columnCount());
                    next.prepareFirstBlock(store.lastBlockText() + store.lastBlockText() / 8);
                    diskFull = !store.spill();
                });
            } catch (const Common::RuntimeError &) {
                count += batch.rowCount(); // the rows before the failing one stay
                store.append(std::move(batch));
                throw;
            }
            count += batch.rowCount();
            store.append(std::move(batch));
            if (cancelled)
                break;
        }
    } catch (const Common::RuntimeError &error) {
        Common::LastError::set(error.info());
        model.publishRows();
        if (count > 0)
            showRowCount(view, qint32(qMin<qsizetype>(count, INT_MAX)));
        showSpillState(view, model.store());
        return false;
    }
    model.publishRows();
    if (count > 0)
        showRowCount(view, qint32(qMin<qsizetype>(count, INT_MAX)));
    showSpillState(view, model.store());
    return true;
}

bool ExecuteSql(ExecutionView &view)
{
    bool result = true;
    std::shared_ptr<Ora::Dynaset> dynaset;
    const bool workBefore = DB::UncommittedChanges();
    std::optional<RunReport> report;
    try {
        const QString typed = view.statementText();
        const StatementText statement = PrepareStatement(typed);
        AbortRequested = false; // an Esc from before this run stops nothing
        ExecutionWait wait(view);
        const Engine::ScopedStatementWait waiting(wait);
        if (statement.classification.isEmpty()) {
            view.setStatusText(QString());
        } else {
            report.emplace(view, typed);
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
                // Typed transaction control runs bare: a BEGIN before a COMMIT
                // would leave the transaction open that the user meant to end.
                const bool control = Engine::ClassifyTransactionControl(statement.execution)
                                     != Engine::TransactionControl::None;
                if (!control && !DB::InTransaction() && !DB::ConnectionLost()) {
                    // A begin that fails leaves the statement to say why.
                    try {
                        DB::BeginTransaction();
                    } catch (const Common::RuntimeError &) {
                    }
                }
                const qint32 options = DynasetOptionsFromSettings();
                Common::LastError::clear();
                if (AbortRequested) {
                    // Esc while the transaction began: the statement never starts.
                    AbortRequested = false;
                    Common::LastError::set({Engine::ErrCancelled, Engine::CancelledDescription(),
                                            Engine::LayerSource()});
                } else {
                    start = QDateTime::currentDateTime();
                    // A statement that turns out to return rows (WITH, VALUES,
                    // RETURNING) fills the list as a query does.
                    dynaset = DB::ExecuteStatement(statement.execution, options);
                    end = QDateTime::currentDateTime();
                }
                failed = Common::LastError::isSet();
            }

            if (failed) {
                const Common::ErrorInfo error = Common::LastError::get();
                report->failed(error);
                if (error.number == Engine::ErrConnectionLost) {
                    reportLostConnection(view, error, workBefore);
                } else if (error.number == Engine::ErrTransactionRolledBack) {
                    // The database undid the whole transaction: nothing is left
                    // to commit, and the user is told what went.
                    view.setStatusText(workBefore ? error.description + WorkRolledBackNote
                                                  : error.description);
                } else {
                    view.setStatusText(error.description);
                }
            } else {
                writeSqlLog(statement.execution);
                Common::LastError::clear();
                if (!dynaset) {
                    view.setStatusText(QStringLiteral("実行しました。"));
                } else {
                    view.setStatusText(QString());
                    const bool filled = FillResultList(view, *dynaset);
                    report->listed(view.resultModel().rowCount());
                    dynaset.reset(); // the query ends, and with it any savepoint of its own
                    if (workBefore && !DB::UncommittedChanges() && !DB::ConnectionLost())
                        view.setStatusText(view.statusText() + WorkRolledBackNote);
                    if (!filled)
                        throw Common::RuntimeError(Common::LastError::get());
                }
                view.setStatusText(view.statusText() + QLatin1Char('\t')
                                   + FormatElapsedTime(start, end));
                QApplication::beep();
            }
        }
    } catch (const Common::RuntimeError &error) {
        result = false;
        if (report)
            report->failed(error.info());
        if (error.number() == Engine::ErrConnectionLost) {
            // Found while the rows were read: the rows so far stay.
            view.setRunning(false);
            reportLostConnection(view, error.info(), workBefore);
        } else {
            reportError(view, error.info());
        }
    } catch (const std::exception &error) {
        result = false;
        const Common::ErrorInfo info{Common::ErrInternal, QString::fromLocal8Bit(error.what()),
                                     QStringLiteral("Korvane")};
        if (report)
            report->failed(info);
        reportError(view, info);
    }

    // Whichever way the run ended, the window is usable again.
    view.setRunning(false);
    dynaset.reset();
    DB::NotifyStateChanged();
    report.reset(); // after the state is known: the view asks for it
    return result;
}

} // namespace SQLEdit
