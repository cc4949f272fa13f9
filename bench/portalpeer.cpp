// The peer of the portal case: the same PipeWire stream, opened through the
// same portal as any application would, recorded by GStreamer with the
// recorder's encoder settings.

#include "bench/benchcases.h"

#include "support/portalclient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <vector>

#include <csignal>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

extern char **environ;

namespace bench {

namespace {

// From the first frame to the end of the last, as the file's timestamps say.
double videoSeconds(const QString &path)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return 0;
    double seconds = 0;
    if (avformat_find_stream_info(format, nullptr) >= 0 && format->duration > 0)
        seconds = format->duration / double(AV_TIME_BASE);
    avformat_close_input(&format);
    return seconds;
}

void runEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

PeerRun runPortalPeer(const Case &c, int seconds, const QString &output)
{
    PeerRun run;
    vexlo::test::PortalClient client;
    if (client.start({}) != 0) {
        std::fprintf(stderr, "bench: the peer's portal session failed: %s\n", qPrintable(client.error()));
        return run;
    }
    const int fd = client.openPipeWireRemote();
    if (fd < 0) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(client.error()));
        return run;
    }

    // The recorder takes a preset's size from the top-left corner of the
    // stream, unscaled: so does the peer, before it converts.
    const QSize stream = client.streamSize();
    QStringList args{"gst-launch-1.0", "-q", "-e", "pipewiresrc", QStringLiteral("fd=%1").arg(fd),
                     QStringLiteral("path=%1").arg(client.nodeId()), "!", "videocrop",
                     QStringLiteral("right=%1").arg(qMax(0, stream.width() - c.size.width())),
                     QStringLiteral("bottom=%1").arg(qMax(0, stream.height() - c.size.height())), "!",
                     "videoconvert", "!", "video/x-raw,format=I420", "!"};
    args += c.peerEncoderArgs;
    args << "!" << "mp4mux" << "!" << "filesink" << QStringLiteral("location=%1").arg(output);

    std::vector<QByteArray> storage;
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const bool spawned = posix_spawnp(&pid, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ) == 0;
    ::close(fd);
    if (!spawned)
        return run;
    // The session must stay answered while the peer records.
    runEventLoopFor(seconds * 1000);
    // -e: an interrupt ends the stream, so the file is finished properly.
    kill(pid, SIGINT);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench: the peer's recording failed\n");
        return run;
    }
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
                + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    run.frames = countFrames(output);
    run.seconds = videoSeconds(output);
    return run;
}

} // namespace bench
