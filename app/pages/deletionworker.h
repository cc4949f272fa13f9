#pragma once

#include <QFuture>
#include <QList>
#include <QObject>
#include <QStringList>

#include <atomic>

// Deletes a fixed list of files, one after another, on a thread of the
// global pool while the GUI thread keeps running (delete-all on the history
// page). The list is copied at construction, so rebuilds of the table while
// the worker runs cannot change what it deletes; it touches no widget and
// learns of cancellation through an atomic flag.
//
// The object itself belongs to the GUI thread and must outlive the future
// returned by start().
class DeletionWorker : public QObject
{
    Q_OBJECT

public:
    struct Failure
    {
        QString path;
        QString reason;
    };

    explicit DeletionWorker(QStringList paths, QObject *parent = nullptr);

    // Runs the deletion on QThreadPool::globalInstance(). GUI thread, once.
    QFuture<void> start();

    // Stops before the next file. Any thread.
    void cancel() { cancelled.store(true); }
    bool wasCancelled() const { return cancelled.load(); }

    // The files that are still there after their attempt, with the reason.
    // GUI thread, after the future has finished.
    QList<Failure> failures() const { return failed; }

signals:
    // Files processed so far, deleted or not. Emitted on the pool thread;
    // connect with a queued connection.
    void progressed(int done);

private:
    // Pool thread.
    void run();

    const QStringList paths;
    std::atomic<bool> cancelled{false};
    // Written by the pool thread only, read after it has finished.
    QList<Failure> failed;
};
