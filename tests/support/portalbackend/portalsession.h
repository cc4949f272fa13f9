#pragma once

#include <QDBusObjectPath>
#include <QObject>

namespace vexlo::testportal {

// org.freedesktop.impl.portal.Session at a session's handle: the frontend
// closes it, or the backend announces that the desktop closed it (the Closed
// signal goes out as a plain message, sent before the object leaves the bus:
// a relayed Qt signal would be dropped once the object is unregistered).
class PortalSession : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Session")
    Q_PROPERTY(uint version READ version CONSTANT)

public:
    explicit PortalSession(const QDBusObjectPath &handle, QObject *parent = nullptr);
    ~PortalSession() override;

    QDBusObjectPath handle() const { return path; }
    bool isRegistered() const { return registered; }
    uint version() const { return 1; }

    // As when the user stops sharing on the desktop: emits Closed.
    void closeFromDesktop();
    // Leaves the bus at once: a new session may take the same handle before
    // this object is deleted.
    void unregister();

public slots:
    void Close();

signals:
    void closeRequested();

private:
    QDBusObjectPath path;
    bool registered = false;
};

} // namespace vexlo::testportal
