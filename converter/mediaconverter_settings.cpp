// The page's choices in the settings store's group Converter: formats, bit
// rate, quality, the two output folders and the folder files were last
// added from. Read at construction, written as each choice is made.
#include "core/settingsstore.h"
#include "converter/mediaconverter.h"
#include "ui_mediaconverter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString Group = QStringLiteral("Converter");

int storedIndex(const QSettings &settings, const QString &key, const QComboBox *combo)
{
    bool ok = false;
    const int index = settings.value(key).toInt(&ok);
    return ok && index >= 0 && index < combo->count() ? index : 0;
}

// Only absolute local folders, as for recordings; anything else keeps the default.
QString storedFolder(const QSettings &settings, const QString &key, const QString &fallback)
{
    const QString folder = settings.value(key).toString();
    return folder.startsWith(QLatin1Char('/')) ? folder : fallback;
}

} // namespace

void MediaConverter::loadSettings()
{
    const auto settings = openSettingsStore();
    settings->beginGroup(Group);
    ui->audioFormatCombo->setCurrentIndex(storedIndex(*settings, "audioFormat", ui->audioFormatCombo));
    ui->audioBitrateCombo->setCurrentIndex(storedIndex(*settings, "audioBitrate", ui->audioBitrateCombo));
    ui->videoFormatCombo->setCurrentIndex(storedIndex(*settings, "videoFormat", ui->videoFormatCombo));
    ui->videoQualityCombo->setCurrentIndex(storedIndex(*settings, "videoQuality", ui->videoQualityCombo));
    ui->outputDirAudioLabel->setText(
        storedFolder(*settings, "audioOutputDir", ui->outputDirAudioLabel->text()));
    ui->outputDirVideoLabel->setText(
        storedFolder(*settings, "videoOutputDir", ui->outputDirVideoLabel->text()));
    lastAddFolder = storedFolder(*settings, "lastAddDir", QString());
    settings->endGroup();
}

void MediaConverter::saveSettings() const
{
    const auto settings = openSettingsStore();
    settings->beginGroup(Group);
    settings->setValue("audioFormat", ui->audioFormatCombo->currentIndex());
    settings->setValue("audioBitrate", ui->audioBitrateCombo->currentIndex());
    settings->setValue("videoFormat", ui->videoFormatCombo->currentIndex());
    settings->setValue("videoQuality", ui->videoQualityCombo->currentIndex());
    settings->setValue("audioOutputDir", ui->outputDirAudioLabel->text());
    settings->setValue("videoOutputDir", ui->outputDirVideoLabel->text());
    if (!lastAddFolder.isEmpty())
        settings->setValue("lastAddDir", lastAddFolder);
    settings->endGroup();
}

// Where the user last added from, while that folder still exists.
QString MediaConverter::addFilesFolder() const
{
    if (!lastAddFolder.isEmpty() && QFileInfo(lastAddFolder).isDir())
        return lastAddFolder;
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}
