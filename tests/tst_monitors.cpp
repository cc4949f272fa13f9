// Several monitors on one X screen, made with `xrandr --setmonitor` on a
// 3840x1080 server: the screen box, recordings of one monitor, of all of
// them and of a region across the seam, and a monitor unplugged before and
// while it is recorded.
#include "app/mainwindow.h"
#include "capture/monitors.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QScreen>
#include <QToolButton>

#include <functional>

using namespace vexlo::test;

namespace {

// Points of a frame and the colour each shows.
using Colours = QList<QPair<QPoint, QColor>>;

const QColor Red(220, 0, 0);
const QColor Blue(0, 0, 220);
// One patch on each monitor, and one either side of the seam.
const QRect OnLeft(100, 100, 400, 300);
const QRect OnRight(1920 + 200, 100, 400, 300);
const QRect LeftOfSeam(1700, 700, 220, 200);
const QRect RightOfSeam(1920, 700, 220, 200);

bool xrandr(const QStringList &arguments)
{
    QProcess run;
    run.start(QStringLiteral("xrandr"), arguments);
    return run.waitForFinished(10000) && run.exitCode() == 0;
}

bool addMonitor(const QString &name, int width, int x, bool withOutput = false)
{
    return xrandr({"--setmonitor", name, QStringLiteral("%1/508x1080/286+%2+0").arg(width).arg(x),
                   withOutput ? "screen" : "none"});
}

} // namespace

class MonitorsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    QToolButton *toggleButton() const { return w<QToolButton>("toggleButton"); }
    // The record page's box; the settings page has one of the same name.
    QComboBox *screenBox() const
    {
        return w<QWidget>("recordModeCombo")->parentWidget()->findChild<QComboBox *>("screenCombo");
    }
    QString outputDir() const { return w<QLineEdit>("outputDirLabel")->text(); }

    // Two monitors side by side, LEFT primary, as at the start of each test
    // (also when set up before the program started, as with scale factors).
    static bool twoMonitors()
    {
        const auto ready = [] {
            const QList<QScreen *> screens = QGuiApplication::screens();
            return screens.size() == 2 && screens.first()->name() == "LEFT"
                   && capture::deviceGeometry(screens.last()) == QRect(1920, 0, 1920, 1080);
        };
        if (ready())
            return true;
        for (const char *name : {"RIGHT", "MIDDLE", "FAR"})
            xrandr({"--delmonitor", name});
        // The server's own monitor gives way to LEFT, which later tests keep.
        addMonitor("LEFT", 1920, 0, true);
        return addMonitor("RIGHT", 1920, 1920) && QTest::qWaitFor(ready, 10000);
    }

    QStringList shownItems() const
    {
        QStringList shown;
        for (int i = 0; i < screenBox()->count(); ++i)
            shown << screenBox()->itemText(i);
        return shown;
    }

    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Clear of every patch.
        window->move(560, 80);
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        QDir dir(outputDir());
        for (const QString &file : filesIn(dir.path()))
            dir.remove(file);
    }

    // Picks the box's item as a user does: the list opens, the item is clicked.
    void pick(QComboBox *box, const QString &text)
    {
        QTRY_VERIFY(box->isVisible());
        const int index = box->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        box->showPopup();
        QAbstractItemView *view = box->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        QTRY_COMPARE(box->currentIndex(), index);
    }

    // 区域, then a drag on the overlay from one corner to the other.
    void dragRegion(QPoint from, QPoint to)
    {
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Region);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::mousePress(selector, Qt::LeftButton, {}, from);
        QTest::mouseMove(selector, to);
        QTest::mouseRelease(selector, Qt::LeftButton, {}, to);
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);
    }

    // Records, running `meanwhile` after a second and a half, for as long
    // again; the one file kept, decoded.
    RecordedVideo record(const std::function<void()> &meanwhile = {})
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        if (toggleButton()->text() != QStringLiteral("停止"))
            return {};
        QTest::qWait(1500);
        if (meanwhile) {
            meanwhile();
            QTest::qWait(1500);
        }
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        waitUntilFinished(*window->findChild<ScreenRecorder *>());
        const QStringList files = filesIn(outputDir());
        return files.size() == 1 ? decodeRecording(QDir(outputDir()).filePath(files.first())) : RecordedVideo();
    }

    // Empty where the frame shows the colour there, else what it shows.
    static QString mismatch(const RecordedVideo &video, int frame, QPoint at, const QColor &expected)
    {
        const QColor seen = video.colourAt(frame, at);
        return closeTo(seen, expected) ? QString()
                                       : QStringLiteral("frame %1 at %2,%3: %4")
                                             .arg(frame).arg(at.x()).arg(at.y()).arg(describe(seen));
    }

private slots:
    void initTestCase()
    {
        if (capture::recordedArea(capture::AllScreens).size() != QSize(3840, 1080))
            QSKIP("needs a 3840x1080 X screen");
    }

    void init()
    {
        QVERIFY(twoMonitors());
        openSettingsStore()->clear();
    }

    void cleanup()
    {
        window.reset();
    }

    // Primary first, the others in the toolkit's order, then all of them;
    // the box follows monitors plugged in while the program runs, and the
    // settings page's box is the same choice.
    void screenBoxListsEveryMonitor()
    {
        openWindow();
        QCOMPARE(shownItems(), QStringList({"LEFT (1920×1080，主屏幕)", "RIGHT (1920×1080)", "所有屏幕"}));
        QVERIFY(xrandr({"--delmonitor", "RIGHT"}));
        QVERIFY(addMonitor("MIDDLE", 1280, 1920) && addMonitor("FAR", 640, 3200));
        QStringList expected{"LEFT (1920×1080，主屏幕)"};
        QTRY_COMPARE(QGuiApplication::screens().size(), 3);
        for (const QScreen *screen : QGuiApplication::screens())
            if (screen->name() != "LEFT")
                expected << QStringLiteral("%1 (%2×1080)").arg(screen->name()).arg(screen->size().width());
        QVERIFY(expected.contains("FAR (640×1080)") && expected.contains("MIDDLE (1280×1080)"));
        expected << "所有屏幕";
        QTRY_COMPARE(shownItems(), expected);
        pick(screenBox(), QStringLiteral("MIDDLE (1280×1080)"));
        const QList<QComboBox *> boxes = window->findChildren<QComboBox *>("screenCombo");
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes.at(boxes.first() == screenBox() ? 1 : 0)->currentText(), "MIDDLE (1280×1080)");
        // Other modes need no screen.
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        QVERIFY(!screenBox()->isVisible());
        w<QComboBox>("recordModeCombo")->setCurrentIndex(FullScreen);
        QTRY_VERIFY(screenBox()->isVisible());
        window.reset();
        QCOMPARE(openSettingsStore()->value("Recording/screen").toString(), QStringLiteral("MIDDLE"));
    }

    // Each choice records what it names at its size: a monitor with the
    // patch placed on it; all of them whole, scaled into the preset below
    // their size and padded. The preview shows the same.
    void eachChoiceRecordsItsArea_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<Colours>("colours");
        // Where the right monitor's patch lies on it, the left one has its own.
        const QPoint onMonitor = OnRight.center() - QPoint(1920, 0);
        QTest::newRow("primary") << "LEFT (1920×1080，主屏幕)" << int(UltraHD) << QSize(1920, 1080)
                                 << Colours{{onMonitor, Red}};
        QTest::newRow("right") << "RIGHT (1920×1080)" << int(UltraHD) << QSize(1920, 1080)
                               << Colours{{onMonitor, Blue}};
        QTest::newRow("all, whole") << "所有屏幕" << int(UHD4K) << QSize(3840, 1080)
                                    << Colours{{OnLeft.center(), Red}, {OnRight.center(), Blue}};
        // Half size, 1920x540, with 270 rows of black above and below.
        QTest::newRow("all, into 超清")
            << "所有屏幕" << int(UltraHD) << QSize(1920, 1080)
            << Colours{{OnLeft.center() / 2 + QPoint(0, 270), Red},
                       {OnRight.center() / 2 + QPoint(0, 270), Blue}, {QPoint(960, 100), Qt::black}};
    }

    void eachChoiceRecordsItsArea()
    {
        QFETCH(QString, item);
        QFETCH(int, quality);
        QFETCH(QSize, size);
        QFETCH(Colours, colours);
        ScreenPatch left(OnLeft, Red), right(OnRight, Blue);
        left.show();
        right.show();
        QVERIFY(QTest::qWaitForWindowExposed(&right));
        openWindow();
        w<QComboBox>("qualityCombo_2")->setCurrentIndex(quality);
        pick(screenBox(), item);
        if (quality == UHD4K || item != "所有屏幕") {
            // The idle still is the area itself, scaled to the view.
            const auto *still = static_cast<QGraphicsPixmapItem *>(
                window->findChild<QGraphicsView *>("video_view")->scene()->items().first());
            const QImage shown = still->pixmap().toImage();
            const QColor seen = shown.pixelColor(colours.first().first * shown.width() / size.width());
            QVERIFY2(closeTo(seen, colours.first().second), qPrintable(describe(seen)));
        }

        const RecordedVideo video = record();
        QVERIFY(video.opened && !video.frames.isEmpty());
        QCOMPARE(video.size, size);
        for (const auto &[at, colour] : colours)
            QCOMPARE(mismatch(video, int(video.frames.size()) / 2, at, colour), QString());
    }

    // A region may span two monitors: recorded as dragged. Unplugging one
    // of them leaves the recording going, black where no monitor is left.
    void regionAcrossTheSeam()
    {
        ScreenPatch left(LeftOfSeam, Red), right(RightOfSeam, Blue);
        left.show();
        right.show();
        QVERIFY(QTest::qWaitForWindowExposed(&right));
        openWindow();
        dragRegion(QPoint(1800, 750), QPoint(2039, 849));
        ModalAnswerer answerer;
        const RecordedVideo video = record([] { QVERIFY(xrandr({"--delmonitor", "RIGHT"})); });
        QVERIFY(answerer.boxes().isEmpty());
        QCOMPARE(video.size, QSize(240, 100));
        const int last = int(video.frames.size()) - 1;
        QCOMPARE(mismatch(video, 5, QPoint(60, 50), Red) + mismatch(video, 5, QPoint(180, 50), Blue), QString());
        QCOMPARE(mismatch(video, last, QPoint(60, 50), Red) + mismatch(video, last, QPoint(180, 50), Qt::black),
                 QString());
    }

    // The picker lists a window on the right monitor; the recording follows
    // it onto the left one.
    void windowFollowedAcrossMonitors()
    {
        QWidget target;
        target.setWindowTitle(QStringLiteral("Vexlo green window"));
        QPalette green;
        green.setColor(QPalette::Window, QColor(0, 200, 0));
        target.setPalette(green);
        target.setAutoFillBackground(true);
        target.setGeometry(2400, 300, 400, 300);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));
        openWindow();
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        WindowSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<WindowSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        auto *list = selector->findChild<QListWidget *>("windowList");
        QTRY_VERIFY(!list->findItems(target.windowTitle(), Qt::MatchExactly).isEmpty());
        const QPoint at = list->visualItemRect(list->findItems(target.windowTitle(), Qt::MatchExactly).first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!selector->isVisible());

        ModalAnswerer answerer;
        const RecordedVideo video = record([&] {
            target.move(1000, 600);
            QTRY_VERIFY(target.geometry().left() < 1920);
        });
        QVERIFY(answerer.boxes().isEmpty());
        QVERIFY(video.size.width() >= 400 && video.size.width() < 440);
        const QPoint middle(video.size.width() / 2, video.size.height() / 2);
        QCOMPARE(mismatch(video, 1, middle, QColor(0, 200, 0)), QString());
        QCOMPARE(mismatch(video, int(video.frames.size()) - 1, middle, QColor(0, 200, 0)), QString());
    }

    // LEFT at twice the scale of RIGHT: a region dragged on LEFT is recorded
    // in its device pixels, and the pointer over it at twice its size.
    void scaledMonitorPlacesRegionAndPointer()
    {
        if (QGuiApplication::primaryScreen()->devicePixelRatio() != 2.0)
            QSKIP("runs with QT_SCREEN_SCALE_FACTORS=LEFT=2;RIGHT=1 (tst_monitors_scaled)");
        // Logical pixels of LEFT: 200,200 to 599,499 on the X screen.
        ScreenPatch patch(QRect(100, 100, 200, 150), Red);
        patch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&patch));
        openWindow();
        window->move(600, 100);
        dragRegion(QPoint(100, 100), QPoint(299, 249));
        QCursor::setPos(QGuiApplication::primaryScreen(), QPoint(150, 150));
        const RecordedVideo video = record();
        QCOMPARE(video.size, QSize(400, 300));
        const int middle = int(video.frames.size()) / 2;
        QCOMPARE(mismatch(video, middle, QPoint(20, 20), Red) + mismatch(video, middle, QPoint(380, 280), Red),
                 QString());
        // The pointer's tip at 100,100 of the frame, 48 pixels tall (24 chosen).
        const QImage &image = video.frames.at(middle).image;
        QRect drawn;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!closeTo(image.pixelColor(x, y), Red, 60))
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY2(qAbs(drawn.left() - 100) <= 3 && qAbs(drawn.top() - 100) <= 3 && qAbs(drawn.height() - 46) <= 6,
                 qPrintable(QStringLiteral("pointer at %1,%2, %3 tall").arg(drawn.x()).arg(drawn.y()).arg(drawn.height())));
    }

    // A stored monitor that is not connected records the primary, told once.
    void storedMonitorNotConnectedRecordsThePrimary()
    {
        openSettingsStore()->setValue("Recording/screen", "ELSEWHERE");
        openWindow();
        QCOMPARE(screenBox()->currentIndex(), 0);
        ModalAnswerer answerer;
        QCOMPARE(record().size, QSize(1920, 1080));
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("所选屏幕未连接，已改为录制主屏幕"));
    }

    // Unplugging the recorded monitor, alone or one of all, ends the
    // recording by itself: one message, the file kept and playable, and the
    // box without the monitor.
    void unpluggedMonitorEndsItsRecording_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("alone") << "RIGHT (1920×1080)";
        QTest::newRow("one of all") << "所有屏幕";
    }

    void unpluggedMonitorEndsItsRecording()
    {
        QFETCH(QString, item);
        openWindow();
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MP4);
        pick(screenBox(), item);
        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QTest::qWait(1500);
        QVERIFY(xrandr({"--delmonitor", "RIGHT"}));

        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 30000);
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const QString file = QDir(outputDir()).filePath(files.first());
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("录制已停止"));
        QCOMPARE(answerer.boxes().first().text,
                 QStringLiteral("正在录制的屏幕已断开\n已录制的内容保存在：%1").arg(file));
        QCOMPARE(decodeErrors(file), QString());
        QVERIFY(decodeRecording(file, false).frames.size() > 10);
        // One monitor left: nothing to choose.
        QTRY_VERIFY(!screenBox()->isVisible());
        QCOMPARE(screenBox()->findText(QStringLiteral("RIGHT (1920×1080)")), -1);
        QTest::qWait(1000);
        QCOMPARE(answerer.boxes().size(), 1);
    }
};

VEXLO_TEST_MAIN(MonitorsTest)
#include "tst_monitors.moc"
