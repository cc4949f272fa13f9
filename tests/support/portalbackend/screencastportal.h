#pragma once

#include "testcontent.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QVariantMap>

namespace vexlo::testportal {

class PipeWireCore;
class PortalRequest;
class PortalSession;
class VideoSource;

// What the tests set through the control interface and what they read back.
struct PortalState
{
    QSize streamSize{1920, 1080};
    QSize logicalSize;     // empty: the stream's pixel size
    // The monitor shared: 0 the first, at the desktop's origin; 1 the
    // second, to the right of the first and of the same size.
    uint monitor = 0;
    int frameRate = 30;
    // 0 success, 1 cancelled, 2 other failure, 3 no answer (the dialog
    // stays open until the request is closed); once.
    uint nextResponse = 0;
    uint sourceTypes = SourceMonitor | SourceWindow;
    uint cursorModes = CursorHidden | CursorEmbedded | CursorMetadata;
    QPoint pointer{DefaultPointerX, DefaultPointerY};
    bool movingCrop = false;
    uint dialogCount = 0;
    // Start requests the frontend closed while their dialog was open.
    uint closedRequests = 0;
    QVariantMap lastSelectOptions;
};

// org.freedesktop.impl.portal.ScreenCast: the desktop's side of a screen
// cast. The selection dialog is imagined: it picks the first requested
// source type on offer, unless valid restore data spares it. Every started
// session publishes one video source of the test content.
class ScreenCastPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.ScreenCast")
    Q_PROPERTY(uint AvailableSourceTypes READ availableSourceTypes)
    Q_PROPERTY(uint AvailableCursorModes READ availableCursorModes)
    Q_PROPERTY(uint version READ version CONSTANT)

public:
    explicit ScreenCastPortal(PipeWireCore &pipeWire, QObject *parent = nullptr);
    ~ScreenCastPortal() override;

    PortalState &state() { return current; }
    uint availableSourceTypes() const { return current.sourceTypes; }
    uint availableCursorModes() const { return current.cursorModes; }
    uint version() const { return 4; }

    void setStreamSize(QSize size);
    void setFrameRate(int fps);
    void setPointer(QPoint position);
    // Announces a changed property to the bus.
    void announceProperty(const QString &name, uint value);
    // Every running stream ends and its session is closed by the desktop.
    void endStreams();
    uint activeStreams() const;
    uint openSessions() const { return uint(sessions.size()); }

public slots:
    uint CreateSession(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle,
                       const QString &appId, const QVariantMap &options, QVariantMap &results);
    uint SelectSources(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle,
                       const QString &appId, const QVariantMap &options, QVariantMap &results);
    // Answered once the stream's node exists.
    void Start(const QDBusObjectPath &handle, const QDBusObjectPath &sessionHandle, const QString &appId,
               const QString &parentWindow, const QVariantMap &options, const QDBusMessage &message);

private:
    struct Session
    {
        PortalSession *object = nullptr;
        uint types = SourceMonitor;
        uint cursorMode = CursorHidden;
        uint persistMode = 0;
        uint restoredSourceType = 0; // from valid restore data, else 0
        VideoSource *source = nullptr;
        // The Start left unanswered, while its dialog is open.
        PortalRequest *openDialog = nullptr;
    };

    void startStream(const QString &key, uint sourceType, const QDBusMessage &message);
    // The dialog of `key` stays open until the frontend closes its request.
    void keepDialogOpen(const QString &key, const QDBusObjectPath &handle, const QDBusMessage &message);
    void closeSession(const QString &key);
    uint chooseSourceType(const Session &session) const;
    QVariantMap startResults(const Session &session, uint sourceType, quint32 nodeId) const;

    PipeWireCore &pipeWire;
    PortalState current;
    QHash<QString, Session> sessions;
};

} // namespace vexlo::testportal
