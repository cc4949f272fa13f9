#include "pipewirecore.h"

#include <pipewire/pipewire.h>

#include <cerrno>
#include <cstring>

namespace vexlo::testportal {

PipeWireCore::PipeWireCore()
{
    pw_init(nullptr, nullptr);
}

PipeWireCore::~PipeWireCore()
{
    if (threadLoop != nullptr)
        pw_thread_loop_stop(threadLoop);
    if (connection != nullptr)
        pw_core_disconnect(connection);
    if (context != nullptr)
        pw_context_destroy(context);
    if (threadLoop != nullptr)
        pw_thread_loop_destroy(threadLoop);
    pw_deinit();
}

bool PipeWireCore::connect()
{
    threadLoop = pw_thread_loop_new("vexlo-test-portal", nullptr);
    if (threadLoop == nullptr) {
        lastError = QStringLiteral("cannot make PipeWire's thread loop");
        return false;
    }
    context = pw_context_new(pw_thread_loop_get_loop(threadLoop), nullptr, 0);
    if (context == nullptr) {
        lastError = QStringLiteral("cannot make a PipeWire context");
        return false;
    }
    if (pw_thread_loop_start(threadLoop) < 0) {
        lastError = QStringLiteral("cannot start PipeWire's thread loop");
        return false;
    }
    Locker lock(*this);
    connection = pw_context_connect(context, nullptr, 0);
    if (connection == nullptr) {
        lastError = QStringLiteral("cannot reach the PipeWire server: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

PipeWireCore::Locker::Locker(const PipeWireCore &core) : loop(core.threadLoop)
{
    pw_thread_loop_lock(loop);
}

PipeWireCore::Locker::~Locker()
{
    pw_thread_loop_unlock(loop);
}

} // namespace vexlo::testportal
