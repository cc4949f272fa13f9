#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// What one file's ffmpeg run does: which inputs count as audio or video, the
// argument list of every offered output profile, and where the output goes.
// Plain functions of their arguments; the page reads its widgets and passes
// their values in.
namespace converter {

enum class VideoQuality { High, Medium, Low };

// By the lower-cased text after the last "." of the file name.
bool isAudioFile(const QString &path);
bool isVideoFile(const QString &path);

// The quality box's index: 0 is high, 2 is low, anything else (an empty box
// too) is medium.
VideoQuality qualityFromIndex(int index);

// The bit rate box's text up to its first space.
QString bitrateToken(const QString &text);

// The complete argument list for the program "ffmpeg"; format is the
// lower-cased output format ("mp3", "mp4", ...). A format outside the
// profiles gets no codec arguments and ffmpeg picks by the extension.
QStringList audioArguments(const QString &inputPath, const QString &outputPath,
                           const QString &format, const QString &bitrate);
QStringList videoArguments(const QString &inputPath, const QString &outputPath,
                           const QString &format, VideoQuality quality);

// outputDir + "/" + the input's file name without its leading dots and up to
// its last "." + "." + format: "Meeting 2024.01.15.mp4" keeps its date,
// ".hidden.mp4" gives a visible "hidden.<format>".
QString outputPathFor(const QString &inputPath, const QString &outputDir, const QString &format);

// The first of path, "name (1).ext", "name (2).ext", ... that names nothing
// on disk (a dangling link counts as taken), is not the input and is not in
// taken, so a conversion never replaces a file. taken holds cleaned absolute
// paths (see normalizedPath).
QString freeOutputPath(const QString &path, const QString &inputPath, const QSet<QString> &taken);

QString normalizedPath(const QString &path);

} // namespace converter
