// The history page over 200 recordings, measured inside a MainWindow of its
// own: the first rebuild until every row shows its playing time, a rebuild
// with nothing changed, and the longest the event loop stood still during
// the first.

#include "bench/benchcases.h"

#include "app/mainwindow.h"
#include "app/pages/historypage.h"
#include "core/settingsstore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace bench {
namespace {

constexpr int Recordings = 200;
constexpr int DurationColumn = 3;

bool makeSample(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "testsrc2=s=640x360:r=30:d=3", "-c:v", "libx264", "-preset", "ultrafast",
                  "-pix_fmt", "yuv420p", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
           && ffmpeg.exitCode() == 0;
}

// 200 copies, one a minute apart, as a long series of recordings would be.
bool fillFolder(const QString &sample, const QString &folder)
{
    const QDateTime newest = QDateTime::currentDateTime();
    for (int i = 0; i < Recordings; ++i) {
        const QString path = folder + QStringLiteral("/rec_%1.mp4").arg(i, 3, 10, QLatin1Char('0'));
        if (!QFile::copy(sample, path))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite)
            || !file.setFileTime(newest.addSecs(-60 * i), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

bool tableComplete(const QTableWidget *table)
{
    if (table->rowCount() != Recordings)
        return false;
    for (int row = 0; row < Recordings; ++row) {
        const QTableWidgetItem *cell = table->item(row, DurationColumn);
        if (cell == nullptr || cell->text().isEmpty())
            return false;
    }
    return true;
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int runHistory(int argc, char **argv, const QString &workDir)
{
    // Settings and the default folders of this run stay inside workDir.
    qputenv("HOME", workDir.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (workDir + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (workDir + QStringLiteral("/data")).toLocal8Bit());
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);

    const QString folder = workDir + QStringLiteral("/recordings");
    const QString sample = workDir + QStringLiteral("/sample.mp4");
    QDir().mkpath(folder);
    if (!makeSample(sample)) {
        std::fprintf(stderr, "bench: ffmpeg could not make the sample recording\n");
        return 1;
    }
    openSettingsStore()->setValue(QStringLiteral("General/outputDir"), folder);

    MainWindow window;
    window.show();
    window.findChild<QAbstractButton *>(QStringLiteral("historyButton"))->click();
    settle(1000);
    if (!fillFolder(sample, folder)) {
        std::fprintf(stderr, "bench: could not fill %s\n", qPrintable(folder));
        return 1;
    }
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("recordingsTable"));

    // A precise 1 ms timer: the gap between two of its ticks is how long the
    // event loop could not run anything.
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 maxStallNs = 0;
    qint64 firstNs = -1;
    QEventLoop firstDone;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &firstDone, [&] {
        maxStallNs = qMax(maxStallNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
        if (tableComplete(table)) {
            firstNs = clock.nsecsElapsed();
            firstDone.quit();
        }
    });
    QTimer::singleShot(120000, &firstDone, &QEventLoop::quit);
    ticker.start(1);
    clock.start();
    sinceTick.start();
    QMetaObject::invokeMethod(window.findChild<HistoryPage *>(), "updateRecordingsTable");
    firstDone.exec();
    ticker.stop();
    if (firstNs < 0) {
        std::fprintf(stderr, "bench: the table did not fill within two minutes\n");
        return 1;
    }

    settle(500);
    clock.restart();
    QMetaObject::invokeMethod(window.findChild<HistoryPage *>(), "updateRecordingsTable");
    const qint64 againNs = clock.nsecsElapsed();
    settle(100);
    if (!tableComplete(table)) {
        std::fprintf(stderr, "bench: a rebuild with nothing changed lost rows or durations\n");
        return 1;
    }

    std::printf("case=%s first_ms=%.1f again_ms=%.1f max_stall_ms=%.1f\n", HistoryCaseName,
                firstNs / 1e6, againNs / 1e6, maxStallNs / 1e6);
    std::fflush(stdout);
    return 0;
}

} // namespace bench
