// The two recording shortcuts: start/stop and pause/resume, active while the
// main window is the active window (and from anywhere when asked to, see
// globalshortcuts.cpp).
#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QShortcut>

namespace {
const QString RecordShortcutName = QStringLiteral("recordShortcut");
const QString PauseShortcutName = QStringLiteral("pauseShortcut");
} // namespace

void MainWindow::loadShortcuts()
{
    const auto settings = openSettingsStore();
    settings->beginGroup(QStringLiteral("Shortcuts"));
    recordKeys = QKeySequence(
        settings->value(QStringLiteral("record"), QStringLiteral("Ctrl+Alt+R")).toString(),
        QKeySequence::NativeText);
    pauseKeys = QKeySequence(
        settings->value(QStringLiteral("pause"), QStringLiteral("Ctrl+Alt+P")).toString(),
        QKeySequence::NativeText);
    settings->endGroup();
    ui->recordShortcutEdit->setKeySequence(recordKeys);
    ui->pauseShortcutEdit->setKeySequence(pauseKeys);
    loadGlobalShortcutChoice();
}

void MainWindow::applyShortcuts()
{
    for (QShortcut *shortcut : findChildren<QShortcut *>()) {
        if (shortcut->objectName() == RecordShortcutName
            || shortcut->objectName() == PauseShortcutName) {
            // Deleted later, but disabled now so the old keys stop at once.
            shortcut->setEnabled(false);
            shortcut->deleteLater();
        }
    }
    // Bound at the desktop, the keys reach the window only through it.
    if (portalShortcutsBound) {
        applyGlobalShortcuts();
        return;
    }
    if (!recordKeys.isEmpty()) {
        auto *shortcut = new QShortcut(recordKeys, this, nullptr, nullptr, Qt::WindowShortcut);
        shortcut->setObjectName(RecordShortcutName);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::onRecordShortcut);
    }
    if (!pauseKeys.isEmpty()) {
        auto *shortcut = new QShortcut(pauseKeys, this, nullptr, nullptr, Qt::WindowShortcut);
        shortcut->setObjectName(PauseShortcutName);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::onPauseShortcut);
    }
    applyGlobalShortcuts();
}

void MainWindow::connectShortcutEditors()
{
    connect(ui->recordShortcutEdit, &QKeySequenceEdit::editingFinished, this,
            &MainWindow::onRecordShortcutEdited);
    connect(ui->pauseShortcutEdit, &QKeySequenceEdit::editingFinished, this,
            &MainWindow::onPauseShortcutEdited);
    connect(ui->saveShortButton, &QPushButton::clicked, this, &MainWindow::onSaveShortcutsClicked);
    setupGlobalShortcuts();
    loadShortcuts();
}

void MainWindow::onRecordShortcut()
{
    // While recording, stop only when the page itself would let the user.
    if (!recordingActive || ui->pauseButton->isEnabled())
        onToggleRecording();
}

void MainWindow::onPauseShortcut()
{
    if (!recordingActive)
        return;
    ui->pauseButton->setChecked(!ui->pauseButton->isChecked());
    onTogglePause();
}

void MainWindow::showShortcutWarning(const QString &title, const QString &text)
{
    const QScopedValueRollback<bool> open(shortcutBoxOpen, true);
    QMessageBox::warning(this, title, text);
}

// The editors report a finished edit on their release timer and on every loss
// of focus, typed or not. A report counts only when the sequence differs from
// the one last accepted or restored, which recordKeys and pauseKeys hold.
void MainWindow::onRecordShortcutEdited()
{
    const QKeySequence keys = ui->recordShortcutEdit->keySequence();
    if (shortcutBoxOpen || keys == recordKeys)
        return;
    if (keys == pauseKeys) {
        showShortcutWarning(tr("冲突"), tr("不能使用与暂停相同的快捷键"));
        ui->recordShortcutEdit->setKeySequence(recordKeys);
        return;
    }
    recordKeys = keys;
    applyShortcuts();
}

void MainWindow::onPauseShortcutEdited()
{
    const QKeySequence keys = ui->pauseShortcutEdit->keySequence();
    if (shortcutBoxOpen || keys == pauseKeys)
        return;
    if (keys.isEmpty()) {
        showShortcutWarning(tr("错误"), tr("快捷键不能为空"));
        ui->pauseShortcutEdit->setKeySequence(pauseKeys);
        return;
    }
    if (keys == recordKeys) {
        showShortcutWarning(tr("冲突"), tr("不能使用与录制相同的快捷键"));
        ui->pauseShortcutEdit->setKeySequence(pauseKeys);
        return;
    }
    pauseKeys = keys;
    applyShortcuts();
}

void MainWindow::onSaveShortcutsClicked()
{
    recordKeys = ui->recordShortcutEdit->keySequence();
    pauseKeys = ui->pauseShortcutEdit->keySequence();
    if (recordKeys == pauseKeys) {
        QMessageBox::warning(this, tr("冲突"), tr("录制和暂停快捷键不能相同"));
        return;
    }
    if (recordKeys.isEmpty() || pauseKeys.isEmpty()) {
        QMessageBox::warning(this, tr("错误"), tr("快捷键不能为空"));
        return;
    }
    {
        const auto settings = openSettingsStore();
        settings->beginGroup(QStringLiteral("Shortcuts"));
        settings->setValue(QStringLiteral("record"), recordKeys.toString(QKeySequence::PortableText));
        settings->setValue(QStringLiteral("pause"), pauseKeys.toString(QKeySequence::PortableText));
        settings->endGroup();
    }
    applyShortcuts();
    QMessageBox::information(this, tr("保存成功"), tr("快捷键设置已保存"));
}
