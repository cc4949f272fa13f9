#pragma once

#include <QKeySequence>
#include <QObject>
#include <QSet>

class PortalShortcuts;
class QWidget;

namespace platform {
class GlobalKeys;
}

// The two recording shortcuts behind one interface: window shortcuts while
// the window is active, and from any application when asked to, through
// root-window grabs on X11 or the desktop's GlobalShortcuts portal on a
// Wayland session. GUI thread only.
class ShortcutController : public QObject
{
    Q_OBJECT

public:
    // The window shortcuts live on window; its refusals are told over it.
    explicit ShortcutController(QWidget *window);

    // Whether this desktop offers keys that act from anywhere (the portal's
    // answer may still come: globalUnavailable tells).
    bool globalAvailable() const;
    // The keys in force, and whether they act from anywhere.
    void apply(const QKeySequence &record, const QKeySequence &pause, bool global);
    // While a shortcut editor has the focus the keys typed there are its own.
    void setSuspended(bool suspended);

signals:
    void recordPressed();
    void pausePressed();
    void globalUnavailable();

private:
    void setupGlobalShortcuts();
    void applyWindowShortcuts();
    void applyGlobalShortcuts();
    void grabGlobalShortcut(int id, const QKeySequence &keys);
    void onGlobalShortcut(int id);
    void onPortalShortcutsOffered(bool offered);
    void onPortalShortcutsBound(bool bound);
    void showGlobalShortcutProblem(const QString &title, const QString &text);

    QWidget *window;
    QKeySequence recordKeys;
    QKeySequence pauseKeys;
    bool globalWanted = false;
    bool available = true;
    platform::GlobalKeys *globalKeys = nullptr;
    PortalShortcuts *portalShortcuts = nullptr;
    // The desktop reports the bound keys: the window's own would act twice.
    bool portalShortcutsBound = false;
    // A shortcut editor has the focus: the keys typed there are its own.
    bool suspended = false;
    // Each refusal is told once a session.
    QSet<QString> reportedProblems;
};
