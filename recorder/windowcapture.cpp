// Window mode: the frame is the chosen window's own image, taken also while
// other windows cover it, with a copy of its on-screen pixels as fallback.

#include "platform/windowcapture.h"
#include "platform/windowlist.h"
#include "recorder/screenrecorder.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

QPixmap ScreenRecorder::captureWindow(WId id)
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

    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    if (pixmap.isNull()) {
        warnOnce(QStringLiteral("窗口捕获失败，创建红色背景"));
        pixmap = QPixmap(rect.size());
        pixmap.fill(Qt::red);
    }
    return pixmap;
}

QPixmap ScreenRecorder::grabWindowFrame(WId id)
{
    QPixmap pixmap = captureWindow(id);
    // The toolkit's own grab of a handle that names no window yields nothing
    // but an X error in the log, on every tick.
    QScreen *screen = QGuiApplication::primaryScreen();
    if (pixmap.isNull() && screen != nullptr && platform::isWindow(id))
        pixmap = screen->grabWindow(id);
    return pixmap;
}
