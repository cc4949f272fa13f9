#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QVariantMap>

namespace vexlo::test {

// An application's side of the ScreenCast portal, for the rig's own test and
// the benchmark's peer: a session through the real frontend, handing over
// the PipeWire node and connection as any screen recorder would get them.
// Closed on destruction. Calls wait for the portal's answers (the event loop
// runs meanwhile).
class PortalClient : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        uint types = 1;      // monitor
        uint cursorMode = 1; // hidden
        uint persistMode = 0;
        QString restoreToken;
    };

    PortalClient();
    ~PortalClient() override;

    // CreateSession, SelectSources and Start: the Start response (0 started,
    // 1 cancelled, 2 failed), or -1 when a step fails (see error()).
    int start(const Options &options);
    // OpenPipeWireRemote: a descriptor without close-on-exec, so that a
    // child process inherits it; the caller closes it. -1 on failure.
    int openPipeWireRemote();
    // Waits for the frontend's Session.Closed; true once it came.
    bool waitForClosed(int timeoutMs);
    void close();

    uint nodeId() const { return node; }
    QSize streamSize() const { return size; }
    QString restoreToken() const { return token; }
    QString error() const { return lastError; }

private slots:
    void onResponse(uint response, const QVariantMap &results);
    void onClosed();

private:
    // One portal call answered through a Request object; -1 on failure.
    int request(const QString &method, QVariantList arguments, QVariantMap &results);

    QString session;
    uint node = 0;
    QSize size;
    QString token;
    QString lastError;
    bool closed = false;
    bool answered = false;
    uint lastResponse = 0;
    QVariantMap lastResults;
};

} // namespace vexlo::test
