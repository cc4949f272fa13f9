#include "portalsession.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace vexlo::testportal {

PortalSession::PortalSession(const QDBusObjectPath &handle, QObject *parent)
    : QObject(parent), path(handle)
{
    registered = QDBusConnection::sessionBus().registerObject(
        path.path(), this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
}

PortalSession::~PortalSession()
{
    unregister();
}

void PortalSession::unregister()
{
    if (registered)
        QDBusConnection::sessionBus().unregisterObject(path.path());
    registered = false;
}

void PortalSession::closeFromDesktop()
{
    QDBusConnection::sessionBus().send(QDBusMessage::createSignal(
        path.path(), QStringLiteral("org.freedesktop.impl.portal.Session"), QStringLiteral("Closed")));
}

void PortalSession::Close()
{
    emit closeRequested();
}

} // namespace vexlo::testportal
