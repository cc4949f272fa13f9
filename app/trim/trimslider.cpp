#include "app/trim/trimslider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {
constexpr int MarkWidth = 3;
} // namespace

TrimSlider::TrimSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setMinimumHeight(28);
}

void TrimSlider::setMarks(int start, int end)
{
    startMark = start;
    endMark = end;
    update();
}

// Where a value sits on the groove, as the style places the handle's middle.
int TrimSlider::grooveX(int value) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = width() - handle.width();
    return handle.width() / 2
           + QStyle::sliderPositionFromValue(minimum(), maximum() + 1, value, span);
}

void TrimSlider::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QColor mark = palette().color(QPalette::Highlight);
    const int left = grooveX(startMark);
    const int right = grooveX(endMark);
    QColor span = mark;
    span.setAlpha(70);
    painter.fillRect(QRect(left, 0, right - left, height()), span);
    painter.fillRect(QRect(left - MarkWidth / 2, 0, MarkWidth, height()), mark);
    painter.fillRect(QRect(right - MarkWidth / 2, 0, MarkWidth, height()), mark);
    painter.end();
    QSlider::paintEvent(event);
}
