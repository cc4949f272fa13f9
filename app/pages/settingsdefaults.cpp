// Restoring every default, and starting with the system.
#include "app/pages/settingspage.h"

#include "core/settingsstore.h"
#include "platform/autostart.h"
#include "ui_settingspage.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
const QString AutoStartName = QStringLiteral("Vexlo");
} // namespace

// Locked while a recording runs (its button too), so a reset never changes
// what a recording captures.
void SettingsPage::restoreDefaultSettings()
{
    if (recordingRuns)
        return;
    const auto answer = QMessageBox::question(
        this, tr("重置确认"), tr("确定要将所有设置恢复为默认值吗？此操作无法撤销。"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return;

    openSettingsStore()->clear();
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Shortcuts"));
        settings->setValue(QStringLiteral("record"), QStringLiteral("Ctrl+Alt+R"));
        settings->setValue(QStringLiteral("pause"), QStringLiteral("Ctrl+Alt+P"));
        settings->endGroup();
        settings->sync();
    }

    ui->watermarkTextEdit->setText(QStringLiteral("Vexlo"));
    ui->watermarkPath->clear();
    ui->watermarkSizeSlider->setValue(80);
    ui->imageOpacityEdit->setText(QStringLiteral("70"));
    load();
    // The cleared store says light and names no language: the window's look
    // and language follow now rather than at the next start.
    emit defaultsRestored();

    QMessageBox::information(this, tr("重置成功"), tr("所有设置已恢复为默认值。"));
}

void SettingsPage::updateAutoStartEntry()
{
    if (ui->autoStartCheckBox->isChecked())
        platform::enableAutoStart(AutoStartName, QCoreApplication::applicationFilePath());
    else
        platform::disableAutoStart(AutoStartName);
}
