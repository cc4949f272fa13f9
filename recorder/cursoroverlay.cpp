// The pointer drawn into every grabbed frame, with a yellow glow and a
// pulsing orange ring under it while a mouse button is held. Screen grabs do
// not contain the pointer, so it is painted from one of three images.

#include "platform/pointer.h"
#include "recorder/screenrecorder.h"
#include "recorder/yuvoverlay.h"

#include <QDebug>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QRadialGradient>

namespace {

// Process-wide like the hook that writes them; the hook runs on the GUI
// thread, which is also the one that draws.
bool mouseButtonDown = false;
int highlightPhase = 0;

// Scaled pointer images by style and size, so that an SVG is rendered once
// rather than on every frame.
QHash<QPair<int, int>, QPixmap> cursorCache;

// The desktop's pointer image at the chosen size, scaled once per image.
struct ScaledDesktopPointer
{
    qint64 key = 0;
    int size = 0;
    QImage image;
    QPoint hotspot;
};
ScaledDesktopPointer desktopPointer;

constexpr int GlowHalfSize = 30;
constexpr int GlowRadius = 20;
constexpr int RingBaseRadius = 30;
constexpr int PhaseStep = 5;
constexpr int PhaseCycle = 20;

void mouseHookProc(platform::MouseButtonAction action)
{
    using platform::MouseButtonAction;
    switch (action) {
    case MouseButtonAction::LeftDown:
    case MouseButtonAction::MiddleDown:
    case MouseButtonAction::RightDown:
        mouseButtonDown = true;
        break;
    case MouseButtonAction::LeftUp:
    case MouseButtonAction::MiddleUp:
    case MouseButtonAction::RightUp:
        mouseButtonDown = false;
        break;
    case MouseButtonAction::Other:
        break;
    }
}

QString cursorResource(CursorStyle style)
{
    switch (style) {
    case Hand: return QStringLiteral(":/images/mouse_hand.svg");
    case Cross: return QStringLiteral(":/images/mouse_cross.svg");
    case Default: break;
    }
    return QStringLiteral(":/images/mouse_default.svg");
}

void drawHighlight(QPainter &painter, QPoint at)
{
    painter.setRenderHint(QPainter::Antialiasing);

    QRadialGradient glow(at, GlowRadius);
    glow.setColorAt(0, QColor(255, 255, 0, 200));
    glow.setColorAt(1, QColor(255, 255, 0, 50));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(QRect(at.x() - GlowHalfSize, at.y() - GlowHalfSize, 2 * GlowHalfSize,
                              2 * GlowHalfSize));

    highlightPhase = (highlightPhase + PhaseStep) % PhaseCycle;
    const int radius = highlightPhase + RingBaseRadius;
    painter.setPen(QPen(QColor(255, 165, 0, 150), 2, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(at.x() - radius, at.y() - radius, 2 * radius, 2 * radius));
}

} // namespace

void ScreenRecorder::installMouseHook()
{
    // One hook for the process, also when a recording starts while one runs.
    if (platform::isMouseHookInstalled())
        return;
    if (!platform::installMouseHook(&mouseHookProc))
        qWarning().noquote() << QStringLiteral("无法安装鼠标钩子");
}

void ScreenRecorder::removeMouseHook()
{
    platform::removeMouseHook();
    // The release that ends a click on the stop button can reach the hook's
    // connection after the toolkit has handled the click; kept, the flag
    // would leave a glow in every preview until the next recording.
    mouseButtonDown = false;
}

QPixmap ScreenRecorder::cursorPixmap(qreal scale) const
{
    const int size = qRound(config.cursorSize * scale);
    const QPair<int, int> key(int(config.cursorStyle), size);
    if (const auto it = cursorCache.constFind(key); it != cursorCache.constEnd())
        return it.value();

    const QString path = cursorResource(config.cursorStyle);
    QPixmap pixmap;
    if (size > 0) {
        // Rendered at the target size: the vector image stays sharp, where
        // scaling its small default rendering up would blur it.
        QImageReader reader(path);
        const QSize natural = reader.size();
        if (natural.isValid())
            reader.setScaledSize(natural.scaled(size, size, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (!image.isNull()) {
            pixmap = QPixmap::fromImage(image);
        } else {
            qWarning().noquote() << QStringLiteral("Failed to load cursor image:") << path;
            pixmap = QPixmap(size, size);
            pixmap.fill(Qt::red);
        }
    }
    cursorCache.insert(key, pixmap);
    return pixmap;
}

void ScreenRecorder::drawCursorOverlay(QPixmap &frame, QPoint at, qreal scale)
{
    QPainter painter(&frame);
    if (!painter.isActive())
        return;
    if (config.highlightClicks && mouseButtonDown)
        drawHighlight(painter, at);
    // Drawn by its top-left corner: the images place the tip there.
    const QPixmap pointer = cursorPixmap(scale);
    if (!pointer.isNull())
        painter.drawPixmap(at, pointer);
}

// A converted frame gets the pointer alone: where capture goes through the
// desktop, clicks cannot be seen, so there is no highlight to draw. The
// default style is the desktop's own pointer where it sends its image.
void ScreenRecorder::drawCursorOverlay(AVFrame *frame, const capture::CapturedFrame &captured)
{
    const QPoint at = *captured.pointer;
    const QImage &image = captured.pointerImage;
    if (config.cursorStyle == Default && !image.isNull()) {
        const int size = config.cursorSize;
        if (size <= 0)
            return;
        if (desktopPointer.key != image.cacheKey() || desktopPointer.size != size) {
            const QSize scaled = image.size().scaled(size, size, Qt::KeepAspectRatio);
            desktopPointer.key = image.cacheKey();
            desktopPointer.size = size;
            desktopPointer.image = image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            desktopPointer.hotspot =
                QPoint(captured.pointerHotspot.x() * scaled.width() / image.width(),
                       captured.pointerHotspot.y() * scaled.height() / image.height());
        }
        const QPoint topLeft = at - desktopPointer.hotspot;
        yuv::paintOver(frame, QRect(topLeft, desktopPointer.image.size()),
                       [&](QPainter &painter) { painter.drawImage(topLeft, desktopPointer.image); });
        return;
    }
    const QPixmap pointer = cursorPixmap();
    if (pointer.isNull())
        return;
    yuv::paintOver(frame, QRect(at, pointer.size()),
                   [&](QPainter &painter) { painter.drawPixmap(at, pointer); });
}
