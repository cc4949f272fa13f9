#include "app/pages/countdownwindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int Side = 220;
// An unmapped window leaves the picture once the compositor (or the
// windows beneath, without one) has repainted the spot: a few frames at the
// slowest usual refresh rates.
constexpr int RepaintSettleMs = 250;

} // namespace

CountdownWindow::CountdownWindow(const QRect &target, int seconds)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
                           | Qt::WindowTransparentForInput)
    , timer(new QTimer(this))
    , seconds(seconds)
    , left(seconds)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Vexlo"));
    resize(Side, Side);
    QRect area = target;
    if (!area.isValid() && QGuiApplication::primaryScreen())
        area = QGuiApplication::primaryScreen()->geometry();
    move(area.center() - rect().center());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &CountdownWindow::step);
}

void CountdownWindow::start()
{
    clock.start();
    show();
    raise();
    activateWindow();
    timer->start(1000);
}

// Each second is counted from the start, so late ticks do not add up.
void CountdownWindow::step()
{
    left = seconds - int(clock.elapsed() / 1000);
    if (left <= 0) {
        left = 0;
        leaveScreen();
        return;
    }
    update();
    emit ticked(left);
    timer->start(int(qint64(seconds - left + 1) * 1000 - clock.elapsed()));
}

void CountdownWindow::leaveScreen()
{
    hide();
    QTimer::singleShot(RepaintSettleMs, this, [this] {
        emit done();
        close();
    });
}

void CountdownWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawEllipse(rect().adjusted(4, 4, -4, -4));
    QFont font = painter.font();
    font.setPixelSize(Side / 2);
    font.setBold(true);
    QPainterPath digits;
    const QString text = QString::number(left);
    const QFontMetrics metrics(font);
    const QRect box = metrics.boundingRect(text);
    digits.addText(QPointF(rect().center()) - QPointF(box.center()), font, text);
    painter.setBrush(Qt::white);
    painter.drawPath(digits);
}
