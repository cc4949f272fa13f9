#include "capture/screensource.h"

#include "capture/monitors.h"
#include "platform/pointer.h"
#include "platform/screengrab.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <cmath>

#include <libyuv/scale_argb.h>

namespace capture {

ScreenSource::ScreenSource(QObject *parent)
    : CaptureSource(parent)
    , grabber(std::make_unique<platform::ScreenGrabber>())
{
}

ScreenSource::~ScreenSource() = default;

bool ScreenSource::start(QString *)
{
    return true;
}

void ScreenSource::stop()
{
}

// Monitors and regions are placed in device pixels (the recorder maps a
// region there), which the fast path reads as they are.
QImage ScreenSource::grabDeviceArea(const QRect &area)
{
    QImage image = grabber->grab(area);
    if (!image.isNull())
        return image;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    const qreal ratio = screen->devicePixelRatio();
    const QRect logical(QPointF(area.topLeft() / ratio).toPoint(), QSizeF(area.size() / ratio).toSize());
    return screen->grabWindow(0, logical.x(), logical.y(), logical.width(), logical.height()).toImage();
}

CapturedFrame ScreenSource::latestFrame(const RecordingConfig &config, AVFrame *)
{
    CapturedFrame frame;
    if (config.mode == Region) {
        if (!config.region.isValid())
            return frame;
        frame.image = grabDeviceArea(config.region);
        // A region whose monitor was unplugged goes on, black where no
        // monitor is left.
        blackenUncovered(frame.image, config.region);
        const QPoint at = platform::pointerPosition().value_or(QPoint(0, 0));
        frame.pointer = at - config.region.topLeft();
        frame.pointerScale = pixelRatioAt(at);
        return frame;
    }
    // A monitor unplugged meanwhile shows the primary until the recorder
    // has ended the recording.
    QRect area = recordedArea(config.screen);
    if (!area.isValid())
        area = recordedArea(QString());
    if (!area.isValid())
        return frame;
    const QPoint at = platform::pointerPosition().value_or(area.topLeft());
    const QPoint pointer = at - area.topLeft();
    frame.pointerScale = pixelRatioAt(at);
    // The recording's size, once a start has fixed it.
    const QSize size = config.region.isValid() ? config.region.size() : area.size();
    if (config.screen != AllScreens) {
        // The preview shows the whole monitor; a preset smaller than it
        // keeps its top-left part, cut by the converter.
        frame.image = grabDeviceArea(area);
        frame.pointer = pointer;
        return frame;
    }
    frame.image = grabDeviceArea(area);
    if (frame.image.isNull())
        return frame;
    blackenUncovered(frame.image, area);
    if (size.width() >= area.width() && size.height() >= area.height()) {
        frame.pointer = pointer;
        return frame;
    }
    fitDesktop(frame, size, pointer);
    return frame;
}

// What the X screen holds where no monitor shows it is no part of the desktop.
void ScreenSource::blackenUncovered(QImage &image, const QRect &area)
{
    if (image.isNull())
        return;
    const QRegion uncovered = uncoveredParts(area);
    if (uncovered.isEmpty())
        return;
    QPainter painter(&image);
    for (const QRect &part : uncovered)
        painter.fillRect(part.translated(-area.topLeft()), Qt::black);
}

// The whole desktop scaled down into the recording's size, aspect kept and
// centred on black, so a preset smaller than the desktop never cuts it.
void ScreenSource::fitDesktop(CapturedFrame &frame, const QSize &size, const QPoint &pointer)
{
    const QImage &desktop = frame.image;
    const qreal scale = qMin(qreal(size.width()) / desktop.width(),
                             qreal(size.height()) / desktop.height());
    const QSize scaled(qMax(1, int(std::lround(desktop.width() * scale))),
                       qMax(1, int(std::lround(desktop.height() * scale))));
    const QPoint offset((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2);
    QImage fitted(size, QImage::Format_RGB32);
    if (fitted.isNull())
        return;
    fitted.fill(Qt::black);
    uchar *corner = fitted.bits() + offset.y() * fitted.bytesPerLine() + offset.x() * 4;
    libyuv::ARGBScale(desktop.constBits(), int(desktop.bytesPerLine()), desktop.width(),
                      desktop.height(), corner, int(fitted.bytesPerLine()), scaled.width(),
                      scaled.height(), libyuv::kFilterBilinear);
    frame.image = std::move(fitted);
    frame.pointer = offset + QPointF(pointer * scale).toPoint();
}

} // namespace capture
