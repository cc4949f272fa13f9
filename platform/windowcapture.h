#pragma once

// Images of another program's top-level window, for window-mode recording.
// GUI thread only: it talks on the toolkit's X connection.

#include <QImage>
#include <QRect>
#include <qwindowdefs.h>

#include <cstdint>

struct xcb_connection_t;

namespace platform {

class WindowCapture
{
public:
    WindowCapture() = default;
    ~WindowCapture();
    WindowCapture(const WindowCapture &) = delete;
    WindowCapture &operator=(const WindowCapture &) = delete;

    // The window's own rendering of `area` (screen coordinates, normally its
    // bounding rectangle) as Format_RGB32, also where other windows cover it;
    // parts of the area outside the window are black. The window's top-level
    // frame is redirected off-screen at the first call and stays so until
    // release() or a call for another window: a fresh redirection is black
    // until the client repaints. A null image when the window cannot render
    // itself (no Composite on the server, window not viewable).
    QImage render(WId id, const QRect &area);

    // What the window shows on the screen within `area`; parts outside the
    // window or the screen are black. A null image on failure, with the X
    // error code in *errorCode (0 when no request failed).
    QImage copy(WId id, const QRect &area, int *errorCode);

    // Ends the redirection, if any. Safe when the window is gone.
    void release();

private:
    xcb_connection_t *redirectedOn = nullptr;
    std::uint32_t redirectedFrame = 0;
};

} // namespace platform
