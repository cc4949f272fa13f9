// The window while a recording runs: hidden to the tray or minimised when
// the user asks for it, back when the recording stops, and the close that
// goes to the tray while the icon is shown.
#include "app/mainwindow.h"

#include "app/pages/settingspage.h"
#include "app/remotecontrol.h"
#include "app/trayicon.h"

#include <QCloseEvent>
#include <QMessageBox>

namespace {
constexpr int BalloonMs = 3000;
constexpr int AudioBalloonMs = 5000;
} // namespace

void MainWindow::hideForRecording()
{
    // Hidden at the countdown already.
    if (hiddenToTray)
        return;
    if (settingsPage->minimizesAfterRecording())
        showMinimized();
    if (!settingsPage->minimizesToTray() || !tray->isAvailable())
        return;
    tray->setVisible(true);
    hide();
    hiddenToTray = true;
    tray->showMessage(tr("录制已开始"), tr("Vexlo 正在后台录制"), QSystemTrayIcon::Information,
                      BalloonMs);
}

void MainWindow::returnFromTray()
{
    if (!hiddenToTray)
        return;
    showNormal();
    activateWindow();
    tray->setVisible(false);
    hiddenToTray = false;
}

void MainWindow::showAudioProblem(const QString &text)
{
    if (hiddenToTray && tray->isVisible()) {
        tray->showMessage(tr("声音"), text, QSystemTrayIcon::Warning, AudioBalloonMs);
        return;
    }
    QMessageBox::warning(this, tr("声音"), text);
}

void MainWindow::showForAnotherStart()
{
    if (hiddenToTray) {
        showNormal();
        activateWindow();
        return;
    }
    if (isMinimized() || !isVisible())
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::showForCommand()
{
    if (settingsPage->minimizesToTray() && tray->isAvailable())
        return;
    if (settingsPage->minimizesAfterRecording())
        showMinimized();
    else
        show();
}

void MainWindow::handleCommand(vexlo::CommandRequest *request)
{
    remote->handle(request);
}

void MainWindow::showAfterRefusedStart()
{
    if (!isVisible() && !hiddenToTray)
        showNormal();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (tray->isVisible() && settingsPage->minimizesToTray()) {
        tray->showMessage(tr("Vexlo"), tr("程序已最小化到托盘"), QSystemTrayIcon::Information,
                          BalloonMs);
        hide();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
