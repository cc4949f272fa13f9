// The window-system layer behind the window picker: enumeration, titles,
// icons, visibility, rectangles, and robustness against bad handles.
#include "platform/windowlist.h"
#include "platform/windowproperties.h"

#include "helpers/xclient.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>

#include <malloc.h>

using platform::WindowInfo;
using vexlo::test::XClient;

namespace {

std::optional<WindowInfo> findWindow(WId id)
{
    for (const WindowInfo &window : platform::visibleTopLevelWindows())
        if (window.id == id)
            return window;
    return std::nullopt;
}

qsizetype stackIndex(WId id)
{
    const QList<WindowInfo> windows = platform::visibleTopLevelWindows();
    for (qsizetype i = 0; i < windows.size(); ++i)
        if (windows[i].id == id)
            return i;
    return -1;
}

bool hasXError(const vexlo::test::LogCapture &log)
{
    const auto lines = log.lines();
    return std::any_of(lines.begin(), lines.end(), [](const auto &line) {
        return line.text.contains(QLatin1String("XCB error"), Qt::CaseInsensitive);
    });
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : -1;
}

QList<quint32> iconEntry(quint32 width, quint32 height, quint32 argb)
{
    QList<quint32> data{width, height};
    data.insert(data.size(), qsizetype(width) * height, argb);
    return data;
}

} // namespace

class WindowListTest : public QObject
{
    Q_OBJECT

private:
    XClient client;
    QList<xcb_window_t> created;

    // A window of the second client, mapped and taken over by the window manager.
    xcb_window_t managedWindow(const QRect &geometry, const QByteArray &title,
                               bool decorated = true)
    {
        const xcb_window_t window = client.createWindow(geometry);
        created << window;
        client.setText(window, "_NET_WM_NAME", "UTF8_STRING", title);
        if (!decorated)
            client.setUndecorated(window);
        client.map(window);
        return window;
    }

    bool isManaged(xcb_window_t window) { return client.wmState(window) == 1; }

private slots:
    void initTestCase()
    {
        QVERIFY(client.isConnected());
        QVERIFY2(platform::isWindow(client.root()), "the layer reaches the server");
    }

    void cleanup()
    {
        for (const xcb_window_t window : std::as_const(created))
            client.destroy(window);
        created.clear();
    }

    void decodesTitleBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("title");
        const auto latin1 = int(platform::TextEncoding::Latin1);
        const auto utf8 = int(platform::TextEncoding::Utf8);
        const auto compound = int(platform::TextEncoding::CompoundText);
        QTest::newRow("latin-1") << QByteArray("Caf\xe9") << latin1 << QStringLiteral("Café");
        QTest::newRow("utf-8") << QByteArray("录制 – Vexlo") << utf8 << QStringLiteral("录制 – Vexlo");
        QTest::newRow("first of a list") << QByteArray("first\0second", 12) << latin1
                                         << QStringLiteral("first");
        QTest::newRow("compound ascii") << QByteArray("Terminal") << compound
                                        << QStringLiteral("Terminal");
        QTest::newRow("compound default latin-1 right half")
            << QByteArray("Caf\xe9") << compound << QStringLiteral("Café");
        QTest::newRow("compound utf-8 segment")
            << QByteArray("A \x1b%G中文\x1b%@ B") << compound << QStringLiteral("A 中文 B");
        QTest::newRow("compound unterminated utf-8 segment")
            << QByteArray("\x1b%G中文") << compound << QStringLiteral("中文");
        QTest::newRow("compound unknown right half")
            << QByteArray("x\x1b-B\xe9y") << compound << QStringLiteral("x\ufffdy");
        QTest::newRow("compound double-byte set")
            << QByteArray("\x1b$(B\x30\x21\x30\x22\x1b(Bok") << compound
            << QStringLiteral("\ufffd\ufffdok");
        QTest::newRow("compound direction controls")
            << QByteArray("a\x9b" "1]b\x9b]") << compound << QStringLiteral("ab");
        QTest::newRow("compound truncated escape")
            << QByteArray("abc\x1b$") << compound << QStringLiteral("abc");
    }
    void decodesTitleBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(QString, title);
        QCOMPARE(platform::decodeTextProperty(bytes, platform::TextEncoding(encoding)), title);
    }

    void choosesSmallIcon_data()
    {
        QTest::addColumn<QList<quint32>>("data");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("colour");
        const QColor none;
        QTest::newRow("smallest of at least 16")
            << iconEntry(8, 8, 0xff0000ff) + iconEntry(48, 48, 0xff00ff00) + iconEntry(16, 16, 0xffff0000)
            << QSize(16, 16) << QColor(255, 0, 0);
        QTest::newRow("only smaller ones: the largest")
            << iconEntry(8, 8, 0xff0000ff) + iconEntry(12, 12, 0xff00ff00) << QSize(12, 12)
            << QColor(0, 255, 0);
        QTest::newRow("16 on one side only does not count")
            << iconEntry(64, 12, 0xff0000ff) + iconEntry(32, 32, 0xff00ff00) << QSize(32, 32)
            << QColor(0, 255, 0);
        QTest::newRow("alpha is not premultiplied")
            << iconEntry(16, 16, 0x80ff0000) << QSize(16, 16) << QColor(255, 0, 0, 128);
        QTest::newRow("truncated second entry: the first")
            << iconEntry(24, 24, 0xffffffff) + QList<quint32>{32, 32, 0, 0, 0} << QSize(24, 24)
            << QColor(255, 255, 255);
        QTest::newRow("overflowing size") << QList<quint32>{0xffff, 0xffff, 1, 2, 3} << QSize()
                                          << none;
        QTest::newRow("area wraps 32 bits") << QList<quint32>{0x10000, 0x10000, 1, 2} << QSize()
                                            << none;
        QTest::newRow("zero size") << QList<quint32>{0, 16, 1, 2} << QSize() << none;
        QTest::newRow("header only") << QList<quint32>{16} << QSize() << none;
        QTest::newRow("empty") << QList<quint32>{} << QSize() << none;
    }
    void choosesSmallIcon()
    {
        QFETCH(QList<quint32>, data);
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        const QImage icon = platform::iconFromNetWmIcon(data.constData(), std::size_t(data.size()));
        QCOMPARE(icon.isNull(), !size.isValid());
        if (size.isValid())
            QCOMPARE(icon.size(), size);
        if (colour.isValid())
            QCOMPARE(icon.pixelColor(icon.width() - 1, icon.height() - 1), colour);
    }

    void readsTitlesOfRealWindows_data()
    {
        QTest::addColumn<QByteArray>("netWmNameType");
        QTest::addColumn<QByteArray>("netWmName");
        QTest::addColumn<QByteArray>("wmNameType");
        QTest::addColumn<QByteArray>("wmName");
        QTest::addColumn<QString>("title");
        QTest::newRow("_NET_WM_NAME") << QByteArray("UTF8_STRING") << QByteArray("屏幕 录制")
                                      << QByteArray() << QByteArray() << QStringLiteral("屏幕 录制");
        QTest::newRow("_NET_WM_NAME wins") << QByteArray("UTF8_STRING") << QByteArray("new")
                                           << QByteArray("STRING") << QByteArray("old")
                                           << QStringLiteral("new");
        QTest::newRow("WM_NAME latin-1") << QByteArray() << QByteArray() << QByteArray("STRING")
                                         << QByteArray("Caf\xe9") << QStringLiteral("Café");
        QTest::newRow("WM_NAME utf-8") << QByteArray() << QByteArray() << QByteArray("UTF8_STRING")
                                       << QByteArray("Café") << QStringLiteral("Café");
        QTest::newRow("WM_NAME compound text")
            << QByteArray() << QByteArray() << QByteArray("COMPOUND_TEXT")
            << QByteArray("\x1b%G窗口\x1b%@ 1") << QStringLiteral("窗口 1");
        QTest::newRow("_NET_WM_NAME of the wrong type is ignored")
            << QByteArray("STRING") << QByteArray("wrong") << QByteArray("STRING")
            << QByteArray("right") << QStringLiteral("right");
        QTest::newRow("empty _NET_WM_NAME falls back")
            << QByteArray("UTF8_STRING") << QByteArray("") << QByteArray("STRING")
            << QByteArray("fallback") << QStringLiteral("fallback");
        QTest::newRow("no title") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                  << QString();
    }
    void readsTitlesOfRealWindows()
    {
        QFETCH(QByteArray, netWmNameType);
        QFETCH(QByteArray, netWmName);
        QFETCH(QByteArray, wmNameType);
        QFETCH(QByteArray, wmName);
        QFETCH(QString, title);
        const xcb_window_t window = client.createWindow(QRect(100, 100, 300, 200));
        created << window;
        if (!netWmNameType.isEmpty())
            client.setText(window, "_NET_WM_NAME", netWmNameType.constData(), netWmName);
        if (!wmNameType.isEmpty())
            client.setText(window, "WM_NAME", wmNameType.constData(), wmName);
        client.map(window);
        QTRY_VERIFY(findWindow(window).has_value());
        QCOMPARE(findWindow(window)->title, title);
    }

    void listsVisibleWindowsOnly_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("visible");
        QTest::newRow("mapped") << "mapped" << true;
        QTest::newRow("iconified counts as visible") << "iconified" << true;
        QTest::newRow("never mapped") << "unmapped" << false;
        QTest::newRow("withdrawn after mapping") << "withdrawn" << false;
    }
    void listsVisibleWindowsOnly()
    {
        QFETCH(QString, state);
        QFETCH(bool, visible);
        const xcb_window_t window = client.createWindow(QRect(50, 60, 320, 240));
        created << window;
        client.setText(window, "_NET_WM_NAME", "UTF8_STRING", "state " + state.toUtf8());
        if (state != QLatin1String("unmapped")) {
            client.map(window);
            QTRY_VERIFY(isManaged(window));
        }
        if (state == QLatin1String("iconified")) {
            client.iconify(window);
            QTRY_COMPARE(client.wmState(window), 3u);
        } else if (state == QLatin1String("withdrawn")) {
            client.unmap(window);
            QTRY_VERIFY(!isManaged(window));
        }
        QTRY_COMPARE(platform::isWindowVisible(window), visible);
        QCOMPARE(findWindow(window).has_value(), visible);
        QVERIFY(platform::isWindow(window));
    }

    void listsTopmostFirst()
    {
        const xcb_window_t lower = managedWindow(QRect(100, 100, 300, 300), "lower");
        QTRY_VERIFY(isManaged(lower));
        const xcb_window_t upper = managedWindow(QRect(200, 200, 300, 300), "upper");
        QTRY_VERIFY(isManaged(upper));
        QTRY_VERIFY(stackIndex(upper) >= 0 && stackIndex(lower) > stackIndex(upper));
        client.raise(lower);
        QTRY_VERIFY(stackIndex(lower) >= 0 && stackIndex(upper) > stackIndex(lower));
    }

    void rectangleIncludesTheFrame()
    {
        const QRect requested(300, 200, 400, 250);
        const xcb_window_t window = managedWindow(requested, "decorated");
        QTRY_VERIFY(isManaged(window));
        // The window manager may still be placing the frame; wait for it to settle.
        QTRY_COMPARE(platform::windowRect(window), client.frameRect(window));
        const QRect rect = platform::windowRect(window);
        QVERIFY2(rect.width() > requested.width() && rect.height() > requested.height(),
                 "the title bar and borders belong to the rectangle");
        QCOMPARE(findWindow(window)->rect, rect);
    }

    void rectangleFollowsTheWindowManager_data()
    {
        QTest::addColumn<QRect>("first");
        QTest::addColumn<QRect>("second");
        QTest::newRow("move") << QRect(200, 150, 300, 200) << QRect(640, 480, 300, 200);
        QTest::newRow("resize") << QRect(200, 150, 300, 200) << QRect(200, 150, 500, 120);
        QTest::newRow("partly off screen") << QRect(200, 150, 300, 200) << QRect(-50, -40, 300, 200);
    }
    void rectangleFollowsTheWindowManager()
    {
        QFETCH(QRect, first);
        QFETCH(QRect, second);
        const xcb_window_t window = managedWindow(first, "undecorated", false);
        QTRY_VERIFY(isManaged(window));
        QTRY_COMPARE(platform::windowRect(window), first);
        client.moveResize(window, second);
        QTRY_COMPARE(platform::windowRect(window), second);
    }

    void readsIconsOfRealWindows()
    {
        const xcb_window_t window = managedWindow(QRect(100, 100, 300, 200), "icon");
        client.setIcon(window, iconEntry(48, 48, 0xff0000ff) + iconEntry(16, 16, 0xff00ff00)
                                   + iconEntry(32, 32, 0xffff0000));
        QTRY_COMPARE(findWindow(window).value_or(WindowInfo()).icon.size(), QSize(16, 16));
        QCOMPARE(findWindow(window)->icon.pixelColor(8, 8), QColor(0, 255, 0));
    }

    void survivesBadHandles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("zero") << "zero";
        QTest::newRow("destroyed window") << "destroyed";
        QTest::newRow("id never created") << "unused";
        QTest::newRow("pixmap") << "pixmap";
        QTest::newRow("wider than an X id") << "wide";
    }
    void survivesBadHandles()
    {
        QFETCH(QString, kind);
        const xcb_window_t live = managedWindow(QRect(100, 100, 300, 200), "live");
        QTRY_VERIFY(isManaged(live));
        WId handle = 0;
        if (kind == QLatin1String("destroyed")) {
            const xcb_window_t gone = client.createWindow(QRect(10, 10, 200, 200));
            client.map(gone);
            QTRY_VERIFY(isManaged(gone));
            client.destroy(gone);
            handle = gone;
        } else if (kind == QLatin1String("unused")) {
            handle = client.unusedId();
        } else if (kind == QLatin1String("pixmap")) {
            handle = client.createPixmap();
        } else if (kind == QLatin1String("wide")) {
            // Truncated to 32 bits this would name the live window.
            handle = (WId(1) << 32) | live;
        }

        vexlo::test::LogCapture log;
        QVERIFY(!platform::isWindow(handle));
        QVERIFY(!platform::isWindowVisible(handle));
        QVERIFY(platform::windowRect(handle).isNull());
        QVERIFY(!findWindow(handle).has_value());
        // Errors left to the toolkit's queue would show up on the next turn of the loop.
        QTest::qWait(50);
        QVERIFY(!hasXError(log));
        // The shared connection is still healthy.
        QVERIFY(platform::isWindowVisible(live));
        QVERIFY(platform::windowRect(live).isValid());
    }

    void leaksNothingOverThousandEnumerations()
    {
        const xcb_window_t a = managedWindow(QRect(100, 100, 300, 200), "leak check a");
        client.setIcon(a, iconEntry(16, 16, 0xff00ff00) + iconEntry(128, 128, 0xffff0000));
        const xcb_window_t b = managedWindow(QRect(300, 300, 300, 200), "leak check b");
        client.setText(b, "WM_NAME", "STRING", "leak check b");
        const xcb_window_t gone = client.createWindow(QRect(10, 10, 200, 200));
        client.destroy(gone);
        QTRY_VERIFY(findWindow(a) && findWindow(b));

        const auto round = [&] {
            const QList<WindowInfo> windows = platform::visibleTopLevelWindows();
            QVERIFY(windows.size() >= 2);
            for (const WId id : {WId(a), WId(gone), WId(0)}) {
                platform::isWindow(id);
                platform::isWindowVisible(id);
                platform::windowRect(id);
            }
        };
        for (int i = 0; i < 50; ++i)
            round();
        QCoreApplication::processEvents();
        const size_t heapBefore = mallinfo2().uordblks;
        const qint64 residentBefore = residentBytes();
        for (int i = 0; i < 1000; ++i)
            round();
        QCoreApplication::processEvents();
        const qint64 heapGrowth = qint64(mallinfo2().uordblks) - qint64(heapBefore);
        const qint64 residentGrowth = residentBytes() - residentBefore;
        qInfo("heap growth %lld bytes, resident growth %lld bytes", heapGrowth, residentGrowth);
        // One lost reply per window and round would be tens of kilobytes.
        QVERIFY2(heapGrowth < 16 * 1024, qPrintable(QString::number(heapGrowth)));
        QVERIFY2(residentGrowth < 1024 * 1024, qPrintable(QString::number(residentGrowth)));
    }

    // Without a window manager the layer walks the root's children itself.
    // Runs this program again on a private server that has none.
    void enumeratesWithoutWindowManager()
    {
        if (qEnvironmentVariableIsSet("VEXLO_WITHOUT_WM")) {
            runWithoutWindowManager();
            return;
        }
        const QString headless = QFINDTESTDATA("../scripts/headless.sh");
        QVERIFY(!headless.isEmpty());
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VEXLO_WITHOUT_WM"), QStringLiteral("1"));
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(headless, {QStringLiteral("--no-wm"), QStringLiteral("--no-compositor"),
                             QStringLiteral("--no-tray"), QStringLiteral("--"),
                             QCoreApplication::applicationFilePath(),
                             QStringLiteral("enumeratesWithoutWindowManager")});
        QVERIFY(run.waitForFinished(60000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : WindowListTest::enumeratesWithoutWindowManager"),
                 output.constData());
    }

private:
    void runWithoutWindowManager()
    {
        const xcb_window_t plain = client.createWindow(QRect(40, 30, 300, 200));
        created << plain;
        client.setText(plain, "WM_NAME", "STRING", "plain");
        // A frame holding its client, as a window manager that publishes no
        // list would build it: the client is the one carrying WM_STATE.
        const xcb_window_t frame = client.createWindow(QRect(400, 300, 320, 240));
        created << frame;
        const xcb_window_t inner = client.createChild(frame, QRect(10, 20, 300, 200));
        const uint32_t normal[2] = {1, 0};
        client.setProperty(inner, "WM_STATE", "WM_STATE", 32, normal, 2);
        client.setText(inner, "_NET_WM_NAME", "UTF8_STRING", "framed client");
        client.map(inner);
        const xcb_window_t hidden = client.createWindow(QRect(0, 0, 300, 200));
        created << hidden;
        client.setText(hidden, "WM_NAME", "STRING", "hidden");
        client.map(plain);
        client.map(frame);

        QTRY_VERIFY(findWindow(plain).has_value());
        QCOMPARE(findWindow(plain)->title, QStringLiteral("plain"));
        QCOMPARE(findWindow(plain)->rect, QRect(40, 30, 300, 200));
        QVERIFY(findWindow(inner).has_value());
        QCOMPARE(findWindow(inner)->title, QStringLiteral("framed client"));
        // No extents are published: the frame is the bounding rectangle.
        QCOMPARE(findWindow(inner)->rect, QRect(400, 300, 320, 240));
        QVERIFY(!findWindow(frame).has_value());
        QVERIFY(!findWindow(hidden).has_value());
        QVERIFY(stackIndex(inner) < stackIndex(plain));

        // Icons as the clients left them (a window manager may publish its
        // own default icon on windows without a valid one).
        client.setIcon(plain, {64, 64, 0xffffffff});
        QVERIFY(findWindow(plain)->icon.isNull());
        QVERIFY(findWindow(inner)->icon.isNull());
        client.setIcon(inner, iconEntry(20, 20, 0xff0000ff));
        QCOMPARE(findWindow(inner)->icon.size(), QSize(20, 20));
    }
};

VEXLO_TEST_MAIN(WindowListTest)
#include "tst_windowlist.moc"
