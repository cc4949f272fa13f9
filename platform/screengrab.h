#pragma once

#include <QImage>
#include <QRect>

#include <memory>

namespace platform {

// Reads rectangles of the screen as Format_RGB32 images, the same pixels
// QScreen::grabWindow gives for the root window but several times faster:
// MIT-SHM into one shared segment reused from grab to grab, or plain
// GetImage when the server refuses shared memory (decided at the first grab).
// GUI thread only: it talks on the toolkit's X connection.
class ScreenGrabber
{
public:
    enum class Method {
        Undecided,     // no grab yet
        SharedMemory,  // MIT-SHM segment
        GetImage,      // image sent over the connection
        Unavailable,   // not X11, or a screen format this reader does not know
    };

    ScreenGrabber();
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber &) = delete;
    ScreenGrabber &operator=(const ScreenGrabber &) = delete;

    // The pixels of `area` in root-window coordinates (device pixels). Parts
    // of the area outside the screen are black. A null image when the screen
    // cannot be read this way (method() is then Unavailable) or the server
    // failed the request.
    QImage grab(const QRect &area);

    Method method() const { return currentMethod; }

    // Gives the shared segment back; the next grab creates a new one.
    void releaseSegment();

private:
    struct Segment;

    bool decideMethod();
    void refreshScreenSize();
    bool ensureSegment(size_t bytes);
    bool grabShared(const QRect &area, uchar *dst, qsizetype dstStride);
    bool grabPlain(const QRect &area, uchar *dst, qsizetype dstStride);

    Method currentMethod = Method::Undecided;
    QRect screenRect;
    std::unique_ptr<Segment> segment;
    QImage buffer;
};

} // namespace platform
