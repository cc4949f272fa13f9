#include "bench/benchcases.h"

#include <QThread>

#include "support/recordedvideo.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

namespace bench {

// libvpx as the recorder sets it up for WEBM: the realtime deadline, row
// multithreading, no look-ahead, its thread count and tile columns.
QStringList vp9Args(const char *crf, const char *bitRate, const char *qmin, const char *qmax,
                    const char *gop)
{
    const int cores = qMax(1, QThread::idealThreadCount());
    int log2Columns = 0;
    while ((2 << log2Columns) <= cores && log2Columns < 6)
        ++log2Columns;
    return {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-crf", crf,
            "-b:v", bitRate, "-qmin", qmin, "-qmax", qmax, "-g", gop, "-row-mt", "1",
            "-lag-in-frames", "0", "-threads", QString::number(cores),
            "-tile-columns", QString::number(log2Columns)};
}

QList<Case> allCases()
{
    // The x264 arguments mirror the recorder's presets for MP4, with its
    // explicit thread count.
    const QString threads = QString::number(qMax(1, QThread::idealThreadCount()));
    const QStringList x264{"-c:v", "libx264", "-threads", threads};
    const QStringList sd = x264 + QStringList{"-preset", "ultrafast", "-crf", "32", "-b:v", "1000000", "-bf", "0",
                         "-qmin", "25", "-qmax", "45", "-g", "8", "-profile:v", "baseline"};
    const QStringList hd = x264 + QStringList{"-preset", "fast", "-crf", "28", "-b:v", "4000000", "-bf", "1",
                         "-qmin", "20", "-qmax", "40", "-g", "10", "-profile:v", "baseline"};
    const QStringList ultraHd = x264 + QStringList{"-preset", "medium", "-tune", "film", "-crf", "23",
                              "-b:v", "8000000", "-bf", "2", "-qmin", "15", "-qmax", "35",
                              "-g", "12", "-profile:v", "main"};
    const QStringList uhd4k = x264 + QStringList{"-preset", "slow", "-tune", "film", "-crf", "18",
                            "-b:v", "20000000", "-bf", "2", "-qmin", "10", "-qmax", "30",
                            "-g", "15", "-profile:v", "high"};
    // GStreamer's x264enc set as the HD preset: pass=qual is x264's CRF
    // with the quantizer as its factor (its options string would be
    // overridden by the element's own rate control); the caps pin the profile.
    const QStringList hdPeer{"x264enc", "speed-preset=fast", QStringLiteral("threads=%1").arg(threads),
                             "pass=qual", "quantizer=28", "bframes=1", "qp-min=20", "qp-max=40",
                             "key-int-max=10", "!", "video/x-h264,profile=baseline"};
    Case rightHd{"RIGHT-HD@30", HD, 30, QSize(1280, 720), hd};
    rightHd.monitor = QStringLiteral("RIGHT");
    return {
        {"SD@30", SD, 30, QSize(854, 480), sd},
        {"HD@30", HD, 30, QSize(1280, 720), hd},
        {"UltraHD@30", UltraHD, 30, QSize(1920, 1080), ultraHd},
        {"4K@30", UHD4K, 30, QSize(1920, 1080), uhd4k},
        {"HD@60", HD, 60, QSize(1280, 720), hd},
        {"HD@30+overlay", HD, 30, QSize(1280, 720), hd, true},
        {"HD@30+audio", HD, 30, QSize(1280, 720), hd + QStringList{"-c:a", "aac", "-b:a", "128k"},
         false, MP4, true},
        {"WEBM-HD@30", HD, 30, QSize(1280, 720), vp9Args("25", "4000000", "20", "40", "10"),
         false, WEBM},
        {"WEBM-UltraHD@30", UltraHD, 30, QSize(1920, 1080),
         vp9Args("20", "8000000", "15", "35", "12"), false, WEBM},
        {"portal-HD@30", HD, 30, QSize(1280, 720), hd, false, MP4, false, true, hdPeer},
        {"gnome-HD@30", HD, 30, QSize(1280, 720), hd, false, MP4, false, true, hdPeer, true},
        rightHd,
    };
}

bool onDesktopRig()
{
    return !qEnvironmentVariableIsEmpty("VEXLO_TEST_DESKTOP");
}

double percentile(QList<double> samples, double p)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = qsizetype(std::ceil(p / 100.0 * samples.size())) - 1;
    return samples.at(std::clamp<qsizetype>(index, 0, samples.size() - 1));
}

int countFrames(const QString &path)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return -1;
    int frames = 0;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        AVPacket *packet = av_packet_alloc();
        while (av_read_frame(format, packet) >= 0) {
            if (format->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                ++frames;
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    } else {
        frames = -1;
    }
    avformat_close_input(&format);
    return frames;
}

namespace {

// Times of the frames whose flash corner turns white, read from the luma
// plane alone (no picture is kept: a long HD recording would not fit).
QList<double> flashTimes(const QString &path)
{
    QList<double> times;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return times;
    const int index = avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    const AVCodec *decoder =
        index >= 0 ? avcodec_find_decoder(format->streams[index]->codecpar->codec_id) : nullptr;
    AVCodecContext *codec = decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr;
    if (codec != nullptr
        && avcodec_parameters_to_context(codec, format->streams[index]->codecpar) >= 0
        && avcodec_open2(codec, decoder, nullptr) >= 0) {
        const double timeBase = av_q2d(format->streams[index]->time_base);
        AVPacket *packet = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        bool lit = false;
        const auto receive = [&] {
            while (avcodec_receive_frame(codec, frame) >= 0) {
                const int luma = frame->data[0][(FlashSize / 2) * frame->linesize[0] + FlashSize / 2];
                const bool bright = luma > 160;
                if (bright && !lit)
                    times.append(frame->best_effort_timestamp * timeBase);
                lit = bright;
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
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return times;
}

} // namespace

AvOffset measureAvOffset(const QString &path)
{
    AvOffset result;
    const QList<double> flashes = flashTimes(path);
    const vexlo::test::RecordedAudio audio = vexlo::test::decodeAudio(path);
    QList<double> beeps;
    for (double at : audio.onsets(0.15))
        beeps.append(audio.startSeconds + at);
    double sum = 0;
    for (double flash : flashes) {
        double nearest = 1e9;
        for (double beep : beeps)
            nearest = std::fabs(flash - beep) < std::fabs(nearest) ? flash - beep : nearest;
        if (std::fabs(nearest) > 0.5)
            continue;
        sum += std::fabs(nearest) * 1000;
        result.maxMs = std::max(result.maxMs, std::fabs(nearest) * 1000);
        ++result.pairs;
    }
    if (result.pairs > 0)
        result.meanMs = sum / result.pairs;
    return result;
}

} // namespace bench
