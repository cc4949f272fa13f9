#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class QObject;

namespace vexlo::test {

// Runs an action on the next pop-up menu once it is shown, from inside the
// event loop that shows it: a menu that runs a loop of its own holds up the
// click that opened it until it closes. Deleting the returned watch before
// then drops it.
QObject *onNextMenu(const std::function<void(QMenu *)> &act);

// Chooses an entry as a user does with the keyboard; closes the menu and
// warns when it has no such entry.
void pickEntry(QMenu *menu, const QString &text);

// Clicks the entry with that text as a user does with the mouse; false when
// the menu has no such entry (the menu is closed then), or when the menu was
// destroyed while the click was still being delivered to it (its code ran
// on in freed memory).
bool clickMenuEntry(QMenu *menu, const QString &text);

// The texts of a menu's entries, "-" for a separator.
QStringList menuEntryTexts(const QMenu *menu);

} // namespace vexlo::test
