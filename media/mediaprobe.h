#pragma once

#include <QString>

#include <cstdint>

// Reading the playing time of a media file with libavformat, hardened for
// files the user did not make: the named file is opened without waiting and
// read only if what was opened is a regular file (a FIFO or device put in its
// place never blocks us), nothing else is ever opened (a playlist or concat
// list renamed to .mp4 never makes us open another file), only the containers
// the caller lists are read, with bounded probing and a deadline.
namespace media {

// libavformat demuxer names of the containers Vexlo records (and GIF, which
// the history page lists too).
inline constexpr const char *kRecordingContainers = "mov,avi,matroska,flv,gif";

// The converter's inputs: audio files and the video containers.
inline constexpr const char *kConverterInputContainers =
    "mp3,wav,aac,flac,ogg,asf,mov,avi,matroska,flv,mpegts";

// How long one probe may take before it is abandoned.
inline constexpr int kProbeDeadlineMs = 5000;

// Duration in microseconds (AV_TIME_BASE units), or -1 when the file cannot
// be opened, is not in one of the listed containers or carries no duration.
// When fromBitRate is given it tells whether the duration is only an estimate
// from the bit rate (ADTS AAC, an MP3 without its frame count).
// This function is thread-safe; the history page and the converter call it
// from a thread pool.
int64_t probeDurationUs(const QString &path, const char *containerWhitelist,
                        int deadlineMs = kProbeDeadlineMs, bool *fromBitRate = nullptr);

} // namespace media
