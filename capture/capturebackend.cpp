#include "capture/capturebackend.h"

#include <QString>
#include <QtGlobal>

namespace capture {

bool isWaylandSession()
{
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    if (!type.isEmpty())
        return type == QLatin1String("wayland");
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

Backend chosenBackend()
{
    const QString forced = qEnvironmentVariable("VEXLO_CAPTURE").trimmed().toLower();
    if (forced == QLatin1String("x11"))
        return Backend::X11;
    if (forced == QLatin1String("portal"))
        return Backend::Portal;
    return isWaylandSession() ? Backend::Portal : Backend::X11;
}

} // namespace capture
