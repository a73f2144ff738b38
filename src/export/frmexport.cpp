#include "export/frmexport.h"

#include "common/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace Export {

namespace {

const QString Title = QStringLiteral("ｴｸｽﾎﾟｰﾄ");

// The formats in the order the list shows them.
const struct
{
    Format format;
    const char *caption;
} Formats[] = {
    {Format::Csv, "CSV（カンマ区切り）"},        {Format::Tsv, "TSV（タブ区切り）"},
    {Format::Json, "JSON（全行を1つの配列に）"}, {Format::JsonLines, "JSON Lines（1行に1件）"},
    {Format::Insert, "SQL（INSERT文）"},         {Format::Xlsx, "Excelﾌﾞｯｸ（.xlsx）"},
};

} // namespace

frmExport::frmExport(QWidget *parent, bool rowsListed, bool canRun, const QString &driver)
    : QDialog(parent)
    , mDriver(driver)
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(Title);

    auto *sourceBox = new QGroupBox(QStringLiteral("出力する行"), this);
    optListed = new QRadioButton(QStringLiteral("結果一覧の行をそのまま出力する(&L)"), sourceBox);
    optListed->setObjectName(QStringLiteral("optListed"));
    optStatement
        = new QRadioButton(QStringLiteral("SQLを実行し直して全行を出力する(&R)"), sourceBox);
    optStatement->setObjectName(QStringLiteral("optStatement"));
    optListed->setEnabled(rowsListed);
    optStatement->setEnabled(canRun);
    (rowsListed || !canRun ? optListed : optStatement)->setChecked(true);
    auto *sourceLayout = new QVBoxLayout(sourceBox);
    sourceLayout->addWidget(optListed);
    sourceLayout->addWidget(optStatement);

    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    for (const auto &entry : Formats)
        cboFormat->addItem(QString::fromUtf8(entry.caption), int(entry.format));
    txtTable = new QLineEdit(this);
    txtTable->setObjectName(QStringLiteral("txtTable"));
    txtSeparator = new QLineEdit(this);
    txtSeparator->setObjectName(QStringLiteral("txtSeparator"));
    txtSeparator->setToolTip(QStringLiteral("タブは \\t と入力します。"));
    txtQuote = new QLineEdit(this);
    txtQuote->setObjectName(QStringLiteral("txtQuote"));
    txtQuote->setMaxLength(1);
    txtQuote->setToolTip(QStringLiteral("空欄にすると値を囲みません。"));
    txtNull = new QLineEdit(this);
    txtNull->setObjectName(QStringLiteral("txtNull"));
    chkHeader = new QCheckBox(QStringLiteral("1行目に列名を出力する(&H)"), this);
    chkHeader->setObjectName(QStringLiteral("chkHeader"));
    chkHeader->setChecked(true);
    cboLineEnd = new QComboBox(this);
    cboLineEnd->setObjectName(QStringLiteral("cboLineEnd"));
    cboLineEnd->addItems({QStringLiteral("CR LF（Windows）"), QStringLiteral("LF（Linux・Mac）")});
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItems({QStringLiteral("UTF-8（BOM付き）"), QStringLiteral("UTF-8（BOMなし）"),
                           QStringLiteral("Shift_JIS（CP932）")});

    auto *form = new QFormLayout;
    form->addRow(labelFor(QStringLiteral("形式(&F):"), cboFormat), cboFormat);
    form->addRow(labelFor(QStringLiteral("テーブル名(&T):"), txtTable), txtTable);
    form->addRow(labelFor(QStringLiteral("区切り文字(&S):"), txtSeparator), txtSeparator);
    form->addRow(labelFor(QStringLiteral("囲み文字(&Q):"), txtQuote), txtQuote);
    form->addRow(labelFor(QStringLiteral("NULLの表記(&N):"), txtNull), txtNull);
    form->addRow(QString(), chkHeader);
    form->addRow(labelFor(QStringLiteral("改行(&B):"), cboLineEnd), cboLineEnd);
    form->addRow(labelFor(QStringLiteral("文字コード(&E):"), cboEncoding), cboEncoding);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sourceBox);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(cboFormat, &QComboBox::currentIndexChanged, this, &frmExport::formatChosen);
    formatChosen();
}

QLabel *frmExport::labelFor(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, this);
    label->setBuddy(buddy);
    return label;
}

QString frmExport::SeparatorText(const QString &separator)
{
    return QString(separator).replace(QLatin1Char('\t'), QStringLiteral("\\t"));
}

QString frmExport::SeparatorFromText(const QString &text)
{
    return QString(text).replace(QStringLiteral("\\t"), QStringLiteral("\t"));
}

void frmExport::formatChosen()
{
    const Options defaults = Options::defaults(Format(cboFormat->currentData().toInt()));
    const bool delimited = defaults.format == Format::Csv || defaults.format == Format::Tsv;
    const bool text = defaults.format != Format::Xlsx;
    txtSeparator->setText(SeparatorText(defaults.separator));
    txtQuote->setText(defaults.quote);
    cboEncoding->setCurrentIndex(int(defaults.encoding));
    for (QWidget *control : {static_cast<QWidget *>(txtSeparator), static_cast<QWidget *>(txtQuote),
                             static_cast<QWidget *>(txtNull)})
        control->setEnabled(delimited);
    chkHeader->setEnabled(delimited || defaults.format == Format::Xlsx);
    cboLineEnd->setEnabled(text);
    cboEncoding->setEnabled(text);
    txtTable->setEnabled(defaults.format == Format::Insert);
}

Source frmExport::source() const
{
    return optStatement->isChecked() ? Source::Statement : Source::ListedRows;
}

Options frmExport::options() const
{
    Options options = Options::defaults(Format(cboFormat->currentData().toInt()));
    options.separator = SeparatorFromText(txtSeparator->text());
    options.quote = txtQuote->text();
    options.nullText = txtNull->text();
    options.header = chkHeader->isChecked();
    options.crlf = cboLineEnd->currentIndex() == 0;
    options.encoding = Encoding(cboEncoding->currentIndex());
    options.tableName = txtTable->text().trimmed();
    options.driver = mDriver;
    return options;
}

void frmExport::done(int result)
{
    if (result == QDialog::Accepted) {
        const QString problem = CheckOptions(options());
        if (!problem.isEmpty()) {
            Common::Dialogs::instance().message(this, problem, Title,
                                                Common::Dialogs::Icon::Warning);
            return;
        }
    }
    QDialog::done(result);
}

} // namespace Export
