#include "common/placeform.h"

#include "common/common.h"

#include <QWidget>

namespace Common {

void PlaceForm(QWidget *window, int top, int left)
{
    const QPoint position = window->pos(); // frame position, as the twips are meant
    window->move(position.x(), TwipsToPixels(top));
    window->move(TwipsToPixels(left), window->pos().y());
}

void PlaceControl(QWidget *control, int left, int top, int width, int height)
{
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    control->setGeometry(x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y);
}

} // namespace Common
