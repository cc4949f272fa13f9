#pragma once

#include "recorder/recordingconfig.h"

#include <QColor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>

#include <memory>

namespace Ui {
class MainWindow;
}

namespace capture {
class CaptureSource;
class PortalSource;
}

class DurationProbes;
class LevelMeter;
class MediaConverter;
class PortalShortcuts;
class QFileSystemWatcher;
class QGraphicsScene;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTranslator;
class QTimer;
class QToolButton;
class RegionSelector;
class ScreenRecorder;
class WindowSelector;

namespace platform {
class GlobalKeys;
}

// The program's only top-level window: a frameless frame with a drop shadow,
// dragged by its header or its navigation column, resized by its edges, and
// the owner of everything that lives as long as the program. Each page's
// members live in app/pages/, the settings and shortcuts in app/.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The last thing done before the program ends, whatever ends it (the
    // exit question, a quit signal, the session manager, the destructor):
    // finishes a running recording, waits for its file, saves the settings.
    void finishForQuit();

    // Another start of the program asked for the window (tray.cpp): it comes
    // back from the tray as on a double click there, or to the front.
    void showForAnotherStart();

private slots:
    // Connected by object name when the form is built.
    void on_pushButton_close_clicked();
    void on_pushButton_min_clicked();

    // Recording page.
    void onToggleRecording();
    void onTogglePause();
    void updateTimer();

    // Settings page.
    void updateFrameRateLabel(int value);
    void onOutputDirButtonClicked();
    void onWatermarkColorButtonClicked();
    void onWatermarkImageButtonClicked();
    void updateWatermarkSizeSlider(int value);
    void onImageOpacityChanged(const QString &text);
    // The folder dialog's answer; anything but an absolute local path is refused.
    void useChosenOutputDirectory(const QString &dir);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // Frame and navigation (mainwindow.cpp, mainwindow_frame.cpp).
    void setupFrame();
    void setupConnections();
    void connectSessionEnd();
    void closeOpenDialogs();
    void connectNavigation();
    void showPage(int index, const char *title);
    bool isDragHandle(const QPoint &windowPos) const;
    void applyStartSize();
    void storeWindowSize();

    // Recording page (pages/recordingpage.cpp).
    void setupRecordingPage();
    void connectRecorder();
    void connectRecordPageChoosers();
    void startRecording();
    void beginRecording(const RecordingConfig &config,
                        std::unique_ptr<capture::CaptureSource> source);
    void stopRecording();
    void finishRecorder();
    void leaveRecordingLook();
    void showIdleLook();
    void onRecordingAborted(const QString &reason);
    void onRecordingFinished(const QString &filePath);
    void reportStoppedRecording(const QString &reason, const QString &filePath);
    void onAudioProblem(const QString &text);
    void showAudioProblem(const QString &text);
    void setupLevelMeter();
    void showLevelMeter();
    void updateLevelMeter();
    bool checkCaptureTarget();
    RecordingConfig configForStart() const;
    void hideToTrayForRecording();
    void showPauseButtonRunning();
    void setControlsEnabled(bool enabled);
    void onRecordModeChanged(int index);
    void onRegionChosen(const QRect &rect);
    void onWindowChosen(WId id);
    void onWindowGeometryChanged(const QRect &rect);
    void onSelectionCancelled();
    void closeSelectors();
    void retargetCapture();
    void refreshCaptureArea();
    void pushConfig(RecordingConfig config);

    // Live preview (pages/livepreview.cpp).
    void setupPreview();
    void connectPreviewOptions();
    void refreshPreview();
    void redrawPreviewWhenIdle();
    void showCapturedFrame(const QPixmap &frame);
    RecordingConfig optionsFromWidgets(RecordingConfig config) const;
    QGraphicsScene *ensurePreviewScene();

    // Settings (settings.cpp, defaults.cpp).
    void loadSettings();
    void saveSettings();
    void refreshOutputDirDisplay();
    void connectSettingsPage();
    void connectWatermarkImageOptions();
    void connectMinimizeToTray();
    void restoreDefaultSettings();
    void updateAutoStartEntry();

    // Shortcuts (shortcuts.cpp).
    void loadShortcuts();
    void applyShortcuts();
    void connectShortcutEditors();
    void onRecordShortcut();
    void onPauseShortcut();
    void onRecordShortcutEdited();
    void onPauseShortcutEdited();
    void onSaveShortcutsClicked();
    void showShortcutWarning(const QString &title, const QString &text);

    // System-wide shortcuts (globalshortcuts.cpp): X11 grabs, or the
    // desktop's portal on a Wayland session.
    void setupGlobalShortcuts();
    void loadGlobalShortcutChoice();
    void onGlobalShortcutToggled(bool on);
    void applyGlobalShortcuts();
    void grabGlobalShortcut(int id, const QKeySequence &keys);
    void onGlobalShortcut(int id);
    void onShortcutFocusChanged();
    bool shortcutEditorHasFocus() const;
    void onPortalShortcutsOffered(bool offered);
    void onPortalShortcutsBound(bool bound);
    void showGlobalShortcutProblem(const QString &title, const QString &text);

    Ui::MainWindow *ui;
    ScreenRecorder *recorder;
    MediaConverter *mediaConverter;
    QTimer *clockTimer;
    QTimer *previewTimer;

    bool dragging = false;
    QPoint dragStartGlobalPos;
    QPoint dragStartTopLeft;

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
    // Beside the clock while a recording has sound; one bar per source.
    LevelMeter *levelMeter = nullptr;
    // waylandcapture.cpp: capture through the desktop's ScreenCast portal.
    void setupWaylandCapture();
    void applyWaylandLimits();
    bool capturesThroughPortal(RecordMode mode) const;
    void startPortalCapture(const RecordingConfig &config);
    void onPortalReady(capture::PortalSource *source, const RecordingConfig &config);
    void endPortalStart(capture::PortalSource *source);
    void showIdlePreviewText();
    bool portalCapture = false;
    // What the portal offers (Monitor | WindowSource bits); -1: no portal.
    int portalSourceTypes = -1;
    // The start waiting for the desktop's answer, if any.
    capture::PortalSource *pendingPortal = nullptr;
    // Selectors delete themselves on close; the guarded pointers notice.
    QPointer<RegionSelector> regionSelector;
    QPointer<WindowSelector> windowSelector;

    QColor watermarkColor = Qt::red;
    bool isDarkTheme = false;
    QKeySequence recordKeys;
    QKeySequence pauseKeys;
    // Set while a shortcut editor's box is open: the box takes the focus,
    // and the editor reports a finished edit again on every focus loss.
    bool shortcutBoxOpen = false;
    platform::GlobalKeys *globalKeys = nullptr;
    PortalShortcuts *portalShortcuts = nullptr;
    // The desktop reports the bound keys: the window's own would act twice.
    bool portalShortcutsBound = false;
    // A shortcut editor has the focus: the keys typed there are its own.
    bool globalShortcutsSuspended = false;
    // Each refusal is told once a session.
    QSet<QString> reportedShortcutProblems;

    // Filled by the tray; recording hides to it when asked to.
    QSystemTrayIcon *trayIcon = nullptr;
    bool hiddenToTray = false;

    // ---- History page (pages/historypage.cpp, pages/recordingactions.cpp) ----
private slots:
    // Brings the table in line with the output folder; see historypage.cpp.
    void updateRecordingsTable();

private:
    struct RecordingFile
    {
        QString path;
        qint64 size = 0;
        QDateTime modified;
    };
    struct ProbedDuration
    {
        qint64 size = 0;
        QDateTime modified;
        QString text;
    };

    void setupRecordingsTable();
    void retranslateRecordingsTable();
    void showEmptyHistoryText();
    void connectHistoryPage();
    void watchDefaultOutputFolder();
    void shutDownHistoryPage();
    void onOutputFolderChanged();
    void onRecordingFileFinished(const QString &path);
    QList<RecordingFile> listRecordingFiles();
    QString fileBeingRecorded() const;
    QSet<QString> filesBeingWritten() const;
    // Rebuilds wait while a row's menu is open or a row action runs; one
    // follows the last release if any was asked for meanwhile.
    void holdRebuilds();
    void releaseRebuilds();
    void buildPendingRows(int limit);
    void addRecordingToTable(int row, const RecordingFile &file);
    int listedPositionOfRow(int row) const;
    int rowForListedPosition(int position) const;
    void updateRowDetails(int row, const RecordingFile &file);
    void showDuration(int row, const RecordingFile &file);
    void onDurationProbed(const QString &path, qint64 size, const QDateTime &modified,
                          const QString &duration);
    int rowOfRecording(const QString &path) const;
    QStringList listedRecordingPaths() const;
    static QString formatFileSize(qint64 bytes);
    static QString formatDuration(qint64 microseconds);
    static QString probeDuration(const QString &path);

    // The row menu and the ways to open it (pages/historyrowmenu.cpp).
    QWidget *makeRowMenuButton(const QString &path);
    void setRowMenuTexts(QToolButton *button);
    QToolButton *rowMenuButton(int row) const;
    QString recordingPathOfRow(int row) const;
    void popUpRowMenu(int row, const QPoint &globalPos);
    void connectRowMenuTriggers();

    void playRecording(const QString &path);
    void openRecordingLocation(const QString &path);
    void deleteRecording(const QString &path);
    void deleteAllRecordings();

    // Watches the default output folder only, added once at construction.
    QFileSystemWatcher *outputWatcher = nullptr;
    DurationProbes *durationProbes = nullptr;
    // Builds the rows a rebuild found missing, a slice per event-loop turn.
    QTimer *rowBuildTimer = nullptr;
    // Watcher reports rebuild at most once a second; reports within that
    // second ask for exactly one rebuild at its end.
    QTimer *watchThrottle = nullptr;
    bool watchReportPending = false;
    // Rows the last rebuild found missing, in display order, and the position
    // of every listed file in that order.
    QList<RecordingFile> pendingRows;
    QHash<QString, int> listedOrder;
    // Durations by path, valid while size and modification time match.
    QHash<QString, ProbedDuration> durationCache;
    QHash<QString, QPair<qint64, QDateTime>> probesInFlight;
    // Reported finished although the recorder may still call it current.
    QString finishedRecordingPath;
    int rebuildHolds = 0;
    bool rebuildDeferred = false;
    // Shown in the table while it has no rows.
    QLabel *emptyHistoryLabel = nullptr;
    // ---- end of history page ----

    // ---- Shell: themes (theme.cpp), languages (language.cpp), the tray
    // (tray.cpp), the main menu and about dialog (mainmenu.cpp), and the
    // preview that follows the window's visibility (pages/livepreview.cpp).
protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onToggleTheme();
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void onMenuButtonClicked();
    void showAboutDialog();

private:
    void connectShell();
    void applyTheme(bool dark);
    void applyThemeIcons(bool dark);
    void applyStartLanguage();
    void switchLanguage(const QString &code);
    void installLanguage(const QString &code);
    void loadQtTranslator(const QString &code);
    void retranslateForm();
    void fitComboBoxesToTheirItems();
    void createTrayIcon();
    void retranslateTrayMenu();
    void showTrayMenuState();
    void onTrayRecordEntry();
    void onTrayPauseEntry();
    void showTrayState();
    void showTrayMessage(const QString &title, const QString &text,
                         QSystemTrayIcon::MessageIcon icon, int ms);
    bool previewShown() const;
    void onPreviewTimer();
    RecordingConfig pushPreviewOptions();

    // The language in force and its two translators; they have no parent and
    // are removed from the application before they die.
    QString currentLanguage = QStringLiteral("zh_CN");
    std::unique_ptr<QTranslator> appTranslator;
    std::unique_ptr<QTranslator> qtTranslator;
    QMenu *trayMenu = nullptr;
    bool trayShowsRecording = false;
};
