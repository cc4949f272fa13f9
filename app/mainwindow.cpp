#include "app/mainwindow.h"

#include "app/frameresizer.h"
#include "converter/mediaconverter.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QFileSystemWatcher>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTranslator>

namespace {
constexpr int ShadowMargin = 15;
constexpr int StartImageSizePercent = 80;
constexpr int StartImageOpacity = 70;
} // namespace

// The order matters: the connections exist before the settings fill the
// widgets, so labels, fields and selectors follow the stored values.
MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , recorder(new ScreenRecorder(this))
    , mediaConverter(new MediaConverter(this))
    , clockTimer(new QTimer(this))
    , previewTimer(new QTimer(this))
{
    outputWatcher = new QFileSystemWatcher(this);
    ui->setupUi(this);
    setupFrame();

    ui->contentStack->setCurrentIndex(0);
    ui->recordButton->setChecked(true);
    ui->recordModeCombo->setCurrentIndex(0);
    recordingConfig.mode = FullScreen;
    setupRecordingsTable();

    setupConnections();
    loadSettings();
    applyTheme(isDarkTheme);
    watchDefaultOutputFolder();
    setupPreview();
    ui->contentStack->insertWidget(3, mediaConverter);
    fitComboBoxesToTheirItems();
    applyStartLanguage();
    updateRecordingsTable();
    applyStartSize();

    // Every start begins with these image-watermark values, whatever was stored.
    ui->watermarkSizeSlider->setValue(StartImageSizePercent);
    ui->imageOpacityEdit->setText(QString::number(StartImageOpacity));
    recordingConfig.imageSizePercent = StartImageSizePercent;
    recordingConfig.imageOpacity = StartImageOpacity;

    connectWatermarkImageOptions();
    createTrayIcon();
    connectMinimizeToTray();

    loadShortcuts();
    ui->recordShortcutEdit->setKeySequence(recordKeys);
    ui->pauseShortcutEdit->setKeySequence(pauseKeys);
    connectShortcutEditors();
    applyShortcuts();
    connectSessionEnd();
    // The keyboard starts at the page's main action.
    ui->toggleButton->setFocus();
}

MainWindow::~MainWindow()
{
    // Focus moves while the widgets go; the shortcut editors are gone by then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // A running conversion stops with the window, leaving no partial file.
    mediaConverter->abortConversion();
    finishForQuit();
    // After the recording's last report, which rebuilds the table.
    shutDownHistoryPage();
    closeSelectors();
    if (trayIcon != nullptr) {
        trayIcon->hide();
        delete trayIcon;
        trayIcon = nullptr;
    }
    delete ui;
}

void MainWindow::setupFrame()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    new FrameResizer(ui->centralwidget, ShadowMargin);

    // The central widget keeps a transparent 15 px border; the shadow falls there.
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(20);
    shadow->setColor(QColor(0, 0, 0, 80));
    shadow->setOffset(0, 0);
    ui->centralwidget->setGraphicsEffect(shadow);
}

void MainWindow::setupConnections()
{
    connectNavigation();
    setupRecordingPage();
    connectPreviewOptions();
    connectSettingsPage();
    connectHistoryPage();
    connectShell();
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
    if (recordingActive) {
        leaveRecordingLook();
        finishRecorder();
    } else if (recorder->isRecording()) {
        recorder->stopRecording();
    }
    if (recorder->isFinishing())
        recorder->waitForFinished();
    saveSettings();
    storeWindowSize();
}

void MainWindow::connectShell()
{
    connect(ui->pushButton_toggle, &QPushButton::clicked, this, &MainWindow::onToggleTheme);
    connect(ui->pushButton_nav, &QPushButton::clicked, this, &MainWindow::onMenuButtonClicked);
    // The idle preview is drawn only while it can be seen.
    connect(ui->contentStack, &QStackedWidget::currentChanged, this,
            &MainWindow::redrawPreviewWhenIdle);
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
