// The recording page: start, pause, resume and stop, the elapsed time, and
// the capture target chosen through the mode combo and its selectors.
#include "app/mainwindow.h"

#include "app/pages/levelmeter.h"
#include "app/settingsstore.h"
#include "capture/capturesource.h"
#include "platform/windowlist.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

#include <exception>

namespace {

const char *const RunningTimeStyle = "color: #21c520;";
constexpr int AudioBalloonMs = 5000;
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
    connectRecorder();
    connectRecordPageChoosers();
    setupLevelMeter();
    setupWaylandCapture();
}

void MainWindow::setupLevelMeter()
{
    levelMeter = new LevelMeter(ui->timeLabel->parentWidget());
    levelMeter->hide();
    for (QBoxLayout *layout : ui->timeLabel->parentWidget()->findChildren<QBoxLayout *>()) {
        if (const int at = layout->indexOf(ui->timeLabel); at >= 0) {
            layout->insertWidget(at + 1, levelMeter);
            break;
        }
    }
}

void MainWindow::showLevelMeter()
{
    QStringList sources;
    if (recorder->recordsMicrophone())
        sources << tr("麦克风");
    if (recorder->recordsSystemAudio())
        sources << tr("系统音频");
    levelMeter->setSources(sources);
    levelMeter->setVisible(!sources.isEmpty());
}

void MainWindow::updateLevelMeter()
{
    if (!levelMeter->isVisible())
        return;
    QList<float> peaks;
    if (recorder->recordsMicrophone())
        peaks << recorder->microphoneLevel();
    if (recorder->recordsSystemAudio())
        peaks << recorder->systemAudioLevel();
    levelMeter->setLevels(peaks);
}

void MainWindow::connectRecorder()
{
    connect(recorder, &ScreenRecorder::recordingAborted, this, &MainWindow::onRecordingAborted);
    connect(recorder, &ScreenRecorder::recordingFinished, this, &MainWindow::onRecordingFinished);
    connect(recorder, &ScreenRecorder::audioProblem, this, &MainWindow::onAudioProblem);
}

void MainWindow::connectRecordPageChoosers()
{
    // The page's quality and format follow the settings page's boxes, which
    // are the stored ones and the ones a start reads, and the other way round.
    // Only a differing index is passed on: an empty choice (-1) would
    // otherwise bounce between the two for ever.
    const auto follow = [this](QComboBox *from, QComboBox *to) {
        connect(from, &QComboBox::currentIndexChanged, to, [to](int index) {
            if (to->currentIndex() != index)
                to->setCurrentIndex(index);
        });
    };
    const auto mirror = [&follow](QComboBox *stored, QComboBox *onPage) {
        onPage->setCurrentIndex(stored->currentIndex());
        follow(stored, onPage);
        follow(onPage, stored);
    };
    mirror(ui->qualityCombo, ui->qualityCombo_2);
    mirror(ui->formatCombo, ui->formatCombo_2);
}

void MainWindow::onToggleRecording()
{
    // The button is disabled while the last file is being finished; the
    // shortcut lands here all the same.
    if (savingRecording || recorder->isFinishing())
        return;
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
        // Through the portal, the desktop's own dialog picks the window.
        if (recordingConfig.windowId == 0 && !capturesThroughPortal(Window)) {
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

    const RecordingConfig config = configForStart();
    if (config.mode == Window && config.windowId == 0 && !capturesThroughPortal(Window)) {
        QMessageBox::warning(this, tr("错误"), tr("请先选择有效的窗口"));
        return;
    }
    if (capturesThroughPortal(config.mode))
        startPortalCapture(config);
    else
        beginRecording(config, nullptr);
}

void MainWindow::beginRecording(const RecordingConfig &config,
                                std::unique_ptr<capture::CaptureSource> source)
{
    ui->timeLabel->setText(QStringLiteral("00:00:00"));
    ui->timeLabel->setStyleSheet(QLatin1String(RunningTimeStyle));
    lastElapsedMs = 0;

    if (!recorder->startRecording(config, std::move(source))) {
        QString text = tr("无法开始录制");
        const QString reason = recorder->lastError();
        if (!reason.isEmpty())
            text += QLatin1Char('\n') + reason;
        QMessageBox::information(this, tr("错误"), text);
        setControlsEnabled(true);
        return;
    }

    startedConfig = config;
    abortReason.clear();
    recordingActive = true;
    ui->toggleButton->setText(tr("停止"));
    ui->toggleButton->setIcon(QIcon(QStringLiteral(":/images/stop.svg")));
    recordingClock.start();
    clockTimer->start(clockIntervalMs(config.frameRate));
    showLevelMeter();
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
        showTrayMessage(tr("录制已开始"), tr("Vexlo 正在后台录制"),
                        QSystemTrayIcon::Information, 3000);
    } else if (ui->minimizeAfterRecordingCheck->isChecked()) {
        showMinimized();
    }
}

void MainWindow::stopRecording()
{
    leaveRecordingLook();
    if (ui->minimizeAfterRecordingCheck->isChecked())
        showMinimized();
    finishRecorder();
}

void MainWindow::finishRecorder()
{
    recorder->stopRecording();
    // A stop that can never report a finished file (an exception while
    // stopping) must not leave the page saving for ever.
    if (savingRecording && !recorder->isFinishing())
        onRecordingFinished(recorder->currentFilePath());
}

// Everything of a stop that does not wait for the file: the clock and the
// pause control stop, the window comes back from the tray, and the start
// button says the file is being saved until the recorder reports it complete.
void MainWindow::leaveRecordingLook()
{
    recordingActive = false;
    savingRecording = true;
    ui->toggleButton->setText(tr("保存中…"));
    ui->toggleButton->setEnabled(false);
    if (hiddenToTray && trayIcon != nullptr) {
        showNormal();
        activateWindow();
        trayIcon->hide();
        hiddenToTray = false;
    }
    clockTimer->stop();
    levelMeter->hide();
    ui->pauseButton->setEnabled(false);
    showPauseButtonRunning();
}

void MainWindow::showIdleLook()
{
    savingRecording = false;
    ui->toggleButton->setText(tr("开始"));
    ui->toggleButton->setIcon(QIcon(QStringLiteral(":/images/start.svg")));
    ui->toggleButton->setEnabled(true);
    setControlsEnabled(true);
}

void MainWindow::onRecordingAborted(const QString &reason)
{
    // The recorder stopped by itself; the page stops as if the user had
    // (without minimising: the user is about to be told why).
    abortReason = reason;
    if (recordingActive)
        leaveRecordingLook();
}

void MainWindow::onRecordingFinished(const QString &filePath)
{
    if (recordingActive)
        leaveRecordingLook();
    showIdleLook();
    if (abortReason.isEmpty())
        return;
    // Told from the event loop, not from inside the recorder's signal.
    QTimer::singleShot(0, this, [this, reason = abortReason, filePath] {
        reportStoppedRecording(reason, filePath);
    });
    abortReason.clear();
}

void MainWindow::reportStoppedRecording(const QString &reason, const QString &filePath)
{
    QString text = reason;
    // A file that is gone, or that never received a byte, keeps nothing.
    const QFileInfo file(filePath);
    if (!filePath.isEmpty() && file.isFile() && file.size() > 0)
        text += QLatin1Char('\n')
                + tr("已录制的内容保存在：%1").arg(QDir::toNativeSeparators(filePath));
    QMessageBox::warning(this, tr("录制已停止"), text);
}

void MainWindow::onAudioProblem(const QString &text)
{
    // Told from the event loop: at a start, after the window has gone to
    // the tray if it goes there.
    QTimer::singleShot(0, this, [this, text] { showAudioProblem(text); });
}

void MainWindow::showAudioProblem(const QString &text)
{
    if (hiddenToTray && trayIcon != nullptr && trayIcon->isVisible()) {
        showTrayMessage(tr("声音"), text, QSystemTrayIcon::Warning, AudioBalloonMs);
        return;
    }
    QMessageBox::warning(this, tr("声音"), text);
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
            // A resume needs a target as a start does: a window mode whose
            // picker was closed without a choice would record black.
            refreshCaptureArea();
            if (!checkCaptureTarget()) {
                ui->pauseButton->setChecked(true);
                return;
            }
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
    updateLevelMeter();
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
        ui->qualityCombo_2,    ui->formatCombo_2,
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
    if (index == Window && !capturesThroughPortal(Window)) {
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
