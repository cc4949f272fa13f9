#pragma once

#include "core/recordingconfig.h"

// Every option of a recording but its target, as the settings show them:
// read at each start and at each refresh of the preview.
class RecordingOptions
{
public:
    virtual ~RecordingOptions() = default;
    virtual RecordingConfig recordingOptions() const = 0;
    // Seconds shown before a start takes its first frame; 0 for none.
    virtual int countdownSeconds() const { return 0; }
    // Recorded seconds (pauses excluded) after which a recording stops; 0 for never.
    virtual int stopAfterSeconds() const { return 0; }
};
