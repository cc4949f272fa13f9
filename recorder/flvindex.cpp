#include "recorder/flvindex.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>

#include <sys/statvfs.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace flv {
namespace {

// Room left beside the copy, as the recorder keeps while recording.
constexpr qint64 spareBytes = 100LL * 1024 * 1024;

QByteArray fileUrl(const QString &path)
{
    return QByteArrayLiteral("file:") + QFile::encodeName(path);
}

bool roomFor(const QString &path)
{
    struct statvfs info{};
    if (::statvfs(QFile::encodeName(QFileInfo(path).path()).constData(), &info) != 0)
        return false;
    return qint64(info.f_bavail) * qint64(info.f_frsize) > QFileInfo(path).size() + spareBytes;
}

AVDictionary *fileOnly()
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    return options;
}

bool copyWithIndex(const QString &from, const QString &to, AVRational frameRate)
{
    AVFormatContext *input = nullptr;
    AVDictionary *inputOptions = fileOnly();
    const int opened = avformat_open_input(&input, fileUrl(from).constData(),
                                           av_find_input_format("flv"), &inputOptions);
    av_dict_free(&inputOptions);
    if (opened < 0)
        return false;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> inputHolder(
        input, [](AVFormatContext *f) { avformat_close_input(&f); });
    // The picture and, in a recording with sound, its audio track.
    if (avformat_find_stream_info(input, nullptr) < 0 || input->nb_streams < 1
        || input->nb_streams > 2)
        return false;

    AVFormatContext *output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "flv", fileUrl(to).constData()) < 0)
        return false;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> outputHolder(
        output, [](AVFormatContext *f) {
            avio_closep(&f->pb);
            avformat_free_context(f);
        });
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *source = input->streams[i];
        AVStream *stream = avformat_new_stream(output, nullptr);
        if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, source->codecpar) < 0)
            return false;
        stream->codecpar->codec_tag = 0;
        stream->time_base = source->time_base;
        if (source->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            stream->avg_frame_rate = frameRate;
    }

    AVDictionary *ioOptions = fileOnly();
    const int created = avio_open2(&output->pb, output->url, AVIO_FLAG_WRITE, nullptr, &ioOptions);
    av_dict_free(&ioOptions);
    if (created < 0)
        return false;
    AVDictionary *muxerOptions = nullptr;
    av_dict_set(&muxerOptions, "flvflags", "add_keyframe_index", 0);
    const int header = avformat_write_header(output, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (header < 0)
        return false;

    AVPacket *packet = av_packet_alloc();
    bool ok = packet != nullptr;
    while (ok && av_read_frame(input, packet) >= 0) {
        const AVStream *source = input->streams[packet->stream_index];
        const AVStream *stream = output->streams[packet->stream_index];
        // The demuxer gives no durations; the last frame needs one to count.
        if (packet->duration <= 0 && source->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            packet->duration = av_rescale_q(1, av_inv_q(frameRate), source->time_base);
        av_packet_rescale_ts(packet, source->time_base, stream->time_base);
        ok = av_write_frame(output, packet) >= 0;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return av_write_trailer(output) >= 0 && ok && avio_closep(&output->pb) >= 0;
}

} // namespace

bool addKeyframeIndex(const QString &path, AVRational frameRate)
{
    if (!roomFor(path))
        return false;
    const QFileInfo file(path);
    // Hidden and without the video suffix: never listed as a recording.
    const QString copy = file.path() + QStringLiteral("/.") + file.fileName()
                         + QStringLiteral(".indexing");
    if (!copyWithIndex(path, copy, frameRate)) {
        QFile::remove(copy);
        return false;
    }
    if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(copy);
        return false;
    }
    return true;
}

} // namespace flv
