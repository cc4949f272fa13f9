#pragma once

#include <QObject>

class QSocketNotifier;

namespace vexlo {

// Turns SIGTERM, SIGINT and SIGHUP (a logout or shutdown, Ctrl+C, a closed
// terminal) into a signal of the event loop, so the program ends the normal
// way: the running recording is finished and the settings are saved. The
// handler itself only writes the signal number into a pipe, which is all a
// signal handler may safely do. One instance per process; the default
// actions are restored when it is destroyed.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

signals:
    // Emitted on the GUI thread, once per signal that arrived.
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
};

} // namespace vexlo
