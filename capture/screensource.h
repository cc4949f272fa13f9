#pragma once

// Full screen and region on X11: the screen's pixels read through MIT-SHM
// (platform::ScreenGrabber), or through the toolkit on a scaled screen. Full
// screen is the chosen monitor, or every monitor at once.

#include "capture/capturesource.h"

#include <memory>

namespace platform {
class ScreenGrabber;
}

namespace capture {

class ScreenSource : public CaptureSource
{
    Q_OBJECT

public:
    explicit ScreenSource(QObject *parent = nullptr);
    ~ScreenSource() override;

    bool start(QString *error) override;
    CapturedFrame latestFrame(const RecordingConfig &config, AVFrame *target) override;
    void stop() override;
    bool followsConfig() const override { return true; }

private:
    QImage grabDeviceArea(const QRect &area);
    static void blackenUncovered(QImage &image, const QRect &area);
    static void fitDesktop(CapturedFrame &frame, const QSize &size, const QPoint &pointer);

    std::unique_ptr<platform::ScreenGrabber> grabber;
};

} // namespace capture
