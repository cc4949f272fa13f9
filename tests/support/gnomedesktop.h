#pragma once

#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vexlo::test {

// The real GNOME desktop that `scripts/headless.sh --desktop gnome` (mutter)
// or `--desktop gnome-shell` runs.
class GnomeDesktop
{
public:
    // The rig is up: VEXLO_TEST_DESKTOP names it.
    static bool running();
    // gnome-shell, whose dialog lists windows.
    static bool withShell();

    // Objects the portal frontend holds for this process's bus connection
    // under `kind` ("session" or "request"), by their paths.
    static QStringList portalObjects(const QString &kind);
};

// The user at the desktop's screen sharing dialog, through the
// accessibility bus (tests/support/gnomedialog.py): started before the
// dialog is awaited, so the event loop keeps running meanwhile.
class DialogUser
{
public:
    // "share monitor", "share window TITLE", "shown" or "gone".
    void start(const QStringList &arguments);
    // Runs the event loop until the user is done; false, with error(), when
    // they could not do it.
    bool wait(int timeoutMs = 120000);
    QString error() const { return problem; }

private:
    QProcess process;
    QString problem;
};

// mutter's pointer, moved as a remote desktop client does: a RemoteDesktop
// session with a ScreenCast stream of the monitor linked to it, and
// absolute motion on that stream (a headless mutter has no pointer of its
// own). Stopped on destruction.
class MutterPointer
{
public:
    ~MutterPointer();
    // False, with error(), when mutter refuses.
    bool moveTo(QPoint position);
    QString error() const { return problem; }

private:
    bool open();

    QString session;
    QString stream;
    QString problem;
};

} // namespace vexlo::test
