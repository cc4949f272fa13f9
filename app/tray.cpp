// The tray icon that stands in for the window while a recording runs hidden,
// and the close that goes to the tray while it is shown.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {
constexpr int BalloonMs = 3000;
} // namespace

void MainWindow::createTrayIcon()
{
    // The box's toggled connection is made after this, so the stored choice
    // survives a session without a tray.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        ui->RecMinToTray->setEnabled(false);
        ui->RecMinToTray->setChecked(false);
        return;
    }
    if (trayIcon != nullptr)
        return;

    trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/images/logo.svg")), this);
    trayMenu = new QMenu(this);
    trayMenu->addAction(QString(), this, &QWidget::showNormal);
    trayMenu->addAction(QString(), qApp, &QCoreApplication::quit);
    retranslateTrayMenu();
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::onTrayIconActivated);
    trayIcon->setContextMenu(trayMenu);
}

void MainWindow::retranslateTrayMenu()
{
    if (trayMenu == nullptr)
        return;
    const QList<QAction *> actions = trayMenu->actions();
    actions.at(0)->setText(tr("恢复窗口"));
    actions.at(1)->setText(tr("退出"));
}

void MainWindow::onTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick)
        return;
    showNormal();
    activateWindow();
}

void MainWindow::showForAnotherStart()
{
    if (hiddenToTray && trayIcon != nullptr) {
        onTrayIconActivated(QSystemTrayIcon::DoubleClick);
        return;
    }
    if (isMinimized() || !isVisible())
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (trayIcon != nullptr && trayIcon->isVisible() && ui->RecMinToTray->isChecked()) {
        trayIcon->showMessage(tr("Vexlo"), tr("程序已最小化到托盘"),
                              QSystemTrayIcon::Information, BalloonMs);
        hide();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
