#include "support/runningprogram.h"

#include "support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>

namespace vexlo::test {

RunningProgram::RunningProgram()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    for (const char *name : {"CONFIG", "DATA", "CACHE", "RUNTIME"}) {
        const QString dir = home.path() + '/' + QString::fromLatin1(name).toLower();
        QDir().mkpath(dir);
        env.insert(QStringLiteral("XDG_%1_%2").arg(name, name == QLatin1String("RUNTIME") ? "DIR" : "HOME"),
                   dir);
    }
    QFile::setPermissions(runtimeFolder(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    process.setProcessEnvironment(env);
}

RunningProgram::~RunningProgram()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
    }
}

bool RunningProgram::start(const QStringList &arguments)
{
    process.start(vexloBinary(), arguments);
    return process.waitForStarted(10000);
}

QString RunningProgram::waitForWindow(int timeoutMs)
{
    return waitForVexloWindow(process.processId(), timeoutMs);
}

QStringList visibleVexloWindows(qint64 pid)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid",
                                             QString::number(pid), "--name", "^Vexlo$"});
    search.waitForFinished(5000);
    return QString::fromLatin1(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QString waitForVexloWindow(qint64 pid, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    do {
        const QStringList ids = visibleVexloWindows(pid);
        if (!ids.isEmpty())
            return ids.first();
        QTest::qWait(100);
    } while (clock.elapsed() < timeoutMs);
    return QString();
}

bool isViewable(const QString &window)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {"-id", window});
    info.waitForFinished(5000);
    return info.readAllStandardOutput().contains("Map State: IsViewable");
}

QString activeWindow()
{
    QProcess query;
    query.start(QStringLiteral("xdotool"), {"getactivewindow"});
    query.waitForFinished(5000);
    return QString::fromLatin1(query.readAllStandardOutput()).trimmed();
}

bool sendSignal(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    return process.state() != QProcess::NotRunning && pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace vexlo::test
