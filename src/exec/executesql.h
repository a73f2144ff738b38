#pragma once

namespace Ora {
class Dynaset;
}

namespace SQLEdit {

class ExecutionView;

/// Runs the editor's statement (its selection, or its whole text): a query's
/// rows fill the result list; any other statement runs in the transaction the
/// program begins for it. The status bar shows the outcome and the time the
/// database took; errors while reading rows are shown in a message box and
/// written to the error log. The editor, menus and toolbar are always enabled
/// again at the end. Returns false when the error handler ran.
bool ExecuteSql(ExecutionView &view);

/// Moves the dynaset's rows into the result list, with the running count in the
/// status bar, letting the window handle its events every few milliseconds; Esc
/// stops it before the next row is read. True at the end of the rows or on Esc;
/// false when an error stopped it, with the error left in Common::LastError.
bool FillResultList(ExecutionView &view, Ora::Dynaset &dynaset);

} // namespace SQLEdit
