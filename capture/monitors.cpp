#include "capture/monitors.h"

#include <QGuiApplication>
#include <QScreen>

namespace capture {

QScreen *chosenMonitor(const QString &choice)
{
    if (choice.isEmpty())
        return QGuiApplication::primaryScreen();
    if (choice == AllScreens)
        return nullptr;
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == choice)
            return screen;
    return nullptr;
}

bool isConnected(const QString &choice)
{
    return choice == AllScreens || chosenMonitor(choice) != nullptr;
}

QString recordedMonitorName(const QString &choice)
{
    const QScreen *screen = chosenMonitor(choice);
    return screen != nullptr ? screen->name() : QString();
}

QRect deviceGeometry(const QScreen *screen)
{
    // Scaled per monitor, the toolkit keeps each monitor's origin in device
    // pixels and divides only its size.
    const QRect logical = screen->geometry();
    const QSizeF size = QSizeF(logical.size()) * screen->devicePixelRatio();
    return QRect(logical.topLeft(), size.toSize());
}

QRect recordedArea(const QString &choice)
{
    if (choice != AllScreens) {
        const QScreen *screen = chosenMonitor(choice);
        return screen != nullptr ? deviceGeometry(screen) : QRect();
    }
    QRect area;
    for (const QScreen *screen : QGuiApplication::screens())
        area |= deviceGeometry(screen);
    return area;
}

QRegion uncoveredParts(const QRect &area)
{
    QRegion covered;
    for (const QScreen *screen : QGuiApplication::screens())
        covered += deviceGeometry(screen);
    return QRegion(area) - covered;
}

namespace {

// The monitor whose logical rectangle holds the point, else the nearest:
// between monitors of different scales the logical plane has gaps.
const QScreen *monitorAtLogical(const QPoint &point)
{
    const QScreen *nearest = nullptr;
    qint64 best = -1;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const qint64 dx = qMax(0, qMax(g.left() - point.x(), point.x() - g.right()));
        const qint64 dy = qMax(0, qMax(g.top() - point.y(), point.y() - g.bottom()));
        const qint64 distance = dx * dx + dy * dy;
        if (best < 0 || distance < best) {
            best = distance;
            nearest = screen;
        }
    }
    return nearest;
}

QPoint pointToDevice(const QPoint &point)
{
    const QScreen *screen = monitorAtLogical(point);
    if (screen == nullptr)
        return point;
    const QPoint origin = screen->geometry().topLeft();
    return origin + QPointF(QPointF(point - origin) * screen->devicePixelRatio()).toPoint();
}

} // namespace

QRect toDevice(const QRect &logical)
{
    if (!logical.isValid())
        return logical;
    // The far corner is mapped as the edge past the last pixel, so that a
    // scaled pixel keeps its whole width.
    const QPoint topLeft = pointToDevice(logical.topLeft());
    const QPoint beyond = pointToDevice(logical.bottomRight() + QPoint(1, 1));
    return QRect(topLeft, beyond - QPoint(1, 1));
}

namespace {

// The edge past the desktop's last pixel belongs to the monitor before it.
QPoint pointFromDevice(const QPoint &point)
{
    const QScreen *nearest = nullptr;
    qint64 best = -1;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect g = deviceGeometry(screen);
        const qint64 dx = qMax(0, qMax(g.left() - point.x(), point.x() - g.right()));
        const qint64 dy = qMax(0, qMax(g.top() - point.y(), point.y() - g.bottom()));
        if (best < 0 || dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = screen;
        }
    }
    if (nearest == nullptr)
        return point;
    const QPoint origin = nearest->geometry().topLeft();
    return origin + QPointF(QPointF(point - origin) / nearest->devicePixelRatio()).toPoint();
}

} // namespace

QRect fromDevice(const QRect &device)
{
    if (!device.isValid())
        return device;
    const QPoint topLeft = pointFromDevice(device.topLeft());
    const QPoint beyond = pointFromDevice(device.bottomRight() + QPoint(1, 1));
    return QRect(topLeft, beyond - QPoint(1, 1));
}

qreal pixelRatioAt(const QPoint &device)
{
    for (const QScreen *screen : QGuiApplication::screens())
        if (deviceGeometry(screen).contains(device))
            return screen->devicePixelRatio();
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->devicePixelRatio() : 1.0;
}

} // namespace capture
