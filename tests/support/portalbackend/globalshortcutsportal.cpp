#include "globalshortcutsportal.h"

#include "dbustypes.h"
#include "portalsession.h"

#include <QDateTime>

namespace vexlo::testportal {

namespace {
enum Response : uint { Success = 0, OtherFailure = 2 };
} // namespace

GlobalShortcutsPortal::GlobalShortcutsPortal(QObject *desktop)
    : QDBusAbstractAdaptor(desktop)
{
}

uint GlobalShortcutsPortal::CreateSession(const QDBusObjectPath &, const QDBusObjectPath &sessionHandle,
                                          const QString &, const QVariantMap &, QVariantMap &)
{
    const QString key = sessionHandle.path();
    auto *object = new PortalSession(sessionHandle, this);
    if (!object->isRegistered()) {
        delete object;
        return OtherFailure;
    }
    connect(object, &PortalSession::closeRequested, this, [this, key] {
        if (auto it = sessions.find(key); it != sessions.end()) {
            it->object->deleteLater();
            sessions.erase(it);
        }
    });
    sessions.insert(key, Session{object, {}});
    return Success;
}

uint GlobalShortcutsPortal::BindShortcuts(const QDBusObjectPath &, const QDBusObjectPath &sessionHandle,
                                          const QList<BoundShortcut> &shortcuts, const QString &,
                                          const QVariantMap &, QVariantMap &results)
{
    const auto it = sessions.find(sessionHandle.path());
    if (it == sessions.end())
        return OtherFailure;
    QList<BoundShortcut> answer;
    for (const BoundShortcut &shortcut : shortcuts) {
        const QString trigger = shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
        it->shortcuts.insert(shortcut.id, trigger);
        answer << BoundShortcut{shortcut.id,
                                {{QStringLiteral("description"),
                                  shortcut.properties.value(QStringLiteral("description"))},
                                 {QStringLiteral("trigger_description"), trigger}}};
    }
    results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(answer));
    return Success;
}

uint GlobalShortcutsPortal::activate(const QString &id)
{
    uint fired = 0;
    for (auto it = sessions.cbegin(); it != sessions.cend(); ++it) {
        if (!it->shortcuts.contains(id))
            continue;
        emit Activated(QDBusObjectPath(it.key()), id,
                       qulonglong(QDateTime::currentMSecsSinceEpoch()), QVariantMap());
        ++fired;
    }
    return fired;
}

QStringList GlobalShortcutsPortal::boundShortcuts() const
{
    QStringList bound;
    for (const Session &session : sessions)
        for (auto it = session.shortcuts.cbegin(); it != session.shortcuts.cend(); ++it)
            bound << it.key() + QLatin1Char('=') + it.value();
    bound.sort();
    return bound;
}

} // namespace vexlo::testportal
