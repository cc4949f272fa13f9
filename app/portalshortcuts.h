#pragma once

// The desktop's GlobalShortcuts portal, for the system-wide shortcuts on a
// Wayland session, where no program may grab keys itself: one session holds
// the bound shortcuts; the desktop reports their activations. GUI thread only.

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QVariantMap>

class PortalShortcuts : public QObject
{
    Q_OBJECT

public:
    struct Shortcut
    {
        QString id;
        QString description;
        QKeySequence keys;

        bool operator==(const Shortcut &other) const
        {
            return id == other.id && description == other.description && keys == other.keys;
        }
    };

    explicit PortalShortcuts(QObject *parent = nullptr);
    // Closes the session.
    ~PortalShortcuts() override;

    // Asks whether the desktop offers the portal; answered by availabilityKnown.
    void probe();
    // Binds the shortcuts in a fresh session (a session binds only once);
    // an empty list closes the session. The same list again changes nothing,
    // so a refused binding is not asked for again and again.
    void bind(const QList<Shortcut> &shortcuts);

    // The trigger the desktop is asked to use, in the portal's notation:
    // "CTRL+ALT+r".
    static QString preferredTrigger(const QKeySequence &keys);

signals:
    void availabilityKnown(bool offered);
    void activated(const QString &id);
    // The desktop now reports the shortcuts, or no longer does.
    void boundChanged(bool bound);
    // The desktop refused or failed a session or a binding.
    void failed(const QString &reason);

private slots:
    // D-Bus signal receivers, connected by signature.
    void onSessionCreated(uint response, const QVariantMap &results);
    void onShortcutsBound(uint response, const QVariantMap &results);
    void onActivated(const QDBusMessage &message);

private:
    QString requestPath(const QString &token) const;
    void call(const QString &method, const QVariantList &arguments, const QString &token,
              const char *responseSlot);
    void renewSession();
    void createSession();
    void sendBinding();
    void closeSession();
    void stopListening(const char *responseSlot);

    QList<Shortcut> wanted;
    QString sessionPath;
    QString pendingRequest;
    // A request is out; a change meanwhile is sent when it is answered.
    bool busy = false;
    bool wantedChanged = false;
    int tokenCounter = 0;
};
