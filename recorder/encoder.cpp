// Builds and tears down the media pipeline of one recording: container,
// encoder with the quality preset, frame pool and the open file.

#include "recorder/audiocapture.h"
#include "recorder/encodeworker.h"
#include "recorder/screenrecorder.h"

#include <QDebug>
#include <QFile>
#include <QMetaObject>
#include <QThread>

#include <cstring>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

// What each container needs so that a recording survives an abnormal end:
// fragments or clusters of at most a second (with a key frame at least every
// second), each on disk as soon as it is complete. A normal stop still
// writes the full index, cues and duration.
struct ContainerSpec
{
    OutputFormat format;
    const char *muxer;
    const char *options; // "key=value:key=value", for avformat_write_header
};

namespace {

constexpr const char *fragmentedMp4 = "movflags=frag_keyframe+empty_moov+default_base_moof";

constexpr ContainerSpec containers[] = {
    {MP4, "mp4", fragmentedMp4},
    {AVI, "avi", ""},
    {MOV, "mov", fragmentedMp4},
    {MKV, "matroska", "cluster_time_limit=1000"},
    // The key-frame index is added after a normal stop (see flvindex.h).
    {FLV, "flv", ""},
    {WEBM, "webm", "cluster_time_limit=1000"},
};

// Converted frames in flight between the GUI thread and the encoder thread:
// enough to ride out the slow stretches of the slower presets (a key frame,
// a scene cut) without dropping ticks; 25 MB at 1080p.
constexpr int framePoolSize = 8;

struct QualityPreset
{
    int64_t bitRate;
    int maxBFrames;
    int qmin;
    int qmax;
    int gopSize;
    const char *x264Preset;
    const char *x264Tune; // null: not set
    const char *x264Crf;
    int h264Profile;
    const char *vpDeadline;
    const char *vpCpuUsed;
    const char *vpCrf;
};

const QualityPreset *presetFor(VideoQuality quality)
{
    static const QualityPreset uhd4k{20'000'000, 2, 10, 30, 15, "slow", "film", "18",
                                     FF_PROFILE_H264_HIGH, "good", "0", "15"};
    static const QualityPreset ultraHd{8'000'000, 2, 15, 35, 12, "medium", "film", "23",
                                       FF_PROFILE_H264_MAIN, "good", "2", "20"};
    static const QualityPreset hd{4'000'000, 1, 20, 40, 10, "fast", nullptr, "28",
                                  FF_PROFILE_H264_BASELINE, "realtime", "4", "25"};
    static const QualityPreset sd{1'000'000, 0, 25, 45, 8, "ultrafast", nullptr, "32",
                                  FF_PROFILE_H264_BASELINE, "realtime", "8", "35"};
    switch (quality) {
    case UHD4K: return &uhd4k;
    case UltraHD: return &ultraHd;
    case HD: return &hd;
    case SD: return &sd;
    }
    return nullptr;
}

// The "good" deadline encodes 1080p at a few frames per second, far from
// real time; every WEBM preset uses the realtime deadline, at least this
// cpu-used, so that libvpx keeps up with the capture.
constexpr int vpRealtimeMinCpuUsed = 8;

// Every packet goes to the file as soon as the muxer lets go of it.
constexpr const char *commonMuxerOptions = "flush_packets=1";

const ContainerSpec &containerFor(OutputFormat format)
{
    for (const ContainerSpec &spec : containers) {
        if (spec.format == format)
            return spec;
    }
    return containers[0];
}

QSize evenSize(QSize size)
{
    return QSize(size.width() & ~1, size.height() & ~1);
}

QSize outputSizeFor(VideoQuality quality, QSize capture)
{
    switch (quality) {
    case HD: return QSize(1280, 720);
    case SD: return QSize(854, 480);
    case UltraHD:
        if (capture.width() > 1920)
            return QSize(1920, 1080);
        break;
    case UHD4K: break;
    }
    return evenSize(capture);
}

void setPrivate(AVCodecContext *codec, const char *name, const char *value)
{
    // Results ignored on purpose: an option this encoder lacks is dropped.
    av_opt_set(codec->priv_data, name, value, 0);
}

bool isVp(AVCodecID id)
{
    return id == AV_CODEC_ID_VP8 || id == AV_CODEC_ID_VP9;
}

// Generic fields and private options of the quality preset.
void applyPreset(AVCodecContext *codec, const QualityPreset *preset)
{
    if (preset == nullptr)
        return;
    codec->bit_rate = preset->bitRate;
    codec->max_b_frames = preset->maxBFrames;
    codec->qmin = preset->qmin;
    codec->qmax = preset->qmax;
    codec->gop_size = preset->gopSize;
    if (codec->codec_id == AV_CODEC_ID_H264) {
        setPrivate(codec, "preset", preset->x264Preset);
        if (preset->x264Tune != nullptr)
            setPrivate(codec, "tune", preset->x264Tune);
        setPrivate(codec, "crf", preset->x264Crf);
        codec->profile = preset->h264Profile;
    } else if (isVp(codec->codec_id)) {
        setPrivate(codec, "deadline", "realtime");
        const int cpuUsed = qMax(vpRealtimeMinCpuUsed, QByteArray(preset->vpCpuUsed).toInt());
        setPrivate(codec, "cpu-used", QByteArray::number(cpuUsed).constData());
        setPrivate(codec, "crf", preset->vpCrf);
    }
}

// Threads for the encoders, set explicitly: libvpx would otherwise run on
// one core, and x264's automatic count oversubscribes small machines.
void applyThreads(AVCodecContext *codec)
{
    const int cores = qMax(1, QThread::idealThreadCount());
    codec->thread_count = cores;
    if (codec->codec_id == AV_CODEC_ID_VP9) {
        // Tiles are what libvpx spreads across threads; one column per core.
        int log2Columns = 0;
        while ((2 << log2Columns) <= cores && log2Columns < 6)
            ++log2Columns;
        setPrivate(codec, "tile-columns", QByteArray::number(log2Columns).constData());
    }
}

QString avErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

const AVCodec *ScreenRecorder::findVideoEncoder() const
{
    switch (config.format) {
    case AVI:
        return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    case WEBM:
        if (const AVCodec *vp9 = avcodec_find_encoder(AV_CODEC_ID_VP9))
            return vp9;
        qWarning().noquote() << QStringLiteral("VP9编码器未找到，尝试VP8");
        return avcodec_find_encoder(AV_CODEC_ID_VP8);
    case MP4:
    case MOV:
    case MKV:
    case FLV:
        break;
    }
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}

bool ScreenRecorder::setupFailed(const char *step, int error)
{
    qWarning().noquote() << QString::fromUtf8(step);
    setupError = tr(step);
    if (error < 0)
        setupError += QStringLiteral(": ") + avErrorText(error);
    return false;
}

bool ScreenRecorder::initEncoder()
{
    // A failed set-up gives back everything it built and removes a file it
    // had already created, so a failed start leaves nothing behind.
    struct Cleanup
    {
        ScreenRecorder *recorder;
        QString previousPath;
        std::vector<AVFrame *> pool;
        bool done = false;
        ~Cleanup()
        {
            for (AVFrame *frame : pool)
                av_frame_free(&frame);
            if (!done) {
                recorder->releaseEncoder();
                recorder->discardOutputFile();
                recorder->filePath = previousPath;
            }
        }
    } cleanup{this, filePath, {}};

    setupError.clear();
    filePath = makeOutputFilePath();
    outputOpened = false;
    sourceSize = config.region.size();

    const ContainerSpec &container = containerFor(config.format);
    if (!createContainer(container) || !createEncoder() || !createAudioEncoder()
        || !createFramePool(cleanup.pool) || !openOutput(container))
        return false;

    worker = std::make_unique<EncodeWorker>(
        codecContext, formatContext, videoStream, std::move(cleanup.pool),
        [this] {
            QMetaObject::invokeMethod(this, &ScreenRecorder::onWriteFailed, Qt::QueuedConnection);
        },
        audioCodecContext, audioStream);
    cleanup.pool.clear();
    cleanup.done = true;
    return true;
}

bool ScreenRecorder::createContainer(const ContainerSpec &container)
{
    // The "file:" prefix keeps a folder that looks like a URL a file name.
    const QByteArray url = QByteArrayLiteral("file:") + QFile::encodeName(filePath);
    if (avformat_alloc_output_context2(&formatContext, nullptr, container.muxer, url.constData()) < 0
        || formatContext == nullptr)
        return setupFailed(QT_TR_NOOP("无法创建输出格式上下文"));
    // Also for whatever the muxer opens itself.
    av_opt_set(formatContext, "protocol_whitelist", "file", 0);
    if (config.format == MKV) {
        formatContext->flags |= AVFMT_FLAG_NOBUFFER;
        av_dict_set(&formatContext->metadata, "title", "Vexlo Recording", 0);
    }
    videoStream = avformat_new_stream(formatContext, nullptr);
    if (videoStream == nullptr)
        return setupFailed(QT_TR_NOOP("无法创建视频流"));
    return true;
}

bool ScreenRecorder::createEncoder()
{
    const AVCodec *encoder = findVideoEncoder();
    if (encoder == nullptr)
        return setupFailed(QT_TR_NOOP("无法找到视频编码器"));
    codecContext = avcodec_alloc_context3(encoder);
    if (codecContext == nullptr)
        return setupFailed(QT_TR_NOOP("无法分配视频编码器上下文"));

    const int fps = qMax(1, config.frameRate);
    const QSize outputSize = outputSizeFor(config.quality, sourceSize);
    codecContext->width = outputSize.width();
    codecContext->height = outputSize.height();
    codecContext->time_base = AVRational{1, fps};
    codecContext->framerate = AVRational{fps, 1};
    codecContext->pix_fmt = AV_PIX_FMT_YUV420P;
    applyPreset(codecContext, presetFor(config.quality));
    // A key frame at least every second starts a fragment or cluster that
    // a reader can begin from, whatever the frame rate.
    if (codecContext->gop_size > fps)
        codecContext->gop_size = fps;
    applyThreads(codecContext);

    switch (config.format) {
    case FLV:
        setPrivate(codecContext, "coder", "vlc");
        setPrivate(codecContext, "flags", "+cgop");
        codecContext->max_b_frames = 0;
        codecContext->profile = FF_PROFILE_H264_BASELINE;
        break;
    case WEBM:
        setPrivate(codecContext, "row-mt", "1");
        setPrivate(codecContext, "lag-in-frames", "0");
        break;
    case MP4:
    case AVI:
    case MOV:
    case MKV:
        break;
    }

    if (formatContext->oformat->flags & AVFMT_GLOBALHEADER)
        codecContext->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    videoStream->time_base = codecContext->time_base;
    // The frame rate a reader shows and FLV's index is computed from.
    videoStream->avg_frame_rate = codecContext->framerate;

    if (const int ret = EncodeWorker::openCodec(codecContext, encoder); ret < 0)
        return setupFailed(QT_TR_NOOP("无法打开视频编码器"), ret);
    if (const int ret = avcodec_parameters_from_context(videoStream->codecpar, codecContext); ret < 0)
        return setupFailed(QT_TR_NOOP("无法复制视频编码器参数"), ret);
    return true;
}

bool ScreenRecorder::createFramePool(std::vector<AVFrame *> &pool)
{
    for (int i = 0; i < framePoolSize; ++i) {
        AVFrame *frame = av_frame_alloc();
        if (frame == nullptr)
            return setupFailed(QT_TR_NOOP("无法分配视频帧"));
        pool.push_back(frame);
        frame->format = codecContext->pix_fmt;
        frame->width = codecContext->width;
        frame->height = codecContext->height;
        if (const int ret = av_frame_get_buffer(frame, 32); ret < 0)
            return setupFailed(QT_TR_NOOP("无法分配视频帧缓冲区"), ret);
        // Touched now, so the pool's memory is committed at the start and not
        // the first time the encoder falls behind far enough to use it all.
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? frame->height : (frame->height + 1) / 2;
            std::memset(frame->data[plane], plane == 0 ? 16 : 128,
                        size_t(frame->linesize[plane]) * size_t(rows));
        }
    }
    return true;
}

bool ScreenRecorder::openOutput(const ContainerSpec &container)
{
    AVDictionary *ioOptions = nullptr;
    av_dict_set(&ioOptions, "protocol_whitelist", "file", 0);
    const int opened = avio_open2(&formatContext->pb, formatContext->url, AVIO_FLAG_WRITE,
                                  nullptr, &ioOptions);
    av_dict_free(&ioOptions);
    if (opened < 0)
        return setupFailed(QT_TR_NOOP("无法打开输出文件"), opened);
    outputOpened = true;
    // The file is watched by its identity: one put in its place is not it.
    struct stat info{};
    if (::stat(QFile::encodeName(filePath).constData(), &info) == 0) {
        outputDevice = info.st_dev;
        outputInode = info.st_ino;
    }

    AVDictionary *options = nullptr;
    av_dict_parse_string(&options, commonMuxerOptions, "=", ":", 0);
    av_dict_parse_string(&options, container.options, "=", ":", 0);
    const int ret = avformat_write_header(formatContext, &options);
    // Options the muxer did not take are dropped without a message.
    av_dict_free(&options);
    if (ret < 0) {
        qWarning().noquote() << QStringLiteral("无法写入文件头: ") + avErrorText(ret);
        setupError = tr("无法写入文件头: %1").arg(avErrorText(ret));
        return false;
    }
    return true;
}

void ScreenRecorder::releaseEncoder()
{
    // The sound feeds the worker, and the worker borrows the contexts below.
    audio.reset();
    worker.reset();
    releaseMedia(codecContext, audioCodecContext, formatContext);
    videoStream = nullptr;
    audioStream = nullptr;
}

void ScreenRecorder::releaseMedia(AVCodecContext *&codec, AVCodecContext *&audioCodec,
                                  AVFormatContext *&format)
{
    avcodec_free_context(&codec);
    avcodec_free_context(&audioCodec);
    if (format != nullptr) {
        if (!(format->oformat->flags & AVFMT_NOFILE))
            avio_closep(&format->pb);
        avformat_free_context(format);
        format = nullptr;
    }
}

void ScreenRecorder::discardOutputFile()
{
    if (outputOpened)
        QFile::remove(filePath);
    outputOpened = false;
}
