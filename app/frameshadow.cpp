#include "app/frameshadow.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QWidget>

namespace {

constexpr qreal BlurRadius = 20;
const QColor ShadowColour(0, 0, 0, 80);
// Wider than the blur on both sides, so each corner of the tile is the
// corner of any larger rectangle.
constexpr int Core = 4 * int(BlurRadius);

// The toolkit's own drop shadow of a square, rendered once: the margin holds
// exactly what the effect would draw there.
QImage renderTile(int margin)
{
    QGraphicsScene scene;
    auto *square = scene.addRect(QRectF(0, 0, Core, Core), Qt::NoPen, Qt::black);
    auto *shadow = new QGraphicsDropShadowEffect;
    shadow->setBlurRadius(BlurRadius);
    shadow->setColor(ShadowColour);
    shadow->setOffset(0, 0);
    square->setGraphicsEffect(shadow);

    QImage tile(Core + 2 * margin, Core + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    scene.render(&painter, QRectF(tile.rect()), QRectF(-margin, -margin, tile.width(), tile.height()));
    return tile;
}

} // namespace

FrameShadow::FrameShadow(QWidget *window, QWidget *content, int margin)
    : QObject(window)
    , window(window)
    , content(content)
    , margin(margin)
    , tile(renderTile(margin))
{
    window->installEventFilter(this);
}

bool FrameShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Paint)
        paint();
    return false;
}

// Corners from the tile's corners, edges stretched from its middle row and
// column; nothing under the content, which covers it.
void FrameShadow::paint()
{
    const QRect outer(content->mapTo(window, QPoint(0, 0)), content->size());
    const QRect inner = outer.adjusted(margin, margin, -margin, -margin);
    if (inner.width() < Core || inner.height() < Core)
        return;
    QPainter painter(window);
    painter.setClipRegion(QRegion(outer).subtracted(QRegion(inner)));
    const int corner = margin + Core / 2;
    const int far = tile.width() - corner;
    const QRect edgeSpan = outer.adjusted(corner, corner, -corner, -corner);
    // Corners.
    painter.drawImage(outer.topLeft(), tile, QRect(0, 0, corner, corner));
    painter.drawImage(QPoint(outer.right() + 1 - corner, outer.top()), tile, QRect(far, 0, corner, corner));
    painter.drawImage(QPoint(outer.left(), outer.bottom() + 1 - corner), tile, QRect(0, far, corner, corner));
    painter.drawImage(QPoint(outer.right() + 1 - corner, outer.bottom() + 1 - corner), tile,
                      QRect(far, far, corner, corner));
    // Edges, from the tile's middle column or row.
    const int middle = tile.width() / 2;
    painter.drawImage(QRect(edgeSpan.left(), outer.top(), edgeSpan.width(), corner), tile,
                      QRect(middle, 0, 1, corner));
    painter.drawImage(QRect(edgeSpan.left(), outer.bottom() + 1 - corner, edgeSpan.width(), corner),
                      tile, QRect(middle, far, 1, corner));
    painter.drawImage(QRect(outer.left(), edgeSpan.top(), corner, edgeSpan.height()), tile,
                      QRect(0, middle, corner, 1));
    painter.drawImage(QRect(outer.right() + 1 - corner, edgeSpan.top(), corner, edgeSpan.height()),
                      tile, QRect(far, middle, corner, 1));
}
