// The settings store: defaults, the round trip through a restart, keys
// written at once, restoring defaults, the autostart entry, bad stored values
// and the recording shortcuts.
#include "app/mainwindow.h"
#include "app/pages/settingspage.h"
#include "core/settingsstore.h"
#include "platform/autostart.h"
#include "recorder/screenrecorder.h"

#include "support/modalanswerer.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QShortcut>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QStandardPaths>
#include <QToolButton>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vexlo::test;

namespace {

QString moviesVexlo()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + "/Vexlo";
}

QString storeFile()
{
    return openSettingsStore()->fileName();
}

// Splits an Exec= value as a desktop's launcher does: key-file string
// escapes first, then quoting, then the %% field code.
QStringList parseExec(const QString &value)
{
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == u's' ? QChar(u' ')
                         : next == u'n' ? QChar(u'\n')
                         : next == u't' ? QChar(u'\t')
                         : next == u'r' ? QChar(u'\r')
                                        : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList args;
    QString current;
    bool quoted = false, inArg = false;
    for (int i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < unescaped.size()) {
                current += unescaped[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = inArg = true;
        } else if (c == u' ') {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    for (QString &arg : args)
        arg.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}

QString execLine(const QString &entryPath)
{
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return QString();
}

// Child mode: a running main window whose options change, then is killed.
int runChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    window.findChild<QSlider *>("frameRateSlider")->setValue(12);
    auto *tray = window.findChild<QCheckBox *>("RecMinToTray");
    tray->setChecked(!tray->isChecked());
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    void restart()
    {
        window.reset();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void init()
    {
        // A blocker left by a failed test would break every later one.
        const QString storeDir = QFileInfo(storeFile()).absolutePath();
        if (QFileInfo(storeDir).isFile())
            QFile::remove(storeDir);
        openSettingsStore()->clear();
        QFile::remove(platform::autoStartEntryPath("Vexlo"));
        restart();
    }

    void cleanup() { window.reset(); }

    void emptyStoreGivesTheDefaults()
    {
        QCOMPARE(w<QComboBox>("recordModeCombo")->currentIndex(), 0);
        QCOMPARE(w<QComboBox>("qualityCombo")->currentIndex(), 1);
        QCOMPARE(w<QComboBox>("formatCombo")->currentIndex(), 0);
        QCOMPARE(w<QSlider>("frameRateSlider")->value(), 30);
        QCOMPARE(w<QLabel>("frameRateLabel")->text(), QStringLiteral("30 FPS"));
        QVERIFY(w<QCheckBox>("captureCursorCheck")->isChecked());
        QVERIFY(!w<QCheckBox>("highlightCheckBox")->isChecked());
        QVERIFY(!w<QCheckBox>("minimizeAfterRecordingCheck")->isChecked());
        QCOMPARE(w<QComboBox>("moueSizeCombo")->currentIndex(), 3);
        QVERIFY(!w<QCheckBox>("recordMicrophoneCheck")->isChecked());
        QVERIFY(!w<QCheckBox>("recordAudioCheck")->isChecked());
        QVERIFY(!w<QCheckBox>("watermarkCheck")->isChecked());
        QVERIFY(!w<QCheckBox>("watermarkImgCheck")->isChecked());
        QCOMPARE(w<QLineEdit>("watermarkTextEdit")->text(), QStringLiteral("Vexlo"));
        QCOMPARE(w<QComboBox>("watermarkPositionCombo")->currentIndex(), 2);
        QCOMPARE(w<QComboBox>("watermarkSize")->currentIndex(), 6);
        QCOMPARE(w<QLineEdit>("watermarkPath")->text(), QString());
        QCOMPARE(w<QLineEdit>("imageOpacityEdit")->text(), QStringLiteral("70"));
        QCOMPARE(w<QSlider>("watermarkSizeSlider")->value(), 80);
        QCOMPARE(w<QLabel>("watermarkSizeSliderShow")->text(), QStringLiteral("80%"));
        QVERIFY(!w<QCheckBox>("autoStartCheckBox")->isChecked());
        QVERIFY(!w<QCheckBox>("RecMinToTray")->isChecked());
        QCOMPARE(w<QLineEdit>("outputDirLabel")->text(), moviesVexlo());
        QCOMPARE(w<QLineEdit>("outputDirLabel")->toolTip(), moviesVexlo());
        QVERIFY(QFileInfo(moviesVexlo()).isDir());
        QCOMPARE(w<QKeySequenceEdit>("recordShortcutEdit")->keySequence(), QKeySequence("Ctrl+Alt+R"));
        QCOMPARE(w<QKeySequenceEdit>("pauseShortcutEdit")->keySequence(), QKeySequence("Ctrl+Alt+P"));
    }

    void everyOptionSurvivesARestart()
    {
        const QString folder = QDir(qEnvironmentVariable("HOME")).filePath("my recordings");
        QDir().mkpath(folder);
        w<QComboBox>("qualityCombo")->setCurrentIndex(3);
        w<QComboBox>("formatCombo")->setCurrentIndex(5);
        w<QSlider>("frameRateSlider")->setValue(45);
        w<QCheckBox>("captureCursorCheck")->setChecked(false);
        w<QCheckBox>("highlightCheckBox")->setChecked(true);
        w<QCheckBox>("minimizeAfterRecordingCheck")->setChecked(true);
        w<QComboBox>("moueSizeCombo")->setCurrentIndex(6);
        w<QCheckBox>("recordMicrophoneCheck")->setChecked(true);
        w<QCheckBox>("recordAudioCheck")->setChecked(true);
        w<QCheckBox>("watermarkImgCheck")->setChecked(true);
        w<QLineEdit>("watermarkTextEdit")->setText(QStringLiteral("水印 ABC"));
        w<QComboBox>("watermarkPositionCombo")->setCurrentIndex(4);
        w<QComboBox>("watermarkSize")->setCurrentIndex(1);
        w<QLineEdit>("watermarkPath")->setText(QStringLiteral("/tmp/logo.png"));
        w<QCheckBox>("autoStartCheckBox")->setChecked(true);
        w<QCheckBox>("RecMinToTray")->setChecked(true);
        // The folder dialog's answer.
        QVERIFY(QMetaObject::invokeMethod(window->findChild<SettingsPage *>(),
                                          "useChosenOutputDirectory", Q_ARG(QString, folder)));
        restart();

        QCOMPARE(w<QComboBox>("qualityCombo")->currentIndex(), 3);
        QCOMPARE(w<QComboBox>("formatCombo")->currentIndex(), 5);
        QCOMPARE(w<QSlider>("frameRateSlider")->value(), 45);
        QCOMPARE(w<QLabel>("frameRateLabel")->text(), QStringLiteral("45 FPS"));
        QVERIFY(!w<QCheckBox>("captureCursorCheck")->isChecked());
        QVERIFY(w<QCheckBox>("highlightCheckBox")->isChecked());
        QVERIFY(w<QCheckBox>("minimizeAfterRecordingCheck")->isChecked());
        QCOMPARE(w<QComboBox>("moueSizeCombo")->currentIndex(), 6);
        QVERIFY(w<QCheckBox>("recordMicrophoneCheck")->isChecked());
        QVERIFY(w<QCheckBox>("recordAudioCheck")->isChecked());
        QVERIFY(w<QCheckBox>("watermarkImgCheck")->isChecked());
        QVERIFY(!w<QCheckBox>("watermarkCheck")->isChecked());
        QCOMPARE(w<QLineEdit>("watermarkTextEdit")->text(), QStringLiteral("水印 ABC"));
        QCOMPARE(w<QComboBox>("watermarkPositionCombo")->currentIndex(), 4);
        QCOMPARE(w<QComboBox>("watermarkSize")->currentIndex(), 1);
        QCOMPARE(w<QLineEdit>("watermarkPath")->text(), QStringLiteral("/tmp/logo.png"));
        QVERIFY(w<QCheckBox>("autoStartCheckBox")->isChecked());
        QVERIFY(w<QCheckBox>("RecMinToTray")->isChecked());
        QCOMPARE(w<QLineEdit>("outputDirLabel")->text(), folder);

        // The file itself: keys under their groups, minimizeToTray at the top.
        QSettings file(storeFile(), QSettings::IniFormat);
        QCOMPARE(file.value("Recording/quality").toInt(), 3);
        QCOMPARE(file.value("Recording/frameRate").toInt(), 45);
        QCOMPARE(file.value("Mouse/sizeIndex").toInt(), 6);
        QCOMPARE(file.value("Audio/recordMicrophone").toBool(), true);
        QCOMPARE(file.value("Watermark/text").toString(), QStringLiteral("水印 ABC"));
        QCOMPARE(file.value("Watermark/color").value<QColor>(), QColor(Qt::red));
        QCOMPARE(file.value("General/outputDir").toString(), folder);
        QCOMPARE(file.value("minimizeToTray").toBool(), true);
        QVERIFY(!file.contains("General/minimizeToTray"));
        QCOMPARE(file.value("theme").toString(), QStringLiteral("light"));
        // Started with the system: the entry exists and names this program.
        window.reset();
        QVERIFY(QFile::exists(platform::autoStartEntryPath("Vexlo")));
        QCOMPARE(parseExec(execLine(platform::autoStartEntryPath("Vexlo"))),
                 QStringList{QCoreApplication::applicationFilePath()});
    }

    // Only minimizeToTray is written at once; everything else at a normal exit.
    void killedProcessKeepsOnlyWhatIsWrittenAtOnce()
    {
        window.reset();
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--child"});
        QVERIFY(child.waitForStarted(10000));
        QVERIFY(child.waitForReadyRead(30000));
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("ready"));
        child.kill();
        QVERIFY(child.waitForFinished(10000));

        const auto settings = openSettingsStore();
        QCOMPARE(settings->value("minimizeToTray").toBool(), true);
        // The child set 12; the store keeps what the last normal exit wrote.
        QCOMPARE(settings->value("Recording/frameRate").toInt(), 30);
    }

    // Text out of range stays in the edit and is what the store keeps.
    void opacityTextIsStoredAsTyped()
    {
        auto *edit = w<QLineEdit>("imageOpacityEdit");
        edit->setText(QStringLiteral("150"));
        QCOMPARE(edit->text(), QStringLiteral("150"));
        window.reset();
        QCOMPARE(openSettingsStore()->value("Watermark/imageOpacity").toString(), QStringLiteral("150"));
    }

    void resetAnsweredNoChangesNothing()
    {
        w<QSlider>("frameRateSlider")->setValue(50);
        window.reset();
        restart();
        QFile store(storeFile());
        QVERIFY(store.open(QIODevice::ReadOnly));
        const QByteArray before = store.readAll();
        store.close();

        ModalAnswerer answerer(QMessageBox::No);
        QTest::mouseClick(w<QPushButton>("resetButton"), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("重置确认"));
        QCOMPARE(w<QSlider>("frameRateSlider")->value(), 50);
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), before);
    }

    void resetClearsTheStoreAndTheAutostartEntry()
    {
        w<QCheckBox>("autoStartCheckBox")->setChecked(true);
        w<QCheckBox>("RecMinToTray")->setChecked(true);
        w<QSlider>("frameRateSlider")->setValue(50);
        w<QLineEdit>("watermarkTextEdit")->setText(QStringLiteral("gone"));
        restart();
        QVERIFY(QFile::exists(platform::autoStartEntryPath("Vexlo")));
        openSettingsStore()->setValue("waylandNoticeDismissed", true);

        ModalAnswerer answerer(QMessageBox::Yes);
        QTest::mouseClick(w<QPushButton>("resetButton"), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 2);
        QCOMPARE(answerer.boxes().at(1).title, QStringLiteral("重置成功"));
        QCOMPARE(answerer.boxes().at(1).icon, QMessageBox::Information);

        {
            const auto settings = openSettingsStore();
            QCOMPARE(settings->value("Shortcuts/record").toString(), QStringLiteral("Ctrl+Alt+R"));
            QCOMPARE(settings->value("Shortcuts/pause").toString(), QStringLiteral("Ctrl+Alt+P"));
            QCOMPARE(settings->value("minimizeToTray").toBool(), false);
            QVERIFY(!settings->contains("Recording/frameRate"));
            QVERIFY(!settings->contains("waylandNoticeDismissed"));
        }
        QCOMPARE(w<QSlider>("frameRateSlider")->value(), 30);
        QCOMPARE(w<QLineEdit>("watermarkTextEdit")->text(), QStringLiteral("Vexlo"));
        QCOMPARE(w<QSlider>("watermarkSizeSlider")->value(), 100);
        QVERIFY(!w<QCheckBox>("autoStartCheckBox")->isChecked());
        QCOMPARE(w<QLineEdit>("outputDirLabel")->text(), moviesVexlo());

        window.reset();
        QVERIFY(!QFile::exists(platform::autoStartEntryPath("Vexlo")));
    }

    void autostartEntryQuotesTheProgramPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("spaces") << "My Programs/Vexlo Recorder";
        QTest::newRow("quotes and dollar") << "it's \"here\" $HOME";
        QTest::newRow("backslash and backtick") << "back\\slash `tick`";
        QTest::newRow("percent") << "100% %f done";
    }

    // The entry, read back by a launcher's rules, starts the program it names.
    void autostartEntryQuotesTheProgramPath()
    {
        QFETCH(QString, folder);
        const QString dir = QDir(qEnvironmentVariable("HOME")).filePath(folder);
        QVERIFY(QDir().mkpath(dir));
        const QString program = dir + "/vexlo";
        const QString marker = QDir(qEnvironmentVariable("HOME")).filePath("started");
        QFile::remove(marker);
        {
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\ntouch \"$HOME/started\"\n");
        }
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY(platform::enableAutoStart("Vexlo", program));
        const QStringList args = parseExec(execLine(platform::autoStartEntryPath("Vexlo")));
        QCOMPARE(args, QStringList{program});
        QProcess launcher;
        launcher.start(args.first(), args.mid(1));
        QVERIFY(launcher.waitForFinished(10000));
        QVERIFY(QFile::exists(marker));
        platform::disableAutoStart("Vexlo");
        QVERIFY(!QFile::exists(platform::autoStartEntryPath("Vexlo")));
    }

    void badStoredValuesFallBackToTheDefaults_data()
    {
        QTest::addColumn<QString>("outputDir");
        QTest::newRow("folder is a URL") << "tcp://127.0.0.1:%1";
        QTest::newRow("folder is relative") << "relative/Vexlo";
        QTest::newRow("folder is empty") << "";
    }

    // Every stored number the widgets cannot show starts with its default and
    // is stored corrected at once; the output folder must be a local one.
    void badStoredValuesFallBackToTheDefaults()
    {
        QFETCH(QString, outputDir);
        // Where a URL would send the recording: nothing may arrive.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(listener, 4) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        if (outputDir.contains("%1"))
            outputDir = outputDir.arg(ntohs(address.sin_port));

        window.reset();
        {
            const auto settings = openSettingsStore();
            settings->setValue("Recording/mode", 7);
            settings->setValue("Recording/quality", 99);
            settings->setValue("Recording/format", -1);
            settings->setValue("Recording/frameRate", "fast");
            settings->setValue("Recording/captureCursor", "maybe");
            settings->setValue("Mouse/sizeIndex", -5);
            settings->setValue("Watermark/position", 5);
            settings->setValue("Watermark/sizeIndex", 42);
            settings->setValue("Watermark/color", "no colour");
            settings->setValue("Watermark/imageSize", 1000);
            settings->setValue("Watermark/imageOpacity", "lots");
            settings->setValue("General/outputDir", outputDir);
            settings->setValue("Shortcuts/record", "Garbage+++Keys");
            settings->setValue("Shortcuts/pause", "");
        }
        const int recordingsBefore = QDir(moviesVexlo()).entryList(QDir::Files).size();
        restart();
        QCOMPARE(w<QComboBox>("recordModeCombo")->currentIndex(), 0);
        QCOMPARE(w<QComboBox>("qualityCombo")->currentIndex(), 1);
        QCOMPARE(w<QComboBox>("formatCombo")->currentIndex(), 0);
        QCOMPARE(w<QSlider>("frameRateSlider")->value(), 30);
        QCOMPARE(w<QComboBox>("moueSizeCombo")->currentIndex(), 3);
        QCOMPARE(w<QComboBox>("watermarkPositionCombo")->currentIndex(), 2);
        QCOMPARE(w<QComboBox>("watermarkSize")->currentIndex(), 6);
        QCOMPARE(w<QLineEdit>("outputDirLabel")->text(), moviesVexlo());
        // No pause shortcut object for an empty stored sequence.
        QVERIFY(window->findChild<QShortcut *>("pauseShortcut") == nullptr);

        {
            // Corrected in the store itself, before any exit.
            QSettings file(storeFile(), QSettings::IniFormat);
            QCOMPARE(file.value("Recording/mode").toInt(), 0);
            QCOMPARE(file.value("Recording/quality").toInt(), 1);
            QCOMPARE(file.value("Recording/format").toInt(), 0);
            QCOMPARE(file.value("Recording/frameRate").toInt(), 30);
            QCOMPARE(file.value("Mouse/sizeIndex").toInt(), 3);
            QCOMPARE(file.value("Watermark/position").toInt(), 2);
            QCOMPARE(file.value("Watermark/sizeIndex").toInt(), 6);
            QCOMPARE(file.value("Watermark/color").value<QColor>(), QColor(Qt::red));
            QCOMPARE(file.value("Watermark/imageSize").toInt(), 100);
            QCOMPARE(file.value("Watermark/imageOpacity").toString(), QStringLiteral("70"));
            QCOMPARE(file.value("General/outputDir").toString(), moviesVexlo());
        }

        // A start records into the default folder with the defaults.
        auto *toggle = w<QToolButton>("toggleButton");
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QStringLiteral("停止"));
        QTest::qWait(500);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(toggle->isEnabled(), 30000);
        const QStringList files = QDir(moviesVexlo()).entryList(QDir::Files, QDir::Time);
        QCOMPARE(files.size(), recordingsBefore + 1);
        QVERIFY2(files.first().endsWith(".mp4"), qPrintable(files.first()));

        const int accepted = ::accept(listener, nullptr, nullptr);
        const int acceptError = errno;
        ::close(listener);
        QVERIFY2(accepted < 0 && (acceptError == EAGAIN || acceptError == EWOULDBLOCK),
                 "the recording went to the network");
        // No folder named after the refused value appears where the test runs.
        QVERIFY(!QFileInfo::exists(QDir::current().filePath("relative")));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath("tcp:")));
    }

    void chosenOutputFolderMustBeLocal_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("taken");
        QTest::newRow("network URL") << "sftp://example.org/videos" << false;
        QTest::newRow("relative") << "videos" << false;
        QTest::newRow("local folder") << "" << true;
    }

    // What the folder dialog hands back (a desktop's own dialog may give a URL).
    void chosenOutputFolderMustBeLocal()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, taken);
        if (chosen.isEmpty())
            chosen = QDir(qEnvironmentVariable("HOME")).filePath("chosen folder");
        ModalAnswerer answerer;
        QVERIFY(QMetaObject::invokeMethod(window->findChild<SettingsPage *>(), "useChosenOutputDirectory",
                                          Q_ARG(QString, chosen)));
        auto *recorder = window->findChild<ScreenRecorder *>();
        QCOMPARE(w<QLineEdit>("outputDirLabel")->text(), taken ? chosen : moviesVexlo());
        QCOMPARE(recorder->outputDirectory(), taken ? chosen : moviesVexlo());
        QCOMPARE(answerer.boxes().size(), taken ? 0 : 1);
        if (!taken) {
            QCOMPARE(answerer.boxes().first().icon, QMessageBox::Warning);
            QVERIFY(answerer.boxes().first().text.contains(chosen));
            QVERIFY(!QFileInfo::exists(QDir::current().filePath(chosen.section('/', 0, 0))));
        }
    }

    // A store that cannot be written is no error for the user; the recording
    // and everything else goes on.
    void unwritableStoreIsSilent()
    {
        window.reset();
        const QString storeDir = QFileInfo(storeFile()).absolutePath();
        QDir(storeDir).removeRecursively();
        QFile blocker(storeDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        ModalAnswerer answerer;
        LogCapture log;
        const int recordingsBefore = QDir(moviesVexlo()).entryList(QDir::Files).size();
        restart();
        w<QCheckBox>("RecMinToTray")->setChecked(true);
        w<QSlider>("frameRateSlider")->setValue(20);
        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        QTest::qWait(300);
        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        window.reset();
        QVERIFY(answerer.boxes().isEmpty());
        QVERIFY(log.contains(QtWarningMsg, "Settings could not be written: " + storeFile()));
        QCOMPARE(QDir(moviesVexlo()).entryList(QDir::Files).size(), recordingsBefore + 1);
    }

    void bothShortcutsEmptyIsAConflict()
    {
        ModalAnswerer answerer;
        w<QKeySequenceEdit>("recordShortcutEdit")->clear();
        w<QKeySequenceEdit>("pauseShortcutEdit")->clear();
        QTest::mouseClick(w<QPushButton>("saveShortButton"), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("冲突"));
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("录制和暂停快捷键不能相同"));
        QVERIFY(!openSettingsStore()->contains("Shortcuts/record"));
    }

    // An editor reports a finished edit on its release timer and on every
    // loss of focus; the box it opens takes the focus. One box per edit,
    // whichever report comes first, and again for the same keys typed again.
    void conflictingShortcutShowsOneBoxPerEdit_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("leaveBeforeTimer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QKeySequence>("kept");
        const QString takesPause = QStringLiteral("不能使用与暂停相同的快捷键");
        const QString takesRecord = QStringLiteral("不能使用与录制相同的快捷键");
        QTest::newRow("record, timer") << "recordShortcutEdit" << int(Qt::Key_P) << false
                                       << takesPause << QKeySequence("Ctrl+Alt+R");
        QTest::newRow("record, focus") << "recordShortcutEdit" << int(Qt::Key_P) << true
                                       << takesPause << QKeySequence("Ctrl+Alt+R");
        QTest::newRow("pause, timer") << "pauseShortcutEdit" << int(Qt::Key_R) << false
                                      << takesRecord << QKeySequence("Ctrl+Alt+P");
        QTest::newRow("pause, focus") << "pauseShortcutEdit" << int(Qt::Key_R) << true
                                      << takesRecord << QKeySequence("Ctrl+Alt+P");
    }

    void conflictingShortcutShowsOneBoxPerEdit()
    {
        QFETCH(QString, editor);
        QFETCH(int, key);
        QFETCH(bool, leaveBeforeTimer);
        QFETCH(QString, text);
        QFETCH(QKeySequence, kept);

        ModalAnswerer answerer;
        w<QToolButton>("menuButton")->click();
        w<QTabWidget>("tabWidget")->setCurrentIndex(2);
        auto *edit = window->findChild<QKeySequenceEdit *>(editor);
        auto *elsewhere = w<QPushButton>("saveShortButton");
        for (int typed = 1; typed <= 2; ++typed) {
            // After a box the window has the keyboard again only once the
            // window manager hands the focus back.
            QVERIFY(activate(window.get()));
            edit->setFocus();
            QTRY_VERIFY(edit->hasFocus());
            QTest::keyClick(edit, Qt::Key(key), Qt::ControlModifier | Qt::AltModifier);
            // The release timer runs for a second; this leaves well before.
            if (leaveBeforeTimer)
                elsewhere->setFocus();
            QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), typed, 30000);
            // Let the timer and the focus changes around the box play out.
            QTest::qWait(1500);
            QCOMPARE(answerer.boxes().size(), typed);
            QCOMPARE(answerer.boxes().last().title, QStringLiteral("冲突"));
            QCOMPARE(answerer.boxes().last().text, text);
            QCOMPARE(edit->keySequence(), kept);
        }
    }

    void leavingAnEditorWithoutTypingShowsNoBox()
    {
        // An empty stored pause shortcut used to pop "快捷键不能为空" on a tab.
        openSettingsStore()->setValue("Shortcuts/pause", QString());
        restart();
        ModalAnswerer answerer;
        QVERIFY(activate(window.get()));
        w<QToolButton>("menuButton")->click();
        w<QTabWidget>("tabWidget")->setCurrentIndex(2);
        auto *elsewhere = w<QPushButton>("saveShortButton");
        for (const char *name : {"recordShortcutEdit", "pauseShortcutEdit"}) {
            auto *edit = w<QKeySequenceEdit>(name);
            edit->setFocus();
            QTRY_VERIFY(edit->hasFocus());
            elsewhere->setFocus();
            QTRY_VERIFY(!edit->hasFocus());
        }
        QTest::qWait(1500);
        QVERIFY2(answerer.boxes().isEmpty(),
                 qPrintable(answerer.boxes().value(0).text));
        QCOMPARE(w<QKeySequenceEdit>("pauseShortcutEdit")->keySequence(), QKeySequence());
    }

    void savedShortcutsAreStored()
    {
        ModalAnswerer answerer;
        w<QKeySequenceEdit>("recordShortcutEdit")->setKeySequence(QKeySequence("Ctrl+Shift+F9"));
        QTest::mouseClick(w<QPushButton>("saveShortButton"), Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("保存成功"));
        QCOMPARE(openSettingsStore()->value("Shortcuts/record").toString(),
                 QStringLiteral("Ctrl+Shift+F9"));
        restart();
        QCOMPARE(w<QKeySequenceEdit>("recordShortcutEdit")->keySequence(),
                 QKeySequence("Ctrl+Shift+F9"));
    }

    void shortcutKeysDriveARecording()
    {
        QVERIFY(activate(window.get()));
        auto *toggle = w<QToolButton>("toggleButton");
        auto *pause = w<QToolButton>("pauseButton");

        // Pause does nothing while idle.
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!pause->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("开始"));

        QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(toggle->text(), QStringLiteral("停止"));
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(pause->isChecked());
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!pause->isChecked());
        QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("开始"), 30000);
        QVERIFY(!QDir(moviesVexlo()).entryList(QDir::Files).isEmpty());
    }
};

int main(int argc, char *argv[])
{
    // The child shares the parent's folders, which it inherits.
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    IsolatedHome home;
    quietFfmpeg();
    QApplication app(argc, argv);
    SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
