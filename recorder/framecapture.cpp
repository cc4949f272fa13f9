// The capture tick: grab the target, hand the frame to the preview, convert
// it to the encoder's YUV 4:2:0 and queue it for encoding with a timestamp
// taken from the clock, paused time left out.
//
// While recording, updateConfig() changes the target (mode, region, window)
// from the next tick on; the converter keeps the size fixed at start, so a
// frame of another size is cropped or padded with black, never read beyond.

#include "platform/screengrab.h"
#include "platform/windowcapture.h"
#include "recorder/encodeworker.h"
#include "recorder/screenrecorder.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <exception>

#include <libyuv/convert_from_argb.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

QPixmap ScreenRecorder::grabArea(const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    // The fast path reads device pixels; a scaled screen goes through the
    // toolkit, which maps logical to device pixels itself.
    if (screen->devicePixelRatio() == 1.0) {
        QImage image = grabber->grab(area);
        if (!image.isNull())
            return QPixmap::fromImage(std::move(image));
    }
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

QPixmap ScreenRecorder::grabScreenFrame()
{
    QPixmap pixmap;
    try {
        QScreen *screen = QGuiApplication::primaryScreen();
        switch (config.mode) {
        case FullScreen:
            if (screen != nullptr)
                pixmap = grabArea(screen->geometry());
            break;
        case Region:
            if (config.region.isValid() && screen != nullptr)
                pixmap = grabArea(config.region);
            break;
        case Window:
            if (config.windowId != 0)
                pixmap = grabWindowFrame(config.windowId);
            break;
        }
        // The window stays redirected only while it is the target.
        if (config.mode != Window)
            windowCapture->release();
        if (pixmap.isNull() && !config.region.isEmpty()) {
            pixmap = QPixmap(config.region.size());
            pixmap.fill(Qt::black);
        }
        if (config.captureCursor && !pixmap.isNull())
            drawCursorOverlay(pixmap);
    } catch (const std::exception &) {
        pixmap = QPixmap(config.region.size());
        pixmap.fill(Qt::black);
    }
    return pixmap;
}

QPixmap ScreenRecorder::capturePreviewFrame(bool withWatermark)
{
    QPixmap frame = grabScreenFrame();
    if (withWatermark && config.watermarkEnabled)
        applyWatermark(frame);
    return frame;
}

bool ScreenRecorder::convertFrame(const QImage &image, AVFrame *frame) const
{
    const int width = frame->width;
    const int height = frame->height;
    const QImage *source = &image;
    QImage padded;
    if (image.width() < width || image.height() < height) {
        padded = QImage(width, height, QImage::Format_RGB32);
        if (padded.isNull())
            return false;
        padded.fill(Qt::black);
        const int rows = qMin(image.height(), height);
        const size_t rowBytes = size_t(qMin(image.width(), width)) * 4;
        for (int y = 0; y < rows; ++y)
            std::memcpy(padded.scanLine(y), image.constScanLine(y), rowBytes);
        source = &padded;
    }
    // Reads only the top-left width x height pixels, so a larger frame is
    // cropped in place. libyuv's "ARGB" is B, G, R, A in memory, which is
    // Format_RGB32 on this little-endian platform.
    return libyuv::ARGBToI420(source->constBits(), int(source->bytesPerLine()), frame->data[0],
                              frame->linesize[0], frame->data[1], frame->linesize[1],
                              frame->data[2], frame->linesize[2], width, height)
           == 0;
}

void ScreenRecorder::captureFrame()
{
    if (!recording || paused || !worker)
        return;
    const int64_t pts = ptsForElapsed(recordedMilliseconds(), encoderFrameRate);
    scheduleTickForSlot((havePts ? std::max(pts, lastPts) : pts) + 1);
    // A timestamp already used (the clock read early, or a very late tick
    // before this one) would be rejected by the muxer: skip the tick.
    if (havePts && pts <= lastPts)
        return;
    // Every pool frame still waiting for the encoder: this tick would be
    // dropped anyway, so it is not grabbed either.
    if (!worker->hasFreeFrame())
        return;

    AVFrame *target = nullptr;
    try {
        QElapsedTimer clock;
        clock.start();
        QPixmap frame = grabScreenFrame();
        if (frame.isNull()) {
            warnOnce(QStringLiteral("捕获的帧无效"));
            return;
        }
        if (config.watermarkEnabled)
            applyWatermark(frame);
        const qint64 grabNs = clock.nsecsElapsed();

        emit frameCaptured(frame);
        // A receiver may have stopped the recording.
        if (!recording || paused || !worker)
            return;

        clock.restart();
        QImage image = frame.toImage();
        if (image.format() != QImage::Format_RGB32)
            image.convertTo(QImage::Format_RGB32);
        target = worker->acquireFrame();
        if (target == nullptr)
            return;
        if (!convertFrame(image, target)) {
            worker->release(target);
            warnOnce(QStringLiteral("图像格式转换失败"));
            return;
        }
        lastCaptureNs = grabNs + clock.nsecsElapsed();
        target->pts = pts;
        if (!havePts)
            firstPts = pts;
        lastPts = pts;
        havePts = true;
        worker->submit(target);
    } catch (const std::exception &e) {
        if (target != nullptr && worker)
            worker->release(target);
        const QString what = QString::fromLocal8Bit(e.what());
        qCritical().noquote() << QStringLiteral("捕获帧时发生异常: ") + what;
        emit errorOccurred(tr("捕获帧时发生错误: %1").arg(what));
    }
}
