#pragma once

#include "app/pages/historypage.h"

class MediaConverter;
class ScreenRecorder;

// The recorder and the converter, as the history page sees them: the files
// they are writing.
class RunningWriters : public OutputWriters
{
public:
    RunningWriters(const ScreenRecorder *recorder, const MediaConverter *converter);

    QString fileBeingRecorded() const override;
    QString fileBeingConverted() const override;

private:
    const ScreenRecorder *recorder;
    const MediaConverter *converter;
};
