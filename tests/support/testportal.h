#pragma once

#include "portalbackend/testcontent.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariantMap>

namespace vexlo::test {

// The control interface of the test portal backend that
// `scripts/headless.sh --portal` runs (the desktop's side of the ScreenCast
// portal, with a PipeWire source of known content; see
// portalbackend/testcontent.h). Every call waits for its answer; a call that
// fails returns false (or -1) and leaves the bus's message in lastError(),
// also printed as a warning.
class TestPortal
{
public:
    // The rig is up: VEXLO_TEST_PORTAL is set and both the backend and the
    // frontend answer on the session bus.
    static bool running();

    // Pixel size of the next stream; a running stream is renegotiated at once.
    bool setStreamSize(QSize size);
    // The size Start reports (a scaled monitor); empty: the pixel size.
    bool setLogicalSize(QSize size);
    // Which of its two monitors the desktop shares (0 or 1, right of 0).
    bool setMonitor(uint monitor);
    bool setFrameRate(int fps);
    // Answer of the next Start: 0 success, 1 cancelled by the user, 2
    // failure, 3 none (its dialog stays open until the request is closed).
    bool setNextResponse(uint response);
    // These two restart the portal frontend (it reads them only at start):
    // call them before a session starts.
    bool setSourceTypes(uint types);
    bool setCursorModes(uint modes);
    bool setPointer(QPoint position);
    // Streams started from now on show a window that moves in a larger
    // buffer, marked by crop metadata, and some buffers marked corrupted.
    bool setMovingCrop(bool on);
    // As when the user stops sharing on the desktop: the stream ends and the
    // session is closed.
    bool endStream();

    // Starts that showed the selection dialog (no valid restore data).
    int dialogCount();
    QVariantMap lastSelectOptions();
    int activeStreams();
    // Sessions not closed yet, and Start requests closed while their
    // dialog was open.
    int openSessions();
    int closedRequests();

    // Fires a bound global shortcut as the desktop does when its keys are
    // pressed: the number of sessions that heard it, -1 on failure.
    int activateShortcut(const QString &id);
    // "id=preferred trigger" of every bound shortcut, sorted.
    QStringList boundShortcuts();

    QString lastError() const { return error; }

private:
    bool call(const QString &method, const QVariantList &arguments, QVariant *answer = nullptr);

    QString error;
};

// The frame number drawn at the top-left of the cell at cellOrigin, or -1
// when its squares are not clean black and white.
int frameNumberAt(const QImage &frame, QPoint cellOrigin);

// The palette entry (0..5) a colour is close to, or -1.
int paletteIndexOf(QRgb colour);
// The palette colour a colour is close to, or 0 when none is.
QRgb paletteColourOf(QRgb colour);

} // namespace vexlo::test
