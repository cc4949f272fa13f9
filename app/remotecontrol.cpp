#include "app/remotecontrol.h"

#include "app/pages/recordingpage.h"
#include "app/singleinstance.h"

using vexlo::CommandRequest;

RemoteControl::RemoteControl(RecordingPage *page, QObject *parent)
    : QObject(parent)
    , page(page)
{
}

RemoteControl::State RemoteControl::state() const
{
    const RecordingPage::ControlState s = page->controlState();
    if (s.countdownLeft > 0)
        return State::Countdown;
    if (s.waitingForDesktop)
        return State::Waiting;
    if (s.saving)
        return State::Saving;
    if (s.active)
        return s.paused ? State::Paused : State::Recording;
    return State::Idle;
}

QString RemoteControl::statusLine() const
{
    const RecordingPage::ControlState s = page->controlState();
    switch (state()) {
    case State::Countdown:
        return QStringLiteral("countdown %1").arg(s.countdownLeft);
    case State::Waiting:
        return QStringLiteral("waiting");
    case State::Recording:
        return QStringLiteral("recording %1 %2").arg(s.elapsed, s.filePath);
    case State::Paused:
        return QStringLiteral("paused %1 %2").arg(s.elapsed, s.filePath);
    case State::Saving:
        return QStringLiteral("saving %1").arg(s.filePath);
    case State::Idle:
        break;
    }
    return QStringLiteral("idle");
}

void RemoteControl::handle(CommandRequest *request)
{
    const QString name = request->name();
    if (name == QLatin1String("status"))
        request->reply(true, statusLine());
    else if (name == QLatin1String("start"))
        start(request, request->argument().toInt());
    else if (name == QLatin1String("stop"))
        stop(request);
    else if (name == QLatin1String("pause") || name == QLatin1String("resume"))
        pause(request, name == QLatin1String("pause"));
    else if (name == QLatin1String("toggle") && state() == State::Idle)
        start(request, 0);
    else if (name == QLatin1String("toggle"))
        stop(request);
    else
        request->reply(false, tr("未知命令：%1").arg(name));
}

void RemoteControl::answerOnProblem(CommandRequest *request)
{
    connect(page, &RecordingPage::problemShown, request,
            [request](const QString &text) { request->reply(false, text); });
    connect(request, &CommandRequest::answeredNow, this,
            [this, request] { disconnect(page, nullptr, request, nullptr); });
}

void RemoteControl::start(CommandRequest *request, int stopAfterSeconds)
{
    switch (state()) {
    case State::Idle:
        break;
    case State::Countdown:
    case State::Waiting:
        request->reply(false, tr("录制正要开始"));
        return;
    case State::Saving:
        request->reply(false, tr("上一个录制还在保存"));
        return;
    case State::Recording:
    case State::Paused:
        request->reply(false, tr("已经在录制"));
        return;
    }
    answerOnProblem(request);
    connect(page, &RecordingPage::recordingStarted, request,
            [this, request] { request->reply(true, page->controlState().filePath); });
    connect(page, &RecordingPage::startCancelled, request,
            [request](const QString &reason) { request->reply(false, reason); });
    page->startRecording(stopAfterSeconds);
    // Every refusal the page knows of answers itself; this one is for any other.
    if (!request->isAnswered() && state() == State::Idle)
        request->reply(false, tr("无法开始录制"));
}

void RemoteControl::stop(CommandRequest *request)
{
    switch (state()) {
    case State::Idle:
        request->reply(false, tr("没有正在进行的录制"));
        return;
    case State::Countdown:
    case State::Waiting:
        // Cancelled: there is no file to tell of.
        page->onToggleRecording();
        request->reply(true, QString());
        return;
    case State::Recording:
    case State::Paused:
    case State::Saving:
        break;
    }
    connect(page, &RecordingPage::recordingSaved, request,
            [request](const QString &path) { request->reply(true, path); });
    if (state() != State::Saving)
        page->onToggleRecording();
}

void RemoteControl::pause(CommandRequest *request, bool pausing)
{
    const State now = state();
    if (now != State::Recording && now != State::Paused) {
        request->reply(false, tr("没有正在进行的录制"));
        return;
    }
    if (pausing && now == State::Paused) {
        request->reply(false, tr("录制已经暂停"));
        return;
    }
    if (!pausing && now == State::Recording) {
        request->reply(false, tr("录制没有暂停"));
        return;
    }
    answerOnProblem(request);
    page->onPauseShortcut();
    if (request->isAnswered())
        return;
    if (state() == (pausing ? State::Paused : State::Recording))
        request->reply(true, statusLine());
    else
        request->reply(false, pausing ? tr("无法暂停录制") : tr("无法继续录制"));
}
