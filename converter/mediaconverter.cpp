#include "converter/mediaconverter.h"

#include "converter/inputlist.h"
#include "ui_mediaconverter.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>

namespace {

const char *const QualityItems[] = {
    QT_TRANSLATE_NOOP("MediaConverter", "高质量"),
    QT_TRANSLATE_NOOP("MediaConverter", "中等质量"),
    QT_TRANSLATE_NOOP("MediaConverter", "低质量"),
};

} // namespace

MediaConverter::MediaConverter(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MediaConverter)
    , runner(new ConversionRunner(
          [this](QProcess *process, const QString &input, const QSet<QString> &taken) {
              return prepareRun(process, input, taken);
          },
          this))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
    inputList = new InputList(ui->fileList);

    connect(ui->addFilesButton, &QPushButton::clicked, this, &MediaConverter::onAddFilesClicked);
    connect(ui->convertButton, &QPushButton::clicked, this, &MediaConverter::onConvertClicked);
    connect(ui->clearButton, &QPushButton::clicked, this, &MediaConverter::onClearClicked);
    connect(ui->dirAudioButton, &QPushButton::clicked, this, &MediaConverter::onSelectAudioOutputDir);
    connect(ui->dirVideoButton, &QPushButton::clicked, this, &MediaConverter::onSelectVideoOutputDir);
    connect(runner, &ConversionRunner::unsupportedFile, this, &MediaConverter::onUnsupportedFile);
    connect(runner, &ConversionRunner::batchFinished, this, &MediaConverter::onConversionFinished);
    connect(inputList, &InputList::changed, this, &MediaConverter::calculateTotalSize);

    // A long folder path gives up its room before any box is cut.
    for (QLabel *folder : {ui->outputDirAudioLabel, ui->outputDirVideoLabel})
        folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->outputDirAudioLabel->setText(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    ui->outputDirVideoLabel->setText(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    fileSizes.clear();
    totalSize = 0;

    QEvent languageChange(QEvent::LanguageChange);
    QCoreApplication::sendEvent(this, &languageChange);

    progressTimer = new QTimer(this);
    connect(progressTimer, &QTimer::timeout, this, &MediaConverter::updateProgress);

    fillCombos();
    loadSettings();
    for (QComboBox *combo : {ui->audioFormatCombo, ui->audioBitrateCombo, ui->videoFormatCombo,
                             ui->videoQualityCombo})
        connect(combo, &QComboBox::currentIndexChanged, this, &MediaConverter::saveSettings);
}

MediaConverter::~MediaConverter()
{
    abortConversion();
    delete ui;
}

void MediaConverter::abortConversion()
{
    progressTimer->stop();
    runner->stopNow();
    if (progressDialog != nullptr)
        progressDialog->reset();
    ui->convertButton->setEnabled(true);
}

void MediaConverter::fillCombos()
{
    ui->audioFormatCombo->addItems({"MP3", "WAV", "AAC", "FLAC", "OGG"});
    ui->audioBitrateCombo->addItems({tr("320k"), "256k", "192k", tr("128k"), "64k"});
    ui->videoFormatCombo->addItems({"MP4", "AVI", "MOV", "MKV", "FLV"});
    ui->videoFormatCombo->addItem(tr("GIF 动图"), QStringLiteral("gif"));
    for (const char *item : QualityItems)
        ui->videoQualityCombo->addItem(tr(item));
}

void MediaConverter::retranslateQualityItems()
{
    for (int i = 0; i < ui->videoQualityCombo->count() && i < int(std::size(QualityItems)); ++i)
        ui->videoQualityCombo->setItemText(i, tr(QualityItems[i]));
    const int gif = ui->videoFormatCombo->findData(QStringLiteral("gif"));
    if (gif >= 0)
        ui->videoFormatCombo->setItemText(gif, tr("GIF 动图"));
}

void MediaConverter::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateQualityItems();
        return;
    }
    QDialog::changeEvent(event);
}

// Embedded in the page stack: Escape would hide the page and leave a blank
// area, Enter would press a button. Both go on to the main window instead.
void MediaConverter::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MediaConverter::onAddFilesClicked()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("选择媒体文件"), addFilesFolder(),
        tr("媒体文件 (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi *.mov *.mkv "
           "*.flv *.wmv *.webm *.ts *.m4v)"));
    if (files.isEmpty())
        return;
    lastAddFolder = QFileInfo(files.first()).absolutePath();
    saveSettings();
    inputList->addFiles(files);
}

void MediaConverter::onClearClicked()
{
    ui->fileList->clear();
    fileSizes.clear();
    totalSize = 0;
}

void MediaConverter::onSelectAudioOutputDir()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("选择音频输出目录"),
                                                          ui->outputDirAudioLabel->text());
    if (dir.isEmpty())
        return;
    ui->outputDirAudioLabel->setText(dir);
    saveSettings();
}

void MediaConverter::onSelectVideoOutputDir()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("选择视频输出目录"),
                                                          ui->outputDirVideoLabel->text());
    if (dir.isEmpty())
        return;
    ui->outputDirVideoLabel->setText(dir);
    saveSettings();
}

void MediaConverter::calculateTotalSize()
{
    fileSizes.clear();
    totalSize = 0;
    for (int row = 0; row < ui->fileList->count(); ++row) {
        const qint64 size = QFileInfo(ui->fileList->item(row)->text()).size();
        fileSizes.insert(row, size);
        totalSize += size;
    }
}
