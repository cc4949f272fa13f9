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

// A command for the running Vexlo (--start, --stop, ...): its name as it
// travels over the socket, and its argument (--stop-after's seconds).
struct RemoteCommand
{
    QString name;
    QString argument;
};

// The arguments of main as strings (the program's name first).
QStringList argumentList(int argc, char *argv[]);

// Returns the exit status when the start ends here, after printing the
// help, the version or an error with the usage; no value when the program
// is to run.
std::optional<int> handleCommandLine(const QStringList &arguments);

// The command the arguments give, if any. Only meaningful after
// handleCommandLine() let the start go on.
std::optional<RemoteCommand> remoteCommand(const QStringList &arguments);

// Set on a Vexlo that a command launched: it shows its window only as a
// recording would leave it.
bool launchedForCommand(const QStringList &arguments);
// The option that says so, for the command that launches it.
QString launchedForCommandOption();

// The arguments without the program's name and its own options: the
// toolkit's options, for a Vexlo launched on the same display.
QStringList toolkitArguments(const QStringList &arguments);

// A text of the command line in the start language (the program's name is
// not translated), for messages printed before any window exists.
QString commandLineText(const char *source);

// The value the user gave the toolkit's option -name (without dashes, e.g.
// "platform" or "display"), or empty. Only meaningful after
// handleCommandLine() let the start go on.
QString toolkitOption(const QStringList &arguments, const QString &name);

} // namespace vexlo
