#include "app/splitterdrag.h"

#include "common/common.h"
#include "common/placeform.h"

#include <QMouseEvent>
#include <QWidget>

SplitterDrag::SplitterDrag(QWidget *grip,
                           QWidget *bar,
                           std::function<MainLayout::Input()> layout,
                           QObject *parent)
    : QObject(parent)
    , mGrip(grip)
    , mBar(bar)
    , mLayout(std::move(layout))
{
    // Moves without a button held bring the sizing arrow back after a right click.
    mGrip->setMouseTracking(true);
    mGrip->installEventFilter(this);
}

bool SplitterDrag::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != mGrip)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press on the grip drags as well
        mouseDown(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseMove:
        mouseMove(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseButtonRelease:
        mouseUp();
        return true;
    default:
        return false;
    }
}

void SplitterDrag::mouseDown(const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The bar starts where the layout keeps it: on the grip.
    const MainLayout::Result layout = MainLayout::ArrangeControls(mLayout());
    mDragging = true;
    mBarTop = layout.splitterBar.top;
    placeBar(layout);
    mBar->show();
    mBar->raise();
}

void SplitterDrag::mouseMove(const QMouseEvent *event)
{
    if (!mDragging) {
        mGrip->setCursor(event->buttons() == Qt::RightButton ? Qt::ArrowCursor : Qt::SizeVerCursor);
        return;
    }
    const MainLayout::Input input = mLayout();
    const MainLayout::Result layout = MainLayout::ArrangeControls(input);
    const double mouseY = event->position().y() * Common::TwipsPerPixel;
    mBarTop = MainLayout::SplitterBarTop(mBarTop, layout.splitterGrip.top, mouseY,
                                         MainLayout::SplitterLimits(input));
    placeBar(layout);
}

void SplitterDrag::mouseUp()
{
    // Any button ends the drag. Without one the bar rests on the grip, so the
    // release keeps the editor as it is.
    if (!mDragging)
        mBarTop = MainLayout::ArrangeControls(mLayout()).splitterBar.top;
    mDragging = false;
    mBar->hide();
    emit released(MainLayout::ReleaseSplitter(mLayout(), mBarTop).editorHeight);
}

void SplitterDrag::placeBar(const MainLayout::Result &layout)
{
    const MainLayout::Rect &r = layout.splitterBar;
    Common::PlaceControl(mBar, r.left, mBarTop, r.width, r.height);
}
