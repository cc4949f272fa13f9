// The recording page: start, pause, resume and stop, the elapsed time, and
// the capture target chosen through the mode combo and its selectors.
#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "platform/windowlist.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"
#include "ui_mainwindow.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

#include <exception>

namespace {

const char *const RunningTimeStyle = "color: #21c520;";
const char *const PausedTimeStyle = "color: orange;";

// 1000 / frame rate, as the capture timer of the recorder ticks.
int clockIntervalMs(int frameRate)
{
    return 1000 / qMax(1, frameRate);
}

QRect primaryScreenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

} // namespace

void MainWindow::setupRecordingPage()
{
    ui->pauseButton->setCheckable(true);
    ui->pauseButton->setEnabled(false);

    connect(ui->toggleButton, &QToolButton::clicked, this, &MainWindow::onToggleRecording);
    connect(ui->pauseButton, &QToolButton::clicked, this, &MainWindow::onTogglePause);
    connect(clockTimer, &QTimer::timeout, this, &MainWindow::updateTimer);
    connect(ui->recordModeCombo, &QComboBox::currentIndexChanged, this,
            &MainWindow::onRecordModeChanged);
}

void MainWindow::onToggleRecording()
{
    if (recordingActive)
        stopRecording();
    else
        startRecording();
}

bool MainWindow::checkCaptureTarget()
{
    switch (recordingConfig.mode) {
    case Region:
        if (!recordingConfig.region.isValid()) {
            QMessageBox::warning(this, tr("错误"), tr("请先选择有效的录制区域"));
            return false;
        }
        return true;
    case Window:
        if (recordingConfig.windowId == 0) {
            QMessageBox::warning(this, tr("错误"), tr("请先选择有效的窗口"));
            return false;
        }
        return true;
    default:
        if (!recordingConfig.region.isValid() && QGuiApplication::primaryScreen())
            recordingConfig.region = primaryScreenGeometry();
        return true;
    }
}

RecordingConfig MainWindow::configForStart() const
{
    // Every field comes from the widgets at once, so the first frames already
    // carry the page's pointer and watermark options.
    RecordingConfig config = optionsFromWidgets(RecordingConfig());
    config.mode = static_cast<RecordMode>(ui->recordModeCombo->currentIndex());
    config.quality = static_cast<VideoQuality>(ui->qualityCombo->currentIndex());
    config.format = static_cast<OutputFormat>(ui->formatCombo->currentIndex());
    config.frameRate = ui->frameRateSlider->value();
    config.recordMicrophone = ui->recordMicrophoneCheck->isChecked();
    config.recordSystemAudio = ui->recordAudioCheck->isChecked();
    config.cursorStyle = static_cast<CursorStyle>(ui->mouseStyleCombo->currentIndex());
    config.highlightClicks = ui->highlightCheckBox->isChecked();
    config.cursorSize = cursorSizeForIndex(ui->moueSizeCombo->currentIndex());
    if (config.mode == Window)
        config.windowId = recordingConfig.windowId;
    else if (config.mode == Region)
        config.region = recordingConfig.region;
    return config;
}

void MainWindow::startRecording()
{
    refreshCaptureArea();
    if (!checkCaptureTarget())
        return;

    ui->timeLabel->setText(QStringLiteral("00:00:00"));
    ui->timeLabel->setStyleSheet(QLatin1String(RunningTimeStyle));
    lastElapsedMs = 0;

    const RecordingConfig config = configForStart();
    if (config.mode == Window && config.windowId == 0) {
        QMessageBox::warning(this, tr("错误"), tr("请先选择有效的窗口"));
        return;
    }

    if (!recorder->startRecording(config)) {
        QMessageBox::information(this, tr("错误"), tr("无法开始录制"));
        setControlsEnabled(true);
        return;
    }

    startedConfig = config;
    recordingActive = true;
    ui->toggleButton->setText(tr("停止"));
    ui->toggleButton->setIcon(QIcon(QStringLiteral(":/images/stop.svg")));
    recordingClock.start();
    clockTimer->start(clockIntervalMs(config.frameRate));
    ui->pauseButton->setEnabled(true);
    if (ui->minimizeAfterRecordingCheck->isChecked())
        showMinimized();
    setControlsEnabled(false);
    hideToTrayForRecording();
}

void MainWindow::hideToTrayForRecording()
{
    const bool toTray = openSettingsStore()->value(QStringLiteral("minimizeToTray"), false).toBool();
    if (toTray && trayIcon != nullptr) {
        trayIcon->setVisible(true);
        hide();
        hiddenToTray = true;
        if (trayIcon->isVisible())
            trayIcon->showMessage(tr("录制已开始"), tr("Vexlo 正在后台录制"),
                                  QSystemTrayIcon::Information, 3000);
    } else if (ui->minimizeAfterRecordingCheck->isChecked()) {
        showMinimized();
    }
}

void MainWindow::stopRecording()
{
    ui->toggleButton->setText(tr("开始"));
    if (hiddenToTray && trayIcon != nullptr) {
        showNormal();
        activateWindow();
        trayIcon->hide();
        hiddenToTray = false;
    }
    if (ui->minimizeAfterRecordingCheck->isChecked())
        showMinimized();

    recorder->stopRecording();

    recordingActive = false;
    ui->toggleButton->setIcon(QIcon(QStringLiteral(":/images/start.svg")));
    clockTimer->stop();
    ui->pauseButton->setEnabled(false);
    showPauseButtonRunning();
    setControlsEnabled(true);
}

void MainWindow::showPauseButtonRunning()
{
    ui->pauseButton->setChecked(false);
    ui->pauseButton->setText(tr("暂停"));
    ui->pauseButton->setIcon(QIcon(QStringLiteral(":/images/pause.svg")));
}

void MainWindow::onTogglePause()
{
    if (!recorder->isRecording())
        return;
    try {
        if (ui->pauseButton->isChecked()) {
            recorder->pauseRecording();
            clockTimer->stop();
            ui->timeLabel->setStyleSheet(QLatin1String(PausedTimeStyle));
            ui->pauseButton->setIcon(QIcon(QStringLiteral(":/images/resume.svg")));
            ui->pauseButton->setText(tr("继续"));
            setControlsEnabled(true);
        } else {
            recorder->resumeRecording();
            clockTimer->start(clockIntervalMs(ui->frameRateSlider->value()));
            ui->timeLabel->setStyleSheet(QLatin1String(RunningTimeStyle));
            showPauseButtonRunning();
            setControlsEnabled(false);
        }
    } catch (const std::exception &e) {
        qCritical().noquote() << QStringLiteral("暂停/恢复录制时发生异常:") << e.what();
        QMessageBox::critical(this, tr("错误"), tr("暂停/恢复录制时发生错误"));
        if (recorder->isRecording()) {
            ui->pauseButton->setChecked(false);
            ui->pauseButton->setIcon(QIcon(QStringLiteral(":/images/pause.svg")));
            ui->timeLabel->setStyleSheet(QLatin1String(RunningTimeStyle));
            ui->toggleButton->setEnabled(true);
            clockTimer->start(clockIntervalMs(ui->frameRateSlider->value()));
        } else {
            ui->pauseButton->setEnabled(false);
            ui->pauseButton->setChecked(false);
        }
    }
}

void MainWindow::updateTimer()
{
    if (!recordingActive)
        return;
    qint64 elapsed = recordingClock.elapsed() - recorder->pausedDuration();
    // The shown time never runs backwards.
    if (lastElapsedMs > elapsed)
        elapsed = lastElapsedMs + 1;
    lastElapsedMs = elapsed;
    ui->timeLabel->setText(
        QTime(0, 0, 0, 0).addMSecs(static_cast<int>(elapsed)).toString(QStringLiteral("hh:mm:ss")));
}

void MainWindow::setControlsEnabled(bool enabled)
{
    const QList<QWidget *> locked = {
        ui->recordButton,      ui->historyButton,       ui->converterButton,
        ui->menuButton,        ui->recordModeCombo,     ui->qualityCombo,
        ui->formatCombo,       ui->frameRateSlider,     ui->captureCursorCheck,
        ui->recordMicrophoneCheck, ui->recordAudioCheck,
    };
    for (QWidget *widget : locked)
        widget->setEnabled(enabled);
    // A reset would retarget the recording; a pause does not unlock it.
    ui->resetButton->setEnabled(enabled && !recordingActive);
}

void MainWindow::closeSelectors()
{
    if (regionSelector) {
        disconnect(regionSelector, nullptr, this, nullptr);
        regionSelector->deleteLater();
    }
    regionSelector = nullptr;
    if (windowSelector) {
        disconnect(windowSelector, nullptr, this, nullptr);
        windowSelector->deleteLater();
    }
    windowSelector = nullptr;
}

void MainWindow::onRecordModeChanged(int index)
{
    closeSelectors();
    recordingConfig.mode = static_cast<RecordMode>(index);
    recordingConfig.windowId = 0;

    if (index == Region) {
        regionSelector = new RegionSelector(this);
        regionSelector->setAttribute(Qt::WA_DeleteOnClose);
        connect(regionSelector, &RegionSelector::regionSelected, this, &MainWindow::onRegionChosen);
        connect(regionSelector, &RegionSelector::selectionCancelled, this,
                &MainWindow::onSelectionCancelled);
        regionSelector->show();
        return;
    }
    if (index == Window) {
        windowSelector = new WindowSelector(this);
        windowSelector->setAttribute(Qt::WA_DeleteOnClose);
        connect(windowSelector, &WindowSelector::windowSelected, this, &MainWindow::onWindowChosen);
        connect(windowSelector, &WindowSelector::selectionCancelled, this,
                &MainWindow::onSelectionCancelled);
        connect(windowSelector, &WindowSelector::windowGeometryChanged, this,
                &MainWindow::onWindowGeometryChanged);
        windowSelector->show();
        windowSelector->refreshWindowList();
        return;
    }
    retargetCapture();
}

void MainWindow::retargetCapture()
{
    refreshCaptureArea();
    pushConfig(recordingConfig);
    refreshPreview();
}

void MainWindow::onRegionChosen(const QRect &rect)
{
    if (!rect.isValid())
        return;
    recordingConfig.region = rect;
    retargetCapture();
}

void MainWindow::onWindowChosen(WId id)
{
    recordingConfig.windowId = id;
    retargetCapture();
}

void MainWindow::onWindowGeometryChanged(const QRect &rect)
{
    recordingConfig.region = rect;
    retargetCapture();
}

void MainWindow::onSelectionCancelled()
{
    ui->recordModeCombo->setCurrentIndex(FullScreen);
}

void MainWindow::refreshCaptureArea()
{
    switch (recordingConfig.mode) {
    case FullScreen:
        if (QGuiApplication::primaryScreen())
            recordingConfig.region = primaryScreenGeometry();
        break;
    case Window:
        // A window that is gone keeps the last region; a hidden one sends the
        // page back to full screen.
        if (recordingConfig.windowId != 0 && platform::isWindow(recordingConfig.windowId)) {
            if (platform::isWindowVisible(recordingConfig.windowId)) {
                const QRect rect = platform::windowRect(recordingConfig.windowId);
                if (rect.isValid())
                    recordingConfig.region = rect;
            } else {
                ui->recordModeCombo->setCurrentIndex(FullScreen);
            }
        }
        break;
    case Region:
        if (!recordingConfig.region.isValid() && QGuiApplication::primaryScreen()) {
            const QSize size = primaryScreenGeometry().size();
            recordingConfig.region = QRect(0, 0, size.width() / 2, size.height() / 2);
        }
        break;
    }
    pushConfig(recordingConfig);
}

void MainWindow::pushConfig(RecordingConfig config)
{
    // Quality, format, frame rate and the audio flags belong to the start:
    // a running recording keeps the ones it was started with.
    if (recordingActive) {
        config.quality = startedConfig.quality;
        config.format = startedConfig.format;
        config.frameRate = startedConfig.frameRate;
        config.recordMicrophone = startedConfig.recordMicrophone;
        config.recordSystemAudio = startedConfig.recordSystemAudio;
    }
    recorder->updateConfig(config);
}
