#pragma once

#include "converter/batchreport.h"
#include "converter/conversionprogress.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

template <typename T>
class QFutureWatcher;

// Converts a batch of files, one `ffmpeg` process at a time, and reports one
// overall percentage weighted by each file's media duration. The first file
// starts at once; the inputs' durations are read on the thread pool
// meanwhile, and so is each output's once its run has ended. Everything else
// runs on the GUI thread, driven by the processes' own signals, and nothing
// here waits on a process except stopNow(). Every method is for the GUI
// thread.
//
// Each file advances the queue exactly once, whatever mix of error and
// finished reports its process sends; the next process is started only after
// the previous one has ended. Every ffmpeg dies with this process.
class ConversionRunner : public QObject
{
    Q_OBJECT

public:
    // Stores the program's arguments for one input on the process and returns
    // the output path, or an empty path for an input that is neither audio
    // nor video. taken holds the outputs given to earlier files of the batch.
    using Preparer = std::function<QString(QProcess *process, const QString &inputPath,
                                           const QSet<QString> &taken)>;

    // A playing time read on the thread pool.
    struct Duration
    {
        int64_t us = -1;
        bool fromBitRate = false;
    };

    // The process of a stopped batch is killed this long after it was asked
    // to terminate.
    static constexpr int KillDelayMs = 3000;

    explicit ConversionRunner(Preparer preparer, QObject *parent = nullptr);
    ~ConversionRunner() override;

    // Starts a batch; sizes are the files' sizes in bytes, in the same order.
    // Durations, when given, are what each output is to last (a cut of its
    // input): they weigh the files instead of the inputs' playing times.
    void start(const QStringList &inputs, const QList<qint64> &sizes,
               const QList<int64_t> &outputDurationsUs = {});

    // Ends the batch for good: no further file starts and batchFinished is
    // not emitted. A running ffmpeg is asked to terminate and killed
    // KillDelayMs later; once it has ended its partial output is removed.
    // Returns at once.
    void stopAllProcesses();

    // As stopAllProcesses, but returns only when ffmpeg has ended and its
    // partial output is gone: for quitting, when no event loop will deliver
    // the process's end.
    void stopNow();

    // A batch runs, or the ffmpeg of a stopped one has not ended yet.
    bool isBusy() const;
    // Share of the batch done, 0 to 100: it never decreases while the batch
    // runs and reaches 100 only once the last file has ended.
    int percent() const;
    // The file whose turn it is, or -1 between batches.
    int currentIndex() const;
    QString currentPath() const;
    // The output ffmpeg is writing, until it has ended.
    QString outputBeingWritten() const { return process ? outputPath : stoppedProcess ? stoppedOutput : QString(); }
    int fileCount() const { return int(inputs.size()); }

signals:
    // An input that is neither audio nor video; it is skipped. The batch
    // goes on when the connected slot returns.
    void unsupportedFile(const QString &path);
    // Every file has had its turn and every duration has been read.
    void batchFinished(const converter::BatchReport &report);

private:
    void onDurationsRead();
    void setWeights();
    void processNextFile();
    void startRun(QProcess *process, const QString &outputPath);
    void onProcessError(QProcess *process, QProcess::ProcessError error);
    void onProcessFinished(QProcess *process, int exitCode, QProcess::ExitStatus status);
    QString failureReason(int exitCode, QProcess::ExitStatus status) const;
    void endRun(const QString &failure);
    void checkOutput(int file, const QString &path);
    void advance();
    void finishBatch();
    void reportIfComplete();
    void dropStoppedProcess();

    Preparer preparer;

    QStringList inputs;
    QList<qint64> sizes;
    QList<Duration> durations;
    QList<double> weights;
    double totalWeight = 0;
    int index = -1;
    bool active = false;
    // Every file has had its turn; the report waits for the durations.
    bool allRun = false;
    bool completed = false;
    // Counts starts and stops, so queued steps of an earlier batch are dropped.
    int batch = 0;
    QFutureWatcher<Duration> *durationWatcher = nullptr;

    QProcess *process = nullptr;
    QString outputPath;
    converter::RunProgress progress;
    QSet<QString> taken;
    converter::BatchReport report;
    // Converted files by their input's position, with their output's
    // duration once it has been read; the others are still being read.
    QList<QPair<int, Duration>> outputs;
    int outputChecksPending = 0;

    // The process of a stopped batch until it has ended.
    QProcess *stoppedProcess = nullptr;
    QString stoppedOutput;
};
