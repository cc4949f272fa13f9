#include "portalrequest.h"

#include <QDBusConnection>

namespace vexlo::testportal {

PortalRequest::PortalRequest(const QDBusObjectPath &handle, QObject *parent)
    : QObject(parent), path(handle)
{
    registered = QDBusConnection::sessionBus().registerObject(path.path(), this,
                                                              QDBusConnection::ExportAllSlots);
}

PortalRequest::~PortalRequest()
{
    if (registered)
        QDBusConnection::sessionBus().unregisterObject(path.path());
}

void PortalRequest::Close()
{
    emit closeRequested();
}

} // namespace vexlo::testportal
