// The capture tick: grab the target, hand the frame to the preview, convert
// it to the encoder's YUV 4:2:0 and queue it for encoding with a timestamp
// taken from the clock, paused time left out. A source that converts on its
// own thread (the desktop's screen sharing) hands over each picture as it
// arrives, already in YUV; only the pointer and the watermark are painted on.
// Desktops send pictures when the screen changes: every frame slot still
// gets one, the last picture repeated, so the file has the chosen rate.
//
// While recording, updateConfig() changes the target (mode, region, window)
// from the next tick on; the converter keeps the size fixed at start, so a
// frame of another size is cropped or padded with black, never read beyond.

#include "capture/capturesource.h"
#include "capture/screensource.h"
#include "capture/windowsource.h"
#include "recorder/encodeworker.h"
#include "recorder/screenrecorder.h"
#include "recorder/yuvoverlay.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <exception>

#include <libyuv/convert_from_argb.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
// The preview of a converted frame is made small: the page shows it scaled
// down anyway, and a full-size RGB copy would double the tick's work.
constexpr int PreviewWidth = 640;
} // namespace

capture::CaptureSource &ScreenRecorder::currentSource()
{
    if (source && !source->followsConfig())
        return *source;
    const bool window = config.mode == Window;
    if (!source || (qobject_cast<capture::WindowSource *>(source.get()) != nullptr) != window) {
        // The window stays redirected only while it is the target.
        if (source)
            source->stop();
        if (window)
            source = std::make_unique<capture::WindowSource>();
        else
            source = std::make_unique<capture::ScreenSource>();
        QString ignored;
        source->start(&ignored);
    }
    return *source;
}

void ScreenRecorder::onSourceEnded(const QString &reason)
{
    abortRecording(reason.isEmpty() ? tr("屏幕共享已被桌面结束") : reason);
}

QPixmap ScreenRecorder::grabScreenFrame()
{
    QPixmap pixmap;
    try {
        capture::CapturedFrame captured = currentSource().latestFrame(config, nullptr);
        if (!captured.image.isNull())
            pixmap = QPixmap::fromImage(std::move(captured.image));
        if (pixmap.isNull() && !config.region.isEmpty()) {
            pixmap = QPixmap(config.region.size());
            pixmap.fill(Qt::black);
        }
        if (config.captureCursor && !pixmap.isNull() && captured.pointer)
            drawCursorOverlay(pixmap, *captured.pointer, captured.pointerScale);
    } catch (const std::exception &) {
        pixmap = QPixmap(config.region.size());
        pixmap.fill(Qt::black);
    }
    return pixmap;
}

QPixmap ScreenRecorder::capturePreviewFrame(bool withWatermark)
{
    // A source fixed at start shows its frames through frameCaptured only.
    if (source && !source->followsConfig())
        return {};
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

bool ScreenRecorder::sourceDelivers() const
{
    return source && !source->followsConfig();
}

// Every slot: a source that delivers pictures repeats its last one when
// nothing new came; a new one is taken at once as it arrives as well.
void ScreenRecorder::captureFrame()
{
    if (!recording || paused || !worker)
        return;
    takeFrame(false);
}

void ScreenRecorder::onPictureArrived()
{
    if (recording && !paused && worker)
        takeFrame(true);
}

// Slots the timer missed while the GUI thread was busy get the picture too,
// a second of them at most, as long as the pool has frames.
void ScreenRecorder::repeatMissedSlots(int64_t pts)
{
    const int64_t end = std::min(pts, lastPts + 1 + encoderFrameRate);
    for (int64_t slot = lastPts + 1; slot < end && worker->hasFreeFrame(); ++slot) {
        AVFrame *target = worker->acquireFrame();
        if (target == nullptr)
            return;
        const capture::CapturedFrame captured = source->latestFrame(config, target);
        if (!captured.converted) {
            worker->release(target);
            return;
        }
        paintConvertedOverlays(captured, target);
        target->pts = slot;
        lastPts = slot;
        worker->submit(target);
    }
}

void ScreenRecorder::takeFrame(bool arrived)
{
    const qint64 elapsedMs = recordedMilliseconds();
    int64_t pts = ptsForElapsed(elapsedMs, encoderFrameRate);
    // A picture that arrives past the last frame's time but rounds onto it
    // takes the next slot, less than a frame early, instead of being lost.
    if (arrived && havePts && pts <= lastPts
        && elapsedMs * encoderFrameRate > lastPts * 1000)
        pts = lastPts + 1;
    scheduleTickForSlot((havePts ? std::max(pts, lastPts) : pts) + 1);
    if (limitSlot > 0 && pts >= limitSlot) {
        if (havePts && lastPts >= limitSlot - 1) {
            if (!limitTold) {
                limitTold = true;
                emit timeLimitReached();
            }
            return;
        }
        // A late tick past the limit still fills the last slot before it,
        // so the file lasts exactly the time set.
        pts = limitSlot - 1;
    }
    // A timestamp already used (the clock read early, or a very late tick
    // before this one) would be rejected by the muxer: skip the tick.
    if (havePts && pts <= lastPts)
        return;
    if (sourceDelivers() && havePts)
        repeatMissedSlots(pts);
    // Every pool frame still waiting for the encoder: this tick would be
    // dropped anyway, so it is not grabbed either.
    if (!worker->hasFreeFrame())
        return;

    AVFrame *target = nullptr;
    try {
        QElapsedTimer clock;
        clock.start();
        target = worker->acquireFrame();
        if (target == nullptr)
            return;
        bool composed = false;
        qint64 receivedNs = 0;
        if (sourceDelivers()) {
            const capture::CapturedFrame captured = source->latestFrame(config, target);
            receivedNs = captured.receivedNs;
            composed = captured.converted && composeConvertedFrame(captured, target);
        } else {
            QPixmap grabbed = grabScreenFrame();
            composed = composeGrabbedFrame(std::move(grabbed), target, clock.nsecsElapsed());
        }
        // A receiver of the preview may have stopped the recording; the
        // frame then went with the worker.
        if (!recording || !worker)
            return;
        if (!composed || paused) {
            worker->release(target);
            return;
        }
        if (sourceDelivers())
            lastCaptureNs = clock.nsecsElapsed();
        // A picture queued again (none newer came) is a repeat, not a delay.
        lastLatencyNs =
            receivedNs > 0 && receivedNs != lastReceivedNs ? capture::steadyNowNs() - receivedNs : 0;
        lastReceivedNs = receivedNs;
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

// The X11 path: the grab (pointer included) is painted on as a pixmap, shown,
// then converted into the pool frame.
bool ScreenRecorder::composeGrabbedFrame(QPixmap frame, AVFrame *target, qint64 grabNs)
{
    if (frame.isNull()) {
        warnOnce(QStringLiteral("捕获的帧无效"));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    if (config.watermarkEnabled)
        applyWatermark(frame);
    grabNs += clock.nsecsElapsed();

    emit frameCaptured(frame);
    if (!recording || paused || !worker)
        return false;

    clock.restart();
    QImage composed = frame.toImage();
    if (composed.format() != QImage::Format_RGB32)
        composed.convertTo(QImage::Format_RGB32);
    if (!convertFrame(composed, target)) {
        warnOnce(QStringLiteral("图像格式转换失败"));
        return false;
    }
    lastCaptureNs = grabNs + clock.nsecsElapsed();
    return true;
}

// A source that converts on its own thread has filled the pool frame: the
// pointer and the watermark are painted over their own small rectangles.
void ScreenRecorder::paintConvertedOverlays(const capture::CapturedFrame &captured, AVFrame *target)
{
    if (config.captureCursor && captured.pointer)
        drawCursorOverlay(target, captured);
    if (config.watermarkEnabled)
        watermark.apply(target, config);
}

bool ScreenRecorder::composeConvertedFrame(const capture::CapturedFrame &captured, AVFrame *target)
{
    paintConvertedOverlays(captured, target);
    emit frameCaptured(yuv::previewOf(target, PreviewWidth));
    return true;
}
