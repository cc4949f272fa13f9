#include "app/trim/trimdialog.h"

#include "app/trim/trimslider.h"
#include "app/trim/trimtime.h"
#include "converter/conversionrunner.h"
#include "converter/cutprofiles.h"
#include "core/settingsstore.h"
#include "media/framereader.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

// Pictures are decoded at most this large: the dialog shows them no larger.
const QSize PictureBox(768, 432);
constexpr int PlayTickMs = 10;
constexpr int ProgressIntervalMs = 100;
constexpr int64_t OneSecondUs = 1000000;
// A typed time names the frame within this much of it (the text shows
// milliseconds, a frame's time has microseconds).
constexpr int64_t TypedSlackUs = 500;

const QString GifWidthKey = QStringLiteral("Trim/gifWidth");
const QString GifRateKey = QStringLiteral("Trim/gifRate");
constexpr int GifWidths[] = {1280, 800, 640, 480};
constexpr int GifRates[] = {10, 15, 20};

} // namespace

TrimDialog::TrimDialog(const QString &recordingPath, QWidget *parent)
    : QDialog(parent)
    , recording(recordingPath)
    , frames(new media::FrameReader(this))
    , runner(new ConversionRunner(
          [this](QProcess *process, const QString &, const QSet<QString> &) {
              process->setArguments(pendingArguments);
              return pendingArgumentsOutput;
          },
          this))
    , playTimer(new QTimer(this))
    , progressTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("trimDialog"));
    buildForm();
    resize(860, 640);
    retranslate();
    connectKeys();
    setBusy(false);
    playTimer->setInterval(PlayTickMs);
    progressTimer->setInterval(ProgressIntervalMs);
    connect(playTimer, &QTimer::timeout, this, &TrimDialog::playTick);
    connect(progressTimer, &QTimer::timeout, this, &TrimDialog::updateProgress);
    connect(frames, &media::FrameReader::opened, this, &TrimDialog::onOpened);
    connect(frames, &media::FrameReader::failed, this, [this](const QString &reason) {
        tell(tr("无法读取这个录制文件：%1").arg(reason));
    });
    connect(frames, &media::FrameReader::frameReady, this, &TrimDialog::onFrameReady);
    connect(runner, &ConversionRunner::batchFinished, this, &TrimDialog::onSaveFinished);
    frames->open(recording, PictureBox);
}

TrimDialog::~TrimDialog()
{
    runner->stopNow();
}

QString TrimDialog::outputBeingWritten() const
{
    return runner->outputBeingWritten();
}

void TrimDialog::buildForm()
{
    picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("trimPicture"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(PictureBox / 2);
    picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    picture->setStyleSheet(QStringLiteral("background: black;"));
    // The keys act on the picture; the slider follows the mouse only.
    picture->setFocusPolicy(Qt::StrongFocus);

    slider = new TrimSlider(this);
    slider->setObjectName(QStringLiteral("trimSlider"));
    slider->setFocusPolicy(Qt::NoFocus);
    slider->setEnabled(false);
    connect(slider, &QSlider::valueChanged, this, [this](int value) {
        if (value != position)
            showFrame(value);
    });

    const auto timeEdit = [this](const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setEnabled(false);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { onTimeEdited(edit); });
        return edit;
    };
    positionEdit = timeEdit("positionEdit");
    startEdit = timeEdit("startEdit");
    endEdit = timeEdit("endEdit");
    positionLabel = new QLabel(this);
    startLabel = new QLabel(this);
    endLabel = new QLabel(this);
    positionLabel->setBuddy(positionEdit);
    startLabel->setBuddy(startEdit);
    endLabel->setBuddy(endEdit);

    widthLabel = new QLabel(this);
    widthBox = new QComboBox(this);
    widthBox->setObjectName(QStringLiteral("gifWidthBox"));
    widthLabel->setBuddy(widthBox);
    rateLabel = new QLabel(this);
    rateBox = new QComboBox(this);
    rateBox->setObjectName(QStringLiteral("gifRateBox"));
    rateLabel->setBuddy(rateBox);

    saveVideoButton = new QPushButton(this);
    saveVideoButton->setObjectName(QStringLiteral("saveVideoButton"));
    saveGifButton = new QPushButton(this);
    saveGifButton->setObjectName(QStringLiteral("saveGifButton"));
    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("trimCloseButton"));
    for (QPushButton *button : {saveVideoButton, saveGifButton, closeButton})
        button->setAutoDefault(false);
    connect(saveVideoButton, &QPushButton::clicked, this, [this] { save(Output::Video); });
    connect(saveGifButton, &QPushButton::clicked, this, [this] { save(Output::Gif); });
    connect(closeButton, &QPushButton::clicked, this, &TrimDialog::reject);

    progress = new QProgressBar(this);
    progress->setRange(0, 100);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("trimCancelButton"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &TrimDialog::onCancelClicked);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("trimStatus"));
    status->setWordWrap(true);

    auto *timesRow = new QHBoxLayout;
    for (const auto &[label, edit] : {std::pair{positionLabel, positionEdit}, std::pair{startLabel, startEdit},
                                      std::pair{endLabel, endEdit}}) {
        timesRow->addWidget(label);
        timesRow->addWidget(edit);
        timesRow->addSpacing(12);
    }
    timesRow->addStretch();

    auto *outputRow = new QHBoxLayout;
    outputRow->addWidget(widthLabel);
    outputRow->addWidget(widthBox);
    outputRow->addWidget(rateLabel);
    outputRow->addWidget(rateBox);
    outputRow->addStretch();
    outputRow->addWidget(saveVideoButton);
    outputRow->addWidget(saveGifButton);
    outputRow->addWidget(closeButton);

    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(progress, 1);
    progressRow->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture, 1);
    layout->addWidget(slider);
    layout->addLayout(timesRow);
    layout->addLayout(outputRow);
    layout->addLayout(progressRow);
    layout->addWidget(status);
    picture->setFocus();
}

void TrimDialog::retranslate()
{
    setWindowTitle(tr("剪辑"));
    positionLabel->setText(tr("位置"));
    startLabel->setText(tr("起点"));
    endLabel->setText(tr("终点"));
    widthLabel->setText(tr("GIF 宽度"));
    rateLabel->setText(tr("GIF 帧率"));
    saveVideoButton->setText(tr("保存视频"));
    saveGifButton->setText(tr("保存 GIF"));
    closeButton->setText(tr("关闭"));
    cancelButton->setText(tr("取消"));
    if (widthBox->count() > 0)
        widthBox->setItemText(0, tr("原始尺寸"));
}

void TrimDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

// Shortcuts, not key presses: a time being typed keeps its keys (the line
// edit claims them first), everywhere else they move the position.
void TrimDialog::connectKeys()
{
    const auto bind = [this](QKeySequence keys, auto action) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setAutoRepeat(true);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    bind(QKeySequence(Qt::Key_Right), [this] { step(1); });
    bind(QKeySequence(Qt::Key_Left), [this] { step(-1); });
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { step(INT_MAX); });
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { step(INT_MIN); });
    bind(QKeySequence(Qt::Key_Home), [this] { showFrame(0); });
    bind(QKeySequence(Qt::Key_End), [this] { showFrame(int(times.size()) - 1); });
    bind(QKeySequence(Qt::Key_I), [this] { markStart(); });
    bind(QKeySequence(Qt::Key_O), [this] { markEnd(); });
    bind(QKeySequence(Qt::Key_Space), [this] { togglePlay(); });
}

void TrimDialog::fillGifBoxes()
{
    const auto settings = openSettingsStore();
    const int storedWidth = settings->value(GifWidthKey, converter::DefaultGifWidth).toInt();
    const int storedRate = settings->value(GifRateKey, converter::DefaultGifRate).toInt();
    widthBox->addItem(tr("原始尺寸"), 0);
    for (const int width : GifWidths) {
        // None wider than the recording.
        if (width < videoSize.width())
            widthBox->addItem(QStringLiteral("%1 px").arg(width), width);
    }
    for (const int rate : GifRates)
        rateBox->addItem(QStringLiteral("%1 fps").arg(rate), rate);
    widthBox->setCurrentIndex(std::max(0, widthBox->findData(storedWidth)));
    rateBox->setCurrentIndex(std::max(0, rateBox->findData(storedRate)));
    connect(widthBox, &QComboBox::currentIndexChanged, this,
            [this] { openSettingsStore()->setValue(GifWidthKey, widthBox->currentData()); });
    connect(rateBox, &QComboBox::currentIndexChanged, this,
            [this] { openSettingsStore()->setValue(GifRateKey, rateBox->currentData()); });
}

void TrimDialog::onOpened(const QList<int64_t> &frameTimesUs, int64_t fileEndUs, QSize size)
{
    times = frameTimesUs;
    endUs = fileEndUs;
    videoSize = size;
    startIndex = 0;
    endIndex = int(times.size());
    slider->setRange(0, int(times.size()) - 1);
    slider->setEnabled(true);
    for (QLineEdit *edit : {positionEdit, startEdit, endEdit})
        edit->setEnabled(true);
    fillGifBoxes();
    setBusy(false);
    showFrame(0);
}

void TrimDialog::onFrameReady(int index, const QImage &image)
{
    if (image.isNull())
        return;
    shown = index;
    picture->setPixmap(QPixmap::fromImage(image).scaled(picture->size(), Qt::KeepAspectRatio,
                                                         Qt::SmoothTransformation));
}

int64_t TrimDialog::timeOf(int index) const
{
    return index >= int(times.size()) ? endUs : times.at(std::clamp(index, 0, int(times.size()) - 1));
}

// The frame on screen at that time: the last one that starts at or before it.
int TrimDialog::frameShownAt(int64_t us) const
{
    const auto after = std::upper_bound(times.begin(), times.end(), us + TypedSlackUs);
    return std::max(0, int(after - times.begin()) - 1);
}

// The first frame that starts at or after that time; past the last one, the end.
int TrimDialog::frameFrom(int64_t us) const
{
    return int(std::lower_bound(times.begin(), times.end(), us - TypedSlackUs) - times.begin());
}

void TrimDialog::showFrame(int index)
{
    if (times.isEmpty())
        return;
    position = std::clamp(index, 0, int(times.size()) - 1);
    {
        const QSignalBlocker block(slider);
        slider->setValue(position);
    }
    showTimes();
    frames->requestFrame(position);
}

// INT_MAX and INT_MIN step a second rather than a number of frames.
void TrimDialog::step(int count)
{
    stopPlaying();
    if (count == INT_MAX)
        showFrame(frameShownAt(timeOf(position) + OneSecondUs));
    else if (count == INT_MIN)
        showFrame(frameShownAt(timeOf(position) - OneSecondUs));
    else
        showFrame(position + count);
}

void TrimDialog::markStart()
{
    if (times.isEmpty())
        return;
    if (position >= endIndex) {
        tell(tr("起点必须在终点之前"));
        return;
    }
    startIndex = position;
    showTimes();
}

void TrimDialog::markEnd()
{
    if (times.isEmpty())
        return;
    if (position <= startIndex) {
        tell(tr("终点必须在起点之后"));
        return;
    }
    endIndex = position;
    showTimes();
}

void TrimDialog::togglePlay()
{
    if (playTimer->isActive()) {
        stopPlaying();
        return;
    }
    if (times.isEmpty())
        return;
    // From the last frame, playing starts over from the first.
    if (position >= int(times.size()) - 1)
        showFrame(0);
    playFromUs = timeOf(position);
    playClock.start();
    playTimer->start();
}

void TrimDialog::playTick()
{
    const int index = frameShownAt(playFromUs + playClock.nsecsElapsed() / 1000 - TypedSlackUs);
    if (index != position)
        showFrame(index);
    if (index >= int(times.size()) - 1)
        playTimer->stop();
}

void TrimDialog::stopPlaying()
{
    playTimer->stop();
}

void TrimDialog::onTimeEdited(QLineEdit *edit)
{
    if (times.isEmpty() || !edit->isModified())
        return;
    edit->setModified(false);
    int64_t us = 0;
    if (!trim::parseTime(edit->text(), &us)) {
        tell(tr("无法识别的时间：%1（格式为 [时:]分:秒.毫秒）").arg(edit->text()));
        showTimes();
        return;
    }
    stopPlaying();
    if (edit == positionEdit) {
        showFrame(frameShownAt(us));
        tell(QString());
        return;
    }
    if (edit == startEdit) {
        const int index = std::min(frameShownAt(us), int(times.size()) - 1);
        if (index >= endIndex) {
            tell(tr("起点必须在终点之前"));
            showTimes();
            return;
        }
        startIndex = index;
    } else {
        const int index = frameFrom(std::min(us, endUs));
        if (index <= startIndex) {
            tell(tr("终点必须在起点之后"));
            showTimes();
            return;
        }
        endIndex = index;
    }
    tell(QString());
    showTimes();
}

void TrimDialog::showTimes()
{
    positionEdit->setText(trim::formatTime(timeOf(position)));
    startEdit->setText(trim::formatTime(timeOf(startIndex)));
    endEdit->setText(trim::formatTime(timeOf(endIndex)));
    slider->setMarks(startIndex, endIndex);
}

void TrimDialog::tell(const QString &text)
{
    status->setText(text);
}

void TrimDialog::save(Output output)
{
    if (times.isEmpty() || runner->isBusy())
        return;
    stopPlaying();
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        QMessageBox::warning(this, tr("剪辑"), tr("未找到 ffmpeg 程序，请先安装 ffmpeg。"));
        return;
    }
    const QFileInfo input(recording);
    const QString stem = input.absolutePath() + QLatin1Char('/') + input.completeBaseName();
    const int64_t from = timeOf(startIndex);
    const int64_t to = timeOf(endIndex);
    if (output == Output::Video) {
        pendingArgumentsOutput = converter::freeNumberedPath(stem + QStringLiteral("_trim.") + input.suffix());
        pendingArguments = converter::cutVideoArguments(recording, pendingArgumentsOutput, from, to);
    } else {
        pendingArgumentsOutput = converter::freeNumberedPath(stem + QStringLiteral(".gif"));
        pendingArguments = converter::cutGifArguments(recording, pendingArgumentsOutput, from, to,
                                                      widthBox->currentData().toInt(),
                                                      rateBox->currentData().toInt());
    }
    savingPath = pendingArgumentsOutput;
    tell(tr("正在保存 %1…").arg(QFileInfo(savingPath).fileName()));
    progress->setValue(0);
    setBusy(true);
    progressTimer->start();
    runner->start({recording}, {input.size()}, {to - from});
}

void TrimDialog::updateProgress()
{
    if (!runner->isBusy()) {
        progressTimer->stop();
        setBusy(false);
        return;
    }
    progress->setValue(std::max(progress->value(), runner->percent()));
}

void TrimDialog::onCancelClicked()
{
    // The partial file goes once ffmpeg has ended; the buttons wait for it.
    runner->stopAllProcesses();
    tell(tr("已取消，未保存任何文件"));
}

void TrimDialog::onSaveFinished(const converter::BatchReport &report)
{
    progressTimer->stop();
    setBusy(false);
    const QString name = QFileInfo(savingPath).fileName();
    if (!report.failures.isEmpty()) {
        const QString reason = report.failures.first().reason;
        tell(tr("无法保存 %1：%2").arg(name, reason));
        QMessageBox::warning(this, tr("剪辑"), tr("无法保存 %1：%2").arg(name, reason));
        return;
    }
    progress->setValue(100);
    tell(tr("已保存 %1").arg(name));
    emit saved(savingPath);
}

void TrimDialog::setBusy(bool busy)
{
    const bool ready = !busy && !times.isEmpty();
    saveVideoButton->setEnabled(ready);
    saveGifButton->setEnabled(ready);
    widthBox->setEnabled(ready);
    rateBox->setEnabled(ready);
    progress->setVisible(busy);
    cancelButton->setVisible(busy);
}

void TrimDialog::reject()
{
    stopPlaying();
    runner->stopNow();
    QDialog::reject();
}
