#pragma once

// The one interface every capture source offers the recorder: start, the
// latest frame with its pointer, stop, and a signal when the source ends on
// its own. The X11 sources grab when asked; the portal source converts on
// PipeWire's thread and hands over its newest picture.

#include "core/recordingconfig.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <chrono>
#include <optional>

struct AVFrame;

namespace capture {

// The clock pictures are stamped with when they arrive.
inline qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct CapturedFrame
{
    // The picture as Format_RGB32, for sources that grab on the GUI thread.
    // Null when the source wrote its picture into the target frame instead.
    QImage image;
    // True when the target frame holds the picture, already in I420.
    bool converted = false;
    // Where the recorder draws its own pointer, in frame pixels; empty when
    // none is to be drawn (hidden, or already in the picture).
    std::optional<QPoint> pointer;
    // Frame pixels per logical pixel of the pointer: the scale of the
    // monitor it is on, so it shows at the size the user sees it.
    qreal pointerScale = 1.0;
    // The desktop's own pointer image (premultiplied ARGB) and its hotspot,
    // where the desktop sends one; null otherwise.
    QImage pointerImage;
    QPoint pointerHotspot;
    // When the picture arrived, in steady-clock nanoseconds; 0 for a grab
    // taken on the spot.
    qint64 receivedNs = 0;
};

// Created, used and destroyed on the GUI thread.
class CaptureSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The pixel size of the frames, fixed at start; invalid when the
    // recorder's rectangle decides it (the X11 grabs).
    virtual QSize frameSize() const { return {}; }
    // False with *error in the user's language when the source cannot run.
    virtual bool start(QString *error) = 0;
    // The newest picture for `config`. `target` is an I420 frame of the
    // recording's size, or null for a preview still; sources that convert
    // on their own write into it and set `converted`.
    virtual CapturedFrame latestFrame(const RecordingConfig &config, AVFrame *target) = 0;
    // Releases everything the source holds; a later start begins afresh.
    virtual void stop() = 0;
    // True when the source follows the config's mode, region and window
    // from tick to tick (the X11 grabs); false when it was fixed at start.
    virtual bool followsConfig() const { return false; }

signals:
    // A new picture is ready; sources that grab when asked never send it.
    void pictureArrived();
    // The source ended without being asked. `reason` says why in the
    // user's language; empty when the desktop stopped sharing.
    void ended(const QString &reason);
};

} // namespace capture
