// vexlo-idle-cpu [--seconds N]
//
// CPU time the idle main window takes in each state where no recording runs:
// record page shown (the live preview's cost, for reference), settings page,
// minimised, and hidden as a recording hides it to the tray. Settings go to a
// temporary home. Run it on a display, e.g. under scripts/headless.sh.

#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// User plus system time of this process, in clock ticks.
long long processTicks()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

void clickButton(QWidget &window, const char *name)
{
    if (auto *button = window.findChild<QToolButton *>(QLatin1String(name)))
        button->click();
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    if (seconds < 1) {
        std::fprintf(stderr, "idle-cpu: seconds must be at least 1\n");
        return 2;
    }

    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());

    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    runFor(2000);

    struct State
    {
        const char *name;
        std::function<void()> enter;
        std::function<void()> leave;
    };
    const State states[] = {
        {"record page shown", [] {}, [] {}},
        {"settings page", [&] { clickButton(window, "menuButton"); },
         [&] { clickButton(window, "recordButton"); }},
        {"minimised", [&] { window.showMinimized(); }, [&] { window.showNormal(); }},
        {"hidden (as to the tray)", [&] { window.hide(); }, [&] { window.showNormal(); }},
    };
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const State &state : states) {
        state.enter();
        runFor(2000);
        const long long before = processTicks();
        QElapsedTimer clock;
        clock.start();
        runFor(seconds * 1000);
        const double cpu = (processTicks() - before) / ticksPerSecond;
        const double wall = clock.elapsed() / 1000.0;
        std::printf("%-26s %6.2f %% of one core (%.2f s CPU in %.1f s)\n", state.name,
                    100.0 * cpu / wall, cpu, wall);
        std::fflush(stdout);
        state.leave();
        runFor(1000);
    }
    return 0;
}
