#pragma once

// The desktop's top-level windows as the window pickers need them. Handles
// are X11 client window ids; every function is safe for any handle value and
// runs on the GUI thread.

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <qwindowdefs.h>

namespace platform {

struct WindowInfo
{
    WId id = 0;
    QString title;
    QRect rect;  // bounding rectangle with the decorations, screen coordinates
    QImage icon; // small icon, null when the window publishes none
};

// The visible top-level windows, topmost first, with title, bounding
// rectangle and small icon. Windows whose rectangle cannot be read are left out.
QList<WindowInfo> visibleTopLevelWindows();

// True when the handle names an existing window.
bool isWindow(WId id);

// True for a mapped window and for one the window manager has iconified;
// false for anything that is not a window.
bool isWindowVisible(WId id);

// The bounding rectangle with the decorations in screen coordinates, or a
// null rectangle when it cannot be read.
QRect windowRect(WId id);

} // namespace platform
