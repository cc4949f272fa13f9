#include "media/framedecoder.h"

#include "media/mediaprobe.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace media {

namespace {

// Nearer than this, a frame ahead is reached by decoding on rather than by
// seeking (a group of pictures at 60 fps is at most this long).
constexpr int DecodeOnLimit = 64;
// Decoding a group of pictures on two threads halves a step back.
constexpr int DecoderThreads = 2;

QString errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

QSize fitting(QSize size, QSize box)
{
    if (box.isEmpty() || (size.width() <= box.width() && size.height() <= box.height()))
        return size;
    QSize scaled = size.scaled(box, Qt::KeepAspectRatio);
    return QSize(std::max(2, scaled.width() & ~1), std::max(2, scaled.height() & ~1));
}

} // namespace

FrameDecoder::FrameDecoder() = default;

FrameDecoder::~FrameDecoder()
{
    release();
}

void FrameDecoder::release()
{
    sws_freeContext(scaler);
    scaler = nullptr;
    av_frame_free(&decoded);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    cache.clear();
}

bool FrameDecoder::open(const QString &path, QSize maxSize, QString *error)
{
    release();
    const auto fail = [&](const QString &why) {
        *error = why;
        release();
        return false;
    };
    // A FIFO or device in the file's place would block the reader.
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("not a regular file"));

    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kRecordingContainers, 0);
    const QByteArray url = "file:" + QFile::encodeName(path);
    int ret = avformat_open_input(&format, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (ret < 0)
        return fail(errorText(ret));
    if ((ret = avformat_find_stream_info(format, nullptr)) < 0)
        return fail(errorText(ret));
    stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return fail(errorText(stream));

    const AVCodecParameters *parameters = format->streams[stream]->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr)
        return fail(errorText(AVERROR_DECODER_NOT_FOUND));
    codec = avcodec_alloc_context3(decoder);
    packet = av_packet_alloc();
    decoded = av_frame_alloc();
    if (codec == nullptr || packet == nullptr || decoded == nullptr)
        return fail(errorText(AVERROR(ENOMEM)));
    if ((ret = avcodec_parameters_to_context(codec, parameters)) < 0)
        return fail(errorText(ret));
    codec->pkt_timebase = format->streams[stream]->time_base;
    codec->thread_count = DecoderThreads;
    if ((ret = avcodec_open2(codec, decoder, nullptr)) < 0)
        return fail(errorText(ret));

    size = QSize(parameters->width, parameters->height);
    pictureSize = fitting(size, maxSize);
    if (!indexPackets(error)) {
        release();
        return false;
    }
    seekBefore(0);
    return true;
}

bool FrameDecoder::indexPackets(QString *error)
{
    pts.clear();
    times.clear();
    keyFrames.clear();
    QSet<int64_t> keys;
    int64_t lastDuration = 0;
    int ret = 0;
    while ((ret = av_read_frame(format, packet)) >= 0) {
        if (packet->stream_index == stream) {
            const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (ts != AV_NOPTS_VALUE) {
                pts.append(ts);
                if (packet->flags & AV_PKT_FLAG_KEY)
                    keys.insert(ts);
                if (packet->duration > 0)
                    lastDuration = packet->duration;
            }
        }
        av_packet_unref(packet);
    }
    if (ret != AVERROR_EOF && pts.isEmpty()) {
        *error = errorText(ret);
        return false;
    }
    std::sort(pts.begin(), pts.end());
    pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
    if (pts.isEmpty()) {
        *error = errorText(AVERROR_INVALIDDATA);
        return false;
    }

    const AVStream *video = format->streams[stream];
    // Times count from the file's start, as ffmpeg's -ss does.
    const int64_t origin = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;
    for (int i = 0; i < pts.size(); ++i) {
        times.append(av_rescale_q(pts[i], video->time_base, AV_TIME_BASE_Q) - origin);
        if (keys.contains(pts[i]))
            keyFrames.append(i);
    }
    if (keyFrames.isEmpty() || keyFrames.first() != 0)
        keyFrames.prepend(0);

    int64_t frameUs = 0;
    if (video->avg_frame_rate.num > 0 && video->avg_frame_rate.den > 0)
        frameUs = av_rescale_q(1, av_inv_q(video->avg_frame_rate), AV_TIME_BASE_Q);
    else if (lastDuration > 0)
        frameUs = av_rescale_q(lastDuration, video->time_base, AV_TIME_BASE_Q);
    else if (times.size() > 1)
        frameUs = times.last() - times.at(times.size() - 2);
    end = times.last() + std::max<int64_t>(frameUs, 1);
    return true;
}

void FrameDecoder::seekBefore(int index)
{
    const auto after = std::upper_bound(keyFrames.begin(), keyFrames.end(), index);
    const int key = after == keyFrames.begin() ? 0 : *(after - 1);
    av_seek_frame(format, stream, pts.at(key), AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec);
    lastDecoded = -1;
    drained = false;
}

QImage FrameDecoder::frame(int index)
{
    if (format == nullptr || index < 0 || index >= pts.size())
        return QImage();
    const auto cached = cache.constFind(index);
    if (cached != cache.cend())
        return *cached;

    if (lastDecoded < 0 || index <= lastDecoded || index - lastDecoded > DecodeOnLimit)
        seekBefore(index);
    bool retried = false;
    while (lastDecoded < index) {
        if (!decodeNext())
            break;
        // A seek that landed past the frame: once more from the key frame before.
        if (lastDecoded > index && !cache.contains(index) && !retried) {
            retried = true;
            const auto after = std::upper_bound(keyFrames.begin(), keyFrames.end(), index);
            const int key = after == keyFrames.begin() ? 0 : *(after - 1);
            if (key > 0) {
                seekBefore(key - 1);
                continue;
            }
        }
    }
    if (cache.contains(index))
        return cache.value(index);
    // A frame the decoder skipped shows its nearest neighbour.
    for (int distance = 1; distance < DecodeOnLimit; ++distance) {
        for (const int near : {index - distance, index + distance}) {
            if (cache.contains(near))
                return cache.value(near);
        }
    }
    return QImage();
}

bool FrameDecoder::decodeNext()
{
    for (;;) {
        const int ret = avcodec_receive_frame(codec, decoded);
        if (ret == 0) {
            const int64_t ts = decoded->best_effort_timestamp != AV_NOPTS_VALUE
                                   ? decoded->best_effort_timestamp
                                   : decoded->pts;
            const auto found = std::lower_bound(pts.begin(), pts.end(), ts);
            int index = int(found - pts.begin());
            if (found == pts.end() || (*found != ts && found != pts.begin() && ts - *(found - 1) < *found - ts))
                index = std::max(0, index - 1);
            lastDecoded = std::max(lastDecoded, index);
            keep(index, decoded);
            av_frame_unref(decoded);
            return true;
        }
        if (ret != AVERROR(EAGAIN))
            return false;
        if (drained)
            return false;
        const int read = av_read_frame(format, packet);
        if (read < 0) {
            drained = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == stream)
            avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
    }
}

void FrameDecoder::keep(int index, const AVFrame *frame)
{
    scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                  pictureSize.width(), pictureSize.height(), AV_PIX_FMT_BGRA,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr)
        return;
    QImage picture(pictureSize, QImage::Format_RGB32);
    uint8_t *planes[1] = {picture.bits()};
    const int strides[1] = {int(picture.bytesPerLine())};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    cache.insert(index, picture);
    // The frames farthest from the newest go first.
    while (cache.size() > cacheLimit) {
        auto farthest = cache.begin();
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (std::abs(it.key() - index) > std::abs(farthest.key() - index))
                farthest = it;
        }
        cache.erase(farthest);
    }
}

} // namespace media
