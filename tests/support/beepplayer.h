#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct pa_simple;

namespace vexlo::test {

// Plays short beeps into the sound server's default output with a small
// buffer, keeping the stream running with silence in between, so that a
// beep is heard a known, short time after it is asked for.
//
// Threads: the constructor, isOpen(), beep() and the destructor on the
// test's thread; the writing runs on a thread of its own.
class BeepPlayer
{
public:
    using Clock = std::chrono::steady_clock;

    BeepPlayer(double frequency, int beepMs);
    ~BeepPlayer();
    BeepPlayer(const BeepPlayer &) = delete;
    BeepPlayer &operator=(const BeepPlayer &) = delete;

    bool isOpen() const { return stream != nullptr; }
    // Queues a beep and returns, on the monotonic clock, when its first
    // sample will be heard.
    Clock::time_point beep();

private:
    void run();

    pa_simple *stream = nullptr;
    double frequency;
    int beepFrames;
    std::mutex mutex;
    std::condition_variable written;
    bool requested = false;
    bool answered = false;
    Clock::time_point heardAt;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

} // namespace vexlo::test
