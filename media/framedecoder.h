#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace media {

// The frames of one video file, each shown exactly: a frame is reached by
// seeking to the key frame before it and decoding up to it, and the frames
// decoded on the way are kept in a small cache, so stepping back costs one
// such run per group of pictures. Not thread-safe: one thread owns it (the
// trim dialog's frame reader).
class FrameDecoder
{
public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder &) = delete;
    FrameDecoder &operator=(const FrameDecoder &) = delete;

    // Opens the file and lists its video frames (one read of the packets,
    // nothing decoded); pictures come scaled to fit maxSize. False with
    // the reason on failure.
    bool open(const QString &path, QSize maxSize, QString *error);

    // Presentation times of every frame in microseconds from the file's
    // start, increasing.
    const QList<int64_t> &frameTimes() const { return times; }
    // Where the last frame ends: the end point of a cut that keeps it.
    int64_t endUs() const { return end; }
    QSize videoSize() const { return size; }

    // The picture of frame index; null when it cannot be decoded.
    QImage frame(int index);

private:
    bool indexPackets(QString *error);
    void seekBefore(int index);
    // Decodes the next frame in presentation order; false at the end or on
    // an error.
    bool decodeNext();
    void keep(int index, const AVFrame *decoded);
    void release();

    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *decoded = nullptr;
    SwsContext *scaler = nullptr;
    int stream = -1;
    bool drained = false;

    QList<int64_t> pts;      // stream time base, sorted
    QList<int64_t> times;    // microseconds from the file's start
    QList<int> keyFrames;    // indexes of key frames, increasing
    int64_t end = 0;
    QSize size;
    QSize pictureSize;
    // The index of the frame last decoded, -1 after a seek.
    int lastDecoded = -1;
    QHash<int, QImage> cache;
    int cacheLimit = 64;
};

} // namespace media
