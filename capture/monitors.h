#pragma once

// The monitors a full-screen recording can show, as the toolkit reports
// them, and their areas in the X screen's pixels.

#include <QRect>
#include <QRegion>
#include <QString>

class QScreen;

namespace capture {

// The stored choice of every monitor at once.
inline const QString AllScreens = QStringLiteral("*");

// The monitor a choice names: the primary for an empty one; null for all
// screens and for a monitor that is not connected.
QScreen *chosenMonitor(const QString &choice);
// False for a named monitor that is not connected.
bool isConnected(const QString &choice);
// The name of the monitor a choice records now; empty for all screens.
QString recordedMonitorName(const QString &choice);

// A monitor's rectangle in device pixels: its origin is the same in both.
QRect deviceGeometry(const QScreen *screen);
// What a choice records, in device pixels: one monitor, or the bounding
// rectangle of all of them. Null for a monitor that is not connected.
QRect recordedArea(const QString &choice);
// The parts of `area` no monitor covers.
QRegion uncoveredParts(const QRect &area);
// A rectangle of the toolkit's logical pixels in device pixels: each corner
// maps on its own monitor, so one across two monitors of different scales
// covers the X screen's pixels between them.
QRect toDevice(const QRect &logical);
// The inverse: each corner of a rectangle of device pixels in the logical
// pixels of the monitor it lies on.
QRect fromDevice(const QRect &device);
// The device pixel ratio of the monitor under a point in device pixels.
qreal pixelRatioAt(const QPoint &device);

} // namespace capture
