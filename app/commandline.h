#pragma once

#include <QStringList>

#include <optional>

// The program's own options, read before the application object exists so
// that --help and --version work without a display. The toolkit's own
// options (-platform, -display, -style, -name, -session, ...) are known to
// the parser and left in place for the application object.
namespace vexlo {

// Exit status of a start refused for its arguments (an unknown option).
constexpr int UsageErrorExit = 2;

// The arguments of main as strings (the program's name first).
QStringList argumentList(int argc, char *argv[]);

// Returns the exit status when the start ends here, after printing the
// help, the version or an error with the usage; no value when the program
// is to run.
std::optional<int> handleCommandLine(const QStringList &arguments);

// The value the user gave the toolkit's option -name (without dashes, e.g.
// "platform" or "display"), or empty. Only meaningful after
// handleCommandLine() let the start go on.
QString toolkitOption(const QStringList &arguments, const QString &name);

} // namespace vexlo
