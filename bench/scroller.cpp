// Moving content that changes on every frame and costs little CPU: a page
// rendered once, scrolled a few pixels per tick.

#include "bench/benchcases.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <thread>

#include "support/beepplayer.h"

namespace bench {
namespace {

QPixmap renderPage(QSize screen)
{
    // Twice the screen height, so that every offset shows a full screen.
    QPixmap page(screen.width(), screen.height() * 2);
    QPainter p(&page);
    p.fillRect(page.rect(), QColor(250, 250, 248));
    QRandomGenerator random(20240601);
    QFont font(QStringLiteral("DejaVu Sans"));
    int y = 0;
    while (y < page.height()) {
        if (random.bounded(6) == 0) {
            const QRect picture(80 + random.bounded(400), y + 10, 420 + random.bounded(600),
                                120 + random.bounded(200));
            QLinearGradient gradient(picture.topLeft(), picture.bottomRight());
            gradient.setColorAt(0, QColor::fromHsv(random.bounded(360), 200, 230));
            gradient.setColorAt(1, QColor::fromHsv(random.bounded(360), 160, 120));
            p.fillRect(picture, gradient);
            p.setPen(Qt::white);
            p.drawEllipse(picture.adjusted(40, 20, -40, -20));
            y = picture.bottom() + 20;
            continue;
        }
        font.setPixelSize(14 + random.bounded(3) * 4);
        font.setBold(random.bounded(5) == 0);
        p.setFont(font);
        p.setPen(QColor::fromHsv(random.bounded(360), 120 + random.bounded(100), 60));
        QString line;
        const int words = 8 + random.bounded(16);
        for (int w = 0; w < words; ++w) {
            const int length = 2 + random.bounded(9);
            for (int c = 0; c < length; ++c)
                line += QChar('a' + random.bounded(26));
            line += ' ';
        }
        y += font.pixelSize() + 10;
        p.drawText(60, y, line);
    }
    return page;
}

class ScrollingPage : public QWidget
{
public:
    ScrollingPage(int frameRate, const QString &monitor)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        QRect screen = QGuiApplication::primaryScreen()->geometry();
        for (const QScreen *named : QGuiApplication::screens())
            if (named->name() == monitor)
                screen = named->geometry();
        setGeometry(screen);
        page = renderPage(screen.size());
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [this] {
            offset = (offset + 4) % (page.height() / 2);
            update();
        });
        timer.start(1000 / frameRate);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).drawPixmap(0, 0, page, 0, offset, width(), height());
        if (!announced) {
            announced = true;
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }

private:
    QPixmap page;
    QTimer timer;
    int offset = 0;
    bool announced = false;
};

} // namespace

// The corner that flashes white for 300 ms about every two seconds, each
// time at the moment a beep is heard from the default output. The period is
// no whole number of frames, so the flashes fall at every phase of the
// capture tick and the mean offset does not hang on one run's phase.
class FlashCorner : public QWidget
{
public:
    FlashCorner()
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
                               | Qt::WindowStaysOnTopHint)
        , player(BeepHz, 150)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(0, 0, FlashSize, FlashSize);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [this] {
            if (!player.isOpen())
                return;
            std::this_thread::sleep_until(player.beep());
            lit = true;
            repaint();
            QTimer::singleShot(300, Qt::PreciseTimer, this, [this] {
                lit = false;
                repaint();
            });
        });
        timer.start(FlashPeriodMs);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), lit ? Qt::white : Qt::black);
    }

private:
    vexlo::test::BeepPlayer player;
    QTimer timer;
    bool lit = false;
};

int runScroller(int argc, char **argv, int frameRate, bool flash, const QString &monitor)
{
    QApplication app(argc, argv);
    ScrollingPage page(frameRate, monitor);
    page.show();
    std::unique_ptr<FlashCorner> corner;
    if (flash) {
        corner = std::make_unique<FlashCorner>();
        corner->show();
    }
    return app.exec();
}

} // namespace bench
