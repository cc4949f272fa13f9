#include "support/testsupport.h"

#include "recorder/screenrecorder.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QWidget>

extern "C" {
#include <libavutil/log.h>
}

namespace vexlo::test {

IsolatedHome::IsolatedHome()
{
    const QString root = dir.path();
    for (const char *sub : {"config", "data", "cache", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    qputenv("HOME", root.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toLocal8Bit());
    QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                 | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toLocal8Bit());
    qputenv("XDG_SESSION_TYPE", "x11");
    // A first start follows the desktop's language: the tests' texts are
    // the source language's, whatever the machine speaks.
    qputenv("LANGUAGE", "zh_CN");
    qunsetenv("WAYLAND_DISPLAY");
}

bool activate(QWidget *window)
{
    // Not QTest::qWaitForWindowActive: QWindow::isActive also holds while the
    // focus window is a transient of this one, even a hidden one, and then no
    // widget here can take the keyboard focus.
    const auto active = [window] { return window->isActiveWindow(); };
    window->activateWindow();
    if (QTest::qWaitFor(active, 1000))
        return true;
    QProcess::execute(QStringLiteral("xdotool"),
                      {"windowactivate", "--sync", QString::number(window->winId())});
    return QTest::qWaitFor(active, 5000);
}

bool waitUntilFinished(ScreenRecorder &recorder, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (recorder.isFinishing() && waited.elapsed() < timeoutMs)
        QTest::qWait(10);
    return !recorder.isFinishing();
}

bool stopAndWait(ScreenRecorder &recorder)
{
    recorder.stopRecording();
    return waitUntilFinished(recorder);
}

void quietFfmpeg()
{
    av_log_set_level(AV_LOG_ERROR);
}

namespace {
QMutex logMutex;
QList<LogCapture::Line> capturedLines;
int captureDepth = 0;
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&logMutex);
    if (captureDepth++ == 0)
        capturedLines.clear();
    previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    QMutexLocker lock(&logMutex);
    --captureDepth;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    QMutexLocker lock(&logMutex);
    capturedLines.append({type, QString::fromLatin1(context.category ? context.category : ""), text});
}

QList<LogCapture::Line> LogCapture::lines() const
{
    QMutexLocker lock(&logMutex);
    return capturedLines;
}

bool LogCapture::contains(QtMsgType type, const QString &text) const
{
    const auto all = lines();
    return std::any_of(all.begin(), all.end(),
                       [&](const Line &line) { return line.type == type && line.text == text; });
}

} // namespace vexlo::test
