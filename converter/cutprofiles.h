#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The ffmpeg runs that cut a piece out of a recording: the same container
// and codecs the recorder writes, or a GIF with a palette made for the
// clip. Plain functions of their arguments, like the conversion profiles.
namespace converter {

// Frames of a GIF made by the converter, and the widest it gets.
inline constexpr int DefaultGifWidth = 800;
inline constexpr int DefaultGifRate = 15;

// The filter chain of a GIF: the rate, the width (0 keeps the input's; a
// wider one than the input is never made), then one palette for the whole
// clip, applied with dithering.
QString gifFilter(int width, int rate, bool capWidthAtInput);

// Keeps the frames and the sound in [startUs, endUs) of the input, in
// microseconds from the file's start, re-encoded at the converter's high
// quality into the container the output's suffix names.
QStringList cutVideoArguments(const QString &inputPath, const QString &outputPath,
                              int64_t startUs, int64_t endUs);

// The same span as a looping GIF of that width (0: the input's) and rate.
QStringList cutGifArguments(const QString &inputPath, const QString &outputPath, int64_t startUs,
                            int64_t endUs, int width, int rate);

// The first of path, "name_1.ext", "name_2.ext", ... that names nothing on
// disk (a dangling link counts as taken), as recordings are named.
QString freeNumberedPath(const QString &path);

} // namespace converter
