#include "app/commandline.h"
#include "app/identity.h"
#include "app/mainwindow.h"
#include "app/quitsignals.h"
#include "app/remotecommand.h"
#include "app/singleinstance.h"
#include "app/startup.h"

#include <QApplication>

#include <exception>

int main(int argc, char *argv[])
{
    const QStringList arguments = vexlo::argumentList(argc, argv);
    if (const auto status = vexlo::handleCommandLine(arguments))
        return *status;
    // A command for the running Vexlo needs no display of its own.
    if (const auto command = vexlo::remoteCommand(arguments)) {
        QCoreApplication application(argc, argv);
        return vexlo::sendRemoteCommand(arguments, *command);
    }

    // platform/ needs an X connection: the X11 backend, also on a Wayland
    // session through its compatibility server, unless the user chose one.
    const bool platformChosen = !vexlo::toolkitOption(arguments, QStringLiteral("platform")).isEmpty()
                                || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!platformChosen)
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    // Programs started from here (players, ffmpeg) choose their own.
    if (!platformChosen)
        qunsetenv("QT_QPA_PLATFORM");
    vexlo::applyIdentity();

    vexlo::SingleInstance instance(vexlo::toolkitOption(arguments, QStringLiteral("display")));
    if (instance.claim() == vexlo::SingleInstance::Role::HandedOver)
        return 0;

    std::set_terminate(vexlo::onFatalTerminate);
    // A quit signal ends every event loop, modal ones included, without asking
    // the windows; the main window then finishes the recording and saves.
    // One that arrives while a dialog of the start-up runs its own loop
    // ends that loop; the main loop then never starts.
    vexlo::QuitSignals quitSignals;
    bool quitRequested = false;
    QObject::connect(&quitSignals, &vexlo::QuitSignals::received, &application, [&quitRequested] {
        quitRequested = true;
        QCoreApplication::exit(0);
    });
    const bool forCommand = vexlo::launchedForCommand(arguments);
    return vexlo::runGuarded(
        application,
        [&instance] {
            auto window = std::make_unique<MainWindow>();
            QObject::connect(&instance, &vexlo::SingleInstance::activationRequested, window.get(),
                             &MainWindow::showForAnotherStart);
            QObject::connect(&instance, &vexlo::SingleInstance::commandReceived, window.get(),
                             &MainWindow::handleCommand);
            instance.acceptCommands();
            return window;
        },
        [&quitRequested] { return quitRequested; },
        [forCommand](QWidget *window) {
            if (forCommand)
                static_cast<MainWindow *>(window)->showForCommand();
            else
                window->show();
        });
}
