#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace vexlo::test {

// The real program in a home of its own (settings, videos and the runtime
// folder where the running instance listens), started as a user would.
// Killed at the end if still running.
class RunningProgram
{
public:
    RunningProgram();
    ~RunningProgram();
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    QString homePath() const { return home.path(); }
    QString storeFile() const { return home.path() + "/config/Vexlo/VexloRecorder.conf"; }
    QString recordingsFolder() const { return home.path() + "/Videos/Vexlo"; }
    QString runtimeFolder() const { return home.path() + "/runtime"; }
    // The environment every start in this home gets.
    QProcessEnvironment environment() const { return process.processEnvironment(); }

    bool start(const QStringList &arguments = {});

    // The id of the program's main window once it is shown, or empty.
    QString waitForWindow(int timeoutMs);

    QProcess process;

private:
    QTemporaryDir home;
};

// The ids of a process's visible windows titled Vexlo (a shown tray icon is
// one of them).
QStringList visibleVexloWindows(qint64 pid);

// The id of the visible window titled Vexlo of a process, once it shows
// within timeoutMs, or empty.
QString waitForVexloWindow(qint64 pid, int timeoutMs);

// Sends a signal to a running process; false when it no longer runs (its
// id is then 0, and kill(0) would signal the whole process group).
bool sendSignal(const QProcess &process, int signal);

// Whether a window is mapped and all its ancestors are (it can be seen).
bool isViewable(const QString &window);

// The id of the active window as the window manager announces it.
QString activeWindow();

} // namespace vexlo::test
