// The converter over ten 5 s clips, measured in a process of its own: the
// page's runner (ConversionRunner with the page's default profile, MP4 at
// high quality) against a plain shell loop of the same ffmpeg commands. The
// times printed are the means of two runs of each.

#include "bench/benchcases.h"

#include "converter/conversionprofiles.h"
#include "converter/conversionrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace bench {
namespace {

constexpr int Clips = 10;
constexpr int ClipSeconds = 5;
constexpr int BatchTimeoutMs = 600000;

bool makeClip(const QString &path)
{
    const QString seconds = QString::number(ClipSeconds);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "testsrc2=s=640x360:r=25:d=" + seconds, "-f", "lavfi", "-i",
                  "sine=frequency=440:duration=" + seconds, "-c:v", "mpeg4", "-q:v", "3", "-c:a",
                  "pcm_s16le", "-shortest", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
           && ffmpeg.exitCode() == 0;
}

QStringList arguments(const QString &input, const QString &outputDir)
{
    return converter::videoArguments(input, converter::outputPathFor(input, outputDir, "mp4"), "mp4",
                                     converter::VideoQuality::High);
}

QString shellQuoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace("'", "'\\''") + QLatin1Char('\'');
}

// Seconds the shell loop took, or -1.
double runShellLoop(const QStringList &inputs, const QString &outputDir)
{
    QString script;
    for (const QString &input : inputs) {
        script += QStringLiteral("ffmpeg");
        for (const QString &argument : arguments(input, outputDir))
            script += QLatin1Char(' ') + shellQuoted(argument);
        script += QStringLiteral(" >/dev/null 2>&1\n");
    }
    QElapsedTimer clock;
    clock.start();
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"), {"-c", script});
    if (!shell.waitForFinished(BatchTimeoutMs) || shell.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

struct RunnerTimes
{
    double seconds = -1;
    // What is not ffmpeg running: starting it, reading it, moving on.
    double gapSeconds = 0;
};

// From start to the runner's report.
RunnerTimes runRunner(const QStringList &inputs, const QString &outputDir)
{
    QElapsedTimer clock;
    double running = 0;
    ConversionRunner runner([&](QProcess *process, const QString &input, const QSet<QString> &) {
        auto startedAt = std::make_shared<qint64>(0);
        QObject::connect(process, &QProcess::started, process,
                         [startedAt, &clock] { *startedAt = clock.nsecsElapsed(); });
        QObject::connect(process, &QProcess::finished, process, [startedAt, &clock, &running] {
            running += (clock.nsecsElapsed() - *startedAt) / 1e9;
        });
        process->setArguments(arguments(input, outputDir));
        return converter::outputPathFor(input, outputDir, "mp4");
    });
    QList<qint64> sizes;
    for (const QString &input : inputs)
        sizes << QFileInfo(input).size();

    QEventLoop done;
    bool clean = false;
    QObject::connect(&runner, &ConversionRunner::batchFinished, &done,
                     [&](const converter::BatchReport &report) {
                         clean = report.failures.isEmpty() && report.shortOutputs.isEmpty();
                         done.quit();
                     });
    QTimer::singleShot(BatchTimeoutMs, &done, &QEventLoop::quit);
    clock.start();
    runner.start(inputs, sizes);
    done.exec();
    RunnerTimes times;
    if (!clean)
        return times;
    times.seconds = clock.nsecsElapsed() / 1e9;
    times.gapSeconds = times.seconds - running;
    return times;
}

bool allConverted(const QString &outputDir)
{
    return QDir(outputDir).entryList(QDir::Files).size() == Clips;
}

} // namespace

int runConvert(int argc, char **argv, const QString &workDir)
{
    QCoreApplication app(argc, argv);
    QStringList inputs;
    for (int i = 0; i < Clips; ++i) {
        const QString path = workDir + QStringLiteral("/clip%1.avi").arg(i);
        if (!makeClip(path)) {
            std::fprintf(stderr, "bench: ffmpeg could not make the clips\n");
            return 1;
        }
        inputs << path;
    }
    // Shell, runner, runner, shell: a machine whose load drifts during the
    // case weighs on both sides alike.
    double shellSeconds = 0;
    double runnerSeconds = 0;
    double gapSeconds = 0;
    for (const QString &side : {"shell", "runner", "runner", "shell"}) {
        const QString dir = workDir + QLatin1Char('/') + side;
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        const bool shell = side == QLatin1String("shell");
        const RunnerTimes runner = shell ? RunnerTimes() : runRunner(inputs, dir);
        const double seconds = shell ? runShellLoop(inputs, dir) : runner.seconds;
        gapSeconds += runner.gapSeconds / 2;
        if (seconds <= 0 || !allConverted(dir)) {
            std::fprintf(stderr, "bench: a conversion of the clips by the %s failed\n", qPrintable(side));
            return 1;
        }
        (shell ? shellSeconds : runnerSeconds) += seconds / 2;
    }
    std::printf("case=%s files=%d runner_s=%.2f shell_s=%.2f ratio=%.3f runner_gap_ms_per_file=%.1f\n",
                ConvertCaseName, Clips, runnerSeconds, shellSeconds, runnerSeconds / shellSeconds,
                gapSeconds * 1000 / Clips);
    std::fflush(stdout);
    return 0;
}

} // namespace bench
