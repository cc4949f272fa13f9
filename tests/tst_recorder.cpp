// The recording engine, checked through the files it writes: each recording
// is decoded and its codec, size, timestamps and pixels compared with what was
// on the screen.
#include "recorder/screenrecorder.h"

#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>

#include <sys/resource.h>

extern "C" {
#include <libavutil/log.h>
}

using namespace vexlo::test;

namespace {

// The system's own words for an error, in the locale the tests run in.
QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A desktop of large flat blocks whose colours survive 4:2:0 and compression.
const QColor Background(0, 0, 200);
const QRect RedBlock(400, 300, 200, 100);
const QColor Red(220, 0, 0);
const QRect GreenBlock(900, 500, 300, 200);
const QColor Green(0, 210, 0);

QColor colourOnScreen(QPoint p)
{
    if (RedBlock.contains(p))
        return Red;
    if (GreenBlock.contains(p))
        return Green;
    return Background;
}

class PatternWindow : public ScreenPatch
{
public:

    // Part of the pattern repainted in a new colour on every call, so that
    // consecutive frames differ.
    void flash(int step)
    {
        flashColour = QColor::fromHsv((step * 37) % 360, 255, 255);
        update(flashArea);
    }

    static constexpr QRect flashArea{1300, 100, 500, 400};

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Background);
        p.fillRect(RedBlock, Red);
        p.fillRect(GreenBlock, Green);
        if (flashColour.isValid()) {
            p.fillRect(flashArea, flashColour);
            // Fine detail, so that each frame costs real bits.
            for (int y = flashArea.top(); y < flashArea.bottom(); y += 3)
                p.fillRect(flashArea.left(), y, flashArea.width(), 1,
                           QColor::fromHsv((y * 7 + flashColour.hue()) % 360, 255, 180));
        }
    }

private:
    QColor flashColour;
};

} // namespace

class RecorderTest : public QObject
{
    Q_OBJECT

private:
    PatternWindow pattern;
    QTemporaryDir outputDir;
    std::unique_ptr<ScreenRecorder> recorder;

    // Records for the given time on a fresh recorder; returns the file.
    // Milliseconds from the start to the stop of the last record() call.
    qint64 recordedMs = 0;

    QString record(const RecordingConfig &config, int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        if (!recorder->startRecording(config))
            return {};
        QTest::qWait(milliseconds);
        const QString path = recorder->currentFilePath();
        recorder->stopRecording();
        // On a busy machine the stop comes later than asked; frames may be
        // stamped up to the stop, never after it.
        recordedMs = clock.elapsed();
        if (!waitUntilFinished(*recorder))
            return {};
        return path;
    }

private slots:
    void initTestCase()
    {
        av_log_set_level(AV_LOG_ERROR);
        QVERIFY(outputDir.isValid());
        pattern.setGeometry(QGuiApplication::primaryScreen()->geometry());
        pattern.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pattern));
        QTest::qWait(500);
    }

    void init()
    {
        QDir(outputDir.path()).removeRecursively();
        QDir().mkpath(outputDir.path());
        recorder = std::make_unique<ScreenRecorder>();
        recorder->setOutputDirectory(outputDir.path());
    }

    void cleanup()
    {
        recorder.reset();
    }

    void sizeTables_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("font");
        QTest::newRow("first") << 0 << 12 << 12;
        QTest::newRow("middle") << 3 << 24 << 32;
        QTest::newRow("last pointer size") << 6 << 72 << 120;
        QTest::newRow("last font size") << 7 << 24 << 240;
        QTest::newRow("negative") << -1 << 24 << 32;
        QTest::newRow("beyond") << 8 << 24 << 32;
    }

    void sizeTables()
    {
        QFETCH(int, index);
        QTEST(cursorSizeForIndex(index), "cursor");
        QTEST(watermarkFontSizeForIndex(index), "font");
    }

    void recordingMatchesProfile_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<int>("frameRate");
        QTest::addColumn<int>("codec");
        QTest::addColumn<QString>("extension");
        // Screen area shown by the file's top-left pixel, and the file's size.
        QTest::addColumn<QRect>("encodedArea");
        QTest::addColumn<QSize>("previewSize");

        const QRect screen(0, 0, 1920, 1080);
        QTest::newRow("MP4 4K odd region made even")
            << int(MP4) << int(UHD4K) << int(Region) << QRect(350, 250, 801, 601) << 30
            << int(AV_CODEC_ID_H264) << ".mp4" << QRect(350, 250, 800, 600) << QSize(801, 601);
        QTest::newRow("AVI 4K full screen")
            << int(AVI) << int(UHD4K) << int(FullScreen) << QRect() << 30
            << int(AV_CODEC_ID_MPEG4) << ".avi" << screen << screen.size();
        QTest::newRow("MOV HD region from its corner")
            << int(MOV) << int(HD) << int(Region) << QRect(100, 100, 400, 300) << 30
            << int(AV_CODEC_ID_H264) << ".mov" << QRect(100, 100, 1280, 720)
            << QSize(1280, 720);
        QTest::newRow("MKV SD full screen")
            << int(MKV) << int(SD) << int(FullScreen) << QRect() << 30 << int(AV_CODEC_ID_H264)
            << ".mkv" << QRect(0, 0, 854, 480) << screen.size();
        QTest::newRow("FLV 4K region")
            << int(FLV) << int(UHD4K) << int(Region) << QRect(360, 260, 640, 480) << 30
            << int(AV_CODEC_ID_H264) << ".flv" << QRect(360, 260, 640, 480) << QSize(640, 480);
        QTest::newRow("WEBM SD region")
            << int(WEBM) << int(SD) << int(Region) << QRect(300, 200, 900, 600) << 30
            << int(AV_CODEC_ID_VP9) << ".webm" << QRect(300, 200, 854, 480) << QSize(854, 480);
        QTest::newRow("MP4 Ultra HD full screen at 60 fps")
            << int(MP4) << int(UltraHD) << int(FullScreen) << QRect() << 60
            << int(AV_CODEC_ID_H264) << ".mp4" << screen << screen.size();
    }

    void recordingMatchesProfile()
    {
        QFETCH(int, format);
        QFETCH(int, quality);
        QFETCH(int, mode);
        QFETCH(QRect, region);
        QFETCH(int, frameRate);
        QFETCH(QRect, encodedArea);
        QFETCH(QSize, previewSize);

        RecordingConfig config;
        config.format = OutputFormat(format);
        config.quality = VideoQuality(quality);
        config.mode = RecordMode(mode);
        config.region = region;
        config.frameRate = frameRate;
        QSignalSpy previews(recorder.get(), &ScreenRecorder::frameCaptured);
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);

        const QString path = record(config, 1500);
        QVERIFY(!path.isEmpty());
        QCOMPARE(states.count(), 2);
        QVERIFY(!previews.isEmpty());
        QCOMPARE(previews.first().first().value<QPixmap>().size(), previewSize);

        QFETCH(QString, extension);
        const QString name = QFileInfo(path).fileName();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}_\\d{6}\\") + extension + '$')
                     .match(name)
                     .hasMatch(),
                 qPrintable(name));

        const RecordedVideo file = decodeRecording(path);
        QVERIFY(file.opened);
        QCOMPARE(file.streams, 1); // both sound boxes off: the picture alone
        QTEST(int(file.codec), "codec");
        QCOMPARE(file.pixelFormat, AV_PIX_FMT_YUV420P);
        QCOMPARE(file.size, encodedArea.size());
        QVERIFY2(file.frames.size() >= 2, qPrintable(QString::number(file.frames.size())));
        QCOMPARE(file.title, format == MKV ? QStringLiteral("Vexlo Recording") : QString());

        // Timestamps: whole frame intervals of the chosen rate apart, strictly
        // rising, and never later than the time actually recorded. AVI has no
        // presentation times; its frame slots are the packets' decoding times.
        QList<double> seconds;
        if (format == AVI) {
            for (const Packet &packet : file.packets)
                seconds.append(packet.dts * av_q2d(file.timeBase));
        } else {
            for (const DecodedFrame &frame : file.frames)
                seconds.append(frame.seconds);
        }
        for (int i = 1; i < seconds.size(); ++i) {
            const double ticks = (seconds[i] - seconds[i - 1]) * frameRate;
            // Millisecond time bases round each timestamp by up to half a unit.
            QVERIFY2(ticks > 0.95 && qAbs(ticks - qRound(ticks)) < 0.05,
                     qPrintable(QString::number(ticks)));
        }
        // Counted from the first frame: fragmented MP4 has no edit list, so its
        // first frame sits at the encoder's B-frame delay, not at zero.
        QVERIFY2(seconds.last() - seconds.first() <= recordedMs / 1000.0 + 1.0 / frameRate,
                 qPrintable(QStringLiteral("%1 to %2 in %3 ms")
                                .arg(seconds.first())
                                .arg(seconds.last())
                                .arg(recordedMs)));
        if (format == FLV) {
            for (const Packet &packet : file.packets)
                QCOMPARE(packet.pts, packet.dts); // no frame reordering: no B-frames
            QCOMPARE(file.profile & ~FF_PROFILE_H264_CONSTRAINED, int(FF_PROFILE_H264_BASELINE));
        }

        // The pixels of the screen at the right place in the last frame.
        const int last = file.frames.size() - 1;
        const QPoint samples[] = {RedBlock.center(), GreenBlock.center(),
                                  RedBlock.topLeft() - QPoint(30, 30),
                                  GreenBlock.bottomRight() + QPoint(30, 30)};
        for (const QPoint &onScreen : samples) {
            if (!encodedArea.adjusted(4, 4, -4, -4).contains(onScreen))
                continue;
            const QColor seen = file.colourAt(last, onScreen - encodedArea.topLeft());
            QVERIFY2(closeTo(seen, colourOnScreen(onScreen)),
                     qPrintable(QStringLiteral("at %1,%2: %3, expected %4")
                                    .arg(onScreen.x())
                                    .arg(onScreen.y())
                                    .arg(describe(seen), describe(colourOnScreen(onScreen)))));
        }
    }

    void ptsFollowsTheClock_data()
    {
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<int>("frameRate");
        QTest::addColumn<qint64>("pts");
        QTest::newRow("one second at 30") << qint64(1000) << 30 << qint64(30);
        QTest::newRow("start") << qint64(0) << 30 << qint64(0);
        QTest::newRow("rounds down below half") << qint64(16) << 30 << qint64(0);
        QTest::newRow("rounds up from half") << qint64(17) << 30 << qint64(1);
        QTest::newRow("one second at 60") << qint64(1000) << 60 << qint64(60);
        QTest::newRow("an hour at 25") << qint64(3600000) << 25 << qint64(90000);
        QTest::newRow("one frame per second") << qint64(2600) << 1 << qint64(3);
    }

    void ptsFollowsTheClock()
    {
        QFETCH(qint64, elapsed);
        QFETCH(int, frameRate);
        QTEST(qint64(ScreenRecorder::ptsForElapsed(elapsed, frameRate)), "pts");
    }

    void pauseLeavesNoGap()
    {
        RecordingConfig config;
        config.quality = SD;
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QVERIFY(recorder->startRecording(config));
        QTest::qWait(1000);

        recorder->pauseRecording();
        recorder->pauseRecording(); // a second pause changes nothing
        QVERIFY(recorder->isPaused());
        QTest::qWait(4000);
        const qint64 midPause = recorder->pausedDuration();
        QVERIFY2(midPause >= 3900 && midPause < 6000, qPrintable(QString::number(midPause)));
        QTest::qWait(6000);
        recorder->resumeRecording();
        recorder->resumeRecording();
        QVERIFY(!recorder->isPaused());
        const qint64 paused = recorder->pausedDuration();
        QVERIFY2(paused >= 10000 && paused < 12000, qPrintable(QString::number(paused)));
        QTest::qWait(1000);
        QCOMPARE(recorder->pausedDuration(), paused);

        const QString path = recorder->currentFilePath();
        QVERIFY(stopAndWait(*recorder));
        QCOMPARE(states.count(), 2);
        QCOMPARE(recorder->pausedDuration(), qint64(0));

        const RecordedVideo file = decodeRecording(path, false);
        QVERIFY(file.opened);
        QVERIFY(file.frames.size() >= 4);
        double largestGap = 0;
        for (int i = 1; i < file.frames.size(); ++i)
            largestGap = qMax(largestGap, file.frames[i].seconds - file.frames[i - 1].seconds);
        QVERIFY2(largestGap < 0.5, qPrintable(QString::number(largestGap)));
        const double lastSecond = file.frames.last().seconds;
        QVERIFY2(lastSecond > 1.5 && lastSecond < 2.6, qPrintable(QString::number(lastSecond)));
    }

    void startWhileRecordingFinishesFirstFile()
    {
        RecordingConfig config;
        config.quality = SD;
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QVERIFY(recorder->startRecording(config));
        QTest::qWait(500);
        const QString first = recorder->currentFilePath();
        // Usually within the same second, so the time-stamped name is taken.
        QVERIFY(recorder->startRecording(config));
        const QString second = recorder->currentFilePath();
        QTest::qWait(500);
        QVERIFY(stopAndWait(*recorder));

        QCOMPARE(states.count(), 4);
        QCOMPARE(states.at(0).first().toBool(), true);
        QCOMPARE(states.at(1).first().toBool(), false);
        QCOMPARE(states.at(2).first().toBool(), true);
        QCOMPARE(states.at(3).first().toBool(), false);
        QVERIFY(first != second);
        QCOMPARE(filesIn(outputDir.path()).size(), 2);
        for (const QString &path : {first, second}) {
            const RecordedVideo file = decodeRecording(path, false);
            QVERIFY2(file.opened && file.frames.size() >= 2, qPrintable(path));
        }
    }

    void failedStartLeavesNothing_data()
    {
        QTest::addColumn<bool>("unwritableFolder");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QString>("signalled");
        // The reason with the system's own words for it.
        QTest::addColumn<QString>("lastError");
        QTest::newRow("folder cannot be created")
            << true << QRect(0, 0, 320, 240) << QString() << QString()
            << QStringLiteral("无法创建输出文件夹 %1: ") + systemWords(ENOTDIR);
        // One pixel wide is zero wide once made even; the encoder refuses it.
        QTest::newRow("encoder refuses the size")
            << false << QRect(10, 10, 1, 200) << QStringLiteral("无法打开视频编码器")
            << QStringLiteral("无法初始化FFmpeg")
            << QStringLiteral("无法初始化FFmpeg: 无法打开视频编码器: ") + systemWords(EINVAL);
    }

    void failedStartLeavesNothing()
    {
        QFETCH(bool, unwritableFolder);
        QFETCH(QRect, region);
        QString folder = outputDir.path();
        if (unwritableFolder) {
            // A folder below a plain file can never be made, not even by root.
            QFile blocker(outputDir.filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            folder = blocker.fileName() + QStringLiteral("/videos");
            recorder->setOutputDirectory(folder);
        }
        LogCapture log;
        QSignalSpy errors(recorder.get(), &ScreenRecorder::errorOccurred);
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);

        RecordingConfig config;
        config.mode = Region;
        config.region = region;
        config.quality = UHD4K;
        QVERIFY(!recorder->startRecording(config));

        QFETCH(QString, logLine);
        QFETCH(QString, signalled);
        QFETCH(QString, lastError);
        QCOMPARE(recorder->lastError(), lastError.arg(folder));
        if (!logLine.isEmpty())
            QVERIFY(log.contains(QtWarningMsg, logLine));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(),
                 signalled.isEmpty() ? lastError.arg(folder) : signalled);
        QCOMPARE(states.count(), 0);
        QVERIFY(!recorder->isRecording());
        QCOMPARE(filesIn(outputDir.path()), unwritableFolder ? QStringList{"blocker"} : QStringList{});
        QVERIFY(recorder->currentFilePath().isEmpty());

        // The recorder is usable again.
        recorder->setOutputDirectory(outputDir.filePath(QStringLiteral("fresh")));
        config.region = QRect(0, 0, 320, 240);
        const QString path = record(config, 300);
        QVERIFY(decodeRecording(path, false).opened);
    }

    void idleControlsDoNothing()
    {
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QSignalSpy errors(recorder.get(), &ScreenRecorder::errorOccurred);
        QVERIFY(stopAndWait(*recorder));
        recorder->pauseRecording();
        recorder->resumeRecording();
        QVERIFY(!recorder->isRecording());
        QVERIFY(!recorder->isPaused());
        QCOMPARE(recorder->pausedDuration(), qint64(0));
        QCOMPARE(states.count(), 0);
        QCOMPARE(errors.count(), 0);
        QVERIFY(filesIn(outputDir.path()).isEmpty());
    }

    void outputDirectory()
    {
        const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        ScreenRecorder fresh;
        QCOMPARE(fresh.outputDirectory(), movies + QStringLiteral("/Vexlo"));
        QVERIFY(QFileInfo(fresh.outputDirectory()).isDir());
        fresh.setOutputDirectory(QString());
        QCOMPARE(fresh.outputDirectory(), movies + QStringLiteral("/Vexlo"));
        const QString nested = outputDir.filePath(QStringLiteral("a/b/c"));
        fresh.setOutputDirectory(nested);
        QCOMPARE(fresh.outputDirectory(), nested);
        QVERIFY(QFileInfo(nested).isDir());
    }

    void changedRegionIsCroppedOrPadded_data()
    {
        QTest::addColumn<QRect>("changedRegion");
        QTest::newRow("smaller") << QRect(RedBlock.topLeft(), QSize(100, 60));
        QTest::newRow("larger") << QRect(GreenBlock.topLeft(), QSize(900, 700));
    }

    void changedRegionIsCroppedOrPadded()
    {
        QFETCH(QRect, changedRegion);
        RecordingConfig config;
        config.mode = Region;
        config.quality = UHD4K;
        config.region = QRect(100, 100, 400, 300);
        QVERIFY(recorder->startRecording(config));
        QTest::qWait(300);
        config.region = changedRegion;
        recorder->updateConfig(config);
        QTest::qWait(700);
        const QString path = recorder->currentFilePath();
        QVERIFY(stopAndWait(*recorder));

        const RecordedVideo file = decodeRecording(path);
        QVERIFY(file.opened);
        QCOMPARE(file.size, QSize(400, 300));
        const int last = file.frames.size() - 1;
        // Top-left: the new region's own content.
        QVERIFY(closeTo(file.colourAt(last, QPoint(20, 20)),
                        colourOnScreen(changedRegion.topLeft() + QPoint(20, 20))));
        const QPoint farCorner(380, 280);
        const QColor expected = changedRegion.width() > 400
                                    ? colourOnScreen(changedRegion.topLeft() + farCorner)
                                    : QColor(Qt::black);
        QVERIFY2(closeTo(file.colourAt(last, farCorner), expected),
                 qPrintable(describe(file.colourAt(last, farCorner))));
    }

    void destructionFinishesTheFile()
    {
        RecordingConfig config;
        config.format = MP4; // unplayable without its trailer
        config.quality = SD;
        QVERIFY(recorder->startRecording(config));
        QTest::qWait(500);
        const QString path = recorder->currentFilePath();
        recorder.reset();
        const RecordedVideo file = decodeRecording(path, false);
        QVERIFY(file.opened);
        QVERIFY(file.frames.size() >= 2);
    }

    void writeErrorStopsAndKeepsWhatWasWritten()
    {
        // A file size limit makes every write past it fail as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit original{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
        rlimit limited = original;
        limited.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        struct Restore
        {
            rlimit limit;
            ~Restore() { setrlimit(RLIMIT_FSIZE, &limit); }
        } restore{original};

        RecordingConfig config;
        config.format = MKV;
        config.quality = UHD4K;
        QSignalSpy errors(recorder.get(), &ScreenRecorder::errorOccurred);
        QSignalSpy states(recorder.get(), &ScreenRecorder::recordingStateChanged);
        QSignalSpy aborted(recorder.get(), &ScreenRecorder::recordingAborted);
        QSignalSpy finished(recorder.get(), &ScreenRecorder::recordingFinished);
        QVERIFY(recorder->startRecording(config));
        const QString path = recorder->currentFilePath();
        int step = 0;
        QElapsedTimer waited;
        waited.start();
        while (recorder->isRecording() && waited.elapsed() < 30000) {
            pattern.flash(step++);
            QTest::qWait(40);
        }
        QVERIFY(!recorder->isRecording());
        QVERIFY(waitUntilFinished(*recorder));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(aborted.count(), 1);
        QVERIFY2(aborted.first().first().toString().startsWith(QStringLiteral("写入视频文件失败（")),
                 qPrintable(aborted.first().first().toString()));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toString(), path);
        QVERIFY(errors.first().first().toString().contains(QFileInfo(path).fileName()));
        QCOMPARE(states.count(), 2);
        QCOMPARE(states.last().first().toBool(), false);
        QVERIFY(QFileInfo(path).size() <= qint64(limited.rlim_cur));

        setrlimit(RLIMIT_FSIZE, &original);
        const RecordedVideo file = decodeRecording(path);
        QVERIFY(file.opened);
        QVERIFY2(file.frames.size() >= 2, qPrintable(QString::number(file.frames.size())));
        QVERIFY(closeTo(file.colourAt(0, RedBlock.center()), Red));
    }
};

VEXLO_TEST_MAIN(RecorderTest)
#include "tst_recorder.moc"
