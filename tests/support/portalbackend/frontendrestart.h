#pragma once

#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QProcess>

class QDBusServiceWatcher;

namespace vexlo::testportal {

// The portal frontend reads the backend's source types and cursor modes
// only when it starts, so a change of either replaces the running frontend
// (the program named by VEXLO_TEST_PORTAL_FRONTEND) with a fresh one, which
// this object owns and ends on exit. Replies to the waiting control calls go
// out once the new frontend holds its bus name.
class FrontendRestart : public QObject
{
    Q_OBJECT

public:
    explicit FrontendRestart(QObject *parent = nullptr);
    ~FrontendRestart() override;

    // Replies to message when the replacement is ready, or with an error.
    void restart(const QDBusMessage &message);

private:
    void finish(const QString &newOwner);
    void fail(const QString &why);

    QProcess *frontend = nullptr;
    QDBusServiceWatcher *watcher = nullptr;
    QList<QDBusMessage> waiting;
};

} // namespace vexlo::testportal
