#pragma once

#include "app/pages/recordingoptions.h"

#include <QColor>
#include <QKeySequence>
#include <QWidget>

#include <memory>

namespace Ui {
class SettingsPage;
}

class ScreenChoice;
class ScheduleOptions;

// The 高级 page: the recording, watermark, shortcut and general options, the
// settings store they are loaded from and saved to (every group, key and
// default is in settingspage.cpp), restoring the defaults, the output folder
// and the shortcut editors.
class SettingsPage : public QWidget, public RecordingOptions
{
    Q_OBJECT

public:
    explicit SettingsPage(QWidget *parent = nullptr);
    ~SettingsPage() override;

    // The stored options, then the values every start begins with.
    void loadAtStart();
    // Written at exit and at each theme toggle.
    void save();

    RecordingConfig recordingOptions() const override;
    int countdownSeconds() const override;
    int stopAfterSeconds() const override;
    bool minimizesAfterRecording() const;
    bool minimizesToTray() const;
    QString outputDirectory() const { return outputDir; }
    // The record page's mode box, stored here with the other options.
    void setRecordMode(int mode) { storedMode = mode; }
    void setQuality(int index);
    void setFormat(int index);
    void setScreen(const QString &choice);

    // The shortcuts in force: the last accepted edit, saved or not.
    QKeySequence recordKeys() const { return acceptedRecordKeys; }
    QKeySequence pauseKeys() const { return acceptedPauseKeys; }
    bool globalShortcutsChosen() const;

    // What this desktop cannot offer greys out with the reason.
    void setTrayAvailable(bool available);
    void setGlobalShortcutsAvailable(bool available);
    void setClickHighlightAvailable(bool available);
    // While a recording runs unpaused, the options its start fixed are locked;
    // a reset waits until it has ended.
    void lockRecordingOptions(bool locked, bool recordingRuns);

public slots:
    // The folder dialog's answer; anything but an absolute local path is refused.
    void useChosenOutputDirectory(const QString &dir);

signals:
    void qualityChosen(int index);
    void formatChosen(int index);
    // The screen box's choice, as `Recording/screen` stores it; also when loaded.
    void screenChosen(const QString &choice);
    // The pointer or watermark options the preview shows have changed.
    void previewOptionsChanged();
    void outputDirectoryChanged(const QString &dir);
    void recordModeLoaded(int mode);
    // The keys in force or the system-wide choice have changed.
    void shortcutsChanged();
    // One of the shortcut editors has the focus, or no longer has it.
    void shortcutEditingChanged(bool editing);
    // The store was cleared; the window's own look and language follow it.
    void defaultsRestored();

protected:
    void changeEvent(QEvent *event) override;

private:
    void load();
    void loadShortcuts();
    void connectOptions();
    void connectWatermarkImageOptions();
    void connectShortcutEditors();
    void retranslate();
    void refreshOutputDirDisplay();
    void setOutputDirectory(const QString &dir);
    void updateFrameRateLabel(int value);
    void onOutputDirButtonClicked();
    void onWatermarkColorButtonClicked();
    void onWatermarkImageButtonClicked();
    void updateWatermarkSizeSlider(int value);
    void onImageOpacityChanged(const QString &text);
    void restoreDefaultSettings();
    void updateAutoStartEntry();
    void setupScreenChoice();

    // Shortcut editors (shortcuteditors.cpp).
    void onRecordShortcutEdited();
    void onPauseShortcutEdited();
    void onSaveShortcutsClicked();
    void onGlobalShortcutToggled(bool on);
    void showShortcutWarning(const QString &title, const QString &text);
    bool editorBoxOpen() const;
    bool shortcutEditorHasFocus() const;

    std::unique_ptr<Ui::SettingsPage> ui;
    // Above the quality row of the recording tab, while there is a choice.
    ScreenChoice *screenChoice = nullptr;
    ScheduleOptions *schedule;
    QString outputDir;
    QColor watermarkColor = Qt::red;
    int storedMode = 0;
    bool recordingRuns = false;
    bool clickHighlightAvailable = true;
    bool globalShortcutsAvailable = true;
    QKeySequence acceptedRecordKeys;
    QKeySequence acceptedPauseKeys;
    // Set while an editor's box is open: the box takes the focus, and the
    // editor reports a finished edit again on every focus loss.
    bool shortcutBoxOpen = false;
    bool editingShortcut = false;
};
