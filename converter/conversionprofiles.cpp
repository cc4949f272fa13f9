#include "converter/conversionprofiles.h"

#include <QDir>
#include <QFileInfo>

namespace converter {

namespace {

const QStringList AudioSuffixes = {"mp3", "wav", "aac", "flac", "ogg", "wma"};
const QStringList VideoSuffixes = {"mp4", "avi", "mov", "mkv", "flv", "wmv"};

QString suffixOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QStringList commonHead(const QString &inputPath)
{
    return {"-i", inputPath, "-progress", "pipe:1", "-hide_banner", "-stats"};
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
    return commonHead(inputPath) + videoCodecBlock(format, quality) + QStringList{"-y", outputPath};
}

QString outputPathFor(const QString &inputPath, const QString &outputDir, const QString &format)
{
    const QString base = QFileInfo(inputPath).fileName().section(QLatin1Char('.'), 0, 0);
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
