// Sound in recordings, checked through the files: the tones of the private
// sound server's microphone (a 440 Hz sine source) and of what is played into
// its output are found in the decoded track, in the codec each container
// gets, cut at pauses as the picture is, in step with the picture, kept when
// the recording is killed; without a server or with a device lost the picture
// goes on and the user is told once.
#include "app/mainwindow.h"
#include "app/pages/levelmeter.h"
#include "core/settingsstore.h"
#include "recorder/audiomixer.h"
#include "recorder/screenrecorder.h"

#include "support/beepplayer.h"
#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/runningprogram.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLocalServer>
#include <QSystemTrayIcon>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <csignal>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

using namespace vexlo::test;

namespace {

constexpr double MicrophoneHz = 440; // the server's sine source (scripts/headless.sh)
constexpr double SystemHz = 1000;    // played into its output by SinkTone
constexpr double BeepHz = 2000;

struct Pactl
{
    int exitCode = -1;
    QString output;
};

Pactl pactl(const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("pactl"), args);
    Pactl result;
    if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return result;
}

// A module of the sound server for the life of the object.
class ServerModule
{
public:
    explicit ServerModule(const QStringList &args)
    {
        const Pactl r = pactl(QStringList{"load-module"} + args);
        if (r.exitCode == 0)
            index = r.output;
    }
    ~ServerModule() { unload(); }
    bool isLoaded() const { return !index.isEmpty(); }
    void unload()
    {
        if (!index.isEmpty())
            pactl({"unload-module", index});
        index.clear();
    }

private:
    QString index;
};

// A steady tone played into the default output, as any program would.
class SinkTone : public ServerModule
{
public:
    SinkTone()
        : ServerModule({"module-sine", "sink=speakers",
                        QStringLiteral("frequency=%1").arg(SystemHz)})
    {
    }
};

// Sound and picture durations of a finished file, in seconds.
double pictureSeconds(const RecordedVideo &video, int frameRate, bool avi)
{
    if (video.frames.isEmpty())
        return 0;
    if (avi) // no presentation times: the frames are the packets' slots
        return (video.packets.last().dts - video.packets.first().dts) * av_q2d(video.timeBase)
               + 1.0 / frameRate;
    return video.frames.last().seconds - video.frames.first().seconds + 1.0 / frameRate;
}

// The texts of the tray's balloon on screen, or nothing.
QStringList balloonTexts()
{
    QStringList texts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qstrcmp(w->metaObject()->className(), "QBalloonTip") != 0 || !w->isVisible())
            continue;
        for (const QLabel *label : w->findChildren<QLabel *>())
            if (!label->text().isEmpty())
                texts << label->text();
    }
    return texts;
}

class FlashPatch : public ScreenPatch
{
public:
    explicit FlashPatch(const QRect &area)
        : ScreenPatch(area, Qt::black)
    {
    }
    void setLit(bool on)
    {
        lit = on;
        repaint();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), lit ? Qt::white : Qt::black);
    }

private:
    bool lit = false;
};

} // namespace

class AudioTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir outputDir;
    std::unique_ptr<ScreenRecorder> recorder;
    bool haveServer = false;

    RecordingConfig soundConfig(OutputFormat format, bool microphone, bool system) const
    {
        RecordingConfig config;
        config.format = format;
        config.quality = SD;
        config.mode = Region;
        config.region = QRect(0, 0, 320, 240);
        config.captureCursor = false;
        config.recordMicrophone = microphone;
        config.recordSystemAudio = system;
        return config;
    }

    QString record(const RecordingConfig &config, int milliseconds)
    {
        if (!recorder->startRecording(config))
            return {};
        QTest::qWait(milliseconds);
        const QString path = recorder->currentFilePath();
        if (!stopAndWait(*recorder))
            return {};
        return path;
    }

private slots:
    void initTestCase()
    {
        av_log_set_level(AV_LOG_ERROR);
        QVERIFY(outputDir.isValid());
        haveServer = pactl({"info"}).exitCode == 0;
    }

    void init()
    {
        if (!haveServer && QByteArray(QTest::currentTestFunction()) != "driftIsCorrected")
            QSKIP("no private sound server (run under scripts/headless.sh without --no-sound)");
        recorder = std::make_unique<ScreenRecorder>();
        recorder->setOutputDirectory(outputDir.path());
    }

    void cleanup()
    {
        recorder.reset();
    }

    void eachSourceRecordsItsTone_data()
    {
        QTest::addColumn<bool>("microphone");
        QTest::addColumn<bool>("system");
        QTest::newRow("neither") << false << false;
        QTest::newRow("microphone") << true << false;
        QTest::newRow("system audio") << false << true;
        QTest::newRow("both") << true << true;
    }

    void eachSourceRecordsItsTone()
    {
        QFETCH(bool, microphone);
        QFETCH(bool, system);
        SinkTone tone;
        QVERIFY(tone.isLoaded());
        QSignalSpy problems(recorder.get(), &ScreenRecorder::audioProblem);
        const QString path = record(soundConfig(MKV, microphone, system), 2500);
        QVERIFY(!path.isEmpty());
        QCOMPARE(problems.count(), 0);

        const RecordedVideo video = decodeRecording(path, false);
        QVERIFY(video.opened);
        QCOMPARE(video.streams, microphone || system ? 2 : 1);
        const RecordedAudio audio = decodeAudio(path);
        QCOMPARE(audio.opened, microphone || system);
        if (!audio.opened)
            return;
        // Past the first half second, where the sources may still be starting.
        const double mic = audio.toneAmplitude(MicrophoneHz, 0.5);
        const double sys = audio.toneAmplitude(SystemHz, 0.5);
        QByteArray seen = QStringLiteral("440 Hz %1, 1000 Hz %2 in %3 s:").arg(mic).arg(sys).arg(audio.seconds()).toUtf8();
        for (double at = 0; at < audio.seconds(); at += 0.25)
            seen += ' ' + QByteArray::number(audio.toneAmplitude(SystemHz, at, at + 0.25), 'f', 3);
        QVERIFY2(microphone ? mic > 0.05 : mic < 0.005, seen.constData());
        QVERIFY2(system ? sys > 0.05 : sys < 0.005, seen.constData());
    }

    // A 10 s recording paused for 3 s in the middle, both sources on.
    void everyContainerCutsSoundAsPicture_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("codec");
        QTest::newRow("MP4") << int(MP4) << int(AV_CODEC_ID_AAC);
        QTest::newRow("AVI") << int(AVI) << int(AV_CODEC_ID_MP3);
        QTest::newRow("MOV") << int(MOV) << int(AV_CODEC_ID_AAC);
        QTest::newRow("MKV") << int(MKV) << int(AV_CODEC_ID_AAC);
        QTest::newRow("FLV") << int(FLV) << int(AV_CODEC_ID_AAC);
        QTest::newRow("WEBM") << int(WEBM) << int(AV_CODEC_ID_OPUS);
    }

    void everyContainerCutsSoundAsPicture()
    {
        QFETCH(int, format);
        SinkTone tone;
        QVERIFY(tone.isLoaded());
        const RecordingConfig config = soundConfig(OutputFormat(format), true, true);
        QVERIFY(recorder->startRecording(config));
        const QString path = recorder->currentFilePath();
        QTest::qWait(3500);
        recorder->pauseRecording();
        QTest::qWait(3000);
        recorder->resumeRecording();
        QTest::qWait(3500);
        QVERIFY(stopAndWait(*recorder));

        QCOMPARE(decodeErrors(path), QString());
        const RecordedVideo video = decodeRecording(path, false);
        const RecordedAudio audio = decodeAudio(path);
        QVERIFY(video.opened && audio.opened);
        QTEST(int(audio.codec), "codec");
        QCOMPARE(audio.sampleRate, 48000);
        QCOMPARE(audio.channels, 2);
        QVERIFY(audio.toneAmplitude(MicrophoneHz, 0.5) > 0.05);
        QVERIFY(audio.toneAmplitude(SystemHz, 0.5) > 0.05);

        const double picture = pictureSeconds(video, config.frameRate, format == AVI);
        QVERIFY2(picture > 6.5 && picture < 8.0, qPrintable(QString::number(picture)));
        QVERIFY2(std::fabs(audio.seconds() - picture) <= 0.1,
                 qPrintable(QStringLiteral("sound %1 s, picture %2 s").arg(audio.seconds()).arg(picture)));
        // The cut leaves no gap: the microphone's tone runs on through it.
        const double dropout = audio.longestDropout(MicrophoneHz);
        QVERIFY2(dropout < 0.05, qPrintable(QStringLiteral("tone missing for %1 s").arg(dropout)));
    }

    // Three flashes of a window, each while a beep is heard; in the file
    // each flash and its beep lie within a frame plus 40 ms.
    void flashAndBeepStayTogether()
    {
        const QRect area(0, 0, 320, 240);
        FlashPatch patch(area);
        patch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&patch));
        BeepPlayer player(BeepHz, 150);
        QVERIFY(player.isOpen());

        RecordingConfig config = soundConfig(MKV, false, true);
        config.quality = UHD4K; // the region at its own size
        QVERIFY(recorder->startRecording(config));
        const QString path = recorder->currentFilePath();
        QTest::qWait(1000);
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_until(player.beep());
            patch.setLit(true);
            QTest::qWait(300);
            patch.setLit(false);
            QTest::qWait(1200);
        }
        QVERIFY(stopAndWait(*recorder));

        const RecordedVideo video = decodeRecording(path);
        const RecordedAudio audio = decodeAudio(path);
        QVERIFY(video.opened && audio.opened);
        QList<double> flashes;
        bool lit = false;
        for (const DecodedFrame &frame : video.frames) {
            const bool bright = frame.image.pixelColor(area.center()).lightness() > 128;
            if (bright && !lit)
                flashes.append(frame.seconds);
            lit = bright;
        }
        QList<double> beeps;
        for (double at : audio.onsets(0.15))
            beeps.append(audio.startSeconds + at);
        QCOMPARE(flashes.size(), 3);
        QCOMPARE(beeps.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const double offset = flashes[i] - beeps[i];
            qInfo().noquote() << QStringLiteral("flash %1: picture - sound = %2 ms")
                                     .arg(i + 1)
                                     .arg(offset * 1000, 0, 'f', 1);
            QVERIFY2(std::fabs(offset) <= 1.0 / config.frameRate + 0.040,
                     qPrintable(QStringLiteral("flash %1 at %2 s, beep at %3 s")
                                    .arg(i + 1)
                                    .arg(flashes[i])
                                    .arg(beeps[i])));
        }
    }

    // Killed recordings keep their sound, as they keep their picture.
    void killedRecordingKeepsSound_data()
    {
        QTest::addColumn<int>("format");
        for (OutputFormat format : {MP4, MOV, MKV, WEBM, FLV})
            QTest::newRow(QByteArray::number(format).constData()) << int(format);
    }

    void killedRecordingKeepsSound()
    {
        QFETCH(int, format);
        QProcess helper;
        helper.start(QStringLiteral(VEXLO_RECORD_HELPER),
                     {QString::number(format), outputDir.path(), QStringLiteral("microphone")});
        QVERIFY(helper.waitForReadyRead(30000));
        const QString file = QString::fromLocal8Bit(helper.readLine()).trimmed();
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        // Killed once six seconds of sound have reached the disk, however
        // long a loaded machine takes to write them.
        QDeadlineTimer deadline(60000);
        double written = 0;
        while (written < 6.0 && !deadline.hasExpired()) {
            QTest::qWait(500);
            written = decodeAudio(file).seconds();
        }
        QVERIFY2(written >= 6.0, qPrintable(QString::number(written)));
        sendSignal(helper, SIGKILL);
        QVERIFY(helper.waitForFinished(10000));

        QCOMPARE(decodeErrors(file, 5), QString());
        const RecordedAudio audio = decodeAudio(file);
        QVERIFY(audio.opened);
        QVERIFY2(audio.seconds() >= 5.0, qPrintable(QString::number(audio.seconds())));
        QVERIFY(audio.toneAmplitude(MicrophoneHz, 0.5) > 0.05);
    }

    void noServerRecordsPictureAndSaysSoOnce_data()
    {
        QTest::addColumn<bool>("toTray");
        QTest::addColumn<bool>("silentServer");
        QTest::newRow("window shown: a message box") << false << false;
        QTest::newRow("window in the tray: a balloon") << true << false;
        QTest::newRow("a server that never answers") << false << true;
    }

    void noServerRecordsPictureAndSaysSoOnce()
    {
        QFETCH(bool, toTray);
        QFETCH(bool, silentServer);
        if (toTray && !QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
            QSKIP("no tray host");
        const QByteArray server = qgetenv("PULSE_SERVER");
        QTemporaryDir socketDir;
        const QString socket = socketDir.filePath(QStringLiteral("no-server"));
        qputenv("PULSE_SERVER", "unix:" + socket.toLocal8Bit());
        struct Restore
        {
            QByteArray value;
            ~Restore() { qputenv("PULSE_SERVER", value); }
        } restore{server};
        // Accepts the connection (the kernel does) and never says a word.
        QLocalServer silent;
        if (silentServer)
            QVERIFY(silent.listen(socket));

        openSettingsStore()->clear();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QCheckBox *>(QStringLiteral("recordMicrophoneCheck"))->setChecked(true);
        window.findChild<QCheckBox *>(QStringLiteral("RecMinToTray"))->setChecked(toTray);
        recorder.reset();
        auto *pageRecorder = window.findChild<ScreenRecorder *>();
        pageRecorder->setOutputDirectory(outputDir.path());
        QDir(outputDir.path()).removeRecursively();
        QDir().mkpath(outputDir.path());

        ModalAnswerer answerer;
        auto *toggle = window.findChild<QToolButton *>(QStringLiteral("toggleButton"));
        const QString told = QStringLiteral("无法录制麦克风（没有可用的声音服务器），本次录制不含麦克风声音。");
        QTest::mouseClick(toggle, Qt::LeftButton);
        if (toTray) {
            QTRY_COMPARE_WITH_TIMEOUT(balloonTexts(), (QStringList{"声音", told}), 10000);
            QVERIFY(!window.isVisible());
            QVERIFY(answerer.boxes().isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 10000);
            QCOMPARE(answerer.boxes().first().title, QStringLiteral("声音"));
            QCOMPARE(answerer.boxes().first().text, told);
        }
        QVERIFY(pageRecorder->isRecording());
        QVERIFY(!window.findChild<LevelMeter *>()->isVisible());
        QTest::qWait(1000);
        if (toTray) {
            window.showNormal();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        QTest::mouseClick(toggle, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(toggle->isEnabled(), 30000);
        QTest::qWait(500);
        QCOMPARE(answerer.boxes().size(), toTray ? 0 : 1);

        const QStringList files = filesIn(outputDir.path());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(outputDir.filePath(files.first()), false);
        QVERIFY(video.opened);
        QCOMPARE(video.streams, 1);
        QVERIFY(video.frames.size() >= 10);
    }

    void lostDeviceKeepsPictureAndSaysSoAtStop()
    {
        ServerModule source({"module-sine-source", "source_name=lostmic", "frequency=700",
                             "rate=48000"});
        QVERIFY(source.isLoaded());
        QCOMPARE(pactl({"set-default-source", "lostmic"}).exitCode, 0);
        struct Restore
        {
            ~Restore() { pactl({"set-default-source", "mic"}); }
        } restore;

        QSignalSpy problems(recorder.get(), &ScreenRecorder::audioProblem);
        QSignalSpy finished(recorder.get(), &ScreenRecorder::recordingFinished);
        QVERIFY(recorder->startRecording(soundConfig(MKV, true, false)));
        const QString path = recorder->currentFilePath();
        // The sine source delivers in bursts of two seconds.
        QTest::qWait(3000);
        source.unload();
        QTest::qWait(2000);
        QVERIFY(recorder->isRecording());
        QCOMPARE(problems.count(), 0);
        QVERIFY(stopAndWait(*recorder));
        QCOMPARE(problems.count(), 1);
        QCOMPARE(finished.count(), 1);
        const QString text = problems.first().first().toString();
        QVERIFY2(text.startsWith(QStringLiteral("录制到 00:00:0"))
                     && text.endsWith(QStringLiteral("时失去了麦克风，之后的部分没有麦克风声音。")),
                 qPrintable(text));

        const RecordedVideo video = decodeRecording(path, false);
        const RecordedAudio audio = decodeAudio(path);
        QVERIFY(video.opened && audio.opened);
        const double picture = pictureSeconds(video, 30, false);
        QVERIFY2(picture > 4.5, qPrintable(QString::number(picture)));
        QVERIFY2(std::fabs(audio.seconds() - picture) <= 0.1,
                 qPrintable(QStringLiteral("sound %1 s, picture %2 s").arg(audio.seconds()).arg(picture)));
        QVERIFY(audio.toneAmplitude(700, 0.3, 1.2) > 0.05);
        QVERIFY(audio.toneAmplitude(700, picture - 1.0) < 0.005);
    }

    void levelMeterShowsEachRecordedSource_data()
    {
        QTest::addColumn<bool>("microphone");
        QTest::addColumn<bool>("system");
        QTest::addColumn<int>("bars");
        QTest::newRow("no sound") << false << false << 0;
        QTest::newRow("microphone") << true << false << 1;
        QTest::newRow("both") << true << true << 2;
    }

    void levelMeterShowsEachRecordedSource()
    {
        QFETCH(bool, microphone);
        QFETCH(bool, system);
        QFETCH(int, bars);
        SinkTone tone;
        openSettingsStore()->clear();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QCheckBox *>(QStringLiteral("recordMicrophoneCheck"))->setChecked(microphone);
        window.findChild<QCheckBox *>(QStringLiteral("recordAudioCheck"))->setChecked(system);
        window.findChild<ScreenRecorder *>()->setOutputDirectory(outputDir.path());
        auto *meter = window.findChild<LevelMeter *>();
        QVERIFY(meter != nullptr);
        QVERIFY(!meter->isVisible());

        ModalAnswerer answerer;
        auto *toggle = window.findChild<QToolButton *>(QStringLiteral("toggleButton"));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QTRY_VERIFY(window.findChild<ScreenRecorder *>()->isRecording());
        QCOMPARE(meter->isVisible(), bars > 0);
        if (bars > 0) {
            QCOMPARE(meter->barCount(), bars);
            // Both tones are loud: every bar rises. The sources deliver in
            // bursts that need not coincide, so each bar's highest is kept.
            QList<float> highest(bars, 0.0f);
            const auto allRose = [&] {
                const QList<float> now = meter->levels();
                for (int i = 0; i < bars && i < now.size(); ++i)
                    highest[i] = std::max(highest[i], now[i]);
                return std::all_of(highest.begin(), highest.end(), [](float h) { return h > 0.5f; });
            };
            const auto shownLevels = [&] {
                QStringList texts;
                for (float level : highest)
                    texts << QString::number(level, 'f', 2);
                return texts.join(' ');
            };
            QTRY_VERIFY2_WITH_TIMEOUT(allRose(), qPrintable("highest levels shown: " + shownLevels()),
                                      15000);
        }
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!meter->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(toggle->isEnabled(), 30000);
        QCOMPARE(answerer.boxes().size(), 0);
    }

    // The mixer against a sound card whose clock runs fast or slow: the
    // track stays on the monotonic clock, where counting samples alone
    // would drift by the whole difference.
    void driftIsCorrected_data()
    {
        QTest::addColumn<double>("ppm");
        QTest::newRow("300 ppm fast") << 300.0;
        QTest::newRow("300 ppm slow") << -300.0;
        QTest::newRow("800 ppm fast") << 800.0;
        QTest::newRow("none") << 0.0;
    }

    void driftIsCorrected()
    {
        QFETCH(double, ppm);
        int64_t produced = 0;
        AudioMixer mixer(1, 1024, AV_SAMPLE_FMT_FLTP, [&](AVFrame *frame) {
            produced += frame->nb_samples;
            av_frame_free(&frame);
        });
        constexpr int block = 480;
        constexpr double seconds = 120;
        const double cardRate = 48000 * (1 + ppm * 1e-6);
        std::vector<float> samples(block * 2, 0.1f);
        int64_t delivered = 0;
        // Latency reports jitter by up to a millisecond.
        uint32_t noise = 12345;
        while (delivered < cardRate * seconds) {
            noise = noise * 1103515245u + 12345u;
            const double jitter = (double(noise >> 16 & 0x7fff) / 0x7fff - 0.5) * 2e-3;
            const auto at = int64_t((delivered / cardRate + jitter) * 1e9);
            mixer.addBlock(0, samples.data(), block, at);
            delivered += block;
            mixer.mixUntil(mixer.deliveredUntil());
        }
        const double clockSeconds = delivered / cardRate;
        const double trackSeconds = double(mixer.mixedUntil()) / 48000;
        const double uncorrected = double(delivered) / 48000 - clockSeconds;
        qInfo().noquote() << QStringLiteral("%1 ppm: %2 ms off the clock after %3 s (%4 ms uncorrected), "
                                            "measured %5 ppm, largest correction %6 ppm")
                                 .arg(ppm)
                                 .arg((trackSeconds - clockSeconds) * 1000, 0, 'f', 2)
                                 .arg(seconds)
                                 .arg(uncorrected * 1000, 0, 'f', 1)
                                 .arg(mixer.measuredDriftPpm(0), 0, 'f', 0)
                                 .arg(mixer.largestCorrectionPpm(0), 0, 'f', 0);
        QVERIFY2(std::fabs(trackSeconds - clockSeconds) < 0.005,
                 qPrintable(QString::number(trackSeconds - clockSeconds)));
        QVERIFY(std::fabs(mixer.measuredDriftPpm(0) - ppm) < 50);
        QVERIFY(produced > 0);
    }
};

VEXLO_TEST_MAIN(AudioTest)
#include "tst_audio.moc"
