#pragma once

#include <functional>
#include <memory>

class QApplication;
class QWidget;

namespace vexlo {

using WindowFactory = std::function<std::unique_ptr<QWidget>()>;

// Applies ":/qss/default.css" to the whole application. Returns false (and
// logs why) when the resource tree is missing or the sheet cannot be read or
// is empty; the program then runs with the toolkit's own look.
bool loadStyleSheet(QApplication &application);

// Process-wide terminate handler: logs, shows the fatal box, aborts.
[[noreturn]] void onFatalTerminate();

// Everything main does after the application object exists and the terminate
// handler is installed: quiets FFmpeg, applies the style sheet, shows the
// window made by makeWindow, tells about a Wayland session (see
// sessionnotice.h) and runs the event loop. Exceptions end in the
// fatal box and -1. The window is destroyed before this returns.
// quitRequested tells whether the program was asked to end while the window
// was being made (a dialog's own event loop took the request): the main
// loop then does not start.
// showWindow shows the window made (by default as it is); one left hidden
// gets the notice once it is first on screen.
int runGuarded(QApplication &application, const WindowFactory &makeWindow,
               const std::function<bool()> &quitRequested = {},
               const std::function<void(QWidget *)> &showWindow = {});

} // namespace vexlo
