// Builds and tears down the media pipeline of one recording: container,
// stream, encoder with the quality preset, frame pool and the open file.

#include "recorder/encodeworker.h"
#include "recorder/screenrecorder.h"

#include <QDebug>
#include <QFile>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace {

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

const char *muxerNameFor(OutputFormat format)
{
    switch (format) {
    case AVI: return "avi";
    case MOV: return "mov";
    case MKV: return "matroska";
    case FLV: return "flv";
    case WEBM: return "webm";
    case MP4: break;
    }
    return "mp4";
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

void warn(const char *text)
{
    qWarning().noquote() << QString::fromUtf8(text);
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
        setPrivate(codec, "deadline", preset->vpDeadline);
        setPrivate(codec, "cpu-used", preset->vpCpuUsed);
        setPrivate(codec, "crf", preset->vpCrf);
    }
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
        warn("VP9编码器未找到，尝试VP8");
        return avcodec_find_encoder(AV_CODEC_ID_VP8);
    case MP4:
    case MOV:
    case MKV:
    case FLV:
        break;
    }
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}

bool ScreenRecorder::initEncoder()
{
    // A failed set-up gives back everything it built and removes a file it
    // had already created, so a failed start leaves nothing behind.
    struct Cleanup
    {
        ScreenRecorder *recorder;
        QString previousPath;
        AVDictionary *options = nullptr;
        bool done = false;
        ~Cleanup()
        {
            av_dict_free(&options);
            if (!done) {
                recorder->releaseEncoder();
                recorder->discardOutputFile();
                recorder->filePath = previousPath;
            }
        }
    } cleanup{this, filePath};

    const QString path = makeOutputFilePath();
    const QByteArray pathUtf8 = path.toUtf8();
    filePath = path;
    outputOpened = false;

    QScreen *screen = QGuiApplication::primaryScreen();
    if (!config.region.isValid() && screen != nullptr)
        config.region = screen->geometry();

    if (avformat_alloc_output_context2(&formatContext, nullptr, muxerNameFor(config.format),
                                       pathUtf8.constData())
            < 0
        || formatContext == nullptr) {
        warn("无法创建输出格式上下文");
        return false;
    }

    sourceSize = config.region.size();
    const QSize outputSize = outputSizeFor(config.quality, sourceSize);

    videoStream = avformat_new_stream(formatContext, nullptr);
    if (videoStream == nullptr) {
        warn("无法创建视频流");
        return false;
    }

    const AVCodec *encoder = findVideoEncoder();
    if (encoder == nullptr) {
        warn("无法找到视频编码器");
        return false;
    }

    codecContext = avcodec_alloc_context3(encoder);
    if (codecContext == nullptr) {
        warn("无法分配视频编码器上下文");
        return false;
    }

    const int fps = qMax(1, config.frameRate);
    codecContext->width = outputSize.width();
    codecContext->height = outputSize.height();
    codecContext->time_base = AVRational{1, fps};
    codecContext->framerate = AVRational{fps, 1};
    codecContext->pix_fmt = AV_PIX_FMT_YUV420P;
    applyPreset(codecContext, presetFor(config.quality));

    switch (config.format) {
    case FLV:
        setPrivate(codecContext, "coder", "vlc");
        setPrivate(codecContext, "flags", "+cgop");
        codecContext->max_b_frames = 0;
        codecContext->profile = FF_PROFILE_H264_BASELINE;
        av_dict_set(&cleanup.options, "flvflags", "add_keyframe_index", 0);
        break;
    case WEBM:
        setPrivate(codecContext, "row-mt", "1");
        setPrivate(codecContext, "lag-in-frames", "0");
        av_dict_set(&cleanup.options, "live", "1", 0);
        break;
    case MKV:
        formatContext->flags |= AVFMT_FLAG_NOBUFFER;
        av_dict_set(&formatContext->metadata, "title", "Vexlo Recording", 0);
        break;
    case MP4:
    case AVI:
    case MOV:
        break;
    }

    if (formatContext->oformat->flags & AVFMT_GLOBALHEADER)
        codecContext->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    videoStream->time_base = codecContext->time_base;

    if (EncodeWorker::openCodec(codecContext, encoder) < 0) {
        warn("无法打开视频编码器");
        return false;
    }
    if (avcodec_parameters_from_context(videoStream->codecpar, codecContext) < 0) {
        warn("无法复制视频编码器参数");
        return false;
    }

    std::vector<AVFrame *> pool;
    // Frames not yet handed to the worker are freed here on failure.
    struct PoolGuard
    {
        std::vector<AVFrame *> &frames;
        ~PoolGuard()
        {
            for (AVFrame *frame : frames)
                av_frame_free(&frame);
        }
    } poolGuard{pool};
    for (int i = 0; i < framePoolSize; ++i) {
        AVFrame *frame = av_frame_alloc();
        if (frame == nullptr) {
            warn("无法分配视频帧");
            return false;
        }
        pool.push_back(frame);
        frame->format = codecContext->pix_fmt;
        frame->width = codecContext->width;
        frame->height = codecContext->height;
        if (av_frame_get_buffer(frame, 32) < 0) {
            warn("无法分配视频帧缓冲区");
            return false;
        }
    }

    if (!(formatContext->oformat->flags & AVFMT_NOFILE)) {
        if (avio_open(&formatContext->pb, pathUtf8.constData(), AVIO_FLAG_WRITE) < 0) {
            warn("无法打开输出文件");
            return false;
        }
        outputOpened = true;
    }

    if (const int ret = avformat_write_header(formatContext, &cleanup.options); ret < 0) {
        char text[256] = {};
        av_strerror(ret, text, sizeof text);
        qWarning().noquote() << QStringLiteral("无法写入文件头: ") + QString::fromUtf8(text);
        return false;
    }

    worker = std::make_unique<EncodeWorker>(
        codecContext, formatContext, videoStream, std::move(pool), [this] {
            QMetaObject::invokeMethod(this, &ScreenRecorder::onWriteFailed, Qt::QueuedConnection);
        });
    pool.clear();
    cleanup.done = true;
    return true;
}

void ScreenRecorder::releaseEncoder()
{
    // The worker borrows the contexts below, so it goes first.
    worker.reset();
    avcodec_free_context(&codecContext);
    if (formatContext != nullptr) {
        if (!(formatContext->oformat->flags & AVFMT_NOFILE))
            avio_closep(&formatContext->pb);
        avformat_free_context(formatContext);
        formatContext = nullptr;
    }
    videoStream = nullptr;
}

void ScreenRecorder::discardOutputFile()
{
    if (outputOpened)
        QFile::remove(filePath);
    outputOpened = false;
}
