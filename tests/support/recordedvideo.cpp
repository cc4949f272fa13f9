#include "support/recordedvideo.h"

#include <QDir>
#include <QProcess>

#include <cmath>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace vexlo::test {

double RecordedVideo::largestGap() const
{
    double gap = 0;
    for (int i = 1; i < frames.size(); ++i)
        gap = std::max(gap, frames[i].seconds - frames[i - 1].seconds);
    return gap;
}

RecordedVideo decodeRecording(const QString &path, bool keepImages)
{
    RecordedVideo result;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return result;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> formatHolder(
        format, [](AVFormatContext *f) { avformat_close_input(&f); });
    if (avformat_find_stream_info(format, nullptr) < 0)
        return result;
    result.streams = int(format->nb_streams);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return result;
    const AVStream *stream = format->streams[index];
    const AVCodecParameters *par = stream->codecpar;
    result.codec = par->codec_id;
    result.pixelFormat = AVPixelFormat(par->format);
    result.size = QSize(par->width, par->height);
    result.profile = par->profile;
    result.timeBase = stream->time_base;
    if (const AVDictionaryEntry *t = av_dict_get(format->metadata, "title", nullptr, 0))
        result.title = QString::fromUtf8(t->value);

    const AVCodec *decoder = avcodec_find_decoder(par->codec_id);
    AVCodecContext *codec = avcodec_alloc_context3(decoder);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> codecHolder(
        codec, [](AVCodecContext *c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(codec, par);
    if (avcodec_open2(codec, decoder, nullptr) < 0)
        return result;

    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    SwsContext *toRgb = nullptr;
    auto receive = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            DecodedFrame decoded;
            decoded.seconds = frame->best_effort_timestamp * av_q2d(stream->time_base);
            if (keepImages) {
                toRgb = sws_getCachedContext(toRgb, frame->width, frame->height,
                                             AVPixelFormat(frame->format), frame->width,
                                             frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr,
                                             nullptr, nullptr);
                decoded.image = QImage(frame->width, frame->height, QImage::Format_RGB32);
                uint8_t *dst[] = {decoded.image.bits()};
                const int dstStride[] = {int(decoded.image.bytesPerLine())};
                sws_scale(toRgb, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            }
            result.frames.append(decoded);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index != index) {
            av_packet_unref(packet);
            continue;
        }
        result.packets.append({packet->pts, packet->dts});
        avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
        receive();
    }
    avcodec_send_packet(codec, nullptr);
    receive();
    sws_freeContext(toRgb);
    av_frame_free(&frame);
    av_packet_free(&packet);
    result.opened = true;
    return result;
}

RecordedAudio decodeAudio(const QString &path)
{
    RecordedAudio result;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return result;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> formatHolder(
        format, [](AVFormatContext *f) { avformat_close_input(&f); });
    if (avformat_find_stream_info(format, nullptr) < 0)
        return result;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return result;
    const AVStream *stream = format->streams[index];
    const AVCodecParameters *par = stream->codecpar;
    result.codec = par->codec_id;
    result.sampleRate = par->sample_rate;
    result.channels = par->ch_layout.nb_channels;

    const AVCodec *decoder = avcodec_find_decoder(par->codec_id);
    AVCodecContext *codec = avcodec_alloc_context3(decoder);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> codecHolder(
        codec, [](AVCodecContext *c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(codec, par);
    if (avcodec_open2(codec, decoder, nullptr) < 0)
        return result;

    SwrContext *toMono = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    bool first = true;
    auto receive = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            if (first && frame->pts != AV_NOPTS_VALUE)
                result.startSeconds = frame->pts * av_q2d(stream->time_base);
            first = false;
            if (toMono == nullptr) {
                swr_alloc_set_opts2(&toMono, &mono, AV_SAMPLE_FMT_FLT, frame->sample_rate,
                                    &frame->ch_layout, AVSampleFormat(frame->format),
                                    frame->sample_rate, 0, nullptr);
                swr_init(toMono);
            }
            QList<float> out(frame->nb_samples + 256);
            auto *outData = reinterpret_cast<uint8_t *>(out.data());
            const int n = swr_convert(toMono, &outData, int(out.size()),
                                      const_cast<const uint8_t **>(frame->extended_data),
                                      frame->nb_samples);
            if (n > 0)
                result.samples.append(out.first(n));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            avcodec_send_packet(codec, packet);
            receive();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    receive();
    swr_free(&toMono);
    av_frame_free(&frame);
    av_packet_free(&packet);
    result.opened = true;
    return result;
}

double RecordedAudio::toneAmplitude(double frequency, double from, double to) const
{
    const qsizetype begin = qBound<qsizetype>(0, qsizetype(from * sampleRate), samples.size());
    const qsizetype end = to < 0 ? samples.size()
                                 : qBound<qsizetype>(begin, qsizetype(to * sampleRate), samples.size());
    if (end - begin < 16)
        return 0;
    // Goertzel: the strength of one frequency.
    const double w = 2 * M_PI * frequency / sampleRate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const double s0 = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / double(end - begin);
}

QList<double> RecordedAudio::onsets(float threshold, double quietSeconds) const
{
    QList<double> found;
    const qsizetype quiet = qsizetype(quietSeconds * sampleRate);
    qsizetype lastLoud = -quiet - 1;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) < threshold)
            continue;
        if (i - lastLoud > quiet)
            found.append(double(i) / sampleRate);
        lastLoud = i;
    }
    return found;
}

double RecordedAudio::longestDropout(double frequency, double from) const
{
    const double whole = toneAmplitude(frequency, from);
    const double window = 0.01;
    double longest = 0;
    double run = 0;
    for (double at = from; at + window <= seconds(); at += window) {
        run = toneAmplitude(frequency, at, at + window) < whole / 2 ? run + window : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

bool closeTo(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance;
}

QString describe(const QColor &c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

QString decodeErrors(const QString &path, double seconds)
{
    QStringList args{"-nostdin", "-v", "error"};
    if (seconds > 0)
        args << "-t" << QString::number(seconds);
    args << "-i" << path << "-f" << "null" << "-";
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(120000))
        return QStringLiteral("ffmpeg did not finish");
    const QString errors = QString::fromLocal8Bit(ffmpeg.readAllStandardError()).trimmed();
    if (errors.isEmpty() && ffmpeg.exitCode() != 0)
        return QStringLiteral("ffmpeg exited with %1").arg(ffmpeg.exitCode());
    return errors;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace vexlo::test
