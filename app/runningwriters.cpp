#include "app/runningwriters.h"

#include "converter/mediaconverter.h"
#include "recorder/screenrecorder.h"

RunningWriters::RunningWriters(const ScreenRecorder *recorder, const MediaConverter *converter)
    : recorder(recorder)
    , converter(converter)
{
}

QString RunningWriters::fileBeingRecorded() const
{
    if (!recorder->isRecording() && !recorder->isFinishing())
        return QString();
    return recorder->currentFilePath();
}

QString RunningWriters::fileBeingConverted() const
{
    return converter->outputBeingWritten();
}
