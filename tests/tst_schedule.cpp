// Recording on a schedule: the countdown before a start (never in the file,
// cancelled without a file), the stop after a set recorded time (pauses do
// not count), and the commands a shell sends to the running Vexlo.
#include "app/mainwindow.h"
#include "app/pages/recordingpage.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/runningprogram.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTimeEdit>
#include <QToolButton>

#include <csignal>

using namespace vexlo::test;

namespace {

const QColor PatchColour(0, 200, 0);

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// One command as a shell runs it.
Run shell(const QProcessEnvironment &env, const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(vexloBinary(), arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    result.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return result;
}

// The Vexlo a command launched (no child of the test): the program whose
// environment names this home.
qint64 vexloOfHome(const QString &home)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() != vexloBinary())
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly)
            && environ.readAll().split('\0').contains(("HOME=" + home).toUtf8()))
            return pid;
    }
    return 0;
}

} // namespace

class ScheduleTest : public QObject
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
    QString outputDir() const { return w<QLineEdit>("outputDirLabel")->text(); }
    ScreenRecorder *recorder() const { return window->findChild<ScreenRecorder *>(); }

    void chooseSchedule(int countdownIndex, int stopAfterSeconds)
    {
        w<QComboBox>("countdownCombo")->setCurrentIndex(countdownIndex);
        w<QCheckBox>("stopAfterCheck")->setChecked(stopAfterSeconds > 0);
        if (stopAfterSeconds > 0)
            w<QTimeEdit>("stopAfterEdit")->setTime(QTime(0, 0).addSecs(stopAfterSeconds));
    }

    QWidget *shownCountdown() const
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("CountdownWindow") && top->isVisible())
                return top;
        return nullptr;
    }

    void waitUntilIdle() const
    {
        QTRY_VERIFY_WITH_TIMEOUT(!recorder()->isRecording() && toggleButton()->isEnabled()
                                     && toggleButton()->text() == QStringLiteral("开始"),
                                 60000);
        QVERIFY(waitUntilFinished(*recorder()));
    }

private slots:
    void init()
    {
        openSettingsStore()->clear();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->move(900, 380);
        QDir dir(outputDir());
        for (const QString &file : filesIn(dir.path()))
            dir.remove(file);
    }

    void cleanup() { window.reset(); }

    // The number counts down over a patch at the screen's centre; the file
    // begins at least 3 s after the click and no frame shows the number.
    void countdownStaysOutOfTheFile()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        ScreenPatch patch(QRect(screen.center() - QPoint(200, 200), QSize(400, 400)), PatchColour);
        patch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&patch));
        w<QComboBox>("qualityCombo")->setCurrentIndex(0);
        w<QSlider>("frameRateSlider")->setValue(10);
        chooseSchedule(1, 1);

        QElapsedTimer sinceClick;
        sinceClick.start();
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_VERIFY(shownCountdown() != nullptr);
        QCOMPARE(toggleButton()->text(), QStringLiteral("取消"));
        QCOMPARE(w<QToolButton>("timeLabel")->text(), QStringLiteral("3"));
        QTRY_COMPARE_WITH_TIMEOUT(w<QToolButton>("timeLabel")->text(), QStringLiteral("1"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(recorder()->isRecording(), 10000);
        const qint64 startedAfter = sinceClick.elapsed();
        QVERIFY2(startedAfter >= 3000, qPrintable(QString::number(startedAfter)));
        QVERIFY(shownCountdown() == nullptr);
        waitUntilIdle();

        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(QDir(outputDir()).filePath(files.first()));
        QVERIFY(video.opened);
        QVERIFY(video.frames.size() >= 9);
        const QPoint centre = video.frames.first().image.rect().center();
        for (int i = 0; i < video.frames.size(); ++i)
            for (const QPoint at : {centre, centre + QPoint(70, 70), centre - QPoint(0, 40)})
                QVERIFY2(closeTo(video.colourAt(i, at), PatchColour),
                         qPrintable(QStringLiteral("frame %1 at %2,%3: %4")
                                        .arg(i).arg(at.x()).arg(at.y()).arg(describe(video.colourAt(i, at)))));
    }

    // Escape and 取消 end a countdown: nothing records, no file is left.
    void cancelledCountdownLeavesNoFile()
    {
        chooseSchedule(1, 0);
        QSignalSpy states(recorder(), &ScreenRecorder::recordingStateChanged);
        for (const bool byEscape : {true, false}) {
            QTest::mouseClick(toggleButton(), Qt::LeftButton);
            QTRY_VERIFY(shownCountdown() != nullptr);
            if (byEscape)
                QTest::keyClick(window.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(toggleButton(), Qt::LeftButton);
            QTRY_VERIFY(shownCountdown() == nullptr);
            QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
            QCOMPARE(w<QToolButton>("timeLabel")->text(), QStringLiteral("00:00:00"));
        }
        // Past the countdown's end.
        QTest::qWait(3500);
        QCOMPARE(states.count(), 0);
        QCOMPARE(filesIn(outputDir()), QStringList());
    }

    void stopAfterFiveSeconds_data()
    {
        QTest::addColumn<bool>("pause");
        QTest::newRow("straight") << false;
        QTest::newRow("across a pause") << true;
    }

    // The file holds 5 s (its last frame 149/30 s after the first, within a frame,
    // whatever frames load drops); the pause does not count, and the time
    // left stands still while paused.
    void stopAfterFiveSeconds()
    {
        QFETCH(bool, pause);
        chooseSchedule(0, 5);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_VERIFY(recorder()->isRecording());
        auto *left = w<QLabel>("timeLeftLabel");
        QVERIFY(left->isVisible());
        QCOMPARE(left->text(), QStringLiteral("剩余 00:00:05"));
        if (pause) {
            QTRY_COMPARE_WITH_TIMEOUT(w<QToolButton>("timeLabel")->text(), QStringLiteral("00:00:02"), 10000);
            QTest::mouseClick(pauseButton(), Qt::LeftButton);
            const QString leftWhenPaused = left->text();
            QVERIFY2(leftWhenPaused.startsWith(QStringLiteral("剩余 00:00:0")), qPrintable(leftWhenPaused));
            QTest::qWait(1500);
            QCOMPARE(left->text(), leftWhenPaused);
            QVERIFY(recorder()->isRecording());
            QTest::mouseClick(pauseButton(), Qt::LeftButton);
        }
        waitUntilIdle();
        QVERIFY(!left->isVisible());

        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(QDir(outputDir()).filePath(files.first()), false);
        QVERIFY(video.opened);
        QVERIFY(video.frames.size() > 30);
        QVERIFY2(qAbs(video.frames.last().seconds - video.frames.first().seconds - 149 / 30.0) <= 1.01 / 30,
                 qPrintable(QStringLiteral("%1 frames, %2 s to %3 s")
                                .arg(video.frames.size())
                                .arg(video.frames.first().seconds)
                                .arg(video.frames.last().seconds)));
    }

    // From a shell: --stop with none running, --start launching one, then
    // --status, --pause, --resume and --stop printing what the page shows.
    void commandsDriveTheRunningVexlo()
    {
        RunningProgram home;
        const QProcessEnvironment env = home.environment();
        Run r = shell(env, {"--stop"});
        QCOMPARE(r.exitCode, 3);
        QCOMPARE(r.err, QStringLiteral("vexlo: Vexlo 未在运行"));
        r = shell(env, {"--start", "--stop-after", "-1"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("--stop-after"), qPrintable(r.err));

        r = shell(env, {"--start"});
        const qint64 launched = vexloOfHome(home.homePath());
        // Ended before its home goes; it saves its settings on the way out.
        const auto end = qScopeGuard([launched] {
            if (launched <= 0)
                return;
            ::kill(pid_t(launched), SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(launched)), 60000);
        });
        QCOMPARE(r.exitCode, 0);
        QVERIFY(launched > 0);
        const QString path = r.out;
        QVERIFY2(path.startsWith(home.recordingsFolder() + '/') && path.endsWith(".mp4"), qPrintable(path));
        QVERIFY(QFileInfo::exists(path));

        r = shell(env, {"--status"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(QRegularExpression("^recording \\d\\d:\\d\\d:\\d\\d " + QRegularExpression::escape(path) + "$")
                     .match(r.out).hasMatch(),
                 qPrintable(r.out));
        r = shell(env, {"--start"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("vexlo: 已经在录制"));
        r = shell(env, {"--pause"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("paused ") && r.out.endsWith(path), qPrintable(r.out));
        r = shell(env, {"--pause"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("vexlo: 录制已经暂停"));
        r = shell(env, {"--resume"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("recording "), qPrintable(r.out));
        QTest::qWait(1000);
        r = shell(env, {"--stop"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, path);
        QVERIFY(decodeRecording(path, false).frames.size() >= 20);
        QCOMPARE(shell(env, {"--status"}).out, QStringLiteral("idle"));
        r = shell(env, {"--stop"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("vexlo: 没有正在进行的录制"));
    }

    // A start the page refuses (window mode with no window chosen) prints
    // the page's reason on standard error.
    void refusedStartTellsWhy()
    {
        RunningProgram program;
        {
            QSettings store(program.storeFile(), QSettings::IniFormat);
            store.setValue("Recording/mode", 1);
        }
        QVERIFY(program.start());
        QVERIFY(!program.waitForWindow(30000).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(program.runtimeFolder()).entryList({"*.socket"}, QDir::System).isEmpty(),
                                 10000);
        const Run r = shell(program.environment(), {"--toggle"});
        QVERIFY2(r.exitCode == 1, qPrintable(QStringLiteral("exit %1, %2; Vexlo %3: %4")
                                                 .arg(r.exitCode)
                                                 .arg(r.err)
                                                 .arg(program.process.state())
                                                 .arg(QString::fromLocal8Bit(program.process.readAllStandardError()))));
        QCOMPARE(r.err, QStringLiteral("vexlo: 请先选择有效的窗口"));
        QCOMPARE(shell(program.environment(), {"--status"}).out, QStringLiteral("idle"));
        QVERIFY(filesIn(program.recordingsFolder()).isEmpty());
    }
};

VEXLO_TEST_MAIN(ScheduleTest)
#include "tst_schedule.moc"
