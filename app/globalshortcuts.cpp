// The two recording shortcuts acting from any application when the user
// asks for it: grabbed on X11, bound through the desktop's portal on a
// Wayland session. The window shortcuts stay where a grab is refused.
#include "app/mainwindow.h"

#include "app/portalshortcuts.h"
#include "app/settingsstore.h"
#include "capture/capturebackend.h"
#include "platform/globalkeys.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcGlobalShortcuts, "vexlo.shortcuts")

const QString GlobalKey = QStringLiteral("Shortcuts/global");
const QString RecordId = QStringLiteral("record");
const QString PauseId = QStringLiteral("pause");
enum ShortcutId { RecordShortcutId, PauseShortcutId };

} // namespace

void MainWindow::setupGlobalShortcuts()
{
    if (capture::isWaylandSession()) {
        portalShortcuts = new PortalShortcuts(this);
        connect(portalShortcuts, &PortalShortcuts::availabilityKnown, this,
                &MainWindow::onPortalShortcutsOffered);
        connect(portalShortcuts, &PortalShortcuts::boundChanged, this,
                &MainWindow::onPortalShortcutsBound);
        connect(portalShortcuts, &PortalShortcuts::activated, this, [this](const QString &id) {
            onGlobalShortcut(id == RecordId ? RecordShortcutId : PauseShortcutId);
        });
        connect(portalShortcuts, &PortalShortcuts::failed, this, [this](const QString &reason) {
            qCWarning(lcGlobalShortcuts) << "the desktop refused the shortcuts:" << reason;
            showGlobalShortcutProblem(tr("错误"), tr("无法设置全局快捷键：%1").arg(reason));
        });
        portalShortcuts->probe();
    } else {
        globalKeys = new platform::GlobalKeys(this);
        connect(globalKeys, &platform::GlobalKeys::activated, this, &MainWindow::onGlobalShortcut);
        if (!globalKeys->isAvailable()) {
            ui->globalShortcutCheck->setEnabled(false);
            ui->globalShortcutCheck->setToolTip(tr("桌面没有提供全局快捷键服务"));
        }
    }
    connect(ui->globalShortcutCheck, &QCheckBox::toggled, this,
            &MainWindow::onGlobalShortcutToggled);
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::onShortcutFocusChanged);
}

// Called by loadShortcuts: the box shows the stored choice without storing it again.
void MainWindow::loadGlobalShortcutChoice()
{
    const QSignalBlocker blocker(ui->globalShortcutCheck);
    ui->globalShortcutCheck->setChecked(ui->globalShortcutCheck->isEnabled()
                                        && openSettingsStore()->value(GlobalKey, false).toBool());
}

void MainWindow::onGlobalShortcutToggled(bool on)
{
    openSettingsStore()->setValue(GlobalKey, on);
    applyGlobalShortcuts();
}

// Called by applyShortcuts, so the keys in force are the grabbed ones.
void MainWindow::applyGlobalShortcuts()
{
    const bool on = ui->globalShortcutCheck->isEnabled() && ui->globalShortcutCheck->isChecked();
    if (portalShortcuts != nullptr) {
        QList<PortalShortcuts::Shortcut> shortcuts;
        if (on && !recordKeys.isEmpty())
            shortcuts << PortalShortcuts::Shortcut{RecordId, tr("开始录制/停止录制"), recordKeys};
        if (on && !pauseKeys.isEmpty())
            shortcuts << PortalShortcuts::Shortcut{PauseId, tr("暂停录制/继续录制"), pauseKeys};
        portalShortcuts->bind(shortcuts);
        return;
    }
    if (globalKeys == nullptr)
        return;
    globalKeys->releaseAll();
    // While an editor has the focus it must receive the keys, not the grab.
    if (!on || globalShortcutsSuspended)
        return;
    grabGlobalShortcut(RecordShortcutId, recordKeys);
    grabGlobalShortcut(PauseShortcutId, pauseKeys);
}

void MainWindow::grabGlobalShortcut(int id, const QKeySequence &keys)
{
    if (keys.isEmpty())
        return;
    switch (globalKeys->grab(id, keys)) {
    case platform::GrabResult::Grabbed:
        return;
    case platform::GrabResult::Taken:
        showGlobalShortcutProblem(tr("冲突"), tr("快捷键 %1 已被其他程序占用")
                                                 .arg(keys.toString(QKeySequence::NativeText)));
        return;
    case platform::GrabResult::Unsupported:
        qCWarning(lcGlobalShortcuts) << "cannot grab" << keys << "on this keyboard";
        return;
    }
}

// As the page's buttons, the keys wait while one of the window's boxes asks
// something.
void MainWindow::onGlobalShortcut(int id)
{
    if (globalShortcutsSuspended || QApplication::activeModalWidget() != nullptr)
        return;
    if (id == RecordShortcutId)
        onRecordShortcut();
    else
        onPauseShortcut();
}

void MainWindow::onShortcutFocusChanged()
{
    const bool suspended = shortcutEditorHasFocus();
    if (suspended == globalShortcutsSuspended)
        return;
    globalShortcutsSuspended = suspended;
    if (globalKeys != nullptr)
        applyGlobalShortcuts();
}

bool MainWindow::shortcutEditorHasFocus() const
{
    for (const QWidget *w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget())
        if (w == ui->recordShortcutEdit || w == ui->pauseShortcutEdit)
            return true;
    return false;
}

void MainWindow::onPortalShortcutsOffered(bool offered)
{
    if (offered)
        return;
    const QSignalBlocker blocker(ui->globalShortcutCheck);
    ui->globalShortcutCheck->setChecked(false);
    ui->globalShortcutCheck->setEnabled(false);
    ui->globalShortcutCheck->setToolTip(tr("桌面没有提供全局快捷键服务"));
    applyGlobalShortcuts();
}

void MainWindow::onPortalShortcutsBound(bool bound)
{
    if (bound == portalShortcutsBound)
        return;
    portalShortcutsBound = bound;
    applyShortcuts();
}

// Told once a session, from the event loop: the grab may be made while the
// window is being built, or while a box of the editors is open.
void MainWindow::showGlobalShortcutProblem(const QString &title, const QString &text)
{
    if (reportedShortcutProblems.contains(text))
        return;
    reportedShortcutProblems.insert(text);
    QTimer::singleShot(0, this, [this, title, text] {
        const QScopedValueRollback<bool> open(shortcutBoxOpen, true);
        QMessageBox::warning(this, title, text);
    });
}
