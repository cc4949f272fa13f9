// The interface language: the program's own translation and the toolkit's,
// switched at run time from the main menu, and the form retranslated in place.
#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "app/uilanguage.h"
#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLibraryInfo>
#include <QSignalBlocker>
#include <QTranslator>

namespace {

const QString SourceLanguage = QStringLiteral("zh_CN");

QString translationResource(const QString &code)
{
    return QStringLiteral(":/translations/lang_%1.qm").arg(code);
}

} // namespace

// At start-up and after a reset: the stored language, or the desktop's when
// none is stored; neither is written to the store. The source texts are
// simplified Chinese, so zh_CN at start-up switches nothing; the toolkit's
// own texts (Yes, No, Cancel) still need their translation.
void MainWindow::applyStartLanguage()
{
    const QString language = vexlo::startLanguage();
    if (language != currentLanguage)
        installLanguage(language);
    else if (!qtTranslator)
        loadQtTranslator(language);
}

void MainWindow::loadQtTranslator(const QString &code)
{
    if (qtTranslator)
        QCoreApplication::removeTranslator(qtTranslator.get());
    qtTranslator = std::make_unique<QTranslator>();
    if (qtTranslator->load(QStringLiteral("qt_") + code,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator.get());
}

void MainWindow::switchLanguage(const QString &code)
{
    if (code == currentLanguage)
        return;
    openSettingsStore()->setValue(QStringLiteral("language"), code);
    installLanguage(code);
}

void MainWindow::installLanguage(const QString &code)
{
    currentLanguage = code;
    if (appTranslator)
        QCoreApplication::removeTranslator(appTranslator.get());
    loadQtTranslator(code);

    const QString path = translationResource(code);
    if (!QFile::exists(path)) {
        qWarning().noquote() << "Translation file not found:" << path;
        if (code != SourceLanguage)
            switchLanguage(SourceLanguage);
        return;
    }
    appTranslator = std::make_unique<QTranslator>();
    if (!appTranslator->load(path)) {
        qWarning().noquote() << "Failed to load translation file:" << path;
        if (code != SourceLanguage)
            switchLanguage(SourceLanguage);
        return;
    }
    QCoreApplication::installTranslator(appTranslator.get());
    retranslateForm();
}

// The generated retranslation re-selects the first item of the mode and
// pointer-style boxes and puts back the form's texts of the record button,
// the pause button, the clock and the frame rate. None of that is a change
// of language: the selections and the texts that show state are restored.
void MainWindow::retranslateForm()
{
    const int mode = ui->recordModeCombo->currentIndex();
    const int mouseStyle = ui->mouseStyleCombo->currentIndex();
    const QString elapsed = ui->timeLabel->text();
    {
        const QSignalBlocker modeBlocker(ui->recordModeCombo);
        const QSignalBlocker styleBlocker(ui->mouseStyleCombo);
        ui->retranslateUi(this);
        ui->recordModeCombo->setCurrentIndex(mode);
        ui->mouseStyleCombo->setCurrentIndex(mouseStyle);
    }
    ui->timeLabel->setText(elapsed);
    applyWaylandLimits();
    ui->toggleButton->setText(recordingActive        ? tr("停止")
                              : recorder->isFinishing() ? tr("保存中…")
                                                        : tr("开始"));
    ui->pauseButton->setText(ui->pauseButton->isChecked() ? tr("继续") : tr("暂停"));
    updateFrameRateLabel(ui->frameRateSlider->value());
    retranslateTrayMenu();
    retranslateRecordingsTable();
}

// Every combo box of the window, the converter page's included, takes the
// width of its longest item in the language in force, not the first one's:
// set once, the policy follows every retranslation of the items.
void MainWindow::fitComboBoxesToTheirItems()
{
    for (QComboBox *combo : findChildren<QComboBox *>())
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateForm();
    else if (event->type() == QEvent::WindowStateChange)
        redrawPreviewWhenIdle();
    QMainWindow::changeEvent(event);
}
