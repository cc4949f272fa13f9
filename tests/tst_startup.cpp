// Start-up: the default style sheet, the fatal-error guard and FFmpeg's log level.
#include "app/startup.h"

#include "support/modalanswerer.h"
#include "support/testsupport.h"

#include <QResource>
#include <QTimer>
#include <QWidget>

#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
}

using vexlo::test::LogCapture;
using vexlo::test::ModalAnswerer;

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
};

VEXLO_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
