// The recording page: start, pause, resume and stop, the elapsed time, and
// the capture target chosen through the mode combo and its selectors.
#include "app/pages/recordingpage.h"

#include "app/pages/countdownwindow.h"
#include "app/pages/levelmeter.h"
#include "app/pages/screenchoice.h"
#include "capture/capturesource.h"
#include "capture/monitors.h"
#include "platform/windowlist.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"
#include "ui_recordingpage.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
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

RecordingPage::RecordingPage(ScreenRecorder *recorder, const RecordingOptions *options,
                             QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::RecordingPage>())
    , recorder(recorder)
    , options(options)
    , clockTimer(new QTimer(this))
    , previewTimer(new QTimer(this))
{
    ui->setupUi(this);
    ui->recordModeCombo->setCurrentIndex(0);
    recordingConfig.mode = FullScreen;
    ui->pauseButton->setCheckable(true);
    ui->pauseButton->setEnabled(false);

    connect(ui->toggleButton, &QToolButton::clicked, this, &RecordingPage::onToggleRecording);
    connect(ui->pauseButton, &QToolButton::clicked, this, &RecordingPage::onTogglePause);
    connect(clockTimer, &QTimer::timeout, this, &RecordingPage::updateTimer);
    connect(ui->recordModeCombo, &QComboBox::currentIndexChanged, this,
            &RecordingPage::onRecordModeChanged);
    connect(ui->recordModeCombo, &QComboBox::currentIndexChanged, this, &RecordingPage::modeChosen);
    connect(ui->qualityCombo_2, &QComboBox::currentIndexChanged, this,
            &RecordingPage::qualityChosen);
    connect(ui->formatCombo_2, &QComboBox::currentIndexChanged, this, &RecordingPage::formatChosen);
    connectRecorder();

    levelMeter = new LevelMeter(ui->timeLabel->parentWidget());
    levelMeter->hide();
    for (QBoxLayout *layout : ui->timeLabel->parentWidget()->findChildren<QBoxLayout *>()) {
        if (const int at = layout->indexOf(ui->timeLabel); at >= 0) {
            layout->insertWidget(at + 1, levelMeter);
            break;
        }
    }
    screenChoice = new ScreenChoice(ui->recordModeCombo->parentWidget());
    for (QBoxLayout *layout : ui->recordModeCombo->parentWidget()->findChildren<QBoxLayout *>()) {
        if (const int at = layout->indexOf(ui->recordModeCombo); at >= 0) {
            layout->insertWidget(at + 1, screenChoice);
            break;
        }
    }
    connect(screenChoice, &ScreenChoice::choiceChanged, this, [this](const QString &choice) {
        emit screenChosen(choice);
        retargetCapture();
    });
    connect(screenChoice, &ScreenChoice::monitorsChanged, this, [this] {
        updateScreenBox();
        redrawPreviewWhenIdle();
    });
    setupWaylandCapture();
    updateScreenBox();
    setupSchedule();
    setupPreview();
    // The keyboard starts at the page's main action.
    setFocusProxy(ui->toggleButton);
}

RecordingPage::~RecordingPage()
{
    closeSelectors();
    delete countdown;
}

void RecordingPage::setMode(int mode)
{
    ui->recordModeCombo->setCurrentIndex(mode);
}

// Only a differing index is passed on: an empty choice (-1) would otherwise
// bounce between the two pages for ever.
void RecordingPage::setQuality(int index)
{
    if (ui->qualityCombo_2->currentIndex() != index)
        ui->qualityCombo_2->setCurrentIndex(index);
}

void RecordingPage::setFormat(int index)
{
    if (ui->formatCombo_2->currentIndex() != index)
        ui->formatCombo_2->setCurrentIndex(index);
}

void RecordingPage::setScreen(const QString &choice)
{
    if (screenChoice->choice() == choice)
        return;
    screenChoice->setChoice(choice);
    redrawPreviewWhenIdle();
}

void RecordingPage::updateScreenBox()
{
    screenChoice->setVisible(ui->recordModeCombo->currentIndex() == FullScreen
                             && screenChoice->offersChoice());
}

RecordingPage::ControlState RecordingPage::controlState() const
{
    ControlState state;
    state.active = recordingActive;
    state.recording = recorder->isRecording();
    state.canToggle = ui->toggleButton->isEnabled();
    state.paused = ui->pauseButton->isChecked();
    state.canPause = ui->pauseButton->isEnabled();
    state.elapsed = ui->timeLabel->text();
    state.countdownLeft = countdown ? countdownLeft : 0;
    state.waitingForDesktop = pendingPortal != nullptr;
    state.saving = savingRecording;
    if (recordingActive || savingRecording)
        state.filePath = recorder->currentFilePath();
    return state;
}

void RecordingPage::finishForQuit()
{
    if (pendingPortal != nullptr)
        cancelPortalStart();
    if (countdown)
        cancelCountdown();
    if (recordingActive) {
        leaveRecordingLook();
        finishRecorder();
    } else if (recorder->isRecording()) {
        recorder->stopRecording();
    }
    if (recorder->isFinishing())
        recorder->waitForFinished();
}

void RecordingPage::showLevelMeter()
{
    QStringList sources;
    if (recorder->recordsMicrophone())
        sources << tr("麦克风");
    if (recorder->recordsSystemAudio())
        sources << tr("系统音频");
    levelMeter->setSources(sources);
    levelMeter->setVisible(!sources.isEmpty());
}

void RecordingPage::updateLevelMeter()
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

void RecordingPage::connectRecorder()
{
    connect(recorder, &ScreenRecorder::recordingAborted, this, &RecordingPage::onRecordingAborted);
    connect(recorder, &ScreenRecorder::recordingFinished, this, &RecordingPage::onRecordingFinished);
    connect(recorder, &ScreenRecorder::recordingStateChanged, this, &RecordingPage::controlsChanged);
}

void RecordingPage::onToggleRecording()
{
    if (countdown) {
        cancelCountdown();
        return;
    }
    if (pendingPortal != nullptr) {
        cancelPortalStart();
        return;
    }
    // The button is disabled while the last file is being finished; the
    // shortcut lands here all the same.
    if (savingRecording || recorder->isFinishing())
        return;
    if (recordingActive)
        stopRecording();
    else
        startRecording();
}

// Emitted first, so a caller waiting for the outcome learns it while the box is open.
void RecordingPage::showProblem(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    emit problemShown(text);
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

void RecordingPage::onRecordShortcut()
{
    // While recording, stop only when the page itself would let the user.
    if (!recordingActive || ui->pauseButton->isEnabled())
        onToggleRecording();
}

// As a click on the pause button: the checked state flips, then the page acts.
void RecordingPage::onPauseShortcut()
{
    if (!recordingActive)
        return;
    ui->pauseButton->setChecked(!ui->pauseButton->isChecked());
    onTogglePause();
}

bool RecordingPage::checkCaptureTarget()
{
    switch (recordingConfig.mode) {
    case Region:
        if (!recordingConfig.region.isValid()) {
            showProblem(QMessageBox::Warning, tr("错误"), tr("请先选择有效的录制区域"));
            return false;
        }
        return true;
    case Window:
        // Through the portal, the desktop's own dialog picks the window.
        if (recordingConfig.windowId == 0 && !capturesThroughPortal(Window)) {
            showProblem(QMessageBox::Warning, tr("错误"), tr("请先选择有效的窗口"));
            return false;
        }
        return true;
    default:
        if (!recordingConfig.region.isValid() && QGuiApplication::primaryScreen())
            recordingConfig.region = primaryScreenGeometry();
        return true;
    }
}

RecordingConfig RecordingPage::configForStart() const
{
    // Every field comes from the widgets at once, so the first frames already
    // carry the page's pointer and watermark options.
    RecordingConfig config = options->recordingOptions();
    config.mode = static_cast<RecordMode>(ui->recordModeCombo->currentIndex());
    if (config.mode == Window)
        config.windowId = recordingConfig.windowId;
    else if (config.mode == Region)
        config.region = recordingConfig.region;
    return config;
}

void RecordingPage::startRecording(int stopAfterSeconds)
{
    if (recordingActive || savingRecording || pendingPortal != nullptr || countdown)
        return;
    stopAfterMs = qint64(stopAfterSeconds > 0 ? stopAfterSeconds : options->stopAfterSeconds()) * 1000;
    refreshCaptureArea();
    if (!checkCaptureTarget())
        return;

    RecordingConfig config = configForStart();
    // A stored monitor that is not connected: the primary, and the user is told.
    if (config.mode == FullScreen && !capturesThroughPortal(FullScreen)
        && !capture::isConnected(config.screen)) {
        QMessageBox::warning(this, tr("警告"), tr("所选屏幕未连接，已改为录制主屏幕"));
        config.screen.clear();
    }
    if (config.mode == Window && config.windowId == 0 && !capturesThroughPortal(Window)) {
        showProblem(QMessageBox::Warning, tr("错误"), tr("请先选择有效的窗口"));
        return;
    }
    if (capturesThroughPortal(config.mode))
        startPortalCapture(config);
    else
        startAfterCountdown(config, nullptr);
}

void RecordingPage::beginRecording(const RecordingConfig &config,
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
        showIdleLook();
        showProblem(QMessageBox::Information, tr("错误"), text);
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
    setControlsEnabled(false);
    applyStopAfter();
    emit recordingStarted();
    emit controlsChanged();
}

void RecordingPage::stopRecording()
{
    leaveRecordingLook();
    emit stoppedByUser();
    finishRecorder();
}

void RecordingPage::finishRecorder()
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
void RecordingPage::leaveRecordingLook()
{
    recordingActive = false;
    savingRecording = true;
    ui->toggleButton->setText(tr("保存中…"));
    ui->toggleButton->setEnabled(false);
    emit recordingLeft();
    clockTimer->stop();
    levelMeter->hide();
    timeLeftLabel->hide();
    ui->pauseButton->setEnabled(false);
    showPauseButtonRunning();
    emit controlsChanged();
}

void RecordingPage::showIdleLook()
{
    savingRecording = false;
    ui->toggleButton->setText(tr("开始"));
    ui->toggleButton->setIcon(QIcon(QStringLiteral(":/images/start.svg")));
    ui->toggleButton->setEnabled(true);
    setControlsEnabled(true);
    emit controlsChanged();
}

void RecordingPage::onRecordingAborted(const QString &reason)
{
    // The recorder stopped by itself; the page stops as if the user had
    // (without minimising: the user is about to be told why).
    abortReason = reason;
    if (recordingActive)
        leaveRecordingLook();
}

void RecordingPage::onRecordingFinished(const QString &filePath)
{
    if (recordingActive)
        leaveRecordingLook();
    showIdleLook();
    emit recordingSaved(filePath);
    if (abortReason.isEmpty())
        return;
    // Told from the event loop, not from inside the recorder's signal.
    QTimer::singleShot(0, this, [this, reason = abortReason, filePath] {
        reportStoppedRecording(reason, filePath);
    });
    abortReason.clear();
}

void RecordingPage::reportStoppedRecording(const QString &reason, const QString &filePath)
{
    QString text = reason;
    // A file that is gone, or that never received a byte, keeps nothing.
    const QFileInfo file(filePath);
    if (!filePath.isEmpty() && file.isFile() && file.size() > 0)
        text += QLatin1Char('\n')
                + tr("已录制的内容保存在：%1").arg(QDir::toNativeSeparators(filePath));
    QMessageBox::warning(this, tr("录制已停止"), text);
}

void RecordingPage::showPauseButtonRunning()
{
    ui->pauseButton->setChecked(false);
    ui->pauseButton->setText(tr("暂停"));
    ui->pauseButton->setIcon(QIcon(QStringLiteral(":/images/pause.svg")));
}

void RecordingPage::onTogglePause()
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
                emit controlsChanged();
                return;
            }
            recorder->resumeRecording();
            clockTimer->start(clockIntervalMs(startedConfig.frameRate));
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
            clockTimer->start(clockIntervalMs(startedConfig.frameRate));
        } else {
            ui->pauseButton->setEnabled(false);
            ui->pauseButton->setChecked(false);
        }
    }
    emit controlsChanged();
}

void RecordingPage::updateTimer()
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
    showTimeLeft(elapsed);
    emit controlsChanged();
}

void RecordingPage::setControlsEnabled(bool enabled)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{ui->recordModeCombo, screenChoice,
                                                             ui->qualityCombo_2, ui->formatCombo_2})
        widget->setEnabled(enabled);
    emit controlsLocked(!enabled, recordingActive);
}

void RecordingPage::closeSelectors()
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

void RecordingPage::onRecordModeChanged(int index)
{
    closeSelectors();
    recordingConfig.mode = static_cast<RecordMode>(index);
    recordingConfig.windowId = 0;
    updateScreenBox();

    if (index == Region) {
        regionSelector = new RegionSelector(this);
        regionSelector->setAttribute(Qt::WA_DeleteOnClose);
        connect(regionSelector, &RegionSelector::regionSelected, this, &RecordingPage::onRegionChosen);
        connect(regionSelector, &RegionSelector::selectionCancelled, this,
                &RecordingPage::onSelectionCancelled);
        regionSelector->show();
        return;
    }
    if (index == Window && !capturesThroughPortal(Window)) {
        windowSelector = new WindowSelector(this);
        windowSelector->setAttribute(Qt::WA_DeleteOnClose);
        connect(windowSelector, &WindowSelector::windowSelected, this, &RecordingPage::onWindowChosen);
        connect(windowSelector, &WindowSelector::selectionCancelled, this,
                &RecordingPage::onSelectionCancelled);
        connect(windowSelector, &WindowSelector::windowGeometryChanged, this,
                &RecordingPage::onWindowGeometryChanged);
        windowSelector->show();
        windowSelector->refreshWindowList();
        return;
    }
    retargetCapture();
}

// The preview's refresh takes the new target to the recorder.
void RecordingPage::retargetCapture()
{
    refreshPreview();
}

void RecordingPage::onRegionChosen(const QRect &rect)
{
    if (!rect.isValid())
        return;
    recordingConfig.region = rect;
    retargetCapture();
}

void RecordingPage::onWindowChosen(WId id)
{
    recordingConfig.windowId = id;
    retargetCapture();
}

void RecordingPage::onWindowGeometryChanged(const QRect &rect)
{
    recordingConfig.region = rect;
    retargetCapture();
}

void RecordingPage::onSelectionCancelled()
{
    ui->recordModeCombo->setCurrentIndex(FullScreen);
}

void RecordingPage::refreshCaptureArea()
{
    switch (recordingConfig.mode) {
    case FullScreen: {
        // The chosen monitor or all of them; the primary while the chosen
        // one is not connected.
        const QString choice = options->recordingOptions().screen;
        recordingConfig.region = capture::recordedArea(
            capture::isConnected(choice) ? choice : QString());
        break;
    }
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
    pushConfig();
}

// The page's options aimed at its target.
RecordingConfig RecordingPage::targetedConfig() const
{
    RecordingConfig config = options->recordingOptions();
    config.mode = recordingConfig.mode;
    config.region = recordingConfig.region;
    config.windowId = recordingConfig.windowId;
    return config;
}

void RecordingPage::pushConfig()
{
    RecordingConfig config = targetedConfig();
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

void RecordingPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

// The generated retranslation re-selects the mode box's first item and puts
// back the form's texts of the record button, the pause button and the
// clock. None of that is a change of language: the selection and the texts
// that show state are restored.
void RecordingPage::retranslate()
{
    const int mode = ui->recordModeCombo->currentIndex();
    const QString elapsed = ui->timeLabel->text();
    {
        const QSignalBlocker modeBlocker(ui->recordModeCombo);
        ui->retranslateUi(this);
        ui->recordModeCombo->setCurrentIndex(mode);
    }
    ui->timeLabel->setText(elapsed);
    ui->toggleButton->setText(recordingActive                          ? tr("停止")
                              : recorder->isFinishing()                ? tr("保存中…")
                              : pendingPortal != nullptr || countdown ? tr("取消")
                                                                       : tr("开始"));
    if (timeLeftLabel->isVisible())
        showTimeLeft(lastElapsedMs);
    ui->pauseButton->setText(ui->pauseButton->isChecked() ? tr("继续") : tr("暂停"));
}
