#include "bench/benchcases.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

namespace bench {

QList<Case> allCases()
{
    // The x264 arguments mirror the recorder's presets for MP4.
    const QStringList sd{"-preset", "ultrafast", "-crf", "32", "-b:v", "1000000", "-bf", "0",
                         "-qmin", "25", "-qmax", "45", "-g", "8", "-profile:v", "baseline"};
    const QStringList hd{"-preset", "fast", "-crf", "28", "-b:v", "4000000", "-bf", "1",
                         "-qmin", "20", "-qmax", "40", "-g", "10", "-profile:v", "baseline"};
    const QStringList ultraHd{"-preset", "medium", "-tune", "film", "-crf", "23",
                              "-b:v", "8000000", "-bf", "2", "-qmin", "15", "-qmax", "35",
                              "-g", "12", "-profile:v", "main"};
    const QStringList uhd4k{"-preset", "slow", "-tune", "film", "-crf", "18",
                            "-b:v", "20000000", "-bf", "2", "-qmin", "10", "-qmax", "30",
                            "-g", "15", "-profile:v", "high"};
    return {
        {"SD@30", SD, 30, QSize(854, 480), sd},
        {"HD@30", HD, 30, QSize(1280, 720), hd},
        {"UltraHD@30", UltraHD, 30, QSize(1920, 1080), ultraHd},
        {"4K@30", UHD4K, 30, QSize(1920, 1080), uhd4k},
        {"HD@60", HD, 60, QSize(1280, 720), hd},
        {"HD@30+overlay", HD, 30, QSize(1280, 720), hd, true},
    };
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

} // namespace bench
