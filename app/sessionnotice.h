#pragma once

class QWidget;

namespace vexlo {

// On a Wayland session Vexlo runs through the X11 compatibility server,
// which shows it only the windows of X11 programs: full-screen and region
// recordings are black elsewhere. The user is told at start-up, until they
// tick "do not show again" (kept under the top-level key
// waylandNoticeDismissed).
bool isWaylandSession();
void showSessionNotice(QWidget *parent);

} // namespace vexlo
