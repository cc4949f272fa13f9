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

qreal pixelRatioAt(const QRect &area)
{
    qreal ratio = 1.0;
    qint64 most = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect shared = deviceGeometry(screen) & area;
        const qint64 size = qint64(shared.width()) * shared.height();
        if (size > most) {
            most = size;
            ratio = screen->devicePixelRatio();
        }
    }
    return ratio;
}

} // namespace capture
