#include "app/commandline.h"

#include "app/identity.h"
#include "app/uilanguage.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTranslator>

#include <cstdio>

namespace vexlo {

namespace {

// The toolkit's options that take a value, and those that do not.
const char *const ToolkitValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "display", "name", "session", "style", "stylesheet",
    "geometry", "title", "icon", "visual", "qmljsdebugger"};
const char *const ToolkitFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

const char *const TextContext = "CommandLine";

// There is no application object yet, so no installed translator: the texts
// are looked up in the start language's translation directly.
class Texts
{
public:
    Texts()
    {
        const QString language = startLanguage();
        // Without a translation the source texts are shown.
        [[maybe_unused]] const bool loaded =
            translator.load(QStringLiteral(":/translations/lang_%1.qm").arg(language));
    }

    QString operator()(const char *source) const
    {
        const QString text = translator.translate(TextContext, source);
        return text.isEmpty() ? QString::fromUtf8(source) : text;
    }

private:
    QTranslator translator;
};

// The commands for the running Vexlo, as typed and as sent.
const char *const CommandNames[] = {"start", "stop", "pause", "resume", "toggle", "status"};
const char *const StopAfterName = "stop-after";
const char *const LaunchedName = "for-command";

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption stopAfter{QString::fromLatin1(StopAfterName), QString(), QStringLiteral("seconds")};
    QCommandLineOption launched{QString::fromLatin1(LaunchedName)};

    Parser()
    {
        // "-platform xcb" is one option with a value, as the toolkit reads it.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
        for (const char *name : CommandNames)
            parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
        parser.addOption(stopAfter);
        launched.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(launched);
        for (const char *name : ToolkitValueOptions) {
            QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
        for (const char *name : ToolkitFlagOptions) {
            QCommandLineOption option(QString::fromLatin1(name));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }
};

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

QString usage(const Texts &text, const QString &program)
{
    const QString lines[] = {
        text(QT_TRANSLATE_NOOP("CommandLine", "用法：%1 [选项]")).arg(program),
        text(QT_TRANSLATE_NOOP("CommandLine", "录制屏幕，批量转换音视频文件。")),
        QString(),
        text(QT_TRANSLATE_NOOP("CommandLine", "选项：")),
        QStringLiteral("  -h, --help     ") + text(QT_TRANSLATE_NOOP("CommandLine", "显示此帮助并退出。")),
        QStringLiteral("  -v, --version  ") + text(QT_TRANSLATE_NOOP("CommandLine", "显示版本并退出。")),
        QString(),
        text(QT_TRANSLATE_NOOP("CommandLine", "发给正在运行的 Vexlo 的命令（没有则 --start 先启动一个）：")),
        QStringLiteral("  --start                ")
            + text(QT_TRANSLATE_NOOP("CommandLine", "开始录制（设有倒计时则先倒计时），打印文件路径。")),
        QStringLiteral("  --stop-after SECONDS   ")
            + text(QT_TRANSLATE_NOOP("CommandLine", "与 --start 一起：录制这么多秒后自动停止。")),
        QStringLiteral("  --stop                 ")
            + text(QT_TRANSLATE_NOOP("CommandLine", "停止录制（或取消倒计时），文件写完后打印其路径。")),
        QStringLiteral("  --pause                ") + text(QT_TRANSLATE_NOOP("CommandLine", "暂停录制。")),
        QStringLiteral("  --resume               ") + text(QT_TRANSLATE_NOOP("CommandLine", "继续录制。")),
        QStringLiteral("  --toggle               ")
            + text(QT_TRANSLATE_NOOP("CommandLine", "空闲时开始录制，录制时停止。")),
        QStringLiteral("  --status               ")
            + text(QT_TRANSLATE_NOOP("CommandLine",
                                     "打印一行状态：idle、countdown N、waiting、recording、paused 或 saving。")),
        QString(),
        text(QT_TRANSLATE_NOOP("CommandLine",
                               "退出状态：0 成功；1 命令被拒绝（原因见标准错误）；2 用法错误；3 Vexlo 未在运行。")),
        QString(),
        text(QT_TRANSLATE_NOOP("CommandLine",
                               "也接受 Qt 的标准选项，例如 -platform、-display、-style、-name 和 -session。")),
    };
    QString usage;
    for (const QString &line : lines)
        usage += line + u'\n';
    return usage;
}

// The argument as the user typed it for an option the parser did not know.
QString typedOption(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        QString bare = argument;
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (argument.startsWith(u'-') && bare.section(u'=', 0, 0) == name)
            return argument;
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QStringList chosenCommands(const Parser &p)
{
    QStringList chosen;
    for (const char *name : CommandNames)
        if (p.parser.isSet(QString::fromLatin1(name)))
            chosen << QString::fromLatin1(name);
    return chosen;
}

bool isPositiveWholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 && !text.startsWith(u'+');
}

// Why the commands given cannot go together, or empty.
QString commandProblem(const Parser &p, const Texts &text)
{
    const QStringList chosen = chosenCommands(p);
    if (chosen.size() > 1)
        return text(QT_TRANSLATE_NOOP("CommandLine", "一次只能给出一个命令：%1"))
            .arg(QStringLiteral("--") + chosen.join(QStringLiteral(", --")));
    if (!p.parser.isSet(p.stopAfter))
        return QString();
    if (chosen != QStringList{QStringLiteral("start")})
        return text(QT_TRANSLATE_NOOP("CommandLine", "--stop-after 只能与 --start 一起使用"));
    const QString value = p.parser.value(p.stopAfter);
    if (!isPositiveWholeNumber(value))
        return text(QT_TRANSLATE_NOOP("CommandLine", "--stop-after 需要一个正整数（秒）：%1")).arg(value);
    return QString();
}

QString errorLine(const Parser &p, const QStringList &arguments, bool parsed, const Texts &text)
{
    if (!parsed && !p.parser.unknownOptionNames().isEmpty())
        return text(QT_TRANSLATE_NOOP("CommandLine", "未知选项：%1"))
            .arg(typedOption(arguments, p.parser.unknownOptionNames().constFirst()));
    if (!parsed)
        return text(QT_TRANSLATE_NOOP("CommandLine", "选项缺少值：%1")).arg(arguments.constLast());
    return text(QT_TRANSLATE_NOOP("CommandLine", "多余的参数：%1"))
        .arg(p.parser.positionalArguments().constFirst());
}

} // namespace

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

std::optional<int> handleCommandLine(const QStringList &arguments)
{
    Parser p;
    const bool parsed = p.parser.parse(arguments);
    const QString program = QFileInfo(arguments.value(0, QStringLiteral("vexlo"))).fileName();
    if (!parsed || !p.parser.positionalArguments().isEmpty()) {
        const Texts text;
        print(stderr, program + QStringLiteral(": ") + errorLine(p, arguments, parsed, text)
                          + u'\n' + usage(text, program));
        return UsageErrorExit;
    }
    if (!p.parser.isSet(p.help) && !p.parser.isSet(p.version)) {
        const Texts text;
        if (const QString problem = commandProblem(p, text); !problem.isEmpty()) {
            print(stderr, program + QStringLiteral(": ") + problem + u'\n' + usage(text, program));
            return UsageErrorExit;
        }
    }
    if (p.parser.isSet(p.help)) {
        print(stdout, usage(Texts(), program));
        return 0;
    }
    if (p.parser.isSet(p.version)) {
        print(stdout, QStringLiteral("Vexlo %1\n").arg(applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

std::optional<RemoteCommand> remoteCommand(const QStringList &arguments)
{
    Parser p;
    p.parser.parse(arguments);
    const QStringList chosen = chosenCommands(p);
    if (chosen.isEmpty())
        return std::nullopt;
    return RemoteCommand{chosen.first(), p.parser.value(p.stopAfter)};
}

bool launchedForCommand(const QStringList &arguments)
{
    Parser p;
    p.parser.parse(arguments);
    return p.parser.isSet(p.launched);
}

QString launchedForCommandOption()
{
    return QStringLiteral("--") + QString::fromLatin1(LaunchedName);
}

QStringList toolkitArguments(const QStringList &arguments)
{
    QStringList own;
    for (const char *name : CommandNames)
        own << QString::fromLatin1(name);
    own << QString::fromLatin1(LaunchedName);
    QStringList kept;
    for (int i = 1; i < arguments.size(); ++i) {
        QString bare = arguments[i];
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (bare == QLatin1String(StopAfterName)) {
            ++i;
            continue;
        }
        if (own.contains(bare) || bare.startsWith(QLatin1String(StopAfterName) + u'='))
            continue;
        kept << arguments[i];
    }
    return kept;
}

QString commandLineText(const char *source)
{
    return Texts()(source);
}

QString toolkitOption(const QStringList &arguments, const QString &name)
{
    Parser p;
    p.parser.parse(arguments);
    return p.parser.value(name);
}

} // namespace vexlo
