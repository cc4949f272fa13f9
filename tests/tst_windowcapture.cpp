// Window mode: another program's window recorded from its own rendering,
// checked on real windows of a second X client under the real window manager
// and compositor, by decoding the files and reading the composed frames.
#include "recorder/screenrecorder.h"

#include "helpers/xclient.h"
#include "support/recordedvideo.h"
#include "support/testsupport.h"

#include <QScreen>
#include <QTemporaryDir>

using namespace vexlo::test;

namespace {

const QColor WindowColour(200, 0, 0);
const QColor CoverColour(0, 0, 200);
constexpr int64_t WindowPixel = 0xc80000;
constexpr int64_t CoverPixel = 0x0000c8;

QColor screenColourAt(QPoint p)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, p.x(), p.y(), 1, 1).toImage().pixelColor(0, 0);
}

} // namespace

class WindowCaptureTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<XClient> x;
    std::unique_ptr<QTemporaryDir> output;
    std::unique_ptr<ScreenRecorder> recorder;

    // A window of the second client, managed (framed and mapped) by the window manager.
    xcb_window_t showWindow(const QRect &geometry, int64_t background)
    {
        const xcb_window_t window = x->createWindow(geometry, background);
        x->map(window);
        for (int i = 0; i < 100 && (x->wmState(window) != 1 || !x->frameRect(window).isValid()); ++i)
            QTest::qWait(20);
        // The compositor paints on its own schedule.
        QTest::qWait(150);
        return window;
    }

    RecordingConfig windowConfig(xcb_window_t window) const
    {
        RecordingConfig config;
        config.mode = Window;
        config.windowId = window;
        config.quality = UHD4K; // the window's own size
        config.format = MKV;
        config.captureCursor = false;
        config.region = x->frameRect(window);
        return config;
    }

    QString onlyRecording() const
    {
        const QStringList files = filesIn(output->path());
        return files.size() == 1 ? QDir(output->path()).filePath(files.first()) : QString();
    }

private slots:
    void initTestCase()
    {
        x = std::make_unique<XClient>();
        QVERIFY(x->isConnected());
        QVERIFY2(x->hasCompositor(), "the tests expect the harness's compositor");
    }

    void init()
    {
        output = std::make_unique<QTemporaryDir>();
        recorder = std::make_unique<ScreenRecorder>();
        recorder->setOutputDirectory(output->path());
    }

    void cleanup()
    {
        recorder.reset();
        output.reset();
    }

    void coveredWindowIsRecordedFromItsOwnContent()
    {
        const xcb_window_t target = showWindow(QRect(200, 150, 400, 300), WindowPixel);
        const xcb_window_t cover = showWindow(QRect(150, 100, 600, 450), CoverPixel);
        x->raise(cover);
        QTest::qWait(200);
        const QRect frame = x->frameRect(target);
        const QPoint middle = frame.center();
        // The window really is covered on the screen.
        QVERIFY2(closeTo(screenColourAt(middle), CoverColour), qPrintable(describe(screenColourAt(middle))));

        QVERIFY(recorder->startRecording(windowConfig(target)));
        QTest::qWait(1200);
        QVERIFY(stopAndWait(*recorder));

        const RecordedVideo video = decodeRecording(onlyRecording());
        QVERIFY(video.opened);
        // The frame with its decorations, cut to even edges by the encoder.
        QCOMPARE(video.size, QSize(frame.width() & ~1, frame.height() & ~1));
        QVERIFY2(video.frames.size() >= 20, qPrintable(QString::number(video.frames.size())));
        const QPoint inFrame = middle - frame.topLeft();
        for (int i : {1, int(video.frames.size()) / 2, int(video.frames.size()) - 1}) {
            const QColor seen = video.colourAt(i, inFrame);
            QVERIFY2(closeTo(seen, WindowColour), qPrintable(QString("frame %1: %2").arg(i).arg(describe(seen))));
        }
        x->destroy(cover);
        x->destroy(target);
    }

    void destroyedWindowGivesBlackFramesAndTheRecordingGoesOn()
    {
        const xcb_window_t target = showWindow(QRect(300, 200, 320, 240), WindowPixel);
        const QRect frame = x->frameRect(target);
        const QPoint inFrame = frame.center() - frame.topLeft();

        LogCapture log;
        QVERIFY(recorder->startRecording(windowConfig(target)));
        QTest::qWait(800);
        x->destroy(target);
        QTest::qWait(800);
        QVERIFY(recorder->isRecording());
        QVERIFY(stopAndWait(*recorder));

        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("无效的窗口句柄")));
        const RecordedVideo video = decodeRecording(onlyRecording());
        QVERIFY(video.opened);
        QVERIFY2(video.frames.size() >= 30, qPrintable(QString::number(video.frames.size())));
        QVERIFY2(closeTo(video.colourAt(2, inFrame), WindowColour), qPrintable(describe(video.colourAt(2, inFrame))));
        const QColor last = video.colourAt(video.frames.size() - 1, inFrame);
        QVERIFY2(closeTo(last, Qt::black), qPrintable(describe(last)));
        // The frames after the window went are all there, a frame per tick.
        QVERIFY2(video.largestGap() < 0.2, qPrintable(QString::number(video.largestGap())));
    }

    void handleThatIsNoWindowGivesABlackFrame_data()
    {
        QTest::addColumn<bool>("pixmap");
        QTest::newRow("unused id") << false;
        QTest::newRow("a pixmap's id") << true;
    }

    void handleThatIsNoWindowGivesABlackFrame()
    {
        QFETCH(bool, pixmap);
        RecordingConfig config;
        config.mode = Window;
        config.windowId = pixmap ? x->createPixmap() : x->unusedId();
        config.region = QRect(10, 20, 200, 100);
        config.captureCursor = false;
        recorder->updateConfig(config);

        LogCapture log;
        const QImage frame = recorder->capturePreviewFrame(false).toImage();
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("无效的窗口句柄")));
        QCOMPARE(frame.size(), QSize(200, 100));
        QCOMPARE(frame.pixelColor(100, 50), QColor(Qt::black));
        // Nothing else was tried on a handle that names no window.
        QCOMPARE(log.lines().size(), 1);
    }

    void frameFollowsTheWindowsSize()
    {
        const xcb_window_t target = showWindow(QRect(250, 200, 300, 200), WindowPixel);
        RecordingConfig config = windowConfig(target);
        recorder->updateConfig(config);
        const QImage before = recorder->capturePreviewFrame(false).toImage();
        QCOMPARE(before.size(), x->frameRect(target).size());

        x->moveResize(target, QRect(260, 210, 500, 350));
        QTRY_COMPARE(x->frameRect(target).width() - before.width(), 200);
        QTest::qWait(200);
        const QRect after = x->frameRect(target);
        const QImage frame = recorder->capturePreviewFrame(false).toImage();
        QCOMPARE(frame.size(), after.size());
        // Content over the whole new size, not the old image padded.
        const QPoint farCorner(after.width() - 30, after.height() - 30);
        QVERIFY2(closeTo(frame.pixelColor(farCorner), WindowColour, 10), qPrintable(describe(frame.pixelColor(farCorner))));
        x->destroy(target);
    }

    // An iconified window cannot render itself and has nothing on the
    // screen to copy: both failures are logged with the X error's code.
    void iconifiedWindowLogsBothFailures()
    {
        const xcb_window_t target = showWindow(QRect(300, 300, 200, 150), WindowPixel);
        x->iconify(target);
        QTRY_COMPARE(x->wmState(target), 3u);
        QTest::qWait(300); // the frame is unmapped after the state changes
        recorder->updateConfig(windowConfig(target));

        LogCapture log;
        const QPixmap frame = recorder->capturePreviewFrame(false);
        QVERIFY(!frame.isNull());
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("PrintWindow失败，尝试BitBlt")));
        // BadMatch: the window is not viewable.
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("BitBlt也失败，错误代码: 8")));
        x->destroy(target);
    }
};

VEXLO_TEST_MAIN(WindowCaptureTest)
#include "tst_windowcapture.moc"
