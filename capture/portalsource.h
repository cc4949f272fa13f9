#pragma once

// Capture through the desktop's ScreenCast portal: the portal session picks
// the monitor or window (the desktop may ask the user), and its PipeWire
// stream delivers the pictures, already in I420, cropped to the region.
// Opening is asynchronous; the source is ready once the first picture came.

#include "capture/capturesource.h"
#include "capture/portalsession.h"

#include <QRect>

class QTimer;

namespace capture {

class PipeWireStream;

class PortalSource : public CaptureSource
{
    Q_OBJECT

public:
    struct Choice
    {
        RecordMode mode = FullScreen;
        // For a region: the rectangle in desktop coordinates.
        QRect region;
        bool pointer = true;
        // The stream is asked for at most this many pictures a second.
        int frameRate = 30;
        // The desktop's token of an earlier choice of monitor, if any.
        QString restoreToken;
        QString parentWindow;
    };

    explicit PortalSource(QObject *parent = nullptr);
    ~PortalSource() override;

    // Ends in exactly one of ready, cancelled or failed.
    void open(const Choice &choice);
    // The token to store for the next start; empty when the desktop gave
    // none. Valid after ready.
    QString restoreToken() const { return token; }

    QSize frameSize() const override;
    bool start(QString *error) override;
    CapturedFrame latestFrame(const RecordingConfig &config, AVFrame *target) override;
    void stop() override;

signals:
    void ready();
    void cancelled();
    void failed(const QString &reason);

private:
    void onStarted(const PortalSession::Stream &stream, int fd, const QString &restoreToken);
    void onFailed(const QString &reason);
    // The desktop stopped sharing.
    void onEnded();

    Choice choice;
    PortalSession *session = nullptr;
    PipeWireStream *stream = nullptr;
    QTimer *firstPictureTimer = nullptr;
    QString token;
    bool isReady = false;
};

} // namespace capture
