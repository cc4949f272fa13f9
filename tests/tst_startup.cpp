// Start-up and the end of the program: the default style sheet, the
// fatal-error guard, FFmpeg's log level, and the real program as a user runs
// it, ended by a signal while it records or started with a hostile setting.
#include "app/startup.h"
#include "media/mediaprobe.h"
#include "recorder/screenrecorder.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/runningprogram.h"
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QResource>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

using vexlo::test::LogCapture;
using vexlo::test::ModalAnswerer;
using vexlo::test::RunningProgram;
using vexlo::test::sendSignal;

namespace {

const QString StyleWarningText = QStringLiteral(
    "无法加载样式表，将使用默认外观。\n这可能会影响应用程序的外观，但功能不受影响。");

// A window that ends the event loop as soon as it is shown.
std::unique_ptr<QWidget> windowThatQuits(bool *shown)
{
    auto window = std::make_unique<QWidget>();
    QTimer::singleShot(0, window.get(), [w = window.get(), shown] {
        *shown = w->isVisible();
        QApplication::quit();
    });
    return window;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qApp->setStyleSheet(QString());
    }

    void appliesTheDefaultStyleSheet()
    {
        LogCapture log;
        QVERIFY(vexlo::loadStyleSheet(*qApp));
        QVERIFY(qApp->styleSheet().contains(QLatin1String("#headerFrame")));
        QVERIFY(log.lines().isEmpty());
    }

    void missingStyleSheetLogsWarnsAndStartsAnyway()
    {
        Q_CLEANUP_RESOURCE(vexlo);
        LogCapture log;
        ModalAnswerer answerer;
        bool shown = false;
        const int rc = vexlo::runGuarded(*qApp, [&] { return windowThatQuits(&shown); });
        Q_INIT_RESOURCE(vexlo);

        QCOMPARE(rc, 0);
        QVERIFY(shown);
        QVERIFY(qApp->styleSheet().isEmpty());
        const auto lines = log.lines();
        const auto opened = std::find_if(lines.begin(), lines.end(), [](const auto &line) {
            return line.type == QtCriticalMsg && line.text.startsWith(QStringLiteral("无法打开样式表: "));
        });
        QVERIFY2(opened != lines.end(), "no log line about the unreadable sheet");
        QVERIFY(log.contains(QtCriticalMsg, QStringLiteral("当前工作目录: ") + QDir::currentPath()));
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().icon, QMessageBox::Warning);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("警告"));
        QCOMPARE(answerer.boxes().first().text, StyleWarningText);
    }

    void emptyStyleSheetLogsWarnsAndStartsAnyway()
    {
        const QString emptyTree = vexlo::test::testDataDir() + "/empty_stylesheet.rcc";
        QVERIFY(QFile::exists(emptyTree));
        Q_CLEANUP_RESOURCE(vexlo);
        QVERIFY(QResource::registerResource(emptyTree));
        LogCapture log;
        ModalAnswerer answerer;
        bool shown = false;
        const int rc = vexlo::runGuarded(*qApp, [&] { return windowThatQuits(&shown); });
        QResource::unregisterResource(emptyTree);
        Q_INIT_RESOURCE(vexlo);

        QCOMPARE(rc, 0);
        QVERIFY(shown);
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("样式表为空！")));
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().text, StyleWarningText);
    }

    void exceptionDuringConstructionEndsWithFatalBox_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("std::exception")
            << true << QStringLiteral("main函数中发生异常: disk on fire")
            << QStringLiteral("发生了意外错误:\ndisk on fire\n应用程序将退出。");
        QTest::newRow("other exception")
            << false << QStringLiteral("main函数中发生未知异常！")
            << QStringLiteral("发生了未知错误，应用程序将退出。");
    }

    void exceptionDuringConstructionEndsWithFatalBox()
    {
        QFETCH(bool, standard);
        QFETCH(QString, logLine);
        QFETCH(QString, boxText);

        LogCapture log;
        ModalAnswerer answerer;
        const int rc = vexlo::runGuarded(*qApp, [&]() -> std::unique_ptr<QWidget> {
            if (standard)
                throw std::runtime_error("disk on fire");
            throw 42;
        });

        QCOMPARE(rc, -1);
        QVERIFY(log.contains(QtCriticalMsg, logLine));
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().icon, QMessageBox::Critical);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("致命错误"));
        QCOMPARE(answerer.boxes().first().text, boxText);
    }

    void ffmpegPrintsOnlyErrors()
    {
        av_log_set_level(AV_LOG_DEBUG);
        bool shown = false;
        QCOMPARE(vexlo::runGuarded(*qApp, [&] { return windowThatQuits(&shown); }), 0);
        QCOMPARE(av_log_get_level(), AV_LOG_ERROR);
    }

    // The real program, started as a user would, shows its window.
    void programStartsAndShowsItsWindow()
    {
        QProcess program;
        program.start(vexlo::test::vexloBinary(), {});
        QVERIFY(program.waitForStarted(10000));
        QProcess search;
        bool found = false;
        for (int attempt = 0; attempt < 100 && !found; ++attempt) {
            search.start(QStringLiteral("xdotool"),
                         {"search", "--onlyvisible", "--pid", QString::number(program.processId()),
                          "--name", "^Vexlo$"});
            search.waitForFinished(5000);
            found = !search.readAllStandardOutput().trimmed().isEmpty();
            if (!found)
                QTest::qWait(100);
        }
        program.kill();
        program.waitForFinished(5000);
        QVERIFY2(found, "the program did not show a window titled Vexlo");
    }

    void quitSignalFinishesTheRecordingAndSaves_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    // A logout, Ctrl+C or a closed terminal while recording: the program ends
    // normally, with a complete file and the settings saved.
    void quitSignalFinishesTheRecordingAndSaves()
    {
        QFETCH(int, signal);
        RunningProgram program;
        QVERIFY(program.start());
        const QString window = program.waitForWindow(30000);
        QVERIFY2(!window.isEmpty(), "the program did not show its window");
        // Start-up stores the theme at once; what follows must come from the
        // save at the end.
        QTRY_VERIFY(QFile::exists(program.storeFile()));
        QVERIFY(QFile::remove(program.storeFile()));

        QProcess::execute("xdotool", {"windowactivate", "--sync", window});
        QProcess::execute("xdotool", {"key", "--clearmodifiers", "ctrl+alt+r"});
        QString file;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(file = QDir(program.recordingsFolder()).entryList(QDir::Files).value(0)).isEmpty(),
            15000);
        file = QDir(program.recordingsFolder()).filePath(file);
        QTest::qWait(3000);

        QVERIFY(sendSignal(program.process, signal));
        QVERIFY(program.process.waitForFinished(60000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);

        QCOMPARE(vexlo::test::decodeErrors(file), QString());
        const int64_t duration = media::probeDurationUs(file, media::kRecordingContainers);
        QVERIFY2(duration >= 2500000, qPrintable(QString::number(duration)));
        const QSettings store(program.storeFile(), QSettings::IniFormat);
        QCOMPARE(store.value("General/outputDir").toString(), program.recordingsFolder());
        QCOMPARE(store.value("Recording/frameRate").toInt(), 30);
    }

    // A quit signal at any moment of the start-up, the window picker of a
    // stored window mode included, ends the program: one taken by an event
    // loop that runs before the main one is not forgotten.
    void quitSignalDuringStartUpIsHonoured()
    {
        for (const int afterMs : {100, 250, 400, 600, 900}) {
            RunningProgram program;
            {
                QSettings store(program.storeFile(), QSettings::IniFormat);
                store.setValue("Recording/mode", 1);
            }
            QVERIFY(program.start());
            QTest::qWait(afterMs);
            QVERIFY(sendSignal(program.process, SIGTERM));
            QVERIFY2(program.process.waitForFinished(30000),
                     qPrintable(QStringLiteral("still running, signalled %1 ms after the start").arg(afterMs)));
        }
    }

    // A stored watermark image that is a FIFO (a read would wait for a writer
    // for ever) does not keep the program from starting.
    void fifoWatermarkImageDoesNotHangStartUp()
    {
        RunningProgram program;
        const QString fifo = program.homePath() + "/logo.png";
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        {
            QSettings store(program.storeFile(), QSettings::IniFormat);
            store.setValue("Watermark/imageEnabled", true);
            store.setValue("Watermark/imagePath", fifo);
        }
        QVERIFY(program.start());
        QVERIFY2(!program.waitForWindow(5000).isEmpty(), "no window within 5 s");
        sendSignal(program.process, SIGTERM);
        QVERIFY(program.process.waitForFinished(30000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
    }
};

VEXLO_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
