// The settings store: every group, key and default, loaded at start-up and
// after a reset, saved at exit and at each theme toggle; and the small
// handlers of the settings page that change those options.
#include "app/pages/settingspage.h"

#include "app/pages/screenchoice.h"
#include "app/pages/scheduleoptions.h"
#include "core/settingsstore.h"
#include "ui_settingspage.h"

#include <QApplication>

#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>

namespace {

QString defaultOutputDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
           + QStringLiteral("/Vexlo");
}

// Decimal integer that fits an int, as the opacity edit is read.
bool parseInt(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

// Recordings go to local folders only. Anything else, a URL that FFmpeg
// would open as a network stream or a path relative to wherever the program
// happened to start, is refused.
bool isLocalAbsolutePath(const QString &path)
{
    return path.startsWith(QLatin1Char('/'));
}

// Reads the store's numbers for the widgets of the current group. A value
// that the widget cannot show falls back to its default and is written back
// corrected at once, so the store stops carrying it.
class StoredValues
{
public:
    explicit StoredValues(QSettings &settings)
        : settings(settings)
    {
    }

    int index(const QString &key, int fallback, const QComboBox *combo)
    {
        return number(key, fallback, 0, combo->count() - 1);
    }

    int number(const QString &key, int fallback, const QSlider *slider)
    {
        return number(key, fallback, slider->minimum(), slider->maximum());
    }

    int number(const QString &key, int fallback, int minimum, int maximum)
    {
        if (!settings.contains(key))
            return fallback;
        bool ok = false;
        const int value = settings.value(key).toInt(&ok);
        if (ok && value >= minimum && value <= maximum)
            return value;
        correct(key, fallback);
        return fallback;
    }

    // The opacity is kept as the edit's text; only 0..100 is a valid one.
    QString percentText(const QString &key, int fallback)
    {
        return QString::number(number(key, fallback, 0, 100));
    }

    QColor colour(const QString &key, const QColor &fallback)
    {
        if (!settings.contains(key))
            return fallback;
        const QColor value = settings.value(key).value<QColor>();
        if (value.isValid())
            return value;
        correct(key, fallback);
        return fallback;
    }

    QString outputDirectory(const QString &key)
    {
        const QString value = settings.value(key).toString();
        if (isLocalAbsolutePath(value))
            return value;
        const QString fallback = defaultOutputDirectory();
        if (settings.contains(key))
            correct(key, fallback);
        return fallback;
    }

private:
    void correct(const QString &key, const QVariant &fallback)
    {
        const QString name = settings.group().isEmpty() ? key : settings.group() + u'/' + key;
        qWarning().noquote() << "Stored setting" << name << "=" << settings.value(key).toString()
                             << "cannot be used; the default is stored instead";
        settings.setValue(key, fallback);
    }

    QSettings &settings;
};

constexpr int StartImageSizePercent = 80;
constexpr int StartImageOpacity = 70;
// Items of the record page's mode box.
constexpr int RecordModeCount = 3;

} // namespace

SettingsPage::SettingsPage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::SettingsPage>())
    , schedule(new ScheduleOptions(this))
{
    ui->setupUi(this);
    setupScreenChoice();
    // Beside the sound box: the tab has no height to spare on small screens.
    ui->groupBox_row->addWidget(schedule);
    connectOptions();
    connectShortcutEditors();
}

SettingsPage::~SettingsPage()
{
    // Focus moves while the widgets go; the shortcut editors are gone by then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void SettingsPage::setupScreenChoice()
{
    screenChoice = new ScreenChoice(this);
    auto *row = new QHBoxLayout;
    row->addWidget(screenChoice);
    row->addStretch();
    auto *rows = qobject_cast<QBoxLayout *>(ui->horizontalLayout_quality->parent());
    if (rows != nullptr)
        rows->insertLayout(rows->indexOf(ui->horizontalLayout_quality), row);
    const auto showWhenOffered = [this] { screenChoice->setVisible(screenChoice->offersChoice()); };
    showWhenOffered();
    connect(screenChoice, &ScreenChoice::monitorsChanged, this, showWhenOffered);
    connect(screenChoice, &ScreenChoice::choiceChanged, this, &SettingsPage::screenChosen);
}

void SettingsPage::setScreen(const QString &choice)
{
    if (screenChoice->choice() != choice)
        screenChoice->setChoice(choice);
}

void SettingsPage::loadAtStart()
{
    load();
    // Every start begins with these image-watermark values, whatever was stored.
    ui->watermarkSizeSlider->setValue(StartImageSizePercent);
    ui->imageOpacityEdit->setText(QString::number(StartImageOpacity));
    connectWatermarkImageOptions();
}

RecordingConfig SettingsPage::recordingOptions() const
{
    RecordingConfig config;
    config.screen = screenChoice->choice();
    config.quality = static_cast<VideoQuality>(ui->qualityCombo->currentIndex());
    config.format = static_cast<OutputFormat>(ui->formatCombo->currentIndex());
    config.frameRate = ui->frameRateSlider->value();
    config.recordMicrophone = ui->recordMicrophoneCheck->isChecked();
    config.recordSystemAudio = ui->recordAudioCheck->isChecked();
    config.captureCursor = ui->captureCursorCheck->isChecked();
    config.cursorStyle = static_cast<CursorStyle>(ui->mouseStyleCombo->currentIndex());
    config.highlightClicks = ui->highlightCheckBox->isChecked();
    config.cursorSize = cursorSizeForIndex(ui->moueSizeCombo->currentIndex());
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
    return config;
}

int SettingsPage::countdownSeconds() const
{
    return schedule->countdownSeconds();
}

int SettingsPage::stopAfterSeconds() const
{
    return schedule->stopAfterSeconds();
}

bool SettingsPage::minimizesAfterRecording() const
{
    return ui->minimizeAfterRecordingCheck->isChecked();
}

bool SettingsPage::minimizesToTray() const
{
    return ui->RecMinToTray->isChecked();
}

void SettingsPage::setQuality(int index)
{
    if (ui->qualityCombo->currentIndex() != index)
        ui->qualityCombo->setCurrentIndex(index);
}

void SettingsPage::setFormat(int index)
{
    if (ui->formatCombo->currentIndex() != index)
        ui->formatCombo->setCurrentIndex(index);
}

// The box's own stored choice survives a session without a tray.
void SettingsPage::setTrayAvailable(bool available)
{
    if (available)
        return;
    const QSignalBlocker blocker(ui->RecMinToTray);
    ui->RecMinToTray->setEnabled(false);
    ui->RecMinToTray->setChecked(false);
}

void SettingsPage::setClickHighlightAvailable(bool available)
{
    clickHighlightAvailable = available;
    if (available)
        return;
    ui->highlightCheckBox->setEnabled(false);
    ui->highlightCheckBox->setToolTip(tr("Wayland 桌面不向程序报告鼠标点击，无法高亮点击"));
}

void SettingsPage::lockRecordingOptions(bool locked, bool runs)
{
    recordingRuns = runs;
    const QList<QWidget *> options = {
        ui->qualityCombo,       ui->formatCombo,           ui->frameRateSlider,
        ui->captureCursorCheck, ui->recordMicrophoneCheck, ui->recordAudioCheck,
        screenChoice,
    };
    for (QWidget *widget : options)
        widget->setEnabled(!locked);
    // A reset would retarget the recording; a pause does not unlock it.
    ui->resetButton->setEnabled(!locked && !runs);
}

void SettingsPage::load()
{
    const auto settings = openSettingsStore();
    StoredValues stored(*settings);

    settings->beginGroup(QStringLiteral("Recording"));
    storedMode = stored.number(QStringLiteral("mode"), 0, 0, RecordModeCount - 1);
    screenChoice->setChoice(settings->value(QStringLiteral("screen"), QString()).toString());
    ui->qualityCombo->setCurrentIndex(stored.index(QStringLiteral("quality"), 1, ui->qualityCombo));
    ui->formatCombo->setCurrentIndex(stored.index(QStringLiteral("format"), 0, ui->formatCombo));
    ui->frameRateSlider->setValue(stored.number(QStringLiteral("frameRate"), 30, ui->frameRateSlider));
    ui->captureCursorCheck->setChecked(settings->value(QStringLiteral("captureCursor"), true).toBool());
    ui->highlightCheckBox->setChecked(settings->value(QStringLiteral("highlightClick"), false).toBool());
    ui->minimizeAfterRecordingCheck->setChecked(
        settings->value(QStringLiteral("minimizeAfterRecording"), false).toBool());
    schedule->setCountdownSeconds(stored.number(QStringLiteral("countdown"), 0, 0, 10));
    schedule->setStopAfterSeconds(
        stored.number(QStringLiteral("stopAfterSeconds"), 0, 0, 24 * 3600 - 1));
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Mouse"));
    ui->moueSizeCombo->setCurrentIndex(stored.index(QStringLiteral("sizeIndex"), 3, ui->moueSizeCombo));
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Audio"));
    ui->recordMicrophoneCheck->setChecked(
        settings->value(QStringLiteral("recordMicrophone"), false).toBool());
    ui->recordAudioCheck->setChecked(settings->value(QStringLiteral("recordSystemAudio"), false).toBool());
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Watermark"));
    ui->watermarkCheck->setChecked(settings->value(QStringLiteral("enabled"), false).toBool());
    ui->watermarkImgCheck->setChecked(settings->value(QStringLiteral("imageEnabled"), false).toBool());
    ui->watermarkGroupBox->setEnabled(true);
    ui->watermarkTextEdit->setText(settings->value(QStringLiteral("text"), QStringLiteral("Vexlo")).toString());
    ui->watermarkPositionCombo->setCurrentIndex(
        stored.index(QStringLiteral("position"), 2, ui->watermarkPositionCombo));
    ui->watermarkSize->setCurrentIndex(stored.index(QStringLiteral("sizeIndex"), 6, ui->watermarkSize));
    watermarkColor = stored.colour(QStringLiteral("color"), QColor(Qt::red));
    ui->watermarkPath->setText(settings->value(QStringLiteral("imagePath"), QString()).toString());
    ui->watermarkSizeSlider->setValue(
        stored.number(QStringLiteral("imageSize"), 100, ui->watermarkSizeSlider));
    ui->imageOpacityEdit->setText(stored.percentText(QStringLiteral("imageOpacity"), 70));
    ui->watermarkCheck->setEnabled(true);
    ui->watermarkGroupBox->setEnabled(true);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("General"));
    ui->autoStartCheckBox->setChecked(settings->value(QStringLiteral("autoStart"), false).toBool());
    const QString outputDir = stored.outputDirectory(QStringLiteral("outputDir"));
    if (outputDir == defaultOutputDirectory())
        QDir().mkpath(outputDir);
    setOutputDirectory(outputDir);
    settings->endGroup();

    {
        // Loading is no choice of the user's: the store keeps what it has.
        const QSignalBlocker blocker(ui->RecMinToTray);
        ui->RecMinToTray->setChecked(ui->RecMinToTray->isEnabled()
                                     && settings->value(QStringLiteral("minimizeToTray"), false).toBool());
    }
    loadShortcuts();
    emit recordModeLoaded(storedMode);
    emit screenChosen(screenChoice->choice());
}

void SettingsPage::save()
{
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Recording"));
        settings->setValue(QStringLiteral("mode"), storedMode);
        settings->setValue(QStringLiteral("screen"), screenChoice->choice());
        settings->setValue(QStringLiteral("quality"), ui->qualityCombo->currentIndex());
        settings->setValue(QStringLiteral("format"), ui->formatCombo->currentIndex());
        settings->setValue(QStringLiteral("frameRate"), ui->frameRateSlider->value());
        settings->setValue(QStringLiteral("captureCursor"), ui->captureCursorCheck->isChecked());
        settings->setValue(QStringLiteral("highlightClick"), ui->highlightCheckBox->isChecked());
        settings->setValue(QStringLiteral("minimizeAfterRecording"),
                           ui->minimizeAfterRecordingCheck->isChecked());
        settings->setValue(QStringLiteral("countdown"), schedule->countdownSeconds());
        settings->setValue(QStringLiteral("stopAfterSeconds"), schedule->stopAfterSeconds());
        settings->endGroup();

        settings->beginGroup(QStringLiteral("Mouse"));
        settings->setValue(QStringLiteral("sizeIndex"), ui->moueSizeCombo->currentIndex());
        settings->endGroup();

        settings->beginGroup(QStringLiteral("Audio"));
        settings->setValue(QStringLiteral("recordMicrophone"), ui->recordMicrophoneCheck->isChecked());
        settings->setValue(QStringLiteral("recordSystemAudio"), ui->recordAudioCheck->isChecked());
        settings->endGroup();

        settings->beginGroup(QStringLiteral("Watermark"));
        settings->setValue(QStringLiteral("enabled"), ui->watermarkCheck->isChecked());
        settings->setValue(QStringLiteral("imageEnabled"), ui->watermarkImgCheck->isChecked());
        settings->setValue(QStringLiteral("text"), ui->watermarkTextEdit->text());
        settings->setValue(QStringLiteral("position"), ui->watermarkPositionCombo->currentIndex());
        settings->setValue(QStringLiteral("sizeIndex"), ui->watermarkSize->currentIndex());
        settings->setValue(QStringLiteral("color"), watermarkColor);
        settings->setValue(QStringLiteral("imagePath"), ui->watermarkPath->text());
        settings->setValue(QStringLiteral("imageSize"), ui->watermarkSizeSlider->value());
        settings->setValue(QStringLiteral("imageOpacity"), ui->imageOpacityEdit->text());
        settings->endGroup();

        settings->beginGroup(QStringLiteral("General"));
        settings->setValue(QStringLiteral("autoStart"), ui->autoStartCheckBox->isChecked());
        settings->setValue(QStringLiteral("outputDir"), outputDir);
        settings->endGroup();
        // An unwritable store is no reason to stop the user; say so in the log.
        settings->sync();
        if (settings->status() != QSettings::NoError)
            qWarning().noquote() << "Settings could not be written:" << settings->fileName();
    }
    updateAutoStartEntry();
}

void SettingsPage::refreshOutputDirDisplay()
{
    ui->outputDirLabel->setText(outputDir);
    ui->outputDirLabel->setToolTip(outputDir);
}

// An empty folder changes nothing, as the recorder would keep its own.
void SettingsPage::setOutputDirectory(const QString &dir)
{
    if (!dir.isEmpty())
        outputDir = dir;
    refreshOutputDirDisplay();
    emit outputDirectoryChanged(outputDir);
}

void SettingsPage::connectOptions()
{
    connect(ui->frameRateSlider, &QSlider::valueChanged, this, &SettingsPage::updateFrameRateLabel);
    connect(ui->outputDirButton, &QPushButton::clicked, this, &SettingsPage::onOutputDirButtonClicked);
    connect(ui->watermarkColorButton, &QPushButton::clicked, this,
            &SettingsPage::onWatermarkColorButtonClicked);
    connect(ui->resetButton, &QPushButton::clicked, this, &SettingsPage::restoreDefaultSettings);
    connect(ui->qualityCombo, &QComboBox::currentIndexChanged, this, &SettingsPage::qualityChosen);
    connect(ui->formatCombo, &QComboBox::currentIndexChanged, this, &SettingsPage::formatChosen);
    connect(ui->RecMinToTray, &QCheckBox::toggled, this, [](bool checked) {
        openSettingsStore()->setValue(QStringLiteral("minimizeToTray"), checked);
    });

    // What the preview shows follows these at once.
    for (QCheckBox *box : {ui->highlightCheckBox, ui->watermarkCheck})
        connect(box, &QCheckBox::toggled, this, &SettingsPage::previewOptionsChanged);
    for (QComboBox *combo : {ui->mouseStyleCombo, ui->moueSizeCombo, ui->watermarkPositionCombo,
                             ui->watermarkSize})
        connect(combo, &QComboBox::currentIndexChanged, this, &SettingsPage::previewOptionsChanged);
    connect(ui->watermarkTextEdit, &QLineEdit::textChanged, this,
            &SettingsPage::previewOptionsChanged);
}

void SettingsPage::connectWatermarkImageOptions()
{
    // At most one kind of watermark is on after any user action.
    connect(ui->watermarkCheck, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            ui->watermarkImgCheck->setChecked(false);
    });
    connect(ui->watermarkImgCheck, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            ui->watermarkCheck->setChecked(false);
    });
    connect(ui->watermarkImgButton, &QPushButton::clicked, this,
            &SettingsPage::onWatermarkImageButtonClicked);
    connect(ui->imageOpacityEdit, &QLineEdit::textChanged, this, &SettingsPage::onImageOpacityChanged);
    connect(ui->watermarkSizeSlider, &QSlider::valueChanged, this,
            &SettingsPage::updateWatermarkSizeSlider);
    // The slider was set before it was connected; its label shows the value now.
    ui->watermarkSizeSliderShow->setText(QStringLiteral("%1%").arg(ui->watermarkSizeSlider->value()));
}

void SettingsPage::updateFrameRateLabel(int value)
{
    ui->frameRateLabel->setText(QString::number(value) + QStringLiteral(" FPS"));
}

void SettingsPage::onOutputDirButtonClicked()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("选择输出目录"), outputDir,
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    useChosenOutputDirectory(dir);
}

void SettingsPage::useChosenOutputDirectory(const QString &dir)
{
    if (dir.isEmpty())
        return;
    // A desktop's own folder dialog may hand back a network location as a URL.
    if (!isLocalAbsolutePath(dir)) {
        QMessageBox::warning(this, tr("警告"), tr("输出目录必须是本机上的文件夹：\n%1").arg(dir));
        return;
    }
    setOutputDirectory(dir);
}

void SettingsPage::onWatermarkColorButtonClicked()
{
    const QColor color = QColorDialog::getColor(watermarkColor, this, tr("选择水印颜色"));
    if (color.isValid())
        watermarkColor = color;
}

void SettingsPage::onWatermarkImageButtonClicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("选择水印图片"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        tr("Images (*.png *.jpg *.jpeg *.bmp)"));
    if (path.isEmpty())
        return;
    ui->watermarkPath->setText(path);
    emit previewOptionsChanged();
}

void SettingsPage::updateWatermarkSizeSlider(int value)
{
    ui->watermarkSizeSliderShow->setText(QStringLiteral("%1%").arg(value));
    emit previewOptionsChanged();
}

void SettingsPage::onImageOpacityChanged(const QString &text)
{
    int opacity = 0;
    if (!parseInt(text, &opacity) || opacity < 0 || opacity > 100)
        return;
    emit previewOptionsChanged();
}

void SettingsPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

// The generated retranslation re-selects the pointer style's first item and
// puts back the form's frame-rate text and tooltips: the selection and what
// the desktop cannot offer are restored.
void SettingsPage::retranslate()
{
    const int mouseStyle = ui->mouseStyleCombo->currentIndex();
    {
        const QSignalBlocker styleBlocker(ui->mouseStyleCombo);
        ui->retranslateUi(this);
        ui->mouseStyleCombo->setCurrentIndex(mouseStyle);
    }
    updateFrameRateLabel(ui->frameRateSlider->value());
    setClickHighlightAvailable(clickHighlightAvailable);
    setGlobalShortcutsAvailable(globalShortcutsAvailable);
}
