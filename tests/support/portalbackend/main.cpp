// vexlo-test-portal: the desktop's side of the ScreenCast and GlobalShortcuts
// portals for the tests, with the compositor imagined. It owns
// org.freedesktop.impl.portal.desktop.vexlotest on the session bus, publishes
// one PipeWire video source of known content per started session, and takes
// orders at /example/vexlo/TestPortal. scripts/headless.sh --portal runs it.

#include "controlinterface.h"
#include "dbustypes.h"
#include "frontendrestart.h"
#include "globalshortcutsportal.h"
#include "pipewirecore.h"
#include "screencastportal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so streams and the frontend this
// program started are taken down in order.
void quitOnTermination(QCoreApplication &app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vexlo::testportal;
    QCoreApplication app(argc, argv);
    quitOnTermination(app);
    registerDBusTypes();

    PipeWireCore pipeWire;
    if (!pipeWire.connect()) {
        std::fprintf(stderr, "vexlo-test-portal: %s\n", qPrintable(pipeWire.error()));
        return 1;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "vexlo-test-portal: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }

    ScreenCastPortal portal(pipeWire);
    // Exported with the screen cast, at the desktop's one path.
    auto *shortcuts = new GlobalShortcutsPortal(&portal);
    FrontendRestart frontend;
    ControlInterface control(portal, *shortcuts, frontend);
    const auto exports = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties
                         | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAdaptors;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal, exports)
        || !bus.registerObject(QStringLiteral("/example/vexlo/TestPortal"), &control, exports)
        || !bus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.vexlotest"))) {
        std::fprintf(stderr, "vexlo-test-portal: cannot take its place on the bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
