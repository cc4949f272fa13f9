#include "app/identity.h"

#include <QGuiApplication>
#include <QIcon>

// VEXLO_APP_ID, VEXLO_VERSION and VEXLO_WINDOW_CLASS come from the build,
// where they are defined once for the program, the launcher and the package.
namespace vexlo {

QString applicationId()
{
    return QStringLiteral(VEXLO_APP_ID);
}

QString applicationVersion()
{
    return QStringLiteral(VEXLO_VERSION);
}

QString windowClass()
{
    return QStringLiteral(VEXLO_WINDOW_CLASS);
}

void applyIdentity()
{
    QCoreApplication::setApplicationName(windowClass());
    QCoreApplication::setApplicationVersion(applicationVersion());
    QGuiApplication::setDesktopFileName(applicationId());
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/images/logo.svg")));
}

} // namespace vexlo
