#include "capture/portalsession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDebug>
#include <QRandomGenerator>

#include <utility>

#include <fcntl.h>

namespace capture {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// Restore tokens and persistence came with version 4 of the interface,
// the pointer modes with version 2.
constexpr uint PersistVersion = 4;
constexpr uint CursorVersion = 2;
// Kept until the user revokes it, as far as the desktop allows.
constexpr uint PersistUntilRevoked = 2;

enum Response : uint { Success = 0, Cancelled = 1 };

QString token()
{
    return QStringLiteral("vexlo%1").arg(QRandomGenerator::global()->generate());
}

// The portal's objects for this connection live under a path named after it.
QString senderPart()
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QString noPortalText()
{
    return PortalSession::tr("找不到桌面门户服务（xdg-desktop-portal），无法通过桌面录制屏幕");
}

QString noScreenCastText()
{
    return PortalSession::tr("桌面门户不提供屏幕录制接口（ScreenCast）");
}

bool isMissingService(const QDBusError &error)
{
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::NoServer
           || error.type() == QDBusError::Disconnected
           || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

QDBusMessage screenCastCall(const QString &method)
{
    return QDBusMessage::createMethodCall(PortalService, PortalPath, ScreenCastInterface, method);
}

QDBusMessage propertiesCall()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalService, PortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"));
    call << ScreenCastInterface;
    return call;
}

// A (ii) structure of the stream's properties.
bool readPair(const QVariant &value, int *first, int *second)
{
    if (!value.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginStructure();
    argument >> *first >> *second;
    argument.endStructure();
    return true;
}

bool readFirstStream(const QVariant &value, PortalSession::Stream *stream)
{
    if (!value.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    bool found = false;
    argument.beginArray();
    while (!argument.atEnd()) {
        quint32 node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (found)
            continue;
        found = true;
        stream->node = node;
        int x = 0, y = 0, width = 0, height = 0;
        if (readPair(properties.value(QStringLiteral("position")), &x, &y))
            stream->position = QPoint(x, y);
        if (readPair(properties.value(QStringLiteral("size")), &width, &height))
            stream->logicalSize = QSize(width, height);
    }
    argument.endArray();
    return found;
}

} // namespace

PortalSession::PortalSession(QObject *parent)
    : QObject(parent)
{
}

PortalSession::~PortalSession()
{
    close();
}

int PortalSession::sourceTypes(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return -1;
    const QDBusReply<QVariantMap> reply = bus.call(propertiesCall(), QDBus::Block, timeoutMs);
    if (!reply.isValid())
        return -1;
    const QVariant types = reply.value().value(QStringLiteral("AvailableSourceTypes"));
    return types.isValid() ? int(types.toUInt()) : -1;
}

void PortalSession::start(const Request &wanted)
{
    close();
    request = wanted;
    active = true;
    if (!QDBusConnection::sessionBus().isConnected()) {
        fail(noPortalText());
        return;
    }
    readProperties();
}

void PortalSession::close()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString withdrawn = pendingStep != nullptr ? requestPath : QString();
    stopListening();
    if (!sessionHandle.isEmpty())
        bus.disconnect(PortalService, sessionHandle, SessionInterface, QStringLiteral("Closed"),
                       this, SLOT(onClosed()));
    const QString session = std::exchange(sessionHandle, QString());
    active = false;
    const auto closeSession = [session] {
        if (!session.isEmpty())
            QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
                PortalService, session, SessionInterface, QStringLiteral("Close")));
    };
    if (withdrawn.isEmpty()) {
        closeSession();
        return;
    }
    // An unanswered request (the desktop's dialog still open) is withdrawn
    // first: the desktop closes its dialog, or drops a session it was
    // creating. The frontend runs calls side by side, so the session is
    // closed only once that is done; the watcher outlives this object.
    auto *watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(PortalService, withdrawn, RequestInterface,
                                                     QStringLiteral("Close"))),
        QCoreApplication::instance());
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
            [closeSession](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                closeSession();
            });
}

void PortalSession::watch(const QDBusPendingCall &call,
                          const std::function<void(const QDBusPendingCall &)> &done)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, done](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (active)
                    done(*finished);
            });
}

void PortalSession::fail(const QString &reason)
{
    close();
    emit failed(reason);
}

void PortalSession::readProperties()
{
    watch(QDBusConnection::sessionBus().asyncCall(propertiesCall()),
          [this](const QDBusPendingCall &call) {
              const QDBusPendingReply<QVariantMap> reply = call;
              if (reply.isError()) {
                  qWarning().noquote() << "ScreenCast portal:" << reply.error().name()
                                       << reply.error().message();
                  fail(isMissingService(reply.error()) ? noPortalText() : noScreenCastText());
                  return;
              }
              const QVariantMap properties = reply.value();
              version = properties.value(QStringLiteral("version")).toUInt();
              availableCursorModes =
                  properties.value(QStringLiteral("AvailableCursorModes")).toUInt();
              if (version == 0) {
                  fail(noScreenCastText());
                  return;
              }
              createSession();
          });
}

void PortalSession::callWithRequest(const QString &method, QVariantList arguments,
                                    QVariantMap options, Step next)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString handleToken = token();
    options.insert(QStringLiteral("handle_token"), handleToken);
    // The answer comes as a signal on a path known before the call; listening
    // first means a fast answer cannot be missed.
    stopListening();
    requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                      .arg(senderPart(), handleToken);
    pendingStep = next;
    bus.connect(PortalService, requestPath, RequestInterface, QStringLiteral("Response"), this,
                SLOT(onResponse(uint, QVariantMap)));

    QDBusMessage call = screenCastCall(method);
    arguments << options;
    call.setArguments(arguments);
    watch(bus.asyncCall(call), [this, method](const QDBusPendingCall &done) {
        const QDBusPendingReply<QDBusObjectPath> reply = done;
        if (reply.isError()) {
            qWarning().noquote() << "ScreenCast portal:" << method << reply.error().name()
                                 << reply.error().message();
            fail(isMissingService(reply.error()) ? noPortalText() : noScreenCastText());
            return;
        }
        // Older portals choose the path themselves.
        const QString path = reply.value().path();
        if (path != requestPath) {
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.disconnect(PortalService, requestPath, RequestInterface,
                           QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
            requestPath = path;
            bus.connect(PortalService, requestPath, RequestInterface, QStringLiteral("Response"),
                        this, SLOT(onResponse(uint, QVariantMap)));
        }
    });
}

void PortalSession::stopListening()
{
    if (requestPath.isEmpty())
        return;
    QDBusConnection::sessionBus().disconnect(PortalService, requestPath, RequestInterface,
                                             QStringLiteral("Response"), this,
                                             SLOT(onResponse(uint, QVariantMap)));
    requestPath.clear();
    pendingStep = nullptr;
}

void PortalSession::onResponse(uint response, const QVariantMap &results)
{
    const Step next = pendingStep;
    stopListening();
    if (!active || next == nullptr)
        return;
    if (response == Cancelled) {
        close();
        emit cancelled();
        return;
    }
    if (response != Success) {
        fail(tr("桌面的屏幕共享失败"));
        return;
    }
    (this->*next)(results);
}

void PortalSession::createSession()
{
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), token());
    callWithRequest(QStringLiteral("CreateSession"), {}, options, &PortalSession::selectSources);
}

void PortalSession::selectSources(const QVariantMap &results)
{
    sessionHandle = results.value(QStringLiteral("session_handle")).toString();
    if (sessionHandle.isEmpty()) {
        fail(tr("桌面的屏幕共享失败"));
        return;
    }
    QDBusConnection::sessionBus().connect(PortalService, sessionHandle, SessionInterface,
                                          QStringLiteral("Closed"), this, SLOT(onClosed()));

    QVariantMap options;
    options.insert(QStringLiteral("types"), uint(request.source));
    options.insert(QStringLiteral("multiple"), false);
    if (version >= CursorVersion) {
        // The stream's own pointer position lets Vexlo draw its pointer
        // styles; else the desktop draws its pointer, or none at all.
        CursorMode mode = CursorHidden;
        if (request.pointer && (availableCursorModes & CursorMetadata))
            mode = CursorMetadata;
        else if (request.pointer && (availableCursorModes & CursorEmbedded))
            mode = CursorEmbedded;
        if (availableCursorModes & mode)
            options.insert(QStringLiteral("cursor_mode"), uint(mode));
    }
    if (version >= PersistVersion && request.persist) {
        options.insert(QStringLiteral("persist_mode"), PersistUntilRevoked);
        if (!request.restoreToken.isEmpty())
            options.insert(QStringLiteral("restore_token"), request.restoreToken);
    }
    callWithRequest(QStringLiteral("SelectSources"),
                    {QVariant::fromValue(QDBusObjectPath(sessionHandle))}, options,
                    &PortalSession::startSession);
}

void PortalSession::startSession(const QVariantMap &)
{
    callWithRequest(QStringLiteral("Start"),
                    {QVariant::fromValue(QDBusObjectPath(sessionHandle)), request.parentWindow},
                    {}, &PortalSession::openRemote);
}

void PortalSession::openRemote(const QVariantMap &results)
{
    if (!readFirstStream(results.value(QStringLiteral("streams")), &stream)) {
        fail(tr("桌面的屏幕共享失败"));
        return;
    }
    restoreToken = results.value(QStringLiteral("restore_token")).toString();
    QDBusMessage call = screenCastCall(QStringLiteral("OpenPipeWireRemote"));
    call << QVariant::fromValue(QDBusObjectPath(sessionHandle)) << QVariantMap();
    watch(QDBusConnection::sessionBus().asyncCall(call), [this](const QDBusPendingCall &done) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = done;
        const int fd = reply.isError() || !reply.value().isValid()
                           ? -1
                           : fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
        if (fd < 0) {
            qWarning().noquote() << "OpenPipeWireRemote:" << reply.error().message();
            fail(tr("无法连接 PipeWire：桌面没有交出屏幕共享的视频流"));
            return;
        }
        emit started(stream, fd, restoreToken);
    });
}

void PortalSession::onClosed()
{
    if (!active)
        return;
    // Gone on the desktop's side already: nothing to close there.
    QDBusConnection::sessionBus().disconnect(PortalService, sessionHandle, SessionInterface,
                                             QStringLiteral("Closed"), this, SLOT(onClosed()));
    sessionHandle.clear();
    close();
    emit closed();
}

} // namespace capture
