// The settings store: every group, key and default, loaded at start-up and
// after a reset, saved at exit and at each theme toggle; and the small
// handlers of the settings page that change those options.
#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "platform/autostart.h"
#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
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

} // namespace

void MainWindow::loadSettings()
{
    const auto settings = openSettingsStore();
    StoredValues stored(*settings);
    isDarkTheme = settings->value(QStringLiteral("theme"), QStringLiteral("light")).toString()
                  == QLatin1String("dark");

    settings->beginGroup(QStringLiteral("Recording"));
    ui->recordModeCombo->setCurrentIndex(stored.index(QStringLiteral("mode"), 0, ui->recordModeCombo));
    ui->qualityCombo->setCurrentIndex(stored.index(QStringLiteral("quality"), 1, ui->qualityCombo));
    ui->formatCombo->setCurrentIndex(stored.index(QStringLiteral("format"), 0, ui->formatCombo));
    ui->frameRateSlider->setValue(stored.number(QStringLiteral("frameRate"), 30, ui->frameRateSlider));
    ui->captureCursorCheck->setChecked(settings->value(QStringLiteral("captureCursor"), true).toBool());
    ui->highlightCheckBox->setChecked(settings->value(QStringLiteral("highlightClick"), false).toBool());
    ui->minimizeAfterRecordingCheck->setChecked(
        settings->value(QStringLiteral("minimizeAfterRecording"), false).toBool());
    recordingConfig.highlightClicks = ui->highlightCheckBox->isChecked();
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Mouse"));
    ui->moueSizeCombo->setCurrentIndex(stored.index(QStringLiteral("sizeIndex"), 3, ui->moueSizeCombo));
    recordingConfig.cursorSize = cursorSizeForIndex(ui->moueSizeCombo->currentIndex());
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
    recordingConfig.watermarkImagePath = ui->watermarkPath->text();
    recordingConfig.imageSizePercent = ui->watermarkSizeSlider->value();
    int opacity = 0;
    recordingConfig.imageOpacity = parseInt(ui->imageOpacityEdit->text(), &opacity) ? opacity : 0;
    ui->watermarkCheck->setEnabled(true);
    ui->watermarkGroupBox->setEnabled(true);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("General"));
    ui->autoStartCheckBox->setChecked(settings->value(QStringLiteral("autoStart"), false).toBool());
    const QString outputDir = stored.outputDirectory(QStringLiteral("outputDir"));
    if (outputDir == defaultOutputDirectory())
        QDir().mkpath(outputDir);
    recorder->setOutputDirectory(outputDir);
    refreshOutputDirDisplay();
    settings->endGroup();

    ui->RecMinToTray->setChecked(settings->value(QStringLiteral("minimizeToTray"), false).toBool());
}

void MainWindow::saveSettings()
{
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Recording"));
        settings->setValue(QStringLiteral("mode"), ui->recordModeCombo->currentIndex());
        settings->setValue(QStringLiteral("quality"), ui->qualityCombo->currentIndex());
        settings->setValue(QStringLiteral("format"), ui->formatCombo->currentIndex());
        settings->setValue(QStringLiteral("frameRate"), ui->frameRateSlider->value());
        settings->setValue(QStringLiteral("captureCursor"), ui->captureCursorCheck->isChecked());
        settings->setValue(QStringLiteral("highlightClick"), ui->highlightCheckBox->isChecked());
        settings->setValue(QStringLiteral("minimizeAfterRecording"),
                           ui->minimizeAfterRecordingCheck->isChecked());
        settings->endGroup();

        settings->beginGroup(QStringLiteral("Mouse"));
        settings->setValue(QStringLiteral("sizeIndex"), ui->moueSizeCombo->currentIndex());
        settings->endGroup();

        settings->setValue(QStringLiteral("theme"),
                           isDarkTheme ? QStringLiteral("dark") : QStringLiteral("light"));

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
        settings->setValue(QStringLiteral("outputDir"), recorder->outputDirectory());
        settings->endGroup();
        // An unwritable store is no reason to stop the user; say so in the log.
        settings->sync();
        if (settings->status() != QSettings::NoError)
            qWarning().noquote() << "Settings could not be written:" << settings->fileName();
    }
    updateAutoStartEntry();
}

void MainWindow::refreshOutputDirDisplay()
{
    const QString dir = recorder->outputDirectory();
    ui->outputDirLabel->setText(dir);
    ui->outputDirLabel->setToolTip(dir);
}

void MainWindow::connectSettingsPage()
{
    connect(ui->frameRateSlider, &QSlider::valueChanged, this, &MainWindow::updateFrameRateLabel);
    connect(ui->outputDirButton, &QPushButton::clicked, this, &MainWindow::onOutputDirButtonClicked);
    connect(ui->watermarkColorButton, &QPushButton::clicked, this,
            &MainWindow::onWatermarkColorButtonClicked);
    connect(ui->resetButton, &QPushButton::clicked, this, &MainWindow::restoreDefaultSettings);
}

void MainWindow::connectWatermarkImageOptions()
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
            &MainWindow::onWatermarkImageButtonClicked);
    connect(ui->imageOpacityEdit, &QLineEdit::textChanged, this, &MainWindow::onImageOpacityChanged);
    connect(ui->watermarkSizeSlider, &QSlider::valueChanged, this,
            &MainWindow::updateWatermarkSizeSlider);
    // The slider was set before it was connected; its label shows the value now.
    ui->watermarkSizeSliderShow->setText(QStringLiteral("%1%").arg(ui->watermarkSizeSlider->value()));
}

void MainWindow::connectMinimizeToTray()
{
    connect(ui->RecMinToTray, &QCheckBox::toggled, this, [this](bool checked) {
        const auto settings = openSettingsStore();
        settings->setValue(QStringLiteral("minimizeToTray"), checked);
    });
}

void MainWindow::updateFrameRateLabel(int value)
{
    ui->frameRateLabel->setText(QString::number(value) + QStringLiteral(" FPS"));
}

void MainWindow::onOutputDirButtonClicked()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("选择输出目录"), recorder->outputDirectory(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    useChosenOutputDirectory(dir);
}

void MainWindow::useChosenOutputDirectory(const QString &dir)
{
    if (dir.isEmpty())
        return;
    // A desktop's own folder dialog may hand back a network location as a URL.
    if (!isLocalAbsolutePath(dir)) {
        QMessageBox::warning(this, tr("警告"), tr("输出目录必须是本机上的文件夹：\n%1").arg(dir));
        return;
    }
    recorder->setOutputDirectory(dir);
    refreshOutputDirDisplay();
}

void MainWindow::onWatermarkColorButtonClicked()
{
    const QColor color = QColorDialog::getColor(watermarkColor, this, tr("选择水印颜色"));
    if (color.isValid())
        watermarkColor = color;
}

void MainWindow::onWatermarkImageButtonClicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("选择水印图片"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        tr("Images (*.png *.jpg *.jpeg *.bmp)"));
    if (path.isEmpty())
        return;
    ui->watermarkPath->setText(path);
    recordingConfig.watermarkImagePath = path;
    redrawPreviewWhenIdle();
}

void MainWindow::updateWatermarkSizeSlider(int value)
{
    ui->watermarkSizeSliderShow->setText(QStringLiteral("%1%").arg(value));
    recordingConfig.imageSizePercent = value;
    redrawPreviewWhenIdle();
}

void MainWindow::onImageOpacityChanged(const QString &text)
{
    int opacity = 0;
    if (!parseInt(text, &opacity) || opacity < 0 || opacity > 100)
        return;
    recordingConfig.imageOpacity = opacity;
    redrawPreviewWhenIdle();
}
