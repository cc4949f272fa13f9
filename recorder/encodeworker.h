#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVStream;

// Encodes converted frames and writes their packets on one worker thread, so
// that an encoder call that takes several frame intervals never holds up the
// GUI thread. Frames circulate through a small fixed pool: the GUI thread takes
// a free one, fills it and submits it; when none is free the encoder is behind
// and the caller drops that tick instead of queueing without bound.
//
// The same thread encodes the sound: the capture thread submits finished
// audio frames, which the worker encodes and writes between the pictures, so
// that one thread alone ever writes to the muxer.
//
// The worker borrows the codec and muxer contexts; the recorder keeps owning
// them and must call finish() before releasing them.
class EncodeWorker
{
public:
    enum class Result { Ok, SendFailed, EncodeFailed, WriteFailed };

    // Takes ownership of the pool frames. onWriteFailed runs on the worker
    // thread, once, after the first packet that could not be written.
    // audioCodec and audioStream are null for a recording without sound.
    EncodeWorker(AVCodecContext *codec, AVFormatContext *muxer, AVStream *stream,
                 std::vector<AVFrame *> pool, std::function<void()> onWriteFailed,
                 AVCodecContext *audioCodec = nullptr, AVStream *audioStream = nullptr);
    ~EncodeWorker();
    EncodeWorker(const EncodeWorker &) = delete;
    EncodeWorker &operator=(const EncodeWorker &) = delete;

    // A writable frame from the pool, or null while every frame is queued or
    // being encoded. GUI thread.
    AVFrame *acquireFrame();
    // False while acquireFrame() would return null. GUI thread.
    bool hasFreeFrame();
    // Queues a frame from acquireFrame() with its pts set. GUI thread.
    void submit(AVFrame *frame);
    // Gives back a frame from acquireFrame() that will not be submitted.
    void release(AVFrame *frame);

    // Queues an audio frame (pts in samples) and takes it over. Dropped when
    // the worker is more than a few seconds of sound behind. Capture thread;
    // not after finish() has begun.
    void submitAudio(AVFrame *frame);

    // Encodes what is queued, stops the thread, then drains the encoder to
    // its end. Ok, or the first write failure seen during the whole run.
    // Called once, on the thread that finishes the recording, after the GUI
    // thread has stopped using the worker.
    Result finish();

    // True once a packet could not be written. Thread-safe.
    bool writeFailed() const { return failedWrite.load(); }
    // The AVERROR of the first failed write, 0 before. Thread-safe.
    int writeError() const { return firstWriteError.load(); }

    // Gives the calling thread the encoder's lowered priority. Any thread.
    static void lowerThisThreadsPriority();

    // avcodec_open2 on a short-lived thread of the worker's lowered
    // priority, which the encoder's own threads inherit.
    static int openCodec(AVCodecContext *codec, const AVCodec *encoder);

    // One send-and-drain step; a null frame flushes the encoder. Logs the
    // failures in the recorder's words; a failed write's AVERROR goes to
    // *writeError when given.
    static Result encode(AVCodecContext *codec, AVFormatContext *muxer, AVStream *stream,
                         AVFrame *frame, int *writeError = nullptr);

private:
    struct Job
    {
        AVFrame *frame;
        bool audio;
    };

    void run();
    void write(const Job &job);

    AVCodecContext *codec;
    AVFormatContext *muxer;
    AVStream *stream;
    AVCodecContext *audioCodec;
    AVStream *audioStream;
    std::function<void()> onWriteFailed;

    std::mutex mutex;
    std::condition_variable wake;
    std::vector<AVFrame *> allFrames;
    std::vector<AVFrame *> freeFrames;
    std::deque<Job> queued;
    int queuedAudio = 0;
    bool stopping = false;
    std::atomic<bool> failedWrite{false};
    std::atomic<int> firstWriteError{0};
    std::thread thread;
};
