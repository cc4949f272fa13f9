#include "gnomedesktop.h"

#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QRegularExpression>

namespace vexlo::test {

namespace {

const QString MutterRemoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString MutterScreenCast = QStringLiteral("org.gnome.Mutter.ScreenCast");
constexpr int CallTimeoutMs = 30000;

QDBusMessage callMutter(const QString &service, const QString &path, const QString &interface,
                        const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
}

QString failure(const QString &method, const QDBusMessage &reply)
{
    return QStringLiteral("%1: %2 %3").arg(method, reply.errorName(), reply.errorMessage());
}

} // namespace

bool GnomeDesktop::running()
{
    return !qEnvironmentVariableIsEmpty("VEXLO_TEST_DESKTOP");
}

bool GnomeDesktop::withShell()
{
    return qEnvironmentVariable("VEXLO_TEST_DESKTOP") == QLatin1String("gnome-shell");
}

QStringList GnomeDesktop::portalObjects(const QString &kind)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/%1/%2").arg(kind, sender);
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"), path,
                                       QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                       QStringLiteral("Introspect")),
        QDBus::Block, CallTimeoutMs);
    QStringList objects;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return objects;
    static const QRegularExpression node(QStringLiteral("<node name=\"([^\"]+)\""));
    auto matches = node.globalMatch(reply.arguments().value(0).toString());
    while (matches.hasNext())
        objects << path + QLatin1Char('/') + matches.next().captured(1);
    return objects;
}

void DialogUser::start(const QStringList &arguments)
{
    problem.clear();
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{sourceDir() + QStringLiteral("/tests/support/gnomedialog.py")} + arguments);
}

bool DialogUser::wait(int timeoutMs)
{
    if (!QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        problem = QStringLiteral("gnomedialog.py did not finish");
        return false;
    }
    const QString output = QString::fromUtf8(process.readAll()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        problem = output.isEmpty() ? process.errorString() : output;
        return false;
    }
    return true;
}

MutterPointer::~MutterPointer()
{
    if (!session.isEmpty())
        callMutter(MutterRemoteDesktop, session, MutterRemoteDesktop + QStringLiteral(".Session"),
                   QStringLiteral("Stop"), {});
}

bool MutterPointer::open()
{
    QDBusMessage reply = callMutter(MutterRemoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                    MutterRemoteDesktop, QStringLiteral("CreateSession"), {});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        problem = failure(QStringLiteral("RemoteDesktop.CreateSession"), reply);
        return false;
    }
    session = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    reply = callMutter(MutterRemoteDesktop, session, QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("Get"),
                       {MutterRemoteDesktop + QStringLiteral(".Session"), QStringLiteral("SessionId")});
    const QString id = qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant().toString();
    if (reply.type() != QDBusMessage::ReplyMessage || id.isEmpty()) {
        problem = failure(QStringLiteral("SessionId"), reply);
        return false;
    }
    reply = callMutter(MutterScreenCast, QStringLiteral("/org/gnome/Mutter/ScreenCast"), MutterScreenCast,
                       QStringLiteral("CreateSession"),
                       {QVariantMap{{QStringLiteral("remote-desktop-session-id"), id}}});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        problem = failure(QStringLiteral("ScreenCast.CreateSession"), reply);
        return false;
    }
    const QString cast = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    // The empty connector is the primary monitor.
    reply = callMutter(MutterScreenCast, cast, MutterScreenCast + QStringLiteral(".Session"),
                       QStringLiteral("RecordMonitor"), {QString(), QVariantMap()});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        problem = failure(QStringLiteral("RecordMonitor"), reply);
        return false;
    }
    stream = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    reply = callMutter(MutterRemoteDesktop, session, MutterRemoteDesktop + QStringLiteral(".Session"),
                       QStringLiteral("Start"), {});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        problem = failure(QStringLiteral("RemoteDesktop.Start"), reply);
        return false;
    }
    return true;
}

bool MutterPointer::moveTo(QPoint position)
{
    if (session.isEmpty() && !open())
        return false;
    // The stream starts a moment after the session: motion waits for it.
    QDBusMessage reply;
    const bool moved = QTest::qWaitFor(
        [&] {
            reply = callMutter(MutterRemoteDesktop, session, MutterRemoteDesktop + QStringLiteral(".Session"),
                               QStringLiteral("NotifyPointerMotionAbsolute"),
                               {QVariant::fromValue(stream), double(position.x()), double(position.y())});
            return reply.type() == QDBusMessage::ReplyMessage;
        },
        10000);
    if (!moved)
        problem = failure(QStringLiteral("NotifyPointerMotionAbsolute"), reply);
    return moved;
}

} // namespace vexlo::test
