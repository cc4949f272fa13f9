#pragma once

#include "core/recordingconfig.h"

// Every option of a recording but its target, as the settings show them:
// read at each start and at each refresh of the preview.
class RecordingOptions
{
public:
    virtual ~RecordingOptions() = default;
    virtual RecordingConfig recordingOptions() const = 0;
};
