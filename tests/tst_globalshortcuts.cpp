// A recording driven without the window: the two shortcuts pressed in
// another program's window when the user asks for system-wide shortcuts, a
// combination another program holds, the tray menu of the test's tray host,
// and the desktop's GlobalShortcuts portal on the portal rig.
#include "app/mainwindow.h"
#include "core/settingsstore.h"

#include "helpers/xclient.h"
#include "support/modalanswerer.h"
#include "support/testportal.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDir>
#include <QKeySequenceEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace vexlo::test;

namespace {

constexpr xcb_keysym_t KeysymR = 'r';
constexpr uint16_t ControlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
const QString TakenText = QStringLiteral("快捷键 Ctrl+Alt+R 已被其他程序占用");
const QString NoServiceText = QStringLiteral("桌面没有提供全局快捷键服务");

bool xdotool(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

int recordingCount()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + "/Vexlo")
        .entryList(QDir::Files)
        .size();
}

QStringList visibleEntries(const QMenu *menu)
{
    QStringList entries;
    for (const QAction *action : menu->actions())
        if (action->isVisible())
            entries << action->text();
    return entries;
}

} // namespace

class GlobalShortcutsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    XClient x;
    xcb_window_t otherWindow = XCB_WINDOW_NONE;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    void startWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void showShortcutTab()
    {
        QVERIFY(activate(window.get()));
        QTest::keyClick(window.get(), Qt::Key_4, Qt::ControlModifier);
        auto *tabs = w<QWidget>("settingsPage")->findChild<QTabWidget *>("tabWidget");
        int tab = 0;
        while (tab < tabs->count() && !tabs->widget(tab)->isAncestorOf(w<QCheckBox>("globalShortcutCheck")))
            ++tab;
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
        QTRY_VERIFY(w<QCheckBox>("globalShortcutCheck")->isVisible());
    }

    // On its square: the box spans the page, its text does not.
    static void clickCheckBox(QCheckBox *box)
    {
        QVERIFY(box->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
    }

    // Another program's window takes the focus: keys typed go there unless
    // someone grabbed them.
    void focusOtherProgram()
    {
        QVERIFY(x.isConnected());
        if (otherWindow == XCB_WINDOW_NONE) {
            otherWindow = x.createWindow(QRect(1200, 600, 300, 200));
            x.watchKeys(otherWindow);
            x.map(otherWindow);
        }
        QVERIFY(xdotool({"windowactivate", "--sync", QString::number(otherWindow)}));
        QTRY_VERIFY(QApplication::activeWindow() == nullptr);
    }

    void press(const QString &keys)
    {
        x.keyPressesReceived();
        QVERIFY(xdotool({"key", keys}));
    }

    // The focused other program got the key: nobody grabbed it.
    bool otherProgramGot(xcb_keysym_t keysym)
    {
        const xcb_keycode_t code = x.keycodeOf(keysym);
        int received = 0;
        QTest::qWaitFor([&] { return (received += x.keyPressesReceived(code)) > 0; }, 30000);
        // The page has had its chance at the same press.
        QCoreApplication::processEvents();
        return received > 0;
    }

private slots:
    void init()
    {
        openSettingsStore()->clear();
        // Light recordings on a loaded machine.
        openSettingsStore()->setValue("Recording/frameRate", 10);
    }

    void cleanup() { window.reset(); }

    // Off, the keys belong to the focused program; on, they drive the
    // recording from there; while an editor has the focus it gets them;
    // cleared, they go back.
    void systemWideKeysDriveARecording()
    {
        startWindow();
        showShortcutTab();
        auto *box = w<QCheckBox>("globalShortcutCheck");
        auto *toggle = w<QToolButton>("toggleButton");
        auto *pause = w<QToolButton>("pauseButton");
        QVERIFY(!box->isChecked());

        focusOtherProgram();
        press("ctrl+alt+r");
        QVERIFY(otherProgramGot(KeysymR));
        QCOMPARE(toggle->text(), QStringLiteral("开始"));

        QVERIFY(activate(window.get()));
        clickCheckBox(box);
        QVERIFY(box->isChecked());
        QCOMPARE(openSettingsStore()->value("Shortcuts/global").toBool(), true);

        const int before = recordingCount();
        focusOtherProgram();
        press("ctrl+alt+r");
        QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("停止"), 10000);
        press("ctrl+alt+p");
        QTRY_VERIFY_WITH_TIMEOUT(pause->isChecked(), 10000);
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        press("ctrl+alt+p");
        QTRY_VERIFY_WITH_TIMEOUT(!pause->isChecked(), 10000);
        press("ctrl+alt+r");
        QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("开始"), 60000);
        QCOMPARE(recordingCount(), before + 1);
        // The grab took every press: the other program saw none of them.
        QCOMPARE(x.keyPressesReceived(x.keycodeOf(KeysymR)), 0);

        // Typed into an editor, the keys are the editor's: the new record
        // sequence equals pause's and is refused, and nothing starts.
        QVERIFY(activate(window.get()));
        ModalAnswerer answerer;
        auto *editor = w<QKeySequenceEdit>("pauseShortcutEdit");
        QTest::mouseClick(editor, Qt::LeftButton);
        QTRY_VERIFY(editor->hasFocus());
        QVERIFY(xdotool({"key", "ctrl+alt+r"}));
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, 10000);
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("不能使用与录制相同的快捷键"));
        QCOMPARE(toggle->text(), QStringLiteral("开始"));

        QVERIFY(activate(window.get()));
        clickCheckBox(box);
        QVERIFY(!box->isChecked());
        focusOtherProgram();
        press("ctrl+alt+r");
        QVERIFY(otherProgramGot(KeysymR));
        QCOMPARE(toggle->text(), QStringLiteral("开始"));
        QCOMPARE(openSettingsStore()->value("Shortcuts/global").toBool(), false);
    }

    // Another program holds Ctrl+Alt+R: one message, however often the
    // grabs are renewed, and the press stays that program's.
    void takenCombinationIsToldOnce()
    {
        XClient holder;
        QVERIFY(holder.grabKey(KeysymR, ControlAlt));
        openSettingsStore()->setValue("Shortcuts/global", true);
        ModalAnswerer answerer;
        startWindow();
        QTRY_COMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("冲突"));
        QCOMPARE(answerer.boxes().first().text, TakenText);

        showShortcutTab();
        auto *box = w<QCheckBox>("globalShortcutCheck");
        QVERIFY(box->isChecked());
        clickCheckBox(box);
        clickCheckBox(box);
        QTest::mouseClick(w<QKeySequenceEdit>("recordShortcutEdit"), Qt::LeftButton);
        clickCheckBox(box);
        clickCheckBox(box);
        QVERIFY(box->isChecked());
        // The press goes to the program that holds the keys.
        focusOtherProgram();
        press("ctrl+alt+r");
        int held = 0;
        QTRY_VERIFY_WITH_TIMEOUT((held += holder.keyPressesReceived(holder.keycodeOf(KeysymR))) > 0,
                                 30000);
        QCoreApplication::processEvents();
        QCOMPARE(w<QToolButton>("toggleButton")->text(), QStringLiteral("开始"));
        QCOMPARE(answerer.boxes().size(), 1);
    }

    // Hidden in the tray, the recording is paused, resumed and stopped from
    // the tray menu, opened on the icon in the tray host.
    void trayEntriesDriveARecording()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        openSettingsStore()->setValue("minimizeToTray", true);
        startWindow();
        auto *icon = window->findChild<QSystemTrayIcon *>();
        QVERIFY(icon != nullptr);
        QMenu *menu = icon->contextMenu();
        auto *toggle = w<QToolButton>("toggleButton");
        auto *pause = w<QToolButton>("pauseButton");

        const int before = recordingCount();
        QTest::mouseClick(toggle, Qt::LeftButton);
        QTRY_VERIFY(!window->isVisible());
        QTRY_VERIFY(icon->isVisible() && icon->geometry().topLeft() != QPoint(0, 0));

        const auto pick = [&](const QStringList &expected, const QString &entry) {
            const QPoint at = icon->geometry().center();
            QVERIFY(xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()),
                             "click", "3"}));
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(visibleEntries(menu), expected);
            QAction *action = nullptr;
            for (QAction *candidate : menu->actions())
                if (candidate->text() == entry)
                    action = candidate;
            QVERIFY(action != nullptr && action->isEnabled());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            QTRY_VERIFY(!menu->isVisible());
        };
        pick({"停止录制", "暂停录制", "恢复窗口", "退出"}, "暂停录制");
        QVERIFY(pause->isChecked());
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        pick({"停止录制", "继续录制", "恢复窗口", "退出"}, "继续录制");
        QVERIFY(!pause->isChecked());
        QCOMPARE(pause->text(), QStringLiteral("暂停"));
        pick({"停止录制", "暂停录制", "恢复窗口", "退出"}, "停止录制");
        QTRY_VERIFY(window->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("开始"), 60000);
        QCOMPARE(recordingCount(), before + 1);
        QCOMPARE(visibleEntries(menu), (QStringList{"开始录制", "恢复窗口", "退出"}));
    }

    // On the portal rig: the shortcuts are bound with their sequences as
    // preferred triggers, and the desktop's activations drive the recording.
    void portalActivationDrivesARecording()
    {
        if (!TestPortal::running())
            QSKIP("needs the portal rig (scripts/headless.sh --portal)");
        qputenv("XDG_SESSION_TYPE", "wayland");
        const auto restore = qScopeGuard([] { qputenv("XDG_SESSION_TYPE", "x11"); });
        // Recorded through X11, whatever capture a Wayland session would choose.
        qputenv("VEXLO_CAPTURE", "x11");
        const auto unforce = qScopeGuard([] { qunsetenv("VEXLO_CAPTURE"); });
        openSettingsStore()->setValue("Shortcuts/global", true);
        const int before = recordingCount();
        // A refused binding is told in a box: answered, and counted below.
        ModalAnswerer answerer;
        startWindow();
        TestPortal portal;
        QTRY_COMPARE_WITH_TIMEOUT(portal.boundShortcuts(),
                                  (QStringList{"pause=CTRL+ALT+p", "record=CTRL+ALT+r"}), 30000);
        auto *toggle = w<QToolButton>("toggleButton");
        auto *pause = w<QToolButton>("pauseButton");

        QCOMPARE(portal.activateShortcut("record"), 1);
        QTRY_COMPARE(toggle->text(), QStringLiteral("停止"));
        QCOMPARE(portal.activateShortcut("pause"), 1);
        QTRY_VERIFY(pause->isChecked());
        QCOMPARE(portal.activateShortcut("pause"), 1);
        QTRY_VERIFY(!pause->isChecked());
        QCOMPARE(portal.activateShortcut("record"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("开始"), 60000);
        QCOMPARE(recordingCount(), before + 1);

        // Cleared, the session goes and nothing is bound any more.
        showShortcutTab();
        clickCheckBox(w<QCheckBox>("globalShortcutCheck"));
        QTRY_COMPARE_WITH_TIMEOUT(portal.boundShortcuts(), QStringList(), 30000);
        QCOMPARE(answerer.boxes().size(), 0);
    }

    // Run on its own by tst_globalshortcuts_noportal, with no session bus.
    void withoutPortalTheBoxIsDisabled()
    {
        if (QDBusConnection::sessionBus().isConnected())
            QSKIP("a session bus answers; tst_globalshortcuts_noportal runs this without one");
        qputenv("XDG_SESSION_TYPE", "wayland");
        const auto restore = qScopeGuard([] { qputenv("XDG_SESSION_TYPE", "x11"); });
        openSettingsStore()->setValue("Shortcuts/global", true);
        startWindow();
        auto *box = w<QCheckBox>("globalShortcutCheck");
        QTRY_VERIFY(!box->isEnabled());
        QVERIFY(!box->isChecked());
        QCOMPARE(box->toolTip(), NoServiceText);
        // The choice stays stored for a desktop that offers the portal.
        QCOMPARE(openSettingsStore()->value("Shortcuts/global").toBool(), true);
    }
};

VEXLO_TEST_MAIN(GlobalShortcutsTest)
#include "tst_globalshortcuts.moc"
