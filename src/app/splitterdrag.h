#pragma once

#include "app/mainlayout.h"

#include <QObject>

#include <functional>

class QMouseEvent;
class QWidget;

/// The splitter between the editor and the result list. The left button on the
/// grip shows the gray bar, which follows the mouse within the limits of the
/// layout; releasing any button hands the bar's position back as the editor
/// height to keep. The right button never drags and shows the plain arrow.
class SplitterDrag : public QObject
{
    Q_OBJECT

public:
    /// layout gives the window's current layout input, read at each event.
    SplitterDrag(QWidget *grip,
                 QWidget *bar,
                 std::function<MainLayout::Input()> layout,
                 QObject *parent = nullptr);

    bool dragging() const { return mDragging; }

signals:
    /// A button went up on the grip: the editor height in twips to keep from now on.
    void released(int editorHeight);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void mouseDown(const QMouseEvent *event);
    void mouseMove(const QMouseEvent *event);
    void mouseUp();
    void placeBar(const MainLayout::Result &layout);

    QWidget *mGrip;
    QWidget *mBar;
    std::function<MainLayout::Input()> mLayout;
    bool mDragging = false;
    int mBarTop = 0; // twips, while dragging
};
