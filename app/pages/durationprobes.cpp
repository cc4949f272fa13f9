#include "app/pages/durationprobes.h"

#include <QMutex>
#include <QThreadPool>

namespace {
// Two threads: one slow file (each probe may take up to its deadline) does
// not hold up the rest of the folder.
constexpr int ProbeThreads = 2;
constexpr int QuitWaitMs = 1000;
} // namespace

struct DurationProbes::Shared
{
    Probe probe;
    QMutex mutex;
    // Cleared under the mutex when the object goes.
    DurationProbes *owner = nullptr;
};

DurationProbes::DurationProbes(Probe probe, QObject *parent)
    : QObject(parent)
    , shared(std::make_shared<Shared>())
    , pool(new QThreadPool)
{
    shared->probe = std::move(probe);
    shared->owner = this;
    pool->setMaxThreadCount(ProbeThreads);
}

DurationProbes::~DurationProbes()
{
    {
        QMutexLocker lock(&shared->mutex);
        shared->owner = nullptr;
    }
    pool->clear();
    // A probe stuck in the kernel (a file on a hung network mount) keeps its
    // thread; the pool is left to end with the process.
    if (pool->waitForDone(QuitWaitMs))
        delete pool;
}

void DurationProbes::request(const QString &path, qint64 size, const QDateTime &modified)
{
    pool->start([shared = shared, path, size, modified] {
        const QString duration = shared->probe(path);
        QMutexLocker lock(&shared->mutex);
        // Posted to the owner: dropped with it if it goes before delivery.
        if (DurationProbes *owner = shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, path, size, modified, duration] {
                    emit owner->probed(path, size, modified, duration);
                },
                Qt::QueuedConnection);
    });
}
