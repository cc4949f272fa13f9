#include "capture/windowsource.h"

#include "platform/pointer.h"
#include "platform/windowcapture.h"
#include "platform/windowlist.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace capture {

WindowSource::WindowSource(QObject *parent)
    : CaptureSource(parent)
    , windowCapture(std::make_unique<platform::WindowCapture>())
{
}

WindowSource::~WindowSource() = default;

bool WindowSource::start(QString *)
{
    warnedLines.clear();
    return true;
}

void WindowSource::stop()
{
    windowCapture->release();
}

void WindowSource::warnOnce(const QString &line)
{
    if (warnedLines.contains(line))
        return;
    warnedLines.insert(line);
    qWarning().noquote() << line;
}

QImage WindowSource::captureWindow(WId id)
{
    if (!platform::isWindow(id)) {
        warnOnce(QStringLiteral("无效的窗口句柄"));
        // A closed window's id may be reused by its program for another one.
        windowCapture->release();
        return {};
    }
    const QRect rect = platform::windowRect(id);
    if (rect.isNull()) {
        warnOnce(QStringLiteral("获取窗口矩形失败"));
        return {};
    }
    if (rect.width() <= 0 || rect.height() <= 0) {
        warnOnce(QStringLiteral("无效的窗口尺寸"));
        return {};
    }

    QImage image = windowCapture->render(id, rect);
    if (image.isNull()) {
        warnOnce(QStringLiteral("PrintWindow失败，尝试BitBlt"));
        int errorCode = 0;
        image = windowCapture->copy(id, rect, &errorCode);
        if (image.isNull()) {
            warnOnce(QStringLiteral("BitBlt也失败，错误代码: %1").arg(errorCode));
            return {};
        }
    }
    return image;
}

CapturedFrame WindowSource::latestFrame(const RecordingConfig &config, AVFrame *)
{
    CapturedFrame frame;
    if (config.windowId != lastWindow) {
        // A new target may fail in its own way; that is worth one more line.
        warnedLines.clear();
        lastWindow = config.windowId;
    }
    if (config.windowId == 0)
        return frame;
    frame.image = captureWindow(config.windowId);
    // The toolkit's own grab of a handle that names no window yields nothing
    // but an X error in the log, on every tick.
    QScreen *screen = QGuiApplication::primaryScreen();
    if (frame.image.isNull() && screen != nullptr && platform::isWindow(config.windowId))
        frame.image = screen->grabWindow(config.windowId).toImage();
    frame.pointer = platform::pointerPosition().value_or(QPoint(0, 0)) - config.region.topLeft();
    return frame;
}

} // namespace capture
