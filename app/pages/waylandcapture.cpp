// Recording through the desktop's ScreenCast portal (Wayland sessions, or
// VEXLO_CAPTURE=portal): the desktop's own dialog picks the monitor or the
// window, its choice of monitor is remembered, and the page stays live while
// the dialog is open. A cancelled dialog starts nothing and says nothing.
#include "app/pages/recordingpage.h"

#include "capture/capturebackend.h"
#include "capture/portalsession.h"
#include "capture/portalsource.h"
#include "core/settingsstore.h"
#include "ui_recordingpage.h"

#include <QDebug>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QMessageBox>
#include <QTimer>

namespace {
const QString RestoreTokenKey = QStringLiteral("Recording/portalRestoreToken");
// Start-up waits this long at most for the portal to say what it offers.
constexpr int PortalAnswerMs = 2000;
} // namespace

void RecordingPage::setupWaylandCapture()
{
    portalCapture = capture::chosenBackend() == capture::Backend::Portal;
    if (!portalCapture)
        return;
    portalSourceTypes = capture::PortalSession::sourceTypes(PortalAnswerMs);
}

bool RecordingPage::capturesThroughPortal(RecordMode mode) const
{
    if (!portalCapture)
        return false;
    // Without window sharing the X11 picker stays: it lists X11 programs.
    return mode != Window
           || (portalSourceTypes > 0 && (portalSourceTypes & capture::PortalSession::WindowSource));
}

void RecordingPage::startPortalCapture(const RecordingConfig &config)
{
    if (pendingPortal != nullptr)
        return;
    capture::PortalSource::Choice choice;
    choice.mode = config.mode;
    choice.region = config.region;
    choice.pointer = config.captureCursor;
    choice.frameRate = config.frameRate;
    choice.restoreToken = openSettingsStore()->value(RestoreTokenKey).toString();
    choice.parentWindow = QStringLiteral("x11:%1").arg(quintptr(window()->winId()), 0, 16);

    auto *source = new capture::PortalSource(this);
    pendingPortal = source;
    connect(source, &capture::PortalSource::ready, this,
            [this, source, config] { onPortalReady(source, config); });
    connect(source, &capture::PortalSource::cancelled, this, [this, source] {
        endPortalStart(source);
        emit startCancelled(tr("桌面的屏幕共享对话框已取消"));
    });
    connect(source, &capture::PortalSource::failed, this, [this, source](const QString &reason) {
        qWarning().noquote() << "the desktop's screen sharing failed:" << reason;
        endPortalStart(source);
        QTimer::singleShot(0, this, [this, reason] {
            showProblem(QMessageBox::Information, tr("错误"),
                        tr("无法开始录制") + QLatin1Char('\n') + reason);
        });
    });
    // While the desktop asks, the start button cancels.
    ui->toggleButton->setText(tr("取消"));
    showIdlePreviewText();
    emit controlsChanged();
    source->open(choice);
}

// The button, the start shortcut, the tray's entry and quitting all end a
// start the desktop has not answered: its request and session are closed.
void RecordingPage::cancelPortalStart()
{
    capture::PortalSource *source = pendingPortal;
    source->stop();
    endPortalStart(source);
    emit startCancelled(tr("桌面的屏幕共享对话框已取消"));
}

void RecordingPage::endPortalStart(capture::PortalSource *source)
{
    disconnect(source, nullptr, this, nullptr);
    source->deleteLater();
    pendingPortal = nullptr;
    ui->toggleButton->setText(tr("开始"));
    ui->toggleButton->setEnabled(true);
    showIdlePreviewText();
    emit controlsChanged();
}

void RecordingPage::onPortalReady(capture::PortalSource *source, const RecordingConfig &config)
{
    disconnect(source, nullptr, this, nullptr);
    // Answered: nothing to cancel any more, and no second start meanwhile.
    pendingPortal = nullptr;
    ui->toggleButton->setEnabled(false);
    // Each start hands out a new token; the last one is the one that holds.
    if (config.mode != Window && !source->restoreToken().isEmpty())
        openSettingsStore()->setValue(RestoreTokenKey, source->restoreToken());
    // Out of the source's own signal: a refused start destroys it.
    QTimer::singleShot(0, this, [this, source, config] {
        ui->toggleButton->setEnabled(true);
        emit controlsChanged();
        source->setParent(nullptr);
        startAfterCountdown(config, std::unique_ptr<capture::CaptureSource>(source));
    });
}

// Idle, nothing is shown from the desktop: a preview would open a sharing
// session, and with it the desktop's dialog, just to fill the page.
void RecordingPage::showIdlePreviewText()
{
    QGraphicsScene *scene = ensurePreviewScene();
    scene->clear();
    auto *item = scene->addSimpleText(pendingPortal != nullptr ? tr("等待桌面的屏幕共享对话框…")
                                                               : tr("开始录制后显示预览"));
    item->setBrush(Qt::white);
    scene->setSceneRect(item->boundingRect());
    ui->video_view->resetTransform();
    ui->video_view->setAlignment(Qt::AlignCenter);
    ui->video_view->centerOn(item);
}
