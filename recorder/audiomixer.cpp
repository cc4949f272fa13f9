#include "recorder/audiomixer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// Corrections are decided every half second of a source's samples, from its
// error smoothed over about 0.2 s, and take back a quarter of the error each
// time: fast enough for any real drift, slow enough not to chase the jitter
// of the latency reports.
constexpr int64_t correctionInterval = AudioMixer::sampleRate / 2;
constexpr double smoothing = 0.05;
constexpr double correctionGain = 0.25;
// 0.1 %: a pitch change of under two cents, inaudible, and several times
// the drift of any real sound card.
constexpr double largestStretch = 0.001;
// Below a millisecond off the clock nothing is corrected: the latency
// reports jitter by about that much, and following them would only wobble.
constexpr double deadBandSeconds = 0.001;
// Beyond these the source jumped (stall, restart): it is re-anchored.
constexpr double resyncSmoothedSeconds = 0.04;
constexpr double resyncRawSeconds = 0.3;
// While a source starts, the server's first latency reports are rough (a
// device changing its buffer for the new stream): the source follows them
// directly for this long, then only by stretching.
constexpr int64_t settlingSamples = AudioMixer::sampleRate * 3 / 10;
constexpr double settlingToleranceSeconds = 0.002;

// Soft knee: unchanged below it, approaching full scale above it.
constexpr float limiterKnee = 0.8f;

float limit(float x)
{
    const float magnitude = std::fabs(x);
    if (magnitude <= limiterKnee)
        return x;
    const float over = (magnitude - limiterKnee) / (1.0f - limiterKnee);
    return std::copysign(limiterKnee + (1.0f - limiterKnee) * std::tanh(over), x);
}

} // namespace

struct AudioMixer::Source
{
    SwrContext *swr = nullptr;
    bool started = false;
    bool ended = false;
    int64_t next = 0; // position of the next sample laid down
    std::vector<float> buffer; // laid down, not yet mixed
    int64_t bufferStart = 0;
    std::vector<float> converted;

    double error = 0; // smoothed clock position minus counted position, samples
    int64_t sinceCorrection = 0;
    int64_t received = 0;
    int64_t receivedBeforeLast = 0;
    int64_t firstNs = 0;
    int64_t lastNs = 0;
    double largestCorrection = 0; // ppm

    int64_t bufferEnd() const { return bufferStart + int64_t(buffer.size()) / channels; }
};

AudioMixer::AudioMixer(int sourceCount, int frameSize, AVSampleFormat format,
                       std::function<void(AVFrame *)> sink)
    : sources(size_t(std::max(0, sourceCount)))
    , frameSize(std::max(1, frameSize))
    , format(format)
    , sink(std::move(sink))
{
    for (Source &source : sources) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&source.swr, &stereo, AV_SAMPLE_FMT_FLT, sampleRate, &stereo,
                                AV_SAMPLE_FMT_FLT, sampleRate, 0, nullptr)
            < 0)
            continue;
        // Resampling from the start, so that turning compensation on later
        // does not change the converter's delay in the middle of the track.
        av_opt_set_int(source.swr, "force_resampling", 1, 0);
        if (swr_init(source.swr) < 0)
            swr_free(&source.swr);
    }
}

AudioMixer::~AudioMixer()
{
    for (Source &source : sources)
        swr_free(&source.swr);
}

int64_t AudioMixer::positionForNs(int64_t ns)
{
    const int64_t scaled = ns * (sampleRate / 1000);
    return (scaled + (scaled >= 0 ? 500000 : -500000)) / 1000000;
}

void AudioMixer::addBlock(int index, const float *samples, int frames, int64_t clockNs)
{
    if (index < 0 || index >= int(sources.size()) || frames <= 0)
        return;
    Source &source = sources[size_t(index)];
    if (source.ended || source.swr == nullptr)
        return;
    correctDrift(source, positionForNs(clockNs));
    if (source.received == 0)
        source.firstNs = clockNs;
    source.receivedBeforeLast = source.received;
    source.received += frames;
    source.lastNs = clockNs;
    source.sinceCorrection += frames;
    place(source, samples, frames);
}

void AudioMixer::correctDrift(Source &source, int64_t measured)
{
    if (!source.started) {
        source.next = measured;
        source.started = true;
        return;
    }
    const double raw = double(measured - source.next);
    source.error += (raw - source.error) * smoothing;
    const bool settling = source.received < settlingSamples;
    if ((settling && std::fabs(raw) > settlingToleranceSeconds * sampleRate)
        || std::fabs(raw) > resyncRawSeconds * sampleRate
        || std::fabs(source.error) > resyncSmoothedSeconds * sampleRate) {
        source.next = measured;
        source.error = 0;
        source.sinceCorrection = 0;
        swr_set_compensation(source.swr, 0, 0);
        return;
    }
    if (source.sinceCorrection < correctionInterval)
        return;
    source.sinceCorrection = 0;
    if (std::fabs(source.error) < deadBandSeconds * sampleRate)
        return;
    // Positive: the source counts fewer samples than the clock passes, so
    // its samples are stretched.
    const double most = largestStretch * correctionInterval;
    const int delta = int(std::lround(std::clamp(source.error * correctionGain, -most, most)));
    swr_set_compensation(source.swr, delta, int(correctionInterval));
    source.largestCorrection =
        std::max(source.largestCorrection, std::fabs(delta) * 1e6 / correctionInterval);
}

void AudioMixer::place(Source &source, const float *samples, int frames)
{
    const int capacity = swr_get_out_samples(source.swr, frames) + 64;
    source.converted.resize(size_t(capacity) * channels);
    auto *out = reinterpret_cast<uint8_t *>(source.converted.data());
    const auto *in = reinterpret_cast<const uint8_t *>(samples);
    const int produced = swr_convert(source.swr, &out, capacity, &in, frames);
    if (produced <= 0)
        return;

    if (source.buffer.empty() || source.next < source.bufferStart) {
        source.buffer.clear();
        source.bufferStart = source.next;
    } else if (source.next > source.bufferEnd()) {
        source.buffer.resize(size_t(source.next - source.bufferStart) * channels, 0.0f);
    } else if (source.next < source.bufferEnd()) {
        source.buffer.resize(size_t(source.next - source.bufferStart) * channels);
    }
    source.buffer.insert(source.buffer.end(), source.converted.begin(),
                         source.converted.begin() + ptrdiff_t(produced) * channels);
    source.next += produced;
}

void AudioMixer::endSource(int index)
{
    if (index >= 0 && index < int(sources.size()))
        sources[size_t(index)].ended = true;
}

void AudioMixer::openPause(int64_t fromMs)
{
    pauses.push_back({positionForMs(fromMs), INT64_MAX});
}

void AudioMixer::closePause(int64_t toMs)
{
    if (!pauses.empty() && pauses.back().to == INT64_MAX)
        pauses.back().to = std::max(pauses.back().from, positionForMs(toMs));
}

void AudioMixer::setEnd(int64_t endMs)
{
    endPos = positionForMs(endMs);
}

int64_t AudioMixer::deliveredUntil() const
{
    int64_t until = INT64_MAX;
    for (const Source &source : sources) {
        if (source.ended || source.swr == nullptr)
            continue;
        until = std::min(until, source.started ? source.next : int64_t(0));
    }
    return until;
}

void AudioMixer::mixUntil(int64_t position)
{
    if (position <= mixPosition)
        return;
    const int64_t count = position - mixPosition;
    mixBuffer.assign(size_t(count) * channels, 0.0f);
    for (Source &source : sources) {
        const int64_t from = std::max(source.bufferStart, mixPosition);
        const int64_t to = std::min(source.bufferEnd(), position);
        for (int64_t i = from; i < to; ++i) {
            const size_t out = size_t(i - mixPosition) * channels;
            const size_t in = size_t(i - source.bufferStart) * channels;
            mixBuffer[out] += source.buffer[in];
            mixBuffer[out + 1] += source.buffer[in + 1];
        }
        if (source.bufferEnd() <= position) {
            source.buffer.clear();
        } else if (source.bufferStart < position) {
            source.buffer.erase(source.buffer.begin(),
                                source.buffer.begin()
                                    + ptrdiff_t(position - source.bufferStart) * channels);
            source.bufferStart = position;
        }
    }
    if (sources.size() > 1) {
        for (float &sample : mixBuffer)
            sample = limit(sample);
    }
    cut(mixBuffer.data(), mixPosition, position);
    mixPosition = position;
}

void AudioMixer::cut(const float *mixed, int64_t from, int64_t to)
{
    int64_t at = from;
    while (at < to && at < endPos) {
        int64_t until = std::min(to, endPos);
        bool paused = false;
        for (const Pause &pause : pauses) {
            if (at >= pause.from && at < pause.to) {
                at = std::min(pause.to, to);
                paused = true;
                break;
            }
            if (pause.from > at)
                until = std::min(until, pause.from);
        }
        if (paused)
            continue;
        keep(mixed + (at - from) * channels, until - at);
        at = until;
    }
}

void AudioMixer::keep(const float *samples, int64_t frames)
{
    pending.insert(pending.end(), samples, samples + frames * channels);
    while (int64_t(pending.size()) >= int64_t(frameSize) * channels)
        sendFrame(frameSize);
}

void AudioMixer::flush()
{
    if (!pending.empty())
        sendFrame(int(pending.size() / channels));
}

void AudioMixer::sendFrame(int frames)
{
    AVFrame *frame = av_frame_alloc();
    bool ok = frame != nullptr;
    if (ok) {
        frame->format = format;
        frame->nb_samples = frames;
        frame->sample_rate = sampleRate;
        const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        ok = av_channel_layout_copy(&frame->ch_layout, &stereo) == 0
             && av_frame_get_buffer(frame, 0) == 0;
    }
    if (ok) {
        const float *in = pending.data();
        switch (format) {
        case AV_SAMPLE_FMT_FLTP: {
            auto *left = reinterpret_cast<float *>(frame->data[0]);
            auto *right = reinterpret_cast<float *>(frame->data[1]);
            for (int i = 0; i < frames; ++i) {
                left[i] = in[2 * i];
                right[i] = in[2 * i + 1];
            }
            break;
        }
        case AV_SAMPLE_FMT_S16: {
            auto *out = reinterpret_cast<int16_t *>(frame->data[0]);
            for (int i = 0; i < frames * channels; ++i)
                out[i] = int16_t(std::lround(std::clamp(in[i], -1.0f, 1.0f) * 32767.0f));
            break;
        }
        default: // AV_SAMPLE_FMT_FLT
            std::memcpy(frame->data[0], in, size_t(frames) * channels * sizeof(float));
            break;
        }
        frame->pts = trackPts;
    }
    trackPts += frames;
    pending.erase(pending.begin(), pending.begin() + ptrdiff_t(frames) * channels);
    if (ok)
        sink(frame);
    else
        av_frame_free(&frame);
}

double AudioMixer::measuredDriftPpm(int index) const
{
    if (index < 0 || index >= int(sources.size()))
        return 0;
    const Source &source = sources[size_t(index)];
    const double seconds = double(source.lastNs - source.firstNs) / 1e9;
    if (seconds < 2.0)
        return 0;
    return (double(source.receivedBeforeLast) / (seconds * sampleRate) - 1.0) * 1e6;
}

double AudioMixer::largestCorrectionPpm(int index) const
{
    if (index < 0 || index >= int(sources.size()))
        return 0;
    return sources[size_t(index)].largestCorrection;
}
