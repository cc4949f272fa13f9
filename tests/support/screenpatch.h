#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

namespace vexlo::test {

// A window above everything and outside the window manager, at an exact
// place on the screen: known content for the tests to record or grab. With a
// colour it is a flat patch of it; subclasses may paint their own pattern.
class ScreenPatch : public QWidget
{
public:
    explicit ScreenPatch(const QRect &geometry = QRect(), const QColor &colour = QColor());
};

} // namespace vexlo::test
