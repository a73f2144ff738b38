#include "convert/frmvb.h"

#include "common/common.h"
#include "common/fonts.h"

#include <QPlainTextEdit>

namespace {
constexpr int DesignClientWidth = 4680;
constexpr int DesignClientHeight = 3195;
} // namespace

frmVb::frmVb(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmVb"));
    setWindowTitle(QStringLiteral("編集用ｳｨﾝﾄﾞｳ"));
    txtWindow = new QPlainTextEdit(this);
    txtWindow->setObjectName(QStringLiteral("txtWindow"));
    txtWindow->setReadOnly(true);
    txtWindow->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9));
    resize(Common::TwipsToPixels(DesignClientWidth), Common::TwipsToPixels(DesignClientHeight));
}

void frmVb::unload()
{
    hide();
    deleteLater();
}

void frmVb::resizeEvent(QResizeEvent *event)
{
    txtWindow->setGeometry(rect());
    QWidget::resizeEvent(event);
}
