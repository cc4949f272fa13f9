#pragma once

class QWidget;

namespace vexlo {

// On a Wayland session the user is told at start-up what still differs
// from X11: with capture through the desktop's screen sharing, the click
// highlight, and the window list where the desktop shares no windows; with
// X11 capture forced, that only X11 programs' windows can be seen. Until
// they tick "do not show again" (kept under the top-level key
// waylandNoticeDismissed).
void showSessionNotice(QWidget *parent);

} // namespace vexlo
