#include "app/mainwindow.h"

#include "app/framemover.h"
#include "app/frameresizer.h"
#include "app/frameshadow.h"
#include "app/languageswitcher.h"
#include "app/pages/historypage.h"
#include "app/pages/recordingpage.h"
#include "app/pages/settingspage.h"
#include "app/remotecontrol.h"
#include "app/runningwriters.h"
#include "app/shortcutcontroller.h"
#include "app/trayicon.h"
#include "converter/mediaconverter.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QShortcut>
#include <QTimer>

namespace {

constexpr int ShadowMargin = 15;

bool storedDarkTheme()
{
    return openSettingsStore()->value(QStringLiteral("theme"), QStringLiteral("light")).toString()
           == QLatin1String("dark");
}

} // namespace

// The order matters: the pages are wired to each other before the settings
// fill their widgets, so every page follows the stored values.
MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , recorder(new ScreenRecorder(this))
    , mediaConverter(new MediaConverter(this))
    , writers(std::make_unique<RunningWriters>(recorder, mediaConverter))
    , languages(std::make_unique<LanguageSwitcher>())
{
    ui->setupUi(this);
    setupFrame();

    settingsPage = new SettingsPage(this);
    recordingPage = new RecordingPage(recorder, settingsPage, this);
    historyPage = new HistoryPage(writers.get(), this);
    ui->contentStack->insertWidget(0, recordingPage);
    ui->contentStack->insertWidget(1, historyPage);
    ui->contentStack->insertWidget(2, settingsPage);
    ui->contentStack->insertWidget(3, mediaConverter);
    ui->contentStack->setCurrentIndex(0);
    ui->recordButton->setChecked(true);

    shortcuts = new ShortcutController(this);
    tray = new TrayIcon(this);
    remote = new RemoteControl(recordingPage, this);
    settingsPage->setTrayAvailable(tray->isAvailable());
    settingsPage->setGlobalShortcutsAvailable(shortcuts->globalAvailable());
    settingsPage->setClickHighlightAvailable(!recordingPage->capturesThroughDesktop());

    connectNavigation();
    connectPages();
    settingsPage->loadAtStart();
    const RecordingConfig stored = settingsPage->recordingOptions();
    recordingPage->setQuality(stored.quality);
    recordingPage->setFormat(stored.format);
    isDarkTheme = storedDarkTheme();
    applyTheme(isDarkTheme);
    recordingPage->startPreview();
    // Every combo box of the window, the converter page's included, takes the
    // width of its longest item in the language in force, not the first one's:
    // set once, the policy follows every retranslation of the items.
    for (QComboBox *combo : findChildren<QComboBox *>())
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    if (languages->applyStartLanguage()) {
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(this, &change);
    }
    historyPage->updateRecordingsTable();
    applyStartSize();
    connectSessionEnd();
    // The keyboard starts at the record page's main action.
    recordingPage->setFocus();
}

MainWindow::~MainWindow()
{
    // A running conversion stops with the window, leaving no partial file.
    mediaConverter->abortConversion();
    finishForQuit();
    // After the recording's last report, which rebuilds the table.
    disconnect(recorder, nullptr, historyPage, nullptr);
    historyPage->shutDown();
    delete ui;
}

void MainWindow::setupFrame()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    new FrameResizer(ui->centralwidget, ShadowMargin);
    new FrameMover(this, {ui->headerFrame, ui->menu_frame});
    // The central widget keeps a transparent 15 px border; the shadow falls there.
    new FrameShadow(this, ui->centralwidget, ShadowMargin);
}

// The one place where the pages, the recorder, the shortcuts and the tray
// meet.
void MainWindow::connectPages()
{
    // Quality and format are one choice shown on two pages.
    connect(settingsPage, &SettingsPage::qualityChosen, recordingPage, &RecordingPage::setQuality);
    connect(recordingPage, &RecordingPage::qualityChosen, settingsPage, &SettingsPage::setQuality);
    connect(settingsPage, &SettingsPage::formatChosen, recordingPage, &RecordingPage::setFormat);
    connect(recordingPage, &RecordingPage::formatChosen, settingsPage, &SettingsPage::setFormat);
    connect(settingsPage, &SettingsPage::screenChosen, recordingPage, &RecordingPage::setScreen);
    connect(recordingPage, &RecordingPage::screenChosen, settingsPage, &SettingsPage::setScreen);
    connect(settingsPage, &SettingsPage::recordModeLoaded, recordingPage, &RecordingPage::setMode);
    connect(recordingPage, &RecordingPage::modeChosen, settingsPage, &SettingsPage::setRecordMode);
    connect(settingsPage, &SettingsPage::previewOptionsChanged, recordingPage,
            &RecordingPage::redrawPreviewWhenIdle);
    // The idle preview is drawn only while it can be seen.
    connect(ui->contentStack, &QStackedWidget::currentChanged, recordingPage,
            &RecordingPage::redrawPreviewWhenIdle);
    connect(settingsPage, &SettingsPage::outputDirectoryChanged, this, [this](const QString &dir) {
        recorder->setOutputDirectory(dir);
        historyPage->setOutputFolder(recorder->outputDirectory());
    });
    connect(settingsPage, &SettingsPage::defaultsRestored, this, [this] {
        isDarkTheme = storedDarkTheme();
        applyTheme(isDarkTheme);
        if (languages->applyStartLanguage()) {
            QEvent change(QEvent::LanguageChange);
            QCoreApplication::sendEvent(this, &change);
        }
    });

    connect(recordingPage, &RecordingPage::controlsLocked, this, [this](bool locked, bool runs) {
        for (QWidget *button : {ui->recordButton, ui->historyButton, ui->converterButton,
                                ui->menuButton})
            button->setEnabled(!locked);
        settingsPage->lockRecordingOptions(locked, runs);
    });
    connect(recordingPage, &RecordingPage::recordingStarted, this, &MainWindow::hideForRecording);
    connect(recordingPage, &RecordingPage::countdownStarted, this, &MainWindow::hideForRecording);
    connect(recordingPage, &RecordingPage::startCancelled, this, &MainWindow::returnFromTray);
    connect(recordingPage, &RecordingPage::startCancelled, this, &MainWindow::showAfterRefusedStart);
    connect(recordingPage, &RecordingPage::problemShown, this, &MainWindow::showAfterRefusedStart);
    connect(recordingPage, &RecordingPage::recordingLeft, this, &MainWindow::returnFromTray);
    connect(recordingPage, &RecordingPage::stoppedByUser, this, [this] {
        if (settingsPage->minimizesAfterRecording())
            showMinimized();
    });
    connect(recorder, &ScreenRecorder::audioProblem, this, [this](const QString &text) {
        // Told from the event loop: at a start, after the window has gone to
        // the tray if it goes there.
        QTimer::singleShot(0, this, [this, text] { showAudioProblem(text); });
    });
    connect(recorder, &ScreenRecorder::recordingFinished, historyPage,
            &HistoryPage::onRecordingFileFinished);
    connect(recorder, &ScreenRecorder::recordingStateChanged, historyPage, [this](bool recording) {
        if (recording)
            historyPage->onRecordingStarted();
    });

    connect(settingsPage, &SettingsPage::shortcutsChanged, shortcuts, [this] {
        shortcuts->apply(settingsPage->recordKeys(), settingsPage->pauseKeys(),
                         settingsPage->globalShortcutsChosen());
    });
    connect(settingsPage, &SettingsPage::shortcutEditingChanged, shortcuts,
            &ShortcutController::setSuspended);
    connect(shortcuts, &ShortcutController::globalUnavailable, settingsPage,
            [this] { settingsPage->setGlobalShortcutsAvailable(false); });
    connect(shortcuts, &ShortcutController::recordPressed, recordingPage,
            &RecordingPage::onRecordShortcut);
    connect(shortcuts, &ShortcutController::pausePressed, recordingPage,
            &RecordingPage::onPauseShortcut);

    connect(recordingPage, &RecordingPage::controlsChanged, tray,
            [this] { tray->showState(recordingPage->controlState()); });
    connect(tray, &TrayIcon::recordChosen, recordingPage, &RecordingPage::onToggleRecording);
    connect(tray, &TrayIcon::pauseChosen, recordingPage, &RecordingPage::onPauseShortcut);
    connect(tray, &TrayIcon::restoreChosen, this, [this] {
        showNormal();
        activateWindow();
    });
    tray->showState(recordingPage->controlState());

    connect(ui->pushButton_toggle, &QPushButton::clicked, this, &MainWindow::onToggleTheme);
    connect(ui->pushButton_nav, &QPushButton::clicked, this, &MainWindow::onMenuButtonClicked);
}

void MainWindow::connectSessionEnd()
{
    // The event loop has ended (the exit question, the tray's exit, a quit
    // signal), or the session is ending: the file and the settings come first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::finishForQuit);
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) {
        finishForQuit();
        closeOpenDialogs();
    });
}

// The session is ending: no box or dialog may hold the program back.
void MainWindow::closeOpenDialogs()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(top); dialog != nullptr && dialog->isVisible())
            dialog->reject();
}

void MainWindow::finishForQuit()
{
    recordingPage->finishForQuit();
    settingsPage->save();
    storeWindowSize();
}

void MainWindow::connectNavigation()
{
    // Titles are translated at the moment of the click, in the current language.
    const struct {
        QToolButton *button;
        int index;
        const char *title;
    } pages[] = {
        {ui->recordButton, 0, QT_TR_NOOP("录制屏幕")},
        {ui->historyButton, 1, QT_TR_NOOP("录制存档")},
        {ui->converterButton, 3, QT_TR_NOOP("音视频转换")},
        {ui->menuButton, 2, QT_TR_NOOP("高级配置")},
    };
    int number = 0;
    for (const auto &page : pages) {
        // Ctrl+1 to Ctrl+4 in the column's order; a locked column stays locked.
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + number++)), this);
        connect(shortcut, &QShortcut::activated, page.button, [button = page.button] {
            if (button->isEnabled())
                button->click();
        });
        connect(page.button, &QToolButton::clicked, this,
                [this, page] { showPage(page.index, page.title); });
        // An assistive technology's toggle checks the button without a click.
        connect(page.button, &QToolButton::toggled, this, [this, page](bool checked) {
            if (checked)
                showPage(page.index, page.title);
        });
    }
}

void MainWindow::showPage(int index, const char *title)
{
    ui->contentStack->setCurrentIndex(index);
    ui->label_title->setText(tr(title));
}

void MainWindow::changeEvent(QEvent *event)
{
    // Events may come while the form is being built.
    if (event->type() == QEvent::LanguageChange && tray != nullptr) {
        ui->retranslateUi(this);
        tray->retranslate();
    } else if (event->type() == QEvent::WindowStateChange && recordingPage != nullptr) {
        recordingPage->redrawPreviewWhenIdle();
    }
    QMainWindow::changeEvent(event);
}
