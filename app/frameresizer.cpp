#include "app/frameresizer.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Along an edge, this much next to a corner resizes both ways.
constexpr int CornerReach = 20;

Qt::CursorShape cursorFor(Qt::Edges edges)
{
    if (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge))
        return Qt::SizeBDiagCursor;
    if (edges & (Qt::LeftEdge | Qt::RightEdge))
        return Qt::SizeHorCursor;
    return Qt::SizeVerCursor;
}

} // namespace

FrameResizer::FrameResizer(QWidget *frame, int border)
    : QObject(frame)
    , frame(frame)
    , border(border)
{
    frame->setMouseTracking(true);
    frame->installEventFilter(this);
}

Qt::Edges FrameResizer::edgesAt(const QPoint &pos) const
{
    const QRect all = frame->rect();
    if (!all.contains(pos) || all.adjusted(border, border, -border, -border).contains(pos))
        return {};
    const int reach = border + CornerReach;
    Qt::Edges edges;
    if (pos.x() < reach)
        edges |= Qt::LeftEdge;
    else if (pos.x() >= all.width() - reach)
        edges |= Qt::RightEdge;
    if (pos.y() < reach)
        edges |= Qt::TopEdge;
    else if (pos.y() >= all.height() - reach)
        edges |= Qt::BottomEdge;
    return edges;
}

bool FrameResizer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != frame)
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        const Qt::Edges edges = edgesAt(move->position().toPoint());
        // Inside, the content's own cursors show again.
        if (move->buttons() == Qt::NoButton && edges)
            frame->setCursor(cursorFor(edges));
        else if (move->buttons() == Qt::NoButton)
            frame->unsetCursor();
    } else if (event->type() == QEvent::Leave) {
        frame->unsetCursor();
    } else if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const Qt::Edges edges = edgesAt(press->position().toPoint());
        QWindow *window = frame->window()->windowHandle();
        if (press->button() == Qt::LeftButton && edges && window != nullptr
            && window->startSystemResize(edges))
            return true;
    }
    return false;
}
