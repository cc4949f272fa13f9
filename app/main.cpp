#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>

#include <exception>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    std::set_terminate(vexlo::onFatalTerminate);
    return vexlo::runGuarded(application, [] { return std::make_unique<MainWindow>(); });
}
