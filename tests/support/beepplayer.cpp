#include "support/beepplayer.h"

#include <cmath>
#include <vector>

#include <pulse/simple.h>

namespace vexlo::test {
namespace {

constexpr int Rate = 48000;
constexpr int ChunkFrames = Rate / 200; // 5 ms

} // namespace

BeepPlayer::BeepPlayer(double frequency, int beepMs)
    : frequency(frequency)
    , beepFrames(Rate * beepMs / 1000)
{
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, Rate, 2};
    pa_buffer_attr attributes{};
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(ChunkFrames * 4 * 2 * 4); // 20 ms
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(ChunkFrames * 4 * 2);
    attributes.fragsize = uint32_t(-1);
    int error = 0;
    stream = pa_simple_new(nullptr, "vexlo-test", PA_STREAM_PLAYBACK, nullptr, "beep", &spec,
                           nullptr, &attributes, &error);
    if (stream != nullptr)
        thread = std::thread([this] { run(); });
}

BeepPlayer::~BeepPlayer()
{
    stopping = true;
    written.notify_all();
    if (thread.joinable())
        thread.join();
    if (stream != nullptr)
        pa_simple_free(stream);
}

BeepPlayer::Clock::time_point BeepPlayer::beep()
{
    std::unique_lock lock(mutex);
    requested = true;
    answered = false;
    written.wait(lock, [this] { return answered || stopping; });
    return heardAt;
}

void BeepPlayer::run()
{
    const std::vector<float> silence(ChunkFrames * 2, 0.0f);
    std::vector<float> tone(size_t(beepFrames) * 2);
    for (int i = 0; i < beepFrames; ++i) {
        const float s = float(0.5 * std::sin(2 * M_PI * frequency * i / Rate));
        tone[2 * size_t(i)] = s;
        tone[2 * size_t(i) + 1] = s;
    }
    int error = 0;
    while (!stopping) {
        bool play = false;
        {
            std::lock_guard lock(mutex);
            if (requested) {
                requested = false;
                play = true;
                // What is written now is heard after what is still queued.
                const pa_usec_t latency = pa_simple_get_latency(stream, &error);
                heardAt = Clock::now() + std::chrono::microseconds(latency);
                answered = true;
            }
        }
        if (play) {
            written.notify_all();
            pa_simple_write(stream, tone.data(), tone.size() * sizeof(float), &error);
        } else {
            pa_simple_write(stream, silence.data(), silence.size() * sizeof(float), &error);
        }
    }
}

} // namespace vexlo::test
