// Recording a Wayland desktop through the ScreenCast portal, driven through
// the recording page against the rig's real portal frontend, PipeWire and
// test backend: what the desktop shares is what the file shows.
#include "app/mainwindow.h"
#include "core/settingsstore.h"
#include "capture/portalsource.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/testportal.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <csignal>

using namespace vexlo::test;
using namespace vexlo::testportal;

namespace {

constexpr int Fps = 30;
const QString TokenKey = QStringLiteral("Recording/portalRestoreToken");

// Frame numbers of a recording at a cell's corner; -1 where unreadable.
QList<int> frameNumbers(const RecordedVideo &video, QPoint cell = QPoint(0, 0))
{
    QList<int> numbers;
    for (const DecodedFrame &frame : video.frames)
        numbers << frameNumberAt(frame.image, cell);
    return numbers;
}

} // namespace

class PortalTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    TestPortal portal;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QToolButton *toggleButton() const { return w<QToolButton>("toggleButton"); }
    QString outputDir() const { return w<QLineEdit>("outputDirLabel")->text(); }
    ScreenRecorder *recorder() const { return window->findChild<ScreenRecorder *>(); }

    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        clearOutput();
    }

    void clearOutput() const
    {
        QDir dir(outputDir());
        for (const QString &file : filesIn(dir.path()))
            dir.remove(file);
    }

    // A click on 开始; true once the recorder runs (the desktop answered).
    bool startAndWait()
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        if (QTest::qWaitFor([this] { return recorder()->isRecording(); }, 60000))
            return true;
        qWarning().noquote() << "not recording: button" << toggleButton()->text() << "preview"
                             << previewText() << "dialogs" << portal.dialogCount() << "streams"
                             << portal.activeStreams() << "closed requests" << portal.closedRequests();
        return false;
    }

    QString stopAndWaitForFile()
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return toggleButton()->isEnabled(); }, 60000))
            return {};
        const QStringList files = filesIn(outputDir());
        return files.size() == 1 ? QDir(outputDir()).filePath(files.first()) : QString();
    }

    // The text the preview shows instead of a picture, or empty.
    QString previewText() const
    {
        const QList<QGraphicsItem *> items = w<QGraphicsView>("video_view")->scene()->items();
        if (items.size() != 1 || items.first()->type() != QGraphicsSimpleTextItem::Type)
            return {};
        return static_cast<QGraphicsSimpleTextItem *>(items.first())->text();
    }

    static QWidget *shownCountdown()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("CountdownWindow") && top->isVisible())
                return top;
        return nullptr;
    }

    // Waits for about `frames` stream frames of recording.
    // 区域, then a drag on the overlay from `from` over `size` pixels.
    void dragRegion(QPoint from, QSize size)
    {
        w<QComboBox>("recordModeCombo")->setCurrentIndex(FullScreen);
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Region);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::mousePress(selector, Qt::LeftButton, {}, from);
        QTest::mouseMove(selector, from + QPoint(size.width(), size.height()));
        QTest::mouseRelease(selector, Qt::LeftButton, {}, from + QPoint(size.width(), size.height()));
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);
    }

    static void recordFor(int frames) { QTest::qWait(frames * 1000 / Fps); }

    // Every readable frame number follows the one before; most are readable.
    static void verifyInOrder(const QList<int> &numbers)
    {
        int readable = 0;
        int last = -1;
        for (int number : numbers) {
            if (number < 0)
                continue;
            ++readable;
            QVERIFY2(number >= last, qPrintable(QStringLiteral("%1 after %2").arg(number).arg(last)));
            last = number;
        }
        QVERIFY2(readable >= numbers.size() * 9 / 10,
                 qPrintable(QStringLiteral("%1 of %2 readable").arg(readable).arg(numbers.size())));
    }

    // The background beside a cell's frame number has the colour the
    // backend drew for that frame.
    static void verifyColours(const RecordedVideo &video, QPoint background)
    {
        for (int i = 0; i < video.frames.size(); ++i) {
            const int number = frameNumberAt(video.frames.at(i).image, QPoint(0, 0));
            if (number < 0)
                continue;
            const QRgb seen = video.frames.at(i).image.pixel(background);
            QVERIFY2(paletteIndexOf(seen) == PaletteIndexOf(number, Fps),
                     qPrintable(QStringLiteral("frame %1: %2").arg(number).arg(describe(seen))));
        }
    }

private slots:
    void initTestCase()
    {
        if (!TestPortal::running())
            return;
        qputenv("XDG_SESSION_TYPE", "wayland");
        QVERIFY(portal.setFrameRate(Fps));
    }

    void init()
    {
        if (!TestPortal::running() && QString(QTest::currentTestFunction()) != "noPortalSaysSo")
            QSKIP("needs the portal rig (scripts/headless.sh --portal)");
        openSettingsStore()->clear();
    }

    void cleanup()
    {
        window.reset();
        // Without PipeWire the desktop's stream cannot end any more.
        if (TestPortal::running() && qEnvironmentVariableIsEmpty("VEXLO_TEST_LOSE_PIPEWIRE"))
            QTRY_COMPARE_WITH_TIMEOUT(portal.activeStreams(), 0, 30000);
    }

    void fullScreenRecordsTheMonitorAndIsRemembered()
    {
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        QVERIFY(portal.setPointer(QPoint(DefaultPointerX, DefaultPointerY)));
        openWindow();
        // 默认 is the desktop's own pointer, at the chosen 48x48.
        w<QComboBox>("moueSizeCombo")->setCurrentIndex(5);
        // Idle, the page opens no session: it says when the preview comes.
        QCOMPARE(previewText(), QStringLiteral("开始录制后显示预览"));
        QCOMPARE(portal.activeStreams(), 0);
        // Clicks cannot be seen through the portal.
        QVERIFY(!w<QCheckBox>("highlightCheckBox")->isEnabled());
        QVERIFY(!w<QCheckBox>("highlightCheckBox")->toolTip().isEmpty());

        const int dialogs = portal.dialogCount();
        QVERIFY(startAndWait());
        recordFor(50);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());

        // The desktop asked once; its pointer comes as metadata, drawn by Vexlo.
        QCOMPARE(portal.dialogCount(), dialogs + 1);
        const QVariantMap options = portal.lastSelectOptions();
        QCOMPARE(options.value("types").toUInt(), uint(SourceMonitor));
        QCOMPARE(options.value("cursor_mode").toUInt(), uint(CursorMetadata));
        QCOMPARE(options.value("persist_mode").toUInt(), 2u);
        QVERIFY(!options.contains("restore_data"));

        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(640, 360));
        QVERIFY2(video.frames.size() >= 20, qPrintable(QString::number(video.frames.size())));
        verifyInOrder(frameNumbers(video));
        verifyColours(video, QPoint(CellWidth - 8, CellHeight - 8));
        // The colour changed during the recording: the stream moved on.
        QVERIFY(frameNumbers(video).last() - std::max(0, frameNumbers(video).first()) >= Fps);
        // The desktop's 16 px square, three times as large: black inside a
        // 6 px white border, the stream's background beyond it.
        // The last frame: the backend repeats its bitmap once a second, and
        // the first may go to a format the stream renegotiated away.
        const QPoint pointerAt(DefaultPointerX, DefaultPointerY);
        const int last = video.frames.size() - 1;
        const QColor inner = video.colourAt(last, pointerAt + QPoint(24, 24));
        QVERIFY2(closeTo(inner, Qt::black), qPrintable(describe(inner)));
        const QColor border = video.colourAt(last, pointerAt + QPoint(45, 24));
        QVERIFY2(closeTo(border, Qt::white), qPrintable(describe(border)));
        const QColor beyond = video.colourAt(last, pointerAt + QPoint(53, 24));
        QVERIFY2(paletteIndexOf(beyond.rgb()) >= 0, qPrintable(describe(beyond)));

        // The next start sends the stored token and the desktop does not ask.
        const QString token = openSettingsStore()->value(TokenKey).toString();
        QVERIFY(!token.isEmpty());
        clearOutput();
        QVERIFY(startAndWait());
        // The frontend turns the token back into the desktop's own data.
        QVERIFY(portal.lastSelectOptions().contains("restore_data"));
        QCOMPARE(portal.dialogCount(), dialogs + 1);
        QVERIFY(!stopAndWaitForFile().isEmpty());
    }

    void regionIsCroppedFromTheScaledMonitor()
    {
        // Pixels are two thirds of the logical size, as on a scaled monitor.
        QVERIFY(portal.setStreamSize(QSize(1280, 720)));
        QVERIFY(portal.setLogicalSize(QSize(1920, 1080)));
        openWindow();
        // Logical (384, 96) 768x192 is stream pixels (256, 64) 512x128.
        dragRegion(QPoint(384, 96), QSize(768, 192));

        QVERIFY(startAndWait());
        recordFor(20);
        const QString path = stopAndWaitForFile();
        QVERIFY(portal.setLogicalSize(QSize()));
        QVERIFY(!path.isEmpty());
        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(512, 128));
        // The region starts at a cell's corner: numbers at (0,0) and one cell on.
        verifyInOrder(frameNumbers(video));
        QCOMPARE(frameNumbers(video, QPoint(CellWidth, CellHeight)), frameNumbers(video));
        verifyColours(video, QPoint(CellWidth - 8, CellHeight - 8));
    }

    // The desktop shares its second monitor, right of the first: a region
    // on it is cropped from it; one on the first starts nothing and says so.
    void regionOnlyOnTheSharedMonitor()
    {
        if (QGuiApplication::primaryScreen()->size() != QSize(3840, 1080))
            QSKIP("needs a 3840x1080 X screen (tst_portal_monitors)");
        QVERIFY(portal.setStreamSize(QSize(1920, 1080)));
        QVERIFY(portal.setMonitor(1));
        openWindow();
        dragRegion(QPoint(100, 100), QSize(511, 127));
        {
            ModalAnswerer answerer;
            QTest::mouseClick(toggleButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 60000);
            QCOMPARE(answerer.boxes().first().text,
                     QStringLiteral("无法开始录制\n所选区域不在桌面共享的屏幕上"));
            QVERIFY(!recorder()->isRecording());
            QVERIFY(filesIn(outputDir()).isEmpty());
        }
        QTRY_COMPARE_WITH_TIMEOUT(portal.activeStreams(), 0, 30000);

        // The stream's own (256, 64) 512x128, as in the scaled case.
        dragRegion(QPoint(1920 + 256, 64), QSize(511, 127));
        QVERIFY(startAndWait());
        recordFor(20);
        const QString path = stopAndWaitForFile();
        QVERIFY(portal.setMonitor(0));
        QVERIFY(!path.isEmpty());
        const RecordedVideo video = decodeRecording(path);
        QCOMPARE(video.size, QSize(512, 128));
        verifyInOrder(frameNumbers(video));
        QCOMPARE(frameNumbers(video, QPoint(CellWidth, CellHeight)), frameNumbers(video));
    }

    void windowIsPickedByTheDesktopAndKeepsItsSize()
    {
        QVERIFY(portal.setStreamSize(QSize(480, 320)));
        openWindow();
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        // The desktop's dialog picks; the X11 picker is not shown.
        QTest::qWait(200);
        QVERIFY(window->findChild<WindowSelector *>() == nullptr);
        const int dialogs = portal.dialogCount();
        QVERIFY(startAndWait());
        QCOMPARE(portal.lastSelectOptions().value("types").toUInt(), uint(SourceWindow));
        QCOMPARE(portal.dialogCount(), dialogs + 1);
        recordFor(20);
        // The window shrinks while recording: the file keeps its size.
        QVERIFY(portal.setStreamSize(QSize(320, 240)));
        recordFor(20);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());

        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(480, 320));
        verifyInOrder(frameNumbers(video));
        verifyColours(video, QPoint(CellWidth - 8, CellHeight - 8));
        // The last frames show the smaller window, padded with black.
        const QColor outside = video.colourAt(video.frames.size() - 1, QPoint(400, 280));
        QVERIFY2(closeTo(outside, Qt::black), qPrintable(describe(outside)));
        const QColor inside = video.colourAt(video.frames.size() - 1, QPoint(300, 230));
        QVERIFY2(paletteIndexOf(inside.rgb()) >= 0, qPrintable(describe(inside)));
    }

    // A window in a monitor-sized buffer, as GNOME sends it: the desktop's
    // crop moves and resizes it, some buffers are corrupted, and it sends
    // ten pictures a second into a 30 fps recording.
    void windowCastFollowsTheDesktopsCropAtTheChosenRate()
    {
        constexpr int DesktopFps = 10;
        QVERIFY(portal.setStreamSize(QSize(1280, 720)));
        QVERIFY(portal.setMovingCrop(true));
        QVERIFY(portal.setFrameRate(DesktopFps));
        const auto restore = qScopeGuard([this] {
            portal.setMovingCrop(false);
            portal.setFrameRate(Fps);
        });
        openWindow();
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        QVERIFY(startAndWait());
        recordFor(90);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());

        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        const QList<int> numbers = frameNumbers(video);
        // A corrupted buffer would read as 65535 here, out of order.
        verifyInOrder(numbers);
        const auto first = std::find_if(numbers.begin(), numbers.end(), [](int n) { return n >= 0; });
        QVERIFY(first != numbers.end());
        const CropRect firstCrop = cropOf(*first);
        QCOMPARE(video.size, QSize(firstCrop.width, firstCrop.height));
        // Near the file's corner: the window where it reaches that far, the
        // black padding where it is smaller now.
        const QPoint corner(video.size.width() - 12, video.size.height() - 12);
        int steps = 0;
        for (int i = 0; i < video.frames.size(); ++i) {
            if (numbers.at(i) < 0)
                continue;
            const CropRect crop = cropOf(numbers.at(i));
            steps += i > 0 && numbers.at(i - 1) >= 0
                     && cropOf(numbers.at(i - 1)).x != crop.x;
            const QColor background = video.colourAt(i, QPoint(CellWidth - 8, CellHeight - 8));
            QVERIFY2(paletteIndexOf(background.rgb()) == PaletteIndexOf(numbers.at(i), DesktopFps),
                     qPrintable(QStringLiteral("frame %1: %2").arg(numbers.at(i)).arg(describe(background))));
            const QColor seen = video.colourAt(i, corner);
            const bool inWindow = corner.x() < crop.width && corner.y() < crop.height;
            QVERIFY2(inWindow ? paletteIndexOf(seen.rgb()) >= 0 : closeTo(seen, Qt::black),
                     qPrintable(QStringLiteral("frame %1 (%2x%3): %4")
                                    .arg(numbers.at(i)).arg(crop.width).arg(crop.height).arg(describe(seen))));
        }
        QVERIFY2(steps >= 4, qPrintable(QString::number(steps)));
        // Every slot of the file has a frame: the pictures repeat between
        // the desktop's.
        const double seconds = video.frames.last().seconds - video.frames.first().seconds + 1.0 / Fps;
        QVERIFY2(video.frames.size() >= (Fps - 1) * seconds,
                 qPrintable(QStringLiteral("%1 frames in %2 s").arg(video.frames.size()).arg(seconds)));
    }

    void windowListStaysWhereTheDesktopSharesNoWindows()
    {
        QVERIFY(portal.setSourceTypes(SourceMonitor));
        const auto restore = qScopeGuard([this] { portal.setSourceTypes(SourceMonitor | SourceWindow); });
        openWindow();
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        QTRY_VERIFY(window->findChild<WindowSelector *>() != nullptr);
    }

    // Vexlo's pointer (from the stream's metadata, here half outside the
    // frame) and an image watermark are painted into the converted pictures.
    void pointerAndWatermarkAreDrawnIntoTheStream()
    {
        const QPoint pointerAt(620, 340);
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        QVERIFY(portal.setPointer(pointerAt));
        QTemporaryDir files;
        const QString imagePath = files.filePath("mark.png");
        QImage mark(100, 100, QImage::Format_RGB32);
        mark.fill(QColor(128, 128, 128));
        QVERIFY(mark.save(imagePath));

        auto source = std::make_unique<capture::PortalSource>();
        QSignalSpy ready(source.get(), &capture::PortalSource::ready);
        capture::PortalSource::Choice choice;
        choice.mode = FullScreen;
        source->open(choice);
        QVERIFY(ready.wait(60000));

        RecordingConfig config;
        config.watermarkEnabled = true;
        config.imageWatermarkEnabled = true;
        config.watermarkImagePath = imagePath;
        config.imageOpacity = 100;
        config.imageSizePercent = 20;
        config.watermarkPosition = BottomLeft;
        ScreenRecorder recorder;
        recorder.setOutputDirectory(files.path());
        QVERIFY(recorder.startRecording(config, std::move(source)));
        recordFor(20);
        QVERIFY(stopAndWait(recorder));

        const RecordedVideo video = decodeRecording(recorder.currentFilePath());
        QVERIFY(video.frames.size() >= 5);
        verifyInOrder(frameNumbers(video));
        // 72 px square, 20 px from the left and bottom edges.
        for (int i = 0; i < video.frames.size(); ++i) {
            const QColor watermark = video.colourAt(i, QPoint(56, 304));
            QVERIFY2(closeTo(watermark, QColor(128, 128, 128), 20), qPrintable(describe(watermark)));
            const QColor pointer = video.colourAt(i, pointerAt + QPoint(2, 4));
            QVERIFY2(paletteIndexOf(pointer.rgb()) < 0, qPrintable(describe(pointer)));
        }
    }

    // Also: with the pointer off, the desktop is asked for none and none is drawn.
    void pauseLeavesOutWhatTheDesktopSharedMeanwhile()
    {
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        QVERIFY(portal.setPointer(QPoint(DefaultPointerX, DefaultPointerY)));
        openWindow();
        auto *pointerCheck = w<QCheckBox>("captureCursorCheck");
        if (pointerCheck->isChecked())
            QTest::mouseClick(pointerCheck, Qt::LeftButton, {}, QPoint(4, pointerCheck->height() / 2));
        QVERIFY(!pointerCheck->isChecked());
        QVERIFY(startAndWait());
        QCOMPARE(portal.lastSelectOptions().value("cursor_mode").toUInt(), uint(CursorHidden));
        recordFor(20);
        QTest::mouseClick(w<QToolButton>("pauseButton"), Qt::LeftButton);
        QVERIFY(recorder()->isPaused());
        recordFor(45);
        QTest::mouseClick(w<QToolButton>("pauseButton"), Qt::LeftButton);
        QVERIFY(!recorder()->isPaused());
        recordFor(20);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());

        const RecordedVideo video = decodeRecording(path);
        const QList<int> numbers = frameNumbers(video);
        verifyInOrder(numbers);
        // One step over the pause skips what was shared, with no gap in time.
        int largestJump = 0;
        int last = -1;
        for (int number : numbers) {
            if (number < 0)
                continue;
            if (last >= 0)
                largestJump = std::max(largestJump, number - last);
            last = number;
        }
        QVERIFY2(largestJump >= 30, qPrintable(QString::number(largestJump)));
        QVERIFY2(video.largestGap() < 0.5, qPrintable(QString::number(video.largestGap())));
        const QColor atPointer = video.colourAt(video.frames.size() / 2,
                                                QPoint(DefaultPointerX + 2, DefaultPointerY + 4));
        QVERIFY2(paletteIndexOf(atPointer.rgb()) >= 0, qPrintable(describe(atPointer)));
    }

    void cancelledDialogStartsNothing()
    {
        openWindow();
        ModalAnswerer answerer;
        QVERIFY(portal.setNextResponse(1));
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        // Nothing runs once the desktop has answered, and nothing is said.
        QTRY_COMPARE_WITH_TIMEOUT(toggleButton()->text(), QStringLiteral("开始"), 60000);
        QVERIFY(toggleButton()->isEnabled());
        QTest::qWait(500);
        QVERIFY(!recorder()->isRecording());
        QVERIFY(answerer.boxes().isEmpty());
        QVERIFY(filesIn(outputDir()).isEmpty());
        QCOMPARE(portal.activeStreams(), 0);
    }

    // The desktop's dialog comes first, then the countdown; cancelling it
    // closes the stream the desktop granted and leaves no file.
    void countdownFollowsTheDesktopsDialog()
    {
        openWindow();
        const int dialogs = portal.dialogCount();
        w<QComboBox>("countdownCombo")->setCurrentIndex(1);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QWidget *countdown = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((countdown = shownCountdown()) != nullptr, 30000);
        QCOMPARE(portal.dialogCount(), dialogs + 1);
        QCOMPARE(portal.activeStreams(), 1);
        QVERIFY(!recorder()->isRecording());
        QCOMPARE(toggleButton()->text(), QStringLiteral("取消"));
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY(shownCountdown() == nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(portal.activeStreams(), 0, 30000);
        QTest::qWait(3500);
        QVERIFY(!recorder()->isRecording());
        QVERIFY(filesIn(outputDir()).isEmpty());
    }

    void waitingForTheDesktopsDialogIsShownAndCancelled_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << "button";
        QTest::newRow("start shortcut") << "shortcut";
        QTest::newRow("quitting") << "quit";
    }

    // A desktop whose dialog stays open: the page says what it waits for,
    // and a cancel withdraws the request and closes the session.
    void waitingForTheDesktopsDialogIsShownAndCancelled()
    {
        QFETCH(QString, how);
        const int closed = portal.closedRequests();
        const int dialogs = portal.dialogCount();
        QVERIFY(portal.setNextResponse(3));
        openWindow();
        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(portal.dialogCount(), dialogs + 1, 30000);
        QCOMPARE(previewText(), QStringLiteral("等待桌面的屏幕共享对话框…"));
        QCOMPARE(toggleButton()->text(), QStringLiteral("取消"));
        QVERIFY(toggleButton()->isEnabled());
        QCOMPARE(portal.openSessions(), 1);
        // No time limit: still waiting a while later.
        QTest::qWait(1500);
        QCOMPARE(toggleButton()->text(), QStringLiteral("取消"));

        if (how == "button")
            QTest::mouseClick(toggleButton(), Qt::LeftButton);
        else if (how == "shortcut")
            QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
        else
            window.reset();
        QTRY_VERIFY2_WITH_TIMEOUT(portal.closedRequests() == closed + 1,
                                  qPrintable(QStringLiteral("button %1, boxes: %2")
                                                 .arg(window ? toggleButton()->text() : QString(),
                                                      answerer.boxes().isEmpty()
                                                          ? QString()
                                                          : answerer.boxes().first().text)),
                                  30000);
        QTRY_COMPARE_WITH_TIMEOUT(portal.openSessions(), 0, 30000);
        if (!window)
            return;
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QCOMPARE(previewText(), QStringLiteral("开始录制后显示预览"));
        QVERIFY(!recorder()->isRecording());
        QVERIFY(answerer.boxes().isEmpty());
        QVERIFY(filesIn(outputDir()).isEmpty());
    }

    void desktopEndingTheStreamStopsTheRecording()
    {
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        openWindow();
        ModalAnswerer answerer;
        QVERIFY(startAndWait());
        recordFor(30);
        QVERIFY(portal.endStream());
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 60000);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("录制已停止"));
        QVERIFY2(answerer.boxes().first().text.startsWith(QStringLiteral("屏幕共享已被桌面结束")),
                 qPrintable(answerer.boxes().first().text));
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QVERIFY(toggleButton()->isEnabled());

        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const QString path = QDir(outputDir()).filePath(files.first());
        QVERIFY2(answerer.boxes().first().text.contains(path), qPrintable(answerer.boxes().first().text));
        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.frames.size() >= 10);
        verifyInOrder(frameNumbers(video));
        QCOMPARE(decodeErrors(path), QString());
    }

    // Its own CTest entry, on a rig of its own: the rig's PipeWire dies
    // while recording, and the message says so rather than blaming the
    // desktop.
    void lostPipeWireIsToldAsSuch()
    {
        const qint64 pipeWire = qEnvironmentVariableIntValue("VEXLO_TEST_PORTAL_PIPEWIRE_PID");
        if (qEnvironmentVariableIsEmpty("VEXLO_TEST_LOSE_PIPEWIRE") || pipeWire <= 0)
            QSKIP("kills the rig's PipeWire: runs alone, as tst_portal_pipewirelost");
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        openWindow();
        ModalAnswerer answerer;
        QVERIFY(startAndWait());
        recordFor(45);
        QCOMPARE(::kill(pid_t(pipeWire), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 60000);
        const QString text = answerer.boxes().first().text;
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("录制已停止"));
        QVERIFY2(text.startsWith(QStringLiteral("与 PipeWire 的连接中断：")), qPrintable(text));
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));

        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        QVERIFY2(text.contains(QDir(outputDir()).filePath(files.first())), qPrintable(text));
        const RecordedVideo video = decodeRecording(QDir(outputDir()).filePath(files.first()));
        QVERIFY2(video.frames.size() >= 20, qPrintable(QString::number(video.frames.size())));
        verifyInOrder(frameNumbers(video));
    }

    // Run without the rig (its own CTest entry): no bus, so no portal.
    void noPortalSaysSo()
    {
        if (TestPortal::running())
            QSKIP("runs without the rig, as tst_portal_noportal");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vexlo-test-bus");
        qputenv("XDG_SESSION_TYPE", "wayland");
        openWindow();
        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 30000);
        QVERIFY2(answerer.boxes().first().text.contains(QStringLiteral("xdg-desktop-portal")),
                 qPrintable(answerer.boxes().first().text));
        QVERIFY(!recorder()->isRecording());
        QVERIFY(toggleButton()->isEnabled());
        QVERIFY(filesIn(outputDir()).isEmpty());
    }
};

VEXLO_TEST_MAIN(PortalTest)
#include "tst_portal.moc"
