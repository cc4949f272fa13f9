// The media converter page inside the main window: argument profiles checked
// against what the program receives, real conversions probed for their
// codecs, progress by media time, failures and cancel with fake programs,
// collisions, keys, and the real file chooser.
#include "app/mainwindow.h"
#include "core/settingsstore.h"
#include "converter/conversionprofiles.h"
#include "converter/conversionprogress.h"
#include "converter/mediaconverter.h"
#include "media/mediaprobe.h"

#include "support/filedialoganswerer.h"
#include "support/modalanswerer.h"
#include "support/popupmenu.h"
#include "support/runningprogram.h"
#include "support/recordedvideo.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>

#include <csignal>
#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

using namespace vexlo::test;

namespace {

QString describe(const QWidget *widget)
{
    if (widget == nullptr)
        return QStringLiteral("none");
    return QStringLiteral("%1 \"%2\"%3")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(),
             widget->isVisible() ? QString() : QStringLiteral(" (hidden)"));
}


constexpr int BatchTimeoutMs = 180000;

QStringList head(const QString &input)
{
    return {"-loglevel", "level+info", "-i", input, "-progress", "pipe:1", "-hide_banner", "-stats"};
}

struct Probed
{
    QStringList codecs;
    int64_t audioBitRate = 0;
    QString pixelFormat;
};

// What a player finds in a file: the codec of each stream, in order.
Probed probe(const QString &path)
{
    Probed result;
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return result;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVCodecParameters *codec = context->streams[i]->codecpar;
            result.codecs << QString::fromLatin1(avcodec_get_name(codec->codec_id));
            if (codec->codec_type == AVMEDIA_TYPE_AUDIO)
                result.audioBitRate = codec->bit_rate;
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO)
                result.pixelFormat =
                    QString::fromLatin1(av_get_pix_fmt_name(AVPixelFormat(codec->format)));
        }
    }
    avformat_close_input(&context);
    // Some containers (FLV) list streams in the order their first packets came.
    result.codecs.sort();
    return result;
}

bool generate(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("ffmpeg"),
                             QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments)
           == 0;
}

bool makeVideo(const QString &path, int seconds, const QString &size)
{
    const QString duration = QString::number(seconds);
    return generate({"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=25:duration=" + duration,
                     "-f", "lavfi", "-i", "sine=frequency=440:duration=" + duration, "-c:v", "mpeg4",
                     "-q:v", "3", "-c:a", "pcm_s16le", "-shortest", path});
}

bool alive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

QByteArray contents(const QString &path);

// Alive and not a zombie waiting for a parent that no longer reaps it.
bool running(qint64 pid)
{
    const QByteArray stat = contents(QStringLiteral("/proc/%1/stat").arg(pid));
    const int end = stat.lastIndexOf(')');
    return end > 0 && stat.size() > end + 2 && stat.at(end + 2) != 'Z' && stat.at(end + 2) != 'X';
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool sawBox(const ModalAnswerer &answers, const QString &title)
{
    for (const auto &box : answers.boxes())
        if (box.title == title)
            return true;
    return false;
}

QStringList boxTexts(const ModalAnswerer &answers)
{
    QStringList texts;
    for (const auto &box : answers.boxes())
        texts << box.title + " | " + box.text;
    return texts;
}

// Translates every text of the page's context, to see what a language
// switch reaches.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return qstrcmp(context, "MediaConverter") == 0 ? "EN " + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class ConverterTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { openedUrls.append(url); }

private:
    std::unique_ptr<MainWindow> window;
    QList<QUrl> openedUrls;
    MediaConverter *page = nullptr;
    QTemporaryDir work;
    QByteArray realPath;
    QString media;
    QString fakeDir;

    template <typename T>
    T *w(const char *name) const
    {
        return page->findChild<T *>(QLatin1String(name));
    }
    QListWidget *fileList() const { return w<QListWidget>("fileList"); }
    QPushButton *convertButton() const { return w<QPushButton>("convertButton"); }
    QProgressDialog *progressDialog() const { return page->findChild<QProgressDialog *>(); }
    QString source(const char *name) const { return media + "/" + name; }

    QString freshDir(const QString &name) const
    {
        const QString dir = work.filePath(name);
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        return dir;
    }

    void setFiles(const QStringList &paths)
    {
        fileList()->clear();
        fileList()->addItems(paths);
    }

    void setOutputDirs(const QString &dir)
    {
        w<QLabel>("outputDirAudioLabel")->setText(dir);
        w<QLabel>("outputDirVideoLabel")->setText(dir);
    }

    void useRealFfmpeg() { qputenv("PATH", realPath); }

    // A program named ffmpeg first on PATH. Each run logs "start <pid> <input>"
    // and "overlap" when the previous run is still alive; $input is the
    // input path and $last the output path. A shebang of null leaves the script to the given body.
    void useFakeFfmpeg(const QString &body, const QString &shebang = QStringLiteral("/bin/sh"))
    {
        QFile::remove(fakeDir + "/runs.log");
        QFile::remove(fakeDir + "/pid");
        QFile script(fakeDir + "/ffmpeg");
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QString prologue = QStringLiteral(
            "log=%1/runs.log\n"
            "prev=$(cat %1/pid 2>/dev/null)\n"
            "if [ -n \"$prev\" ] && kill -0 \"$prev\" 2>/dev/null; then echo overlap >> \"$log\"; fi\n"
            "echo $$ > %1/pid\n"
            "input=; previous=; for last; do [ \"$previous\" = -i ] && input=$last; previous=$last; done\n"
            "echo \"start $$ $input\" >> \"$log\"\n")
                                     .arg(fakeDir);
        script.write(("#!" + shebang + "\n" + prologue + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", fakeDir.toUtf8() + ":" + realPath);
    }

    QStringList fakeRuns() const
    {
        return QString::fromUtf8(contents(fakeDir + "/runs.log")).split('\n', Qt::SkipEmptyParts);
    }

    qint64 lastFakePid() const
    {
        const QStringList runs = fakeRuns();
        return runs.isEmpty() ? -1 : runs.last().section(' ', 1, 1).toLongLong();
    }

    // Presses 一键转换 and waits for the box that ends the batch.
    void convertAndWait(const ModalAnswerer &answers)
    {
        QVERIFY(convertButton()->isEnabled());
        QTest::mouseClick(convertButton(), Qt::LeftButton);
        QTRY_VERIFY2_WITH_TIMEOUT(sawBox(answers, "完成"), qPrintable(boxTexts(answers).join('\n')),
                                  BatchTimeoutMs);
        QTRY_VERIFY(convertButton()->isEnabled());
    }

    void selectProfiles(int audioFormat, int bitrate, int videoFormat, int quality)
    {
        w<QComboBox>("audioFormatCombo")->setCurrentIndex(audioFormat);
        w<QComboBox>("audioBitrateCombo")->setCurrentIndex(bitrate);
        w<QComboBox>("videoFormatCombo")->setCurrentIndex(videoFormat);
        w<QComboBox>("videoQualityCombo")->setCurrentIndex(quality);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(work.isValid());
        realPath = qgetenv("PATH");
        QVERIFY2(!QStandardPaths::findExecutable("ffmpeg").isEmpty(), "the ffmpeg program is needed");
        media = freshDir("media");
        fakeDir = freshDir("fake");

        QVERIFY(generate({"-f", "lavfi", "-i", "sine=frequency=440:duration=2", source("tone.wav")}));
        QVERIFY(makeVideo(source("clip.avi"), 2, "320x240"));
        QVERIFY(makeVideo(source("one.avi"), 1, "640x360"));
        QVERIFY(makeVideo(source("nine.avi"), 9, "640x360"));
        // RGB pictures and two audio tracks.
        QVERIFY(generate({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2", "-f", "lavfi",
                          "-i", "sine=frequency=440:duration=2", "-f", "lavfi", "-i",
                          "sine=frequency=880:duration=2", "-map", "0", "-map", "1", "-map", "2", "-c:v",
                          "ffv1", "-pix_fmt", "bgr0", "-c:a", "pcm_s16le", source("tracks.mkv")}));
        QVERIFY(generate({"-i", source("tone.wav"), "-codec:a", "libmp3lame", source("a.mp3")}));
        QVERIFY(generate({"-i", source("clip.avi"), "-codec:v", "libx264", "-codec:a", "aac",
                          source("a.mp4")}));

        // Users have these folders; the choosers start in them.
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));

        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        page = window->findChild<MediaConverter *>();
        QVERIFY(page != nullptr);
        QTest::mouseClick(window->findChild<QToolButton *>("converterButton"), Qt::LeftButton);
    }

    void cleanup()
    {
        useRealFfmpeg();
        QTRY_VERIFY_WITH_TIMEOUT(convertButton()->isEnabled(), 10000);
    }

    void pageStartsWithItsDefaults()
    {
        auto *stack = window->findChild<QStackedWidget *>("contentStack");
        QCOMPARE(stack->widget(3), page);
        QCOMPARE(stack->currentWidget(), page);

        auto items = [this](const char *name) {
            QStringList texts;
            auto *combo = w<QComboBox>(name);
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            return texts;
        };
        QCOMPARE(items("audioFormatCombo"), (QStringList{"MP3", "WAV", "AAC", "FLAC", "OGG"}));
        QCOMPARE(items("audioBitrateCombo"), (QStringList{"320k", "256k", "192k", "128k", "64k"}));
        QCOMPARE(items("videoFormatCombo"), (QStringList{"MP4", "AVI", "MOV", "MKV", "FLV", "GIF 动图"}));
        QCOMPARE(items("videoQualityCombo"), (QStringList{"高质量", "中等质量", "低质量"}));
        for (const char *name : {"audioFormatCombo", "audioBitrateCombo", "videoFormatCombo", "videoQualityCombo"})
            QCOMPARE(w<QComboBox>(name)->currentIndex(), 0);

        auto *tabs = w<QTabWidget>("tabWidget");
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral("音频设置"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("视频设置"));
        QCOMPARE(w<QLabel>("outputDirAudioLabel")->text(),
                 QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
        QCOMPARE(w<QLabel>("outputDirVideoLabel")->text(),
                 QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        QCOMPARE(w<QPushButton>("addFilesButton")->text(), QStringLiteral("添加"));
        QCOMPARE(w<QPushButton>("clearButton")->text(), QStringLiteral("清空"));
        QCOMPARE(convertButton()->text(), QStringLiteral("一键转换"));
        QCOMPARE(fileList()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(fileList()->count(), 0);

        // A language switch retranslates the form and the quality items by
        // index; the bit rate items stay as they are.
        w<QComboBox>("videoQualityCombo")->setCurrentIndex(2);
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        QTRY_COMPARE(items("videoQualityCombo"), (QStringList{"EN 高质量", "EN 中等质量", "EN 低质量"}));
        QCOMPARE(w<QComboBox>("videoQualityCombo")->currentIndex(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("EN 音频设置"));
        QCOMPARE(convertButton()->text(), QStringLiteral("EN 一键转换"));
        QCOMPARE(items("audioBitrateCombo"), (QStringList{"320k", "256k", "192k", "128k", "64k"}));
        QCOMPARE(w<QLabel>("outputDirVideoLabel")->text(),
                 QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        QCoreApplication::removeTranslator(&translator);
        QTRY_COMPARE(items("videoQualityCombo"), (QStringList{"高质量", "中等质量", "低质量"}));
        w<QComboBox>("videoQualityCombo")->setCurrentIndex(0);
    }

    void profilesClassifyAndName_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("output");
        QTest::newRow("upper-case suffix") << "/m/SONG.MP3" << "audio" << "/out/SONG.mp4";
        QTest::newRow("wma is an input") << "/m/voice.wma" << "audio" << "/out/voice.mp4";
        QTest::newRow("wmv is an input") << "/m/film.wmv" << "video" << "/out/film.mp4";
        QTest::newRow("every dot but the last") << "/m/Meeting 2024.01.15.mkv" << "video"
                                                << "/out/Meeting 2024.01.15.mp4";
        QTest::newRow("no hidden output") << "/m/.hidden.mp4" << "video" << "/out/hidden.mp4";
        QTest::newRow("webm is an input") << "/m/rec.webm" << "video" << "/out/rec.mp4";
        QTest::newRow("opus is an input") << "/m/talk.opus" << "audio" << "/out/talk.mp4";
        QTest::newRow("suffix after the last dot") << "/m/archive.mp3.zip" << "none" << "/out/archive.mp3.mp4";
        QTest::newRow("no suffix") << "/m/README" << "none" << "/out/README.mp4";
    }

    void profilesClassifyAndName()
    {
        QFETCH(QString, input);
        QFETCH(QString, kind);
        QFETCH(QString, output);
        const QString found = converter::isAudioFile(input)   ? "audio"
                              : converter::isVideoFile(input) ? "video"
                                                              : "none";
        QCOMPARE(found, kind);
        QCOMPARE(converter::outputPathFor(input, "/out", "mp4"), output);
        QCOMPARE(converter::bitrateToken("128k (标准)"), QStringLiteral("128k"));
        QVERIFY(converter::qualityFromIndex(-1) == converter::VideoQuality::Medium);
    }

    // ffmpeg's progress stream and status lines, as they arrive in chunks.
    void progressIsReadFromBothStreams_data()
    {
        QTest::addColumn<QByteArrayList>("output");
        QTest::addColumn<QByteArrayList>("error");
        QTest::addColumn<qlonglong>("doneUs");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QString>("lastError");
        QTest::newRow("out_time_us split across chunks")
            << QByteArrayList{"frame=3\nout_time_us=12", "50000\nprogress=continue\n"} << QByteArrayList{}
            << 1250000LL << false << "";
        QTest::newRow("N/A and negative values are ignored")
            << QByteArrayList{"out_time_us=N/A\n", "out_time_us=-23220\n", "out_time_us=400000\n",
                              "out_time_us=N/A\n"}
            << QByteArrayList{} << 400000LL << false << "";
        QTest::newRow("never backwards")
            << QByteArrayList{"out_time_us=900000\nout_time_us=300000\n"} << QByteArrayList{} << 900000LL
            << false << "";
        QTest::newRow("end") << QByteArrayList{"out_time_us=2000000\nprogress=end\n"} << QByteArrayList{}
                             << 2000000LL << true << "";
        QTest::newRow("status line time as fallback")
            << QByteArrayList{}
            << QByteArrayList{"[info] size=       1kB time=00:00:00.00 bitrate=N/A\r",
                              "[info] size=      81kB time=00:01:02.5 bitrate= 328.3kbits/s\r"}
            << 62500000LL << false << "";
        QTest::newRow("negative status time")
            << QByteArrayList{} << QByteArrayList{"[info] size=0kB time=-00:00:00.02 bitrate=N/A\r"} << 0LL << false
            << "";
        // ffmpeg's stderr as it runs with "-loglevel level+info".
        QTest::newRow("last error line, not metadata or the closing line")
            << QByteArrayList{}
            << QByteArrayList{"[info] Input #0, wav\n[info]   Duration: 00:00:02.00\n"
                              "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x55d0c0] [error] moov atom not fou",
                              "nd\n[info] size=0kB time=00:00:00.00 bitrate=N/A\r[warning] corrupt packet\n",
                              "[info]       encoder         : Lavc59.37.100 aac\n[fatal] Conversion failed!\n"}
            << 0LL << false << "moov atom not found";
        QTest::newRow("unterminated error line")
            << QByteArrayList{} << QByteArrayList{"[error] Unknown encoder 'libmp3lame'"} << 0LL << false
            << "Unknown encoder 'libmp3lame'";
        QTest::newRow("metadata only")
            << QByteArrayList{} << QByteArrayList{"[info]     encoder         : Lavc59.37.100 aac\n"} << 0LL
            << false << "";
    }

    void progressIsReadFromBothStreams()
    {
        QFETCH(QByteArrayList, output);
        QFETCH(QByteArrayList, error);
        QFETCH(qlonglong, doneUs);
        QFETCH(bool, ended);
        QFETCH(QString, lastError);
        converter::RunProgress progress;
        for (const QByteArray &chunk : output)
            progress.addOutput(chunk);
        for (const QByteArray &chunk : error)
            progress.addError(chunk);
        progress.finish();
        QCOMPARE(qlonglong(progress.doneUs()), doneUs);
        QCOMPARE(progress.ended(), ended);
        QCOMPARE(progress.lastErrorLine(), lastError);
        QCOMPARE(progress.fraction(-1), ended ? 1.0 : 0.0);

        // Known durations weigh themselves; an unknown one its size at the
        // others' bytes per second; all unknown and empty weigh the same.
        QCOMPARE(converter::batchWeights({1000000, -1, 3000000}, {100, 200, 300}),
                 (QList<double>{1000000, 2000000, 3000000}));
        QCOMPARE(converter::batchWeights({-1, -1}, {10, 30}), (QList<double>{10, 30}));
        QCOMPARE(converter::batchWeights({-1, -1}, {0, 0}), (QList<double>{1, 1}));
    }

    // Every accepted input is weighed by its duration, read by the hardened
    // probe with the converter's container list.
    void everyInputKindHasADuration_data()
    {
        QTest::addColumn<QString>("suffix");
        for (const char *suffix : {"mp3", "wav", "aac", "flac", "ogg", "wma", "m4a", "opus", "mp4", "avi",
                                   "mov", "mkv", "flv", "wmv", "webm", "ts", "m4v"})
            QTest::newRow(suffix) << QString::fromLatin1(suffix);
    }

    void everyInputKindHasADuration()
    {
        QFETCH(QString, suffix);
        const bool audio = converter::isAudioFile("x." + suffix);
        QVERIFY(audio || converter::isVideoFile("x." + suffix));
        const QString path = freshDir("kinds") + "/input." + suffix;
        // An .m4v is an MP4 file to users; to ffmpeg the name means raw MPEG-4.
        const QStringList container = suffix == "m4v" ? QStringList{"-f", "mp4"} : QStringList{};
        QVERIFY(generate(QStringList{"-i", source(audio ? "tone.wav" : "clip.avi")} + container + QStringList{path}));
        const int64_t us = media::probeDurationUs(path, media::kConverterInputContainers);
        QVERIFY2(us > 1900000 && us < 2300000, qPrintable(QString::number(us)));
    }

    // A profile of each kind: the program receives exactly these arguments,
    // and the real program turns them into a file that plays everywhere:
    // 4:2:0 pictures from an RGB source, the index first in MP4 and MOV, and
    // both audio tracks where the container holds two.
    void profilesConvertForReal_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("block");
        QTest::addColumn<QStringList>("codecs");
        QTest::addColumn<int>("audioBitRate");

        const QStringList h264 = {"-pix_fmt", "yuv420p"};
        const QStringList faststart = {"-movflags", "+faststart"};
        const QStringList everyTrack = {"-map", "0:v?", "-map", "0:a?"};
        QTest::newRow("MP3 128k") << "tone.wav" << 0 << 3 << "tone.mp3"
                                  << QStringList{"-codec:a", "libmp3lame", "-b:a", "128k"}
                                  << QStringList{"mp3"} << 128000;
        QTest::newRow("OGG") << "tone.wav" << 4 << 0 << "tone.ogg"
                             << QStringList{"-codec:a", "libvorbis", "-qscale:a", "5"}
                             << QStringList{"vorbis"} << 0;
        QTest::newRow("MP4 high") << "tracks.mkv" << 0 << 0 << "tracks.mp4"
                                  << QStringList{"-codec:v", "libx264", "-preset", "slow", "-crf", "18",
                                                 "-codec:a", "aac", "-b:a", "192k"}
                                         + h264 + faststart + everyTrack
                                  << QStringList{"aac", "aac", "h264"} << 0;
        QTest::newRow("MOV low") << "tracks.mkv" << 2 << 2 << "tracks.mov"
                                 << QStringList{"-codec:v", "libx264", "-preset", "fast", "-crf", "28",
                                                "-codec:a", "aac", "-b:a", "192k"}
                                        + h264 + faststart + everyTrack
                                 << QStringList{"aac", "aac", "h264"} << 0;
        QTest::newRow("AVI medium") << "tracks.mkv" << 1 << 1 << "tracks.avi"
                                    << QStringList{"-codec:v", "mpeg4", "-qscale:v", "4", "-codec:a",
                                                   "libmp3lame", "-b:a", "192k"}
                                           + everyTrack
                                    << QStringList{"mp3", "mp3", "mpeg4"} << 0;
        QTest::newRow("MKV") << "tracks.mkv" << 3 << 0 << "tracks.mkv" << h264 + everyTrack
                             << QStringList{"h264", "vorbis", "vorbis"} << 0;
        // FLV holds one audio track: ffmpeg picks it.
        QTest::newRow("FLV") << "tracks.mkv" << 4 << 2 << "tracks.flv" << QStringList{}
                             << QStringList{"flv1", "mp3"} << 0;
        // Never wider than 800 px or the input, one palette for the clip.
        QTest::newRow("GIF") << "clip.avi" << 5 << 0 << "clip.gif"
                             << QStringList{"-an", "-vf",
                                            "fps=15,scale='min(800,iw)':-1:flags=lanczos,split[a][b];"
                                            "[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=sierra2_4a",
                                            "-loop", "0"}
                             << QStringList{"gif"} << 0;
    }

    void profilesConvertForReal()
    {
        QFETCH(QString, input);
        QFETCH(int, format);
        QFETCH(int, option);
        QFETCH(QString, output);
        QFETCH(QStringList, block);
        QFETCH(QStringList, codecs);
        QFETCH(int, audioBitRate);

        const bool audio = input.endsWith(".wav");
        const QString out = freshDir("profiles");
        setOutputDirs(out + "/made/here");
        selectProfiles(audio ? format : 0, audio ? option : 0, audio ? 0 : format, audio ? 0 : option);
        setFiles({source(qPrintable(input))});
        const QString outputPath = out + "/made/here/" + output;

        useFakeFfmpeg(QStringLiteral("printf '%s\\n' \"$@\" > %1/args.txt").arg(fakeDir));
        {
            ModalAnswerer answers;
            convertAndWait(answers);
            QCOMPARE(answers.boxes().size(), 1);
            QCOMPARE(answers.boxes().first().text, QStringLiteral("所有媒体文件转换完成"));
        }
        const QStringList expected = head(source(qPrintable(input))) + block + QStringList{"-y", outputPath};
        QCOMPARE(QString::fromUtf8(contents(fakeDir + "/args.txt")).split('\n', Qt::SkipEmptyParts),
                 expected);

        useRealFfmpeg();
        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(boxTexts(answers), QStringList{"完成 | 所有媒体文件转换完成"});
        const Probed found = probe(outputPath);
        QCOMPARE(found.codecs, codecs);
        if (audioBitRate > 0)
            QCOMPARE(found.audioBitRate, int64_t(audioBitRate));
        if (!audio && !output.endsWith(".gif"))
            QCOMPARE(found.pixelFormat, QStringLiteral("yuv420p"));
        if (block.contains("+faststart")) {
            const QByteArray bytes = contents(outputPath);
            QVERIFY(bytes.indexOf("moov") >= 0 && bytes.indexOf("moov") < bytes.indexOf("mdat"));
        }
        QCOMPARE(filesIn(out + "/made/here"), QStringList{output});
    }

    void unsupportedFileIsSkippedAndListed()
    {
        const QString dir = freshDir("unsupported");
        const QString notes = dir + "/notes.txt";
        QFile::copy(source("tone.wav"), dir + "/first.wav");
        QFile::copy(source("tone.wav"), notes);
        QFile::copy(source("tone.wav"), dir + "/third.wav");
        setOutputDirs(dir + "/out");
        selectProfiles(0, 0, 0, 0);
        setFiles({dir + "/first.wav", notes, dir + "/third.wav"});

        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(answers.boxes().size(), 2);
        QCOMPARE(answers.boxes()[0].icon, QMessageBox::Warning);
        QCOMPARE(answers.boxes()[0].text, "不支持的文件类型: " + notes);
        QCOMPARE(answers.boxes()[1].icon, QMessageBox::Warning);
        QCOMPARE(answers.boxes()[1].title, QStringLiteral("完成"));
        QCOMPARE(answers.boxes()[1].text, QStringLiteral("1 个文件未能转换：\nnotes.txt: 不支持的文件类型"));
        QCOMPARE(filesIn(dir + "/out"), (QStringList{"first.mp3", "third.mp3"}));
        QCOMPARE(probe(dir + "/out/first.mp3").codecs, QStringList{"mp3"});
        QCOMPARE(probe(dir + "/out/third.mp3").codecs, QStringList{"mp3"});
    }

    // 1 s then 9 s of media: the first file is a tenth of the batch whatever
    // its size, the bar never goes back, and the dialog stays until the end.
    void progressFollowsMediaTime()
    {
        const QString dir = freshDir("progress");
        setOutputDirs(dir);
        selectProfiles(0, 0, 0, 0);
        setFiles({source("one.avi"), source("nine.avi")});

        struct Step
        {
            int value;
            QString label;
        };
        QList<Step> steps;
        QStringList labels;
        int hides = 0;
        int runningAtHide = -1;
        class HideWatcher : public QObject
        {
        public:
            std::function<void()> onHide;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Hide)
                    onHide();
                return false;
            }
        } hideWatcher;
        hideWatcher.onHide = [&] {
            ++hides;
            runningAtHide = 0;
            for (QProcess *process : page->findChildren<QProcess *>())
                runningAtHide += process->state() != QProcess::NotRunning;
        };

        // Every value the bar takes, and the labels as they change; the dialog
        // is made by the first batch.
        ModalAnswerer answers;
        QMetaObject::Connection watch;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            QProgressDialog *dialog = progressDialog();
            if (dialog == nullptr)
                return;
            if (!watch) {
                watch = connect(dialog->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
                                [&, dialog](int value) { steps.append({value, dialog->labelText()}); });
                dialog->installEventFilter(&hideWatcher);
            }
            if (labels.isEmpty() || labels.last() != dialog->labelText())
                labels << dialog->labelText();
        });
        sampler.start(5);
        convertAndWait(answers);
        disconnect(watch);
        QCOMPARE(boxTexts(answers), QStringList{"完成 | 所有媒体文件转换完成"});

        QStringList seen;
        for (const Step &step : steps)
            seen << QString::number(step.value) + " " + step.label;
        const QString trace = seen.join('\n');
        QVERIFY2(!steps.isEmpty(), "the bar never moved");
        bool sawMiddleOfSecond = false;
        for (int i = 0; i < steps.size(); ++i) {
            if (i > 0)
                QVERIFY2(steps[i].value >= steps[i - 1].value, qPrintable(trace));
            QVERIFY2(steps[i].value < 100, qPrintable(trace));
            if (steps[i].value > 10)
                QVERIFY2(steps[i].label == "正在转换 (2/2): nine.avi", qPrintable(trace));
            sawMiddleOfSecond |= steps[i].value > 10 && steps[i].value < 100;
        }
        QVERIFY2(labels.indexOf("正在转换 (1/2): one.avi") >= 0
                     && labels.indexOf("正在转换 (1/2): one.avi") < labels.indexOf("正在转换 (2/2): nine.avi"),
                 qPrintable(labels.join('\n')));
        QVERIFY2(sawMiddleOfSecond, qPrintable(trace));
        QCOMPARE(hides, 1);
        QCOMPARE(runningAtHide, 0);
        QCOMPARE(filesIn(dir), (QStringList{"nine.mp4", "one.mp4"}));
    }

    // Fake programs for what the real one cannot be made to do on demand.
    void failingRunsAreListed_data()
    {
        QTest::addColumn<QString>("shebang");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("logsRuns");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("processErrors");
        QTest::newRow("exits 1 after its error")
            << "/bin/sh"
            << "printf partial > \"$last\"\n"
               "echo \"[error] $input: Invalid data found when processing input\" >&2\n"
               "echo \"[info]       encoder         : Lavc59.37.100 aac\" >&2; exit 1"
            << true << "Invalid data found when processing input（未完成的输出已删除）" << 0;
        QTest::newRow("crashes after its error")
            << "/bin/sh" << "echo '[error] Error while decoding stream #0:0' >&2; kill -SEGV $$" << true
            << "ffmpeg 意外终止 (SIGSEGV): Error while decoding stream #0:0" << 3;
        QTest::newRow("cannot start") << "/nonexistent/interpreter" << "" << false << "无法启动FFmpeg进程"
                                      << 3;
    }

    void failingRunsAreListed()
    {
        QFETCH(QString, shebang);
        QFETCH(QString, body);
        QFETCH(bool, logsRuns);
        QFETCH(QString, reason);
        QFETCH(int, processErrors);
        const QString dir = freshDir("failing");
        setOutputDirs(dir + "/out");
        const QStringList inputs = {source("tone.wav"), source("clip.avi"), source("a.mp3")};
        setFiles(inputs);
        useFakeFfmpeg(body, shebang);

        LogCapture log;
        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(answers.boxes().size(), 1);
        QCOMPARE(answers.boxes()[0].icon, QMessageBox::Warning);
        QStringList lines;
        for (const QString &input : inputs)
            lines << QFileInfo(input).fileName() + ": " + reason;
        QCOMPARE(answers.boxes()[0].text, "3 个文件未能转换：\n" + lines.join('\n'));
        QCOMPARE(answers.boxes()[0].detailedText, lines.join('\n'));
        // Nothing converted: no folder to open, no partial file left.
        QVERIFY(!answers.boxes()[0].buttons.contains("打开输出文件夹"));
        QCOMPARE(filesIn(dir + "/out"), QStringList());

        // One run per file, in order, never two at once.
        if (logsRuns) {
            const QStringList runs = fakeRuns();
            QCOMPARE(runs.size(), 3);
            for (int i = 0; i < 3; ++i)
                QVERIFY2(runs[i].startsWith("start ") && runs[i].endsWith(" " + inputs[i]),
                         qPrintable(runs.join('\n')));
        }
        int errors = 0;
        for (const auto &line : log.lines())
            errors += line.type == QtWarningMsg && line.text.startsWith("Process error:");
        QCOMPARE(errors, processErrors);
    }

    // The real ffmpeg killed while it writes: its last lines are metadata,
    // so the signal is the reason, and the half-written file goes.
    void killedFfmpegIsReportedBySignal()
    {
        const QString dir = freshDir("killed");
        setOutputDirs(dir);
        selectProfiles(0, 0, 0, 0);
        setFiles({source("nine.avi")});

        ModalAnswerer answers;
        QTest::mouseClick(convertButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir + "/nine.mp4").size() > 0, 60000);
        qint64 pid = -1;
        for (const QProcess *process : page->findChildren<QProcess *>())
            pid = process->state() == QProcess::Running ? process->processId() : pid;
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);

        QTRY_VERIFY_WITH_TIMEOUT(sawBox(answers, "完成"), 30000);
        QCOMPARE(boxTexts(answers),
                 QStringList{"完成 | 1 个文件未能转换：\nnine.avi: ffmpeg 意外终止 (SIGKILL)（未完成的输出已删除）"});
        QCOMPARE(filesIn(dir), QStringList());
    }

    // Sixty failures: a box that fits on the screen, every file in its details.
    void manyFailuresStayReadable()
    {
        const QString dir = freshDir("many");
        QStringList inputs;
        QStringList lines;
        for (int i = 1; i <= 60; ++i) {
            const QString name = QStringLiteral("take %1.wav").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(QFile::copy(source("tone.wav"), dir + "/" + name));
            inputs << dir + "/" + name;
            lines << name + ": Invalid data found when processing input";
        }
        setOutputDirs(dir + "/out");
        setFiles(inputs);
        useFakeFfmpeg("echo \"[error] $input: Invalid data found when processing input\" >&2; exit 1");

        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(answers.boxes().size(), 1);
        const auto &box = answers.boxes()[0];
        QCOMPARE(box.text, "60 个文件未能转换：\n" + lines.mid(0, 5).join('\n') + "\n另有 55 个，见详细信息。");
        QCOMPARE(box.detailedText, lines.join('\n'));
        QVERIFY2(box.height < window->screen()->availableGeometry().height() / 2,
                 qPrintable(QString::number(box.height)));
    }

    // Its header promises 8 s, its data holds about 4: converted, with a warning.
    void truncatedInputIsConvertedWithAWarning()
    {
        const QString dir = freshDir("truncated");
        QVERIFY(generate({"-f", "lavfi", "-i", "sine=duration=8", "-codec:a", "libmp3lame",
                          dir + "/whole.mp3"}));
        QFile whole(dir + "/whole.mp3");
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QFile cut(dir + "/cut.mp3");
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() * 55 / 100));
        cut.close();
        setOutputDirs(dir + "/out");
        selectProfiles(1, 0, 0, 0);
        setFiles({cut.fileName(), source("tone.wav")});

        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(answers.boxes().size(), 1);
        QCOMPARE(answers.boxes()[0].icon, QMessageBox::Warning);
        const QRegularExpression expected(
            "^1 个文件已转换，但有警告：\ncut\\.mp3: 输出只有 0:04\\.\\d，输入为 0:08\\.0$");
        QVERIFY2(expected.match(answers.boxes()[0].text).hasMatch(), qPrintable(answers.boxes()[0].text));
        QCOMPARE(filesIn(dir + "/out"), (QStringList{"cut.wav", "tone.wav"}));
    }

    // Files dropped from a file manager, each listed once; Delete and the
    // context entry take them off again.
    void listTakesDropsAndRemovals()
    {
        const QString dir = freshDir("drop");
        QVERIFY(QFile::copy(source("tone.wav"), dir + "/a.wav"));
        QVERIFY(QFile::copy(source("clip.avi"), dir + "/b.avi"));
        QVERIFY(QFile::copy(source("tone.wav"), dir + "/notes.txt"));
        QDir().mkpath(dir + "/folder.mp4");
        setFiles({dir + "/a.wav"});
        QWidget *viewport = fileList()->viewport();
        const QPoint middle = viewport->rect().center();

        auto dropUrls = [&](const QStringList &paths) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString &path : paths)
                urls << QUrl::fromLocalFile(path);
            data.setUrls(urls);
            const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
            QDragEnterEvent enter(middle, offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent drop(QPointF(middle), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &drop);
            return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
        };
        auto listed = [this] {
            QStringList rows;
            for (int row = 0; row < fileList()->count(); ++row)
                rows << QFileInfo(fileList()->item(row)->text()).fileName();
            return rows;
        };

        QVERIFY(dropUrls({dir + "/b.avi", dir + "/./a.wav", dir + "/notes.txt", dir + "/folder.mp4",
                          dir + "/b.avi"}));
        QCOMPARE(listed(), (QStringList{"a.wav", "b.avi"}));
        QVERIFY(!dropUrls({dir + "/notes.txt"}));

        fileList()->setCurrentRow(0);
        QVERIFY(activate(window.get()));
        fileList()->setFocus();
        QTest::keyClick(fileList(), Qt::Key_Delete);
        QCOMPARE(listed(), QStringList{"b.avi"});

        onNextMenu([](QMenu *menu) { pickEntry(menu, "移除"); });
        const QPoint row = viewport->mapTo(window.get(), fileList()->visualItemRect(fileList()->item(0)).center());
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, row);
        QTRY_COMPARE(listed(), QStringList());
    }

    // What the page keeps between runs, read back by a page of its own.
    void choicesAreRemembered()
    {
        selectProfiles(2, 3, 1, 2);
        const QString dir = freshDir("remembered");
        setOutputDirs(dir);
        {
            FileDialogAnswerer chooser(dir + "/music");
            QDir().mkpath(dir + "/music");
            QTest::mouseClick(w<QPushButton>("dirAudioButton"), Qt::LeftButton);
            QVERIFY(chooser.answered());
        }
        const auto settings = openSettingsStore();
        settings->beginGroup("Converter");
        QCOMPARE(settings->value("audioFormat").toInt(), 2);
        QCOMPARE(settings->value("videoQuality").toInt(), 2);
        QCOMPARE(settings->value("audioOutputDir").toString(), dir + "/music");

        MediaConverter other;
        for (const char *name : {"audioFormatCombo", "audioBitrateCombo", "videoFormatCombo", "videoQualityCombo"})
            QCOMPARE(other.findChild<QComboBox *>(name)->currentIndex(), w<QComboBox>(name)->currentIndex());
        QCOMPARE(other.findChild<QLabel *>("outputDirAudioLabel")->text(), dir + "/music");
        QCOMPARE(other.findChild<QLabel *>("outputDirVideoLabel")->text(), dir);
        selectProfiles(0, 0, 0, 0);
    }

    void cancelEndsTheBatch_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("needsKill");
        QTest::newRow("ends when asked") << "printf partial > \"$last\"; exec sleep 600" << false;
        QTest::newRow("ignores the request") << "printf partial > \"$last\"; trap '' TERM; exec sleep 600"
                                             << true;
    }

    void cancelEndsTheBatch()
    {
        QFETCH(QString, body);
        QFETCH(bool, needsKill);
        const QString dir = freshDir("cancel");
        setOutputDirs(dir);
        setFiles({source("tone.wav"), source("clip.avi")});
        selectProfiles(0, 0, 0, 0);
        useFakeFfmpeg(body);

        ModalAnswerer answers;
        QTest::mouseClick(convertButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir + "/tone.mp3"), 20000);
        const qint64 pid = lastFakePid();
        QVERIFY(alive(pid));
        QTRY_VERIFY(progressDialog()->isVisible());

        auto *cancel = progressDialog()->findChild<QPushButton *>();
        QVERIFY(cancel != nullptr);
        QCOMPARE(cancel->text(), QStringLiteral("取消"));
        // A stray Enter does not cancel.
        QVERIFY(activate(progressDialog()));
        QTest::keyClick(progressDialog(), Qt::Key_Return);
        QTest::qWait(300);
        QVERIFY(progressDialog()->isVisible());
        QVERIFY(alive(pid));
        QTest::mouseClick(cancel, Qt::LeftButton);
        // The click returns at once; the page is usable while ffmpeg ends.
        QVERIFY(!progressDialog()->isVisible());
        QVERIFY(convertButton()->isEnabled());
        if (needsKill) {
            QVERIFY(alive(pid));
            // A new batch waits until the stopped process has gone.
            QTest::mouseClick(convertButton(), Qt::LeftButton);
            QTRY_COMPARE(answers.boxes().size(), 1);
            QCOMPARE(answers.boxes()[0].text, QStringLiteral("转换正在进行中"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 5000);
        QTRY_VERIFY(!QFile::exists(dir + "/tone.mp3"));

        // Nothing more starts and no completion box appears.
        QTest::qWait(1500);
        QCOMPARE(fakeRuns().size(), 1);
        QVERIFY(!sawBox(answers, "完成"));
        QCOMPARE(filesIn(dir), QStringList());
        QVERIFY(!progressDialog()->isVisible());
    }

    void refusesToStart_data()
    {
        QTest::addColumn<bool>("withFiles");
        QTest::addColumn<QString>("text");
        QTest::newRow("no files") << false << "请先添加要转换的媒体文件";
        QTest::newRow("no ffmpeg") << true << "未找到 ffmpeg 程序，请先安装 ffmpeg。";
    }

    void refusesToStart()
    {
        QFETCH(bool, withFiles);
        QFETCH(QString, text);
        setFiles(withFiles ? QStringList{source("tone.wav")} : QStringList{});
        qputenv("PATH", freshDir("empty-path").toUtf8());

        ModalAnswerer answers;
        QTest::mouseClick(convertButton(), Qt::LeftButton);
        QTRY_COMPARE(answers.boxes().size(), 1);
        QCOMPARE(answers.boxes()[0].icon, QMessageBox::Warning);
        QCOMPARE(answers.boxes()[0].title, QStringLiteral("警告"));
        QCOMPARE(answers.boxes()[0].text, text);
        QVERIFY(progressDialog() == nullptr || !progressDialog()->isVisible());
        QVERIFY(convertButton()->isEnabled());
    }

    void outputsNeverReplaceFiles_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<bool>("outputBesideInputs");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("videoFormat");
        QTest::addColumn<QStringList>("made");
        QTest::addColumn<QStringList>("codecs");
        QTest::newRow("name taken") << QStringList{"clip.avi"} << false << "clip.mp4" << 0
                                    << QStringList{"clip (1).mp4"} << QStringList{"aac", "h264"};
        QTest::newRow("output would be the input") << QStringList{"a.mp3"} << true << "" << 0
                                                   << QStringList{"a (1).mp3"} << QStringList{"mp3"};
        QTest::newRow("two inputs, one name") << QStringList{"a.mp4", "a.avi"} << false << "" << 3
                                              << QStringList{"a (1).mkv", "a.mkv"}
                                              << QStringList{"h264", "vorbis"};
        QTest::newRow("one input twice") << QStringList{"clip.avi", "clip.avi"} << false << "" << 4
                                         << QStringList{"clip (1).flv", "clip.flv"}
                                         << QStringList{"flv1", "mp3"};
    }

    void outputsNeverReplaceFiles()
    {
        QFETCH(QStringList, inputs);
        QFETCH(bool, outputBesideInputs);
        QFETCH(QString, existing);
        QFETCH(int, videoFormat);
        QFETCH(QStringList, made);
        QFETCH(QStringList, codecs);

        const QString in = freshDir("collide-in");
        const QString out = outputBesideInputs ? in : freshDir("collide-out");
        QStringList paths;
        for (const QString &name : inputs) {
            const QString from = name == "a.avi" ? source("clip.avi") : source(qPrintable(name));
            QFile::copy(from, in + "/" + name);
            paths << in + "/" + name;
        }
        QHash<QString, QByteArray> before;
        if (!existing.isEmpty()) {
            QFile file(out + "/" + existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("a file of the user's own");
        }
        for (const QString &name : filesIn(out))
            before.insert(name, contents(out + "/" + name));
        setOutputDirs(out);
        selectProfiles(0, 0, videoFormat, 2);
        setFiles(paths);

        ModalAnswerer answers;
        convertAndWait(answers);
        QCOMPARE(boxTexts(answers), QStringList{"完成 | 所有媒体文件转换完成"});
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(contents(out + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QStringList expected = made + before.keys();
        expected.sort();
        QCOMPARE(filesIn(out), expected);
        for (const QString &name : made)
            QCOMPARE(probe(out + "/" + name).codecs, codecs);
    }

    // Escape would hide the embedded dialog and Enter press a button.
    void escapeAndEnterKeepThePage_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        for (const auto &[target, tab] : QList<QPair<QString, int>>{{"fileList", 1},
                                                                   {"convertButton", 1},
                                                                   {"audioFormatCombo", 0},
                                                                   {"dirAudioButton", 0},
                                                                   {"videoQualityCombo", 1},
                                                                   {"dirVideoButton", 1}}) {
            for (const auto &[keyName, key] : QList<QPair<const char *, int>>{
                     {"Escape", Qt::Key_Escape}, {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}})
                QTest::addRow("%s %s", qPrintable(target), keyName) << target << tab << key;
        }
    }

    void escapeAndEnterKeepThePage()
    {
        QFETCH(QString, target);
        QFETCH(int, tab);
        QFETCH(int, key);
        setFiles({source("tone.wav")});
        fileList()->setCurrentRow(0);
        useFakeFfmpeg("exit 0");
        w<QTabWidget>("tabWidget")->setCurrentIndex(tab);
        QVERIFY(activate(window.get()));
        auto *widget = page->findChild<QWidget *>(target);
        widget->setFocus();
        QTRY_VERIFY2(widget->hasFocus(),
                     qPrintable(QStringLiteral("focus on %1, active window %2, modal %3")
                                    .arg(describe(QApplication::focusWidget()),
                                         describe(QApplication::activeWindow()),
                                         describe(QApplication::activeModalWidget()))));

        ModalAnswerer answers;
        QTest::keyClick(widget, Qt::Key(key));
        QTest::qWait(300);
        QVERIFY(page->isVisible());
        QCOMPARE(window->findChild<QStackedWidget *>("contentStack")->currentWidget(), page);
        QCOMPARE(w<QTabWidget>("tabWidget")->currentIndex(), tab);
        QVERIFY(answers.boxes().isEmpty());
        QVERIFY(progressDialog() == nullptr || !progressDialog()->isVisible());
        QCOMPARE(fakeRuns(), QStringList());
        QCOMPARE(fileList()->count(), 1);
    }

    // Through the real widgets: the file and folder choosers, 一键转换, the box.
    void choosersAndConvertThroughWidgets()
    {
        const QString dir = freshDir("chooser");
        QFile::copy(source("tone.wav"), dir + "/voice memo.wav");
        QFile::copy(source("clip.avi"), dir + "/clip.avi");
        QDir().mkpath(dir + "/music out");
        QDir().mkpath(dir + "/video out");
        w<QPushButton>("clearButton")->click();
        selectProfiles(0, 3, 1, 2);
        setOutputDirs(dir);

        {
            FileDialogAnswerer chooser(QString{});
            QTest::mouseClick(w<QPushButton>("addFilesButton"), Qt::LeftButton);
            QVERIFY(chooser.answered());
            QCOMPARE(chooser.title(), QStringLiteral("选择媒体文件"));
            QCOMPARE(chooser.directory(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
            QCOMPARE(chooser.nameFilters(),
                     QStringList{"媒体文件 (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi "
                                 "*.mov *.mkv *.flv *.wmv *.webm *.ts *.m4v)"});
            QCOMPARE(fileList()->count(), 0);
        }
        {
            FileDialogAnswerer chooser("\"" + dir + "/voice memo.wav\" \"" + dir + "/clip.avi\"");
            QTest::mouseClick(w<QPushButton>("addFilesButton"), Qt::LeftButton);
            QVERIFY(chooser.answered());
        }
        {
            // It opens where the files came from; a file already listed is not added again.
            FileDialogAnswerer chooser("\"" + dir + "/clip.avi\"");
            QTest::mouseClick(w<QPushButton>("addFilesButton"), Qt::LeftButton);
            QVERIFY(chooser.answered());
            QCOMPARE(chooser.directory(), dir);
        }
        QCOMPARE(fileList()->count(), 2);
        QCOMPARE(fileList()->item(0)->text(), dir + "/voice memo.wav");
        QCOMPARE(fileList()->item(1)->text(), dir + "/clip.avi");

        const struct
        {
            const char *button;
            const char *label;
            const char *title;
            QString folder;
        } folders[] = {{"dirAudioButton", "outputDirAudioLabel", "选择音频输出目录", dir + "/music out"},
                       {"dirVideoButton", "outputDirVideoLabel", "选择视频输出目录", dir + "/video out"}};
        for (const auto &folder : folders) {
            const QString before = w<QLabel>(folder.label)->text();
            {
                FileDialogAnswerer chooser(QString{});
                QTest::mouseClick(w<QPushButton>(folder.button), Qt::LeftButton);
                QVERIFY(chooser.answered());
                QCOMPARE(chooser.title(), QString::fromUtf8(folder.title));
                QCOMPARE(chooser.directory(), before);
                QCOMPARE(w<QLabel>(folder.label)->text(), before);
            }
            FileDialogAnswerer chooser(folder.folder);
            QTest::mouseClick(w<QPushButton>(folder.button), Qt::LeftButton);
            QVERIFY(chooser.answered());
            QCOMPARE(w<QLabel>(folder.label)->text(), folder.folder);
        }

        QDesktopServices::setUrlHandler("file", this, "openUrl");
        ModalAnswerer answers;
        answers.setAnswerText("打开输出文件夹");
        convertAndWait(answers);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(boxTexts(answers), QStringList{"完成 | 所有媒体文件转换完成"});
        QVERIFY(answers.boxes()[0].buttons.contains("打开输出文件夹"));
        QCOMPARE(openedUrls, (QList<QUrl>{QUrl::fromLocalFile(dir + "/music out"),
                                          QUrl::fromLocalFile(dir + "/video out")}));
        QCOMPARE(filesIn(dir + "/music out"), QStringList{"voice memo.mp3"});
        QCOMPARE(filesIn(dir + "/video out"), QStringList{"clip.avi"});
        QCOMPARE(probe(dir + "/music out/voice memo.mp3").audioBitRate, int64_t(128000));
        QCOMPARE(probe(dir + "/video out/clip.avi").codecs, (QStringList{"mp3", "mpeg4"}));

        w<QPushButton>("clearButton")->click();
        QCOMPARE(fileList()->count(), 0);
        QCOMPARE(w<QLabel>("outputDirAudioLabel")->text(), dir + "/music out");
        QCOMPARE(w<QComboBox>("audioBitrateCombo")->currentIndex(), 3);
    }

    // Quitting during a batch ends ffmpeg the same way and leaves no partial file.
    void quitEndsTheBatch_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("ends when asked") << "printf partial > \"$last\"; exec sleep 600";
        QTest::newRow("ignores the request") << "printf partial > \"$last\"; trap '' TERM; exec sleep 600";
    }

    void quitEndsTheBatch()
    {
        QFETCH(QString, body);
        const QString dir = freshDir("quit");
        useFakeFfmpeg(body);
        auto quitting = std::make_unique<MainWindow>();
        quitting->show();
        auto *other = quitting->findChild<MediaConverter *>();
        other->findChild<QLabel *>("outputDirAudioLabel")->setText(dir);
        other->findChild<QListWidget *>("fileList")->addItem(source("tone.wav"));

        QTest::mouseClick(other->findChild<QPushButton *>("convertButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir + "/tone.mp3"), 20000);
        const qint64 pid = lastFakePid();
        QVERIFY(alive(pid));

        quitting.reset();
        QVERIFY(!alive(pid));
        QCOMPARE(filesIn(dir), QStringList());
    }

    // SIGKILL leaves no chance to clean up: the kernel ends ffmpeg with it.
    void ffmpegDiesWithTheProgram()
    {
        const QString dir = freshDir("orphan");
        // Long enough that ffmpeg would go on for a good while by itself.
        QVERIFY(makeVideo(dir + "/long.avi", 20, "1280x720"));
        QProcess helper;
        helper.start(VEXLO_CONVERT_HELPER, {dir + "/long.avi", dir + "/out"});
        QVERIFY(helper.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(helper.canReadLine(), 60000);
        const QByteArray line = helper.readLine().trimmed();
        const qint64 pid = line.split(' ').value(1).toLongLong();
        QVERIFY2(line.startsWith("ffmpeg ") && running(pid), line.constData());
        QCOMPARE(contents(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed(), QByteArray("ffmpeg"));

        QVERIFY(sendSignal(helper, SIGKILL));
        QVERIFY(helper.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!running(pid), 10000);
    }
};

VEXLO_TEST_MAIN(ConverterTest)
#include "tst_converter.moc"
