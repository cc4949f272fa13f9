#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>

// Reads the playing time of listed recordings, with the probing function it
// is given, on a small thread pool of its own, so that neither the GUI thread
// nor the global pool (where delete-all runs) waits for a slow file. Each
// request carries the size and modification time the file was listed with,
// and its answer carries them back, so the receiver can tell an answer about
// an older state of the file.
//
// Lives on the GUI thread. Answers are emitted on pool threads; connect with
// this object as the context, so that answers still queued when it is
// destroyed are dropped with it.
class DurationProbes : public QObject
{
    Q_OBJECT

public:
    // probe turns a path into the text to show; it runs on pool threads and
    // must be thread-safe.
    using Probe = std::function<QString(const QString &path)>;

    explicit DurationProbes(Probe probe, QObject *parent = nullptr);
    // Drops the requests not yet started and waits for the running ones,
    // each bounded by the probe's deadline. GUI thread.
    ~DurationProbes() override;

    // Queues one probe. GUI thread.
    void request(const QString &path, qint64 size, const QDateTime &modified);

signals:
    // Emitted on a pool thread with the probe's text.
    void probed(const QString &path, qint64 size, const QDateTime &modified,
                const QString &duration);

private:
    const Probe probe;
    QThreadPool pool;
};
