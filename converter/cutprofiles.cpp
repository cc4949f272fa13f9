#include "converter/cutprofiles.h"

#include <QFileInfo>

#include <algorithm>

namespace converter {

namespace {

QString seconds(int64_t us)
{
    return QString::number(double(us) / 1e6, 'f', 6);
}

// Frames and samples are chosen by the trim filters, on the times the
// input had, not by ffmpeg's seek: its accurate seek may drop the frame at
// the start. The seek only skips ahead, to a key frame before the start,
// and the frames read before the start are dropped by the filter.
constexpr int64_t SeekLeadUs = 1000000;
// A frame's time rescaled to microseconds may land just past the time
// asked for: the bounds sit this much before the frames they name.
constexpr int64_t BoundSlackUs = 500;

int64_t seekPoint(int64_t startUs)
{
    return std::max<int64_t>(0, startUs - SeekLeadUs);
}

QStringList cutHead(const QString &inputPath, int64_t startUs)
{
    return {"-loglevel", "level+info", "-noaccurate_seek", "-ss", seconds(seekPoint(startUs)),
            "-i", inputPath, "-progress", "pipe:1", "-hide_banner", "-stats"};
}

// Times after the seek count from the seek point.
QString span(const char *filter, int64_t startUs, int64_t endUs)
{
    const int64_t origin = seekPoint(startUs);
    return QStringLiteral("%1=start=%2:end=%3")
        .arg(QLatin1String(filter), seconds(std::max<int64_t>(0, startUs - origin - BoundSlackUs)),
             seconds(endUs - origin - BoundSlackUs));
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

// What the recorder writes into each container, at the converter's high
// quality (the recorder's VP9 and Opus have no converter profile: their
// settings here are of the same rank).
QStringList codecsFor(const QString &suffix)
{
    if (suffix == "avi")
        return {"-codec:v", "mpeg4", "-qscale:v", "2", "-codec:a", "libmp3lame", "-b:a", "192k"};
    if (suffix == "webm")
        return {"-codec:v", "libvpx-vp9", "-crf", "18", "-b:v", "0", "-deadline", "good",
                "-cpu-used", "4", "-row-mt", "1", "-codec:a", "libopus", "-b:a", "128k"};
    QStringList block{"-codec:v", "libx264", "-preset", "slow", "-crf", "18", "-pix_fmt", "yuv420p",
                      "-codec:a", "aac", "-b:a", "192k"};
    if (suffix == "mp4" || suffix == "mov")
        block << "-movflags" << "+faststart";
    return block;
}

} // namespace

QString gifFilter(int width, int rate, bool capWidthAtInput)
{
    QString chain = QStringLiteral("fps=%1").arg(rate);
    if (width > 0) {
        const QString w = capWidthAtInput ? QStringLiteral("'min(%1,iw)'").arg(width) : QString::number(width);
        chain += QStringLiteral(",scale=%1:-1:flags=lanczos").arg(w);
    }
    return chain + QStringLiteral(",split[a][b];[a]palettegen=stats_mode=full[p];"
                                  "[b][p]paletteuse=dither=sierra2_4a");
}

QStringList cutVideoArguments(const QString &inputPath, const QString &outputPath,
                              int64_t startUs, int64_t endUs)
{
    // Every frame keeps its time: a constant rate would repeat or drop frames
    // where the recording skipped a slot.
    const QString video = span("trim", startUs, endUs) + QStringLiteral(",setpts=PTS-STARTPTS");
    const QString sound = span("atrim", startUs, endUs) + QStringLiteral(",asetpts=PTS-STARTPTS");
    return cutHead(inputPath, startUs) + QStringList{"-map", "0:v:0", "-map", "0:a?", "-filter:v", video,
                                                     "-filter:a", sound}
           + codecsFor(suffixOf(outputPath)) + QStringList{"-fps_mode", "passthrough", "-y", outputPath};
}

QStringList cutGifArguments(const QString &inputPath, const QString &outputPath, int64_t startUs,
                            int64_t endUs, int width, int rate)
{
    const QString chain = span("trim", startUs, endUs) + QStringLiteral(",setpts=PTS-STARTPTS,")
                          + gifFilter(width, rate, false);
    return cutHead(inputPath, startUs) + QStringList{"-an", "-vf", chain, "-loop", "0", "-y", outputPath};
}

QString freeNumberedPath(const QString &path)
{
    const QFileInfo wanted(path);
    const QString dir = wanted.path();
    const QString stem = wanted.completeBaseName();
    const QString suffix = wanted.suffix().isEmpty() ? QString() : QLatin1Char('.') + wanted.suffix();
    QString candidate = path;
    for (int n = 1;; ++n) {
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return candidate;
        candidate = dir + QLatin1Char('/') + stem + QStringLiteral("_%1").arg(n) + suffix;
    }
}

} // namespace converter
