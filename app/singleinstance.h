#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace vexlo {

// One command from another start ("vexlo --stop"), answered once. The answer
// goes back over the socket; a request whose caller has gone is answered
// into nothing. Lives on the GUI thread.
class CommandRequest : public QObject
{
    Q_OBJECT

public:
    CommandRequest(QLocalSocket *socket, QString name, QString argument, QObject *parent);

    QString name() const { return commandName; }
    QString argument() const { return commandArgument; }
    bool isAnswered() const { return answered; }

    // text goes to the caller's standard output (ok) or standard error.
    void reply(bool ok, const QString &text);

signals:
    void answeredNow();

private:
    QPointer<QLocalSocket> socket;
    QString commandName;
    QString commandArgument;
    bool answered = false;
};

// One running Vexlo per user and display. The first start listens on a
// local socket in the user's runtime folder, named after the display; a
// later start connects, asks it to come to the front (or sends it a
// command) and ends. A socket left by a crashed instance is replaced. Made
// after the application object.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Primary, HandedOver };

    // displayOption: the -display the user gave, or empty.
    explicit SingleInstance(const QString &displayOption, QObject *parent = nullptr);

    // The socket of the Vexlo on the display the toolkit would open with
    // the given backend, for a start that opens no display itself; empty
    // without a runtime folder.
    static QString socketPathFor(const QString &platform, const QString &displayOption);

    // Hands the start over to a running instance, or becomes the one that
    // others hand over to. Without a usable runtime folder it runs alone.
    Role claim();

    QString socketPath() const { return path; }

    // Commands that came before anyone listened are emitted from here on.
    void acceptCommands();

signals:
    // Another start asked for the window; emitted on the GUI thread.
    void activationRequested();
    // Another start sent a command; the request is answered by the receiver
    // and deleted with its connection.
    void commandReceived(vexlo::CommandRequest *request);

private:
    bool handOver();
    void listen();
    void serve(QLocalSocket *socket);
    void dispatch(QLocalSocket *socket, const QByteArray &line);

    QString path;
    QLocalServer *server = nullptr;
    bool accepting = false;
    QList<QPointer<CommandRequest>> waiting;
};

// The line a command travels as, and its answer; shared with the client.
QByteArray commandLine(const QString &name, const QString &argument);
QByteArray answerLine(bool ok, const QString &text);
// Parses an answer line; false when it is none.
bool parseAnswer(const QByteArray &line, bool *ok, QString *text);

} // namespace vexlo
