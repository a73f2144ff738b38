#pragma once

#include "export/exportoptions.h"
#include "export/frmexport.h"

#include <QString>

namespace SQLEdit {
class ExecutionView;
}

namespace Export {

/// One export to do.
struct Request
{
    Source source = Source::ListedRows;
    Options options;
    QString path;
    /// The statement run afresh (Source::Statement), or the one whose rows the
    /// list shows; an Excel workbook keeps it on its last sheet.
    QString statement;
};

/// How an export ended.
struct Outcome
{
    bool written = false;   ///< the file is complete under its name
    bool cancelled = false; ///< the user stopped it (or declined a replaced character)
    qint64 rows = 0;
    qint64 bytes = 0;
    qint64 milliseconds = 0;
    QString message; ///< what went wrong; empty when written or cancelled
};

/// File → ｴｸｽﾎﾟｰﾄ...: the export dialog, then the file chooser, then the file,
/// with the outcome in the status bar (rows, time and size) or a message box.
/// listedStatement is the statement whose rows the result list shows.
void RunExport(SQLEdit::ExecutionView &view, const QString &listedStatement);

/// Writes the file the request asks for, with a progress window whose Cancel
/// (or Esc) stops it; the window stays live meanwhile. The file appears under
/// its name only when complete: a cancel or a failure leaves none. When
/// characters could not be encoded, the user is asked before the file is kept.
Outcome WriteExport(SQLEdit::ExecutionView &view, const Request &request);

} // namespace Export
