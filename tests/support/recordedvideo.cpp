#include "support/recordedvideo.h"

#include <QDir>
#include <QProcess>

#include <memory>

extern "C" {
#include <libavformat/avformat.h>
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
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams != 1)
        return result;
    const AVStream *stream = format->streams[0];
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
