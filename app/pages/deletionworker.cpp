#include "app/pages/deletionworker.h"

#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {
// Bounds the rate of progress updates posted to the GUI thread.
constexpr unsigned long PauseBetweenFilesMs = 10;
} // namespace

DeletionWorker::DeletionWorker(QStringList paths, QObject *parent)
    : QObject(parent)
    , paths(std::move(paths))
{
}

QFuture<void> DeletionWorker::start()
{
    return QtConcurrent::run(QThreadPool::globalInstance(), [this] { run(); });
}

void DeletionWorker::run()
{
    for (int i = 0; i < paths.size() && !cancelled.load(); ++i) {
        QFile file(paths.at(i));
        // A file that is gone already is what was asked for.
        if (!file.remove() && QFile::exists(paths.at(i)))
            failed.append({paths.at(i), file.errorString()});
        emit progressed(i + 1);
        QThread::msleep(PauseBetweenFilesMs);
    }
}
