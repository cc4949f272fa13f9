// The pointer in the frames: its image at the pointer's real position, and
// the glow with the pulsing ring while a button is held, driven by synthetic
// X input (xdotool) and read from the composed frames.
#include "recorder/screenrecorder.h"

#include "helpers/xclient.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <optional>

using namespace vexlo::test;

namespace {

// A flat colour over the whole screen, so that everything the overlay draws
// stands out, and clicks land on a window of this test rather than on the
// window manager's desktop.
const QColor BackdropColour(60, 90, 120);

bool xdotool(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

bool differs(const QColor &c, const QColor &from, int threshold)
{
    return qAbs(c.red() - from.red()) > threshold || qAbs(c.green() - from.green()) > threshold
           || qAbs(c.blue() - from.blue()) > threshold;
}

// Bounding box of the pixels that differ from the backdrop within `area`.
QRect inkBox(const QImage &frame, const QRect &area)
{
    QRect box;
    const QRect inside = area & frame.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (differs(frame.pixelColor(x, y), BackdropColour, 30))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Where the pointer image has ink when rendered straight from its vector
// source at `size` pixels.
QRect svgInkBox(const QString &path, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    QRect box;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (qAlpha(image.pixel(x, y)) > 96)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool glowAt(const QImage &frame, QPoint pointer)
{
    // Inside the glow, clear of the pointer image (drawn down and right).
    const QColor c = frame.pixelColor(pointer - QPoint(10, 10));
    return c.red() > BackdropColour.red() + 60 && c.green() > BackdropColour.green() + 60;
}

// Radius of the ring: the outermost changed pixel straight above the
// pointer, minus the half pen width.
std::optional<int> ringRadius(const QImage &frame, QPoint pointer)
{
    for (int k = 60; k >= 25; --k) {
        if (differs(frame.pixelColor(pointer.x(), pointer.y() - k), BackdropColour, 25))
            return k - 1;
    }
    return std::nullopt;
}

} // namespace

class CursorOverlayTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<vexlo::test::ScreenPatch> backdrop;
    std::unique_ptr<QTemporaryDir> output;
    std::unique_ptr<ScreenRecorder> recorder;
    const QPoint pointer{700, 500};

    void movePointer(QPoint to)
    {
        QVERIFY(xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())}));
        QTRY_COMPARE(QCursor::pos(), to);
    }

    RecordingConfig highlightConfig() const
    {
        RecordingConfig config;
        config.mode = FullScreen;
        config.quality = SD;
        config.format = MKV;
        config.region = QGuiApplication::primaryScreen()->geometry();
        config.captureCursor = true;
        config.highlightClicks = true;
        return config;
    }

    bool previewHighlighted()
    {
        return glowAt(recorder->capturePreviewFrame(false).toImage(), pointer);
    }

private slots:
    void initTestCase()
    {
        backdrop = std::make_unique<vexlo::test::ScreenPatch>(
            QGuiApplication::primaryScreen()->geometry(), BackdropColour);
        backdrop->show();
        QVERIFY(QTest::qWaitForWindowExposed(backdrop.get()));
        QTest::qWait(200);
    }

    void init()
    {
        output = std::make_unique<QTemporaryDir>();
        recorder = std::make_unique<ScreenRecorder>();
        recorder->setOutputDirectory(output->path());
        movePointer(pointer);
    }

    void cleanup()
    {
        for (const char *button : {"1", "2", "3"})
            xdotool({"mouseup", button});
        recorder.reset();
        output.reset();
    }

    void pointerImageLandsAtThePointer_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("capture");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("image");
        const QRect screen(0, 0, 1920, 1080);
        QTest::newRow("region, default arrow") << int(Region) << QRect(100, 200, 640, 480)
                                              << QPoint(150, 260) << int(Default) << 24
                                              << ":/images/mouse_default.svg";
        QTest::newRow("region, cross of 72") << int(Region) << QRect(100, 200, 640, 480)
                                            << QPoint(150, 260) << int(Cross) << 72
                                            << ":/images/mouse_cross.svg";
        QTest::newRow("full screen, hand of 48") << int(FullScreen) << screen << QPoint(900, 600)
                                                << int(Hand) << 48 << ":/images/mouse_hand.svg";
        QTest::newRow("full screen, smallest") << int(FullScreen) << screen << QPoint(1200, 300)
                                              << int(Default) << 12 << ":/images/mouse_default.svg";
        QTest::newRow("style out of range") << int(Region) << QRect(0, 0, 800, 600)
                                           << QPoint(400, 300) << 7 << 32
                                           << ":/images/mouse_default.svg";
    }

    void pointerImageLandsAtThePointer()
    {
        QFETCH(int, mode);
        QFETCH(QRect, capture);
        QFETCH(QPoint, at);
        QFETCH(int, style);
        QFETCH(int, size);
        QFETCH(QString, image);
        movePointer(at);
        RecordingConfig config;
        config.mode = RecordMode(mode);
        config.region = capture;
        config.cursorStyle = CursorStyle(style);
        config.cursorSize = size;
        recorder->updateConfig(config);

        const QImage frame = recorder->capturePreviewFrame(false).toImage();
        QCOMPARE(frame.size(), capture.size());
        const QPoint corner = at - capture.topLeft();
        const QRect seen = inkBox(frame, QRect(corner - QPoint(40, 40), QSize(size + 80, size + 80)));
        const QRect expected = svgInkBox(image, size).translated(corner);
        const auto near = [](int a, int b) { return qAbs(a - b) <= 1; };
        QVERIFY2(near(seen.left(), expected.left()) && near(seen.top(), expected.top())
                     && near(seen.right(), expected.right()) && near(seen.bottom(), expected.bottom()),
                 qPrintable(QString("seen %1,%2 %3x%4, expected %5,%6 %7x%8")
                                .arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height())
                                .arg(expected.x()).arg(expected.y()).arg(expected.width())
                                .arg(expected.height())));
        // Always within the square of the configured size at the pointer.
        QVERIFY(QRect(corner, QSize(size, size)).contains(seen));
        if (style == Cross && size == 72)
            QVERIFY(seen.width() >= 64 && seen.height() >= 64);
    }

    void captureCursorOffDrawsNeitherPointerNorHighlight()
    {
        RecordingConfig config = highlightConfig();
        QVERIFY(recorder->startRecording(config));
        QVERIFY(xdotool({"mousedown", "1"}));
        const QRect around(pointer - QPoint(60, 60), QSize(160, 160));
        QTRY_VERIFY(previewHighlighted());
        QVERIFY(!inkBox(recorder->capturePreviewFrame(false).toImage(), around).isNull());

        config.captureCursor = false;
        recorder->updateConfig(config);
        const QImage frame = recorder->capturePreviewFrame(false).toImage();
        QVERIFY(inkBox(frame, around).isNull());
    }

    void ringPulsesWhileAButtonIsHeld()
    {
        QList<std::optional<int>> radii;
        QList<bool> glows;
        connect(recorder.get(), &ScreenRecorder::frameCaptured, this, [&](const QPixmap &frame) {
            const QImage image = frame.toImage();
            glows.append(glowAt(image, pointer));
            radii.append(ringRadius(image, pointer));
        });
        QVERIFY(recorder->startRecording(highlightConfig()));
        QTest::qWait(300);
        QVERIFY(xdotool({"mousedown", "1"}));
        QTest::qWait(1500);
        QVERIFY(xdotool({"mouseup", "1"}));
        QTest::qWait(400);
        recorder->stopRecording();

        const qsizetype firstGlow = glows.indexOf(true);
        const qsizetype lastGlow = glows.lastIndexOf(true);
        QVERIFY(firstGlow > 0);
        QVERIFY2(lastGlow - firstGlow >= 30, qPrintable(QString::number(lastGlow - firstGlow)));
        // No highlight before the press or after the release, every frame in between.
        QVERIFY(!glows.mid(0, firstGlow).contains(true));
        QVERIFY(!glows.mid(lastGlow + 1).contains(true));
        QVERIFY(!glows.mid(firstGlow, lastGlow - firstGlow + 1).contains(false));
        QVERIFY(lastGlow + 5 < glows.size());

        const QList<int> cycle{30, 35, 40, 45};
        QSet<int> seen;
        for (qsizetype i = firstGlow; i <= lastGlow; ++i) {
            const std::optional<int> r = radii.at(i);
            QVERIFY2(r.has_value(), qPrintable(QString("frame %1 has no ring").arg(i)));
            const auto found = std::find_if(cycle.begin(), cycle.end(),
                                            [&](int c) { return qAbs(c - *r) <= 1; });
            QVERIFY2(found != cycle.end(), qPrintable(QString("radius %1").arg(*r)));
            seen.insert(*found);
            if (i > firstGlow) {
                const int previous = *std::find_if(cycle.begin(), cycle.end(), [&](int c) {
                    return qAbs(c - *radii.at(i - 1)) <= 1;
                });
                QCOMPARE(*found, cycle.at((cycle.indexOf(previous) + 1) % cycle.size()));
            }
        }
        QCOMPARE(seen.size(), 4);
    }

    void buttonStateFollowsTheHook_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("grabbed");
        QTest::newRow("left press and release") << QStringList{"mousedown 1 on", "mouseup 1 off"} << false;
        QTest::newRow("middle, then right")
            << QStringList{"mousedown 2 on", "mouseup 2 off", "mousedown 3 on", "mouseup 3 off"} << false;
        QTest::newRow("right released while left held clears")
            << QStringList{"mousedown 1 on", "mousedown 3 on", "mouseup 3 off", "mouseup 1 off"} << false;
        QTest::newRow("the wheel changes nothing")
            << QStringList{"mousedown 1 on", "click 4 on", "click 5 on", "click 6 on", "click 7 on",
                           "mouseup 1 off", "click 4 off"}
            << false;
        QTest::newRow("while another program grabs the pointer")
            << QStringList{"mousedown 1 on", "mouseup 1 off"} << true;
    }

    void buttonStateFollowsTheHook()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, grabbed);
        XClient other;
        if (grabbed)
            QVERIFY(other.grabPointer());
        QVERIFY(recorder->startRecording(highlightConfig()));
        for (const QString &step : steps) {
            const QStringList parts = step.split(' ');
            QVERIFY(xdotool({parts.at(0), parts.at(1)}));
            // Long enough for the events to arrive when nothing is to change.
            QTest::qWait(150);
            QTRY_VERIFY2(previewHighlighted() == (parts.at(2) == "on"), qPrintable(step));
        }
    }

    // The hook lives from a start to the stop: presses while idle draw no
    // highlight, and a button still held at the stop leaves none behind.
    void highlightOnlyWhileRecording()
    {
        recorder->updateConfig(highlightConfig());
        QVERIFY(xdotool({"mousedown", "1"}));
        QTest::qWait(200);
        QVERIFY(!previewHighlighted());
        QVERIFY(xdotool({"mouseup", "1"}));

        QVERIFY(recorder->startRecording(highlightConfig()));
        QVERIFY(xdotool({"mousedown", "1"}));
        QTRY_VERIFY(previewHighlighted());
        recorder->stopRecording();
        QVERIFY(xdotool({"mouseup", "1"}));
        QTest::qWait(200);
        QVERIFY(!previewHighlighted());
    }
};

VEXLO_TEST_MAIN(CursorOverlayTest)
#include "tst_cursoroverlay.moc"
