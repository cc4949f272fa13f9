#include "frontendrestart.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace vexlo::testportal {

namespace {

const QString FrontendName = QStringLiteral("org.freedesktop.portal.Desktop");

} // namespace

FrontendRestart::FrontendRestart(QObject *parent) : QObject(parent)
{
    watcher = new QDBusServiceWatcher(FrontendName, QDBusConnection::sessionBus(),
                                      QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { finish(newOwner); });
}

FrontendRestart::~FrontendRestart()
{
    if (frontend != nullptr) {
        frontend->terminate();
        if (!frontend->waitForFinished(5000))
            frontend->kill();
        frontend->waitForFinished(5000);
    }
}

void FrontendRestart::restart(const QDBusMessage &message)
{
    message.setDelayedReply(true);
    const QString program = qEnvironmentVariable("VEXLO_TEST_PORTAL_FRONTEND");
    if (program.isEmpty()) {
        QDBusConnection::sessionBus().send(message.createErrorReply(
            QDBusError::NotSupported, QStringLiteral("VEXLO_TEST_PORTAL_FRONTEND is not set: the frontend "
                                                     "keeps the source types and cursor modes it started with")));
        return;
    }
    waiting.append(message);
    if (waiting.size() > 1)
        return;

    // The frontend this object started last is replaced like the first one.
    auto *next = new QProcess(this);
    next->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(next, &QProcess::errorOccurred, this, [this, next](QProcess::ProcessError) {
        if (next == frontend)
            fail(QStringLiteral("the frontend did not start: %1").arg(next->errorString()));
    });
    QProcess *previous = frontend;
    frontend = next;
    next->start(program, {QStringLiteral("--replace")});
    if (previous != nullptr) {
        connect(previous, &QProcess::finished, previous, &QObject::deleteLater);
        connect(previous, &QProcess::errorOccurred, previous, &QObject::deleteLater);
    }
}

void FrontendRestart::finish(const QString &newOwner)
{
    if (waiting.isEmpty() || frontend == nullptr || newOwner.isEmpty())
        return;
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(FrontendName);
    if (!pid.isValid() || qint64(pid.value()) != frontend->processId())
        return;
    for (const QDBusMessage &message : std::as_const(waiting))
        QDBusConnection::sessionBus().send(message.createReply());
    waiting.clear();
}

void FrontendRestart::fail(const QString &why)
{
    for (const QDBusMessage &message : std::as_const(waiting))
        QDBusConnection::sessionBus().send(message.createErrorReply(QDBusError::Failed, why));
    waiting.clear();
}

} // namespace vexlo::testportal
