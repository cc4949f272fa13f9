#include "converter/cutprofiles.h"

#include <QFileInfo>

#include <algorithm>

namespace converter {

namespace {

QString seconds(int64_t us)
{
    return QString::number(double(us) / 1e6, 'f', 6);
}

// A frame's time rescaled to ffmpeg's microseconds may land just past the
// start asked for; asked this much earlier, the first frame is always kept
// and the one before it (a frame or more earlier) never is.
constexpr int64_t StartSlackUs = 1000;

// Seeking on the input keeps decoding short for a cut near a long file's
// end; ffmpeg still drops every frame before the start (accurate seek), and
// the duration ends the output before the frame at the end point.
QStringList cutHead(const QString &inputPath, int64_t startUs, int64_t endUs)
{
    const int64_t from = std::max<int64_t>(0, startUs - StartSlackUs);
    return {"-loglevel", "level+info", "-ss", seconds(from), "-i", inputPath,
            "-t", seconds(endUs - startUs), "-progress", "pipe:1", "-hide_banner", "-stats"};
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
    return cutHead(inputPath, startUs, endUs) + codecsFor(suffixOf(outputPath))
           + QStringList{"-fps_mode", "passthrough", "-map", "0:v:0", "-map", "0:a?", "-y", outputPath};
}

QStringList cutGifArguments(const QString &inputPath, const QString &outputPath, int64_t startUs,
                            int64_t endUs, int width, int rate)
{
    return cutHead(inputPath, startUs, endUs)
           + QStringList{"-an", "-vf", gifFilter(width, rate, false), "-loop", "0", "-y", outputPath};
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
