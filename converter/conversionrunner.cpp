#include "converter/conversionrunner.h"

#include "converter/conversionprofiles.h"
#include "media/mediaprobe.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <numeric>

#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// How long quitting waits for a killed process to be reaped.
constexpr int ReapAfterKillMs = 1000;

ConversionRunner::Duration probe(const QString &path)
{
    ConversionRunner::Duration duration;
    duration.us = media::probeDurationUs(path, media::kConverterInputContainers, media::kProbeDeadlineMs,
                                         &duration.fromBitRate);
    return duration;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
// Without it an ffmpeg whose Vexlo was killed goes on writing for init.
void dieWithParent(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the line above took effect.
    if (::getppid() != parent)
        ::_exit(127);
}

QString signalName(int signal)
{
    const char *abbreviation = ::sigabbrev_np(signal);
    return abbreviation != nullptr ? QStringLiteral("SIG") + QString::fromLatin1(abbreviation)
                                   : QString::number(signal);
}

// ffmpeg names the input by its full path; the summary names it once.
QString withoutInputPath(const QString &line, const QString &inputPath)
{
    const QString prefix = inputPath + QStringLiteral(": ");
    return line.startsWith(prefix) ? line.mid(prefix.size()) : line;
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

void ConversionRunner::start(const QStringList &inputs, const QList<qint64> &sizes,
                             const QList<int64_t> &outputDurationsUs)
{
    this->inputs = inputs;
    this->sizes = sizes;
    durations.clear();
    weights.clear();
    totalWeight = 0;
    index = 0;
    active = true;
    allRun = false;
    completed = false;
    ++batch;
    taken.clear();
    report = converter::BatchReport();
    outputs.clear();
    outputChecksPending = 0;

    if (!outputDurationsUs.isEmpty()) {
        for (const int64_t us : outputDurationsUs)
            durations.append({us, false});
        durations.resize(inputs.size());
        setWeights();
    } else {
        // Probing may take a while per file (up to its deadline): it runs while
        // the first file converts, and only the weights of the bar wait for it.
        durationWatcher = new QFutureWatcher<Duration>(this);
        connect(durationWatcher, &QFutureWatcherBase::finished, this, &ConversionRunner::onDurationsRead);
        durationWatcher->setFuture(QtConcurrent::mapped(inputs, &probe));
    }

    const int batchAtStart = batch;
    QMetaObject::invokeMethod(
        this,
        [this, batchAtStart] {
            if (batch == batchAtStart)
                processNextFile();
        },
        Qt::QueuedConnection);
}

void ConversionRunner::onDurationsRead()
{
    QFutureWatcher<Duration> *watcher = durationWatcher;
    durationWatcher = nullptr;
    watcher->deleteLater();
    if (!active)
        return;

    durations = watcher->future().results();
    durations.resize(inputs.size());
    setWeights();
    reportIfComplete();
}

void ConversionRunner::setWeights()
{
    QList<int64_t> us;
    for (const Duration &duration : durations)
        us << duration.us;
    weights = converter::batchWeights(us, sizes);
    totalWeight = std::accumulate(weights.begin(), weights.end(), 0.0);
}

void ConversionRunner::processNextFile()
{
    if (!active || allRun)
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
        report.failures.append({input, tr("不支持的文件类型")});
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
    const pid_t parent = ::getpid();
    run->setChildProcessModifier([parent] { dieWithParent(parent); });
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
        checkOutput(index, outputPath);
        endRun(QString());
        return;
    }
    endRun(failureReason(exitCode, status));
}

QString ConversionRunner::failureReason(int exitCode, QProcess::ExitStatus status) const
{
    const QString error = withoutInputPath(progress.lastErrorLine(), inputs.at(index));
    if (status == QProcess::CrashExit) {
        // On this platform the exit code of a crash is the signal's number.
        const QString crash = tr("ffmpeg 意外终止") + QStringLiteral(" (%1)").arg(signalName(exitCode));
        return error.isEmpty() ? crash : crash + QStringLiteral(": ") + error;
    }
    return error.isEmpty() ? tr("ffmpeg 退出代码 %1").arg(exitCode) : error;
}

void ConversionRunner::endRun(const QString &failure)
{
    process->disconnect(this);
    process->deleteLater();
    process = nullptr;
    if (!failure.isEmpty()) {
        // The name was free when the run began, so whatever is there now is
        // this run's unfinished output.
        const bool removed = QFile::remove(outputPath);
        report.failures.append({inputs.at(index), failure, removed});
    }
    advance();
}

// The output's length is read beside the next file's run; a short one is
// listed once the batch is over.
void ConversionRunner::checkOutput(int file, const QString &path)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!report.outputDirs.contains(dir))
        report.outputDirs.append(dir);

    ++outputChecksPending;
    auto *watcher = new QFutureWatcher<Duration>(this);
    const int batchAtRun = batch;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, file, batchAtRun] {
        watcher->deleteLater();
        if (batch != batchAtRun)
            return;
        outputs.append({file, watcher->result()});
        --outputChecksPending;
        reportIfComplete();
    });
    watcher->setFuture(QtConcurrent::run(&probe, path));
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
    allRun = true;
    reportIfComplete();
}

void ConversionRunner::reportIfComplete()
{
    if (!active || !allRun || durationWatcher != nullptr || outputChecksPending > 0)
        return;
    std::sort(outputs.begin(), outputs.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[file, output] : outputs) {
        const Duration input = durations.value(file);
        // A duration guessed from the bit rate is no measure of either.
        if (!input.fromBitRate && !output.fromBitRate && converter::isShortOutput(output.us, input.us))
            report.shortOutputs.append({inputs.at(file), output.us, input.us});
    }
    active = false;
    completed = true;
    emit batchFinished(report);
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
    if (!active || totalWeight <= 0)
        return 0;
    const int count = int(weights.size());
    double done = std::accumulate(weights.begin(), weights.begin() + std::clamp(index, 0, count), 0.0);
    if (process != nullptr && index < count)
        done += weights.at(index) * progress.fraction(durations.at(index).us);
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
