#pragma once

#include <QString>

extern "C" {
#include <libavutil/rational.h>
}

// FLV keeps its key-frame index in the metadata at the head of the file,
// which the muxer can only fill in by moving the whole file at the end; a
// recording killed before that would carry a broken index. Recordings are
// therefore written without one, and a normal stop copies the finished file
// once into a new one that has it, replacing the original only when the copy
// is complete.
namespace flv {

// False, with the file left as it was, when the copy could not be made
// (no room for it among others). Thread-safe (it touches only the files).
bool addKeyframeIndex(const QString &path, AVRational frameRate);

} // namespace flv
