#pragma once

#include <QImage>
#include <QObject>

class QWidget;

// The drop shadow of a frameless window, drawn into the transparent margin
// around its content. A graphics effect on the content would render the
// whole content again for every repaint of any widget in it; this paints a
// shadow made once, and only where the margin needs repainting.
class FrameShadow : public QObject
{
public:
    // content: the widget whose inner rectangle (inside margin) casts the shadow.
    FrameShadow(QWidget *window, QWidget *content, int margin);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paint();

    QWidget *window;
    QWidget *content;
    int margin;
    // The shadow of a small square with the margin around it: its corners
    // are the window's corners, its middle rows and columns its edges.
    QImage tile;
};
