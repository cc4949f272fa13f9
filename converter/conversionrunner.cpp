#include "converter/conversionrunner.h"

#include "converter/conversionprofiles.h"
#include "media/mediaprobe.h"

#include <QFile>
#include <QFutureWatcher>
#include <QPointer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <numeric>

namespace {

// How long quitting waits for a killed process to be reaped.
constexpr int ReapAfterKillMs = 1000;

int64_t probeInput(const QString &path)
{
    return media::probeDurationUs(path, media::kConverterInputContainers);
}

} // namespace

ConversionRunner::ConversionRunner(Preparer preparer, QObject *parent)
    : QObject(parent)
    , preparer(std::move(preparer))
{
}

ConversionRunner::~ConversionRunner()
{
    stopNow();
}

void ConversionRunner::start(const QStringList &inputs, const QList<qint64> &sizes)
{
    this->inputs = inputs;
    this->sizes = sizes;
    durations.clear();
    weights.clear();
    totalWeight = 0;
    index = -1;
    active = true;
    completed = false;
    ++batch;
    taken.clear();
    failures.clear();

    // Probing may take a while per file (up to its deadline); the window
    // stays responsive and the batch begins when all durations are known.
    durationWatcher = new QFutureWatcher<int64_t>(this);
    connect(durationWatcher, &QFutureWatcherBase::finished, this, &ConversionRunner::onDurationsRead);
    durationWatcher->setFuture(QtConcurrent::mapped(inputs, &probeInput));
}

void ConversionRunner::onDurationsRead()
{
    QFutureWatcher<int64_t> *watcher = durationWatcher;
    durationWatcher = nullptr;
    watcher->deleteLater();
    if (!active)
        return;

    durations = watcher->future().results();
    durations.resize(inputs.size(), -1);
    weights = converter::batchWeights(durations, sizes);
    totalWeight = std::accumulate(weights.begin(), weights.end(), 0.0);
    index = 0;
    processNextFile();
}

void ConversionRunner::processNextFile()
{
    if (!active)
        return;
    if (index >= inputs.size()) {
        finishBatch();
        return;
    }

    const QString input = inputs.at(index);
    auto *run = new QProcess(this);
    run->setProgram(QStringLiteral("ffmpeg"));
    const QString output = preparer(run, input, taken);
    if (output.isEmpty()) {
        delete run;
        failures.append({input, tr("不支持的文件类型")});
        // The slot shows a modal box; the batch may be stopped meanwhile,
        // or this object deleted with its page.
        QPointer<ConversionRunner> self(this);
        const int batchAtWarning = batch;
        emit unsupportedFile(input);
        if (self && batch == batchAtWarning)
            advance();
        return;
    }
    taken.insert(converter::normalizedPath(output));
    startRun(run, output);
}

void ConversionRunner::startRun(QProcess *run, const QString &output)
{
    process = run;
    outputPath = output;
    progress = converter::RunProgress();

    connect(run, &QProcess::readyReadStandardOutput, this, [this, run] {
        if (run == process)
            progress.addOutput(run->readAllStandardOutput());
    });
    connect(run, &QProcess::readyReadStandardError, this, [this, run] {
        if (run == process)
            progress.addError(run->readAllStandardError());
    });
    connect(run, &QProcess::errorOccurred, this,
            [this, run](QProcess::ProcessError error) { onProcessError(run, error); });
    connect(run, &QProcess::finished, this, [this, run](int exitCode, QProcess::ExitStatus status) {
        onProcessFinished(run, exitCode, status);
    });
    run->start();
}

// A crash is reported here and then as finished; only a failed start has no
// finished report, so only it ends the run here.
void ConversionRunner::onProcessError(QProcess *run, QProcess::ProcessError error)
{
    if (run == stoppedProcess) {
        // Terminating it shows up as a crash: nothing worth a log line.
        if (error == QProcess::FailedToStart)
            dropStoppedProcess();
        return;
    }
    if (run != process)
        return;
    qWarning().noquote() << "Process error:" << run->errorString();
    if (error == QProcess::FailedToStart) {
        qWarning("无法启动FFmpeg进程");
        endRun(tr("无法启动FFmpeg进程"));
    }
}

void ConversionRunner::onProcessFinished(QProcess *run, int exitCode, QProcess::ExitStatus status)
{
    if (run == stoppedProcess) {
        dropStoppedProcess();
        return;
    }
    if (run != process)
        return;

    progress.addOutput(run->readAllStandardOutput());
    progress.addError(run->readAllStandardError());
    progress.finish();
    if (status == QProcess::NormalExit && exitCode == 0) {
        endRun(QString());
        return;
    }
    QString reason = progress.lastErrorLine();
    if (reason.isEmpty())
        reason = status == QProcess::CrashExit ? tr("ffmpeg 意外终止")
                                               : tr("ffmpeg 退出代码 %1").arg(exitCode);
    endRun(reason);
}

void ConversionRunner::endRun(const QString &failure)
{
    process->disconnect(this);
    process->deleteLater();
    process = nullptr;
    if (!failure.isEmpty())
        failures.append({inputs.at(index), failure});
    advance();
}

// Queued, so the next process starts only after every report of the last one
// has been handled; a call left over from a stopped batch does nothing.
void ConversionRunner::advance()
{
    ++index;
    const int batchAtAdvance = batch;
    QMetaObject::invokeMethod(
        this,
        [this, batchAtAdvance] {
            if (batch == batchAtAdvance)
                processNextFile();
        },
        Qt::QueuedConnection);
}

void ConversionRunner::finishBatch()
{
    active = false;
    completed = true;
    emit batchFinished(failures);
}

void ConversionRunner::stopAllProcesses()
{
    active = false;
    ++batch;
    if (durationWatcher != nullptr) {
        durationWatcher->disconnect(this);
        durationWatcher->future().cancel();
        durationWatcher->deleteLater();
        durationWatcher = nullptr;
    }
    if (process == nullptr)
        return;

    // At most one process runs: a new batch waits until a stopped one is gone.
    stoppedProcess = process;
    stoppedOutput = outputPath;
    process = nullptr;
    QProcess *run = stoppedProcess;
    run->terminate();
    QTimer::singleShot(KillDelayMs, run, [run] {
        if (run->state() != QProcess::NotRunning)
            run->kill();
    });
}

void ConversionRunner::stopNow()
{
    stopAllProcesses();
    if (stoppedProcess == nullptr)
        return;
    stoppedProcess->disconnect(this);
    if (!stoppedProcess->waitForFinished(KillDelayMs)) {
        stoppedProcess->kill();
        stoppedProcess->waitForFinished(ReapAfterKillMs);
    }
    dropStoppedProcess();
}

void ConversionRunner::dropStoppedProcess()
{
    stoppedProcess->disconnect(this);
    stoppedProcess->deleteLater();
    stoppedProcess = nullptr;
    // The name was free when the run began, so this is the run's own file.
    QFile::remove(stoppedOutput);
    stoppedOutput.clear();
}

bool ConversionRunner::isBusy() const
{
    return active || stoppedProcess != nullptr;
}

int ConversionRunner::percent() const
{
    if (completed)
        return 100;
    if (!active || index < 0 || totalWeight <= 0)
        return 0;
    const int count = int(weights.size());
    double done = std::accumulate(weights.begin(), weights.begin() + std::min(index, count), 0.0);
    if (process != nullptr && index < count)
        done += weights.at(index) * progress.fraction(durations.at(index));
    // 100 means the batch is over, which only the last file's end may say.
    return std::clamp(int(done * 100.0 / totalWeight), 0, 99);
}

int ConversionRunner::currentIndex() const
{
    return active && index < inputs.size() ? index : -1;
}

QString ConversionRunner::currentPath() const
{
    const int i = currentIndex();
    return i < 0 ? QString() : inputs.at(i);
}
