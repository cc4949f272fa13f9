#pragma once

#include <QObject>

class RecordingPage;

namespace vexlo {
class CommandRequest;
}

// Carries out the commands other starts send (--start, --stop, --pause,
// --resume, --toggle, --status) on the record page, through the same paths
// as its buttons, and answers each once its outcome is known: a start once
// the recording runs or was refused, a stop once the file is complete.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    RemoteControl(RecordingPage *page, QObject *parent = nullptr);

    void handle(vexlo::CommandRequest *request);

private:
    enum class State { Idle, Countdown, Waiting, Recording, Paused, Saving };

    State state() const;
    // The one line --status prints; its words are for scripts and stay untranslated.
    QString statusLine() const;
    void start(vexlo::CommandRequest *request, int stopAfterSeconds);
    void stop(vexlo::CommandRequest *request);
    void pause(vexlo::CommandRequest *request, bool pausing);
    // The request is answered by the first box the page shows meanwhile.
    void answerOnProblem(vexlo::CommandRequest *request);

    RecordingPage *page;
};
