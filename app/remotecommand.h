#pragma once

#include "app/commandline.h"

#include <QStringList>

// The side of "vexlo --start" and its siblings that runs in the caller's
// shell: it finds the running Vexlo of this user and display through its
// socket, sends the command, waits for the answer, prints it and returns the
// exit status. Needs an application object, no display.
namespace vexlo {

// A command that does not fit the running Vexlo's state, or a start it refused.
constexpr int CommandRefusedExit = 1;
constexpr int NotRunningExit = 3;

int sendRemoteCommand(const QStringList &arguments, const RemoteCommand &command);

} // namespace vexlo
