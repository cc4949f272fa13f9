// The page's side of a batch: starting it, the progress dialog, the boxes,
// and what each file's run is given to do.
#include "converter/conversionprofiles.h"
#include "converter/mediaconverter.h"
#include "ui_mediaconverter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int ProgressIntervalMs = 100;
} // namespace

void MediaConverter::onConvertClicked()
{
    if (ui->fileList->count() == 0) {
        QMessageBox::warning(this, tr("警告"), tr("请先添加要转换的媒体文件"));
        return;
    }
    if (runner->isBusy()) {
        QMessageBox::information(this, tr("信息"), tr("转换正在进行中"));
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        QMessageBox::warning(this, tr("警告"), tr("未找到 ffmpeg 程序，请先安装 ffmpeg。"));
        return;
    }

    ui->convertButton->setEnabled(false);
    prepareConversion();
    calculateTotalSize();
    totalFiles = ui->fileList->count();

    QStringList inputs;
    QList<qint64> sizes;
    for (int row = 0; row < totalFiles; ++row) {
        inputs << ui->fileList->item(row)->text();
        sizes << fileSizes.value(row);
    }

    progressDialog->setLabelText(tr("正在转换媒体文件..."));
    progressDialog->setRange(0, 100);
    progressDialog->setValue(0);
    progressDialog->show();
    progressTimer->start(ProgressIntervalMs);
    runner->start(inputs, sizes);
}

void MediaConverter::prepareConversion()
{
    if (progressDialog != nullptr) {
        progressDialog->reset();
        return;
    }
    progressDialog = new QProgressDialog(tr("正在转换媒体文件..."), tr("取消"), 0, 100, this);
    // A stray Enter must not cancel the batch; Escape and the button do.
    auto *cancelButton = new QPushButton(tr("取消"), progressDialog);
    cancelButton->setAutoDefault(false);
    progressDialog->setCancelButton(cancelButton);
    progressDialog->setWindowModality(Qt::WindowModal);
    progressDialog->setAutoClose(true);
    progressDialog->setAutoReset(true);
    connect(progressDialog, &QProgressDialog::canceled, this, &MediaConverter::onCancelClicked);
}

void MediaConverter::updateProgress()
{
    if (progressDialog == nullptr || !runner->isBusy())
        return;
    const int index = runner->currentIndex();
    if (index >= 0) {
        const QString label = tr("正在转换 (%1/%2): %3")
                                  .arg(QString::number(index + 1), QString::number(totalFiles),
                                       QFileInfo(runner->currentPath()).fileName());
        if (progressDialog->labelText() != label)
            progressDialog->setLabelText(label);
    }
    // Last: on a modal dialog setValue processes events, which may end the batch.
    const int percent = runner->percent();
    if (percent > progressDialog->value())
        progressDialog->setValue(percent);
}

void MediaConverter::onCancelClicked()
{
    progressTimer->stop();
    runner->stopAllProcesses();
    ui->convertButton->setEnabled(true);
}

void MediaConverter::onUnsupportedFile(const QString &path)
{
    QMessageBox::warning(this, tr("警告"), tr("不支持的文件类型: ") + path);
}

void MediaConverter::onConversionFinished(const converter::BatchReport &report)
{
    progressTimer->stop();
    if (progressDialog != nullptr)
        progressDialog->reset();
    ui->convertButton->setEnabled(true);

    // Bounded whatever the number of files: the box names a few, its details all.
    const converter::BatchSummary summary = converter::summarize(report);
    QMessageBox box(summary.clean ? QMessageBox::Information : QMessageBox::Warning, tr("完成"),
                    summary.text, QMessageBox::Ok, this);
    box.setDetailedText(summary.details);
    QPushButton *openFolder = report.outputDirs.isEmpty()
                                  ? nullptr
                                  : box.addButton(tr("打开输出文件夹"), QMessageBox::ActionRole);
    box.exec();
    if (openFolder == nullptr || box.clickedButton() != openFolder)
        return;
    for (const QString &dir : report.outputDirs)
        QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

QString MediaConverter::prepareRun(QProcess *process, const QString &inputPath,
                                   const QSet<QString> &taken)
{
    QString dir;
    QString format;
    if (converter::isAudioFile(inputPath)) {
        dir = ui->outputDirAudioLabel->text();
        format = ui->audioFormatCombo->currentText().toLower();
    } else if (converter::isVideoFile(inputPath)) {
        dir = ui->outputDirVideoLabel->text();
        format = videoFormat();
    } else {
        return QString();
    }
    // Not checked: a folder that cannot be made shows up as ffmpeg's failure.
    QDir().mkpath(dir);
    const QString outputPath =
        converter::freeOutputPath(converter::outputPathFor(inputPath, dir, format), inputPath, taken);
    if (converter::isAudioFile(inputPath))
        setupAudioArguments(process, inputPath, outputPath);
    else
        setupVideoArguments(process, inputPath, outputPath);
    return outputPath;
}

void MediaConverter::setupAudioArguments(QProcess *process, const QString &inputPath,
                                         const QString &outputPath)
{
    process->setArguments(converter::audioArguments(
        inputPath, outputPath, ui->audioFormatCombo->currentText().toLower(),
        converter::bitrateToken(ui->audioBitrateCombo->currentText())));
}

// The item's own token where it has one (its text is translated), else its
// text lower-cased.
QString MediaConverter::videoFormat() const
{
    const QString token = ui->videoFormatCombo->currentData().toString();
    return token.isEmpty() ? ui->videoFormatCombo->currentText().toLower() : token;
}

void MediaConverter::setupVideoArguments(QProcess *process, const QString &inputPath,
                                         const QString &outputPath)
{
    process->setArguments(converter::videoArguments(
        inputPath, outputPath, videoFormat(),
        converter::qualityFromIndex(ui->videoQualityCombo->currentIndex())));
}
