#pragma once

// Which way the screen is captured: X11 grabs, or the desktop's ScreenCast
// portal on a Wayland session, where the X11 compatibility server sees only
// the X11 programs' windows.

namespace capture {

enum class Backend { X11, Portal };

// True on a Wayland session (XDG_SESSION_TYPE, else WAYLAND_DISPLAY).
bool isWaylandSession();

// VEXLO_CAPTURE=x11|portal when set; else the portal on a Wayland session.
Backend chosenBackend();

} // namespace capture
