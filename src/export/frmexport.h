#pragma once

#include "export/exportoptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace Export {

/// What an export writes: the rows the result list holds as they are, or the
/// editor's statement run afresh with every row streamed to the file.
enum class Source { ListedRows, Statement };

/// The export dialog: what to export, the format and its text options, the
/// encoding. Choosing a format fills its defaults; OK refuses options that
/// cannot be written, saying why. Controls keep their names as objectNames.
class frmExport : public QDialog
{
    Q_OBJECT

public:
    /// rowsListed: the result list holds rows; canRun: a statement can run
    /// afresh (a connection is open and the editor holds a query).
    frmExport(QWidget *parent, bool rowsListed, bool canRun, const QString &driver);

    Source source() const;
    Options options() const;

    QRadioButton *optListed = nullptr;
    QRadioButton *optStatement = nullptr;
    QComboBox *cboFormat = nullptr;
    QLineEdit *txtTable = nullptr;
    QLineEdit *txtSeparator = nullptr;
    QLineEdit *txtQuote = nullptr;
    QLineEdit *txtNull = nullptr;
    QCheckBox *chkHeader = nullptr;
    QComboBox *cboLineEnd = nullptr;
    QComboBox *cboEncoding = nullptr;

    /// The separator as the box shows it: a Tab as \t.
    static QString SeparatorText(const QString &separator);
    static QString SeparatorFromText(const QString &text);

protected:
    void done(int result) override;

private:
    void formatChosen();
    QLabel *labelFor(const QString &text, QWidget *buddy);

    QString mDriver;
};

} // namespace Export
