#include "convert/frmvb.h"

#include "common/common.h"
#include "common/fonts.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace {

constexpr int DesignClientWidth = 4680;
constexpr int DesignClientHeight = 3195;

// A plain widget shows to assistive technology as a part of a window; the code
// window is a window of its own, with its title as its name.
QAccessibleInterface *codeWindowAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("frmVb") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

frmVb::frmVb(QWidget *owner)
    : QWidget(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    static const bool accessibleAsWindow = [] {
        QAccessible::installFactory(codeWindowAccessible);
        return true;
    }();
    Q_UNUSED(accessibleAsWindow);
    setObjectName(QStringLiteral("frmVb"));
    setWindowTitle(QStringLiteral("編集用ｳｨﾝﾄﾞｳ"));
    txtWindow = new QPlainTextEdit(this);
    txtWindow->setObjectName(QStringLiteral("txtWindow"));
    txtWindow->setAccessibleName(windowTitle());
    txtWindow->setReadOnly(true);
    // Read-only for the user, but selectable with the keyboard as well, so that
    // the code can be copied without a mouse.
    txtWindow->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtWindow->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtWindow->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9));
    txtWindow->installEventFilter(this);
    resize(Common::TwipsToPixels(DesignClientWidth), Common::TwipsToPixels(DesignClientHeight));
    ArrangeCodeWindow();
}

void frmVb::unload()
{
    emit closed();
    hide();
    deleteLater();
}

void frmVb::ArrangeCodeWindow()
{
    txtWindow->setGeometry(0, 0, width(), height());
}

void frmVb::resizeEvent(QResizeEvent *event)
{
    ArrangeCodeWindow();
    QWidget::resizeEvent(event);
}

void frmVb::closeEvent(QCloseEvent *event)
{
    // Closing by the user only hides the window: its text and size stay for the
    // next showing. The main window unloads it with unload().
    event->ignore();
    hide();
    emit closed();
}

bool frmVb::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtWindow && event->type() == QEvent::KeyPress
        && txtWindow_KeyDown(static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool frmVb::txtWindow_KeyDown(QKeyEvent *event)
{
    // Ctrl+A selects everything, whatever other modifiers are held.
    if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
        txtWindow->selectAll();
        return true;
    }
    return false;
}
