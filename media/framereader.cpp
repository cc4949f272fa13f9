#include "media/framereader.h"

#include "media/framedecoder.h"

#include <QThread>

namespace media {

FrameReader::FrameReader(QObject *parent)
    : QObject(parent)
    , thread(new QThread)
    , decoder(std::make_unique<FrameDecoder>())
    , worker(new QObject)
{
    qRegisterMetaType<QList<int64_t>>("QList<int64_t>");
    thread->setObjectName(QStringLiteral("trim frame reader"));
    worker->moveToThread(thread);
    thread->start();
}

FrameReader::~FrameReader()
{
    thread->quit();
    thread->wait();
    delete worker;
    delete thread;
}

void FrameReader::open(const QString &path, QSize maxSize)
{
    FrameDecoder *frames = decoder.get();
    QMetaObject::invokeMethod(worker, [this, frames, path, maxSize] {
        QString error;
        if (!frames->open(path, maxSize, &error)) {
            emit failed(error);
            return;
        }
        emit opened(frames->frameTimes(), frames->endUs(), frames->videoSize());
    });
}

void FrameReader::requestFrame(int index)
{
    const unsigned request = ++requestCount;
    FrameDecoder *frames = decoder.get();
    QMetaObject::invokeMethod(worker, [this, frames, index, request] {
        if (request != requestCount.load())
            return;
        emit frameReady(index, frames->frame(index));
    });
}

} // namespace media
