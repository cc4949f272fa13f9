#pragma once

#include <QString>

namespace platform {

// Start with the system through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/<name>.desktop.

// Path of the entry for a name.
QString autoStartEntryPath(const QString &name);

// Writes the entry so that logging in starts `program` without arguments.
// Returns false when the file cannot be written.
bool enableAutoStart(const QString &name, const QString &program);

// Removes the entry; nothing happens when it is absent.
void disableAutoStart(const QString &name);

// The Exec= value that runs `program` with no arguments, quoted and escaped
// as desktop entries require.
QString desktopExecValue(const QString &program);

} // namespace platform
