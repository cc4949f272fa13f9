#include "app/portalshortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcShortcuts, "vexlo.shortcuts")

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// One entry of BindShortcuts' a(sa{sv}).
struct BoundShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const BoundShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, BoundShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

} // namespace

Q_DECLARE_METATYPE(BoundShortcut)

PortalShortcuts::PortalShortcuts(QObject *parent)
    : QObject(parent)
{
    qDBusRegisterMetaType<BoundShortcut>();
    qDBusRegisterMetaType<QList<BoundShortcut>>();
    // Taken as the whole message: its arguments are read by hand.
    bus().connect(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
}

PortalShortcuts::~PortalShortcuts()
{
    // Nobody is left to be told.
    blockSignals(true);
    closeSession();
}

void PortalShortcuts::probe()
{
    if (!bus().isConnected()) {
        // Answered from the event loop, as the bus would.
        QTimer::singleShot(0, this, [this] { emit availabilityKnown(false); });
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(PortalService, PortalPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << ShortcutsInterface << QStringLiteral("version");
    auto *watcher = new QDBusPendingCallWatcher(bus().asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        const bool offered = !reply.isError() && reply.value().variant().toUInt() > 0;
        if (reply.isError())
            qCInfo(lcShortcuts) << "no global shortcuts portal:" << reply.error().message();
        emit availabilityKnown(offered);
    });
}

void PortalShortcuts::bind(const QList<Shortcut> &shortcuts)
{
    if (shortcuts == wanted)
        return;
    wanted = shortcuts;
    if (busy) {
        wantedChanged = true;
        return;
    }
    renewSession();
}

void PortalShortcuts::renewSession()
{
    closeSession();
    if (!wanted.isEmpty())
        createSession();
}

QString PortalShortcuts::preferredTrigger(const QKeySequence &keys)
{
    if (keys.isEmpty())
        return QString();
    const QKeyCombination combination = keys[0];
    QStringList parts;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    const int key = combination.key();
    // Key names are the keyboard's symbol names: letters in lower case.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        parts << QString(QChar(key)).toLower();
    else
        parts << QKeySequence(combination.key()).toString(QKeySequence::PortableText);
    return parts.join(QLatin1Char('+'));
}

QString PortalShortcuts::requestPath(const QString &token) const
{
    QString sender = bus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

// Listens for the request's answer before asking, so it cannot be missed.
void PortalShortcuts::call(const QString &method, const QVariantList &arguments,
                           const QString &token, const char *responseSlot)
{
    pendingRequest = requestPath(token);
    bus().connect(PortalService, pendingRequest, RequestInterface, QStringLiteral("Response"), this,
                  responseSlot);
    QDBusMessage message =
        QDBusMessage::createMethodCall(PortalService, PortalPath, ShortcutsInterface, method);
    message.setArguments(arguments);
    busy = true;
    auto *watcher = new QDBusPendingCallWatcher(bus().asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, responseSlot, method](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                if (!w->isError())
                    return;
                stopListening(responseSlot);
                busy = false;
                emit failed(QStringLiteral("%1: %2").arg(method, w->error().message()));
            });
}

void PortalShortcuts::stopListening(const char *responseSlot)
{
    bus().disconnect(PortalService, pendingRequest, RequestInterface, QStringLiteral("Response"),
                     this, responseSlot);
    pendingRequest.clear();
}

void PortalShortcuts::createSession()
{
    ++tokenCounter;
    const QString token = QStringLiteral("vexlo_shortcuts_%1").arg(tokenCounter);
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), token}};
    wantedChanged = false;
    call(QStringLiteral("CreateSession"), {options}, token,
         SLOT(onSessionCreated(uint, QVariantMap)));
}

void PortalShortcuts::onSessionCreated(uint response, const QVariantMap &results)
{
    stopListening(SLOT(onSessionCreated(uint, QVariantMap)));
    busy = false;
    if (response != 0) {
        emit failed(QStringLiteral("CreateSession: response %1").arg(response));
        return;
    }
    sessionPath = results.value(QStringLiteral("session_handle")).toString();
    if (wanted.isEmpty() || wantedChanged) {
        renewSession();
        return;
    }
    sendBinding();
}

void PortalShortcuts::sendBinding()
{
    QList<BoundShortcut> shortcuts;
    for (const Shortcut &shortcut : std::as_const(wanted))
        shortcuts << BoundShortcut{shortcut.id,
                                   {{QStringLiteral("description"), shortcut.description},
                                    {QStringLiteral("preferred_trigger"),
                                     preferredTrigger(shortcut.keys)}}};
    ++tokenCounter;
    const QString token = QStringLiteral("vexlo_shortcuts_%1").arg(tokenCounter);
    call(QStringLiteral("BindShortcuts"),
         {QVariant::fromValue(QDBusObjectPath(sessionPath)), QVariant::fromValue(shortcuts),
          QString(), QVariantMap{{QStringLiteral("handle_token"), token}}},
         token, SLOT(onShortcutsBound(uint, QVariantMap)));
}

void PortalShortcuts::onShortcutsBound(uint response, const QVariantMap &)
{
    stopListening(SLOT(onShortcutsBound(uint, QVariantMap)));
    busy = false;
    if (wantedChanged) {
        renewSession();
        return;
    }
    if (response != 0) {
        closeSession();
        emit failed(QStringLiteral("BindShortcuts: response %1").arg(response));
        return;
    }
    emit boundChanged(true);
}

void PortalShortcuts::closeSession()
{
    if (sessionPath.isEmpty())
        return;
    bus().asyncCall(QDBusMessage::createMethodCall(PortalService, sessionPath, SessionInterface,
                                                   QStringLiteral("Close")));
    sessionPath.clear();
    emit boundChanged(false);
}

void PortalShortcuts::onActivated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || sessionPath.isEmpty())
        return;
    if (qvariant_cast<QDBusObjectPath>(arguments.at(0)).path() != sessionPath)
        return;
    emit activated(arguments.at(1).toString());
}
