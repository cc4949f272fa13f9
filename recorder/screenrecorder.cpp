#include "recorder/screenrecorder.h"

#include "capture/capturesource.h"
#include "capture/monitors.h"
#include "platform/windowlist.h"
#include "recorder/audiocapture.h"
#include "recorder/encodeworker.h"
#include "recorder/flvindex.h"
#include "recorder/mp4duration.h"

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
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace {

bool ffmpegInitialised = false;

QString avErrorString(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

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
    // Any other value is written as MP4 (see encoder.cpp); the name says so,
    // so that the file is listed and opened as what it is.
    return ".mp4";
}

} // namespace

ScreenRecorder::ScreenRecorder(QObject *parent)
    : QObject(parent)
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

    outputCheckTimer = new QTimer(this);
    outputCheckTimer->setInterval(1000);
    connect(outputCheckTimer, &QTimer::timeout, this, &ScreenRecorder::checkOutput);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenRecorder::onScreenRemoved);

    outputDir = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                + QStringLiteral("/Vexlo");
    QDir().mkpath(outputDir);
}

ScreenRecorder::~ScreenRecorder()
{
    stopRecording();
    waitForFinished();
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

void ScreenRecorder::setTimeLimit(qint64 limitMs)
{
    // Slot k shows the time k / rate: the slots before the limit make up its length.
    limitSlot = limitMs > 0 ? (limitMs * encoderFrameRate + 999) / 1000 : 0;
    limitTold = false;
}

int64_t ScreenRecorder::ptsForElapsed(qint64 elapsedMs, int frameRate)
{
    return av_rescale_q(elapsedMs, AVRational{1, 1000}, AVRational{1, qMax(1, frameRate)});
}

void ScreenRecorder::resolveCaptureRect()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    // A source that fixed its size at start decides the rectangle itself.
    const QSize fixedSize = source && !source->followsConfig() ? source->frameSize() : QSize();
    if (fixedSize.isValid())
        config.region = QRect(QPoint(0, 0), fixedSize);
    else if (config.mode == FullScreen)
        config.region = capture::recordedArea(config.screen);
    else if (config.mode == Window)
        config.region = config.windowId != 0 ? platform::windowRect(config.windowId) : QRect();
    else if (config.mode == Region)
        config.region = capture::toDevice(config.region);
    if (!config.region.isValid() && screen != nullptr)
        config.region = screen->geometry();
    applyQualitySize(config.region, config.quality);
    recordedMonitor = capture::recordedMonitorName(config.screen);
    recordingQuality = config.quality;
    recordingFormat = config.format;
}

void ScreenRecorder::applyQualitySize(QRect &r, VideoQuality quality)
{
    // Preset sizes are taken from the top-left corner, not scaled; all
    // screens at once are scaled into them by their source.
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

bool ScreenRecorder::startRecording(const RecordingConfig &newConfig,
                                    std::unique_ptr<capture::CaptureSource> given)
{
    if (recording)
        stopRecording();
    // One file is finished at a time, and in order.
    waitForFinished();

    // A refused start must not leave the given source streaming.
    struct GivenSource
    {
        std::unique_ptr<capture::CaptureSource> source;
        ~GivenSource()
        {
            if (source)
                source->stop();
        }
    } pending{std::move(given)};

    lastErrorText.clear();
    if (!prepareOutputFolder())
        return false;

    if (pending.source) {
        QString error;
        if (!pending.source->start(&error)) {
            refuseStart(error);
            return false;
        }
        if (source)
            source->stop();
        source = std::move(pending.source);
        connect(source.get(), &capture::CaptureSource::ended, this,
                &ScreenRecorder::onSourceEnded);
        connect(source.get(), &capture::CaptureSource::pictureArrived, this,
                &ScreenRecorder::onPictureArrived);
    }
    startTime = QDateTime::currentMSecsSinceEpoch();
    config = newConfig;
    resolveCaptureRect();
    openAudio();

    if (!initEncoder()) {
        releaseFixedSource();
        audio.reset();
        emit errorOccurred(tr("无法初始化FFmpeg"));
        lastErrorText = tr("无法初始化FFmpeg: %1").arg(setupError);
        return false;
    }

    pausedTotal = 0;
    havePts = false;
    limitSlot = 0;
    limitTold = false;
    warnedLines.clear();
    abortReason.clear();
    recordingClock.start();
    startAudio();
    encoderFrameRate = qMax(1, config.frameRate);
    recording = true;
    paused = false;
    // The first frame shows the screen at the start itself.
    scheduleTickForSlot(0);
    outputCheckTimer->start();
    emit recordingStateChanged(true);
    installMouseHook();
    if (!startAudioProblem.isEmpty())
        emit audioProblem(startAudioProblem);
    return true;
}

void ScreenRecorder::refuseStart(const QString &reason)
{
    qWarning().noquote() << reason;
    lastErrorText = reason;
    emit errorOccurred(reason);
}

void ScreenRecorder::stopRecording()
{
    if (!recording)
        return;
    beginFinish(QString());
}

void ScreenRecorder::abortRecording(const QString &reason)
{
    if (!recording)
        return;
    qWarning().noquote() << reason;
    beginFinish(reason);
}

namespace {

// Everything a stopped recording still needs to become a complete file,
// taken over from the recorder: it drains the encoder, writes the trailer and
// releases the media objects on the finishing thread.
struct FinishJob
{
    std::unique_ptr<AudioCapture> audio;
    std::unique_ptr<EncodeWorker> worker;
    AVCodecContext *codec = nullptr;
    AVCodecContext *audioCodec = nullptr;
    AVFormatContext *muxer = nullptr;
    QString path;
    OutputFormat format = MP4;
    AVRational frameRate{30, 1};
    double seconds = 0;
    qint64 endMs = 0; // clock time of the stop, the sound's end

    bool writeFailed = false;
    int writeError = 0;
    qint64 microphoneLostMs = -1;
    qint64 systemLostMs = -1;
    double driftPpm = 0;
    double correctionPpm = 0;

    void run(void (*release)(AVCodecContext *&, AVCodecContext *&, AVFormatContext *&))
    {
        // The sound first: its last frames go to the worker, which then
        // drains everything.
        if (audio) {
            audio->finish(endMs);
            microphoneLostMs = audio->lostAtMs(AudioCapture::Microphone);
            systemLostMs = audio->lostAtMs(AudioCapture::SystemAudio);
            for (auto source : {AudioCapture::Microphone, AudioCapture::SystemAudio}) {
                if (std::fabs(audio->driftPpm(source)) > std::fabs(driftPpm))
                    driftPpm = audio->driftPpm(source);
                correctionPpm = std::max(correctionPpm, audio->correctionPpm(source));
            }
            audio.reset();
        }
        if (worker) {
            writeFailed = worker->finish() == EncodeWorker::Result::WriteFailed;
            writeError = worker->writeError();
            worker.reset();
        }
        // The trailer is still attempted after a write error: containers
        // that index at the end may get a usable index if the disk has room
        // again, and the streamable ones are playable as written either way.
        if (muxer != nullptr) {
            if (const int ret = av_write_trailer(muxer); ret < 0) {
                writeError = writeFailed ? writeError : ret;
                writeFailed = true;
            }
        }
        release(codec, audioCodec, muxer);
        if (writeFailed)
            return;
        if ((format == MP4 || format == MOV) && seconds > 0)
            mp4::writeDuration(path, seconds);
        if (format == FLV)
            flv::addKeyframeIndex(path, frameRate);
    }
};

} // namespace

void ScreenRecorder::beginFinish(const QString &reason)
{
    captureTimer->stop();
    outputCheckTimer->stop();

    auto job = std::make_shared<FinishJob>();
    job->audio = std::move(audio);
    job->endMs = paused ? pauseStartedMs : recordingClock.elapsed();
    job->worker = std::move(worker);
    job->codec = std::exchange(codecContext, nullptr);
    job->audioCodec = std::exchange(audioCodecContext, nullptr);
    job->muxer = std::exchange(formatContext, nullptr);
    videoStream = nullptr;
    audioStream = nullptr;
    job->path = filePath;
    job->format = recordingFormat;
    job->frameRate = AVRational{encoderFrameRate, 1};
    if (havePts)
        job->seconds = double(lastPts + 1 - firstPts) / encoderFrameRate;

    pausedTotal = 0;
    recording = false;
    paused = false;
    finishing = true;
    abortReason = reason;
    finishingPath = filePath;
    const quint64 generation = ++finishGeneration;

    finisher = std::thread([this, job, generation] {
        // The finish must not take the GUI thread's turn either.
        EncodeWorker::lowerThisThreadsPriority();
        job->run(&ScreenRecorder::releaseMedia);
        finishWriteFailed = job->writeFailed;
        finishWriteError = job->writeError < 0 ? avErrorString(job->writeError) : QString();
        finishMicrophoneLostMs = job->microphoneLostMs;
        finishSystemLostMs = job->systemLostMs;
        audioDriftPpm = job->driftPpm;
        audioCorrectionPpm = job->correctionPpm;
        QMetaObject::invokeMethod(
            this, [this, generation] { completeFinish(generation); }, Qt::QueuedConnection);
    });

    emit recordingStateChanged(false);
    removeMouseHook();
    // An X11 window stays redirected only while it is being recorded.
    if (source)
        source->stop();
    releaseFixedSource();
}

void ScreenRecorder::releaseFixedSource()
{
    if (!source || source->followsConfig())
        return;
    source->stop();
    // Possibly inside the source's own ended signal.
    disconnect(source.get(), nullptr, this, nullptr);
    source.release()->deleteLater();
}

void ScreenRecorder::completeFinish(quint64 generation)
{
    if (!finishing || generation != finishGeneration)
        return;
    if (finisher.joinable())
        finisher.join();
    finishing = false;
    if (finishWriteFailed && abortReason.isEmpty()) {
        qWarning().noquote() << QStringLiteral("写入视频文件失败，录制已停止");
        emit errorOccurred(tr("写入视频文件失败，录制已停止: %1").arg(finishingPath));
        abortReason = tr("写入视频文件失败（%1），录制已停止").arg(finishWriteError);
    }
    const QString reason = std::exchange(abortReason, QString());
    if (!reason.isEmpty())
        emit recordingAborted(reason);
    const QString lost = audioLostProblems(std::exchange(finishMicrophoneLostMs, -1),
                                           std::exchange(finishSystemLostMs, -1));
    if (!lost.isEmpty())
        emit audioProblem(lost);
    emit recordingFinished(finishingPath);
}

void ScreenRecorder::waitForFinished()
{
    if (finishing)
        completeFinish(finishGeneration);
}

void ScreenRecorder::onWriteFailed()
{
    // Queued from the worker; the recording may have been stopped meanwhile.
    if (!recording || !worker || !worker->writeFailed())
        return;
    emit errorOccurred(tr("写入视频文件失败，录制已停止: %1").arg(filePath));
    abortRecording(tr("写入视频文件失败（%1），录制已停止").arg(avErrorString(worker->writeError())));
}

void ScreenRecorder::warnOnce(const QString &line)
{
    if (warnedLines.contains(line))
        return;
    warnedLines.insert(line);
    qWarning().noquote() << line;
}

void ScreenRecorder::pauseRecording()
{
    if (!recording || paused)
        return;
    captureTimer->stop();
    paused = true;
    pauseStartedMs = recordingClock.elapsed();
    if (audio)
        audio->pause(pauseStartedMs);
}

void ScreenRecorder::resumeRecording()
{
    if (!recording || !paused)
        return;
    const qint64 resumedMs = recordingClock.elapsed();
    pausedTotal += resumedMs - pauseStartedMs;
    paused = false;
    if (audio)
        audio->resume(resumedMs);
    const int64_t now = ptsForElapsed(recordedMilliseconds(), encoderFrameRate);
    scheduleTickForSlot((havePts ? std::max(now, lastPts) : now) + 1);
}

qint64 ScreenRecorder::pausedDuration() const
{
    return pausedTotal + (paused ? recordingClock.elapsed() - pauseStartedMs : 0);
}

void ScreenRecorder::updateConfig(const RecordingConfig &newConfig)
{
    // A new target may fail in its own way; that is worth one more line.
    if (newConfig.mode != config.mode || newConfig.windowId != config.windowId)
        warnedLines.clear();
    config = newConfig;
    // The X11 grabs read a region in device pixels; the desktop's stream
    // crops it in logical ones.
    if (config.mode == Region && !sourceDelivers())
        config.region = capture::toDevice(config.region);
    if (recording && !sourceDelivers())
        recordedMonitor = capture::recordedMonitorName(config.screen);
    // A target pushed while recording gets the size rule of the start, so the
    // frame that pointer and watermark are drawn into is the frame that is
    // encoded; a whole screen pushed into an HD recording would otherwise
    // lose a bottom or right watermark to the crop.
    if (recording && config.region.isValid())
        applyQualitySize(config.region, recordingQuality);
}

// A whole monitor that is gone ends its recording; the file is kept. Regions
// and windows go on, black where no monitor is left.
void ScreenRecorder::onScreenRemoved(QScreen *screen)
{
    if (!recording || sourceDelivers() || config.mode != FullScreen)
        return;
    if (config.screen == capture::AllScreens || screen->name() == recordedMonitor)
        abortRecording(tr("正在录制的屏幕已断开"));
}

void ScreenRecorder::setOutputDirectory(const QString &path)
{
    if (path.isEmpty())
        return;
    outputDir = path;
    // Only a local absolute path is made here; anything else is refused at
    // the start, with a message, instead of becoming a stray folder.
    if (QDir::isAbsolutePath(path))
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
