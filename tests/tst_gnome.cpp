// Recording a real GNOME desktop: mutter (or gnome-shell) headless with its
// Xwayland, xdg-desktop-portal-gnome behind the real frontend, PipeWire
// (scripts/headless.sh --desktop gnome). Vexlo is an X11 client of that
// Xwayland, as on a GNOME Wayland session; the desktop's dialog is answered
// through the accessibility bus and its pointer moved through mutter's
// RemoteDesktop interface. Each case is one recording, decoded.
#include "app/mainwindow.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"

#include "support/gnomedesktop.h"
#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

using namespace vexlo::test;

namespace {

constexpr int Fps = 30;
const QColor Backdrop(40, 160, 90);
const QColor WindowColour(200, 60, 160);
const QString TokenKey = QStringLiteral("Recording/portalRestoreToken");
const QString CastWindowTitle = QStringLiteral("Vexlo window cast");

// A plain colour over all of a window, what the recording must show.
class ColourWindow : public QWidget
{
public:
    explicit ColourWindow(const QColor &colour)
        : colour(colour)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), colour); }

private:
    QColor colour;
};

// The pixels of `area` that are not the colour: the pointer drawn over it.
QRect differingPixels(const QImage &frame, const QRect &area, const QColor &colour)
{
    QRect found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (frame.rect().contains(x, y) && !closeTo(frame.pixelColor(x, y), colour, 60))
                found |= QRect(x, y, 1, 1);
    return found;
}

} // namespace

class GnomeTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ColourWindow> backdrop;
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QToolButton *toggleButton() const { return w<QToolButton>("toggleButton"); }
    QString outputDir() const { return w<QLineEdit>("outputDirLabel")->text(); }
    ScreenRecorder *recorder() const { return window->findChild<ScreenRecorder *>(); }

    QString previewText() const
    {
        const QList<QGraphicsItem *> items = w<QGraphicsView>("video_view")->scene()->items();
        if (items.size() != 1 || items.first()->type() != QGraphicsSimpleTextItem::Type)
            return {};
        return static_cast<QGraphicsSimpleTextItem *>(items.first())->text();
    }

    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QDir dir(outputDir());
        for (const QString &file : filesIn(dir.path()))
            dir.remove(file);
    }

    bool waitForRecording()
    {
        return QTest::qWaitFor([this] { return recorder()->isRecording(); }, 120000);
    }

    QString stopAndWaitForFile()
    {
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return toggleButton()->text() == QStringLiteral("开始"); }, 60000))
            return {};
        const QStringList files = filesIn(outputDir());
        return files.size() == 1 ? QDir(outputDir()).filePath(files.first()) : QString();
    }

    // The frames of a file fill every slot of its rate.
    static void verifyEverySlot(const RecordedVideo &video)
    {
        QVERIFY(video.frames.size() >= 2);
        const double seconds = video.frames.last().seconds - video.frames.first().seconds + 1.0 / Fps;
        QVERIFY2(video.frames.size() >= (Fps - 1) * seconds,
                 qPrintable(QStringLiteral("%1 frames in %2 s").arg(video.frames.size()).arg(seconds)));
    }

private slots:
    void initTestCase()
    {
        if (!GnomeDesktop::running())
            QSKIP("needs the GNOME rig (scripts/headless.sh --desktop gnome)");
        qputenv("XDG_SESSION_TYPE", "wayland");
        openSettingsStore()->clear();
        // The desktop's content: one colour over the whole monitor.
        backdrop = std::make_unique<ColourWindow>(Backdrop);
        backdrop->showFullScreen();
        QVERIFY(QTest::qWaitForWindowExposed(backdrop.get()));
    }

    void cleanup()
    {
        window.reset();
        QTRY_VERIFY_WITH_TIMEOUT(GnomeDesktop::portalObjects(QStringLiteral("session")).isEmpty(), 30000);
    }

    void cleanupTestCase() { backdrop.reset(); }

    // The desktop's pointer, moved by mutter, is drawn where it is, at the
    // chosen size; the choice of monitor is kept for the next start.
    void fullScreenShowsTheDesktopAndItsPointer()
    {
        if (GnomeDesktop::withShell())
            QSKIP("runs on bare mutter");
        // Beside Vexlo's own window, which mutter places at the top left.
        const QPoint pointerAt(1300, 800);
        MutterPointer pointer;
        QVERIFY2(pointer.moveTo(pointerAt), qPrintable(pointer.error()));
        openWindow();
        w<QComboBox>("moueSizeCombo")->setCurrentIndex(5); // 48x48

        DialogUser user;
        user.start({"share", "monitor"});
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY2(user.wait(), qPrintable(user.error()));
        QVERIFY(waitForRecording());
        QTest::qWait(2000);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());
        QVERIFY(!openSettingsStore()->value(TokenKey).toString().isEmpty());

        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(1920, 1080));
        const QImage &last = video.frames.last().image;
        const QColor far = last.pixelColor(pointerAt + QPoint(120, 120));
        QVERIFY2(closeTo(far, Backdrop), qPrintable(describe(far)));
        // The pointer's tip at the position; drawn larger than the desktop's
        // own 24 px, and nowhere else around.
        const QRect drawn = differingPixels(last, QRect(pointerAt - QPoint(40, 40), QSize(120, 120)), Backdrop);
        QVERIFY2(drawn.isValid(), "no pointer near its position");
        QVERIFY2((drawn.topLeft() - pointerAt).manhattanLength() <= 8,
                 qPrintable(QStringLiteral("pointer drawn from (%1, %2)").arg(drawn.x()).arg(drawn.y())));
        QVERIFY2(drawn.height() > 30 && drawn.height() <= 48,
                 qPrintable(QStringLiteral("pointer %1x%2").arg(drawn.width()).arg(drawn.height())));
    }

    // The restore token spares the dialog; a desktop that sends pictures
    // only as the screen changes still fills every slot of the file.
    void restoredChoiceRecordsEverySlot()
    {
        if (GnomeDesktop::withShell())
            QSKIP("runs on bare mutter");
        if (openSettingsStore()->value(TokenKey).toString().isEmpty())
            QSKIP("needs the choice fullScreenShowsTheDesktopAndItsPointer stored");
        openWindow();
        // Nobody answers a dialog: the start succeeds without one.
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY(waitForRecording());
        QTest::qWait(3000);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());
        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        verifyEverySlot(video);
        const QColor seen = video.colourAt(video.frames.size() / 2, QPoint(60, 1000));
        QVERIFY2(closeTo(seen, Backdrop), qPrintable(describe(seen)));
    }

    // While the desktop's dialog is open the page says so; its cancel
    // closes the dialog, and the frontend holds no session any more.
    void waitingForTheDialogAndCancellingIt()
    {
        openSettingsStore()->remove(TokenKey);
        openWindow();
        ModalAnswerer answerer;
        DialogUser user;
        user.start({"shown"});
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY2(user.wait(), qPrintable(user.error()));
        QCOMPARE(previewText(), QStringLiteral("等待桌面的屏幕共享对话框…"));
        QCOMPARE(toggleButton()->text(), QStringLiteral("取消"));
        QCOMPARE(GnomeDesktop::portalObjects(QStringLiteral("session")).size(), 1);

        user.start({"gone"});
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY2(user.wait(), qPrintable(user.error()));
        QTRY_VERIFY_WITH_TIMEOUT(GnomeDesktop::portalObjects(QStringLiteral("session")).isEmpty(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(GnomeDesktop::portalObjects(QStringLiteral("request")).isEmpty(), 30000);
        QCOMPARE(toggleButton()->text(), QStringLiteral("开始"));
        QCOMPARE(previewText(), QStringLiteral("开始录制后显示预览"));
        QVERIFY(!recorder()->isRecording());
        QVERIFY(answerer.boxes().isEmpty());
        QVERIFY(filesIn(outputDir()).isEmpty());
    }

    // gnome-shell sends the window inside a monitor-sized buffer, marked by
    // its crop: the file is the window alone.
    void windowCastIsTheWindowAlone()
    {
        if (!GnomeDesktop::withShell())
            QSKIP("needs gnome-shell's window list (scripts/headless.sh --desktop gnome-shell)");
        ColourWindow cast(WindowColour);
        cast.setWindowTitle(CastWindowTitle);
        cast.resize(800, 500);
        cast.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cast));
        openWindow();
        w<QComboBox>("recordModeCombo")->setCurrentIndex(Window);

        DialogUser user;
        user.start({"share", "window", CastWindowTitle});
        QTest::mouseClick(toggleButton(), Qt::LeftButton);
        QVERIFY2(user.wait(), qPrintable(user.error()));
        QVERIFY(waitForRecording());
        QTest::qWait(2000);
        const QString path = stopAndWaitForFile();
        QVERIFY(!path.isEmpty());

        const RecordedVideo video = decodeRecording(path);
        QVERIFY(video.opened);
        // The window with whatever frame the desktop draws for it, not the
        // monitor.
        QVERIFY2(video.size.width() >= 800 && video.size.width() < 900 && video.size.height() >= 500
                     && video.size.height() < 600,
                 qPrintable(QStringLiteral("%1x%2").arg(video.size.width()).arg(video.size.height())));
        const QImage &frame = video.frames.last().image;
        for (const QPoint at : {QPoint(frame.width() / 2, frame.height() / 2),
                                QPoint(20, frame.height() - 20), QPoint(frame.width() - 20, frame.height() - 20)}) {
            QVERIFY2(closeTo(frame.pixelColor(at), WindowColour),
                     qPrintable(QStringLiteral("(%1, %2): %3").arg(at.x()).arg(at.y()).arg(describe(frame.pixelColor(at)))));
        }
        verifyEverySlot(video);
    }
};

VEXLO_TEST_MAIN(GnomeTest)
#include "tst_gnome.moc"
