#pragma once

// The benchmark's cases and the pieces its three processes share: the driver
// (one line per case), the scroller (moving content on the screen) and the
// recorder run (ScreenRecorder in a process of its own, so that its CPU time
// is its own).

#include "recorder/recordingconfig.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace bench {

struct Case
{
    QString name;            // "[<format>-]<preset>@<fps>", as printed
    VideoQuality quality;
    int frameRate;
    QSize size;              // encoded size on a 1920 x 1080 screen
    QStringList encoderArgs; // the same encoder and settings for the ffmpeg run
    bool overlay = false;    // pointer and text watermark drawn into every frame
    OutputFormat format = MP4;
};

QList<Case> allCases();

// Statistics of the recorder run, printed by it as key=value pairs.
struct RecordStats
{
    QString file;
    double cpuMs = 0;
    double captureP50 = 0;
    double captureP99 = 0;
    double loopP99 = 0;
    double rssGrowthMb = 0;
    double stopMs = 0;
};

// Percentile (0..100) of unsorted samples; 0 for none.
double percentile(QList<double> samples, double p);

// Video packets in a file, that is frames, or -1 when it cannot be read.
int countFrames(const QString &path);

// The history page case: not a recording, run in a process of its own.
inline constexpr const char *HistoryCaseName = "history200";
int runHistory(int argc, char **argv, const QString &workDir);

int runScroller(int argc, char **argv, int frameRate);
int runRecorder(int argc, char **argv, const Case &c, int seconds, const QString &outputDir);
int runDriver(int argc, char **argv, const QString &onlyCase, int seconds);

} // namespace bench
