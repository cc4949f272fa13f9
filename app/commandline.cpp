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

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};

    Parser()
    {
        // "-platform xcb" is one option with a value, as the toolkit reads it.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
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

QString toolkitOption(const QStringList &arguments, const QString &name)
{
    Parser p;
    p.parser.parse(arguments);
    return p.parser.value(name);
}

} // namespace vexlo
