#include "app/pages/levelmeter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int BarWidth = 6;
constexpr int BarGap = 3;
constexpr int BarHeight = 22;
// The bottom of the scale, in dB below full scale.
constexpr float FloorDb = 60.0f;
// Each update lets a bar fall by at most this share of the scale.
constexpr float FallPerUpdate = 0.04f;

float heightFor(float peak)
{
    if (peak <= 0.0f)
        return 0.0f;
    const float db = 20.0f * std::log10(std::min(peak, 1.0f));
    return std::clamp((db + FloorDb) / FloorDb, 0.0f, 1.0f);
}

} // namespace

LevelMeter::LevelMeter(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("levelMeter"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LevelMeter::setSources(const QStringList &names)
{
    shown = QList<float>(names.size(), 0.0f);
    setToolTip(names.join(QStringLiteral(" / ")));
    setAccessibleName(toolTip());
    updateGeometry();
    update();
}

void LevelMeter::setLevels(const QList<float> &peaks)
{
    for (int i = 0; i < shown.size() && i < peaks.size(); ++i)
        shown[i] = std::max(heightFor(peaks[i]), shown[i] - FallPerUpdate);
    update();
}

QSize LevelMeter::sizeHint() const
{
    const int bars = std::max<int>(1, int(shown.size()));
    return QSize(bars * BarWidth + (bars - 1) * BarGap, BarHeight);
}

void LevelMeter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int top = (height() - BarHeight) / 2;
    for (int i = 0; i < shown.size(); ++i) {
        const QRect bar(i * (BarWidth + BarGap), top, BarWidth, BarHeight);
        p.fillRect(bar, QColor(128, 128, 128, 70));
        const int filled = int(std::lround(shown[i] * BarHeight));
        if (filled <= 0)
            continue;
        // Near full scale the bar turns orange: the sound is about to clip.
        const QColor colour = shown[i] > 0.9f ? QColor(255, 140, 0) : QColor(0x21, 0xc5, 0x20);
        p.fillRect(QRect(bar.left(), bar.bottom() - filled + 1, BarWidth, filled), colour);
    }
}
