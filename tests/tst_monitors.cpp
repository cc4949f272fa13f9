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
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>

using namespace vexlo::test;

namespace {

const QColor Red(220, 0, 0);
const QColor Blue(0, 0, 220);
// One patch on each monitor, and one either side of the seam.
const QRect OnLeft(100, 100, 400, 300);
const QRect OnRight(1920 + 200, 100, 400, 300);
const QRect LeftOfSeam(1700, 700, 220, 200);
const QRect RightOfSeam(1920, 700, 220, 200);

bool xrandr(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xrandr"), arguments) == 0;
}

bool addMonitor(const QString &name, int width, int x, bool withOutput)
{
    return xrandr({"--setmonitor", name, QStringLiteral("%1/508x1080/286+%2+0").arg(width).arg(x),
                   withOutput ? "screen" : "none"});
}

// The monitors as the X server lists them.
QStringList xMonitors()
{
    QProcess list;
    list.start(QStringLiteral("xrandr"), {"--listmonitors"});
    list.waitForFinished(10000);
    QStringList names;
    for (const QString &line : QString::fromLocal8Bit(list.readAllStandardOutput()).split(u'\n')) {
        const QStringList fields = line.simplified().split(u' ');
        if (fields.size() >= 2 && fields.first().endsWith(u':') && fields.first() != "Monitors:")
            names << fields.at(1).mid(fields.at(1).indexOf(QRegularExpression("[^+*]")));
    }
    return names;
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

    // Two monitors side by side, LEFT primary, as at the start of each test.
    bool twoMonitors()
    {
        // Set up before the program started (as with scale factors): kept.
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (screens.size() == 2 && screens.first()->name() == "LEFT"
            && capture::deviceGeometry(screens.last()) == QRect(1920, 0, 1920, 1080))
            return true;
        // The server's own monitor for its output gives way to LEFT.
        const QStringList present = xMonitors();
        for (const QString &name : present)
            if (name != "LEFT" && name != "screen")
                xrandr({"--delmonitor", name});
        if ((!present.contains("LEFT") && !addMonitor("LEFT", 1920, 0, true))
            || !addMonitor("RIGHT", 1920, 1920, false))
            return false;
        return QTest::qWaitFor(
            [] {
                const QList<QScreen *> screens = QGuiApplication::screens();
                return screens.size() == 2 && screens.last()->geometry() == QRect(1920, 0, 1920, 1080);
            },
            10000);
    }

    QStringList shownItems() const
    {
        QStringList shown;
        for (int i = 0; i < screenBox()->count(); ++i)
            shown << screenBox()->itemText(i);
        return shown;
    }

    // LEFT primary, then the others as the toolkit orders them, then all.
    static QStringList expectedItems()
    {
        QStringList expected{QStringLiteral("LEFT (1920×1080，主屏幕)")};
        for (const QScreen *screen : QGuiApplication::screens())
            if (screen->name() != "LEFT")
                expected << QStringLiteral("%1 (%2×1080)").arg(screen->name()).arg(screen->size().width());
        return expected << QStringLiteral("所有屏幕");
    }

    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Clear of every patch.
        window->move(560, 80);
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

    // Records about a second and a half; the kept file.
    QString recordBriefly()
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        if (toggleButton()->text() != QStringLiteral("停止"))
            return {};
        QTest::qWait(1500);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        waitUntilFinished(*window->findChild<ScreenRecorder *>());
        const QStringList files = filesIn(outputDir());
        return files.size() == 1 ? QDir(outputDir()).filePath(files.first()) : QString();
    }

    static void verifyColour(const RecordedVideo &video, QPoint at, const QColor &expected)
    {
        const QColor seen = video.colourAt(video.frames.size() / 2, at);
        QVERIFY2(closeTo(seen, expected),
                 qPrintable(QStringLiteral("%1,%2: %3").arg(at.x()).arg(at.y()).arg(describe(seen))));
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
    // the box follows a monitor plugged in while the program runs.
    void screenBoxListsEveryMonitor()
    {
        openWindow();
        QVERIFY(screenBox()->isVisible());
        QCOMPARE(screenBox()->count(), 3);
        QVERIFY(xrandr({"--delmonitor", "RIGHT"}));
        QVERIFY(addMonitor("MIDDLE", 1280, 1920, false));
        QVERIFY(addMonitor("FAR", 640, 3200, false));
        QTRY_COMPARE(screenBox()->count(), 4);
        QTRY_COMPARE(shownItems(), expectedItems());
        QVERIFY(shownItems().contains(QStringLiteral("MIDDLE (1280×1080)")));
        QVERIFY2(shownItems().contains(QStringLiteral("FAR (640×1080)")), qPrintable(shownItems().join(", ")));
        // The settings page offers the same choice, kept in step.
        pick(screenBox(), QStringLiteral("MIDDLE (1280×1080)"));
        QComboBox *settingsBox = nullptr;
        for (QComboBox *box : window->findChildren<QComboBox *>("screenCombo"))
            if (box != screenBox())
                settingsBox = box;
        QVERIFY(settingsBox != nullptr);
        QCOMPARE(settingsBox->currentText(), QStringLiteral("MIDDLE (1280×1080)"));
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
    // their size and padded.
    void eachChoiceRecordsItsArea_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("redAt");
        QTest::addColumn<QPoint>("blueAt");
        QTest::addColumn<QPoint>("blackAt");
        // Where the right monitor's patch lies on it, the left one has its own.
        QTest::newRow("primary") << "LEFT (1920×1080，主屏幕)" << int(UltraHD) << QSize(1920, 1080)
                                 << OnRight.center() - QPoint(1920, 0) << QPoint(-1, -1) << QPoint(-1, -1);
        QTest::newRow("right") << "RIGHT (1920×1080)" << int(UltraHD) << QSize(1920, 1080)
                               << QPoint(-1, -1) << OnRight.center() - QPoint(1920, 0) << QPoint(-1, -1);
        QTest::newRow("all, whole") << "所有屏幕" << int(UHD4K) << QSize(3840, 1080) << OnLeft.center()
                                    << OnRight.center() << QPoint(-1, -1);
        // Half size, 1920x540, with 270 rows of black above and below.
        QTest::newRow("all, into 超清") << "所有屏幕" << int(UltraHD) << QSize(1920, 1080)
                                      << OnLeft.center() / 2 + QPoint(0, 270)
                                      << OnRight.center() / 2 + QPoint(0, 270) << QPoint(960, 100);
    }

    void eachChoiceRecordsItsArea()
    {
        QFETCH(QString, item);
        QFETCH(int, quality);
        QFETCH(QSize, size);
        QFETCH(QPoint, redAt);
        QFETCH(QPoint, blueAt);
        QFETCH(QPoint, blackAt);
        ScreenPatch left(OnLeft, Red), right(OnRight, Blue);
        left.show();
        right.show();
        QVERIFY(QTest::qWaitForWindowExposed(&right));
        openWindow();
        w<QComboBox>("qualityCombo_2")->setCurrentIndex(quality);
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        pick(screenBox(), item);

        const QString file = recordBriefly();
        QVERIFY2(!file.isEmpty(), qPrintable(filesIn(outputDir()).join(", ")));
        const RecordedVideo video = decodeRecording(file);
        QVERIFY(video.opened && !video.frames.isEmpty());
        QCOMPARE(video.size, size);
        if (redAt.x() >= 0)
            verifyColour(video, redAt, Red);
        if (blueAt.x() >= 0)
            verifyColour(video, blueAt, Blue);
        if (blackAt.x() >= 0)
            verifyColour(video, blackAt, Qt::black);
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
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Region);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QCOMPARE(selector->geometry(), QRect(0, 0, 3840, 1080));
        const QPoint from(1800, 750), to(2039, 849);
        QTest::mousePress(selector, Qt::LeftButton, {}, from);
        QTest::mouseMove(selector, to);
        QTest::mouseRelease(selector, Qt::LeftButton, {}, to);
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);

        ModalAnswerer answerer;
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QTest::qWait(1500);
        QVERIFY(xrandr({"--delmonitor", "RIGHT"}));
        QTest::qWait(1500);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        waitUntilFinished(*window->findChild<ScreenRecorder *>());
        QVERIFY(answerer.boxes().isEmpty());
        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(QDir(outputDir()).filePath(files.first()));
        QCOMPARE(video.size, QSize(240, 100));
        const auto verifyAt = [&](int frame, QPoint at, const QColor &expected) {
            const QColor seen = video.colourAt(frame, at);
            return closeTo(seen, expected) ? QString()
                                           : QStringLiteral("frame %1 at %2,%3: %4")
                                                 .arg(frame).arg(at.x()).arg(at.y()).arg(describe(seen));
        };
        const int first = 5, last = int(video.frames.size()) - 1;
        QCOMPARE(verifyAt(first, QPoint(60, 50), Red), QString());
        QCOMPARE(verifyAt(first, QPoint(180, 50), Blue), QString());
        QCOMPARE(verifyAt(last, QPoint(60, 50), Red), QString());
        QCOMPARE(verifyAt(last, QPoint(180, 50), Qt::black), QString());
    }

    // The picker lists a window on the right monitor; the recording follows
    // it onto the left one.
    void windowFollowedAcrossMonitors()
    {
        QWidget target;
        target.setWindowTitle(QStringLiteral("Vexlo green window"));
        target.setAutoFillBackground(true);
        QPalette palette = target.palette();
        palette.setColor(QPalette::Window, QColor(0, 200, 0));
        target.setPalette(palette);
        target.setGeometry(2400, 300, 400, 300);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));
        openWindow();
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);
        WindowSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<WindowSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        auto *list = selector->findChild<QListWidget *>("windowList");
        QTRY_VERIFY(!list->findItems(target.windowTitle(), Qt::MatchExactly).isEmpty());
        QListWidgetItem *item = list->findItems(target.windowTitle(), Qt::MatchExactly).first();
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!selector->isVisible());
        ModalAnswerer answerer;

        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QCOMPARE(toggleButton()->text(), QStringLiteral("停止"));
        QVERIFY(answerer.boxes().isEmpty());
        QTest::qWait(1200);
        target.move(1000, 600);
        QTRY_VERIFY(target.geometry().left() < 1920);
        QTest::qWait(1200);
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        waitUntilFinished(*window->findChild<ScreenRecorder *>());
        const QStringList files = filesIn(outputDir());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(QDir(outputDir()).filePath(files.first()));
        QVERIFY(video.size.width() >= 400 && video.size.width() < 440);
        const QPoint middle(video.size.width() / 2, video.size.height() / 2);
        for (int frame : {1, int(video.frames.size()) - 1}) {
            const QColor seen = video.colourAt(frame, middle);
            QVERIFY2(closeTo(seen, QColor(0, 200, 0)), qPrintable(QString::number(frame) + ": " + describe(seen)));
        }
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
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Region);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::mousePress(selector, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(selector, QPoint(299, 249));
        QTest::mouseRelease(selector, Qt::LeftButton, {}, QPoint(299, 249));
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);
        QCursor::setPos(QGuiApplication::primaryScreen(), QPoint(150, 150));

        const QString file = recordBriefly();
        QVERIFY(!file.isEmpty());
        const RecordedVideo video = decodeRecording(file);
        QCOMPARE(video.size, QSize(400, 300));
        verifyColour(video, QPoint(20, 20), Red);
        verifyColour(video, QPoint(380, 280), Red);
        // The pointer's tip at 100,100 of the frame, 48 pixels tall (24 chosen).
        const QImage &image = video.frames.at(video.frames.size() / 2).image;
        QRect drawn;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!closeTo(image.pixelColor(x, y), Red, 60))
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY2(qAbs(drawn.left() - 100) <= 3 && qAbs(drawn.top() - 100) <= 3
                     && drawn.height() >= 40 && drawn.height() <= 52,
                 qPrintable(QStringLiteral("pointer drawn at %1,%2 %3x%4").arg(drawn.x()).arg(drawn.y())
                                .arg(drawn.width()).arg(drawn.height())));
    }

    // A stored monitor that is not connected records the primary, told once.
    void storedMonitorNotConnectedRecordsThePrimary()
    {
        openSettingsStore()->setValue("Recording/screen", "ELSEWHERE");
        openWindow();
        QCOMPARE(screenBox()->currentIndex(), 0);
        w<QComboBox>("formatCombo_2")->setCurrentIndex(MKV);
        ModalAnswerer answerer;
        const QString file = recordBriefly();
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("所选屏幕未连接，已改为录制主屏幕"));
        QVERIFY(!file.isEmpty());
        QCOMPARE(decodeRecording(file, false).size, QSize(1920, 1080));
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
        const auto box = answerer.boxes().first();
        QCOMPARE(box.title, QStringLiteral("录制已停止"));
        QVERIFY2(box.text.startsWith(QStringLiteral("正在录制的屏幕已断开")), qPrintable(box.text));
        QVERIFY2(box.text.contains(file), qPrintable(box.text));
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
