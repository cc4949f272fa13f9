#pragma once

#include "converter/conversionrunner.h"

#include <QDialog>
#include <QMap>

namespace Ui {
class MediaConverter;
}

class InputList;
class QProcess;
class QProgressDialog;
class QTimer;

// The converter page: a list of media files, an audio and a video output
// profile with their folders, and the batch conversion (ConversionRunner)
// with its progress dialog. A dialog class that lives embedded in the main
// window's page stack, so Escape and Enter never close or confirm it. Its
// choices are kept in the settings store's group Converter.
class MediaConverter : public QDialog
{
    Q_OBJECT

public:
    explicit MediaConverter(QWidget *parent = nullptr);
    ~MediaConverter() override;

    // Ends a running batch for good and removes the partial output of the
    // file being converted; returns once ffmpeg has ended (it is killed when
    // it has not ended 3 s after being asked to terminate). For quitting.
    void abortConversion();

    // The output ffmpeg is writing (or was writing until it ended just now);
    // empty when none.
    QString outputBeingWritten() const { return runner->outputBeingWritten(); }

private slots:
    void onAddFilesClicked();
    void onConvertClicked();
    void onClearClicked();
    void onSelectAudioOutputDir();
    void onSelectVideoOutputDir();
    void onConversionFinished(const converter::BatchReport &report);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fillCombos();
    // The group Converter of the settings store (mediaconverter_settings.cpp).
    void loadSettings();
    void saveSettings() const;
    QString addFilesFolder() const;
    void retranslateQualityItems();
    void prepareConversion();
    void calculateTotalSize();
    void updateProgress();
    void onCancelClicked();
    void onUnsupportedFile(const QString &path);

    // The runner's preparer: the profile of the input's kind, as the page's
    // boxes show it at the moment the file's turn comes.
    QString prepareRun(QProcess *process, const QString &inputPath, const QSet<QString> &taken);
    void setupAudioArguments(QProcess *process, const QString &inputPath, const QString &outputPath);
    QString videoFormat() const;
    void setupVideoArguments(QProcess *process, const QString &inputPath, const QString &outputPath);

    Ui::MediaConverter *ui;
    ConversionRunner *runner;
    InputList *inputList = nullptr;
    // The folder the user last added files from.
    QString lastAddFolder;
    QProgressDialog *progressDialog = nullptr;
    QTimer *progressTimer = nullptr;

    // List row -> size in bytes, read when files are added and at each start.
    QMap<int, qint64> fileSizes;
    qint64 totalSize = 0;
    int totalFiles = 0;
};
