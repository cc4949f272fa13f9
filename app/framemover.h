#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class QWidget;

// Lets a frameless window be dragged by its handles (its header and its
// navigation column): a left press on one moves the window with the pointer.
class FrameMover : public QObject
{
public:
    FrameMover(QWidget *window, const QList<QWidget *> &handles);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isHandle(const QPoint &windowPos) const;

    QWidget *window;
    QList<QWidget *> handles;
    bool dragging = false;
    QPoint startGlobalPos;
    QPoint startTopLeft;
};
