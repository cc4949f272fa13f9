#include "converter/conversionprofiles.h"

#include "converter/cutprofiles.h"

#include <QDir>
#include <QFileInfo>

namespace converter {

namespace {

const QStringList AudioSuffixes = {"mp3", "wav", "aac", "flac", "ogg", "wma", "m4a", "opus"};
const QStringList VideoSuffixes = {"mp4", "avi", "mov", "mkv", "flv", "wmv", "webm", "ts", "m4v"};

QString suffixOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QStringList commonHead(const QString &inputPath)
{
    // Every message line tagged with its level ("[error] ..."), so a failure
    // is told by ffmpeg's own error lines, never by the metadata printed last.
    return {"-loglevel", "level+info", "-i", inputPath, "-progress", "pipe:1", "-hide_banner", "-stats"};
}

QStringList audioCodecBlock(const QString &format, const QString &bitrate)
{
    if (format == "mp3")
        return {"-codec:a", "libmp3lame", "-b:a", bitrate};
    if (format == "wav")
        return {"-codec:a", "pcm_s16le"};
    if (format == "aac")
        return {"-codec:a", "aac", "-b:a", bitrate};
    if (format == "flac")
        return {"-codec:a", "flac"};
    if (format == "ogg")
        return {"-codec:a", "libvorbis", "-qscale:a", "5"};
    return {};
}

// Kept beside the codecs so that every player opens the file: 4:2:0 H.264
// (an RGB source would give 4:4:4, which browsers and phones refuse), the
// index at the front of MP4 and MOV, and every audio track, not only the
// first, where the container holds more than one.
QStringList playableEverywhere(const QString &format)
{
    QStringList extra;
    if (format == "mp4" || format == "mov" || format == "mkv")
        extra << "-pix_fmt" << "yuv420p";
    if (format == "mp4" || format == "mov")
        extra << "-movflags" << "+faststart";
    if (format != "flv")
        extra << "-map" << "0:v?" << "-map" << "0:a?";
    return extra;
}

QStringList videoCodecBlock(const QString &format, VideoQuality quality)
{
    if (format == "mp4" || format == "mov") {
        QStringList block;
        switch (quality) {
        case VideoQuality::High:
            block = {"-codec:v", "libx264", "-preset", "slow", "-crf", "18"};
            break;
        case VideoQuality::Medium:
            block = {"-codec:v", "libx264", "-preset", "medium", "-crf", "23"};
            break;
        case VideoQuality::Low:
            block = {"-codec:v", "libx264", "-preset", "fast", "-crf", "28"};
            break;
        }
        return block + QStringList{"-codec:a", "aac", "-b:a", "192k"};
    }
    if (format == "avi") {
        const char *scale = quality == VideoQuality::High ? "2"
                            : quality == VideoQuality::Low ? "6"
                                                           : "4";
        return {"-codec:v", "mpeg4", "-qscale:v", scale, "-codec:a", "libmp3lame", "-b:a", "192k"};
    }
    return {};
}

} // namespace

bool isAudioFile(const QString &path)
{
    return AudioSuffixes.contains(suffixOf(path));
}

bool isVideoFile(const QString &path)
{
    return VideoSuffixes.contains(suffixOf(path));
}

VideoQuality qualityFromIndex(int index)
{
    if (index == 0)
        return VideoQuality::High;
    if (index == 2)
        return VideoQuality::Low;
    return VideoQuality::Medium;
}

QString bitrateToken(const QString &text)
{
    return text.section(QLatin1Char(' '), 0, 0);
}

QStringList audioArguments(const QString &inputPath, const QString &outputPath,
                           const QString &format, const QString &bitrate)
{
    return commonHead(inputPath) + audioCodecBlock(format, bitrate) + QStringList{"-y", outputPath};
}

QStringList videoArguments(const QString &inputPath, const QString &outputPath,
                           const QString &format, VideoQuality quality)
{
    // A looping animation without sound; the quality box does not apply.
    if (format == "gif")
        return commonHead(inputPath)
               + QStringList{"-an", "-vf", gifFilter(DefaultGifWidth, DefaultGifRate, true), "-loop", "0",
                             "-y", outputPath};
    return commonHead(inputPath) + videoCodecBlock(format, quality) + playableEverywhere(format)
           + QStringList{"-y", outputPath};
}

QString outputPathFor(const QString &inputPath, const QString &outputDir, const QString &format)
{
    QString name = QFileInfo(inputPath).fileName();
    // A leading dot would hide the output; only the last dot starts the suffix.
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return outputDir + QLatin1Char('/') + base + QLatin1Char('.') + format;
}

QString normalizedPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString freeOutputPath(const QString &path, const QString &inputPath, const QSet<QString> &taken)
{
    const QFileInfo wanted(path);
    const QString dir = wanted.path();
    const QString name = wanted.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString suffix = dot < 0 ? QString() : name.mid(dot);
    const QString input = normalizedPath(inputPath);

    QString candidate = path;
    for (int n = 1;; ++n) {
        const QFileInfo info(candidate);
        const QString key = normalizedPath(candidate);
        if (!info.exists() && !info.isSymLink() && key != input && !taken.contains(key))
            return candidate;
        candidate = dir + QLatin1Char('/') + stem + QStringLiteral(" (%1)").arg(n) + suffix;
    }
}

} // namespace converter
