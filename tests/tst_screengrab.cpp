// The fast screen reader must give exactly the pixels of the toolkit's own
// screen grab, for any rectangle, including ones that reach off the screen.
#include "platform/screengrab.h"

#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace {

// Every pixel differs from its neighbours in all three channels, so an
// offset, a swapped channel or a wrong stride shows at once.
class GradientWindow : public vexlo::test::ScreenPatch
{

protected:
    void paintEvent(QPaintEvent *) override
    {
        QImage image(size(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x * 7 + y) & 0xff, (y * 5 + x * 3) & 0xff, (x ^ y) & 0xff);
        }
        QPainter(this).drawImage(0, 0, image);
    }
};

QImage toolkitGrab(const QRect &area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ScreenGrabTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        window.setGeometry(QGuiApplication::primaryScreen()->geometry());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Let the compositor put the window on the root.
        QTest::qWait(500);
    }

    void sameAsToolkitGrab_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("whole screen") << QRect(0, 0, 1920, 1080);
        QTest::newRow("region") << QRect(100, 50, 640, 480);
        QTest::newRow("odd size") << QRect(333, 211, 801, 601);
        QTest::newRow("one pixel") << QRect(1919, 1079, 1, 1);
        QTest::newRow("one column") << QRect(17, 0, 1, 1080);
        // Larger again after a smaller grab: the segment has to grow.
        QTest::newRow("whole screen again") << QRect(0, 0, 1920, 1080);
    }

    void sameAsToolkitGrab()
    {
        QFETCH(QRect, area);
        const QImage grabbed = grabber.grab(area);
        QCOMPARE(grabbed.format(), QImage::Format_RGB32);
        QCOMPARE(grabbed.size(), area.size());
        QCOMPARE(grabber.method(), platform::ScreenGrabber::Method::SharedMemory);
        const QImage expected = toolkitGrab(area);
        QCOMPARE(expected.size(), area.size());
        QVERIFY(grabbed == expected);
        // Format_RGB32 promises an opaque alpha byte; painting relies on it.
        for (int y = 0; y < grabbed.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(grabbed.constScanLine(y));
            for (int x = 0; x < grabbed.width(); ++x)
                QCOMPARE(line[x] >> 24, 0xffu);
        }
    }

    void offScreenPartIsBlack_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("right and bottom") << QRect(1600, 900, 640, 360);
        QTest::newRow("left and top") << QRect(-100, -50, 300, 200);
        QTest::newRow("entirely outside") << QRect(2000, 1200, 64, 64);
    }

    void offScreenPartIsBlack()
    {
        QFETCH(QRect, area);
        const QImage grabbed = grabber.grab(area);
        QCOMPARE(grabbed.size(), area.size());
        const QRect screen(0, 0, 1920, 1080);
        const QRect visible = area & screen;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                if (!visible.contains(area.topLeft() + QPoint(x, y)))
                    QCOMPARE(grabbed.pixel(x, y), qRgb(0, 0, 0));
            }
        }
        if (!visible.isEmpty()) {
            const QImage inside = grabbed.copy(visible.translated(-area.topLeft()));
            QVERIFY(inside == toolkitGrab(visible));
        }
    }

    void followsScreenChanges()
    {
        // Images still held by the caller are never written by later grabs.
        const QRect area(400, 300, 64, 64);
        const QImage before = grabber.grab(area);
        const QImage alsoBefore = grabber.grab(area);
        vexlo::test::ScreenPatch cover(area, QColor(12, 200, 34));
        cover.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cover));
        QTRY_COMPARE(grabber.grab(area).pixel(32, 32), qRgb(12, 200, 34));
        QVERIFY(before.pixel(32, 32) != qRgb(12, 200, 34));
        QCOMPARE(alsoBefore.pixel(32, 32), before.pixel(32, 32));
    }

    void emptyAreaGivesNothing()
    {
        QVERIFY(grabber.grab(QRect()).isNull());
        QVERIFY(grabber.grab(QRect(10, 10, 0, 5)).isNull());
    }

private:
    GradientWindow window;
    platform::ScreenGrabber grabber;
};

VEXLO_TEST_MAIN(ScreenGrabTest)
#include "tst_screengrab.moc"
