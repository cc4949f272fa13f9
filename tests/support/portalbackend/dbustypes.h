#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QMetaType>
#include <QVariantMap>

namespace vexlo::testportal {

// One entry of a Start result's `streams`: (u node id, a{sv} properties).
struct PortalStream
{
    quint32 nodeId = 0;
    QVariantMap properties;
};

// The backend's own restore data, (s vendor, u version, v data); the
// frontend keeps it behind the restore token it hands to the client.
struct RestoreData
{
    QString vendor;
    quint32 version = 0;
    QDBusVariant data;
};

// One entry of the shortcuts' a(sa{sv}): (s id, a{sv} properties).
struct BoundShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const BoundShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, BoundShortcut &shortcut);
QDBusArgument &operator<<(QDBusArgument &argument, const PortalStream &stream);
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalStream &stream);
QDBusArgument &operator<<(QDBusArgument &argument, const RestoreData &data);
const QDBusArgument &operator>>(const QDBusArgument &argument, RestoreData &data);

void registerDBusTypes();

} // namespace vexlo::testportal

Q_DECLARE_METATYPE(vexlo::testportal::PortalStream)
Q_DECLARE_METATYPE(vexlo::testportal::RestoreData)
Q_DECLARE_METATYPE(vexlo::testportal::BoundShortcut)
