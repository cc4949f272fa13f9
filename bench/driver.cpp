// Runs each case twice on the same moving screen, once with ScreenRecorder
// and once with ffmpeg's own X11 grabber and the same encoder settings, and
// prints one line per case. The portal cases record the test portal's
// stream instead, and GStreamer is the peer; the desktop case records the
// real GNOME desktop's monitor with the moving page full screen.

#include "bench/benchcases.h"

#include "support/testportal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>
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
                     "-i", display + QStringLiteral("+%1,0").arg(monitorOffset(c))};
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

// The recorder process, told which capture to use: the X11 cases stay on
// the X server even when the portal rig is up.
QHash<QString, QString> runRecorderProcess(const Case &c, int seconds, const QString &workDir, bool *recorded)
{
    const QString vexloDir = workDir + QStringLiteral("/vexlo-") + QString(c.name).replace('@', '_');
    QDir().mkpath(vexloDir);
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VEXLO_CAPTURE"), c.portal ? QStringLiteral("portal") : QStringLiteral("x11"));
    if (!c.portal)
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
    recorder.setProcessEnvironment(environment);
    recorder.start(QCoreApplication::applicationFilePath(),
                   {"--record", "--case", c.name, "--seconds", QString::number(seconds), "--out", vexloDir});
    *recorded = recorder.waitForFinished((seconds + 120) * 1000) && recorder.exitStatus() == QProcess::NormalExit
                && recorder.exitCode() == 0;
    return parsePairs(recorder.readAllStandardOutput());
}

// A frame from the middle of the recording (the stream's top-left part, at
// its own scale) shows the test portal's content, a colour of its palette
// and a clean frame number, not the X server's screen.
bool showsPortalStream(const QString &file, int seconds, const QString &workDir)
{
    const QString still = workDir + QStringLiteral("/portal-still.png");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-ss", QString::number(seconds / 2.0), "-i", file,
                                            "-frames:v", "1", still});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return false;
    const QImage frame(still);
    return !frame.isNull() && vexlo::test::paletteIndexOf(frame.pixel(200, 40)) >= 0
           && vexlo::test::frameNumberAt(frame, QPoint(0, 0)) >= 0;
}

bool runPortalCase(const Case &c, int seconds, const QString &workDir, QStringList &table)
{
    vexlo::test::TestPortal portal;
    if (!vexlo::test::TestPortal::running() || !portal.setStreamSize(QSize(1920, 1080))
        || !portal.setFrameRate(c.frameRate)) {
        std::fprintf(stderr, "bench: %s needs the portal rig (scripts/headless.sh --portal)\n", qPrintable(c.name));
        return false;
    }
    bool recorded = false;
    const QHash<QString, QString> stats = runRecorderProcess(c, seconds, workDir, &recorded);
    const PeerRun peer =
        runPortalPeer(c, seconds, workDir + QStringLiteral("/peer-%1.mp4").arg(QString(c.name).replace('@', '_')));
    if (!recorded || !stats.contains(QStringLiteral("file"))) {
        std::fprintf(stderr, "bench: the recording of %s failed\n", qPrintable(c.name));
        return false;
    }
    if (!showsPortalStream(stats.value(QStringLiteral("file")), seconds, workDir)) {
        std::fprintf(stderr, "bench: Vexlo's recording of %s does not show the portal's stream\n", qPrintable(c.name));
        return false;
    }
    const int vexloFrames = countFrames(stats.value(QStringLiteral("file")));
    const double vexloFps = double(vexloFrames) / seconds;
    const double peerFps = peer.seconds > 0 ? peer.frames / peer.seconds : 0.0;
    const double vexloCpu = vexloFrames > 0 ? stats.value(QStringLiteral("cpu_ms")).toDouble() / vexloFrames : 0.0;
    const double peerCpu = peer.frames > 0 ? peer.cpuMs / peer.frames : 0.0;
    // fresh_fps: the new pictures among Vexlo's frames (the rest repeat one).
    const double freshFps = stats.value(QStringLiteral("fresh_pictures")).toDouble() / seconds;
    std::printf("case=%s vexlo_fps=%.1f fresh_fps=%.1f peer_fps=%.1f vexlo_cpu_ms=%.1f peer_cpu_ms=%.1f "
                "capture_p50_ms=%s capture_p99_ms=%s latency_p50_ms=%s latency_p99_ms=%s loop_p99_ms=%s "
                "rss_growth_mb=%s stop_ms=%s\n",
                qPrintable(c.name), vexloFps, freshFps, peerFps, vexloCpu, peerCpu,
                qPrintable(stats.value(QStringLiteral("capture_p50_ms"))),
                qPrintable(stats.value(QStringLiteral("capture_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("latency_p50_ms"), QStringLiteral("-"))),
                qPrintable(stats.value(QStringLiteral("latency_p99_ms"), QStringLiteral("-"))),
                qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("rss_growth_mb"))),
                qPrintable(stats.value(QStringLiteral("stop_ms"))));
    std::fflush(stdout);
    table.append(QString::asprintf("%-16s %9.1f %10.1f %12.1f %13.1f %11s %8s", qPrintable(c.name), vexloFps,
                                   peerFps, vexloCpu, peerCpu, qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                                   qPrintable(stats.value(QStringLiteral("stop_ms")))));
    return peer.frames > 0;
}

// The moving page, full screen, in a process of its own.
bool startScroller(QProcess &scroller, const Case &c)
{
    scroller.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList scrollArgs{"--scroll", "--case", c.name, "--fps", QString::number(c.frameRate)};
    if (c.audio)
        scrollArgs << "--flash";
    scroller.start(QCoreApplication::applicationFilePath(), scrollArgs);
    if (!scroller.waitForStarted() || !scroller.waitForReadyRead(20000)) {
        std::fprintf(stderr, "bench: the scrolling page did not start\n");
        return false;
    }
    // Let the page settle into its rhythm before anything is measured.
    QThread::msleep(1000);
    return true;
}

// CPU time a process has taken so far, in milliseconds; -1 when gone.
double processCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are
    // the 14th and 15th of the whole line.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// The user at the desktop's dialog, as the tests' driver does it: shares
// the monitor once the dialog shows.
void answerDialogWhenShown(QProcess &user)
{
    user.setProcessChannelMode(QProcess::ForwardedChannels);
    user.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(VEXLO_GNOME_DIALOG), QStringLiteral("share"), QStringLiteral("monitor")});
}

bool dialogAnswered(QProcess &user)
{
    // Finished already while the peer's event loop ran, or still to finish.
    const bool finished = user.state() == QProcess::NotRunning || user.waitForFinished(120000);
    if (finished && user.exitStatus() == QProcess::NormalExit && user.exitCode() == 0)
        return true;
    std::fprintf(stderr, "bench: the desktop's dialog was not answered (%s, exit %d)\n",
                 qPrintable(user.errorString()), user.exitCode());
    return false;
}

// The real desktop's monitor, with the moving page on it, recorded by Vexlo
// and then by the peer; the compositor's CPU time is taken during each.
bool runDesktopCase(const Case &c, int seconds, const QString &workDir, QStringList &table)
{
    const qint64 compositor = qEnvironmentVariableIntValue("VEXLO_TEST_DESKTOP_COMPOSITOR_PID");
    if (!onDesktopRig() || compositor <= 0) {
        std::fprintf(stderr, "bench: %s needs the GNOME rig (scripts/headless.sh --desktop gnome)\n",
                     qPrintable(c.name));
        return false;
    }
    QProcess scroller;
    if (!startScroller(scroller, c))
        return false;

    QProcess vexloUser;
    answerDialogWhenShown(vexloUser);
    const double compositorAtStart = processCpuMs(compositor);
    bool recorded = false;
    const QHash<QString, QString> stats = runRecorderProcess(c, seconds, workDir, &recorded);
    const double compositorForVexlo = processCpuMs(compositor) - compositorAtStart;
    recorded = dialogAnswered(vexloUser) && recorded;

    QProcess peerUser;
    answerDialogWhenShown(peerUser);
    const double compositorAtPeer = processCpuMs(compositor);
    const PeerRun peer =
        runPortalPeer(c, seconds, workDir + QStringLiteral("/peer-%1.mp4").arg(QString(c.name).replace('@', '_')));
    const double compositorForPeer = processCpuMs(compositor) - compositorAtPeer;
    const bool peerAnswered = dialogAnswered(peerUser);
    scroller.terminate();
    scroller.waitForFinished(5000);

    if (!recorded || !stats.contains(QStringLiteral("file"))) {
        std::fprintf(stderr, "bench: the recording of %s failed\n", qPrintable(c.name));
        return false;
    }
    const int vexloFrames = countFrames(stats.value(QStringLiteral("file")));
    const double vexloFps = double(vexloFrames) / seconds;
    const double peerFps = peer.seconds > 0 ? peer.frames / peer.seconds : 0.0;
    // Per second of recording: both record for the same wall time; the
    // compositor's share covers the whole run of each, set-up included.
    const double vexloCpuPerSecond = stats.value(QStringLiteral("cpu_ms")).toDouble() / seconds;
    const double peerCpuPerSecond = peer.cpuMs / seconds;
    const double freshFps = stats.value(QStringLiteral("fresh_pictures")).toDouble() / seconds;
    std::printf("case=%s vexlo_fps=%.1f fresh_fps=%.1f peer_fps=%.1f vexlo_cpu_ms_per_s=%.1f "
                "peer_cpu_ms_per_s=%.1f cpu_ratio=%.2f latency_p50_ms=%s latency_p99_ms=%s "
                "mutter_cpu_ms_per_s_vexlo=%.1f mutter_cpu_ms_per_s_peer=%.1f capture_p50_ms=%s "
                "capture_p99_ms=%s loop_p99_ms=%s rss_growth_mb=%s stop_ms=%s\n",
                qPrintable(c.name), vexloFps, freshFps, peerFps, vexloCpuPerSecond, peerCpuPerSecond,
                peerCpuPerSecond > 0 ? vexloCpuPerSecond / peerCpuPerSecond : 0.0,
                qPrintable(stats.value(QStringLiteral("latency_p50_ms"), QStringLiteral("-"))),
                qPrintable(stats.value(QStringLiteral("latency_p99_ms"), QStringLiteral("-"))),
                compositorForVexlo / seconds, compositorForPeer / seconds,
                qPrintable(stats.value(QStringLiteral("capture_p50_ms"))),
                qPrintable(stats.value(QStringLiteral("capture_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                qPrintable(stats.value(QStringLiteral("rss_growth_mb"))),
                qPrintable(stats.value(QStringLiteral("stop_ms"))));
    std::fflush(stdout);
    table.append(QString::asprintf("%-16s %9.1f %10.1f %12.1f %13.1f %11s %8s", qPrintable(c.name), vexloFps,
                                   peerFps, vexloFrames > 0 ? stats.value(QStringLiteral("cpu_ms")).toDouble() / vexloFrames : 0.0,
                                   peer.frames > 0 ? peer.cpuMs / peer.frames : 0.0,
                                   qPrintable(stats.value(QStringLiteral("loop_p99_ms"))),
                                   qPrintable(stats.value(QStringLiteral("stop_ms")))));
    if (!peerAnswered || peer.frames <= 0)
        std::fprintf(stderr, "bench: the peer's recording of %s failed\n", qPrintable(c.name));
    return peerAnswered && peer.frames > 0;
}

// Two monitors side by side on the wide screen of the monitor cases.
bool splitIntoMonitors(const Case &c)
{
    const auto xrandr = [](const QStringList &args) {
        return QProcess::execute(QStringLiteral("xrandr"), args) == 0;
    };
    if (xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"})
        && xrandr({"--setmonitor", "RIGHT", "1920/508x1080/286+1920+0", "none"}))
        return true;
    std::fprintf(stderr, "bench: %s needs a 3840x1080 screen (scripts/headless.sh --size 3840x1080) and xrandr\n",
                 qPrintable(c.name));
    return false;
}

bool runCase(const Case &c, int seconds, const QString &workDir, QStringList &table)
{
    if (!c.monitor.isEmpty() && !splitIntoMonitors(c))
        return false;
    if (c.desktop)
        return runDesktopCase(c, seconds, workDir, table);
    if (c.portal)
        return runPortalCase(c, seconds, workDir, table);

    QProcess scroller;
    if (!startScroller(scroller, c))
        return false;

    bool recorded = false;
    const QHash<QString, QString> stats = runRecorderProcess(c, seconds, workDir, &recorded);

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

// The trim case in a process of its own, which prints its line.
bool runTrimCase(const QString &workDir)
{
    const QString dir = workDir + QStringLiteral("/trim");
    QDir().mkpath(dir);
    QProcess trim;
    trim.setProcessChannelMode(QProcess::ForwardedChannels);
    trim.start(QCoreApplication::applicationFilePath(), {"--trim", "--out", dir});
    const bool ran = trim.waitForFinished(1800000) && trim.exitStatus() == QProcess::NormalExit
                     && trim.exitCode() == 0;
    if (!ran)
        std::fprintf(stderr, "bench: the trim case failed\n");
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
    // Without a case, each rig runs the cases it serves: the real desktop
    // its own, the X server and test portal all the others.
    QList<Case> cases;
    for (const Case &c : allCases()) {
        // The monitor cases need a screen of their own size.
        if (onlyCase.isEmpty() ? c.desktop == onDesktopRig() && c.monitor.isEmpty()
                               : c.name.compare(onlyCase, Qt::CaseInsensitive) == 0)
            cases.append(c);
    }
    const bool everything = onlyCase.isEmpty() && !onDesktopRig();
    const bool withHistory =
        everything || onlyCase.compare(QLatin1String(HistoryCaseName), Qt::CaseInsensitive) == 0;
    const bool withConvert =
        everything || onlyCase.compare(QLatin1String(ConvertCaseName), Qt::CaseInsensitive) == 0;
    const bool withTrim =
        everything || onlyCase.compare(QLatin1String(TrimCaseName), Qt::CaseInsensitive) == 0;
    if (cases.isEmpty() && !withHistory && !withConvert && !withTrim && !onlyCase.isEmpty()) {
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
        // The portal cases' peer is GStreamer, in the same columns.
        std::printf("\n%-16s %9s %10s %12s %13s %11s %8s\n", "case", "vexlo fps", "peer fps",
                    "vexlo cpu/f", "peer cpu/f", "loop p99 ms", "stop ms");
        for (const QString &row : table)
            std::printf("%s\n", qPrintable(row));
    }
    if (withHistory)
        ok = runHistoryCase(workDir.path()) && ok;
    if (withConvert)
        ok = runConvertCase(workDir.path()) && ok;
    if (withTrim)
        ok = runTrimCase(workDir.path()) && ok;
    return ok ? 0 : 1;
}

} // namespace bench
