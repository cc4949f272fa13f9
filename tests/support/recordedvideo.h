#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace vexlo::test {

struct DecodedFrame
{
    double seconds = 0;
    QImage image;
};

struct Packet
{
    int64_t pts = 0;
    int64_t dts = 0;
};

// What a player sees in a recorded file: its one stream and every frame.
struct RecordedVideo
{
    bool opened = false;
    AVCodecID codec = AV_CODEC_ID_NONE;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    QSize size;
    int profile = 0;
    AVRational timeBase{0, 1};
    QString title;
    QList<Packet> packets;
    QList<DecodedFrame> frames;

    QColor colourAt(int frame, QPoint p) const { return frames.at(frame).image.pixelColor(p); }
    // The longest step between consecutive frame times, in seconds.
    double largestGap() const;
};

// Decodes a recorded file completely; keepImages false keeps only the times.
RecordedVideo decodeRecording(const QString &path, bool keepImages = true);

// Colours equal within what 4:2:0 sampling and compression change.
bool closeTo(const QColor &a, const QColor &b, int tolerance = 40);

QString describe(const QColor &c);

// What the ffmpeg program complains of while decoding the file, or its
// first `seconds` when given (`ffmpeg -v error -i FILE -f null -`): empty
// for a sound file.
QString decodeErrors(const QString &path, double seconds = 0);

// Files of a folder, sorted by name.
QStringList filesIn(const QString &dir);

} // namespace vexlo::test
