#include "recorder/audiocapture.h"

#include "recorder/audiomixer.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <vector>

#include <pulse/pulseaudio.h>

namespace {

// A server that does not answer within this is taken for none. It bounds
// the whole of open(), which runs on the GUI thread at a start.
constexpr int connectTimeoutMs = 3000;
// Blocks of about 10 ms: short enough for the level meter and for the
// null sink's monitor to run at a low latency.
constexpr pa_usec_t fragmentUsec = 10000;
constexpr pa_usec_t tickUsec = 20000;
// A live source that delivers nothing holds the mix back at most this long.
// Some sources deliver in bursts of up to two seconds (the server's sine
// source, network and some Bluetooth devices); their sound must still fit.
constexpr qint64 stallMs = 2500;
// At the stop, the live sources get this long to deliver the last blocks.
constexpr int finishWaitMs = 3000;

const pa_sample_spec captureSpec{PA_SAMPLE_FLOAT32LE, AudioMixer::sampleRate,
                                 AudioMixer::channels};

} // namespace

AudioCapture::AudioCapture()
{
    for (int i = 0; i < sourceCount; ++i) {
        streams[size_t(i)].owner = this;
        streams[size_t(i)].index = i;
    }
}

AudioCapture::~AudioCapture()
{
    teardown();
}

template<typename Done>
bool AudioCapture::waitFor(Done done, int timeoutMs)
{
    struct Deadline
    {
        pa_threaded_mainloop *loop;
        bool passed = false;
    } deadline{loop};
    pa_usec_t until = pa_rtclock_now() + pa_usec_t(timeoutMs) * 1000;
    if (openDeadlineUs != 0)
        until = std::min(until, openDeadlineUs);
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
    pa_time_event *event = pa_context_rttime_new(
        context, until,
        [](pa_mainloop_api *, pa_time_event *, const timeval *, void *data) {
            auto *d = static_cast<Deadline *>(data);
            d->passed = true;
            pa_threaded_mainloop_signal(d->loop, 0);
        },
        &deadline);
    while (!done() && !deadline.passed)
        pa_threaded_mainloop_wait(loop);
    if (event != nullptr)
        api->time_free(event);
    return done();
}

bool AudioCapture::open(bool microphone, bool systemAudio)
{
    streams[Microphone].failure = microphone ? Failure::NoServer : Failure::NotAsked;
    streams[SystemAudio].failure = systemAudio ? Failure::NoServer : Failure::NotAsked;
    if (!microphone && !systemAudio)
        return false;
    // A server that accepts but answers slowly must not hold the start
    // for a wait per step.
    openDeadlineUs = pa_rtclock_now() + pa_usec_t(connectTimeoutMs) * 1000;
    struct ClearDeadline
    {
        pa_usec_t &deadline;
        ~ClearDeadline() { deadline = 0; }
    } clearDeadline{openDeadlineUs};
    if (!connectContext())
        return false;

    pa_threaded_mainloop_lock(loop);
    queryDefaults();
    if (microphone) {
        if (defaultSource.isEmpty() || defaultSourceIsMonitor)
            streams[Microphone].failure = Failure::NoDevice;
        else
            openStream(streams[Microphone], defaultSource.constData(), "Microphone");
    }
    if (systemAudio) {
        if (monitorSource.isEmpty())
            streams[SystemAudio].failure = Failure::NoDevice;
        else
            openStream(streams[SystemAudio], monitorSource.constData(), "System audio");
    }
    pa_threaded_mainloop_unlock(loop);
    return isOpen(Microphone) || isOpen(SystemAudio);
}

bool AudioCapture::connectContext()
{
    loop = pa_threaded_mainloop_new();
    if (loop == nullptr)
        return false;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Vexlo");
    if (context == nullptr)
        return false;
    pa_context_set_state_callback(context, &AudioCapture::contextStateChanged, this);
    // A recorder never starts a sound server of its own.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(loop) < 0)
        return false;
    loopRunning = true;

    pa_threaded_mainloop_lock(loop);
    const bool ready = waitFor(
        [this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        connectTimeoutMs);
    const bool connected = ready && pa_context_get_state(context) == PA_CONTEXT_READY;
    pa_threaded_mainloop_unlock(loop);
    return connected;
}

void AudioCapture::queryDefaults()
{
    const auto wait = [this](pa_operation *operation) {
        if (operation == nullptr)
            return;
        waitFor([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
                connectTimeoutMs);
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
    };
    wait(pa_context_get_server_info(
        context,
        [](pa_context *, const pa_server_info *info, void *self) {
            auto *capture = static_cast<AudioCapture *>(self);
            if (info != nullptr) {
                capture->defaultSource = QByteArray(info->default_source_name);
                capture->defaultSink = QByteArray(info->default_sink_name);
            }
            pa_threaded_mainloop_signal(capture->loop, 0);
        },
        this));
    if (!defaultSource.isEmpty()) {
        // Where no input exists the server may name an output's monitor as
        // its default source: that is no microphone.
        wait(pa_context_get_source_info_by_name(
            context, defaultSource.constData(),
            [](pa_context *, const pa_source_info *info, int, void *self) {
                auto *capture = static_cast<AudioCapture *>(self);
                if (info != nullptr)
                    capture->defaultSourceIsMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
                pa_threaded_mainloop_signal(capture->loop, 0);
            },
            this));
    }
    if (!defaultSink.isEmpty()) {
        wait(pa_context_get_sink_info_by_name(
            context, defaultSink.constData(),
            [](pa_context *, const pa_sink_info *info, int, void *self) {
                auto *capture = static_cast<AudioCapture *>(self);
                if (info != nullptr && info->monitor_source_name != nullptr)
                    capture->monitorSource = QByteArray(info->monitor_source_name);
                pa_threaded_mainloop_signal(capture->loop, 0);
            },
            this));
    }
}

void AudioCapture::openStream(Stream &stream, const char *device, const char *name)
{
    stream.device = device;
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    stream.stream = pa_stream_new(context, name, &captureSpec, &map);
    const auto refuse = [&](int error) {
        stream.failure = error == PA_ERR_NOENTITY ? Failure::NoDevice : Failure::Refused;
        stream.detail = QString::fromUtf8(pa_strerror(error));
        if (stream.stream != nullptr) {
            pa_stream_set_state_callback(stream.stream, nullptr, nullptr);
            pa_stream_set_read_callback(stream.stream, nullptr, nullptr);
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream.stream)))
                pa_stream_disconnect(stream.stream);
            pa_stream_unref(stream.stream);
            stream.stream = nullptr;
        }
    };
    if (stream.stream == nullptr) {
        refuse(pa_context_errno(context));
        return;
    }
    pa_stream_set_state_callback(stream.stream, &AudioCapture::streamStateChanged, &stream);
    pa_stream_set_read_callback(stream.stream, &AudioCapture::streamReadable, &stream);

    pa_buffer_attr attributes{};
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(-1);
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(pa_usec_to_bytes(fragmentUsec, &captureSpec));
    // Timing reports interpolated between updates give each block its
    // capture time; the device the recording started with is the one it
    // records (a stream that loses it fails rather than wandering off).
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE
                                         | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream.stream, device, &attributes, flags) < 0) {
        refuse(pa_context_errno(context));
        return;
    }
    waitFor(
        [&stream] {
            const pa_stream_state_t state = pa_stream_get_state(stream.stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        },
        connectTimeoutMs);
    if (pa_stream_get_state(stream.stream) != PA_STREAM_READY) {
        const int error = pa_context_errno(context);
        refuse(error != PA_OK ? error : PA_ERR_TIMEOUT);
        return;
    }
    stream.failure = Failure::None;
    stream.ready = true;
}

void AudioCapture::start(const QElapsedTimer &recordingClock, int frameSize, AVSampleFormat format,
                         std::function<void(AVFrame *)> sink)
{
    if (!loopRunning)
        return;
    pa_threaded_mainloop_lock(loop);
    clock = recordingClock;
    mixer = std::make_unique<AudioMixer>(sourceCount, frameSize, format, std::move(sink));
    for (const Stream &stream : streams) {
        if (!stream.ready || stream.lost)
            mixer->endSource(stream.index);
    }
    started = true;
    timer = pa_context_rttime_new(context, pa_rtclock_now() + tickUsec, &AudioCapture::tick, this);
    pa_threaded_mainloop_unlock(loop);
}

void AudioCapture::pause(qint64 clockMs)
{
    if (!loopRunning)
        return;
    pa_threaded_mainloop_lock(loop);
    pauses.push_back({clockMs, INT64_MAX});
    if (mixer)
        mixer->openPause(clockMs);
    pa_threaded_mainloop_unlock(loop);
}

void AudioCapture::resume(qint64 clockMs)
{
    if (!loopRunning)
        return;
    pa_threaded_mainloop_lock(loop);
    if (!pauses.empty())
        pauses.back().to = clockMs;
    if (mixer)
        mixer->closePause(clockMs);
    pa_threaded_mainloop_unlock(loop);
}

void AudioCapture::finish(qint64 endMs)
{
    if (loopRunning && mixer) {
        pa_threaded_mainloop_lock(loop);
        mixer->setEnd(endMs);
        finishing = true;
        const int64_t end = AudioMixer::positionForMs(endMs);
        waitFor([this, end] { return mixer->deliveredUntil() >= end || mixer->mixedUntil() >= end; },
                finishWaitMs);
        mixer->mixUntil(end);
        mixer->flush();
        for (Stream &stream : streams) {
            stream.driftPpm = mixer->measuredDriftPpm(stream.index);
            stream.correctionPpm = mixer->largestCorrectionPpm(stream.index);
            if (stream.ready && stream.lost)
                stream.lostAtMs = recordedMsAt(stream.lostClockNs);
        }
        pa_threaded_mainloop_unlock(loop);
    }
    teardown();
}

float AudioCapture::level(Source source)
{
    return streams[source].peak.exchange(0.0f);
}

int64_t AudioCapture::clockNs() const
{
    return clock.isValid() ? clock.nsecsElapsed() : 0;
}

qint64 AudioCapture::recordedMsAt(int64_t atNs) const
{
    const qint64 at = std::max<qint64>(0, atNs / 1000000);
    qint64 paused = 0;
    for (const Span &span : pauses) {
        if (span.from < at)
            paused += std::min(span.to, at) - span.from;
    }
    return at - paused;
}

void AudioCapture::loseStream(Stream &stream)
{
    if (stream.lost || !stream.ready)
        return;
    stream.lost = true;
    stream.lostClockNs = started ? clockNs() : 0;
    if (mixer)
        mixer->endSource(stream.index);
    qWarning().noquote() << QStringLiteral("声音来源中断: ") + QString::fromUtf8(stream.device);
}

void AudioCapture::readBlocks(Stream &stream)
{
    std::vector<float> silence;
    while (pa_stream_readable_size(stream.stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream.stream, &data, &bytes) < 0 || bytes == 0)
            break;
        const int frames = int(bytes / (sizeof(float) * AudioMixer::channels));
        if (started && mixer && !stream.lost && frames > 0) {
            int64_t at = clockNs();
            pa_usec_t latency = 0;
            int negative = 0;
            // The latency of a record stream is how long ago the next sample
            // to be read was captured.
            if (pa_stream_get_latency(stream.stream, &latency, &negative) == 0)
                at += negative ? int64_t(latency) * 1000 : -int64_t(latency) * 1000;
            const float *samples = static_cast<const float *>(data);
            if (samples == nullptr) { // a hole: the server lost data here
                silence.assign(size_t(frames) * AudioMixer::channels, 0.0f);
                samples = silence.data();
            }
            float peak = 0;
            for (int i = 0; i < frames * AudioMixer::channels; ++i)
                peak = std::max(peak, std::fabs(samples[i]));
            float seen = stream.peak.load();
            while (peak > seen && !stream.peak.compare_exchange_weak(seen, peak)) {
            }
            mixer->addBlock(stream.index, samples, frames, at);
        }
        pa_stream_drop(stream.stream);
    }
}

void AudioCapture::mixAvailable(bool ending)
{
    if (!started || !mixer)
        return;
    const int64_t now = AudioMixer::positionForNs(clockNs());
    int64_t target = std::min(mixer->deliveredUntil(), now);
    target = std::max(target, now - AudioMixer::positionForMs(stallMs));
    if (ending)
        target = std::min(target, mixer->endPosition());
    mixer->mixUntil(target);
}

void AudioCapture::teardown()
{
    if (loopRunning) {
        pa_threaded_mainloop_stop(loop);
        loopRunning = false;
    }
    // The loop's thread has ended: nothing below races with it.
    if (timer != nullptr) {
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
        api->time_free(timer);
        timer = nullptr;
    }
    for (Stream &stream : streams) {
        if (stream.stream == nullptr)
            continue;
        pa_stream_set_state_callback(stream.stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream.stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream.stream)))
            pa_stream_disconnect(stream.stream);
        pa_stream_unref(stream.stream);
        stream.stream = nullptr;
    }
    if (context != nullptr) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
            pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    if (loop != nullptr) {
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
    }
    mixer.reset();
}

void AudioCapture::contextStateChanged(pa_context *context, void *self)
{
    auto *capture = static_cast<AudioCapture *>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        capture->contextFailed = true;
        for (Stream &stream : capture->streams)
            capture->loseStream(stream);
    }
    pa_threaded_mainloop_signal(capture->loop, 0);
}

void AudioCapture::streamStateChanged(pa_stream *stream, void *data)
{
    auto *entry = static_cast<Stream *>(data);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        entry->owner->loseStream(*entry);
    pa_threaded_mainloop_signal(entry->owner->loop, 0);
}

void AudioCapture::streamReadable(pa_stream *, size_t, void *data)
{
    auto *entry = static_cast<Stream *>(data);
    entry->owner->readBlocks(*entry);
}

void AudioCapture::tick(pa_mainloop_api *api, pa_time_event *event, const struct timeval *,
                        void *self)
{
    auto *capture = static_cast<AudioCapture *>(self);
    capture->mixAvailable(capture->finishing);
    (void)api;
    pa_context_rttime_restart(capture->context, event, pa_rtclock_now() + tickUsec);
    pa_threaded_mainloop_signal(capture->loop, 0);
}
