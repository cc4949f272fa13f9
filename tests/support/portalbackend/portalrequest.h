#pragma once

#include <QDBusObjectPath>
#include <QObject>

namespace vexlo::testportal {

// org.freedesktop.impl.portal.Request at a Start's handle, for a dialog
// that stays open: the frontend closes it when the application withdraws
// its request.
class PortalRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Request")

public:
    explicit PortalRequest(const QDBusObjectPath &handle, QObject *parent = nullptr);
    ~PortalRequest() override;

    bool isRegistered() const { return registered; }

public slots:
    void Close();

signals:
    void closeRequested();

private:
    QDBusObjectPath path;
    bool registered = false;
};

} // namespace vexlo::testportal
