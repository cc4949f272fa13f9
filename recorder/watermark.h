#pragma once

// The watermark drawn into composed frames: an image made translucent and
// scaled relative to the frame, or else a line of bold text, in a corner or
// the centre. GUI thread only (it paints on pixmaps).

#include "core/recordingconfig.h"

#include <QDateTime>
#include <QPixmap>
#include <QSize>
#include <QString>

struct AVFrame;

class WatermarkPainter
{
public:
    // Draws the watermark of `config` into `frame`: the image when it is
    // enabled and loads, otherwise the text when there is one.
    void apply(QPixmap &frame, const RecordingConfig &config);
    // The same, into an I420 frame: the watermark is rendered once per
    // change of its options and then painted over its own rectangle only.
    void apply(AVFrame *frame, const RecordingConfig &config);

private:
    // Everything the prepared image depends on; a changed file counts too.
    struct ImageKey
    {
        QString path;
        QDateTime modified;
        qint64 fileSize = -1;
        int opacity = 0;
        int sizePercent = 0;
        QSize frameSize;

        bool operator==(const ImageKey &other) const;
    };

    // The translucent, scaled image, or none when the file does not load.
    // Prepared again only when its key changes.
    const QPixmap *preparedImage(const RecordingConfig &config, QSize frameSize);

    // The watermark alone, cropped to what it covers, for I420 frames.
    void prepareOverlay(const RecordingConfig &config, QSize frameSize);

    ImageKey preparedKey;
    QString overlayKey;
    QImage overlay;
    QPoint overlayAt;
    bool havePrepared = false;
    bool imageLoaded = false;
    QPixmap prepared;
};
