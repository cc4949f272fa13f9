#pragma once

// A client of the desktop's ScreenCast portal (org.freedesktop.portal.
// ScreenCast on the session bus): creates a session, selects a monitor or a
// window with the pointer mode wanted, starts it (the desktop may show its
// own dialog) and opens the PipeWire remote that carries the stream. Every
// call is asynchronous; the GUI thread never waits on the bus. GUI thread
// only.

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <functional>

class QDBusPendingCall;

namespace capture {

class PortalSession : public QObject
{
    Q_OBJECT

public:
    // The portal's bit values.
    enum SourceType : uint { Monitor = 1, WindowSource = 2 };
    enum CursorMode : uint { CursorHidden = 1, CursorEmbedded = 2, CursorMetadata = 4 };

    struct Request
    {
        SourceType source = Monitor;
        bool pointer = true;
        // Asks the desktop to remember the choice, and hands back the token
        // of an earlier one (empty: the desktop asks).
        bool persist = false;
        QString restoreToken;
        // The window the desktop's dialog belongs to, "x11:<hex id>".
        QString parentWindow;
    };

    struct Stream
    {
        quint32 node = 0;
        // Where the source lies on the desktop and its logical size; an
        // invalid size when the desktop does not say.
        QPoint position;
        QSize logicalSize;
    };

    explicit PortalSession(QObject *parent = nullptr);
    ~PortalSession() override;

    void start(const Request &request);
    // Ends the session on the desktop's side, and withdraws a request still
    // waiting for its answer (the desktop's dialog closes); no signal
    // follows.
    void close();

    // The source types the portal offers (Monitor | WindowSource bits), or -1
    // when there is no portal with the ScreenCast interface. Waits for the
    // bus at most `timeoutMs`: for start-up, not for a running page.
    static int sourceTypes(int timeoutMs);

signals:
    // The desktop shares `stream`; `fd` is the PipeWire remote, owned by the
    // receiver. `restoreToken` is empty when the desktop gave none.
    void started(const capture::PortalSession::Stream &stream, int fd,
                 const QString &restoreToken);
    // The user cancelled the desktop's dialog.
    void cancelled();
    // The portal is missing or failed; the reason names what, in the user's
    // language.
    void failed(const QString &reason);
    // The desktop ended the session (the user stopped sharing).
    void closed();

private slots:
    void onResponse(uint response, const QVariantMap &results);
    void onClosed();

private:
    using Step = void (PortalSession::*)(const QVariantMap &results);

    void readProperties();
    void createSession();
    void selectSources(const QVariantMap &results);
    void startSession(const QVariantMap &results);
    void openRemote(const QVariantMap &results);
    // Calls `method` with a fresh request token as its options' handle_token
    // and runs `next` with the results of its Response.
    void callWithRequest(const QString &method, QVariantList arguments, QVariantMap options,
                         Step next);
    void watch(const QDBusPendingCall &call, const std::function<void(const QDBusPendingCall &)> &done);
    void fail(const QString &reason);
    void stopListening();

    Request request;
    uint version = 0;
    uint availableCursorModes = 0;
    QString sessionHandle;
    QString requestPath;
    Step pendingStep = nullptr;
    Stream stream;
    QString restoreToken;
    bool active = false;
};

} // namespace capture
