#include "support/screenpatch.h"

namespace vexlo::test {

ScreenPatch::ScreenPatch(const QRect &geometry, const QColor &colour)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
                           | Qt::WindowStaysOnTopHint)
{
    if (geometry.isValid())
        setGeometry(geometry);
    if (colour.isValid()) {
        QPalette p = palette();
        p.setColor(QPalette::Window, colour);
        setPalette(p);
        setAutoFillBackground(true);
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
}

} // namespace vexlo::test
