#include "about/frmabout.h"

#include "about/sysinfo.h"
#include "common/dialogs.h"
#include "common/icons.h"
#include "version.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int IconSize = 32;

const QString SysInfoUnavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

const QString Disclaimer
    = QStringLiteral("警告: このプログラムは現状のまま提供され、いかなる保証もありません。"
                     "実行したSQLによるデータの変更や損失について、作者は責任を負いません。");

} // namespace

frmAbout::frmAbout(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    createControls();
    Form_Load();
}

void frmAbout::createControls()
{
    auto label = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFixedSize(IconSize, IconSize);
    lblTitle = label("lblTitle");
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = label("lblVersion");
    lblDescription = label("lblDescription"); // one line: the box widens to fit it
    lblDisclaimer = label("lblDisclaimer");
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setText(Disclaimer);

    // The two halves of one etched line, in the colours of the current style.
    const QPalette::ColorRole halves[] = {QPalette::Dark, QPalette::Light};
    for (size_t i = 0; i < Line1.size(); ++i) {
        Line1[i] = new QFrame(this);
        Line1[i]->setObjectName(QStringLiteral("Line1(%1)").arg(i));
        Line1[i]->setFrameShape(QFrame::HLine);
        Line1[i]->setFrameShadow(QFrame::Plain);
        Line1[i]->setFixedHeight(1);
        Line1[i]->setForegroundRole(halves[i]);
    }

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true); // Enter; Escape closes the dialog as well
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto *text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(6);
    text->addWidget(lblDescription);

    auto *line = new QVBoxLayout;
    line->setSpacing(0);
    line->addWidget(Line1[0]);
    line->addWidget(Line1[1]);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(12);
    grid->addWidget(picIcon, 0, 0, Qt::AlignTop);
    grid->addLayout(text, 0, 1, 1, 2);
    grid->addLayout(line, 1, 0, 1, 3);
    grid->addWidget(lblDisclaimer, 2, 0, 1, 2);
    grid->addLayout(buttons, 2, 2);
    grid->setColumnMinimumWidth(1, 300);
}

void frmAbout::Form_Load()
{
    const QString title = QString::fromLatin1(Version::Title);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報 ") + title);
    lblVersion->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3")
                            .arg(Version::Major)
                            .arg(Version::Minor)
                            .arg(Version::Revision));
    lblTitle->setText(title);
    lblDescription->setText(QString::fromUtf8(Version::Description));

    // The icon's larger drawings are its 16 x 16 image for finer screens; here
    // they are shown at twice that size instead.
    const qreal ratio = devicePixelRatioF();
    const int scale = IconSize / 16;
    QPixmap icon = Common::ApplicationIcon().pixmap(QSize(16, 16), scale * ratio);
    icon.setDevicePixelRatio(ratio);
    picIcon->setPixmap(icon);
    picIcon->setAccessibleName(title);
}

void frmAbout::StartSysInfo()
{
    if (!About::StartSysInfoProgram())
        Common::Dialogs::instance().message(this, SysInfoUnavailable,
                                            QString::fromLatin1(Version::Title),
                                            Common::Dialogs::Icon::None);
}
