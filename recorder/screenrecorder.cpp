#include "recorder/screenrecorder.h"

#include "platform/screengrab.h"
#include "platform/windowcapture.h"
#include "platform/windowlist.h"
#include "recorder/encodeworker.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

bool ffmpegInitialised = false;

const char *extensionFor(OutputFormat format)
{
    switch (format) {
    case MP4: return ".mp4";
    case AVI: return ".avi";
    case MOV: return ".mov";
    case MKV: return ".mkv";
    case FLV: return ".flv";
    case WEBM: return ".webm";
    }
    return "";
}

} // namespace

ScreenRecorder::ScreenRecorder(QObject *parent)
    : QObject(parent)
    , grabber(std::make_unique<platform::ScreenGrabber>())
    , windowCapture(std::make_unique<platform::WindowCapture>())
{
    if (!ffmpegInitialised) {
        avdevice_register_all();
        avformat_network_init();
        ffmpegInitialised = true;
    }

    captureTimer = new QTimer(this);
    captureTimer->setSingleShot(true);
    // Coarse timers may fire 5 % late, more than a slot's margin at 60 fps.
    captureTimer->setTimerType(Qt::PreciseTimer);
    connect(captureTimer, &QTimer::timeout, this, &ScreenRecorder::captureFrame);

    outputDir = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                + QStringLiteral("/Vexlo");
    QDir().mkpath(outputDir);
}

ScreenRecorder::~ScreenRecorder()
{
    stopRecording();
    captureTimer->stop();
    delete captureTimer;
}

qint64 ScreenRecorder::recordedMilliseconds() const
{
    return recordingClock.elapsed() - pausedTotal;
}

void ScreenRecorder::scheduleTickForSlot(int64_t slot)
{
    // Timestamps are the clock rounded to whole frame slots. Each tick is
    // aimed just inside the span of clock times that round to its slot (the
    // timer never fires early), so it may run up to 0.95 of a frame late and
    // still land there. A fixed 1000 / rate interval (33 ms for 33.3 ms
    // slots) drifts across the slot edges instead and loses frames to
    // ordinary timer jitter.
    constexpr double aimBeforeSlot = 0.45;
    const double slotMs = 1000.0 / encoderFrameRate;
    const qint64 due = qint64(std::ceil((double(slot) - aimBeforeSlot) * slotMs));
    captureTimer->start(int(qMax<qint64>(0, due - recordedMilliseconds())));
}

int64_t ScreenRecorder::ptsForElapsed(qint64 elapsedMs, int frameRate)
{
    return av_rescale_q(elapsedMs, AVRational{1, 1000}, AVRational{1, qMax(1, frameRate)});
}

void ScreenRecorder::resolveCaptureRect()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    switch (config.mode) {
    case FullScreen:
        if (screen != nullptr)
            config.region = screen->geometry();
        break;
    case Window:
        config.region = config.windowId != 0 ? platform::windowRect(config.windowId) : QRect();
        break;
    case Region:
        break;
    }
    if (!config.region.isValid() && screen != nullptr)
        config.region = screen->geometry();
    applyQualitySize(config.region, config.quality);
    recordingQuality = config.quality;
}

void ScreenRecorder::applyQualitySize(QRect &r, VideoQuality quality)
{
    // Preset sizes are taken from the top-left corner, not scaled.
    switch (quality) {
    case HD:
        r.setSize(QSize(1280, 720));
        break;
    case SD:
        r.setSize(QSize(854, 480));
        break;
    case UltraHD:
        if (r.width() > 1920)
            r.setSize(QSize(1920, 1080));
        break;
    case UHD4K:
        break;
    }
}

bool ScreenRecorder::startRecording(const RecordingConfig &newConfig)
{
    if (recording)
        stopRecording();

    startTime = QDateTime::currentMSecsSinceEpoch();
    config = newConfig;
    resolveCaptureRect();

    lastErrorText.clear();
    if (!initEncoder()) {
        lastErrorText = tr("无法初始化FFmpeg");
        emit errorOccurred(lastErrorText);
        return false;
    }

    pausedTotal = 0;
    havePts = false;
    writeErrorReported = false;
    recordingClock.start();
    encoderFrameRate = qMax(1, config.frameRate);
    recording = true;
    paused = false;
    // The first frame shows the screen at the start itself.
    scheduleTickForSlot(0);
    emit recordingStateChanged(true);
    installMouseHook();
    return true;
}

void ScreenRecorder::stopRecording()
{
    if (!recording)
        return;
    finishRecording(false);
}

void ScreenRecorder::finishRecording(bool afterWriteError)
{
    try {
        captureTimer->stop();

        bool writeFailed = afterWriteError;
        if (worker) {
            writeFailed = worker->finish() == EncodeWorker::Result::WriteFailed || writeFailed;
            worker.reset();
        }
        // The trailer is still attempted after a write error: containers that
        // index at the end may get a usable index if the disk has room again,
        // and the streamable ones are playable as written either way.
        if (formatContext != nullptr && av_write_trailer(formatContext) < 0)
            writeFailed = true;
        releaseEncoder();

        pausedTotal = 0;
        recording = false;
        paused = false;
        if (writeFailed && !writeErrorReported) {
            writeErrorReported = true;
            qWarning().noquote() << QStringLiteral("写入视频文件失败，录制已停止");
            emit errorOccurred(tr("写入视频文件失败，录制已停止: %1").arg(filePath));
            emit recordingAborted(tr("写入视频文件失败，录制已停止"));
        }
        emit recordingStateChanged(false);
        removeMouseHook();
        windowCapture->release();
        emit recordingFinished(filePath);
    } catch (const std::exception &e) {
        const QString what = QString::fromLocal8Bit(e.what());
        qCritical().noquote() << QStringLiteral("停止录制时发生异常: ") + what;
        emit errorOccurred(tr("停止录制时发生错误: %1").arg(what));
    }
}

void ScreenRecorder::waitForFinished()
{
    // Finishing is synchronous: nothing is ever left pending here.
}

void ScreenRecorder::onWriteFailed()
{
    // Queued from the worker; the recording may have been stopped meanwhile.
    if (recording && worker && worker->writeFailed())
        finishRecording(true);
}

void ScreenRecorder::pauseRecording()
{
    if (!recording || paused)
        return;
    captureTimer->stop();
    paused = true;
    pauseTimer.start();
}

void ScreenRecorder::resumeRecording()
{
    if (!recording || !paused)
        return;
    pausedTotal += pauseTimer.elapsed();
    paused = false;
    const int64_t now = ptsForElapsed(recordedMilliseconds(), encoderFrameRate);
    scheduleTickForSlot((havePts ? std::max(now, lastPts) : now) + 1);
}

qint64 ScreenRecorder::pausedDuration() const
{
    return pausedTotal + (paused ? pauseTimer.elapsed() : 0);
}

void ScreenRecorder::updateConfig(const RecordingConfig &newConfig)
{
    config = newConfig;
    // A target pushed while recording gets the size rule of the start, so the
    // frame that pointer and watermark are drawn into is the frame that is
    // encoded; a whole screen pushed into an HD recording would otherwise
    // lose a bottom or right watermark to the crop.
    if (recording && config.region.isValid())
        applyQualitySize(config.region, recordingQuality);
}

void ScreenRecorder::setOutputDirectory(const QString &path)
{
    if (path.isEmpty())
        return;
    outputDir = path;
    QDir().mkpath(outputDir);
}

QString ScreenRecorder::outputDirectory() const
{
    return outputDir;
}

QString ScreenRecorder::makeOutputFilePath() const
{
    const QString stem = QDateTime::currentDateTime().toString(QStringLiteral("MMdd_hhmmss"));
    const QString extension = QString::fromLatin1(extensionFor(config.format));
    const QDir dir(outputDir);
    // Two starts in the same second must not replace the first recording.
    QString path = dir.filePath(stem + extension);
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(extension));
    return path;
}
