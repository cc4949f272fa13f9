#pragma once

#include <QString>

namespace vexlo {

// The reverse-DNS id shared by the launcher file, the icon, the AppStream
// data and the window system's idea of which program a window belongs to.
QString applicationId();

// The version shown by the about dialog and `--version`.
QString applicationVersion();

// The application name, which the X11 backend puts into the class part of
// WM_CLASS; the launcher's StartupWMClass names the same string.
QString windowClass();

// Names the running application after the above and gives its windows the
// program's icon. Called right after the application object is made.
void applyIdentity();

} // namespace vexlo
