#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

#include <pipewire/stream.h>

namespace vexlo::testportal {

class PipeWireCore;

struct VideoSourceSettings
{
    QSize size;
    int frameRate = 30;
    unsigned cursorMode = 1;
    QPoint pointer;
    // A window in a monitor-sized buffer, marked by crop metadata that
    // moves (see testcontent.h).
    bool movingCrop = false;
};

// One PipeWire video source of the test content: an output stream that
// drives itself at the frame rate and fills shared-memory (memfd) buffers.
// The setters may be called from the GUI thread while it runs; the frame
// counter starts at 0 with the first frame a consumer takes.
class VideoSource : public QObject
{
    Q_OBJECT

public:
    VideoSource(PipeWireCore &core, const VideoSourceSettings &settings, QObject *parent = nullptr);
    ~VideoSource() override;

    // Connects the stream; ready() or failed() follows.
    bool start();

    // Renegotiates the stream at the new pixel size at once.
    void resize(QSize size);
    void setFrameRate(int fps);
    void setPointer(QPoint position);

signals:
    // Emitted from PipeWire's thread; receivers get them queued.
    void ready(quint32 nodeId);
    void failed(const QString &why);

private:
    static void onStateChanged(void *data, pw_stream_state old, pw_stream_state state, const char *error);
    static void onParamChanged(void *data, uint32_t id, const spa_pod *param);
    static void onAddBuffer(void *data, pw_buffer *buffer);
    static void onRemoveBuffer(void *data, pw_buffer *buffer);
    static void onProcess(void *data);
    static void onTimeout(void *data, uint64_t expirations);

    void updateTimer(bool running);
    void updateFormat();
    void fillCursor(spa_buffer *buffer);

    PipeWireCore &core;
    // Read on PipeWire's thread; written with its loop locked.
    VideoSourceSettings settings;
    pw_stream *stream = nullptr;
    spa_hook listener = {};
    spa_source *timer = nullptr;
    bool streaming = false;
    bool announced = false;
    QSize negotiatedSize;
    bool redFirst = false;
    bool bitmapSent = false;
    int buffersSinceBitmap = 0;
    long long frameNumber = 0;
    long long bufferNumber = 0;
};

} // namespace vexlo::testportal
