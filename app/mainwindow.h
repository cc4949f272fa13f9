#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

namespace Ui {
class MainWindow;
}

namespace vexlo {
class CommandRequest;
}

class HistoryPage;
class LanguageSwitcher;
class MediaConverter;
class RecordingPage;
class RemoteControl;
class RunningWriters;
class ScreenRecorder;
class SettingsPage;
class ShortcutController;
class TrayIcon;

// The program's only top-level window: a frameless frame with a drop shadow,
// dragged by its header or its navigation column, resized by its edges. It
// owns the pages, the recorder and the converter, wires the pages to each
// other in one place (mainwindow.cpp), and keeps the look and the language.
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

    // Another start of the program asked for the window: it comes back from
    // the tray as on a double click there, or to the front.
    void showForAnotherStart();
    // Launched by a command: shown as a recording would leave the window
    // (hidden or minimised when a minimise-on-recording box is on).
    void showForCommand();
    // A command from another start, carried out on the record page.
    void handleCommand(vexlo::CommandRequest *request);

private slots:
    // Connected by object name when the form is built.
    void on_pushButton_close_clicked();
    void on_pushButton_min_clicked();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // Frame and navigation (mainwindow.cpp, mainwindow_frame.cpp).
    void setupFrame();
    void connectPages();
    void connectNavigation();
    void showPage(int index, const char *title);
    void connectSessionEnd();
    void closeOpenDialogs();
    void applyStartSize();
    void storeWindowSize();

    // Look and language (theme.cpp, mainmenu.cpp).
    void applyTheme(bool dark);
    void onToggleTheme();
    void switchLanguage(const QString &code);
    void onMenuButtonClicked();
    void showAboutDialog();

    // The window while a recording runs (traywindow.cpp).
    void hideForRecording();
    void returnFromTray();
    void showAudioProblem(const QString &text);
    // A start that left no recording shows a window kept hidden for it.
    void showAfterRefusedStart();

    Ui::MainWindow *ui;
    ScreenRecorder *recorder;
    MediaConverter *mediaConverter;
    std::unique_ptr<RunningWriters> writers;
    SettingsPage *settingsPage = nullptr;
    RecordingPage *recordingPage = nullptr;
    HistoryPage *historyPage = nullptr;
    ShortcutController *shortcuts = nullptr;
    TrayIcon *tray = nullptr;
    RemoteControl *remote = nullptr;
    std::unique_ptr<LanguageSwitcher> languages;
    bool isDarkTheme = false;
    bool hiddenToTray = false;
};
