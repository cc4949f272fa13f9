#include "app/singleinstance.h"

#include "app/identity.h"

#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtDebug>

namespace vexlo {

namespace {

const QByteArray Request = QByteArrayLiteral("activate\n");
const QByteArray Answer = QByteArrayLiteral("ok\n");
constexpr int ConnectMs = 1000;
// A running instance whose event loop is busy acts when it is free again;
// the new start does not wait for that.
constexpr int AnswerMs = 1500;
constexpr int LockMs = 10000;

// ":0" and ":0.0" are the same display; the screen number is dropped.
QString displayKey(const QString &displayOption)
{
    const QString platform = QGuiApplication::platformName();
    QString display;
    if (platform == QLatin1String("xcb")) {
        display = displayOption.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayOption;
        display.remove(QRegularExpression(QStringLiteral("\\.\\d+$")));
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    } else {
        display = platform;
    }
    return display.replace(u'/', u'_');
}

} // namespace

SingleInstance::SingleInstance(const QString &displayOption, QObject *parent)
    : QObject(parent)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        path = QStringLiteral("%1/%2-%3.socket")
                   .arg(runtime, applicationId(), displayKey(displayOption));
}

SingleInstance::Role SingleInstance::claim()
{
    if (path.isEmpty()) {
        qWarning().noquote() << "No runtime folder: other starts of Vexlo are not noticed";
        return Role::Primary;
    }
    // Two starts at once must not both find no server and both listen.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockMs))
        qWarning().noquote() << "Could not lock" << lock.fileName() << "- starting anyway";
    if (handOver())
        return Role::HandedOver;
    listen();
    return Role::Primary;
}

bool SingleInstance::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectMs))
        return false;
    socket.write(Request);
    if (!socket.waitForBytesWritten(ConnectMs))
        return false;
    socket.waitForReadyRead(AnswerMs);
    return true;
}

void SingleInstance::listen()
{
    // Left behind by an instance that crashed: nobody answers on it.
    QLocalServer::removeServer(path);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        qWarning().noquote() << "Other starts of Vexlo are not noticed:" << server->errorString();
        return;
    }
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server->nextPendingConnection())
            serve(socket);
    });
}

void SingleInstance::serve(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > Request.size())
                socket->abort();
            return;
        }
        if (socket->readLine() != Request) {
            socket->abort();
            return;
        }
        emit activationRequested();
        socket->write(Answer);
        socket->disconnectFromServer();
    });
}

} // namespace vexlo
