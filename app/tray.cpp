// The tray icon that stands in for the window while a recording runs hidden,
// its menu that drives the recording as the page's buttons do, the close that
// goes to the tray while it is shown, and the icon's look of a running
// recording.
#include "app/mainwindow.h"

#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int BalloonMs = 3000;
constexpr int PlacementPollMs = 50;
// A tray that never tells where the icon went still gets its balloon.
constexpr int PlacementWaitMs = 2000;

const QString LogoPath = QStringLiteral(":/images/logo.svg");

// An icon embedded by the tray host has been moved away from where it was
// created; before that, a balloon would point at the screen's corner.
bool iconPlaced(const QSystemTrayIcon *icon)
{
    const QRect geometry = icon->geometry();
    return geometry.isValid() && geometry.topLeft() != QPoint(0, 0);
}

// The logo with a red dot in its lower right corner, drawn at the sizes
// trays ask for.
QIcon recordingIcon()
{
    const QIcon logo(LogoPath);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = logo.pixmap(QSize(size, size), 1.0);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal dot = size * 0.5;
        painter.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
        painter.setBrush(QColor(0xe5, 0x39, 0x35));
        painter.drawEllipse(QRectF(size - dot - 0.5, size - dot - 0.5, dot, dot));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

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

    trayIcon = new QSystemTrayIcon(QIcon(LogoPath), this);
    trayMenu = new QMenu(this);
    trayMenu->addAction(QString(), this, &MainWindow::onTrayRecordEntry);
    trayMenu->addAction(QString(), this, &MainWindow::onTrayPauseEntry);
    trayMenu->addAction(QString(), this, &QWidget::showNormal);
    trayMenu->addAction(QString(), qApp, &QCoreApplication::quit);
    connect(trayMenu, &QMenu::aboutToShow, this, &MainWindow::showTrayMenuState);
    retranslateTrayMenu();
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::onTrayIconActivated);
    trayIcon->setContextMenu(trayMenu);
    connect(recorder, &ScreenRecorder::recordingStateChanged, this, &MainWindow::showTrayState);
    connect(clockTimer, &QTimer::timeout, this, &MainWindow::showTrayState);
}

void MainWindow::retranslateTrayMenu()
{
    if (trayMenu == nullptr)
        return;
    const QList<QAction *> actions = trayMenu->actions();
    actions.at(2)->setText(tr("恢复窗口"));
    actions.at(3)->setText(tr("退出"));
    showTrayMenuState();
    showTrayState();
}

// The recording entries say what the page's buttons would do, and are
// available when they are.
void MainWindow::showTrayMenuState()
{
    if (trayMenu == nullptr)
        return;
    // While a box of the window asks something, its buttons wait too.
    const bool free = QApplication::activeModalWidget() == nullptr;
    const QList<QAction *> actions = trayMenu->actions();
    QAction *record = actions.at(0);
    record->setText(recordingActive ? tr("停止录制") : tr("开始录制"));
    record->setEnabled(free && ui->toggleButton->isEnabled());
    QAction *pause = actions.at(1);
    pause->setText(ui->pauseButton->isChecked() ? tr("继续录制") : tr("暂停录制"));
    pause->setVisible(recordingActive);
    pause->setEnabled(free && ui->pauseButton->isEnabled());
}

void MainWindow::onTrayRecordEntry()
{
    if (ui->toggleButton->isEnabled() && QApplication::activeModalWidget() == nullptr)
        onToggleRecording();
}

// As a click on the pause button: the checked state flips, then the page acts.
void MainWindow::onTrayPauseEntry()
{
    if (ui->pauseButton->isEnabled() && QApplication::activeModalWidget() == nullptr)
        onPauseShortcut();
}

// Whether a recording runs, on the icon and in its tool tip with the time
// the clock shows.
void MainWindow::showTrayState()
{
    if (trayIcon == nullptr)
        return;
    const bool recording = recorder->isRecording();
    const QString tip =
        recording ? tr("Vexlo - 录制中 %1").arg(ui->timeLabel->text()) : tr("Vexlo");
    if (recording == trayShowsRecording && trayIcon->toolTip() == tip)
        return;
    if (recording != trayShowsRecording) {
        trayIcon->setIcon(recording ? recordingIcon() : QIcon(LogoPath));
        showTrayMenuState();
    }
    trayShowsRecording = recording;
    trayIcon->setToolTip(tip);
}

// Shown once the tray host has placed the icon, so the balloon points at it.
void MainWindow::showTrayMessage(const QString &title, const QString &text,
                                 QSystemTrayIcon::MessageIcon icon, int ms)
{
    if (trayIcon == nullptr || !trayIcon->isVisible())
        return;
    if (iconPlaced(trayIcon)) {
        trayIcon->showMessage(title, text, icon, ms);
        return;
    }
    auto *poll = new QTimer(trayIcon);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    connect(poll, &QTimer::timeout, trayIcon, [tray = trayIcon, poll, waited, title, text, icon, ms] {
        if (!iconPlaced(tray) && waited->elapsed() < PlacementWaitMs)
            return;
        poll->deleteLater();
        poll->stop();
        if (tray->isVisible())
            tray->showMessage(title, text, icon, ms);
    });
    poll->start(PlacementPollMs);
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
        showTrayMessage(tr("Vexlo"), tr("程序已最小化到托盘"), QSystemTrayIcon::Information,
                        BalloonMs);
        hide();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
