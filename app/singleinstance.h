#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace vexlo {

// One running Vexlo per user and display. The first start listens on a
// local socket in the user's runtime folder, named after the display; a
// later start connects, asks it to come to the front and ends. A socket
// left by a crashed instance is replaced. Made after the application object.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Primary, HandedOver };

    // displayOption: the -display the user gave, or empty.
    explicit SingleInstance(const QString &displayOption, QObject *parent = nullptr);

    // Hands the start over to a running instance, or becomes the one that
    // others hand over to. Without a usable runtime folder it runs alone.
    Role claim();

    QString socketPath() const { return path; }

signals:
    // Another start asked for the window; emitted on the GUI thread.
    void activationRequested();

private:
    bool handOver();
    void listen();
    void serve(QLocalSocket *socket);

    QString path;
    QLocalServer *server = nullptr;
};

} // namespace vexlo
