// Vexlo as a desktop program: what `cmake --install` puts in place and the
// validators say of it, the command line without a display, one instance
// per user and display, and the notice on a Wayland session.
#include "app/identity.h"
#include "core/settingsstore.h"
#include "app/startup.h"

#include "support/modalanswerer.h"
#include "support/runningprogram.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <QXmlStreamReader>

#include <csignal>

using namespace vexlo::test;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// No X server at all: a start that needed one would abort.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// The entries of a launcher file's [Desktop Entry] group, by key.
QHash<QString, QString> desktopEntry(const QString &path)
{
    QHash<QString, QString> entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const int equals = line.indexOf(u'=');
        if (equals > 0 && !line.startsWith(u'#'))
            entry.insert(line.left(equals), line.mid(equals + 1));
    }
    return entry;
}

// The two strings of a window's WM_CLASS: instance and class.
QStringList windowClass(const QString &window)
{
    const Run prop = run(QStringLiteral("xprop"), {"-id", window, "WM_CLASS"});
    QStringList parts;
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    for (auto match = quoted.globalMatch(prop.out); match.hasNext();)
        parts << match.next().captured(1);
    return parts;
}

// A window that ends the event loop once it is on screen and no modal box
// is open, after what start-up runs from the event loop once the window is
// exposed (that is queued before this window's check).
std::unique_ptr<QWidget> windowThatQuitsWhenIdle()
{
    auto window = std::make_unique<QWidget>();
    auto *quitter = new QTimer(window.get());
    quitter->setInterval(50);
    QObject::connect(quitter, &QTimer::timeout, window.get(), [w = window.get()] {
        if (w->windowHandle() == nullptr || !w->windowHandle()->isExposed())
            return;
        QTimer::singleShot(0, w, [] {
            if (QApplication::activeModalWidget() == nullptr)
                QApplication::quit();
        });
    });
    quitter->start();
    return window;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLineWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("errParts");
        const QString version = QStringLiteral("Vexlo 1.1.01.02\n");
        QTest::newRow("--version") << QStringList{"--version"} << "zh_CN" << 0 << version << QStringList();
        QTest::newRow("-v") << QStringList{"-v"} << "zh_CN" << 0 << version << QStringList();
        QTest::newRow("toolkit options, then --version")
            << QStringList{"-platform", "xcb", "-display", ":77", "-style", "fusion", "-name",
                           "rec", "-session", "1234abc", "--version"}
            << "zh_CN" << 0 << version << QStringList();
        QTest::newRow("unknown option")
            << QStringList{"--bogus"} << "zh_CN" << 2 << QString()
            << QStringList{"vexlo: 未知选项：--bogus\n", "用法：vexlo [选项]", "--version"};
        QTest::newRow("unknown single-dash option, English")
            << QStringList{"-x"} << "en_US" << 2 << QString()
            << QStringList{"vexlo: Unknown option: -x\n", "Usage: vexlo [options]"};
        QTest::newRow("toolkit option without its value")
            << QStringList{"-platform"} << "zh_CN" << 2 << QString()
            << QStringList{"选项缺少值：-platform", "用法："};
        QTest::newRow("an argument")
            << QStringList{"movie.mp4"} << "zh_CN" << 2 << QString()
            << QStringList{"多余的参数：movie.mp4", "用法："};
    }

    // --help and --version print and exit 0 with no X server; an unknown
    // option prints the usage and exits 2. The stored language is used.
    void commandLineWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, language);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QStringList, errParts);
        openSettingsStore()->setValue("language", language);
        const Run result = run(vexloBinary(), arguments, withoutDisplay());
        openSettingsStore()->remove("language");
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, out);
        for (const QString &part : errParts)
            QVERIFY2(result.err.contains(part), qPrintable(result.err));
        if (errParts.isEmpty())
            QCOMPARE(result.err, QString());
    }

    void helpWithoutADisplay_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("desktopLanguage");
        QTest::addColumn<QString>("desktopLocale");
        QTest::addColumn<QString>("usage");
        const QString simplified = QStringLiteral("用法：vexlo [选项]");
        const QString traditional = QStringLiteral("用法：vexlo [選項]");
        const QString english = QStringLiteral("Usage: vexlo [options]");
        QTest::newRow("zh_CN") << "zh_CN" << "" << "" << simplified;
        QTest::newRow("zh_TW") << "zh_TW" << "" << "" << traditional;
        QTest::newRow("en_US") << "en_US" << "" << "" << english;
        // Nothing stored: the desktop's language.
        QTest::newRow("desktop zh_HK") << "" << "zh_HK" << "" << traditional;
        QTest::newRow("desktop zh_MO, from its locale") << "" << "" << "zh_MO.UTF-8" << traditional;
        QTest::newRow("desktop zh_SG") << "" << "zh_SG:en" << "" << simplified;
        QTest::newRow("desktop de_DE") << "" << "de_DE" << "" << english;
        QTest::newRow("desktop C") << "" << "" << "C.UTF-8" << english;
        // A stored language wins over the desktop's.
        QTest::newRow("zh_CN stored, desktop en") << "zh_CN" << "en_US" << "" << simplified;
    }

    void helpWithoutADisplay()
    {
        QFETCH(QString, language);
        QFETCH(QString, desktopLanguage);
        QFETCH(QString, desktopLocale);
        QFETCH(QString, usage);
        if (!language.isEmpty())
            openSettingsStore()->setValue("language", language);
        QProcessEnvironment env = withoutDisplay();
        if (!desktopLanguage.isEmpty() || !desktopLocale.isEmpty()) {
            for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
                env.remove(QString::fromLatin1(name));
            if (!desktopLanguage.isEmpty())
                env.insert("LANGUAGE", desktopLanguage);
            env.insert("LANG", desktopLocale.isEmpty() ? QStringLiteral("C.UTF-8") : desktopLocale);
        }
        const Run result = run(vexloBinary(), {"--help"}, env);
        openSettingsStore()->remove("language");
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.startsWith(usage + u'\n'), qPrintable(result.out));
        for (const char *option : {"-h, --help", "-v, --version", "-platform", "-session"})
            QVERIFY2(result.out.contains(QLatin1String(option)), option);
        QCOMPARE(result.err, QString());
    }

    // Into a temporary DESTDIR with the package's prefix: every file in
    // place, the validators content, and the installed program runs, its
    // window of the class its launcher names.
    void installPutsEveryFileInPlace()
    {
        QTemporaryDir destdir;
        const QString buildDir = QFileInfo(vexloBinary()).absolutePath();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", destdir.path());
        const Run install = run("cmake", {"--install", buildDir, "--prefix", "/usr"}, env);
        QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));

        const QString id = vexlo::applicationId();
        QVERIFY(QRegularExpression(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)+\\.[A-Za-z0-9]+$"))
                    .match(id)
                    .hasMatch());
        const QString usr = destdir.path() + "/usr";
        const QString launcher = usr + "/share/applications/" + id + ".desktop";
        const QString metainfo = usr + "/share/metainfo/" + id + ".metainfo.xml";
        QStringList expected = {"/bin/vexlo", "/share/man/man1/vexlo.1.gz",
                                "/share/doc/vexlo/copyright", "/share/doc/vexlo/changelog.gz",
                                "/share/icons/hicolor/scalable/apps/" + id + ".svg"};
        for (const QString &file : expected)
            QVERIFY2(QFile::exists(usr + file), qPrintable(file));
        QVERIFY(QFileInfo(usr + "/bin/vexlo").isExecutable());

        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString png = QStringLiteral("%1/share/icons/hicolor/%2x%2/apps/%3.png").arg(usr).arg(size).arg(id);
            const QImage image(png);
            QCOMPARE(image.size(), QSize(size, size));
            // The icon's green square fills the middle; its corners are rounded off.
            QCOMPARE(image.pixelColor(size / 2, size / 4).alpha(), 255);
            QVERIFY(image.pixelColor(size / 2, size / 4).green() > 150);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }

        const Run desktopCheck = run("desktop-file-validate", {launcher});
        QVERIFY2(desktopCheck.exitCode == 0 && desktopCheck.out.isEmpty(),
                 qPrintable(desktopCheck.out + desktopCheck.err));
        const Run appstreamCheck = run("appstreamcli", {"validate", "--no-net", metainfo});
        QVERIFY2(appstreamCheck.exitCode == 0, qPrintable(appstreamCheck.out + appstreamCheck.err));
        const Run manCheck = run("man", {"--warnings", "-l", usr + "/share/man/man1/vexlo.1.gz"});
        QCOMPARE(manCheck.exitCode, 0);
        QCOMPARE(manCheck.err, QString());
        QVERIFY(manCheck.out.contains("--version"));

        const auto entry = desktopEntry(launcher);
        QCOMPARE(entry.value("Exec"), QStringLiteral("vexlo"));
        QCOMPARE(entry.value("Icon"), id);
        QVERIFY(entry.value("Categories").split(u';').contains("Recorder"));
        for (const char *key : {"Name", "Comment", "GenericName"})
            for (const char *locale : {"", "[zh_CN]", "[zh_TW]"})
                QVERIFY2(!entry.value(QLatin1String(key) + QLatin1String(locale)).isEmpty(), key);

        QFile xml(metainfo);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        QXmlStreamReader reader(&xml);
        QStringList ids, releases, screenshots;
        while (reader.readNextStartElement() || !reader.atEnd()) {
            if (!reader.isStartElement())
                continue;
            if (reader.name() == QLatin1String("id"))
                ids << reader.readElementText();
            else if (reader.name() == QLatin1String("release"))
                releases << reader.attributes().value("version").toString();
            else if (reader.name() == QLatin1String("image"))
                screenshots << reader.readElementText();
        }
        QCOMPARE(ids, QStringList{id});
        QCOMPARE(releases.value(0), vexlo::applicationVersion());
        QCOMPARE(screenshots.size(), 1);

        // The installed program, with no display and with one.
        const Run version = run(usr + "/bin/vexlo", {"--version"}, withoutDisplay());
        QCOMPARE(version.out, QStringLiteral("Vexlo 1.1.01.02\n"));
        RunningProgram installed;
        installed.process.start(usr + "/bin/vexlo", QStringList());
        QVERIFY(installed.process.waitForStarted(10000));
        const QString window = installed.waitForWindow(30000);
        QVERIFY2(!window.isEmpty(), "the installed program showed no window");
        const QStringList wmClass = windowClass(window);
        QCOMPARE(wmClass.size(), 2);
        QCOMPARE(wmClass.at(1), entry.value("StartupWMClass"));
        sendSignal(installed.process, SIGTERM);
        QVERIFY(installed.process.waitForFinished(30000));
    }

    // A second start hands over to the running one and ends; the running
    // window comes to the front. After a kill -9 the socket left behind
    // does not keep a new start from opening its window.
    void secondStartHandsOverAndAStaleSocketIsReplaced()
    {
        RunningProgram first;
        QVERIFY(first.start({"-platform", "xcb"}));
        const QString firstWindow = first.waitForWindow(30000);
        QVERIFY2(!firstWindow.isEmpty(), "-platform xcb: no window");

        QWidget other;
        other.setWindowTitle("other");
        other.resize(300, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QVERIFY(activate(&other));
        QCOMPARE(activeWindow(), QString::number(other.winId()));

        QProcess second;
        second.setProcessEnvironment(first.environment());
        second.start(vexloBinary(), QStringList());
        QVERIFY(second.waitForStarted(10000));
        QVERIFY2(second.waitForFinished(2000), "the second start did not end within 2 s");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), firstWindow, 10000);

        const QStringList sockets =
            QDir(first.runtimeFolder()).entryList({"*.socket"}, QDir::System | QDir::Files);
        QCOMPARE(sockets.size(), 1);
        QVERIFY(sockets.first().startsWith(vexlo::applicationId() + "-"));
        first.process.kill();
        QVERIFY(first.process.waitForFinished(10000));
        QVERIFY(QFileInfo::exists(first.runtimeFolder() + '/' + sockets.first()));

        QProcess third;
        third.setProcessEnvironment(first.environment());
        third.start(vexloBinary(), QStringList());
        QVERIFY(third.waitForStarted(10000));
        const QString thirdWindow = waitForVexloWindow(third.processId(), 30000);
        // The new start listens in place of the dead one: the next hands over.
        QProcess fourth;
        fourth.setProcessEnvironment(first.environment());
        fourth.start(vexloBinary(), QStringList());
        const bool handedOver = fourth.waitForFinished(30000) && fourth.exitCode() == 0;
        sendSignal(third, SIGTERM);
        third.waitForFinished(30000);
        QVERIFY2(!thirdWindow.isEmpty(), "no window after the stale socket");
        QVERIFY2(handedOver, "a start after the replaced socket did not hand over");
        QCOMPARE(third.exitCode(), 0);
    }

    // Hidden in the tray while it records, the running Vexlo comes back as on
    // a double click of its tray icon; the recording goes on.
    void secondStartBringsTheWindowBackFromTheTray()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        RunningProgram first;
        {
            QSettings store(first.storeFile(), QSettings::IniFormat);
            store.setValue("minimizeToTray", true);
        }
        QVERIFY(first.start());
        const QString window = first.waitForWindow(30000);
        QVERIFY(!window.isEmpty());
        QProcess::execute("xdotool", {"windowactivate", "--sync", window});
        QProcess::execute("xdotool", {"key", "--clearmodifiers", "ctrl+alt+r"});
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(first.recordingsFolder()).entryList(QDir::Files).isEmpty(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!isViewable(window), 15000);

        QProcess second;
        second.setProcessEnvironment(first.environment());
        second.start(vexloBinary(), QStringList());
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(isViewable(window), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), window, 10000);
        QCOMPARE(first.process.state(), QProcess::Running);

        sendSignal(first.process, SIGTERM);
        QVERIFY(first.process.waitForFinished(60000));
        QCOMPARE(first.process.exitCode(), 0);
    }

    void waylandNoticeUntilDismissed_data()
    {
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<QByteArray>("capture");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<int>("notices");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<bool>("dismissed");
        // One start after another, in this order, on one settings store.
        // Without a portal on the bus, window sharing is missing as well.
        const QStringList throughPortal = {"高亮鼠标点击", "X11 程序的窗口"};
        const QStringList throughX11 = {"X11", "黑色"};
        QTest::newRow("X11 session: nothing") << QByteArray("x11") << QByteArray() << false << 0
                                              << QStringList() << false;
        QTest::newRow("Wayland: told what differs") << QByteArray("wayland") << QByteArray()
                                                    << false << 1 << throughPortal << false;
        QTest::newRow("Wayland, X11 capture: told of the black") << QByteArray("wayland")
                                                                 << QByteArray("x11") << true << 1
                                                                 << throughX11 << true;
        QTest::newRow("Wayland: not after do not show again") << QByteArray("wayland")
                                                              << QByteArray() << false << 0
                                                              << QStringList() << true;
    }

    void waylandNoticeUntilDismissed()
    {
        QFETCH(QByteArray, session);
        QFETCH(QByteArray, capture);
        QFETCH(bool, tick);
        QFETCH(int, notices);
        QFETCH(QStringList, says);
        QFETCH(bool, dismissed);
        qputenv("XDG_SESSION_TYPE", session);
        qputenv("VEXLO_CAPTURE", capture);
        const auto restore = qScopeGuard([] {
            qputenv("XDG_SESSION_TYPE", "x11");
            qunsetenv("VEXLO_CAPTURE");
        });
        ModalAnswerer answerer;
        answerer.setTickCheckBox(tick);
        QCOMPARE(vexlo::runGuarded(*qApp, windowThatQuitsWhenIdle), 0);
        QCOMPARE(answerer.boxes().size(), notices);
        if (notices > 0) {
            const auto &box = answerer.boxes().first();
            QCOMPARE(box.icon, QMessageBox::Warning);
            QCOMPARE(box.title, QStringLiteral("Wayland 会话"));
            for (const QString &part : says)
                QVERIFY2(box.text.contains(part), qPrintable(box.text));
            QCOMPARE(box.checkBoxText, QStringLiteral("不再显示"));
        }
        QCOMPARE(openSettingsStore()->value("waylandNoticeDismissed", false).toBool(), dismissed);
    }
};

VEXLO_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
