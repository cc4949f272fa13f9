// The live preview: a still of the capture target twice a second while idle
// and in view, every captured frame while recording; the same refresh keeps a
// running recorder in step with the page's pointer and watermark options.
#include "app/pages/recordingpage.h"

#include "recorder/screenrecorder.h"
#include "ui_recordingpage.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QTimer>
#include <QWindow>

namespace {
constexpr int PreviewIntervalMs = 500;
} // namespace

void RecordingPage::setupPreview()
{
    ensurePreviewScene();
    ui->video_view->setAlignment(Qt::AlignCenter);
    ui->video_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->video_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(recorder, &ScreenRecorder::frameCaptured, this, &RecordingPage::showCapturedFrame);
    connect(previewTimer, &QTimer::timeout, this, &RecordingPage::onPreviewTimer);
}

void RecordingPage::startPreview()
{
    previewTimer->start(PreviewIntervalMs);
    refreshPreview();
}

void RecordingPage::redrawPreviewWhenIdle()
{
    if (!recordingActive && previewShown())
        refreshPreview();
}

// The still is worth a grab only where someone can see it: the record page
// of a window that is neither minimised nor hidden. A window the window
// manager iconifies may keep its normal state here, but it is no longer exposed.
bool RecordingPage::previewShown() const
{
    const QWidget *frame = window();
    return isVisible() && !frame->isMinimized() && frame->windowHandle() != nullptr
           && frame->windowHandle()->isExposed();
}

// Idle and unseen, a tick does nothing. A running recording still takes the
// page's options at every tick, seen or not.
void RecordingPage::onPreviewTimer()
{
    if (previewShown())
        refreshPreview();
    else if (recordingActive)
        pushPreviewOptions();
}

void RecordingPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Exposure tells when the window can be seen again, whoever hid it.
    if (QWindow *frame = window()->windowHandle())
        frame->installEventFilter(this);
}

bool RecordingPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window()->windowHandle() && event->type() == QEvent::Expose) {
        // Seen once the toolkit has handled the exposure.
        QTimer::singleShot(0, this, &RecordingPage::redrawPreviewWhenIdle);
    }
    return QWidget::eventFilter(watched, event);
}

QGraphicsScene *RecordingPage::ensurePreviewScene()
{
    if (ui->video_view->scene() == nullptr) {
        ui->video_view->setScene(new QGraphicsScene(this));
    }
    return ui->video_view->scene();
}

RecordingConfig RecordingPage::pushPreviewOptions()
{
    refreshCaptureArea();
    return targetedConfig();
}

void RecordingPage::refreshPreview()
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

void RecordingPage::showCapturedFrame(const QPixmap &frame)
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
