#include "app/framemover.h"

#include <QMouseEvent>
#include <QWidget>

FrameMover::FrameMover(QWidget *window, const QList<QWidget *> &handles)
    : QObject(window)
    , window(window)
    , handles(handles)
{
    window->installEventFilter(this);
}

bool FrameMover::isHandle(const QPoint &windowPos) const
{
    for (const QWidget *handle : handles) {
        if (handle->rect().contains(handle->mapFrom(window, windowPos)))
            return true;
    }
    return false;
}

// The window sees the presses its handles leave unhandled.
bool FrameMover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() != Qt::LeftButton || !isHandle(press->position().toPoint()))
            return false;
        dragging = true;
        startGlobalPos = press->globalPosition().toPoint();
        startTopLeft = window->frameGeometry().topLeft();
        event->accept();
        return true;
    }
    case QEvent::MouseMove: {
        auto *move = static_cast<QMouseEvent *>(event);
        if (!dragging || !(move->buttons() & Qt::LeftButton))
            return false;
        window->move(startTopLeft + (move->globalPosition().toPoint() - startGlobalPos));
        event->accept();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *release = static_cast<QMouseEvent *>(event);
        if (release->button() != Qt::LeftButton || !dragging)
            return false;
        dragging = false;
        event->accept();
        return true;
    }
    default:
        return false;
    }
}
