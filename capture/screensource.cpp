#include "capture/screensource.h"

#include "platform/pointer.h"
#include "platform/screengrab.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

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

QImage ScreenSource::grabArea(const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    // The fast path reads device pixels; a scaled screen goes through the
    // toolkit, which maps logical to device pixels itself.
    if (screen->devicePixelRatio() == 1.0) {
        QImage image = grabber->grab(area);
        if (!image.isNull())
            return image;
    }
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

CapturedFrame ScreenSource::latestFrame(const RecordingConfig &config, AVFrame *)
{
    CapturedFrame frame;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return frame;
    const bool region = config.mode == Region;
    if (region && !config.region.isValid())
        return frame;
    frame.image = grabArea(region ? config.region : screen->geometry());
    // Full screen frames start at the screen's origin; a region's at its
    // corner.
    QPoint at = platform::pointerPosition().value_or(QPoint(0, 0));
    if (region)
        at -= config.region.topLeft();
    frame.pointer = at;
    return frame;
}

} // namespace capture
