// The tray icon, its menu and balloons, and the icon's look of a running
// recording.
#include "app/trayicon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

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

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    icon = new QSystemTrayIcon(QIcon(LogoPath), this);
    menu = new QMenu;
    menu->addAction(QString(), this, [this] {
        if (state.canToggle && QApplication::activeModalWidget() == nullptr)
            emit recordChosen();
    });
    menu->addAction(QString(), this, [this] {
        if (state.canPause && QApplication::activeModalWidget() == nullptr)
            emit pauseChosen();
    });
    menu->addAction(QString(), this, &TrayIcon::restoreChosen);
    menu->addAction(QString(), qApp, &QCoreApplication::quit);
    connect(menu, &QMenu::aboutToShow, this, &TrayIcon::showMenuState);
    retranslate();
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            emit restoreChosen();
    });
    icon->setContextMenu(menu);
}

TrayIcon::~TrayIcon()
{
    if (icon != nullptr)
        icon->hide();
    delete menu;
}

bool TrayIcon::isVisible() const
{
    return icon != nullptr && icon->isVisible();
}

void TrayIcon::setVisible(bool visible)
{
    if (icon != nullptr)
        icon->setVisible(visible);
}

void TrayIcon::retranslate()
{
    if (menu == nullptr)
        return;
    const QList<QAction *> actions = menu->actions();
    actions.at(2)->setText(tr("恢复窗口"));
    actions.at(3)->setText(tr("退出"));
    showMenuState();
    showIconState();
}

void TrayIcon::showState(const RecordingPage::ControlState &shown)
{
    state = shown;
    showIconState();
}

// The recording entries say what the page's buttons would do, and are
// available when they are.
void TrayIcon::showMenuState()
{
    if (menu == nullptr)
        return;
    // While a box of the window asks something, its buttons wait too.
    const bool free = QApplication::activeModalWidget() == nullptr;
    const QList<QAction *> actions = menu->actions();
    QAction *record = actions.at(0);
    record->setText(state.active ? tr("停止录制") : tr("开始录制"));
    record->setEnabled(free && state.canToggle);
    QAction *pause = actions.at(1);
    pause->setText(state.paused ? tr("继续录制") : tr("暂停录制"));
    pause->setVisible(state.active);
    pause->setEnabled(free && state.canPause);
}

// Whether a recording runs, on the icon and in its tool tip with the time
// the clock shows.
void TrayIcon::showIconState()
{
    if (icon == nullptr)
        return;
    const bool recording = state.recording;
    const QString tip = recording ? tr("Vexlo - 录制中 %1").arg(state.elapsed) : tr("Vexlo");
    if (recording == showsRecording && icon->toolTip() == tip)
        return;
    if (recording != showsRecording) {
        icon->setIcon(recording ? recordingIcon() : QIcon(LogoPath));
        showMenuState();
    }
    showsRecording = recording;
    icon->setToolTip(tip);
}

void TrayIcon::showMessage(const QString &title, const QString &text,
                           QSystemTrayIcon::MessageIcon kind, int ms)
{
    if (icon == nullptr || !icon->isVisible())
        return;
    if (iconPlaced(icon)) {
        icon->showMessage(title, text, kind, ms);
        return;
    }
    auto *poll = new QTimer(icon);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    connect(poll, &QTimer::timeout, icon, [tray = icon, poll, waited, title, text, kind, ms] {
        if (!iconPlaced(tray) && waited->elapsed() < PlacementWaitMs)
            return;
        poll->deleteLater();
        poll->stop();
        if (tray->isVisible())
            tray->showMessage(title, text, kind, ms);
    });
    poll->start(PlacementPollMs);
}
