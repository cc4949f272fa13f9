// The editors of the two recording shortcuts, start/stop and pause/resume,
// their save button and the choice of keys that act from any application.
// The keys in force are the last accepted edit; Save stores them.
#include "app/pages/settingspage.h"

#include "core/settingsstore.h"
#include "ui_settingspage.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSignalBlocker>

namespace {
const QString GlobalKey = QStringLiteral("Shortcuts/global");
} // namespace

void SettingsPage::connectShortcutEditors()
{
    connect(ui->recordShortcutEdit, &QKeySequenceEdit::editingFinished, this,
            &SettingsPage::onRecordShortcutEdited);
    connect(ui->pauseShortcutEdit, &QKeySequenceEdit::editingFinished, this,
            &SettingsPage::onPauseShortcutEdited);
    connect(ui->saveShortButton, &QPushButton::clicked, this, &SettingsPage::onSaveShortcutsClicked);
    connect(ui->globalShortcutCheck, &QCheckBox::toggled, this,
            &SettingsPage::onGlobalShortcutToggled);
    // While an editor has the focus the keys typed there are its own.
    connect(qApp, &QApplication::focusChanged, this, [this] {
        const bool editing = shortcutEditorHasFocus();
        if (editing == editingShortcut)
            return;
        editingShortcut = editing;
        emit shortcutEditingChanged(editing);
    });
}

void SettingsPage::loadShortcuts()
{
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Shortcuts"));
        acceptedRecordKeys = QKeySequence(
            settings->value(QStringLiteral("record"), QStringLiteral("Ctrl+Alt+R")).toString(),
            QKeySequence::NativeText);
        acceptedPauseKeys = QKeySequence(
            settings->value(QStringLiteral("pause"), QStringLiteral("Ctrl+Alt+P")).toString(),
            QKeySequence::NativeText);
        settings->endGroup();
    }
    ui->recordShortcutEdit->setKeySequence(acceptedRecordKeys);
    ui->pauseShortcutEdit->setKeySequence(acceptedPauseKeys);
    // The box shows the stored choice without storing it again.
    {
        const QSignalBlocker blocker(ui->globalShortcutCheck);
        ui->globalShortcutCheck->setChecked(ui->globalShortcutCheck->isEnabled()
                                            && openSettingsStore()->value(GlobalKey, false).toBool());
    }
    emit shortcutsChanged();
}

bool SettingsPage::globalShortcutsChosen() const
{
    return ui->globalShortcutCheck->isEnabled() && ui->globalShortcutCheck->isChecked();
}

void SettingsPage::setGlobalShortcutsAvailable(bool available)
{
    globalShortcutsAvailable = available;
    if (available)
        return;
    const QSignalBlocker blocker(ui->globalShortcutCheck);
    ui->globalShortcutCheck->setChecked(false);
    ui->globalShortcutCheck->setEnabled(false);
    ui->globalShortcutCheck->setToolTip(tr("桌面没有提供全局快捷键服务"));
}

void SettingsPage::onGlobalShortcutToggled(bool on)
{
    openSettingsStore()->setValue(GlobalKey, on);
    emit shortcutsChanged();
}

void SettingsPage::showShortcutWarning(const QString &title, const QString &text)
{
    const QScopedValueRollback<bool> open(shortcutBoxOpen, true);
    QMessageBox::warning(this, title, text);
}

// A box, the editors' own or another's, takes the focus from the editor,
// which then reports the edit finished once more.
bool SettingsPage::editorBoxOpen() const
{
    return shortcutBoxOpen || QApplication::activeModalWidget() != nullptr;
}

// The editors report a finished edit on their release timer and on every loss
// of focus, typed or not. A report counts only when the sequence differs from
// the one last accepted or restored.
void SettingsPage::onRecordShortcutEdited()
{
    const QKeySequence keys = ui->recordShortcutEdit->keySequence();
    if (editorBoxOpen() || keys == acceptedRecordKeys)
        return;
    if (keys == acceptedPauseKeys) {
        showShortcutWarning(tr("冲突"), tr("不能使用与暂停相同的快捷键"));
        ui->recordShortcutEdit->setKeySequence(acceptedRecordKeys);
        return;
    }
    acceptedRecordKeys = keys;
    emit shortcutsChanged();
}

void SettingsPage::onPauseShortcutEdited()
{
    const QKeySequence keys = ui->pauseShortcutEdit->keySequence();
    if (editorBoxOpen() || keys == acceptedPauseKeys)
        return;
    if (keys.isEmpty()) {
        showShortcutWarning(tr("错误"), tr("快捷键不能为空"));
        ui->pauseShortcutEdit->setKeySequence(acceptedPauseKeys);
        return;
    }
    if (keys == acceptedRecordKeys) {
        showShortcutWarning(tr("冲突"), tr("不能使用与录制相同的快捷键"));
        ui->pauseShortcutEdit->setKeySequence(acceptedPauseKeys);
        return;
    }
    acceptedPauseKeys = keys;
    emit shortcutsChanged();
}

void SettingsPage::onSaveShortcutsClicked()
{
    acceptedRecordKeys = ui->recordShortcutEdit->keySequence();
    acceptedPauseKeys = ui->pauseShortcutEdit->keySequence();
    if (acceptedRecordKeys == acceptedPauseKeys) {
        QMessageBox::warning(this, tr("冲突"), tr("录制和暂停快捷键不能相同"));
        return;
    }
    if (acceptedRecordKeys.isEmpty() || acceptedPauseKeys.isEmpty()) {
        QMessageBox::warning(this, tr("错误"), tr("快捷键不能为空"));
        return;
    }
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Shortcuts"));
        settings->setValue(QStringLiteral("record"),
                           acceptedRecordKeys.toString(QKeySequence::PortableText));
        settings->setValue(QStringLiteral("pause"),
                           acceptedPauseKeys.toString(QKeySequence::PortableText));
        settings->endGroup();
    }
    emit shortcutsChanged();
    QMessageBox::information(this, tr("保存成功"), tr("快捷键设置已保存"));
}

bool SettingsPage::shortcutEditorHasFocus() const
{
    for (const QWidget *w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget())
        if (w == ui->recordShortcutEdit || w == ui->pauseShortcutEdit)
            return true;
    return false;
}
