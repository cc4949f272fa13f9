// The window picker: which windows it offers, icons, choosing by
// double-click, following the chosen window, keys and dragging.
#include "selectors/windowselector.h"

#include "platform/windowlist.h"

#include "helpers/xclient.h"
#include "support/testsupport.h"

#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

using vexlo::test::XClient;

namespace {

const QString Placeholder = QStringLiteral("未找到可用窗口");

QListWidget *list(const WindowSelector *selector)
{
    return selector->findChild<QListWidget *>();
}

QListWidgetItem *itemFor(const WindowSelector *selector, WId id)
{
    QListWidget *windows = list(selector);
    for (int i = 0; i < windows->count(); ++i)
        if (windows->item(i)->data(Qt::UserRole).toULongLong() == id)
            return windows->item(i);
    return nullptr;
}

QPoint itemCentre(const WindowSelector *selector, QListWidgetItem *item)
{
    QListWidget *windows = list(selector);
    windows->scrollToItem(item);
    return windows->visualItemRect(item).center();
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

QList<quint32> iconEntry(quint32 width, quint32 height, quint32 argb)
{
    QList<quint32> data{width, height};
    data.insert(data.size(), qsizetype(width) * height, argb);
    return data;
}

} // namespace

class WindowSelectorTest : public QObject
{
    Q_OBJECT

private:
    XClient client;
    QList<xcb_window_t> created;
    QPointer<WindowSelector> selector;

    // A window of another client, taken over by the window manager. Without
    // decorations its bounding rectangle is exactly the requested one.
    xcb_window_t window(const QRect &geometry, const QByteArray &title, bool decorated = false)
    {
        const xcb_window_t id = client.createWindow(geometry);
        created << id;
        if (!title.isEmpty())
            client.setText(id, "_NET_WM_NAME", "UTF8_STRING", title);
        if (!decorated)
            client.setUndecorated(id);
        client.map(id);
        return id;
    }

    bool managed(xcb_window_t id) { return client.wmState(id) == 1; }

    // Refreshes until the window shows up (or not): the window manager
    // publishes new clients asynchronously.
    bool listed(WId id)
    {
        selector->refreshWindowList();
        return itemFor(selector, id) != nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(client.isConnected());
    }

    void cleanup()
    {
        delete selector;
        for (const xcb_window_t id : std::as_const(created))
            client.destroy(id);
        created.clear();
    }

    void looksAsDescribed()
    {
        selector = new WindowSelector;
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QCOMPARE(selector->windowTitle(), QStringLiteral("选择窗口"));
        QCOMPARE(selector->size(), QSize(360, 420));
        QVERIFY(selector->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(list(selector)->iconSize(), QSize(32, 32));
        QCOMPARE(list(selector)->geometry(), QRect(15, 15, 330, 390));
        // The picker is a visible window itself, and so lists itself.
        QTRY_VERIFY(listed(selector->winId()));
        QCOMPARE(itemFor(selector, selector->winId())->text(), QStringLiteral("选择窗口"));
    }

    void offersWindowsByTheRules_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("offered");
        QTest::newRow("ordinary") << QByteArray("Editor") << QSize(400, 300) << true;
        QTest::newRow("untitled") << QByteArray() << QSize(400, 300) << false;
        QTest::newRow("Program Manager") << QByteArray("Program Manager") << QSize(400, 300) << false;
        QTest::newRow("program manager in other case") << QByteArray("program manager") << QSize(400, 300) << true;
        QTest::newRow("100 wide") << QByteArray("Narrow") << QSize(100, 600) << false;
        QTest::newRow("100 high") << QByteArray("Flat") << QSize(600, 100) << false;
        QTest::newRow("101 x 101") << QByteArray("Small") << QSize(101, 101) << true;
        QTest::newRow("titled like the placeholder") << Placeholder.toUtf8() << QSize(400, 300) << true;
    }
    void offersWindowsByTheRules()
    {
        QFETCH(QByteArray, title);
        QFETCH(QSize, size);
        QFETCH(bool, offered);
        const xcb_window_t candidate = window(QRect(QPoint(200, 200), size), title);
        // A reference window, to know the window manager has published the candidate.
        const xcb_window_t reference = window(QRect(300, 300, 400, 300), "reference");
        QTRY_VERIFY(managed(candidate) && managed(reference));
        selector = new WindowSelector;
        QTRY_VERIFY(listed(reference));
        QCOMPARE(itemFor(selector, candidate) != nullptr, offered);
        if (offered) {
            QCOMPARE(itemFor(selector, candidate)->text(), QString::fromUtf8(title));
            QVERIFY(itemFor(selector, candidate)->flags() & Qt::ItemIsEnabled);
        }
    }

    void offersOnlyVisibleWindowsTopmostFirst()
    {
        const xcb_window_t lower = window(QRect(100, 100, 400, 300), "lower");
        const xcb_window_t hidden = client.createWindow(QRect(150, 150, 400, 300));
        created << hidden;
        client.setText(hidden, "_NET_WM_NAME", "UTF8_STRING", "hidden");
        QTRY_VERIFY(managed(lower));
        const xcb_window_t upper = window(QRect(200, 200, 400, 300), "upper");
        QTRY_VERIFY(managed(upper));
        selector = new WindowSelector;
        QTRY_VERIFY(listed(upper) && listed(lower));
        QVERIFY(!itemFor(selector, hidden));
        QVERIFY(list(selector)->row(itemFor(selector, upper)) < list(selector)->row(itemFor(selector, lower)));
    }

    void showsIcons()
    {
        const xcb_window_t withIcon = window(QRect(100, 100, 400, 300), "with icon");
        client.setIcon(withIcon, iconEntry(64, 64, 0xffff0000) + iconEntry(16, 16, 0xff00c000));
        selector = new WindowSelector;
        selector->show();
        QTRY_VERIFY(listed(withIcon)
                    && !itemFor(selector, withIcon)->icon().isNull()
                    && itemFor(selector, withIcon)->icon().pixmap(16, 16).toImage().pixelColor(8, 8)
                           == QColor(0, 0xc0, 0));
        // What the list paints: the 16-pixel icon, never blown up to the 32 x 32 slot.
        QListWidget *windows = list(selector);
        const QRect row = windows->visualItemRect(itemFor(selector, withIcon));
        const QImage shown = windows->viewport()->grab(row).toImage();
        int green = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                green += shown.pixelColor(x, y) == QColor(0, 0xc0, 0);
        QCOMPARE(green, 16 * 16);
    }

    void placeholderWhenNothingQualifies()
    {
        const xcb_window_t small = window(QRect(100, 100, 90, 90), "too small");
        QTRY_VERIFY(managed(small));
        selector = new WindowSelector; // not shown: it would list itself
        QListWidget *windows = list(selector);
        QTRY_VERIFY((selector->refreshWindowList(), windows->count() == 1
                     && windows->item(0)->text() == Placeholder));
        QVERIFY(!(windows->item(0)->flags() & Qt::ItemIsEnabled));
        QSignalSpy chosen(selector, &WindowSelector::windowSelected);
        emit windows->itemDoubleClicked(windows->item(0));
        QCOMPARE(chosen.size(), 0);
        QCOMPARE(selector->result(), int(QDialog::Rejected));
    }

    void doubleClickChoosesTheWindow_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::newRow("ordinary") << QByteArray("second");
        QTest::newRow("titled like the placeholder") << Placeholder.toUtf8();
    }
    void doubleClickChoosesTheWindow()
    {
        QFETCH(QByteArray, title);
        const xcb_window_t first = window(QRect(100, 100, 400, 300), "first");
        const xcb_window_t chosenWindow = window(QRect(150, 150, 400, 300), title);
        const xcb_window_t third = window(QRect(200, 200, 400, 300), "third");
        selector = new WindowSelector;
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTRY_VERIFY(listed(first) && listed(chosenWindow) && listed(third));
        QSignalSpy chosen(selector, &WindowSelector::windowSelected);
        QWidget *viewport = list(selector)->viewport();
        const QPoint at = itemCentre(selector, itemFor(selector, chosenWindow));

        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::qWait(50);
        QCOMPARE(chosen.size(), 0);
        QVERIFY(selector->isVisible());

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).value<WId>(), WId(chosenWindow));
        QCOMPARE(selector->result(), int(QDialog::Accepted));
        QTRY_VERIFY(!selector->isVisible());
    }

    void followsTheChosenWindow_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("until unmapped") << false;
        QTest::newRow("until destroyed") << true;
    }
    void followsTheChosenWindow()
    {
        QFETCH(bool, destroy);
        const xcb_window_t target = window(QRect(100, 100, 400, 300), "target", true);
        QTRY_VERIFY(managed(target));
        selector = new WindowSelector;
        QSignalSpy moved(selector, &WindowSelector::windowGeometryChanged);
        QTRY_VERIFY(listed(target));

        // Nothing is reported before a window has been chosen.
        client.moveResize(target, QRect(120, 110, 400, 300));
        QTest::qWait(300);
        QCOMPARE(moved.size(), 0);

        QTRY_COMPARE(client.frameRect(target).topLeft(), QPoint(120, 110));
        emit list(selector)->itemDoubleClicked(itemFor(selector, target));
        QTest::qWait(300);
        QCOMPARE(moved.size(), 0);

        // Each change once, with the frame's new rectangle.
        client.moveResize(target, QRect(500, 400, 400, 300));
        QTRY_COMPARE(moved.size(), 1);
        QCOMPARE(moved.at(0).at(0).toRect(), client.frameRect(target));
        QTest::qWait(300);
        QCOMPARE(moved.size(), 1);

        client.moveResize(target, QRect(500, 400, 640, 480));
        QTRY_COMPARE(moved.size(), 2);
        QCOMPARE(moved.at(1).at(0).toRect(), client.frameRect(target));
        QCOMPARE(moved.at(1).at(0).toRect().size(), client.frameRect(target).size());
        QTest::qWait(300);
        QCOMPARE(moved.size(), 2);

        vexlo::test::LogCapture log;
        QTimer *watch = selector->findChild<QTimer *>();
        QVERIFY(watch && watch->isActive());
        if (destroy) {
            client.destroy(target);
            created.removeAll(target);
        } else {
            client.unmap(target);
        }
        QTRY_VERIFY(!watch->isActive());
        if (!destroy) {
            // The watch has ended for good: a window that comes back is not followed.
            client.map(target);
            QTRY_VERIFY(managed(target));
            client.moveResize(target, QRect(50, 50, 300, 300));
            QTest::qWait(300);
        }
        QCOMPARE(moved.size(), 2);
        QVERIFY(log.lines().isEmpty());
    }

    void escapeCancels()
    {
        selector = new WindowSelector;
        QSignalSpy cancelled(selector, &WindowSelector::selectionCancelled);
        QSignalSpy chosen(selector, &WindowSelector::windowSelected);
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTRY_VERIFY(selector->isActiveWindow());
        QVERIFY(xdotool({"key", "Escape"}));
        QTRY_COMPARE(cancelled.size(), 1);
        QCOMPARE(chosen.size(), 0);
        QCOMPARE(selector->result(), int(QDialog::Rejected));
        QVERIFY(!selector->isVisible());
    }

    void closeButtonRejectsSilently()
    {
        selector = new WindowSelector;
        QSignalSpy cancelled(selector, &WindowSelector::selectionCancelled);
        QSignalSpy chosen(selector, &WindowSelector::windowSelected);
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QVERIFY(selector->close());
        QCOMPARE(selector->result(), int(QDialog::Rejected));
        QCOMPARE(cancelled.size() + chosen.size(), 0);
        QVERIFY(!selector->findChild<QTimer *>()->isActive());
    }

    void draggedByItsSurface()
    {
        selector = new WindowSelector;
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        const WId dialog = selector->winId();
        // The window manager may still be placing the new window: wait until it rests.
        QRect before;
        const auto resting = [&] {
            const QRect first = platform::windowRect(dialog);
            QTest::qWait(100);
            before = platform::windowRect(dialog);
            return first.isValid() && first == before;
        };
        QTRY_VERIFY(resting());
        // The margin beside the list belongs to the dialog's own surface.
        const QPoint grip = selector->mapToGlobal(QPoint(6, 200));
        const QPoint end = grip + QPoint(150, 80);
        QVERIFY(xdotool({"mousemove", QString::number(grip.x()), QString::number(grip.y()),
                         "mousedown", "1", "mousemove", QString::number(grip.x() + 60),
                         QString::number(grip.y() + 30), "mousemove", QString::number(end.x()),
                         QString::number(end.y()), "mouseup", "1"}));
        QTRY_COMPARE(platform::windowRect(dialog), before.translated(150, 80));
    }
};

VEXLO_TEST_MAIN(WindowSelectorTest)
#include "tst_windowselector.moc"
