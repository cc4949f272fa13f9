#pragma once

#include <QString>

// A fragmented MP4 or MOV file starts with an empty index whose durations
// are zero; readers that trust them (GStreamer's among others) then take the
// start of the last fragment for the end. After a normal stop the durations
// of that index are written in place: a few bytes at the file's head, no
// rewrite of the file, so a file finished this way is never left half moved.
namespace mp4 {

// Writes `seconds` into the movie, track and media headers of the file's
// leading index. False when the file has no such index or cannot be written.
// Thread-safe (it touches only the file).
bool writeDuration(const QString &path, double seconds);

} // namespace mp4
