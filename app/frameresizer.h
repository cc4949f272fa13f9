#pragma once

#include <QObject>

class QWidget;

// Lets a frameless window be resized from its edges and corners: the
// transparent border around its content shows the resize cursors, and a left
// press there hands the drag to the window manager.
class FrameResizer : public QObject
{
public:
    // border: the width of the frame around the content that grabs.
    FrameResizer(QWidget *frame, int border);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Qt::Edges edgesAt(const QPoint &pos) const;

    QWidget *frame;
    int border;
};
