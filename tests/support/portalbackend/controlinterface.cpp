#include "controlinterface.h"

#include "frontendrestart.h"
#include "globalshortcutsportal.h"
#include "screencastportal.h"

#include <QDBusConnection>

namespace vexlo::testportal {

namespace {

// A refused value answers with an error, so the test's call fails loudly.
void refuse(const QDBusMessage &message, const QString &why)
{
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(message.createErrorReply(QDBusError::InvalidArgs, why));
}

} // namespace

ControlInterface::ControlInterface(ScreenCastPortal &portal, GlobalShortcutsPortal &shortcuts,
                                   FrontendRestart &frontend, QObject *parent)
    : QObject(parent), portal(portal), shortcuts(shortcuts), frontend(frontend)
{
}

void ControlInterface::SetStreamSize(int width, int height, const QDBusMessage &message)
{
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        refuse(message, QStringLiteral("a stream of %1 x %2 pixels").arg(width).arg(height));
    else
        portal.setStreamSize(QSize(width, height));
}

void ControlInterface::SetLogicalSize(int width, int height, const QDBusMessage &message)
{
    if (width < 0 || height < 0)
        refuse(message, QStringLiteral("a logical size of %1 x %2").arg(width).arg(height));
    else
        portal.state().logicalSize = QSize(width, height);
}

void ControlInterface::SetMonitor(uint monitor, const QDBusMessage &message)
{
    if (monitor > 1)
        refuse(message, QStringLiteral("monitor %1 of two").arg(monitor));
    else
        portal.state().monitor = monitor;
}

void ControlInterface::SetFrameRate(int fps, const QDBusMessage &message)
{
    if (fps < 1 || fps > 240)
        refuse(message, QStringLiteral("%1 frames per second").arg(fps));
    else
        portal.setFrameRate(fps);
}

void ControlInterface::SetNextResponse(uint response, const QDBusMessage &message)
{
    if (response > 3)
        refuse(message, QStringLiteral("response %1 (0 to 3)").arg(response));
    else
        portal.state().nextResponse = response;
}

void ControlInterface::SetSourceTypes(uint types, const QDBusMessage &message)
{
    if (types == 0 || (types & ~3u) != 0) {
        refuse(message, QStringLiteral("source types %1 (1 monitor, 2 window)").arg(types));
        return;
    }
    portal.state().sourceTypes = types;
    portal.announceProperty(QStringLiteral("AvailableSourceTypes"), types);
    frontend.restart(message);
}

void ControlInterface::SetCursorModes(uint modes, const QDBusMessage &message)
{
    if (modes == 0 || (modes & ~7u) != 0) {
        refuse(message, QStringLiteral("cursor modes %1 (1 hidden, 2 embedded, 4 metadata)").arg(modes));
        return;
    }
    portal.state().cursorModes = modes;
    portal.announceProperty(QStringLiteral("AvailableCursorModes"), modes);
    frontend.restart(message);
}

void ControlInterface::SetPointer(int x, int y)
{
    portal.setPointer(QPoint(x, y));
}

void ControlInterface::SetMovingCrop(bool on)
{
    portal.state().movingCrop = on;
}

void ControlInterface::EndStream()
{
    portal.endStreams();
}

uint ControlInterface::DialogCount() const
{
    return portal.state().dialogCount;
}

QVariantMap ControlInterface::LastSelectOptions() const
{
    return portal.state().lastSelectOptions;
}

uint ControlInterface::ActiveStreams() const
{
    return portal.activeStreams();
}

uint ControlInterface::OpenSessions() const
{
    return portal.openSessions();
}

uint ControlInterface::ClosedRequests() const
{
    return portal.state().closedRequests;
}

uint ControlInterface::ActivateShortcut(const QString &id)
{
    return shortcuts.activate(id);
}

QStringList ControlInterface::BoundShortcuts() const
{
    return shortcuts.boundShortcuts();
}

} // namespace vexlo::testportal
