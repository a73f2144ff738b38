#include "app/messagebar.h"

#include "common/dialogs.h"

#include <QMouseEvent>

MessageBar::MessageBar(QWidget *parent)
    : QStatusBar(parent)
{
    connect(this, &QStatusBar::messageChanged, this, &MessageBar::showWholeMessage);
}

bool MessageBar::messageIsCut() const
{
    const QString message = currentMessage();
    if (message.contains(QLatin1Char('\n')) || message.contains(QLatin1Char('\r')))
        return true;
    // The line ends where the permanent widgets (the transaction state) begin.
    int room = contentsRect().width();
    for (const QObject *child : children()) {
        const auto *widget = qobject_cast<const QWidget *>(child);
        if (widget && widget->isVisible())
            room = qMin(room, widget->x());
    }
    return fontMetrics().horizontalAdvance(message) > room - 8;
}

void MessageBar::showWholeMessage(const QString &message)
{
    setToolTip(message);
}

void MessageBar::mouseReleaseEvent(QMouseEvent *event)
{
    QStatusBar::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !messageIsCut())
        return;
    Common::Dialogs::instance().message(window(), currentMessage(), QStringLiteral("メッセージ"),
                                        Common::Dialogs::Icon::Information);
}
