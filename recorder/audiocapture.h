#pragma once

#include <QElapsedTimer>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct AVFrame;
struct pa_context;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
struct timeval;
class AudioMixer;

// The sound of one recording: the microphone (the sound server's default
// source) and the system audio (the monitor of its default output), read
// through the PulseAudio client API on a thread of its own (the client
// library's threaded main loop), mixed by an AudioMixer on that thread and
// handed on as encoder frames.
//
// Each block is timestamped on the recording's monotonic clock: the time it
// arrives minus the latency the server reports for it. Every 20 ms the
// thread mixes what all live sources have delivered; a source that stalls
// holds the mix back by at most 2.5 s, a lost one not at all, so the track
// keeps running (silent where nothing came) and the file keeps interleaving.
//
// Threads: open(), start(), pause(), resume() and the result getters on the
// GUI thread; level() on any thread; finish() and the destructor on the
// thread that finishes the recording, once the GUI thread no longer uses
// the object. The frame sink is called on the capture thread.
class AudioCapture
{
public:
    enum Source { Microphone = 0, SystemAudio = 1 };
    static constexpr int sourceCount = 2;

    enum class Failure {
        None,
        NotAsked,
        NoServer,     // no sound server answered
        NoDevice,     // the server has no such default device
        Refused,      // the server refused the stream; see failureDetail()
    };

    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture &) = delete;
    AudioCapture &operator=(const AudioCapture &) = delete;

    // Connects to the sound server and opens the asked sources, waiting at
    // most three seconds in all for a server that does not answer. True when at
    // least one source is open; the others say why in failure().
    bool open(bool microphone, bool systemAudio);
    bool isOpen(Source source) const { return streams[source].stream != nullptr && !failed(source); }
    Failure failure(Source source) const { return streams[source].failure; }
    // The server's own words for a Refused source.
    QString failureDetail(Source source) const { return streams[source].detail; }

    // From now on the blocks are laid on `clock` (started at the recording's
    // time 0) and mixed into frames of the encoder's size and format.
    void start(const QElapsedTimer &clock, int frameSize, AVSampleFormat format,
               std::function<void(AVFrame *)> sink);
    // Clock times in milliseconds, as the picture is paused and resumed.
    void pause(qint64 clockMs);
    void resume(qint64 clockMs);

    // Ends the track at endMs of clock time: waits (at most three seconds) for
    // the live sources to deliver up to it, sends the last frames and stops
    // the thread. Called once.
    void finish(qint64 endMs);

    // Peak level 0..1 of the source since the last call. Thread-safe.
    float level(Source source);

    // After finish(): where in the track (milliseconds of recording time) a
    // source that was open got lost, or -1.
    qint64 lostAtMs(Source source) const { return streams[source].lostAtMs; }
    // After finish(): how far each source's clock ran ahead of the
    // monotonic clock, and the largest correction applied, in ppm.
    double driftPpm(Source source) const { return streams[source].driftPpm; }
    double correctionPpm(Source source) const { return streams[source].correctionPpm; }

private:
    struct Stream
    {
        AudioCapture *owner = nullptr;
        int index = 0;
        pa_stream *stream = nullptr;
        QByteArray device;
        Failure failure = Failure::NotAsked;
        QString detail;
        bool ready = false;
        bool lost = false;
        int64_t lostClockNs = -1;
        qint64 lostAtMs = -1;
        std::atomic<float> peak{0.0f};
        double driftPpm = 0;
        double correctionPpm = 0;
    };

    bool connectContext();
    void queryDefaults();
    void openStream(Stream &stream, const char *device, const char *name);
    bool failed(Source source) const { return streams[source].failure != Failure::None; }
    // Waits on the loop (lock held) until done() or the deadline.
    template<typename Done>
    bool waitFor(Done done, int timeoutMs);
    void loseStream(Stream &stream);
    void readBlocks(Stream &stream);
    void mixAvailable(bool ending);
    int64_t clockNs() const;
    qint64 recordedMsAt(int64_t clockNs) const;
    void teardown();

    static void contextStateChanged(pa_context *context, void *self);
    static void streamStateChanged(pa_stream *stream, void *data);
    static void streamReadable(pa_stream *stream, size_t bytes, void *data);
    static void tick(pa_mainloop_api *api, pa_time_event *event, const struct timeval *,
                     void *self);

    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_time_event *timer = nullptr;
    bool loopRunning = false;
    // While open() runs: the time (pa_rtclock) every wait ends by.
    uint64_t openDeadlineUs = 0;
    bool contextFailed = false;
    QByteArray defaultSource;
    QByteArray defaultSink;
    QByteArray monitorSource;
    bool defaultSourceIsMonitor = false;

    std::array<Stream, sourceCount> streams;
    // Set by start(); read on the capture thread under the loop's lock.
    bool started = false;
    QElapsedTimer clock;
    std::unique_ptr<AudioMixer> mixer;
    bool finishing = false;
    // Pauses in clock milliseconds, for the lost-at time.
    struct Span
    {
        qint64 from;
        qint64 to;
    };
    std::vector<Span> pauses;
};
