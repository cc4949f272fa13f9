#pragma once

#include "app/pages/recordingoptions.h"
#include "core/recordingconfig.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class RecordingPage;
}

namespace capture {
class CaptureSource;
class PortalSource;
}

class CountdownWindow;
class LevelMeter;
class QGraphicsScene;
class QLabel;
class QShortcut;
class QTimer;
class RegionSelector;
class ScreenChoice;
class ScreenRecorder;
class WindowSelector;

// The record page: start, pause, resume and stop, the elapsed time and the
// level meter, the capture target chosen through the mode box and its
// selectors (or the desktop's dialog on Wayland), and the live preview.
class RecordingPage : public QWidget
{
    Q_OBJECT

public:
    // What the page's controls say and allow, for the tray's entries.
    struct ControlState
    {
        // Started and not stopped (paused counts).
        bool active = false;
        // The recorder holds a running recording.
        bool recording = false;
        bool canToggle = false;
        bool paused = false;
        bool canPause = false;
        QString elapsed;
        // Seconds the countdown still shows; 0 when none runs.
        int countdownLeft = 0;
        // The desktop's screen sharing dialog is open for a start.
        bool waitingForDesktop = false;
        // Stopped; the file is still being finished.
        bool saving = false;
        // The file of the running or saving recording.
        QString filePath;
    };

    RecordingPage(ScreenRecorder *recorder, const RecordingOptions *options,
                  QWidget *parent = nullptr);
    ~RecordingPage() override;

    // The stored choice of the mode box; a change opens the mode's selector.
    void setMode(int mode);
    // The page's own quality and format boxes, kept in step with the settings'.
    void setQuality(int index);
    void setFormat(int index);
    // The screen box's choice, kept in step with the settings' (as stored).
    void setScreen(const QString &choice);

    ControlState controlState() const;
    // Capture goes through the desktop's portal, which reports no clicks.
    bool capturesThroughDesktop() const { return portalCapture; }

    // The first still, then one twice a second while the page can be seen.
    void startPreview();
    // Finishes a running recording and waits for its file.
    void finishForQuit();
    // A start as the button makes it; stopAfterSeconds > 0 replaces the
    // stored stop time for that recording.
    void startRecording(int stopAfterSeconds = 0);

public slots:
    void onToggleRecording();
    void onTogglePause();
    // The keys and the tray act as the page's buttons would.
    void onRecordShortcut();
    void onPauseShortcut();
    // Also when the page is shown again or the window restored, so the
    // still catches up at once instead of at the next tick.
    void redrawPreviewWhenIdle();

signals:
    void modeChosen(int mode);
    void qualityChosen(int index);
    void formatChosen(int index);
    void screenChosen(const QString &choice);
    // The options a start fixes are locked while a recording runs unpaused;
    // a reset stays locked until it ends.
    void controlsLocked(bool locked, bool recordingRuns);
    void recordingStarted();
    // The clock and pause stop; the file is still being finished.
    void recordingLeft();
    void stoppedByUser();
    // The countdown of a start has begun.
    void countdownStarted();
    // A start ended without a recording and without a box: its countdown or
    // the desktop's dialog was cancelled. The reason is for the log or a caller.
    void startCancelled(const QString &reason);
    // A box is about to tell why something the user asked for was refused.
    void problemShown(const QString &text);
    // A stopped recording's file is complete and the page idle again.
    void recordingSaved(const QString &filePath);
    // Anything controlState() reports may have changed.
    void controlsChanged();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectRecorder();
    void showProblem(QMessageBox::Icon icon, const QString &title, const QString &text);
    void beginRecording(const RecordingConfig &config,
                        std::unique_ptr<capture::CaptureSource> source);
    void stopRecording();
    void finishRecorder();
    void leaveRecordingLook();
    void showIdleLook();
    void onRecordingAborted(const QString &reason);
    void onRecordingFinished(const QString &filePath);
    void reportStoppedRecording(const QString &reason, const QString &filePath);
    void showLevelMeter();
    void updateLevelMeter();
    void updateTimer();
    bool checkCaptureTarget();
    void updateScreenBox();
    RecordingConfig configForStart() const;
    void showPauseButtonRunning();
    void setControlsEnabled(bool enabled);
    void retranslate();

    // Capture target and selectors.
    void onRecordModeChanged(int index);
    void onRegionChosen(const QRect &rect);
    void onWindowChosen(WId id);
    void onWindowGeometryChanged(const QRect &rect);
    void onSelectionCancelled();
    void closeSelectors();
    void retargetCapture();
    void refreshCaptureArea();
    RecordingConfig targetedConfig() const;
    void pushConfig();

    // Live preview (livepreview.cpp).
    void setupPreview();
    bool previewShown() const;
    void onPreviewTimer();
    RecordingConfig pushPreviewOptions();
    void refreshPreview();
    void showCapturedFrame(const QPixmap &frame);
    QGraphicsScene *ensurePreviewScene();

    // Through the desktop's ScreenCast portal (waylandcapture.cpp).
    void setupWaylandCapture();
    bool capturesThroughPortal(RecordMode mode) const;
    void startPortalCapture(const RecordingConfig &config);
    void onPortalReady(capture::PortalSource *source, const RecordingConfig &config);
    void cancelPortalStart();
    void endPortalStart(capture::PortalSource *source);
    // The preview's text while the desktop's dialog is open, else while idle.
    void showIdlePreviewText();

    // Countdown and stop after a time (recordingschedule.cpp).
    void setupSchedule();
    void startAfterCountdown(const RecordingConfig &config,
                             std::unique_ptr<capture::CaptureSource> source);
    void onCountdownTick(int secondsLeft);
    void onCountdownDone();
    void cancelCountdown();
    void applyStopAfter();
    void onTimeLimitReached();
    void showTimeLeft(qint64 elapsedMs);

    std::unique_ptr<Ui::RecordingPage> ui;
    ScreenRecorder *recorder;
    const RecordingOptions *options;
    QTimer *clockTimer;
    QTimer *previewTimer;
    // Beside the clock while a recording has sound; one bar per source.
    LevelMeter *levelMeter = nullptr;
    // Beside the mode box while full screen is chosen and there is a choice.
    ScreenChoice *screenChoice = nullptr;
    // Beside the clock while the recording stops after a set time.
    QLabel *timeLeftLabel = nullptr;

    // The target: mode, region and window; the rest comes from the options.
    RecordingConfig recordingConfig;
    // The record the running recording was started with.
    RecordingConfig startedConfig;
    bool recordingActive = false;
    // Stopped, and the recorder is still finishing the file.
    bool savingRecording = false;
    // Why the recorder ended the recording by itself; told once the file is complete.
    QString abortReason;
    QElapsedTimer recordingClock;
    qint64 lastElapsedMs = 0;

    bool portalCapture = false;
    // What the portal offers (Monitor | WindowSource bits); -1: no portal.
    int portalSourceTypes = -1;
    // The start waiting for the desktop's answer, if any.
    capture::PortalSource *pendingPortal = nullptr;
    // The stop time the pending or running start uses, in recorded ms; 0: none.
    qint64 stopAfterMs = 0;
    // The countdown of a start, with what the start will record.
    QPointer<CountdownWindow> countdown;
    RecordingConfig countdownConfig;
    std::unique_ptr<capture::CaptureSource> countdownSource;
    int countdownLeft = 0;
    QShortcut *countdownEscape = nullptr;
    // Selectors delete themselves on close; the guarded pointers notice.
    QPointer<RegionSelector> regionSelector;
    QPointer<WindowSelector> windowSelector;
};
