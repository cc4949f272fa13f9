#include "portalclient.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

#include <fcntl.h>
#include <unistd.h>

namespace vexlo::test {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// A loaded machine starts PipeWire streams slowly.
constexpr int AnswerTimeoutMs = 60000;

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

QSize sizeOf(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument argument = value.value<QDBusArgument>();
    int width = 0, height = 0;
    argument.beginStructure();
    argument >> width >> height;
    argument.endStructure();
    return QSize(width, height);
}

} // namespace

PortalClient::PortalClient() = default;

PortalClient::~PortalClient()
{
    close();
}

int PortalClient::request(const QString &method, QVariantList arguments, QVariantMap &results)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    static int requestCount = 0;
    const QString handleToken = QStringLiteral("vexlotest%1").arg(++requestCount);
    const QString sender = bus.baseService().mid(1).replace('.', '_');
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, handleToken);
    // Subscribed before the call, so an early answer is not missed.
    answered = false;
    bus.connect(PortalService, path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                this, SLOT(onResponse(uint, QVariantMap)));
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), handleToken);
    arguments.append(options);

    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, ScreenCast, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, AnswerTimeoutMs);
    int response = -1;
    if (reply.type() != QDBusMessage::ReplyMessage)
        lastError = QStringLiteral("%1: %2").arg(method, reply.errorMessage());
    else if (!waitUntil([this] { return answered; }, AnswerTimeoutMs))
        lastError = QStringLiteral("%1: no answer").arg(method);
    else
        response = int(lastResponse);
    bus.disconnect(PortalService, path, QStringLiteral("org.freedesktop.portal.Request"),
                   QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    results = lastResults;
    return response;
}

int PortalClient::start(const Options &options)
{
    QVariantMap results;
    // Every session of the process gets a handle of its own.
    static int sessionCount = 0;
    const QString sessionToken = QStringLiteral("vexlotest%1").arg(++sessionCount);
    int response = request(QStringLiteral("CreateSession"),
                           {QVariantMap{{QStringLiteral("session_handle_token"), sessionToken}}}, results);
    if (response != 0)
        return response;
    session = results.value(QStringLiteral("session_handle")).toString();
    QDBusConnection::sessionBus().connect(PortalService, session, SessionInterface, QStringLiteral("Closed"), this,
                                          SLOT(onClosed()));

    QVariantMap select{{QStringLiteral("types"), options.types},
                       {QStringLiteral("cursor_mode"), options.cursorMode},
                       {QStringLiteral("persist_mode"), options.persistMode}};
    if (!options.restoreToken.isEmpty())
        select.insert(QStringLiteral("restore_token"), options.restoreToken);
    response = request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(session)), select},
                       results);
    if (response != 0)
        return response;

    response = request(QStringLiteral("Start"),
                       {QVariant::fromValue(QDBusObjectPath(session)), QString(), QVariantMap()}, results);
    if (response != 0)
        return response;
    token = results.value(QStringLiteral("restore_token")).toString();
    const QDBusArgument streams = results.value(QStringLiteral("streams")).value<QDBusArgument>();
    streams.beginArray();
    if (!streams.atEnd()) {
        QVariantMap properties;
        streams.beginStructure();
        streams >> node >> properties;
        streams.endStructure();
        size = sizeOf(properties.value(QStringLiteral("size")));
    }
    streams.endArray();
    if (node == 0) {
        lastError = QStringLiteral("Start: no stream");
        return -1;
    }
    return 0;
}

int PortalClient::openPipeWireRemote()
{
    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, ScreenCast,
                                                       QStringLiteral("OpenPipeWireRemote"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(session)), QVariantMap()});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, AnswerTimeoutMs);
    const auto descriptor = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
    if (reply.type() != QDBusMessage::ReplyMessage || !descriptor.isValid()) {
        lastError = QStringLiteral("OpenPipeWireRemote: %1").arg(reply.errorMessage());
        return -1;
    }
    return fcntl(descriptor.fileDescriptor(), F_DUPFD, 3);
}

bool PortalClient::waitForClosed(int timeoutMs)
{
    return waitUntil([this] { return closed; }, timeoutMs);
}

void PortalClient::close()
{
    if (session.isEmpty() || closed)
        return;
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(PortalService, session, SessionInterface, QStringLiteral("Close")),
        QDBus::Block, AnswerTimeoutMs);
    closed = true;
}

void PortalClient::onResponse(uint response, const QVariantMap &results)
{
    lastResponse = response;
    lastResults = results;
    answered = true;
}

void PortalClient::onClosed()
{
    closed = true;
}

} // namespace vexlo::test
