// The live preview: a still of the capture target twice a second while idle
// and in view, every captured frame while recording; the same refresh keeps a
// running recorder in step with the page's pointer and watermark options.
#include "app/mainwindow.h"

#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QTimer>
#include <QWindow>

namespace {
constexpr int PreviewIntervalMs = 500;
} // namespace

void MainWindow::setupPreview()
{
    ensurePreviewScene();
    ui->video_view->setAlignment(Qt::AlignCenter);
    ui->video_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->video_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(recorder, &ScreenRecorder::frameCaptured, this, &MainWindow::showCapturedFrame);
    connect(previewTimer, &QTimer::timeout, this, &MainWindow::onPreviewTimer);
    previewTimer->start(PreviewIntervalMs);
    refreshPreview();
}

void MainWindow::connectPreviewOptions()
{
    connect(ui->highlightCheckBox, &QCheckBox::toggled, this, [this](bool checked) {
        recordingConfig.highlightClicks = checked;
        redrawPreviewWhenIdle();
    });
    connect(ui->mouseStyleCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        recordingConfig.cursorStyle = static_cast<CursorStyle>(index);
        redrawPreviewWhenIdle();
    });
    connect(ui->moueSizeCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        recordingConfig.cursorSize = cursorSizeForIndex(index);
        redrawPreviewWhenIdle();
    });
    connect(ui->watermarkCheck, &QCheckBox::toggled, this, &MainWindow::redrawPreviewWhenIdle);
    connect(ui->watermarkPositionCombo, &QComboBox::currentIndexChanged, this,
            &MainWindow::redrawPreviewWhenIdle);
    connect(ui->watermarkSize, &QComboBox::currentIndexChanged, this,
            &MainWindow::redrawPreviewWhenIdle);
    connect(ui->watermarkTextEdit, &QLineEdit::textChanged, this,
            &MainWindow::redrawPreviewWhenIdle);
}

// Also called when the page is shown again or the window restored, so the
// still catches up at once instead of at the next tick.
void MainWindow::redrawPreviewWhenIdle()
{
    if (!recordingActive && previewShown())
        refreshPreview();
}

// The still is worth a grab only where someone can see it: the record page
// of a window that is neither minimised nor hidden. A window the window
// manager iconifies may keep its normal state here, but it is no longer exposed.
bool MainWindow::previewShown() const
{
    return ui->contentStack->currentWidget() == ui->recordPage && isVisible() && !isMinimized()
           && windowHandle() != nullptr && windowHandle()->isExposed();
}

// Idle and unseen, a tick does nothing. A running recording still takes the
// page's options at every tick, seen or not.
void MainWindow::onPreviewTimer()
{
    if (previewShown())
        refreshPreview();
    else if (recordingActive)
        pushPreviewOptions();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Exposure tells when the window can be seen again, whoever hid it.
    if (windowHandle() != nullptr)
        windowHandle()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        // Seen once the toolkit has handled the exposure.
        QTimer::singleShot(0, this, &MainWindow::redrawPreviewWhenIdle);
    }
    return QMainWindow::eventFilter(watched, event);
}

RecordingConfig MainWindow::optionsFromWidgets(RecordingConfig config) const
{
    config.watermarkEnabled = ui->watermarkCheck->isChecked() || ui->watermarkImgCheck->isChecked();
    config.imageWatermarkEnabled = ui->watermarkImgCheck->isChecked();
    config.watermarkText = ui->watermarkTextEdit->text();
    config.watermarkPosition =
        static_cast<WatermarkPosition>(ui->watermarkPositionCombo->currentIndex());
    config.watermarkFontSize = watermarkFontSizeForIndex(ui->watermarkSize->currentIndex());
    config.watermarkColor = watermarkColor;
    config.watermarkImagePath = ui->watermarkPath->text();
    config.imageSizePercent = ui->watermarkSizeSlider->value();
    // Not a number (or too large) reads as 0: an invisible image watermark.
    config.imageOpacity = ui->imageOpacityEdit->text().toInt();
    config.captureCursor = ui->captureCursorCheck->isChecked();
    return config;
}

QGraphicsScene *MainWindow::ensurePreviewScene()
{
    if (ui->video_view->scene() == nullptr) {
        ui->video_view->setScene(new QGraphicsScene(this));
    }
    return ui->video_view->scene();
}

RecordingConfig MainWindow::pushPreviewOptions()
{
    refreshCaptureArea();
    const RecordingConfig config = optionsFromWidgets(recordingConfig);
    pushConfig(config);
    return config;
}

void MainWindow::refreshPreview()
{
    const RecordingConfig config = pushPreviewOptions();
    if (!recordingActive && capturesThroughPortal(config.mode)) {
        showIdlePreviewText();
        return;
    }

    QPixmap still = recorder->capturePreviewFrame(config.watermarkEnabled);
    // A recording through the desktop shows its frames as they come.
    if (still.isNull() && recordingActive)
        return;
    if (still.isNull()) {
        // A transparent still lets the view's black background show.
        still = QPixmap(ui->video_view->size());
        still.fill(Qt::transparent);
    }

    QGraphicsScene *scene = ensurePreviewScene();
    scene->clear();
    auto *item = scene->addPixmap(
        still.scaled(ui->video_view->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    scene->setSceneRect(item->boundingRect());
    ui->video_view->setAlignment(Qt::AlignCenter);
    ui->video_view->fitInView(item, Qt::KeepAspectRatio);
    ui->video_view->centerOn(item);
}

void MainWindow::showCapturedFrame(const QPixmap &frame)
{
    QGraphicsScene *scene = ensurePreviewScene();
    scene->clear();
    const auto *item = scene->addPixmap(
        frame.scaled(ui->video_view->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    // The frame is already scaled to the view: drop the last still's fit, and
    // let the scene be exactly this frame so the view's alignment centres it.
    ui->video_view->resetTransform();
    scene->setSceneRect(item->boundingRect());
}
