#pragma once

// The mouse pointer as the recorder needs it: where it is, and a
// process-wide hook that reports button presses and releases anywhere on the
// desktop, also while another program holds a pointer grab. GUI thread only.

#include <QPoint>

#include <optional>

namespace platform {

// The pointer's position in screen coordinates; none when it cannot be read.
std::optional<QPoint> pointerPosition();

enum class MouseButtonAction {
    LeftDown,
    LeftUp,
    MiddleDown,
    MiddleUp,
    RightDown,
    RightUp,
    Other, // wheel steps and extra buttons
};

using MouseHookProc = void (*)(MouseButtonAction action);

// Installs the hook: `proc` is called on the GUI thread for every button
// event of every master pointer. False when the server cannot report them
// (no XInput 2.2, no connection). At most one hook exists; installing again
// replaces the procedure.
bool installMouseHook(MouseHookProc proc);

// Removes the hook, if any.
void removeMouseHook();

bool isMouseHookInstalled();

} // namespace platform
