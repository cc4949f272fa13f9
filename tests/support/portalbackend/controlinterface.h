#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

namespace vexlo::testportal {

class FrontendRestart;
class GlobalShortcutsPortal;
class ScreenCastPortal;

// example.vexlo.TestPortal at /example/vexlo/TestPortal: how a test steers
// the imagined desktop and reads what it was asked.
class ControlInterface : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.vexlo.TestPortal")

public:
    ControlInterface(ScreenCastPortal &portal, GlobalShortcutsPortal &shortcuts,
                     FrontendRestart &frontend, QObject *parent = nullptr);

public slots:
    void SetStreamSize(int width, int height, const QDBusMessage &message);
    void SetLogicalSize(int width, int height, const QDBusMessage &message);
    void SetMonitor(uint monitor, const QDBusMessage &message);
    void SetFrameRate(int fps, const QDBusMessage &message);
    void SetNextResponse(uint response, const QDBusMessage &message);
    void SetSourceTypes(uint types, const QDBusMessage &message);
    void SetCursorModes(uint modes, const QDBusMessage &message);
    void SetPointer(int x, int y);
    // Streams started from now on send a moving window (testcontent.h).
    void SetMovingCrop(bool on);
    void EndStream();
    uint DialogCount() const;
    QVariantMap LastSelectOptions() const;
    uint ActiveStreams() const;
    uint OpenSessions() const;
    uint ClosedRequests() const;
    // As when the user presses a bound shortcut: how many sessions heard it.
    uint ActivateShortcut(const QString &id);
    QStringList BoundShortcuts() const;

private:
    ScreenCastPortal &portal;
    GlobalShortcutsPortal &shortcuts;
    FrontendRestart &frontend;
};

} // namespace vexlo::testportal
