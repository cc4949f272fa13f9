// The recording page driven through its widgets: capture targets, start,
// pause, resume, stop, the elapsed time, and the live preview.
#include "app/mainwindow.h"
#include "app/pages/recordingpage.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStorageInfo>
#include <QToolButton>

using namespace vexlo::test;

namespace {

const QRect PatternArea(40, 60, 320, 240);
const QColor PatternColour(0, 200, 0);

const QStringList LockedControls = {
    "recordButton", "historyButton",   "converterButton",    "menuButton",
    "recordModeCombo", "qualityCombo", "formatCombo",        "frameRateSlider",
    "captureCursorCheck", "recordMicrophoneCheck", "recordAudioCheck",
    "qualityCombo_2", "formatCombo_2",
};

constexpr qint64 MiB = 1024 * 1024;

// A small file system of its own (the tests run as root), for a test to fill
// or to find nearly full.
class SmallDisk
{
public:
    explicit SmallDisk(int mebibytes)
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {"-t", "tmpfs", "-o", QStringLiteral("size=%1m").arg(mebibytes), "tmpfs",
                     dir.path()});
        mounted = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit
                  && mount.exitCode() == 0;
        refusal = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
    }

    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {"-l", dir.path()});
    }

    bool isMounted() const { return mounted; }
    QByteArray skipReason() const
    {
        return ("mounting a small tmpfs was refused: " + refusal).toLocal8Bit();
    }
    QString path() const { return dir.path(); }
    qint64 available() const { return QStorageInfo(dir.path()).bytesAvailable(); }

    // Writes a filler file until at most `leave` bytes are free; 0 fills the disk.
    void fillLeaving(qint64 leave) const
    {
        QFile filler(QDir(dir.path()).filePath(QStringLiteral("filler")));
        filler.open(QIODevice::Append);
        const QByteArray chunk(int(MiB), 'x');
        while (available() > leave + MiB)
            if (filler.write(chunk) != chunk.size() || !filler.flush())
                return;
        if (leave == 0)
            while (filler.write(chunk.left(4096)) == 4096 && filler.flush()) {
            }
    }

private:
    QTemporaryDir dir;
    bool mounted = false;
    QString refusal;
};

} // namespace

class RecordingPageTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    QToolButton *toggleButton() const { return w<QToolButton>("toggleButton"); }
    QToolButton *pauseButton() const { return w<QToolButton>("pauseButton"); }
    QToolButton *timeLabel() const { return w<QToolButton>("timeLabel"); }
    QComboBox *modeCombo() const { return w<QComboBox>("recordModeCombo"); }
    QString outputDir() const { return w<QLineEdit>("outputDirLabel")->text(); }
    ScreenRecorder *recorder() const { return window->findChild<ScreenRecorder *>(); }

    // A click on 停止, then the wait until the file is finished.
    void stopAndWait()
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(toggleButton()->isEnabled(), 30000);
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
    }

    // The page at rest after a stop: nothing locked, nothing ticking.
    void verifyIdle() const
    {
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QVERIFY(toggleButton()->isEnabled());
        QVERIFY(!pauseButton()->isEnabled());
        QVERIFY(!pauseButton()->isChecked());
        QCOMPARE(pauseButton()->text(), QStringLiteral("暂停"));
        QCOMPARE(enabledLockedControls(), LockedControls);
        // The clock is the window's only timer at the frame rate.
        const auto timers = window->findChild<RecordingPage *>()->findChildren<QTimer *>(
            QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(std::none_of(timers.begin(), timers.end(), [](const QTimer *t) {
            return t->isActive() && t->interval() < 500;
        }));
    }

    QStringList enabledLockedControls() const
    {
        QStringList enabled;
        for (const QString &name : LockedControls)
            if (window->findChild<QWidget *>(name)->isEnabled())
                enabled << name;
        return enabled;
    }

    void clearOutput()
    {
        QDir dir(outputDir());
        for (const QString &file : filesIn(dir.path()))
            dir.remove(file);
    }

    QString onlyRecording() const
    {
        // A stop returns before the file is finished.
        if (auto *recorder = window->findChild<ScreenRecorder *>())
            waitUntilFinished(*recorder);
        const QStringList files = filesIn(outputDir());
        return files.size() == 1 ? QDir(outputDir()).filePath(files.first()) : QString();
    }

    void selectRegionByDragging(QPoint from, QPoint to)
    {
        modeCombo()->setCurrentIndex(Region);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::mousePress(selector, Qt::LeftButton, {}, from);
        QTest::mouseMove(selector, (from + to) / 2);
        QTest::mouseMove(selector, to);
        QTest::mouseRelease(selector, Qt::LeftButton, {}, to);
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);
    }

private slots:
    void init()
    {
        openSettingsStore()->clear();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Keep the pattern and the screen corner uncovered by the window.
        window->move(900, 380);
        clearOutput();
    }

    void cleanup()
    {
        window.reset();
    }

    void recordsARegionWithPauseCutOut()
    {
        ScreenPatch pattern(PatternArea, PatternColour);
        pattern.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pattern));

        selectRegionByDragging(PatternArea.bottomRight(), PatternArea.topLeft());
        QCOMPARE(modeCombo()->currentIndex(), int(Region));
        // The watermark marks every frame, the first ones after the resume too.
        w<QComboBox>("watermarkPositionCombo")->setCurrentIndex(TopLeft);
        w<QComboBox>("watermarkSize")->setCurrentIndex(4); // 42 pixels
        w<QCheckBox>("watermarkCheck")->setChecked(true);

        // The time it runs unpaused as seen from here, which the recorder's
        // clock never exceeds however loaded the machine is.
        QElapsedTimer running;
        running.start();
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QVERIFY(pauseButton()->isEnabled());
        QCOMPARE(timeLabel()->styleSheet(), QStringLiteral("color: #21c520;"));
        QVERIFY(enabledLockedControls().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(timeLabel()->text(), QStringLiteral("00:00:01"), 3000);

        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        qint64 unpausedMs = running.elapsed();
        QVERIFY(pauseButton()->isChecked());
        QCOMPARE(pauseButton()->text(), QStringLiteral("继续"));
        QCOMPARE(timeLabel()->styleSheet(), QStringLiteral("color: orange;"));
        QCOMPARE(enabledLockedControls(), LockedControls);
        const QString frozen = timeLabel()->text();
        QTest::qWait(2500);
        QCOMPARE(timeLabel()->text(), frozen);

        running.restart();
        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        QCOMPARE(pauseButton()->text(), QStringLiteral("暂停"));
        QCOMPARE(timeLabel()->styleSheet(), QStringLiteral("color: #21c520;"));
        QVERIFY(enabledLockedControls().isEmpty());
        QTest::qWait(1200);
        // The clock goes on from where it stood, not from the wall clock.
        QVERIFY2(timeLabel()->text() < QStringLiteral("00:00:04"), qPrintable(timeLabel()->text()));

        // The capture ticks on this thread: none comes between here and the stop.
        unpausedMs += running.elapsed();
        stopAndWait();
        QVERIFY(!pauseButton()->isEnabled());
        QVERIFY(!pauseButton()->isChecked());
        QCOMPARE(pauseButton()->text(), QStringLiteral("暂停"));
        QCOMPARE(enabledLockedControls(), LockedControls);

        const QString file = onlyRecording();
        QVERIFY2(!file.isEmpty(), qPrintable(filesIn(outputDir()).join(", ")));
        const RecordedVideo video = decodeRecording(file);
        QVERIFY(video.opened);
        QCOMPARE(video.size, PatternArea.size());
        QVERIFY(video.frames.size() > 20);
        const QColor centre = video.colourAt(video.frames.size() / 2,
                                             QPoint(PatternArea.width() / 2, PatternArea.height() / 2));
        QVERIFY2(closeTo(centre, PatternColour), qPrintable(describe(centre)));
        for (int i = 0; i < video.frames.size(); ++i) {
            const QImage &image = video.frames.at(i).image;
            int red = 0;
            for (int y = 0; y < image.height() / 2; ++y)
                for (int x = 0; x < image.width() / 2; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    red += c.red() > 150 && c.green() < 120;
                }
            QVERIFY2(red > 100, qPrintable(QStringLiteral("frame %1 at %2 s: %3 red pixels")
                                               .arg(i).arg(video.frames.at(i).seconds).arg(red)));
        }
        // The 2.5-second pause leaves no hole in the timestamps. A loaded
        // machine may drop frames, which leaves a gap but does not lengthen
        // the recording.
        const double span = video.frames.last().seconds - video.frames.first().seconds;
        QVERIFY2(span < unpausedMs / 1000.0 + 0.5,
                 qPrintable(QStringLiteral("%1 s of frames in %2 s unpaused").arg(span).arg(unpausedMs / 1000.0)));
    }

    // While the file is finished the start button is disabled and says so;
    // the page is idle again only once the recorder reports the file complete.
    void stoppingShowsSavingUntilTheFileIsComplete()
    {
        struct Look
        {
            QString text;
            bool enabled;
            bool finishing;
        };
        QList<Look> looks;
        QStringList finished;
        connect(recorder(), &ScreenRecorder::recordingFinished, this,
                [&](const QString &path) { finished << path; });
        class Watch : public QObject
        {
        public:
            std::function<void()> changed;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::EnabledChange)
                    changed();
                return false;
            }
        } watch;
        watch.changed = [&] {
            looks.append({toggleButton()->text(), toggleButton()->isEnabled(),
                          recorder()->isFinishing()});
        };

        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTest::qWait(1000);
        toggleButton()->installEventFilter(&watch);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QTRY_VERIFY(toggleButton()->isEnabled());
        toggleButton()->removeEventFilter(&watch);

        QCOMPARE(looks.size(), 2);
        QCOMPARE(looks.at(0).text, QStringLiteral("保存中…"));
        QVERIFY(!looks.at(0).enabled);
        QCOMPARE(looks.at(1).text, QStringLiteral("开始"));
        QVERIFY(!looks.at(1).finishing);
        verifyIdle();
        QCOMPARE(finished.first(), onlyRecording());
        QCOMPARE(decodeErrors(finished.first()), QString());
    }

    // The page's own quality and format choosers are the settings page's.
    void recordPageChoosersAreTheStoredOnes()
    {
        auto *quality = w<QComboBox>("qualityCombo");
        auto *format = w<QComboBox>("formatCombo");
        auto *pageQuality = w<QComboBox>("qualityCombo_2");
        auto *pageFormat = w<QComboBox>("formatCombo_2");
        QCOMPARE(pageQuality->currentIndex(), quality->currentIndex());
        QCOMPARE(pageFormat->currentIndex(), format->currentIndex());
        quality->setCurrentIndex(SD);
        QCOMPARE(pageQuality->currentIndex(), int(SD));

        pageQuality->setCurrentIndex(HD);
        pageFormat->setCurrentIndex(MKV);
        QCOMPARE(quality->currentIndex(), int(HD));
        QCOMPARE(format->currentIndex(), int(MKV));

        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY(!pageQuality->isEnabled());
        QVERIFY(!pageFormat->isEnabled());
        QTest::qWait(1000);
        stopAndWait();

        const QString file = onlyRecording();
        QVERIFY2(file.endsWith(QLatin1String(".mkv")), qPrintable(file));
        const RecordedVideo video = decodeRecording(file, false);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(1280, 720));

        // Stored through the settings page's boxes, shown on both after a restart.
        window.reset();
        window = std::make_unique<MainWindow>();
        QCOMPARE(w<QComboBox>("qualityCombo_2")->currentIndex(), int(HD));
        QCOMPARE(w<QComboBox>("formatCombo_2")->currentIndex(), int(MKV));
        QCOMPARE(w<QComboBox>("qualityCombo")->currentIndex(), int(HD));
    }

    // Pause, switch to a window without choosing one, resume: refused as a
    // start would be, and the recording stays paused rather than going black.
    void resumeNeedsATargetAsAStartDoes()
    {
        ScreenPatch pattern(PatternArea, PatternColour);
        pattern.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pattern));
        w<QComboBox>("qualityCombo")->setCurrentIndex(SD);

        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTest::qWait(800);
        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        modeCombo()->setCurrentIndex(Window);
        WindowSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<WindowSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        selector->close(); // closed, not cancelled: the mode stays
        QCOMPARE(modeCombo()->currentIndex(), int(Window));

        {
            ModalAnswerer answerer;
            QTest::mouseClick(pauseButton(), Qt::LeftButton);
            QCOMPARE(answerer.boxes().size(), 1);
            QCOMPARE(answerer.boxes().first().text, QStringLiteral("请先选择有效的窗口"));
        }
        QVERIFY(pauseButton()->isChecked());
        QCOMPARE(pauseButton()->text(), QStringLiteral("继续"));
        QVERIFY(recorder()->isPaused());
        QTest::qWait(600); // a preview push into the paused recorder

        modeCombo()->setCurrentIndex(FullScreen);
        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        QVERIFY(!recorder()->isPaused());
        QTest::qWait(800);
        stopAndWait();

        const RecordedVideo video = decodeRecording(onlyRecording());
        QVERIFY(video.opened);
        QVERIFY(!video.frames.isEmpty());
        for (int i = 0; i < video.frames.size(); ++i) {
            const QColor seen = video.colourAt(i, PatternArea.center());
            QVERIFY2(closeTo(seen, PatternColour),
                     qPrintable(QString("frame %1: %2").arg(i).arg(describe(seen))));
        }
    }

    // The session's end, called as the session manager's quit would: the
    // file is complete and the settings are stored before the program goes.
    void sessionEndFinishesTheRecordingAndSaves()
    {
        QSignalSpy captured(recorder(), &ScreenRecorder::frameCaptured);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        w<QLineEdit>("watermarkTextEdit")->setText(QStringLiteral("session end"));
        QTest::qWait(1500);
        window->finishForQuit();

        QVERIFY(!recorder()->isRecording());
        QVERIFY(!recorder()->isFinishing());
        const QString file = onlyRecording();
        QCOMPARE(decodeErrors(file), QString());
        // Every captured frame is in the file (an unfinished one holds none).
        const qsizetype decoded = decodeRecording(file, false).frames.size();
        QVERIFY2(captured.size() > 0 && decoded >= captured.size() - 1,
                 qPrintable(QString("%1 of %2 frames").arg(decoded).arg(captured.size())));
        QCOMPARE(openSettingsStore()->value("Watermark/text").toString(),
                 QStringLiteral("session end"));
        QTRY_VERIFY_WITH_TIMEOUT(toggleButton()->isEnabled(), 30000);
        verifyIdle();
    }

    void startBelowTheFreeSpaceFloorIsRefused()
    {
        SmallDisk disk(150);
        if (!disk.isMounted())
            QSKIP(disk.skipReason());
        const QString folder = disk.path() + "/recordings";
        recorder()->setOutputDirectory(folder);

        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 1);
        const QStringList lines = answerer.boxes().first().text.split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("无法开始录制"));
        QVERIFY2(lines.size() == 2 && !lines.last().isEmpty(), qPrintable(lines.join(" | ")));
        verifyIdle();
        QVERIFY(filesIn(folder).isEmpty());
    }

    void recorderStoppingOnItsOwnReturnsThePageToIdle_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("fileKept");
        QTest::newRow("disk filled") << "full" << false;
        QTest::newRow("free space below the floor") << "floor" << true;
        QTest::newRow("folder removed") << "folder" << false;
    }

    // Any stop the recorder makes by itself ends like the user's: the page
    // is idle and one box says why and where the kept file is.
    void recorderStoppingOnItsOwnReturnsThePageToIdle()
    {
        QFETCH(QString, cause);
        QFETCH(bool, fileKept);
        SmallDisk disk(300);
        if (!disk.isMounted())
            QSKIP(disk.skipReason());
        const QString folder = disk.path() + "/recordings";
        recorder()->setOutputDirectory(folder);
        w<QComboBox>("formatCombo")->setCurrentIndex(MKV);

        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QTest::qWait(1500);
        QCOMPARE(filesIn(folder).size(), 1);
        const QString file = QDir(folder).filePath(filesIn(folder).first());
        if (cause == "full")
            disk.fillLeaving(0);
        else if (cause == "floor")
            disk.fillLeaving(60 * MiB);
        else
            QVERIFY(QDir(folder).removeRecursively());

        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 90000);
        verifyIdle();
        const auto box = answerer.boxes().first();
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.title, QStringLiteral("录制已停止"));
        QVERIFY(!box.text.isEmpty());
        QCOMPARE(box.text.contains(file), QFileInfo(file).size() > 0);
        if (fileKept) {
            QVERIFY2(box.text.contains(file), qPrintable(box.text));
            QCOMPARE(decodeErrors(file), QString());
            QVERIFY(!decodeRecording(file, false).frames.isEmpty());
        }
        // Told once.
        QTest::qWait(1500);
        QCOMPARE(answerer.boxes().size(), 1);
    }

    void windowModeNeedsAChosenWindow()
    {
        ModalAnswerer answerer;
        modeCombo()->setCurrentIndex(Window);
        QTRY_VERIFY(window->findChild<WindowSelector *>() != nullptr);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);

        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("错误"));
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("请先选择有效的窗口"));
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QCOMPARE(enabledLockedControls(), LockedControls);
        QVERIFY(!pauseButton()->isEnabled());
        QVERIFY(filesIn(outputDir()).isEmpty());
    }

    // A region mode stored from the last run opens the overlay at start-up;
    // starting before any region is dragged records the top-left quarter.
    void regionModeWithoutRegionRecordsTheTopLeftQuarter()
    {
        window.reset();
        openSettingsStore()->setValue(QStringLiteral("Recording/mode"), int(Region));
        window = std::make_unique<MainWindow>();
        QVERIFY(window->findChild<RegionSelector *>() != nullptr);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QTest::qWait(400);
        stopAndWait();

        const QSize screen = QGuiApplication::primaryScreen()->size();
        const RecordedVideo video = decodeRecording(onlyRecording(), false);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(screen.width() / 2, screen.height() / 2));
    }

    void cancellingASelectorReturnsToFullScreen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("region") << int(Region);
        QTest::newRow("window") << int(Window);
    }

    void cancellingASelectorReturnsToFullScreen()
    {
        QFETCH(int, mode);
        modeCombo()->setCurrentIndex(mode);
        QWidget *selector = nullptr;
        QTRY_VERIFY((selector = mode == Region
                                    ? static_cast<QWidget *>(window->findChild<RegionSelector *>())
                                    : window->findChild<WindowSelector *>())
                    != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::keyClick(selector, Qt::Key_Escape);

        QCOMPARE(modeCombo()->currentIndex(), int(FullScreen));
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);
        QTRY_VERIFY(window->findChild<WindowSelector *>() == nullptr);
    }

    void hiddenChosenWindowFallsBackToFullScreen()
    {
        QWidget target;
        target.setGeometry(100, 100, 300, 200);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));

        modeCombo()->setCurrentIndex(Window);
        WindowSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<WindowSelector *>()) != nullptr);
        emit selector->windowSelected(target.winId());
        QCOMPARE(modeCombo()->currentIndex(), int(Window));

        target.hide();
        // The preview refresh notices within its 500 ms period.
        QTRY_COMPARE_WITH_TIMEOUT(modeCombo()->currentIndex(), int(FullScreen), 1500);
    }

    void failedStartTellsAndUnlocks()
    {
        // A folder that cannot exist: its parent is a regular file.
        const QString blocker = QDir(qEnvironmentVariable("HOME")).filePath("not-a-folder");
        QFile(blocker).open(QIODevice::WriteOnly);
        window.reset();
        {
            const auto settings = openSettingsStore();
            settings->setValue(QStringLiteral("General/outputDir"), blocker + "/Vexlo");
        }
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().icon, QMessageBox::Information);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("错误"));
        // The recorder's reason on the second line.
        const QStringList lines = answerer.boxes().first().text.split(u'\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), QStringLiteral("无法开始录制"));
        QVERIFY(!lines.last().isEmpty());
        QCOMPARE(lines.last(), recorder()->lastError());
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QCOMPARE(enabledLockedControls(), LockedControls);
        QVERIFY(!pauseButton()->isEnabled());
        window.reset();
        openSettingsStore()->clear();
    }

    // A running recording keeps the frame rate it was started with, also
    // across a resume after the preview's periodic pushes.
    void periodicPushKeepsTheStartSettings()
    {
        w<QSlider>("frameRateSlider")->setValue(10);
        w<QComboBox>("formatCombo")->setCurrentIndex(MKV);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTest::qWait(1200); // two preview pushes
        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        QTest::qWait(100);
        QTest::mouseClick(pauseButton(), Qt::LeftButton);
        QTest::qWait(2000);
        stopAndWait();

        const QString file = onlyRecording();
        QVERIFY(file.endsWith(QLatin1String(".mkv")));
        const RecordedVideo video = decodeRecording(file, false);
        QVERIFY(video.opened);
        // About 32 frames at 10 fps; the default 30 fps would give about 96.
        QVERIFY2(video.frames.size() < 50, qPrintable(QString::number(video.frames.size())));
    }

    void clockTicksAtTheFrameRate_data()
    {
        QTest::addColumn<int>("frameRate");
        QTest::addColumn<int>("interval");
        QTest::newRow("60 fps") << 60 << 16;
        QTest::newRow("30 fps") << 30 << 33;
        QTest::newRow("1 fps") << 1 << 1000;
    }

    void clockTicksAtTheFrameRate()
    {
        QFETCH(int, frameRate);
        QFETCH(int, interval);
        w<QSlider>("frameRateSlider")->setValue(frameRate);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        const auto timers = window->findChild<RecordingPage *>()->findChildren<QTimer *>(
            QString(), Qt::FindDirectChildrenOnly);
        const bool ticking = std::any_of(timers.begin(), timers.end(), [&](const QTimer *t) {
            return t->isActive() && t->interval() == interval;
        });
        stopAndWait();
        QVERIFY(ticking);
    }

    void previewScalesAndCentresTheStill()
    {
        auto *view = w<QGraphicsView>("video_view");
        view->setFixedSize(960, 480);
        QTRY_COMPARE(view->viewport()->size(), QSize(960, 480));
        QPixmap still(3840, 2160);
        still.fill(Qt::white);
        auto *recorder = window->findChild<ScreenRecorder *>();
        emit recorder->frameCaptured(still);

        const auto items = view->scene()->items();
        QCOMPARE(items.size(), 1);
        auto *item = qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first());
        QVERIFY(item != nullptr);
        QCOMPARE(item->pixmap().size(), QSize(853, 480));
        const QRect shown = view->mapFromScene(item->sceneBoundingRect()).boundingRect();
        QVERIFY2(qAbs(shown.left() - (960 - 853) / 2) <= 1, qPrintable(QString::number(shown.left())));
        QCOMPARE(shown.top(), 0);

        // Black bands left and right, the still in the middle.
        const QImage seen = view->grab().toImage();
        QCOMPARE(seen.pixelColor(20, 240), QColor(Qt::black));
        QCOMPARE(seen.pixelColor(480, 240), QColor(Qt::white));
        QCOMPARE(seen.pixelColor(940, 240), QColor(Qt::black));
    }

    // Idle, text watermark on with the text ABC at the top right: the still
    // shows the text there at once after each change of the text.
    void idleStillShowsTheTextWatermarkAtOnce()
    {
        // White under the watermark's corner, so the red text stands out.
        ScreenPatch backdrop(QRect(1000, 0, 920, 300), Qt::white);
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        QTest::qWait(200);

        auto *view = w<QGraphicsView>("video_view");
        w<QComboBox>("watermarkPositionCombo")->setCurrentIndex(TopRight);
        w<QComboBox>("watermarkSize")->setCurrentIndex(5); // 72 pixels
        w<QCheckBox>("watermarkCheck")->setChecked(true);
        QFont font;
        font.setPixelSize(72);
        font.setWeight(QFont::Bold);
        const int baseline = QFontMetrics(font).height() + 20;
        const double screenWidth = QGuiApplication::primaryScreen()->size().width();

        // The red text's extent in the still, in screen pixels.
        const auto textInStill = [&]() {
            const auto items = view->scene()->items();
            if (items.size() != 1)
                return QRect();
            const auto *item = qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first());
            const QImage still = item->pixmap().toImage();
            const double scale = still.width() / screenWidth;
            QRect ink;
            for (int y = 0; y < int(300 * scale); ++y)
                for (int x = int(1000 * scale); x < still.width(); ++x) {
                    const QColor c = still.pixelColor(x, y);
                    if (c.red() > 200 && c.green() < 190 && c.blue() < 190)
                        ink |= QRect(x, y, 1, 1);
                }
            if (ink.isNull())
                return QRect();
            return QRect(QPoint(qRound(ink.left() / scale), qRound(ink.top() / scale)),
                         QPoint(qRound(ink.right() / scale), qRound(ink.bottom() / scale)));
        };

        QList<int> widths;
        for (const QString &typed : {QStringLiteral("ABC"), QStringLiteral("ABCABC"), QStringLiteral("ABC")}) {
            w<QLineEdit>("watermarkTextEdit")->setText(typed);
            // No event processing: the text change itself redrew the still.
            const QRect text = textInStill();
            QVERIFY2(!text.isNull(), qPrintable(typed));
            // Ends at the margin, less the last letter's bearing and the still's scaling.
            QVERIFY2(text.right() <= screenWidth - 20 + 4 && text.right() >= screenWidth - 20 - 24,
                     qPrintable(QString::number(text.right())));
            QVERIFY2(text.top() >= 20 && qAbs(text.bottom() - baseline) <= 5,
                     qPrintable(QString("%1..%2, baseline %3").arg(text.top()).arg(text.bottom()).arg(baseline)));
            widths << text.width();
        }
        QVERIFY2(widths.at(1) > widths.at(0) * 17 / 10, qPrintable(QString::number(widths.at(1))));
        QVERIFY2(qAbs(widths.at(2) - widths.at(0)) <= 4, qPrintable(QString::number(widths.at(2))));

        w<QCheckBox>("watermarkCheck")->setChecked(false);
        QVERIFY(textInStill().isNull());
    }

    void previewSceneNeverGrows()
    {
        auto *view = w<QGraphicsView>("video_view");
        QTest::qWait(1600); // three periodic refreshes
        for (int i = 0; i < 20; ++i)
            w<QLineEdit>("watermarkTextEdit")->setText(QString::number(i));
        QCOMPARE(view->scene()->items().size(), 1);
        QVERIFY(view->scene()->sceneRect().width() <= view->width());
        QVERIFY(view->scene()->sceneRect().height() <= view->height());
    }
};

VEXLO_TEST_MAIN(RecordingPageTest)
#include "tst_recordingpage.moc"
