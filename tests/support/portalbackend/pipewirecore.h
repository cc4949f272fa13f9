#pragma once

#include <QString>

struct pw_thread_loop;
struct pw_context;
struct pw_core;

namespace vexlo::testportal {

// The backend's one connection to PipeWire, run on PipeWire's own thread
// loop. Streams are made and changed with the loop locked (Locker).
class PipeWireCore
{
public:
    PipeWireCore();
    ~PipeWireCore();
    PipeWireCore(const PipeWireCore &) = delete;
    PipeWireCore &operator=(const PipeWireCore &) = delete;

    // Connects to the server of XDG_RUNTIME_DIR; false with error() set.
    bool connect();
    QString error() const { return lastError; }

    pw_thread_loop *loop() const { return threadLoop; }
    pw_core *core() const { return connection; }

    class Locker
    {
    public:
        explicit Locker(const PipeWireCore &core);
        ~Locker();
        Locker(const Locker &) = delete;
        Locker &operator=(const Locker &) = delete;

    private:
        pw_thread_loop *loop;
    };

private:
    pw_thread_loop *threadLoop = nullptr;
    pw_context *context = nullptr;
    pw_core *connection = nullptr;
    QString lastError;
};

} // namespace vexlo::testportal
