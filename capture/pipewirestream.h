#pragma once

// One PipeWire video stream, received on PipeWire's own thread loop. The
// newest buffer of each cycle is converted once, straight from its mapped
// memory, to I420 of the size fixed by the first picture (the part the
// desktop marks with its crop metadata, a window in a monitor-sized buffer,
// cut to the chosen part of the stream), and handed to the GUI thread under
// a mutex. Later pictures keep that size: they are cropped or padded.
//
// The only file with PipeWire's headers is its implementation.

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

struct AVFrame;

namespace capture {

class PipeWireStream : public QObject
{
    Q_OBJECT

public:
    // The pointer as the stream's cursor metadata has it.
    struct Pointer
    {
        // In picture pixels; empty when the desktop sends none or hides it.
        std::optional<QPoint> position;
        // The desktop's own pointer image (premultiplied ARGB) and its
        // hotspot; null when the desktop sent none.
        QImage image;
        QPoint hotspot;
    };

    explicit PipeWireStream(QObject *parent = nullptr);
    ~PipeWireStream() override;

    // Connects to node `nodeId` of the PipeWire remote `fd` (taken over and
    // closed in every case). `area` is the part of the stream to keep, as
    // fractions of its size; the null rectangle keeps all of it. The stream
    // is asked for at most `maxFrameRate` pictures a second. False, with
    // *error in the user's language, when PipeWire cannot be reached. GUI
    // thread.
    bool open(int fd, quint32 nodeId, const QRectF &area, int maxFrameRate, QString *error);
    // Disconnects and ends the thread; no signal follows. GUI thread.
    void close();

    // The size of the pictures, fixed by the first one; invalid before.
    // GUI thread, after firstPicture.
    QSize pictureSize() const;
    // Copies the newest picture into `target` (I420), its top-left part when
    // the target is smaller, padded with black when larger, and the pointer
    // as it was last sent. False before the first picture. *receivedNs: when
    // the picture came, steady clock. GUI thread.
    bool copyLatest(AVFrame *target, Pointer *pointer, qint64 *receivedNs);

signals:
    // The first picture is ready; pictureSize() is known.
    void firstPicture();
    // A newer picture is ready (the first one included).
    void pictureArrived();
    // The stream failed before its first picture; the text says why.
    void failed(const QString &reason);
    // The stream ended after its first picture: `reason` says why in the
    // user's language, empty when the desktop stopped it.
    void ended(const QString &reason);

private:
    struct Loop;
    // True while the stream of that open() is the one running.
    bool isCurrent(quint64 generation) const;

    std::unique_ptr<Loop> loop;
    quint64 openCount = 0;
};

} // namespace capture
