// Runs each case twice on the same moving screen, once with ScreenRecorder
// and once with ffmpeg's own X11 grabber and the same encoder settings, and
// prints one line per case.

#include "bench/benchcases.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace bench {
namespace {

QHash<QString, QString> parsePairs(const QByteArray &line)
{
    QHash<QString, QString> pairs;
    for (const QByteArray &field : line.trimmed().split(' ')) {
        const int eq = field.indexOf('=');
        if (eq > 0)
            pairs.insert(QString::fromUtf8(field.left(eq)), QString::fromUtf8(field.mid(eq + 1)));
    }
    return pairs;
}

struct FfmpegRun
{
    int frames = -1;
    double cpuMs = 0;
};

// Spawned directly rather than through QProcess, so that wait4 hands back
// the child's own CPU time.
FfmpegRun runFfmpeg(const Case &c, int seconds, const QString &output)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    QStringList args{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                     "-f", "x11grab", "-framerate", QString::number(c.frameRate),
                     "-video_size", QStringLiteral("%1x%2").arg(c.size.width()).arg(c.size.height()),
                     "-i", display + QStringLiteral("+0,0")};
    // The same sound as the recorder takes: the default output's monitor.
    if (c.audio)
        args << "-f" << "pulse" << "-i" << "@DEFAULT_MONITOR@";
    args += QStringList{"-t", QString::number(seconds), "-fps_mode", "passthrough", "-pix_fmt",
                        "yuv420p"};
    args += c.encoderArgs;
    args << output;

    std::vector<QByteArray> storage;
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    FfmpegRun run;
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
                + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    run.frames = countFrames(output);
    return run;
}

bool runCase(const Case &c, int seconds, const QString &workDir, QStringList &table)
{
    const QString self = QCoreApplication::applicationFilePath();

    QProcess scroller;
    scroller.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList scrollArgs{"--scroll", "--fps", QString::number(c.frameRate)};
    if (c.audio)
        scrollArgs << "--flash";
    scroller.start(self, scrollArgs);
    if (!scroller.waitForStarted() || !scroller.waitForReadyRead(20000)) {
        std::fprintf(stderr, "bench: the scrolling page did not start\n");
        return false;
    }
    // Let the page settle into its rhythm before anything is measured.
    QThread::msleep(1000);

    const QString vexloDir = workDir + QStringLiteral("/vexlo-") + QString(c.name).replace('@', '_');
    QDir().mkpath(vexloDir);
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start(self, {"--record", "--case", c.name, "--seconds", QString::number(seconds),
                          "--out", vexloDir});
    const bool recorded = recorder.waitForFinished((seconds + 120) * 1000)
                          && recorder.exitStatus() == QProcess::NormalExit
                          && recorder.exitCode() == 0;
    const QHash<QString, QString> stats = parsePairs(recorder.readAllStandardOutput());

    const FfmpegRun ffmpeg = runFfmpeg(
        c, seconds,
        workDir + QStringLiteral("/ffmpeg-%1.%2")
                      .arg(QString(c.name).replace('@', '_'), c.format == WEBM ? "webm" : "mp4"));

    scroller.terminate();
    scroller.waitForFinished(5000);

    if (!recorded || !stats.contains(QStringLiteral("file"))) {
        std::fprintf(stderr, "bench: the recording of %s failed\n", qPrintable(c.name));
        return false;
    }
    const int vexloFrames = countFrames(stats.value(QStringLiteral("file")));
    QString soundFields;
    if (c.audio) {
        const AvOffset offset = measureAvOffset(stats.value(QStringLiteral("file")));
        soundFields = QString::asprintf(" av_offset_ms=%.1f av_offset_max_ms=%.1f av_pairs=%d "
                                        "audio_drift_ppm=%s audio_correction_ppm=%s",
                                        offset.meanMs, offset.maxMs, offset.pairs,
                                        qPrintable(stats.value(QStringLiteral("audio_drift_ppm"))),
                                        qPrintable(stats.value(QStringLiteral("audio_correction_ppm"))));
    }
    const double vexloCpu = stats.value(QStringLiteral("cpu_ms")).toDouble();
    std::printf("case=%s vexlo_fps=%.1f ffmpeg_fps=%.1f vexlo_cpu_ms=%.1f ffmpeg_cpu_ms=%.1f "
                "capture_p50_ms=%s capture_p99_ms=%s loop_p99_ms=%s rss_growth_mb=%s stop_ms=%s%s\n",
                qPrintable(c.name), double(vexloFrames) / seconds, double(ffmpeg.frames) / seconds,
                vexloFrames > 0 ? vexloCpu / vexloFrames : 0.0,
                ffmpeg.frames > 0 ? ffmpeg.cpuMs / ffmpeg.frames : 0.0,
                qPrintable(stats.value(QStringLiteral("capture_p50_ms"))),
                qPrintable(stats.value(QStringLiteral("capture_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("rss_growth_mb"))),
                qPrintable(stats.value(QStringLiteral("stop_ms"))), qPrintable(soundFields));
    std::fflush(stdout);
    table.append(QString::asprintf("%-16s %9.1f %10.1f %12.1f %13.1f %11s %8s", qPrintable(c.name),
                                   double(vexloFrames) / seconds, double(ffmpeg.frames) / seconds,
                                   vexloFrames > 0 ? vexloCpu / vexloFrames : 0.0,
                                   ffmpeg.frames > 0 ? ffmpeg.cpuMs / ffmpeg.frames : 0.0,
                                   qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                                   qPrintable(stats.value(QStringLiteral("stop_ms")))));
    return ffmpeg.frames > 0;
}

// The history page case in a process of its own, which prints its line.
bool runHistoryCase(const QString &workDir)
{
    const QString dir = workDir + QStringLiteral("/history");
    QDir().mkpath(dir);
    QProcess history;
    history.setProcessChannelMode(QProcess::ForwardedChannels);
    history.start(QCoreApplication::applicationFilePath(), {"--history", "--out", dir});
    const bool ran = history.waitForFinished(300000) && history.exitStatus() == QProcess::NormalExit
                     && history.exitCode() == 0;
    if (!ran)
        std::fprintf(stderr, "bench: the history case failed\n");
    return ran;
}

// The converter case in a process of its own, which prints its line.
bool runConvertCase(const QString &workDir)
{
    const QString dir = workDir + QStringLiteral("/convert");
    QDir().mkpath(dir);
    QProcess convert;
    convert.setProcessChannelMode(QProcess::ForwardedChannels);
    convert.start(QCoreApplication::applicationFilePath(), {"--convert", "--out", dir});
    const bool ran = convert.waitForFinished(900000) && convert.exitStatus() == QProcess::NormalExit
                     && convert.exitCode() == 0;
    if (!ran)
        std::fprintf(stderr, "bench: the converter case failed\n");
    return ran;
}

} // namespace

int runDriver(int argc, char **argv, const QString &onlyCase, int seconds)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench: no X display; run it through scripts/headless.sh\n");
        return 2;
    }
    QList<Case> cases;
    for (const Case &c : allCases()) {
        if (onlyCase.isEmpty() || c.name.compare(onlyCase, Qt::CaseInsensitive) == 0)
            cases.append(c);
    }
    const bool withHistory =
        onlyCase.isEmpty() || onlyCase.compare(QLatin1String(HistoryCaseName), Qt::CaseInsensitive) == 0;
    const bool withConvert =
        onlyCase.isEmpty() || onlyCase.compare(QLatin1String(ConvertCaseName), Qt::CaseInsensitive) == 0;
    if (cases.isEmpty() && !withHistory && !withConvert) {
        std::fprintf(stderr, "bench: unknown case %s\n", qPrintable(onlyCase));
        return 2;
    }
    QTemporaryDir workDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // The toolkit wants a private runtime folder for the child processes.
        const QString runtime = workDir.path() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    bool ok = true;
    QStringList table;
    for (const Case &c : cases)
        ok = runCase(c, seconds, workDir.path(), table) && ok;
    if (!table.isEmpty()) {
        std::printf("\n%-16s %9s %10s %12s %13s %11s %8s\n", "case", "vexlo fps", "ffmpeg fps",
                    "vexlo cpu/f", "ffmpeg cpu/f", "loop p99 ms", "stop ms");
        for (const QString &row : table)
            std::printf("%s\n", qPrintable(row));
    }
    if (withHistory)
        ok = runHistoryCase(workDir.path()) && ok;
    if (withConvert)
        ok = runConvertCase(workDir.path()) && ok;
    return ok ? 0 : 1;
}

} // namespace bench
