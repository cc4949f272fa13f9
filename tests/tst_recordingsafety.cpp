// What the recorder keeps when things go wrong, and what a finished file
// holds: files of killed recordings play, finished files carry their full
// duration, last frame and index (for FFmpeg and for GStreamer), a full or
// vanished output stops the recording cleanly, a finish never holds up the
// caller, and hostile paths (a URL as folder, a FIFO as image) do no harm.
#include "recorder/screenrecorder.h"
#include "recorder/watermark.h"

#include "helpers/xclient.h"
#include "support/recordedvideo.h"
#include "support/runningprogram.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>

#include <csignal>

#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace vexlo::test;

namespace {

constexpr int FrameRate = 30;
constexpr double Frame = 1.0 / FrameRate;

// The whole screen in one colour that changes every 50 ms, so that a frame's
// colour tells when it was taken.
class ChangingScreen : public ScreenPatch
{
public:
    ChangingScreen()
    {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        connect(&timer, &QTimer::timeout, this, [this] {
            ++step;
            update();
        });
    }
    void run(bool on) { on ? timer.start(50) : timer.stop(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor::fromHsv((step * 37) % 360, 255, 255));
    }

private:
    QTimer timer;
    int step = 0;
};

struct Run
{
    int exitCode = -1;
    QByteArray output; // standard output and error together
};

Run run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Run result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = process.readAll();
    return result;
}

// The errors ffmpeg finds decoding the file (up to `seconds` when given).
double ffprobeDuration(const QString &file)
{
    const Run r = run(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration",
                                                  "-of", "csv=p=0", file});
    bool ok = false;
    const double seconds = r.output.trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

// Duration as GStreamer's discoverer reports it, or -1.
double gstreamerDuration(const QString &file)
{
    const Run r = run(QStringLiteral("gst-discoverer-1.0"), {file});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+\\.\\d+)"))
            .match(QString::fromUtf8(r.output));
    if (r.exitCode != 0 || !m.hasMatch())
        return -1;
    return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
}

// The frame the ffmpeg program shows at `seconds` from the start: found by
// seeking, or by decoding everything before it.
QImage frameByFfmpeg(const QString &file, double seconds, bool seek)
{
    const QString at = QString::number(seconds, 'f', 6);
    QStringList args{"-v", "error", "-nostdin"};
    if (seek)
        args << "-ss" << at;
    args << "-i" << file;
    if (!seek)
        args << "-vf" << QStringLiteral("select=gte(t\\,%1)").arg(at);
    args << "-frames:v" << "1" << "-f" << "image2pipe" << "-vcodec" << "ppm" << "-";
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), args);
    process.waitForFinished(60000);
    return QImage::fromData(process.readAllStandardOutput(), "PPM");
}

qint64 freeMiB(const QString &dir)
{
    struct statvfs info{};
    if (statvfs(QFile::encodeName(dir).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize) / (1024 * 1024);
}

} // namespace

class RecordingSafetyTest : public QObject
{
    Q_OBJECT

private:
    ChangingScreen screen;
    std::unique_ptr<QTemporaryDir> output;
    std::unique_ptr<ScreenRecorder> recorder;
    QString mountPoint;

    QString outputPath() const { return output->path() + QStringLiteral("/out"); }

    // A small tmpfs of its own as output folder; false when mounting is refused.
    bool mountTmpfs(int mib)
    {
        mountPoint = outputPath();
        QDir().mkpath(mountPoint);
        const Run r = run(QStringLiteral("mount"), {"-t", "tmpfs", "-o",
                                                   QStringLiteral("size=%1m").arg(mib), "tmpfs",
                                                   mountPoint});
        if (r.exitCode != 0) {
            qWarning().noquote() << "mount:" << r.output;
            mountPoint.clear();
            return false;
        }
        return true;
    }

    RecordingConfig hdConfig(OutputFormat format) const
    {
        RecordingConfig config;
        config.format = format;
        config.quality = HD;
        config.frameRate = FrameRate;
        config.captureCursor = false;
        return config;
    }

private slots:
    void initTestCase()
    {
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        screen.run(true);
    }

    void init()
    {
        output = std::make_unique<QTemporaryDir>();
        QDir().mkpath(outputPath());
        recorder = std::make_unique<ScreenRecorder>();
        recorder->setOutputDirectory(outputPath());
    }

    void cleanup()
    {
        recorder.reset();
        if (!mountPoint.isEmpty())
            run(QStringLiteral("umount"), {"-l", mountPoint});
        mountPoint.clear();
        output.reset();
    }

    void killedRecordingPlays_data()
    {
        QTest::addColumn<int>("format");
        for (OutputFormat format : {MP4, MOV, MKV, WEBM, FLV})
            QTest::newRow(QByteArray::number(format).constData()) << int(format);
    }

    void killedRecordingPlays()
    {
        QFETCH(int, format);
        QProcess helper;
        helper.start(QStringLiteral(VEXLO_RECORD_HELPER), {QString::number(format), outputPath()});
        QVERIFY(helper.waitForReadyRead(30000));
        const QString file = QString::fromLocal8Bit(helper.readLine()).trimmed();
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        // Killed once six seconds have reached the disk, however long a
        // loaded machine takes to encode them.
        const auto onDisk = [&file] {
            const RecordedVideo video = decodeRecording(file, false);
            return video.frames.isEmpty() ? 0.0 : video.frames.last().seconds - video.frames.first().seconds;
        };
        QElapsedTimer waited;
        waited.start();
        while (onDisk() < 6.0 && waited.elapsed() < 120000)
            QTest::qWait(500);
        sendSignal(helper, SIGKILL);
        QVERIFY(helper.waitForFinished(10000));

        QCOMPARE(decodeErrors(file, 6), QString());
        const RecordedVideo video = decodeRecording(file, false);
        QVERIFY(video.opened);
        QVERIFY(!video.frames.isEmpty());
        const double covered = video.frames.last().seconds - video.frames.first().seconds;
        QVERIFY2(covered >= 6.0, qPrintable(QStringLiteral("%1 s in %2 frames")
                                                .arg(covered)
                                                .arg(video.frames.size())));
    }

    void finishedRecordingIsComplete_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("gstreamer");
        QTest::newRow("MP4") << int(MP4) << true;
        QTest::newRow("AVI") << int(AVI) << false;
        QTest::newRow("MOV") << int(MOV) << true;
        QTest::newRow("MKV") << int(MKV) << true;
        QTest::newRow("FLV") << int(FLV) << false;
        QTest::newRow("WEBM") << int(WEBM) << true;
    }

    void finishedRecordingIsComplete()
    {
        QFETCH(int, format);
        QSignalSpy captured(recorder.get(), &ScreenRecorder::frameCaptured);
        QVERIFY(recorder->startRecording(hdConfig(OutputFormat(format))));
        const QString file = recorder->currentFilePath();
        QTest::qWait(3000);
        QVERIFY(stopAndWait(*recorder));

        QCOMPARE(decodeErrors(file), QString());
        const RecordedVideo video = decodeRecording(file, false);
        QVERIFY(video.opened);
        // Every frame handed to the preview is in the file, the last one too.
        QCOMPARE(video.frames.size(), captured.size());
        // AVI has no presentation times; its frames are its packets' slots.
        const auto at = [&](int i) {
            return format == AVI ? video.packets.at(i).dts * av_q2d(video.timeBase)
                                 : video.frames.at(i).seconds;
        };
        const double first = at(0);
        const double shown = at(int(video.frames.size()) - 1) + Frame - first;
        const double probed = ffprobeDuration(file);
        QVERIFY2(qAbs(probed - shown) <= Frame + 0.001,
                 qPrintable(QStringLiteral("ffprobe %1 s, frames %2 s").arg(probed).arg(shown)));
        QFETCH(bool, gstreamer);
        if (gstreamer) {
            const double discovered = gstreamerDuration(file);
            QVERIFY2(qAbs(discovered - shown) <= Frame + 0.001,
                     qPrintable(QStringLiteral("GStreamer %1 s, frames %2 s").arg(discovered).arg(shown)));
        }

        // A seek to the middle lands on the frame a full decode shows there.
        const int middle = int(video.frames.size()) / 2;
        const double seconds = at(middle) - first - Frame / 4;
        const QImage sought = frameByFfmpeg(file, seconds, true);
        const QImage decoded = frameByFfmpeg(file, seconds, false);
        QVERIFY(!sought.isNull() && !decoded.isNull());
        const QPoint centre(640, 360);
        QVERIFY2(closeTo(sought.pixelColor(centre), decoded.pixelColor(centre)),
                 qPrintable(describe(sought.pixelColor(centre)) + " against "
                            + describe(decoded.pixelColor(centre))));
    }

    // The finish runs after stopRecording() has returned, even for the
    // slowest encoder, and reports back once.
    void stopReturnsBeforeTheFileIsFinished()
    {
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QSignalSpy finished(recorder.get(), &ScreenRecorder::recordingFinished);
        RecordingConfig config = hdConfig(WEBM);
        config.quality = UHD4K;
        QVERIFY(recorder->startRecording(config));
        const QString file = recorder->currentFilePath();
        QTest::qWait(2000);
        recorder->stopRecording();
        QVERIFY(!recorder->isRecording());
        QVERIFY(recorder->isFinishing());
        QCOMPARE(finished.size(), 0);
        QCOMPARE(states.size(), 2);
        QCOMPARE(states.last().first().toBool(), false);

        QVERIFY(waitUntilFinished(*recorder));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), file);
        QCOMPARE(decodeErrors(file), QString());
        QTest::qWait(200);
        QCOMPARE(finished.size(), 1);
    }

    void lowSpaceRefusesTheStart()
    {
        if (!mountTmpfs(150))
            QSKIP("mounting a tmpfs was refused; the low-space cases need root");
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QVERIFY(!recorder->startRecording(hdConfig(MKV)));
        const QString error = recorder->lastError();
        QVERIFY2(error.contains(QString::number(freeMiB(outputPath())) + QStringLiteral(" MiB"))
                     && error.contains(QStringLiteral("200 MiB")),
                 qPrintable(error));
        QCOMPARE(states.size(), 0);
        QCOMPARE(filesIn(outputPath()), QStringList());
    }

    // Stops the recording by itself once a second's check finds the cause,
    // says why once, and the file plays to its end.
    void recordingStopsByItself_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk nearly full") << "filler" << "MiB";
        QTest::newRow("output folder removed") << "remove" << "删除";
    }

    void recordingStopsByItself()
    {
        QFETCH(QString, cause);
        const bool filler = cause == QLatin1String("filler");
        if (filler && !mountTmpfs(300))
            QSKIP("mounting a tmpfs was refused; the low-space cases need root");
        QSignalSpy aborted(recorder.get(), &ScreenRecorder::recordingAborted);
        QSignalSpy finished(recorder.get(), &ScreenRecorder::recordingFinished);
        QSignalSpy captured(recorder.get(), &ScreenRecorder::frameCaptured);
        QVERIFY(recorder->startRecording(hdConfig(MKV)));
        const QString file = recorder->currentFilePath();
        // Some pictures in the file first, however long a loaded machine takes.
        QTRY_VERIFY_WITH_TIMEOUT(captured.size() >= 15, 30000);
        if (filler) {
            QFile fill(outputPath() + QStringLiteral("/filler"));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray mib(1024 * 1024, '\0');
            while (freeMiB(outputPath()) > ScreenRecorder::recordingFloorMiB - 30)
                QVERIFY(fill.write(mib) == mib.size());
        } else {
            QVERIFY(QDir(outputPath()).removeRecursively());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!recorder->isRecording(), 10000);
        QVERIFY(waitUntilFinished(*recorder));
        QCOMPARE(aborted.size(), 1);
        QFETCH(QString, reason);
        QVERIFY2(aborted.first().first().toString().contains(reason),
                 qPrintable(aborted.first().first().toString()));
        QCOMPARE(finished.size(), 1);
        if (filler) {
            QCOMPARE(decodeErrors(file), QString());
            QVERIFY(decodeRecording(file, false).frames.size() >= 10);
        }
        QTest::qWait(1500);
        QCOMPARE(aborted.size(), 1);

        // The next start makes the folder again.
        if (!filler) {
            QVERIFY2(recorder->startRecording(hdConfig(MKV)), qPrintable(recorder->lastError()));
            QVERIFY(QFileInfo(outputPath()).isDir());
            QVERIFY(stopAndWait(*recorder));
        }
    }

    // A folder string that FFmpeg would take for a URL is refused, and
    // nothing reaches the network.
    void urlAsOutputFolderSendsNothing()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        recorder->setOutputDirectory(url);
        QVERIFY(!recorder->startRecording(hdConfig(MP4)));
        QCOMPARE(recorder->lastError(), QStringLiteral("输出文件夹不是本地的绝对路径: ") + url);
        QTest::qWait(1000);
        QVERIFY(!server.hasPendingConnections());
        QVERIFY(!QFileInfo::exists(QStringLiteral("tcp:")));
    }

    void watermarkImageOnlyFromRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("larger than 32 MiB") << "large";
        QTest::newRow("folder") << "folder";
    }

    // None of these is read as an image (a FIFO would block the open), so the
    // text is drawn in its place.
    void watermarkImageOnlyFromRegularFiles()
    {
        QFETCH(QString, kind);
        const QString path = output->filePath(QStringLiteral("mark.png"));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QImage image(64, 64, QImage::Format_RGB32);
            image.fill(Qt::green);
            QVERIFY(image.save(path));
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.write(QByteArray(33 * 1024 * 1024, '\0')) > 0);
        }
        RecordingConfig config;
        config.watermarkEnabled = true;
        config.imageWatermarkEnabled = true;
        config.watermarkImagePath = path;
        config.watermarkText = QStringLiteral("WM");
        config.watermarkColor = Qt::red;
        config.watermarkPosition = Center;
        config.watermarkFontSize = 120;
        QPixmap frame(400, 300);
        frame.fill(Qt::white);
        WatermarkPainter().apply(frame, config);
        const QImage drawn = frame.toImage();
        bool red = false;
        bool green = false;
        for (int y = 0; y < drawn.height(); y += 2) {
            for (int x = 0; x < drawn.width(); x += 2) {
                const QColor c = drawn.pixelColor(x, y);
                red = red || (c.red() > 200 && c.green() < 150);
                green = green || (c.green() > 200 && c.red() < 100);
            }
        }
        QVERIFY(red);
        QVERIFY(!green);
    }

    // A window destroyed while it is recorded fails on every tick; the log
    // says so once.
    void repeatedTickFailureLogsOnce()
    {
        XClient x;
        QVERIFY(x.isConnected());
        const xcb_window_t window = x.createWindow(QRect(200, 200, 320, 240), 0xc80000);
        x.map(window);
        QTRY_VERIFY(x.wmState(window) == 1);
        RecordingConfig config = hdConfig(MKV);
        config.mode = Window;
        config.windowId = window;
        config.quality = UHD4K;
        LogCapture log;
        QVERIFY(recorder->startRecording(config));
        QTest::qWait(500);
        x.destroy(window);
        QTest::qWait(1500);
        QVERIFY(stopAndWait(*recorder));
        const auto lines = log.lines();
        const auto invalid = std::count_if(lines.begin(), lines.end(), [](const LogCapture::Line &l) {
            return l.text == QStringLiteral("无效的窗口句柄");
        });
        QCOMPARE(invalid, 1);
    }
};

VEXLO_TEST_MAIN(RecordingSafetyTest)
#include "tst_recordingsafety.moc"
