#pragma once

#include "dbustypes.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QHash>
#include <QMap>
#include <QVariantMap>

namespace vexlo::testportal {

class PortalSession;

// org.freedesktop.impl.portal.GlobalShortcuts beside the screen cast at the
// desktop's path: sessions bind shortcuts as asked (the preferred trigger is
// taken as it comes), and a test fires them through the control interface.
class GlobalShortcutsPortal : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version CONSTANT)

public:
    explicit GlobalShortcutsPortal(QObject *desktop);

    uint version() const { return 1; }
    // Emits Activated in every session that bound `id`; how many did.
    uint activate(const QString &id);
    // "id=trigger" of every bound shortcut, sorted.
    QStringList boundShortcuts() const;

public slots:
    uint CreateSession(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle,
                       const QString &appId, const QVariantMap &options, QVariantMap &results);
    // The list's type spelled in full: D-Bus finds it by that name.
    uint BindShortcuts(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle,
                       const QList<vexlo::testportal::BoundShortcut> &shortcuts,
                       const QString &parentWindow, const QVariantMap &options,
                       QVariantMap &results);

signals:
    void Activated(const QDBusObjectPath &sessionHandle, const QString &shortcutId,
                   qulonglong timestamp, const QVariantMap &options);

private:
    struct Session
    {
        PortalSession *object = nullptr;
        // Shortcut id to its preferred trigger.
        QMap<QString, QString> shortcuts;
    };

    QHash<QString, Session> sessions;
};

} // namespace vexlo::testportal
