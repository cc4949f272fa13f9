#pragma once

#include <QString>

#include <functional>

class QMenu;

namespace vexlo::test {

// Runs an action on the next pop-up menu once it is shown, from inside the
// event loop that shows it.
void onNextMenu(const std::function<void(QMenu *)> &act);

// Chooses an entry as a user does with the keyboard; closes the menu and
// warns when it has no such entry.
void pickEntry(QMenu *menu, const QString &text);

} // namespace vexlo::test
