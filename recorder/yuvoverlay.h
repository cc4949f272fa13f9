#pragma once

// Painting on frames that are already I420: only the small rectangle an
// overlay covers goes to RGB and back, so a pointer costs microseconds
// instead of a full-frame conversion.

#include <QPixmap>
#include <QRect>

#include <functional>

class QPainter;
struct AVFrame;

namespace yuv {

// Runs `paint` with a painter in frame coordinates over `area` of the I420
// `frame`, clipped to the frame; the rest of the frame is untouched.
void paintOver(AVFrame *frame, const QRect &area, const std::function<void(QPainter &)> &paint);

// The frame scaled down to at most `maxWidth` pixels wide, as RGB.
QPixmap previewOf(const AVFrame *frame, int maxWidth);

} // namespace yuv
