#include "screencastportal.h"

#include "dbustypes.h"
#include "portalrequest.h"
#include "portalsession.h"
#include "videosource.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QLoggingCategory>

#include <memory>

namespace vexlo::testportal {

namespace {

Q_LOGGING_CATEGORY(lcPortal, "vexlo.testportal")

const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenCastInterface = QStringLiteral("org.freedesktop.impl.portal.ScreenCast");
const QString RestoreVendor = QStringLiteral("vexlotest");
constexpr quint32 RestoreVersion = 1;

enum Response : uint { Success = 0, Cancelled = 1, OtherFailure = 2, NoAnswer = 3 };

QVariantMap mapOf(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

// The source type kept in restore data this backend handed out, or 0 when
// the data is someone else's or malformed (then the dialog shows).
uint restoredSourceType(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return 0;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(suv)"))
        return 0;
    RestoreData data;
    argument >> data;
    if (data.vendor != RestoreVendor || data.version != RestoreVersion)
        return 0;
    const uint type = mapOf(data.data.variant()).value(QStringLiteral("source_type")).toUInt();
    return type == SourceMonitor || type == SourceWindow ? type : 0;
}

void reply(const QDBusMessage &message, uint response, const QVariantMap &results = {})
{
    QDBusConnection::sessionBus().send(message.createReply({response, results}));
}

} // namespace

ScreenCastPortal::ScreenCastPortal(PipeWireCore &pipeWire, QObject *parent)
    : QObject(parent), pipeWire(pipeWire)
{
}

ScreenCastPortal::~ScreenCastPortal()
{
    const QStringList keys = sessions.keys();
    for (const QString &key : keys)
        closeSession(key);
}

void ScreenCastPortal::setStreamSize(QSize size)
{
    current.streamSize = size;
    for (const Session &session : std::as_const(sessions)) {
        if (session.source != nullptr)
            session.source->resize(size);
    }
}

void ScreenCastPortal::setFrameRate(int fps)
{
    current.frameRate = fps;
    for (const Session &session : std::as_const(sessions)) {
        if (session.source != nullptr)
            session.source->setFrameRate(fps);
    }
}

void ScreenCastPortal::setPointer(QPoint position)
{
    current.pointer = position;
    for (const Session &session : std::as_const(sessions)) {
        if (session.source != nullptr)
            session.source->setPointer(position);
    }
}

void ScreenCastPortal::announceProperty(const QString &name, uint value)
{
    QDBusMessage signal = QDBusMessage::createSignal(DesktopPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << ScreenCastInterface << QVariantMap{{name, value}} << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void ScreenCastPortal::endStreams()
{
    const QStringList keys = sessions.keys();
    for (const QString &key : keys) {
        Session &session = sessions[key];
        if (session.source == nullptr)
            continue;
        delete session.source;
        session.source = nullptr;
        session.object->closeFromDesktop();
        closeSession(key);
    }
}

uint ScreenCastPortal::activeStreams() const
{
    uint count = 0;
    for (const Session &session : sessions)
        count += session.source != nullptr ? 1 : 0;
    return count;
}

uint ScreenCastPortal::CreateSession(const QDBusObjectPath &, const QDBusObjectPath &sessionHandle,
                                     const QString &, const QVariantMap &, QVariantMap &)
{
    const QString key = sessionHandle.path();
    if (sessions.contains(key))
        return OtherFailure;
    auto *object = new PortalSession(sessionHandle, this);
    if (!object->isRegistered()) {
        qCWarning(lcPortal) << "cannot register the session" << key;
        delete object;
        return OtherFailure;
    }
    connect(object, &PortalSession::closeRequested, this, [this, key] { closeSession(key); });
    sessions.insert(key, Session{object});
    return Success;
}

uint ScreenCastPortal::SelectSources(const QDBusObjectPath &, const QDBusObjectPath &sessionHandle,
                                     const QString &, const QVariantMap &options, QVariantMap &)
{
    current.lastSelectOptions = options;
    auto found = sessions.find(sessionHandle.path());
    if (found == sessions.end())
        return OtherFailure;
    found->types = options.value(QStringLiteral("types"), uint(SourceMonitor)).toUInt();
    found->cursorMode = options.value(QStringLiteral("cursor_mode"), uint(CursorHidden)).toUInt();
    found->persistMode = options.value(QStringLiteral("persist_mode"), 0u).toUInt();
    found->restoredSourceType = restoredSourceType(options.value(QStringLiteral("restore_data")));
    return Success;
}

void ScreenCastPortal::Start(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle, const QString &,
                             const QString &, const QVariantMap &, const QDBusMessage &message)
{
    message.setDelayedReply(true);
    const QString key = sessionHandle.path();
    auto found = sessions.find(key);
    if (found == sessions.end() || found->source != nullptr || found->openDialog != nullptr) {
        reply(message, OtherFailure);
        return;
    }
    const uint response = current.nextResponse;
    current.nextResponse = Success;
    if (response == NoAnswer) {
        ++current.dialogCount;
        keepDialogOpen(key, handle, message);
        return;
    }

    uint sourceType = found->restoredSourceType & current.sourceTypes;
    if (sourceType == 0) {
        ++current.dialogCount;
        sourceType = chooseSourceType(*found);
    }
    if (response != Success || sourceType == 0) {
        reply(message, response != Success ? response : uint(OtherFailure));
        return;
    }
    startStream(key, sourceType, message);
}

void ScreenCastPortal::keepDialogOpen(const QString &key, const QDBusObjectPath &handle, const QDBusMessage &message)
{
    auto *dialog = new PortalRequest(handle, this);
    sessions[key].openDialog = dialog;
    connect(dialog, &PortalRequest::closeRequested, this, [this, key, dialog, message] {
        ++current.closedRequests;
        reply(message, Cancelled);
        auto found = sessions.find(key);
        if (found != sessions.end() && found->openDialog == dialog)
            found->openDialog = nullptr;
        dialog->deleteLater();
    });
}

uint ScreenCastPortal::chooseSourceType(const Session &session) const
{
    const uint offered = session.types & current.sourceTypes;
    if (offered & SourceMonitor)
        return SourceMonitor;
    return offered & SourceWindow;
}

void ScreenCastPortal::startStream(const QString &key, uint sourceType, const QDBusMessage &message)
{
    Session &session = sessions[key];
    const VideoSourceSettings settings{current.streamSize, current.frameRate, session.cursorMode, current.pointer,
                                       current.movingCrop};
    auto *source = new VideoSource(pipeWire, settings, this);
    session.source = source;
    auto answered = std::make_shared<bool>(false);

    connect(source, &VideoSource::ready, this, [this, key, source, sourceType, message, answered](quint32 nodeId) {
        auto found = sessions.find(key);
        if (*answered || found == sessions.end() || found->source != source)
            return;
        *answered = true;
        reply(message, Success, startResults(*found, sourceType, nodeId));
    });
    connect(source, &VideoSource::failed, this, [this, key, source, message, answered](const QString &why) {
        qCWarning(lcPortal) << "the stream of" << key << "failed:" << why;
        auto found = sessions.find(key);
        if (found == sessions.end() || found->source != source)
            return;
        found->source = nullptr;
        source->deleteLater();
        if (!*answered) {
            *answered = true;
            reply(message, OtherFailure);
        }
    });
    if (!source->start()) {
        qCWarning(lcPortal) << "cannot connect the stream of" << key;
        session.source = nullptr;
        delete source;
        reply(message, OtherFailure);
    }
}

QVariantMap ScreenCastPortal::startResults(const Session &session, uint sourceType, quint32 nodeId) const
{
    const QSize logical = current.logicalSize.isEmpty() ? current.streamSize : current.logicalSize;
    const QVariantMap properties{{QStringLiteral("source_type"), sourceType},
                                 {QStringLiteral("size"), logical},
                                 {QStringLiteral("position"), QPoint(current.monitor == 1 ? logical.width() : 0, 0)}};
    QVariantMap results{{QStringLiteral("streams"), QVariant::fromValue(QList<PortalStream>{{nodeId, properties}})}};
    if (session.persistMode != 0) {
        const QVariantMap kept{{QStringLiteral("source_type"), sourceType}};
        results.insert(QStringLiteral("persist_mode"), session.persistMode);
        results.insert(QStringLiteral("restore_data"),
                       QVariant::fromValue(RestoreData{RestoreVendor, RestoreVersion, QDBusVariant(kept)}));
    }
    return results;
}

void ScreenCastPortal::closeSession(const QString &key)
{
    auto found = sessions.find(key);
    if (found == sessions.end())
        return;
    delete found->source;
    delete found->openDialog;
    found->object->unregister();
    found->object->deleteLater();
    sessions.erase(found);
}

} // namespace vexlo::testportal
