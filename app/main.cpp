#include "app/mainwindow.h"
#include "app/quitsignals.h"
#include "app/startup.h"

#include <QApplication>

#include <exception>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    std::set_terminate(vexlo::onFatalTerminate);
    // A quit signal ends every event loop, modal ones included, without asking
    // the windows; the main window then finishes the recording and saves.
    vexlo::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &vexlo::QuitSignals::received, &application,
                     [] { QCoreApplication::exit(0); });
    return vexlo::runGuarded(application, [] { return std::make_unique<MainWindow>(); });
}
