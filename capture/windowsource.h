#pragma once

// Window mode on X11: the chosen window's own image, taken also while other
// windows cover it (Composite), with a copy of its on-screen pixels as
// fallback. The window stays redirected while it is the target.

#include "capture/capturesource.h"

#include <QSet>

#include <memory>

namespace platform {
class WindowCapture;
}

namespace capture {

class WindowSource : public CaptureSource
{
    Q_OBJECT

public:
    explicit WindowSource(QObject *parent = nullptr);
    ~WindowSource() override;

    bool start(QString *error) override;
    CapturedFrame latestFrame(const RecordingConfig &config, AVFrame *target) override;
    void stop() override;
    bool followsConfig() const override { return true; }

private:
    QImage captureWindow(WId id);
    // A per-tick failure goes to the log once per window.
    void warnOnce(const QString &line);

    std::unique_ptr<platform::WindowCapture> windowCapture;
    WId lastWindow = 0;
    QSet<QString> warnedLines;
};

} // namespace capture
