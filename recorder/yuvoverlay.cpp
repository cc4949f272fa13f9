#include "recorder/yuvoverlay.h"

#include <QImage>
#include <QPainter>

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/scale.h>

#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace yuv {

namespace {

// Chroma is shared by 2x2 pixels: the rectangle grows to even edges so the
// round trip never half-covers a chroma sample.
QRect evenArea(const QRect &area, const AVFrame *frame)
{
    const QRect bounds(0, 0, frame->width & ~1, frame->height & ~1);
    const QRect inside = area.intersected(bounds);
    if (inside.isEmpty())
        return {};
    return QRect(QPoint(inside.left() & ~1, inside.top() & ~1),
                 QPoint(inside.right() | 1, inside.bottom() | 1));
}

uint8_t *planeAt(const AVFrame *frame, int plane, QPoint at)
{
    const int shift = plane == 0 ? 0 : 1;
    return frame->data[plane] + (at.y() >> shift) * frame->linesize[plane] + (at.x() >> shift);
}

} // namespace

void paintOver(AVFrame *frame, const QRect &area, const std::function<void(QPainter &)> &paint)
{
    const QRect even = evenArea(area, frame);
    if (even.isEmpty())
        return;
    QImage patch(even.size(), QImage::Format_RGB32);
    if (patch.isNull())
        return;
    const QPoint at = even.topLeft();
    libyuv::I420ToARGB(planeAt(frame, 0, at), frame->linesize[0], planeAt(frame, 1, at),
                       frame->linesize[1], planeAt(frame, 2, at), frame->linesize[2],
                       patch.bits(), int(patch.bytesPerLine()), even.width(), even.height());
    {
        QPainter painter(&patch);
        if (!painter.isActive())
            return;
        painter.translate(-at);
        paint(painter);
    }
    libyuv::ARGBToI420(patch.constBits(), int(patch.bytesPerLine()), planeAt(frame, 0, at),
                       frame->linesize[0], planeAt(frame, 1, at), frame->linesize[1],
                       planeAt(frame, 2, at), frame->linesize[2], even.width(), even.height());
}

QPixmap previewOf(const AVFrame *frame, int maxWidth)
{
    int width = frame->width;
    int height = frame->height;
    if (width > maxWidth) {
        height = int(qint64(height) * maxWidth / width);
        width = maxWidth;
    }
    width &= ~1;
    height &= ~1;
    if (width <= 0 || height <= 0)
        return {};
    const int chromaWidth = width / 2;
    std::vector<uint8_t> planes(size_t(width) * height * 3 / 2);
    uint8_t *y = planes.data();
    uint8_t *u = y + size_t(width) * height;
    uint8_t *v = u + size_t(chromaWidth) * (height / 2);
    if (libyuv::I420Scale(frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                          frame->data[2], frame->linesize[2], frame->width, frame->height, y,
                          width, u, chromaWidth, v, chromaWidth, width, height,
                          libyuv::kFilterBilinear)
        != 0)
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    libyuv::I420ToARGB(y, width, u, chromaWidth, v, chromaWidth, image.bits(),
                       int(image.bytesPerLine()), width, height);
    return QPixmap::fromImage(std::move(image));
}

} // namespace yuv
