#include "portalsession.h"

#include <QDBusConnection>

namespace vexlo::testportal {

PortalSession::PortalSession(const QDBusObjectPath &handle, QObject *parent)
    : QObject(parent), path(handle)
{
    registered = QDBusConnection::sessionBus().registerObject(
        path.path(), this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                               | QDBusConnection::ExportAllProperties);
}

PortalSession::~PortalSession()
{
    if (registered)
        QDBusConnection::sessionBus().unregisterObject(path.path());
}

void PortalSession::closeFromDesktop()
{
    emit Closed();
}

void PortalSession::Close()
{
    emit closeRequested();
}

} // namespace vexlo::testportal
