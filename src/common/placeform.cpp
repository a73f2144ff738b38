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

} // namespace Common
