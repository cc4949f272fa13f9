#include "app/quitsignals.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vexlo {

namespace {

constexpr int QuitSignalNumbers[] = {SIGTERM, SIGINT, SIGHUP};

// Read end [0] and write end [1]; the handler sees only the write end.
int signalPipe[2] = {-1, -1};

extern "C" void onQuitSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // Non-blocking: with the pipe full, further signals are dropped, and one
    // pending byte is enough to end the program.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    // Close-on-exec: the converter's ffmpeg must not inherit the pipe.
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning().noquote() << "Quit signals are not handled: no pipe:" << std::strerror(errno);
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: the rest of the program never sees EINTR.
    action.sa_flags = SA_RESTART;
    for (const int number : QuitSignalNumbers)
        ::sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    if (signalPipe[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : QuitSignalNumbers)
        ::sigaction(number, &action, nullptr);
    delete notifier;
    notifier = nullptr;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void QuitSignals::readPipe()
{
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(signalPipe[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received(numbers[i]);
    }
}

} // namespace vexlo
