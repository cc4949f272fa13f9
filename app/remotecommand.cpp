#include "app/remotecommand.h"

#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <cstdio>

namespace vexlo {

namespace {

constexpr int ConnectMs = 1000;
constexpr int LaunchWaitMs = 10000;
constexpr int RetryMs = 100;
// Commands that act at once; a start or a stop waits as long as the desktop's
// dialog, the countdown or the file's finish take.
constexpr int QuickAnswerMs = 30000;

void print(FILE *stream, const QString &text)
{
    if (text.isEmpty())
        return;
    std::fputs((text + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

QString programName(const QStringList &arguments)
{
    return QFileInfo(arguments.value(0, QStringLiteral("vexlo"))).fileName();
}

// The backend the program would run on (main.cpp chooses X11 unless told).
QString platformOf(const QStringList &arguments)
{
    QString platform = toolkitOption(arguments, QStringLiteral("platform"));
    if (platform.isEmpty())
        platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb"));
    return platform.section(u':', 0, 0).section(u';', 0, 0);
}

bool connectTo(QLocalSocket &socket, const QString &path)
{
    socket.connectToServer(path);
    return socket.waitForConnected(ConnectMs);
}

// A Vexlo of its own, shown as on a normal start (or not, as the running
// one's settings say), detached from the caller's terminal and pipes so a
// script that reads the printed path does not wait for Vexlo to end.
bool launchAndConnect(QLocalSocket &socket, const QString &path, const QStringList &arguments)
{
    QProcess vexlo;
    vexlo.setProgram(QCoreApplication::applicationFilePath());
    vexlo.setArguments(toolkitArguments(arguments) << launchedForCommandOption());
    vexlo.setStandardInputFile(QProcess::nullDevice());
    vexlo.setStandardOutputFile(QProcess::nullDevice());
    vexlo.setStandardErrorFile(QProcess::nullDevice());
    if (!vexlo.startDetached())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < LaunchWaitMs) {
        if (connectTo(socket, path))
            return true;
        socket.abort();
        QThread::msleep(RetryMs);
    }
    return false;
}

} // namespace

int sendRemoteCommand(const QStringList &arguments, const RemoteCommand &command)
{
    const QString program = programName(arguments) + QStringLiteral(": ");
    const QString path =
        SingleInstance::socketPathFor(platformOf(arguments), toolkitOption(arguments, QStringLiteral("display")));
    const bool start = command.name == QLatin1String("start");
    QLocalSocket socket;
    if (path.isEmpty() || !connectTo(socket, path)) {
        socket.abort();
        if (!start || path.isEmpty()) {
            print(stderr, program + commandLineText(QT_TRANSLATE_NOOP("CommandLine", "Vexlo 未在运行")));
            return NotRunningExit;
        }
        if (!launchAndConnect(socket, path, arguments)) {
            print(stderr, program
                              + commandLineText(QT_TRANSLATE_NOOP("CommandLine", "Vexlo 未能在 10 秒内启动")));
            return CommandRefusedExit;
        }
    }

    socket.write(commandLine(command.name, command.argument));
    socket.waitForBytesWritten(ConnectMs);
    const bool waitsLong = start || command.name == QLatin1String("stop")
                           || command.name == QLatin1String("toggle");
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) {
            print(stderr, program
                              + commandLineText(QT_TRANSLATE_NOOP("CommandLine", "与 Vexlo 的连接已断开")));
            return CommandRefusedExit;
        }
        if (!waitsLong && clock.elapsed() > QuickAnswerMs) {
            print(stderr, program + commandLineText(QT_TRANSLATE_NOOP("CommandLine", "Vexlo 没有回答")));
            return CommandRefusedExit;
        }
        socket.waitForReadyRead(RetryMs * 10);
    }
    bool ok = false;
    QString text;
    if (!parseAnswer(socket.readLine(), &ok, &text)) {
        print(stderr, program + commandLineText(QT_TRANSLATE_NOOP("CommandLine", "Vexlo 没有回答")));
        return CommandRefusedExit;
    }
    print(ok ? stdout : stderr, ok ? text : program + text);
    return ok ? 0 : CommandRefusedExit;
}

} // namespace vexlo
