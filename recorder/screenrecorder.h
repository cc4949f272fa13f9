#pragma once

#include "capture/capturesource.h"
#include "core/recordingconfig.h"
#include "recorder/watermark.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <QSet>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <sys/types.h>

class QScreen;
class QTimer;
struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVStream;


class AudioCapture;
class EncodeWorker;
struct ContainerSpec;

// Owns one recording at a time: resolves the capture rectangle, builds the
// encoder and container, grabs and encodes one frame per timer tick, pauses
// without leaving a gap, and finishes the file on stop. Lives on the GUI thread
// and is called only there; the encoding runs on a worker thread (see
// EncodeWorker), and a stopped recording's file is finished on a thread of its
// own, which reports back through recordingFinished.
class ScreenRecorder : public QObject
{
    Q_OBJECT

public:
    // Free space of the output folder's file system a start needs, and below
    // which a running recording is stopped before the disk is full.
    static constexpr qint64 startFloorMiB = 200;
    static constexpr qint64 recordingFloorMiB = 100;

    explicit ScreenRecorder(QObject *parent = nullptr);
    ~ScreenRecorder() override;

    // False when the start was refused or failed; lastError() says why. A
    // file still being finished is waited for first. Without a source the
    // recording grabs the X11 screen or window the config names; a given
    // source (the desktop's screen sharing) is started already, fixes the
    // size, and is stopped with the recording.
    bool startRecording(const RecordingConfig &config,
                        std::unique_ptr<capture::CaptureSource> source = nullptr);
    // Stops capturing at once; the file is finished in the background and
    // recordingFinished reports it complete.
    void stopRecording();
    void pauseRecording();
    void resumeRecording();

    bool isRecording() const { return recording; }

    // Why the last start failed, in the user's language with the system's
    // own error text; empty after a successful start.
    QString lastError() const { return lastErrorText; }

    // True while a stopped recording's file is still being finished; the
    // file is complete when recordingFinished is emitted.
    bool isFinishing() const { return finishing; }

    // Blocks until a file being finished is complete, and emits what is
    // still due (recordingAborted, recordingFinished) before it returns.
    // For quitting and the destructor.
    void waitForFinished();
    bool isPaused() const { return paused; }

    // Milliseconds spent paused in this recording, the pause in progress included.
    qint64 pausedDuration() const;

    // The running recording takes no frame for recorded time (pauses
    // excluded) from limitMs on, and emits timeLimitReached once when that
    // time comes; the stop is the caller's. 0: no limit. Each start clears it.
    void setTimeLimit(qint64 limitMs);

    // Takes every field; effects while recording are described in the header
    // of framecapture.cpp (the target, pointer and watermark follow at once,
    // the encoder settings only at the next start).
    void updateConfig(const RecordingConfig &config);

    void setOutputDirectory(const QString &path);
    QString outputDirectory() const;

    // One composed frame without encoding, for the live preview.
    QPixmap capturePreviewFrame(bool withWatermark);

    // The file being written, or the last one written; empty before the first
    // successful start. The history page must not treat it as abandoned.
    QString currentFilePath() const { return filePath; }

    // Wall time the last encoded tick spent grabbing, composing and
    // converting. Read by the benchmark.
    qint64 lastCaptureNanoseconds() const { return lastCaptureNs; }
    // How long before its tick queued it the last encoded picture reached
    // the process (a source that delivers on its own); 0 for grabs and for
    // a picture queued again. Read by the benchmark.
    qint64 lastCaptureLatencyNanoseconds() const { return lastLatencyNs; }

    // True while the running recording records sound from the source.
    bool recordsMicrophone() const;
    bool recordsSystemAudio() const;
    // Peak level 0..1 of the source's sound since the last call; 0 when it
    // is not recorded.
    float microphoneLevel();
    float systemAudioLevel();
    // Of the last finished recording with sound: how far the sound's clock
    // ran from the monotonic clock, and the largest correction, in ppm (the
    // larger of the two sources). For the benchmark.
    double lastAudioDriftPpm() const { return audioDriftPpm; }
    double lastAudioCorrectionPpm() const { return audioCorrectionPpm; }

    // Presentation time in units of 1/frameRate for a frame taken
    // elapsedMs after the start, paused time excluded (rounded to nearest).
    static int64_t ptsForElapsed(qint64 elapsedMs, int frameRate);

signals:
    void frameCaptured(const QPixmap &frame);
    void recordingStateChanged(bool recording);
    // The file of a recording is complete on disk (trailer written, handles
    // closed), after a user's stop as after one the recorder made on its own.
    void recordingFinished(const QString &filePath);
    // The recorder ended a recording by itself (a write failure, the disk
    // nearly full, the output file or folder gone); the reason is a sentence
    // in the user's language. Emitted once, before recordingFinished, after
    // recordingStateChanged(false).
    void recordingAborted(const QString &reason);
    void errorOccurred(const QString &error);
    // Sound asked for could not be recorded; the text says which box and
    // why, in the user's language. At most once right after a start
    // (recordingStateChanged(true)): the sources that could not be opened;
    // the recording runs without them. At most once at the finish (before
    // recordingFinished): the sources lost while recording.
    void audioProblem(const QString &text);
    // The recorded time set by setTimeLimit has been reached.
    void timeLimitReached();

private slots:
    void captureFrame();
    void onPictureArrived();
    void checkOutput();

private:
    // encoder.cpp
    bool initEncoder();
    bool createContainer(const ContainerSpec &container);
    bool createEncoder();
    bool createFramePool(std::vector<AVFrame *> &pool);
    bool openOutput(const ContainerSpec &container);
    bool setupFailed(const char *step, int error = 0);
    const AVCodec *findVideoEncoder() const;
    void releaseEncoder();
    static void releaseMedia(AVCodecContext *&codec, AVCodecContext *&audio,
                             AVFormatContext *&format);
    void discardOutputFile();

    // audioencoder.cpp
    void openAudio();
    QString audioOpenProblems(const AudioCapture &capture) const;
    QString audioLostProblems(qint64 microphoneLostMs, qint64 systemLostMs) const;
    bool createAudioEncoder();
    void startAudio();

    // outputfolder.cpp
    bool prepareOutputFolder();
    bool outputStillThere() const;

    // framecapture.cpp
    capture::CaptureSource &currentSource();
    bool sourceDelivers() const;
    void takeFrame(bool arrived);
    void repeatMissedSlots(int64_t pts);
    void onSourceEnded(const QString &reason);
    void onScreenRemoved(QScreen *screen);
    QPixmap grabScreenFrame();
    bool convertFrame(const QImage &image, AVFrame *frame) const;
    bool composeGrabbedFrame(QPixmap frame, AVFrame *target, qint64 grabNs);
    void paintConvertedOverlays(const capture::CapturedFrame &captured, AVFrame *target);
    bool composeConvertedFrame(const capture::CapturedFrame &captured, AVFrame *target);
    void onWriteFailed();

    // cursoroverlay.cpp
    QPixmap cursorPixmap(qreal scale = 1.0) const;
    void drawCursorOverlay(QPixmap &frame, QPoint at, qreal scale);
    void drawCursorOverlay(AVFrame *frame, const capture::CapturedFrame &captured);
    static void installMouseHook();
    static void removeMouseHook();

    // watermark.cpp
    void applyWatermark(QPixmap &frame);

    QString makeOutputFilePath() const;
    static void applyQualitySize(QRect &rect, VideoQuality quality);
    void resolveCaptureRect();
    qint64 recordedMilliseconds() const;
    void scheduleTickForSlot(int64_t slot);
    void refuseStart(const QString &reason);
    void releaseFixedSource();
    void abortRecording(const QString &reason);
    void beginFinish(const QString &abortReason);
    void completeFinish(quint64 generation);
    // A per-tick failure goes to the log once per recording and target.
    void warnOnce(const QString &line);

    RecordingConfig config;
    QString lastErrorText;
    QString setupError;
    bool finishing = false;
    bool recording = false;
    bool paused = false;
    QTimer *captureTimer = nullptr;
    // Free space and the output file, once a second while recording.
    QTimer *outputCheckTimer = nullptr;
    // Clock time of the pause in progress.
    qint64 pauseStartedMs = 0;
    qint64 pausedTotal = 0;
    qint64 startTime = 0;
    QString outputDir;

    // Media objects: null while idle, owned here, released by releaseEncoder.
    AVFormatContext *formatContext = nullptr;
    AVStream *videoStream = nullptr;
    AVCodecContext *codecContext = nullptr;
    AVStream *audioStream = nullptr;
    AVCodecContext *audioCodecContext = nullptr;

    // Timestamps come from a monotonic clock so that a change of the system
    // time cannot freeze or stretch the video.
    QElapsedTimer recordingClock;
    int encoderFrameRate = 30;
    VideoQuality recordingQuality = UltraHD;
    // The monitor a full-screen recording shows, by name: the primary's
    // name is taken when the recording starts on it.
    QString recordedMonitor;
    OutputFormat recordingFormat = MP4;
    int64_t firstPts = 0;
    int64_t lastPts = 0;
    bool havePts = false;
    // The first frame slot past the time limit; 0 for none.
    int64_t limitSlot = 0;
    bool limitTold = false;
    QSize sourceSize;
    QString filePath;
    bool outputOpened = false;
    dev_t outputDevice = 0;
    ino_t outputInode = 0;
    qint64 lastCaptureNs = 0;
    qint64 lastLatencyNs = 0;
    qint64 lastReceivedNs = 0;
    QSet<QString> warnedLines;

    // The finish of a stopped recording: its thread, which finish it is (a
    // report of an earlier one that waitForFinished already took is
    // ignored), and what it found.
    std::thread finisher;
    quint64 finishGeneration = 0;
    QString finishingPath;
    QString abortReason;
    bool finishWriteFailed = false;
    QString finishWriteError;
    qint64 finishMicrophoneLostMs = -1;
    qint64 finishSystemLostMs = -1;
    double audioDriftPpm = 0;
    double audioCorrectionPpm = 0;

    // The sound of the running recording; null without sound. Released
    // before the worker it feeds.
    std::unique_ptr<AudioCapture> audio;
    // What audioProblem says right after the start, when anything.
    QString startAudioProblem;

    std::unique_ptr<EncodeWorker> worker;
    // Where the frames come from: an X11 source following the config while
    // idle and on X11, or the source a start was given.
    std::unique_ptr<capture::CaptureSource> source;
    WatermarkPainter watermark;
};
