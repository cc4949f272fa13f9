// One recording with ScreenRecorder, measured from inside: CPU time of the
// whole process from start to finished file, time per capture, how late the
// GUI thread's timers run, and how much the resident memory grows. A portal
// case opens the desktop's ScreenCast portal first, and measures how old
// each picture is when its tick queues it.

#include "bench/benchcases.h"
#include "capture/portalsource.h"
#include "recorder/screenrecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace bench {
namespace {

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace

int runRecorder(int argc, char **argv, const Case &c, int seconds, const QString &outputDir)
{
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);

    ScreenRecorder recorder;
    recorder.setOutputDirectory(outputDir);
    RecordingConfig config;
    config.mode = FullScreen;
    config.screen = c.monitor;
    config.quality = c.quality;
    config.format = c.format;
    config.frameRate = c.frameRate;
    config.captureCursor = c.overlay;
    config.recordSystemAudio = c.audio;
    if (c.overlay) {
        config.highlightClicks = true;
        config.watermarkEnabled = true;
        config.watermarkText = QStringLiteral("Vexlo");
        config.watermarkPosition = TopLeft;
    }

    // Read after each tick has returned: the queued call runs once the
    // capture slot is done and lastCaptureNanoseconds() holds its figure.
    QList<double> captureMs;
    QList<double> latencyMs;
    qint64 lastSeen = -1;
    QObject::connect(
        &recorder, &ScreenRecorder::frameCaptured, &app,
        [&] {
            const qint64 ns = recorder.lastCaptureNanoseconds();
            if (ns != lastSeen) {
                captureMs.append(ns / 1e6);
                if (recorder.lastCaptureLatencyNanoseconds() > 0)
                    latencyMs.append(recorder.lastCaptureLatencyNanoseconds() / 1e6);
            }
            lastSeen = ns;
        },
        Qt::QueuedConnection);

    // Event-loop latency: how much later than asked a 10 ms timer fires.
    // From the stop until the file is finished, the longest such delay, the
    // stop call itself included: the stall a user would feel on pressing stop.
    QList<double> loopLateMs;
    QElapsedTimer loopClock;
    QElapsedTimer sinceLoopRan;
    bool stopping = false;
    double stopStallMs = 0;
    const auto loopRan = [&] {
        if (stopping)
            stopStallMs = qMax(stopStallMs, sinceLoopRan.nsecsElapsed() / 1e6 - 10.0);
        sinceLoopRan.restart();
    };
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        if (loopClock.isValid() && !stopping)
            loopLateMs.append(qMax(0.0, loopClock.nsecsElapsed() / 1e6 - 10.0));
        loopClock.restart();
        loopRan();
    });

    double rssAtSettle = 0;
    double rssAtEnd = 0;
    const int settleMs = qMin(5000, seconds * 1000 / 2);
    RecordStats stats;
    double cpuAtStart = 0;

    QObject::connect(&recorder, &ScreenRecorder::recordingFinished, &app, [&] {
        loopRan();
        probe.stop();
        stats.cpuMs = cpuMilliseconds() - cpuAtStart;
        stats.stopMs = stopStallMs;
        app.quit();
    });

    const auto start = [&](std::unique_ptr<capture::CaptureSource> source) {
        cpuAtStart = cpuMilliseconds();
        if (!recorder.startRecording(config, std::move(source))) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(recorder.lastError()));
            app.exit(1);
            return;
        }
        // Counted from the first tick's timer start, as ffmpeg's -t counts
        // from its first frame: the encoder's set-up is not recording time.
        stats.file = recorder.currentFilePath();
        probe.start(10);
        sinceLoopRan.start();
        // Precise: a coarse timer may fire 5 % late and record extra frames.
        QTimer::singleShot(settleMs, Qt::PreciseTimer, &app, [&] { rssAtSettle = residentMb(); });
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, [&] {
            rssAtEnd = residentMb();
            stopping = true;
            sinceLoopRan.restart();
            recorder.stopRecording();
        });
    };
    // The portal's stream runs before the recording starts, as it does when
    // a user starts one: only the recording itself is measured.
    std::unique_ptr<capture::PortalSource> portal;
    if (c.portal) {
        portal = std::make_unique<capture::PortalSource>();
        QObject::connect(portal.get(), &capture::PortalSource::ready, &app, [&] { start(std::move(portal)); });
        QObject::connect(portal.get(), &capture::PortalSource::cancelled, &app, [&] { app.exit(1); });
        QObject::connect(portal.get(), &capture::PortalSource::failed, &app, [&](const QString &why) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(why));
            app.exit(1);
        });
    }
    QTimer::singleShot(0, &app, [&] {
        if (!portal) {
            start(nullptr);
            return;
        }
        capture::PortalSource::Choice choice;
        choice.pointer = c.overlay;
        choice.frameRate = c.frameRate;
        portal->open(choice);
    });
    const int rc = app.exec();
    if (rc != 0)
        return rc;

    std::printf("file=%s cpu_ms=%.1f capture_p50_ms=%.2f capture_p99_ms=%.2f loop_p99_ms=%.1f "
                "rss_growth_mb=%.1f stop_ms=%.1f audio_drift_ppm=%.0f audio_correction_ppm=%.0f",
                qPrintable(stats.file), stats.cpuMs, percentile(captureMs, 50),
                percentile(captureMs, 99), percentile(loopLateMs, 99), rssAtEnd - rssAtSettle,
                stats.stopMs, recorder.lastAudioDriftPpm(), recorder.lastAudioCorrectionPpm());
    // Each new picture gives one latency sample; the other ticks repeated one.
    if (!latencyMs.isEmpty())
        std::printf(" latency_p50_ms=%.2f latency_p99_ms=%.2f fresh_pictures=%lld", percentile(latencyMs, 50),
                    percentile(latencyMs, 99), qint64(latencyMs.size()));
    std::printf("\n");
    return 0;
}

} // namespace bench
