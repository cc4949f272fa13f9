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

#include <utility>

namespace vexlo {

namespace {

const QByteArray Request = QByteArrayLiteral("activate\n");
const QByteArray Answer = QByteArrayLiteral("ok\n");
const QByteArray CommandWord = QByteArrayLiteral("command ");
// A command line is short; anything longer is no client of ours.
constexpr int MaxLineBytes = 4096;
constexpr int ConnectMs = 1000;
// A running instance whose event loop is busy acts when it is free again;
// the new start does not wait for that.
constexpr int AnswerMs = 1500;
constexpr int LockMs = 10000;

// ":0" and ":0.0" are the same display; the screen number is dropped.
QString displayKey(const QString &platform, const QString &displayOption)
{
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

QByteArray commandLine(const QString &name, const QString &argument)
{
    return CommandWord + name.toUtf8() + ' ' + argument.toUtf8().toPercentEncoding() + '\n';
}

QByteArray answerLine(bool ok, const QString &text)
{
    return (ok ? QByteArrayLiteral("ok ") : QByteArrayLiteral("fail "))
           + text.toUtf8().toPercentEncoding() + '\n';
}

bool parseAnswer(const QByteArray &line, bool *ok, QString *text)
{
    const QByteArray trimmed = line.trimmed();
    const int space = trimmed.indexOf(' ');
    const QByteArray word = space < 0 ? trimmed : trimmed.left(space);
    if (word != "ok" && word != "fail")
        return false;
    *ok = word == "ok";
    *text = space < 0 ? QString()
                      : QString::fromUtf8(QByteArray::fromPercentEncoding(trimmed.mid(space + 1)));
    return true;
}

CommandRequest::CommandRequest(QLocalSocket *socket, QString name, QString argument,
                               QObject *parent)
    : QObject(parent)
    , socket(socket)
    , commandName(std::move(name))
    , commandArgument(std::move(argument))
{
}

void CommandRequest::reply(bool ok, const QString &text)
{
    if (answered)
        return;
    answered = true;
    if (socket) {
        socket->write(answerLine(ok, text));
        socket->disconnectFromServer();
    }
    emit answeredNow();
}

SingleInstance::SingleInstance(const QString &displayOption, QObject *parent)
    : QObject(parent)
    , path(socketPathFor(QGuiApplication::platformName(), displayOption))
{
}

QString SingleInstance::socketPathFor(const QString &platform, const QString &displayOption)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString();
    return QStringLiteral("%1/%2-%3.socket")
        .arg(runtime, applicationId(), displayKey(platform, displayOption));
}

void SingleInstance::acceptCommands()
{
    accepting = true;
    const auto pending = std::exchange(waiting, {});
    for (const QPointer<CommandRequest> &request : pending)
        if (request)
            emit commandReceived(request);
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
        // One line per connection; later bytes are ignored.
        if (socket->property("vexloRead").toBool())
            return;
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > MaxLineBytes)
                socket->abort();
            return;
        }
        socket->setProperty("vexloRead", true);
        dispatch(socket, socket->readLine(MaxLineBytes));
    });
}

void SingleInstance::dispatch(QLocalSocket *socket, const QByteArray &line)
{
    if (line == Request) {
        emit activationRequested();
        socket->write(Answer);
        socket->disconnectFromServer();
        return;
    }
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (!line.startsWith(CommandWord) || words.size() < 2 || words.size() > 3) {
        socket->abort();
        return;
    }
    auto *request = new CommandRequest(socket, QString::fromUtf8(words[1]),
                                       QString::fromUtf8(QByteArray::fromPercentEncoding(words.value(2))),
                                       socket);
    if (accepting)
        emit commandReceived(request);
    else
        waiting.append(request);
}

} // namespace vexlo
