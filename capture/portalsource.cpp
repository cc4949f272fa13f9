#include "capture/portalsource.h"

#include "capture/pipewirestream.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace capture {

namespace {
// A desktop that shares but never sends a picture must not leave the page
// starting for ever.
constexpr int FirstPictureTimeoutMs = 10000;

// The region as fractions of the stream's logical rectangle, which is how
// the stream's pixels relate to desktop coordinates on a scaled monitor too.
QRectF areaOf(const QRect &region, const PortalSession::Stream &stream)
{
    QSize logical = stream.logicalSize;
    if (!logical.isValid()) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        logical = screen != nullptr ? screen->geometry().size() : QSize();
    }
    if (!logical.isValid() || !region.isValid())
        return {};
    const QPoint at = region.topLeft() - stream.position;
    return QRectF(double(at.x()) / logical.width(), double(at.y()) / logical.height(),
                  double(region.width()) / logical.width(),
                  double(region.height()) / logical.height());
}
} // namespace

PortalSource::PortalSource(QObject *parent)
    : CaptureSource(parent)
    , session(new PortalSession(this))
    , stream(new PipeWireStream(this))
    , firstPictureTimer(new QTimer(this))
{
    firstPictureTimer->setSingleShot(true);
    firstPictureTimer->setInterval(FirstPictureTimeoutMs);
    connect(firstPictureTimer, &QTimer::timeout, this,
            [this] { onFailed(tr("桌面的屏幕共享没有送来画面")); });
    connect(session, &PortalSession::started, this, &PortalSource::onStarted);
    connect(session, &PortalSession::cancelled, this, [this] {
        stop();
        emit cancelled();
    });
    connect(session, &PortalSession::failed, this, &PortalSource::onFailed);
    connect(session, &PortalSession::closed, this, &PortalSource::onEnded);
    connect(stream, &PipeWireStream::failed, this, &PortalSource::onFailed);
    connect(stream, &PipeWireStream::ended, this, [this](const QString &reason) {
        if (reason.isEmpty())
            onEnded();
        else
            onFailed(reason);
    });
    connect(stream, &PipeWireStream::pictureArrived, this, [this] {
        if (isReady)
            emit pictureArrived();
    });
    connect(stream, &PipeWireStream::firstPicture, this, [this] {
        firstPictureTimer->stop();
        isReady = true;
        emit ready();
    });
}

PortalSource::~PortalSource()
{
    stop();
}

void PortalSource::open(const Choice &wanted)
{
    stop();
    choice = wanted;
    PortalSession::Request request;
    request.source = choice.mode == Window ? PortalSession::WindowSource : PortalSession::Monitor;
    request.pointer = choice.pointer;
    // A window is picked afresh each time; the monitor is remembered.
    request.persist = choice.mode != Window;
    request.restoreToken = request.persist ? choice.restoreToken : QString();
    request.parentWindow = choice.parentWindow;
    session->start(request);
}

void PortalSource::onStarted(const PortalSession::Stream &shared, int fd,
                             const QString &restoreToken)
{
    token = restoreToken;
    const QRectF area = choice.mode == Region ? areaOf(choice.region, shared) : QRectF();
    // Only the monitor the desktop shares can be cropped.
    if (choice.mode == Region && area.isValid() && !QRectF(0, 0, 1, 1).contains(area)) {
        onFailed(tr("所选区域不在桌面共享的屏幕上"));
        return;
    }
    QString error;
    if (!stream->open(fd, shared.node, area, choice.frameRate, &error)) {
        onFailed(error);
        return;
    }
    firstPictureTimer->start();
}

void PortalSource::onFailed(const QString &reason)
{
    const bool wasReady = isReady;
    stop();
    if (wasReady)
        emit ended(reason);
    else
        emit failed(reason);
}

void PortalSource::onEnded()
{
    if (!isReady) {
        onFailed(tr("桌面的屏幕共享失败"));
        return;
    }
    stop();
    emit ended(QString());
}

QSize PortalSource::frameSize() const
{
    return stream->pictureSize();
}

bool PortalSource::start(QString *error)
{
    if (!isReady)
        *error = tr("桌面的屏幕共享没有送来画面");
    return isReady;
}

CapturedFrame PortalSource::latestFrame(const RecordingConfig &, AVFrame *target)
{
    CapturedFrame frame;
    if (target == nullptr || !isReady)
        return frame;
    PipeWireStream::Pointer pointer;
    frame.converted = stream->copyLatest(target, &pointer, &frame.receivedNs);
    frame.pointer = pointer.position;
    frame.pointerImage = pointer.image;
    frame.pointerHotspot = pointer.hotspot;
    return frame;
}

void PortalSource::stop()
{
    firstPictureTimer->stop();
    isReady = false;
    stream->close();
    session->close();
}

} // namespace capture
