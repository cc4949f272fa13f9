#pragma once

#include <QByteArray>

namespace platform {

// True for the window system's repaint request among the native events the
// toolkit hands to QWidget::nativeEvent.
bool isExposeEvent(const QByteArray &eventType, const void *message);

} // namespace platform
