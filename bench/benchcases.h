#pragma once

// The benchmark's cases and the pieces its three processes share: the driver
// (one line per case), the scroller (moving content on the screen) and the
// recorder run (ScreenRecorder in a process of its own, so that its CPU time
// is its own).

#include "core/recordingconfig.h"

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
    // System audio recorded too; the scroller flashes a corner while it
    // beeps, and the driver measures how far apart the two land in the file.
    bool audio = false;
    // Recorded from the desktop's ScreenCast portal (the test portal's
    // 1920 x 1080 stream) rather than the X server; the peer is GStreamer's
    // PipeWire source with these encoder elements in place of ffmpeg.
    bool portal = false;
    QStringList peerEncoderArgs = {};
    // The portal is the real GNOME desktop's (scripts/headless.sh --desktop
    // gnome): mutter's monitor stream with the moving page full screen.
    bool desktop = false;
    // The monitor recorded, of two 1920 x 1080 monitors side by side (LEFT,
    // primary, and RIGHT) on a 3840 x 1080 screen; empty: one whole screen.
    QString monitor = {};
};

// The X offset of a case's monitor on the screen, as the peer's -i takes it.
inline int monitorOffset(const Case &c)
{
    return c.monitor == QLatin1String("RIGHT") ? 1920 : 0;
}

// The peer's run of a portal case: frames in its file, the file's length
// and the CPU time it took.
struct PeerRun
{
    int frames = -1;
    double seconds = 0;
    double cpuMs = 0;
};
PeerRun runPortalPeer(const Case &c, int seconds, const QString &output);

// True on the real desktop's rig, where only the desktop cases run.
bool onDesktopRig();

// The corner the scroller flashes white in the cases with sound.
inline constexpr int FlashSize = 120;
inline constexpr double BeepHz = 2000;
// 60.33 frames at 30 fps, 120.66 at 60.
inline constexpr int FlashPeriodMs = 2011;

// Mean and largest distance, in milliseconds, between each flash of the
// corner in the file's picture and the nearest beep in its sound; -1 when
// none pair up.
struct AvOffset
{
    double meanMs = -1;
    double maxMs = -1;
    int pairs = 0;
};
AvOffset measureAvOffset(const QString &path);

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

// The converter case: the page's runner against a shell loop of the same
// ffmpeg commands, in a process of its own.
inline constexpr const char *ConvertCaseName = "convert";
// The trim dialog's stepping and cut, in a process of its own.
inline constexpr const char *TrimCaseName = "trim";
int runTrim(int argc, char **argv, const QString &workDir);
int runConvert(int argc, char **argv, const QString &workDir);

int runScroller(int argc, char **argv, int frameRate, bool flash, const QString &monitor);
int runRecorder(int argc, char **argv, const Case &c, int seconds, const QString &outputDir);
int runDriver(int argc, char **argv, const QString &onlyCase, int seconds);

} // namespace bench
