#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

// Reads the playing time of listed recordings, with the probing function it
// is given, on a small thread pool of its own, so that neither the GUI thread
// nor the global pool (where delete-all runs) waits for a slow file. Each
// request carries the size and modification time the file was listed with,
// and its answer carries them back, so the receiver can tell an answer about
// an older state of the file.
//
// Lives on the GUI thread, and so do its answers.
class DurationProbes : public QObject
{
    Q_OBJECT

public:
    // probe turns a path into the text to show; it runs on pool threads and
    // must be thread-safe.
    using Probe = std::function<QString(const QString &path)>;

    explicit DurationProbes(Probe probe, QObject *parent = nullptr);
    // Drops the requests not yet started and waits a second at most for the
    // running ones: quitting never hangs on a file. A probe still running
    // then is left behind; its answer goes nowhere. GUI thread.
    ~DurationProbes() override;

    // Queues one probe. GUI thread.
    void request(const QString &path, qint64 size, const QDateTime &modified);

signals:
    // The probe's text, on the GUI thread.
    void probed(const QString &path, qint64 size, const QDateTime &modified,
                const QString &duration);

private:
    struct Shared;
    // Shared with the running probes, which may outlive this object.
    std::shared_ptr<Shared> shared;
    // Deleted with this object unless a probe is stuck in it.
    QThreadPool *pool;
};
