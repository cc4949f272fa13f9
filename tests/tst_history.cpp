// The history page: what the recordings table lists and shows, how it
// follows the folder and a recording in progress, and what the row actions
// do to the files, the table and the desktop.
#include "app/mainwindow.h"
#include "app/pages/historypage.h"
#include "app/pages/durationprobes.h"
#include "core/settingsstore.h"

#include "support/fileaccesswatch.h"
#include "support/modalanswerer.h"
#include "support/popupmenu.h"
#include "support/runningprogram.h"
#include "support/testsupport.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTableWidget>
#include <QToolButton>

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include <sys/stat.h>
#include <utime.h>

extern "C" {
#include <libavutil/log.h>
}

using namespace vexlo::test;

namespace {

enum Column { Name, Size, Date, Duration, Format, Action };

constexpr int LongWait = 60000;
const QDateTime TenOClock(QDate(2026, 3, 2), QTime(10, 0));

bool runFfmpeg(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

bool makeVideo(const QString &path, const QString &seconds, const QString &codec = "mpeg4")
{
    return runFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=10:d=" + seconds, "-c:v", codec, path});
}

// A file of that size (a hole, no data) modified at that time.
bool makeFile(const QString &path, qint64 size, const QDateTime &modified = TenOClock)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size)
           && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + "/Vexlo";
}

// Sets a file's modification time without opening it (it may be another
// program's file).
bool age(const QString &path, int seconds)
{
    const qint64 when = QDateTime::currentSecsSinceEpoch() - seconds;
    const utimbuf times{time_t(when), time_t(when)};
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

bool mount(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("mount"), args) == 0;
}

// Follows every progress dialog that opens: the values it shows, and a hook
// run at each value.
class ProgressSpy : public QObject
{
public:
    ProgressSpy() { qApp->installEventFilter(this); }
    QList<int> values;
    std::function<void(QProgressDialog *, int)> onValue;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *dialog = qobject_cast<QProgressDialog *>(object);
        if (event->type() == QEvent::Show && dialog != nullptr && !dialog->property("spied").toBool()) {
            dialog->setProperty("spied", true);
            connect(dialog->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
                    [this, dialog](int value) {
                        if (value <= 0)
                            return;
                        values.append(value);
                        if (onValue)
                            onValue(dialog, value);
                    });
        }
        return false;
    }
};

void clickCancelLater(QProgressDialog *dialog)
{
    QMetaObject::invokeMethod(dialog, [dialog] { dialog->findChild<QPushButton *>()->click(); },
                              Qt::QueuedConnection);
}

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { openedUrls.append(url); }

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<MainWindow> window;
    QList<QUrl> openedUrls;

    QString dir() const { return folder->path(); }

    // The window on the history page, listing that folder (empty: the default one).
    bool openWindow(const QString &outputDir)
    {
        openSettingsStore()->setValue("General/outputDir", outputDir);
        window = std::make_unique<MainWindow>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        window->findChild<QToolButton *>("historyButton")->click();
        return true;
    }

    QTableWidget *table() const { return window->findChild<QTableWidget *>("recordingsTable"); }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < table()->rowCount(); ++row)
            texts.append(table()->item(row, c)->text());
        return texts;
    }

    QString cell(const QString &name, int c) const
    {
        const int row = column(Name).indexOf(name);
        return row < 0 ? QStringLiteral("<no row>") : table()->item(row, c)->text();
    }

    void rebuild() { QVERIFY(QMetaObject::invokeMethod(window->findChild<HistoryPage *>(), "updateRecordingsTable")); }

    QToolButton *rowButton(int row) const
    {
        return table()->cellWidget(row, Action)->findChild<QToolButton *>();
    }

    QRect rowRect(int row) const
    {
        return table()->visualRect(table()->model()->index(row, Name));
    }

    // The middle of a row's name, where the window system delivers clicks
    // (only clicks delivered there ask the toolkit for a context menu).
    QPoint rowInWindow(int row) const
    {
        return table()->viewport()->mapTo(window.get(), rowRect(row).center());
    }

    // Whatever opens a menu; then the entry is clicked as a user does.
    bool chooseFromMenu(const std::function<void()> &open, const QString &entry)
    {
        // Shared: a menu that never shows leaves the watch behind.
        const auto shownAndClicked = std::make_shared<QPair<bool, bool>>(false, false);
        const QPointer<QObject> watch = onNextMenu([shownAndClicked, entry](QMenu *menu) {
            shownAndClicked->first = true;
            shownAndClicked->second = clickMenuEntry(menu, entry);
        });
        open();
        const bool shown = QTest::qWaitFor([&] { return shownAndClicked->first; }, LongWait);
        delete watch;
        return shown && shownAndClicked->second;
    }

    // The row's ⋮ button, then the entry of the menu it opens.
    bool chooseFromRowMenu(int row, const QString &entry)
    {
        return chooseFromMenu([&] { QTest::mouseClick(rowButton(row), Qt::LeftButton); }, entry);
    }

    bool progressShown() const
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog *>(widget) != nullptr && widget->isVisible())
                return true;
        return false;
    }

    QStringList filesIn(const QString &path) const
    {
        QStringList names = QDir(path).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    // Files named 000.mp4, 001.mp4, ..., 000 the newest.
    QStringList makeSeries(const QString &path, int count)
    {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names.append(QStringLiteral("%1.mp4").arg(i, 3, 10, QLatin1Char('0')));
            if (!makeFile(path + "/" + names.last(), 100, TenOClock.addSecs(-60 * i)))
                return {};
        }
        return names;
    }

private slots:
    void initTestCase()
    {
        // Many listed files here are no media on purpose; their probes fail.
        av_log_set_level(AV_LOG_FATAL);
    }

    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        QDir(defaultFolder()).removeRecursively();
        QDir().mkpath(defaultFolder());
    }

    void cleanup()
    {
        window.reset();
        QDesktopServices::unsetUrlHandler("file");
        openedUrls.clear();
    }

    void listsTheRecordingsOfTheFolder()
    {
        QVERIFY(makeFile(dir() + "/older.mkv", 100, TenOClock));
        QVERIFY(makeFile(dir() + "/CLIP.MP4", 2048, TenOClock.addSecs(1800)));
        QVERIFY(makeFile(dir() + "/newer.webm", 100, TenOClock.addSecs(3600)));
        QVERIFY(makeFile(dir() + "/notes.txt", 100));
        QVERIFY(makeFile(dir() + "/.hidden.mp4", 100));
        QVERIFY(makeFile(dir() + "/demo.mp4", 0));
        QVERIFY(makeFile(dir() + "/fresh.mp4", 0, QDateTime::currentDateTime()));
        QVERIFY(QDir(dir()).mkdir("x.mp4"));
        QVERIFY(openWindow(dir()));

        QTRY_COMPARE(column(Name), (QStringList{"newer.webm", "CLIP.MP4", "older.mkv"}));
        QCOMPARE(column(Format), (QStringList{"WEBM", "MP4", "MKV"}));
        QCOMPARE(cell("CLIP.MP4", Size), QStringLiteral("2.0 KB"));
        QCOMPARE(cell("CLIP.MP4", Date), QStringLiteral("2026-03-02 10:30:00"));
        QCOMPARE(table()->item(1, Name)->data(Qt::UserRole).toString(), dir() + "/CLIP.MP4");
        // Empty for long: gone. Empty for a moment: kept, not listed.
        QVERIFY(!QFile::exists(dir() + "/demo.mp4"));
        QVERIFY(QFile::exists(dir() + "/fresh.mp4"));
        QVERIFY(QFile::exists(dir() + "/notes.txt"));
        QVERIFY(QFileInfo(dir() + "/x.mp4").isDir());

        QStringList headers;
        for (int c = 0; c < table()->columnCount(); ++c)
            headers.append(table()->horizontalHeaderItem(c)->text());
        QCOMPARE(headers, (QStringList{"文件名", "大小", "日期", "时长", "格式", "操作"}));

        QToolButton *button = rowButton(0);
        QCOMPARE(button->objectName(), QStringLiteral("rowMenuButton"));
        QCOMPARE(button->text(), QStringLiteral("\u22EE"));
        QCOMPARE(button->accessibleName(), QStringLiteral("更多操作"));
        const auto entries = std::make_shared<QStringList>();
        onNextMenu([entries](QMenu *menu) {
            *entries = menuEntryTexts(menu);
            menu->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(*entries, (QStringList{"播放", "打开位置", "剪辑…", "复制文件", "-", "删除", "删除所有"}));
    }

    void showsSizesInUnits()
    {
        const QList<QPair<qint64, QString>> sizes = {
            {1023, "1023 B"},       {1024, "1.0 KB"},   {1536, "1.5 KB"},
            {1048575, "1024.0 KB"}, {1048576, "1.0 MB"}, {1073741824, "1.0 GB"},
        };
        for (const auto &[bytes, text] : sizes)
            QVERIFY(makeFile(dir() + QStringLiteral("/%1.mp4").arg(bytes), bytes));
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE(table()->rowCount(), sizes.size());
        for (const auto &[bytes, text] : sizes)
            QCOMPARE(cell(QStringLiteral("%1.mp4").arg(bytes), Size), text);
    }

    void showsPlayingTimes()
    {
        QVERIFY(makeVideo(dir() + "/clip.mp4", "3.5"));
        QVERIFY(makeVideo(dir() + "/clip.webm", "1.5", "libvpx"));
        // One frame at 0 s and one at 359999 s, each lasting a second.
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16:r=1", "-frames:v", "2",
                           "-c:v", "mpeg4", "-bsf:v", "setts=pts=PTS*359999:dts=DTS*359999",
                           dir() + "/long.mkv"}));
        QVERIFY(makeVideo(dir() + "/whole.mp4", "3"));
        QFile truncated(dir() + "/whole.mp4");
        QVERIFY(truncated.resize(truncated.size() / 2));
        QVERIFY(truncated.rename(dir() + "/cut.mp4"));

        QVERIFY(openWindow(dir()));
        QTRY_COMPARE_WITH_TIMEOUT(cell("clip.mp4", Duration), QStringLiteral("00:00:03"), LongWait);
        QTRY_COMPARE_WITH_TIMEOUT(cell("clip.webm", Duration), QStringLiteral("00:00:01"), LongWait);
        QTRY_COMPARE_WITH_TIMEOUT(cell("long.mkv", Duration), QStringLiteral("100:00:00"), LongWait);
        QTRY_COMPARE_WITH_TIMEOUT(cell("cut.mp4", Duration), QStringLiteral("00:00:00"), LongWait);
    }

    // Both name a video outside the listed folder; a program that follows
    // them reads it.
    void playlistsNeverOpenTheFilesTheyName()
    {
        QVERIFY(QDir(dir()).mkdir("elsewhere"));
        const QString target = dir() + "/elsewhere/target.mp4";
        QVERIFY(makeVideo(target, "2"));
        QVERIFY(writeText(dir() + "/playlist.mp4", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n"
                                                   "#EXTINF:2.0,\nelsewhere/target.mp4\n#EXT-X-ENDLIST\n"));
        QVERIFY(writeText(dir() + "/concat.mp4", "ffconcat version 1.0\nfile elsewhere/target.mp4\n"));

        FileAccessWatch watch(target);
        QVERIFY(watch.isValid());
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE_WITH_TIMEOUT(cell("playlist.mp4", Duration), QStringLiteral("00:00:00"), LongWait);
        QTRY_COMPARE_WITH_TIMEOUT(cell("concat.mp4", Duration), QStringLiteral("00:00:00"), LongWait);
        QCOMPARE(column(Name), (QStringList{"concat.mp4", "playlist.mp4"}));
        QCOMPARE(watch.takeAccesses(), 0);

        // The same files make an ordinary probe read the target.
        for (const char *list : {"/playlist.mp4", "/concat.mp4"}) {
            QProcess::execute("ffprobe", {"-v", "quiet", dir() + list});
            QVERIFY2(watch.takeAccesses() > 0, list);
        }
    }

    // Unchanged rows keep their widgets; a moved or changed file is shown anew.
    void rebuildFollowsTheFolderLeavingUnchangedRowsAlone()
    {
        QVERIFY(makeFile(dir() + "/a.mp4", 100, TenOClock));
        QVERIFY(makeFile(dir() + "/b.mp4", 100, TenOClock.addSecs(600)));
        QVERIFY(makeVideo(dir() + "/c.mp4", "3.5"));
        QFile c(dir() + "/c.mp4");
        QVERIFY(c.open(QIODevice::ReadWrite));
        QVERIFY(c.setFileTime(TenOClock.addSecs(1200), QFileDevice::FileModificationTime));
        c.close();
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE(column(Name), (QStringList{"c.mp4", "b.mp4", "a.mp4"}));
        QTRY_COMPARE_WITH_TIMEOUT(cell("c.mp4", Duration), QStringLiteral("00:00:03"), LongWait);
        const QPointer<QWidget> cWidget = table()->cellWidget(0, Action);
        const QPointer<QWidget> bWidget = table()->cellWidget(1, Action);
        const QPointer<QWidget> aWidget = table()->cellWidget(2, Action);

        QVERIFY(makeFile(dir() + "/d.mp4", 100, TenOClock.addSecs(3600)));
        rebuild();
        QTRY_COMPARE(column(Name), (QStringList{"d.mp4", "c.mp4", "b.mp4", "a.mp4"}));
        QCOMPARE(table()->cellWidget(1, Action), cWidget.data());
        QCOMPARE(table()->cellWidget(3, Action), aWidget.data());

        QFile a(dir() + "/a.mp4");
        QVERIFY(a.open(QIODevice::ReadWrite));
        QVERIFY(a.setFileTime(TenOClock.addSecs(7200), QFileDevice::FileModificationTime));
        a.close();
        QVERIFY(QFile::remove(dir() + "/d.mp4"));
        rebuild();
        QTRY_COMPARE(column(Name), (QStringList{"a.mp4", "c.mp4", "b.mp4"}));
        QCOMPARE(table()->cellWidget(1, Action), cWidget.data());
        QCOMPARE(table()->cellWidget(2, Action), bWidget.data());
        QTRY_VERIFY(aWidget.isNull());

        // Same name, other contents: the playing time is read again.
        QVERIFY(QFile::remove(dir() + "/c.mp4"));
        QVERIFY(makeVideo(dir() + "/c.mp4", "1.5"));
        rebuild();
        QTRY_COMPARE_WITH_TIMEOUT(cell("c.mp4", Duration), QStringLiteral("00:00:01"), LongWait);
    }

    void watchedFolderIsFollowed()
    {
        QVERIFY(openWindow(QString()));
        QCOMPARE(table()->rowCount(), 0);
        QVERIFY(makeFile(defaultFolder() + "/1.mp4", 100));
        QTRY_COMPARE(table()->rowCount(), 1);
        // Changes within the second after a rebuild: one more rebuild at its end.
        for (const char *name : {"2.mp4", "3.mp4", "4.mp4"}) {
            QVERIFY(makeFile(defaultFolder() + "/" + QLatin1String(name), 100));
            QTest::qWait(20);
        }
        QVERIFY(makeFile(defaultFolder() + "/empty.mp4", 0));
        QTRY_COMPARE(table()->rowCount(), 4);
        QTRY_VERIFY(!QFile::exists(defaultFolder() + "/empty.mp4"));
        QVERIFY(QFile::remove(defaultFolder() + "/2.mp4"));
        QTRY_COMPARE(column(Name), (QStringList{"1.mp4", "3.mp4", "4.mp4"}));
    }

    // The recorder's file, empty on disk for long enough for the clean-up
    // (a paused recording whose container holds back its header), is spared;
    // it is never opened, neither delete removes it, and it shows its playing
    // time once the recorder reports it finished.
    void recordingInProgressKeepsItsFile()
    {
        {
            const auto settings = openSettingsStore();
            settings->setValue("Recording/quality", 3);
            settings->setValue("Recording/frameRate", 10);
            settings->setValue("Recording/format", 3);
        }
        QVERIFY(openWindow(QString()));
        ModalAnswerer answerer(QMessageBox::Ok);
        auto *toggle = window->findChild<QToolButton *>("toggleButton");
        auto *pause = window->findChild<QToolButton *>("pauseButton");
        toggle->click();
        pause->click();
        const QStringList files = filesIn(defaultFolder());
        QCOMPARE(files.size(), 1);
        const QString name = files.first();
        const QString path = defaultFolder() + "/" + name;

        // What the paused recorder wrote is put aside while the file is empty
        // and an hour old, then put back before it writes on.
        QFile recorded(path);
        QVERIFY(recorded.open(QIODevice::ReadWrite));
        const QByteArray header = recorded.readAll();
        QVERIFY(recorded.resize(0));
        QVERIFY(age(path, 3600));
        FileAccessWatch watch(path);
        QVERIFY(watch.isValid());
        rebuild();
        QVERIFY(QFile::exists(path));
        QVERIFY2(QFileInfo(path).size() == 0, "the paused recorder wrote on");
        QVERIFY(recorded.seek(0) && recorded.write(header) == header.size());
        recorded.close();

        pause->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > header.size(), LongWait);
        rebuild();
        QTRY_COMPARE(cell(name, Duration), QStringLiteral("00:00:00"));
        QCOMPARE(watch.takeAccesses(), 0);

        // Neither delete removes it.
        answerer.setAnswer(QMessageBox::Yes);
        QVERIFY(chooseFromRowMenu(0, "删除"));
        QTRY_COMPARE(answerer.boxes().size(), 2);
        QVERIFY(chooseFromRowMenu(0, "删除所有"));
        QTRY_COMPARE(answerer.boxes().size(), 4);
        QVERIFY(QFile::exists(path));
        QCOMPARE(column(Name), QStringList{name});
        QCOMPARE(answerer.boxes().at(1).text, "这个文件正在录制，无法删除：" + name);
        QCOMPARE(answerer.boxes().at(3).text, "1 个文件未能删除：\n" + name + ": 正在录制");

        toggle->click();
        QTRY_VERIFY_WITH_TIMEOUT(cell(name, Duration) != "00:00:00" && !cell(name, Duration).isEmpty(),
                                 LongWait);
        QVERIFY2(QRegularExpression("^00:0\\d:\\d\\d$").match(cell(name, Duration)).hasMatch(),
                 qPrintable(cell(name, Duration)));
        QCOMPARE(answerer.boxes().size(), 4);
    }

    // Another program's file may stay empty for a while: it is neither
    // listed nor removed, and what it writes later is there.
    void anotherWritersEmptyFileIsKept()
    {
        QVERIFY(openWindow(QString()));
        QFile other(defaultFolder() + "/copy.mp4");
        QVERIFY(other.open(QIODevice::WriteOnly));
        QVERIFY(makeFile(defaultFolder() + "/a.mp4", 100));
        QTRY_COMPARE(column(Name), QStringList{"a.mp4"});
        QVERIFY(makeFile(defaultFolder() + "/b.mp4", 100));
        QTRY_COMPARE(column(Name), (QStringList{"a.mp4", "b.mp4"}));

        const QByteArray data(4096, 'v');
        QCOMPARE(other.write(data), data.size());
        other.close();
        QFile written(defaultFolder() + "/copy.mp4");
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), data);
    }

    // Only links to regular files are listed; no link is ever removed, nor
    // what it points to.
    void symlinksAreListedOnlyToRegularFiles()
    {
        QVERIFY(makeFile(dir() + "/real.mp4", 100));
        QVERIFY(makeFile(dir() + "/empty.mp4", 0));
        QVERIFY(QFile::link("/dev/zero", defaultFolder() + "/y.mp4"));
        QVERIFY(QFile::link(dir() + "/real.mp4", defaultFolder() + "/z.mp4"));
        QVERIFY(QFile::link(dir() + "/empty.mp4", defaultFolder() + "/e.mp4"));
        QVERIFY(QFile::link(dir(), defaultFolder() + "/d.mp4"));
        QVERIFY(QFile::link(dir() + "/gone.mp4", defaultFolder() + "/g.mp4"));
        QVERIFY(openWindow(QString()));
        QTRY_COMPARE(column(Name), QStringList{"z.mp4"});
        QVERIFY(makeFile(defaultFolder() + "/new.mp4", 100, QDateTime::currentDateTime()));
        QTRY_COMPARE(column(Name), (QStringList{"new.mp4", "z.mp4"}));
        for (const char *link : {"/y.mp4", "/z.mp4", "/e.mp4", "/d.mp4", "/g.mp4"})
            QVERIFY2(QFileInfo(defaultFolder() + link).isSymLink(), link);
        QVERIFY(QFile::exists(dir() + "/empty.mp4"));
    }

    // Another program puts a FIFO in a listed file's place at the moment the
    // probe opens it: the probes go on with the other files, and the program
    // still ends at once on SIGTERM.
    void fileSwappedForAFifoHoldsNothingUp()
    {
        RunningProgram program;
        const QString folder = program.recordingsFolder();
        QVERIFY(QDir().mkpath(folder));
        for (const char *name : {"/a.mp4", "/b.mp4"}) {
            QVERIFY(makeFile(folder + name, 100, QDateTime::currentDateTime()));
            QCOMPARE(::mkfifo(QFile::encodeName(folder + name + ".fifo").constData(), 0600), 0);
        }
        QVERIFY(makeVideo(folder + "/c.mp4", "1"));
        QVERIFY(age(folder + "/c.mp4", 3600));
        FileAccessWatch probed(folder + "/c.mp4");
        QVERIFY(probed.isValid());

        QProcessEnvironment env = program.environment();
        env.insert("LD_PRELOAD", VEXLO_OPEN_SWAP);
        env.insert("VEXLO_SWAP_DIR", folder);
        program.process.setProcessEnvironment(env);
        QVERIFY(program.start());
        QVERIFY(!program.waitForWindow(LongWait).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(folder + "/a.mp4.fifo")
                                     && !QFile::exists(folder + "/b.mp4.fifo"),
                                 LongWait);
        int accesses = 0;
        QTRY_VERIFY_WITH_TIMEOUT((accesses += probed.takeAccesses()) > 0, LongWait);

        sendSignal(program.process, SIGTERM);
        QVERIFY(program.process.waitForFinished(20000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
    }

    // A probe stuck in the kernel (a hung network mount) holds up quitting
    // for a second at most; it ends later without harm.
    void quittingLeavesAStuckProbeBehind()
    {
        QSemaphore started;
        QSemaphore unblock;
        std::atomic<bool> finished{false};
        auto probes = std::make_unique<DurationProbes>([&](const QString &) {
            started.release();
            unblock.acquire();
            finished = true;
            return QStringLiteral("00:00:01");
        });
        QSignalSpy answers(probes.get(), &DurationProbes::probed);
        probes->request("/stuck.mp4", 1, TenOClock);
        QVERIFY(started.tryAcquire(1, LongWait));
        // Unblocks it after a while in any case, so that a destructor that
        // waits for it returns (and the check below fails).
        QSemaphore destroyed;
        std::thread fallback([&] {
            if (!destroyed.tryAcquire(1, 10000))
                unblock.release();
        });
        probes.reset();
        const bool stillRunning = !finished;
        destroyed.release();
        fallback.join();
        unblock.release();
        QVERIFY(stillRunning);
        QTRY_VERIFY(finished);
        QTest::qWait(100);
        QCOMPARE(answers.size(), 0);
    }

    void rowActionsThroughTheirMenuAndKeys()
    {
        const QStringList names = makeSeries(dir(), 5);
        QVERIFY(!names.isEmpty());
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        QVERIFY(openWindow(dir()));
        QVERIFY(activate(window.get()));
        QTRY_COMPARE(column(Name), names);
        const auto url = [&](const QString &name) { return QUrl::fromLocalFile(dir() + "/" + name); };

        QVERIFY(chooseFromRowMenu(0, "播放"));
        QVERIFY(chooseFromRowMenu(0, "打开位置"));
        QTRY_COMPARE(openedUrls, (QList<QUrl>{url(names[0]), QUrl::fromLocalFile(dir())}));
        QVERIFY(chooseFromMenu(
            [&] { QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, rowInWindow(2)); },
            "播放"));
        QTRY_COMPARE(openedUrls.size(), 3);
        QCOMPARE(openedUrls.last(), url(names[2]));
        QCOMPARE(table()->currentRow(), 2);
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, rowInWindow(3));
        QTRY_COMPARE(openedUrls.size(), 4);
        QCOMPARE(openedUrls.last(), url(names[3]));
        QVERIFY(chooseFromMenu([&] { QTest::keyClick(table(), Qt::Key_Menu); }, "播放"));
        QTRY_COMPARE(openedUrls.size(), 5);
        QCOMPARE(openedUrls.last(), url(names[3]));

        ModalAnswerer answerer(QMessageBox::No);
        QVERIFY(chooseFromRowMenu(1, "删除"));
        QTRY_COMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().last().title, QStringLiteral("删除文件"));
        QCOMPARE(answerer.boxes().last().text, "确定要删除这个录制文件吗？\n" + names[1]);
        QCOMPARE(filesIn(dir()), names);
        QCOMPARE(column(Name), names);

        answerer.setAnswer(QMessageBox::Yes);
        QVERIFY(chooseFromRowMenu(1, "删除"));
        QTRY_COMPARE(column(Name), (QStringList{names[0], names[2], names[3], names[4]}));
        // The current row is still the fourth file's: the Delete key takes it.
        QVERIFY(activate(window.get()));
        QTest::keyClick(table(), Qt::Key_Delete);
        QTRY_COMPARE(column(Name), (QStringList{names[0], names[2], names[4]}));
        QCOMPARE(answerer.boxes().at(2).text, "确定要删除这个录制文件吗？\n" + names[3]);
        QVERIFY(activate(window.get()));
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, rowInWindow(0));
        QVERIFY(chooseFromMenu([&] { QTest::keyClick(table(), Qt::Key_F10, Qt::ShiftModifier); },
                               "删除"));
        QTRY_COMPARE(column(Name), (QStringList{names[2], names[4]}));
        QCOMPARE(answerer.boxes().size(), 4);
        QCOMPARE(answerer.boxes().at(3).text, "确定要删除这个录制文件吗？\n" + names[0]);
        QCOMPARE(filesIn(dir()), column(Name));
    }

    void deletingAGoneFileSaysSo()
    {
        QVERIFY(!makeSeries(dir(), 2).isEmpty());
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE(table()->rowCount(), 2);
        QVERIFY(QFile::remove(dir() + "/000.mp4"));
        ModalAnswerer answerer(QMessageBox::Yes);
        QVERIFY(chooseFromRowMenu(0, "删除"));
        QTRY_COMPARE(answerer.boxes().size(), 2);
        QCOMPARE(answerer.boxes().at(1).text, QStringLiteral("文件已不存在：000.mp4"));
        QTRY_COMPARE(column(Name), QStringList{"001.mp4"});
    }

    void filesThatCannotBeRemovedStayListed()
    {
        const QString mountPoint = dir() + "/readonly";
        QVERIFY(QDir().mkpath(mountPoint));
        if (!mount({"-t", "tmpfs", "-o", "size=1m", "tmpfs", mountPoint}))
            QSKIP("mount refused a tmpfs here (needs root in a namespace that may mount)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint}); });
        const QStringList names = makeSeries(mountPoint, 3);
        QVERIFY(!names.isEmpty());
        QVERIFY(mount({"-o", "remount,ro", mountPoint}));

        QVERIFY(openWindow(mountPoint));
        QTRY_COMPARE(column(Name), names);
        ModalAnswerer answerer(QMessageBox::Yes);
        QVERIFY(chooseFromRowMenu(1, "删除"));
        QTRY_COMPARE(answerer.boxes().size(), 2);
        QVERIFY2(answerer.boxes().at(1).text.startsWith("无法删除文件 001.mp4："),
                 qPrintable(answerer.boxes().at(1).text));
        QCOMPARE(column(Name), names);

        QVERIFY(chooseFromRowMenu(0, "删除所有"));
        QTRY_COMPARE(answerer.boxes().size(), 4);
        const ModalAnswerer::Box summary = answerer.boxes().at(3);
        QCOMPARE(summary.title, QStringLiteral("清空所有"));
        QVERIFY2(summary.text.startsWith("3 个文件未能删除：\n000.mp4: "), qPrintable(summary.text));
        QCOMPARE(column(Name), names);
        QCOMPARE(filesIn(mountPoint), names);
    }

    void deletesAllRecordings()
    {
        const QStringList names = makeSeries(dir(), 3);
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE(column(Name), names);

        ModalAnswerer answerer(QMessageBox::No);
        QVERIFY(chooseFromRowMenu(2, "删除所有"));
        QTRY_COMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().at(0).title, QStringLiteral("清空所有"));
        QCOMPARE(answerer.boxes().at(0).text, QStringLiteral("确定要删除所有录制文件并清空列表吗？"));
        QCOMPARE(column(Name), names);

        ProgressSpy progress;
        answerer.setAnswer(QMessageBox::Yes);
        QVERIFY(chooseFromRowMenu(2, "删除所有"));
        QTRY_COMPARE(filesIn(dir()), QStringList());
        QTRY_COMPARE(table()->rowCount(), 0);
        QCOMPARE(progress.values, (QList<int>{1, 2, 3}));
        QCOMPARE(answerer.boxes().size(), 2);
        auto *empty = table()->findChild<QLabel *>("emptyHistoryLabel");
        QVERIFY(empty != nullptr && empty->isVisible());
        QCOMPARE(empty->text(), QStringLiteral("还没有录制文件"));
    }

    // In the watched folder every deletion is reported while the worker
    // runs: the table stands still until it ends, then shows the folder.
    void deleteAllFromTheRowMenuInTheWatchedFolder()
    {
        const QStringList names = makeSeries(defaultFolder(), 30);
        QVERIFY(openWindow(QString()));
        QTRY_COMPARE(column(Name), names);

        ModalAnswerer answerer(QMessageBox::Yes);
        ProgressSpy progress;
        QStringList shownWhileDeleting;
        progress.onValue = [&](QProgressDialog *, int value) {
            if (value == 5)
                QVERIFY(makeFile(defaultFolder() + "/late.mp4", 100, TenOClock.addSecs(60)));
            if (value == 25)
                shownWhileDeleting = column(Name);
        };
        // The first row's file goes first: the watcher reports it at once.
        QVERIFY(chooseFromRowMenu(0, "删除所有"));
        QTRY_COMPARE_WITH_TIMEOUT(filesIn(defaultFolder()), QStringList{"late.mp4"}, LongWait);
        QTRY_VERIFY(!progressShown());
        QTRY_COMPARE(column(Name), QStringList{"late.mp4"});
        // The page goes on following the folder.
        QVERIFY(makeFile(defaultFolder() + "/after.mp4", 100, TenOClock.addSecs(120)));
        QTRY_COMPARE(column(Name), (QStringList{"after.mp4", "late.mp4"}));
        QCOMPARE(shownWhileDeleting, names);
    }

    void cancelKeepsTheRest()
    {
        const QStringList names = makeSeries(dir(), 300);
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 300, LongWait);

        ModalAnswerer answerer(QMessageBox::Yes);
        ProgressSpy progress;
        progress.onValue = [](QProgressDialog *dialog, int value) {
            if (value == 1)
                clickCancelLater(dialog);
        };
        QVERIFY(chooseFromRowMenu(0, "删除所有"));
        QTRY_VERIFY(!progress.values.isEmpty());
        QTRY_VERIFY(!progressShown());
        const QStringList left = filesIn(dir());
        QVERIFY2(!left.isEmpty() && left.size() < names.size(), qPrintable(QString::number(left.size())));
        // The worker goes from the top row down: what is left is the bottom.
        QCOMPARE(left, names.mid(names.size() - left.size()));
        QTRY_COMPARE(column(Name), left);
    }

    // A long name is cut in its middle; the other columns keep their text
    // whole on one line and the ⋮ button stays in view. An empty folder says so.
    void longNamesLeaveTheOtherColumnsInView()
    {
        QVERIFY(openWindow(QString()));
        auto *empty = table()->findChild<QLabel *>("emptyHistoryLabel");
        QVERIFY(empty != nullptr);
        QTRY_VERIFY(empty->isVisible());
        QCOMPARE(empty->text(), QStringLiteral("还没有录制文件"));
        const QPoint offCentre = empty->mapToGlobal(empty->rect().center())
                                 - table()->viewport()->mapToGlobal(table()->viewport()->rect().center());
        QVERIFY2(offCentre.manhattanLength() <= 4, qPrintable(QString::number(offCentre.manhattanLength())));

        const QString name = QString("录像").repeated(40) + "_end.mp4";
        QVERIFY(makeFile(defaultFolder() + "/" + name, 1536));
        QTRY_COMPARE(column(Name), QStringList{name});
        QTRY_VERIFY(!empty->isVisible());
        QCOMPARE(table()->item(0, Name)->toolTip(), name);
        const QFontMetrics metrics(table()->font());
        QVERIFY(table()->columnWidth(Name) < metrics.horizontalAdvance(name));
        for (int c = Size; c <= Format; ++c)
            QVERIFY2(table()->columnWidth(c) > metrics.horizontalAdvance(table()->item(0, c)->text()),
                     qPrintable(table()->item(0, c)->text()));
        const QRect button(rowButton(0)->mapTo(table()->viewport(), QPoint()), rowButton(0)->size());
        QVERIFY(table()->viewport()->rect().contains(button));
    }

    // The tray menu can quit while delete-all runs: the worker stops, and
    // nothing is deleted after the call has returned. Runs last: the quit
    // request stays set and would end the event loops of any later test.
    void quittingDuringDeleteAllStopsTheWorker()
    {
        const QStringList names = makeSeries(dir(), 300);
        QVERIFY(openWindow(dir()));
        QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 300, LongWait);
        ModalAnswerer answerer(QMessageBox::Yes);
        ProgressSpy progress;
        progress.onValue = [](QProgressDialog *, int value) {
            if (value == 1)
                QCoreApplication::exit(0);
        };
        QVERIFY(chooseFromRowMenu(0, "删除所有"));
        QTRY_VERIFY(!progress.values.isEmpty());
        QTRY_VERIFY(!progressShown());
        const QStringList left = filesIn(dir());
        QVERIFY2(!left.isEmpty() && left.size() < names.size(), qPrintable(QString::number(left.size())));
        QTest::qWait(500);
        QCOMPARE(filesIn(dir()), left);
    }
};

VEXLO_TEST_MAIN(HistoryTest)
#include "tst_history.moc"
