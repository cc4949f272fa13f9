#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;

namespace media {

class FrameDecoder;

// The frames of one file for a dialog that shows them: a FrameDecoder on a
// thread of its own, which lives as long as this object. Requests are
// answered in order and only the newest one counts: a frame asked for while
// another is being decoded replaces any still waiting, so holding down a
// key never builds a backlog.
//
// Every public method is for the thread that made the object (the GUI
// thread); the signals arrive there, queued. The decoder belongs to the
// worker thread alone.
class FrameReader : public QObject
{
    Q_OBJECT

public:
    explicit FrameReader(QObject *parent = nullptr);
    // Waits for the frame being decoded, if any, then ends the thread.
    ~FrameReader() override;

    // Opens the file on the worker thread; opened or failed follows.
    void open(const QString &path, QSize maxSize);
    // Asks for a frame; frameReady follows unless a newer request replaces it.
    void requestFrame(int index);

signals:
    void opened(const QList<int64_t> &frameTimesUs, int64_t endUs, QSize videoSize);
    void failed(const QString &reason);
    void frameReady(int index, const QImage &picture);

private:
    QThread *thread;
    // Owned by the worker thread from open() on; deleted after it has ended.
    std::unique_ptr<FrameDecoder> decoder;
    QObject *worker;
    std::atomic<unsigned> requestCount{0};
};

} // namespace media
