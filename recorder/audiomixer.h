#pragma once

#include <cstdint>
#include <functional>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct AVFrame;
struct SwrContext;

// Turns the timestamped blocks of up to two sound sources into one stereo
// 48 kHz track on the recording's timeline, in encoder-sized frames.
//
// Positions are sample indexes on the recording clock (0 = its start, 48000
// per second of clock time). Each source's samples are laid down one after
// the other from where its first block was captured; the clock time each
// block reports is compared with where the samples counted so far put it,
// and the difference (the sound card's clock drifting against the monotonic
// clock, at most a few hundred parts per million) is absorbed by stretching
// or squeezing that source's samples slightly (swr_set_compensation), never
// more than 0.1 %. A jump too large for that (a stalled or restarted device,
// or the rough reports of a device that is starting) re-anchors the source
// at the clock: a gap becomes silence, an overlap is dropped.
//
// The mix is the sum of the sources, kept within full scale by a soft
// limiter. Paused spans and everything after the end are cut out, and what
// remains is numbered from 0 without gaps, so the track's time is recording
// time exactly as the picture's is.
//
// Not thread-safe: the sound capture thread owns it.
class AudioMixer
{
public:
    static constexpr int sampleRate = 48000;
    static constexpr int channels = 2;

    // frameSize and format are the encoder's; each finished frame (pts in
    // samples of the track) goes to sink, which takes it over.
    AudioMixer(int sourceCount, int frameSize, AVSampleFormat format,
               std::function<void(AVFrame *)> sink);
    ~AudioMixer();
    AudioMixer(const AudioMixer &) = delete;
    AudioMixer &operator=(const AudioMixer &) = delete;

    // Interleaved stereo samples whose first one was captured clockNs after
    // the recording clock's start (negative: before it).
    void addBlock(int source, const float *samples, int frames, int64_t clockNs);
    // The source delivers nothing more; it no longer holds the mix back.
    void endSource(int source);

    // Cuts [fromMs, toMs) of clock time; toMs < 0 leaves the cut open until
    // closePause().
    void openPause(int64_t fromMs);
    void closePause(int64_t toMs);
    // Nothing after this clock time belongs to the track.
    void setEnd(int64_t endMs);

    // Mixes everything before the clock position (in samples) that is not
    // yet mixed; later blocks for that span are dropped.
    void mixUntil(int64_t position);
    // Where the sources still delivering have delivered up to: mixing
    // further would leave them out. INT64_MAX when none delivers.
    int64_t deliveredUntil() const;
    int64_t mixedUntil() const { return mixPosition; }
    int64_t endPosition() const { return endPos; }
    // Sends the last, partial frame.
    void flush();

    // Samples in the track so far (sent or waiting for a full frame).
    int64_t trackSamples() const { return trackPts + int64_t(pending.size()) / channels; }
    // How far the source's sample count runs ahead of the clock, in parts
    // per million, over everything it delivered (0 before two seconds).
    double measuredDriftPpm(int source) const;
    // The largest correction applied to the source, in parts per million.
    double largestCorrectionPpm(int source) const;

    static int64_t positionForMs(int64_t ms) { return ms * (sampleRate / 1000); }
    static int64_t positionForNs(int64_t ns);

private:
    struct Source;
    struct Pause
    {
        int64_t from;
        int64_t to; // INT64_MAX while open
    };

    void place(Source &source, const float *samples, int frames);
    void correctDrift(Source &source, int64_t measured);
    void cut(const float *mixed, int64_t from, int64_t to);
    void keep(const float *samples, int64_t frames);
    void sendFrame(int frames);

    std::vector<Source> sources;
    std::vector<Pause> pauses;
    int64_t endPos = INT64_MAX;
    int64_t mixPosition = 0;
    std::vector<float> mixBuffer;

    int frameSize;
    AVSampleFormat format;
    std::function<void(AVFrame *)> sink;
    std::vector<float> pending; // kept samples not yet in a frame
    int64_t trackPts = 0;
};
