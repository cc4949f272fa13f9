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

// What a player sees in a recorded file: its video stream and every frame.
struct RecordedVideo
{
    bool opened = false;
    int streams = 0; // in the file, sound included
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

// Decodes a recorded file's video completely; keepImages false keeps only
// the times.
RecordedVideo decodeRecording(const QString &path, bool keepImages = true);

// What a listener hears in a recorded file: its sound, mixed to one channel.
struct RecordedAudio
{
    bool opened = false; // the file has a sound stream and it decodes
    AVCodecID codec = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
    double startSeconds = 0; // time of the first decoded sample
    QList<float> samples;

    double seconds() const { return sampleRate > 0 ? samples.size() / double(sampleRate) : 0; }
    // Amplitude (0..1) of a sine of the frequency over [from, to) seconds
    // counted from the first sample; to < 0: to the end.
    double toneAmplitude(double frequency, double from = 0, double to = -1) const;
    // Times (from the first sample) where the sound rises above threshold
    // after at least quietSeconds below it.
    QList<double> onsets(float threshold, double quietSeconds = 0.2) const;
    // The longest stretch, in seconds, where a tone of the frequency falls
    // below half its amplitude over the whole track (10 ms windows), past
    // the first `from` seconds.
    double longestDropout(double frequency, double from = 0.2) const;
};

RecordedAudio decodeAudio(const QString &path);

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
