#include "recorder/encodeworker.h"

#include <QDebug>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

// Sound frames waiting for the encoder: about ten seconds of them.
constexpr int audioBacklogLimit = 500;

} // namespace

EncodeWorker::EncodeWorker(AVCodecContext *codec, AVFormatContext *muxer, AVStream *stream,
                           std::vector<AVFrame *> pool, std::function<void()> onWriteFailed,
                           AVCodecContext *audioCodec, AVStream *audioStream)
    : codec(codec)
    , muxer(muxer)
    , stream(stream)
    , audioCodec(audioCodec)
    , audioStream(audioStream)
    , onWriteFailed(std::move(onWriteFailed))
    , allFrames(std::move(pool))
    , freeFrames(allFrames)
{
    thread = std::thread([this] { run(); });
}

EncodeWorker::~EncodeWorker()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
    for (Job &job : queued) {
        if (job.audio)
            av_frame_free(&job.frame);
    }
    for (AVFrame *frame : allFrames)
        av_frame_free(&frame);
}

AVFrame *EncodeWorker::acquireFrame()
{
    AVFrame *frame = nullptr;
    {
        std::lock_guard lock(mutex);
        if (freeFrames.empty())
            return nullptr;
        frame = freeFrames.back();
        freeFrames.pop_back();
    }
    // The encoder may still hold a reference to the planes of a frame it has
    // buffered; writing into them would change a picture not yet encoded.
    if (av_frame_make_writable(frame) < 0) {
        release(frame);
        return nullptr;
    }
    return frame;
}

bool EncodeWorker::hasFreeFrame()
{
    std::lock_guard lock(mutex);
    return !freeFrames.empty();
}

void EncodeWorker::submit(AVFrame *frame)
{
    {
        std::lock_guard lock(mutex);
        queued.push_back({frame, false});
    }
    wake.notify_one();
}

void EncodeWorker::submitAudio(AVFrame *frame)
{
    {
        std::lock_guard lock(mutex);
        if (audioCodec != nullptr && queuedAudio < audioBacklogLimit) {
            queued.push_back({frame, true});
            ++queuedAudio;
            frame = nullptr;
        }
    }
    if (frame != nullptr) {
        qWarning().noquote() << QStringLiteral("编码器跟不上，丢弃了一段声音");
        av_frame_free(&frame);
        return;
    }
    wake.notify_one();
}

void EncodeWorker::release(AVFrame *frame)
{
    std::lock_guard lock(mutex);
    freeFrames.push_back(frame);
}

namespace {

// Encoding yields to the GUI thread, whose ticks must run on time; the queue
// absorbs the encoder's delays instead.
constexpr int encoderNiceness = 5;

} // namespace

void EncodeWorker::lowerThisThreadsPriority()
{
    // Per thread on Linux, and inherited by threads it creates.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), encoderNiceness);
}

int EncodeWorker::openCodec(AVCodecContext *codec, const AVCodec *encoder)
{
    // Encoders start their own threads when opened; opening on a thread of
    // lowered priority gives them that priority too.
    int result = 0;
    std::thread([&] {
        lowerThisThreadsPriority();
        result = avcodec_open2(codec, encoder, nullptr);
    }).join();
    return result;
}

void EncodeWorker::run()
{
    lowerThisThreadsPriority();
    for (;;) {
        Job job{};
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || !queued.empty(); });
            if (queued.empty())
                return; // stopping, and everything submitted is encoded
            job = queued.front();
            queued.pop_front();
            if (job.audio)
                --queuedAudio;
        }
        write(job);
        if (job.audio)
            av_frame_free(&job.frame);
        else
            release(job.frame);
    }
}

void EncodeWorker::write(const Job &job)
{
    // After a failed write the file cannot grow; later frames are only
    // given back so that the GUI thread keeps running until it stops.
    if (failedWrite.load())
        return;
    int error = 0;
    const Result result = job.audio ? encode(audioCodec, muxer, audioStream, job.frame, &error)
                                    : encode(codec, muxer, stream, job.frame, &error);
    if (result == Result::WriteFailed) {
        firstWriteError.store(error);
        failedWrite.store(true);
        if (onWriteFailed)
            onWriteFailed();
    }
}

EncodeWorker::Result EncodeWorker::finish()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
    if (failedWrite.load())
        return Result::WriteFailed;
    int error = 0;
    Result result = encode(codec, muxer, stream, nullptr, &error);
    if (audioCodec != nullptr && result != Result::WriteFailed
        && encode(audioCodec, muxer, audioStream, nullptr, &error) == Result::WriteFailed)
        result = Result::WriteFailed;
    if (result == Result::WriteFailed) {
        firstWriteError.store(error);
        failedWrite.store(true);
    }
    return result;
}

EncodeWorker::Result EncodeWorker::encode(AVCodecContext *codec, AVFormatContext *muxer,
                                          AVStream *stream, AVFrame *frame, int *writeError)
{
    if (avcodec_send_frame(codec, frame) < 0) {
        // A refused end-of-stream marker means there is nothing left to drain.
        if (frame != nullptr)
            qWarning().noquote() << (codec->codec_type == AVMEDIA_TYPE_AUDIO
                                         ? QStringLiteral("发送音频帧到编码器失败")
                                         : QStringLiteral("发送视频帧到编码器失败"));
        return Result::SendFailed;
    }
    AVPacket *packet = av_packet_alloc();
    if (packet == nullptr)
        return Result::EncodeFailed;
    Result result = Result::Ok;
    for (;;) {
        const int ret = avcodec_receive_packet(codec, packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            break;
        if (ret < 0) {
            qWarning().noquote() << QStringLiteral("编码视频帧时出错");
            result = Result::EncodeFailed;
            break;
        }
        // Without a duration the last frame has none, and MP4 drops it.
        if (packet->duration <= 0 && codec->codec_type == AVMEDIA_TYPE_VIDEO)
            packet->duration = 1;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        // The muxer takes over the packet's reference and leaves it blank.
        if (const int ret = av_interleaved_write_frame(muxer, packet); ret < 0) {
            if (writeError != nullptr)
                *writeError = ret;
            result = Result::WriteFailed;
            break;
        }
    }
    av_packet_free(&packet);
    return result;
}
