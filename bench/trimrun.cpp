// The trim dialog's work on a 60 s 1080p recording Vexlo made at UltraHD, in
// a process of its own: stepping frame by frame with the dialog's decoder
// (100 steps forward, then 100 back from elsewhere), and a 10 s cut through
// the converter's runner against the same ffmpeg command run by hand (hand,
// runner, runner, hand; the means are compared).

#include "bench/benchcases.h"

#include "converter/conversionrunner.h"
#include "converter/cutprofiles.h"
#include "media/framedecoder.h"
#include "recorder/screenrecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace bench {
namespace {

constexpr int RecordSeconds = 60;
constexpr int64_t CutFromUs = 20000000;
constexpr int64_t CutToUs = 30000000;
constexpr int Steps = 100;

// Moving bands and fine stripes, so the recording and the cut cost real bits.
class MovingPage : public QWidget
{
public:
    MovingPage()
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        connect(&timer, &QTimer::timeout, this, [this] {
            ++tick;
            update();
        });
        timer.start(33);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        for (int x = 0; x < width(); x += 40)
            p.fillRect(x, 0, 40, height(), QColor::fromHsv((x / 4 + tick * 5) % 360, 200, 220));
        for (int y = (tick * 7) % 9; y < height(); y += 9)
            p.fillRect(0, y, width(), 2, QColor(20, 20, 20));
    }

private:
    QTimer timer;
    int tick = 0;
};

QString record(const QString &dir)
{
    MovingPage page;
    page.setGeometry(QGuiApplication::primaryScreen()->geometry());
    page.show();
    ScreenRecorder recorder;
    recorder.setOutputDirectory(dir);
    RecordingConfig config;
    config.quality = UltraHD;
    config.format = MP4;
    config.frameRate = 30;
    if (!recorder.startRecording(config))
        return QString();
    const QString path = recorder.currentFilePath();
    QEventLoop loop;
    QTimer::singleShot(RecordSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    recorder.stopRecording();
    while (recorder.isRecording() || recorder.isFinishing())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return path;
}

// Milliseconds per step from index, count steps of delta.
QList<double> stepTimes(media::FrameDecoder &decoder, int from, int delta)
{
    QList<double> times;
    decoder.frame(from);
    for (int i = 1; i <= Steps; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (decoder.frame(from + i * delta).isNull())
            return {};
        times << clock.nsecsElapsed() / 1e6;
    }
    return times;
}

double byHand(const QString &input, const QString &output)
{
    QProcess ffmpeg;
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start(QStringLiteral("ffmpeg"), converter::cutVideoArguments(input, output, CutFromUs, CutToUs));
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

double throughRunner(const QString &input, const QString &output)
{
    ConversionRunner runner([&](QProcess *process, const QString &, const QSet<QString> &) {
        process->setArguments(converter::cutVideoArguments(input, output, CutFromUs, CutToUs));
        return output;
    });
    bool failed = false;
    QEventLoop loop;
    QObject::connect(&runner, &ConversionRunner::batchFinished, &loop,
                     [&](const converter::BatchReport &report) {
                         failed = !report.failures.isEmpty();
                         loop.quit();
                     });
    QElapsedTimer clock;
    clock.start();
    runner.start({input}, {QFileInfo(input).size()}, {CutToUs - CutFromUs});
    loop.exec();
    return failed ? -1 : clock.nsecsElapsed() / 1e9;
}

} // namespace

int runTrim(int argc, char **argv, const QString &workDir)
{
    QApplication app(argc, argv);
    const QString recording = record(workDir);
    if (recording.isEmpty()) {
        std::fprintf(stderr, "bench: the trim case's recording failed\n");
        return 1;
    }
    media::FrameDecoder decoder;
    QString error;
    if (!decoder.open(recording, QSize(768, 432), &error)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return 1;
    }
    const int count = int(decoder.frameTimes().size());
    const QList<double> forward = stepTimes(decoder, count / 3, 1);
    const QList<double> back = stepTimes(decoder, 2 * count / 3, -1);
    if (forward.isEmpty() || back.isEmpty()) {
        std::fprintf(stderr, "bench: a frame of the recording could not be decoded\n");
        return 1;
    }

    double hand = 0;
    double runner = 0;
    int run = 0;
    for (const bool byRunner : {false, true, true, false}) {
        const QString output = workDir + QStringLiteral("/cut%1.mp4").arg(run++);
        const double seconds = byRunner ? throughRunner(recording, output) : byHand(recording, output);
        if (seconds <= 0) {
            std::fprintf(stderr, "bench: a cut of the recording failed\n");
            return 1;
        }
        (byRunner ? runner : hand) += seconds / 2;
    }
    std::printf("case=trim frames=%d step_forward_p50_ms=%.1f step_forward_p99_ms=%.1f "
                "step_back_p50_ms=%.1f step_back_p99_ms=%.1f runner_s=%.2f hand_s=%.2f ratio=%.3f\n",
                count, percentile(forward, 50), percentile(forward, 99), percentile(back, 50),
                percentile(back, 99), runner, hand, runner / hand);
    std::fflush(stdout);
    return 0;
}

} // namespace bench
