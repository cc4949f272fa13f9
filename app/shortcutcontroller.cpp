// The two recording shortcuts: start/stop and pause/resume, active while the
// main window is the active window, and from any application when the user
// asks for it: grabbed on X11, bound through the desktop's portal on a
// Wayland session. The window shortcuts stay where a grab is refused.
#include "app/shortcutcontroller.h"

#include "app/portalshortcuts.h"
#include "capture/capturebackend.h"
#include "platform/globalkeys.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

namespace {

Q_LOGGING_CATEGORY(lcGlobalShortcuts, "vexlo.shortcuts")

const QString RecordShortcutName = QStringLiteral("recordShortcut");
const QString PauseShortcutName = QStringLiteral("pauseShortcut");
const QString RecordId = QStringLiteral("record");
const QString PauseId = QStringLiteral("pause");
enum ShortcutId { RecordShortcutId, PauseShortcutId };

} // namespace

ShortcutController::ShortcutController(QWidget *window)
    : QObject(window)
    , window(window)
{
    setupGlobalShortcuts();
}

void ShortcutController::setupGlobalShortcuts()
{
    if (capture::isWaylandSession()) {
        portalShortcuts = new PortalShortcuts(this);
        connect(portalShortcuts, &PortalShortcuts::availabilityKnown, this,
                &ShortcutController::onPortalShortcutsOffered);
        connect(portalShortcuts, &PortalShortcuts::boundChanged, this,
                &ShortcutController::onPortalShortcutsBound);
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
        connect(globalKeys, &platform::GlobalKeys::activated, this,
                &ShortcutController::onGlobalShortcut);
        available = globalKeys->isAvailable();
    }
}

bool ShortcutController::globalAvailable() const
{
    return available;
}

void ShortcutController::apply(const QKeySequence &record, const QKeySequence &pause, bool global)
{
    recordKeys = record;
    pauseKeys = pause;
    globalWanted = global;
    applyWindowShortcuts();
}

void ShortcutController::setSuspended(bool suspend)
{
    if (suspend == suspended)
        return;
    suspended = suspend;
    if (globalKeys != nullptr)
        applyGlobalShortcuts();
}

void ShortcutController::applyWindowShortcuts()
{
    for (QShortcut *shortcut : window->findChildren<QShortcut *>()) {
        if (shortcut->objectName() == RecordShortcutName
            || shortcut->objectName() == PauseShortcutName) {
            // Deleted later, but disabled now so the old keys stop at once.
            shortcut->setEnabled(false);
            shortcut->deleteLater();
        }
    }
    // Bound at the desktop, the keys reach the window only through it.
    if (!portalShortcutsBound) {
        if (!recordKeys.isEmpty()) {
            auto *shortcut = new QShortcut(recordKeys, window, nullptr, nullptr, Qt::WindowShortcut);
            shortcut->setObjectName(RecordShortcutName);
            connect(shortcut, &QShortcut::activated, this, &ShortcutController::recordPressed);
        }
        if (!pauseKeys.isEmpty()) {
            auto *shortcut = new QShortcut(pauseKeys, window, nullptr, nullptr, Qt::WindowShortcut);
            shortcut->setObjectName(PauseShortcutName);
            connect(shortcut, &QShortcut::activated, this, &ShortcutController::pausePressed);
        }
    }
    applyGlobalShortcuts();
}

void ShortcutController::applyGlobalShortcuts()
{
    const bool on = available && globalWanted;
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
    if (!on || suspended)
        return;
    grabGlobalShortcut(RecordShortcutId, recordKeys);
    grabGlobalShortcut(PauseShortcutId, pauseKeys);
}

void ShortcutController::grabGlobalShortcut(int id, const QKeySequence &keys)
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
void ShortcutController::onGlobalShortcut(int id)
{
    if (suspended || QApplication::activeModalWidget() != nullptr)
        return;
    if (id == RecordShortcutId)
        emit recordPressed();
    else
        emit pausePressed();
}

void ShortcutController::onPortalShortcutsOffered(bool offered)
{
    if (offered)
        return;
    available = false;
    emit globalUnavailable();
    applyGlobalShortcuts();
}

void ShortcutController::onPortalShortcutsBound(bool bound)
{
    if (bound == portalShortcutsBound)
        return;
    portalShortcutsBound = bound;
    applyWindowShortcuts();
}

// Told once a session, from the event loop: the grab may be made while the
// window is being built, or while a box of the editors is open.
void ShortcutController::showGlobalShortcutProblem(const QString &title, const QString &text)
{
    if (reportedProblems.contains(text))
        return;
    reportedProblems.insert(text);
    QTimer::singleShot(0, window, [this, title, text] {
        QMessageBox::warning(window, title, text);
    });
}
