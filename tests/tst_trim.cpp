// Trimming and sharing a recording from the history page: the trim dialog
// driven through its keys, times and buttons on a recording with a frame
// counter drawn in, the files it writes decoded, and the file put on the
// clipboard read back by another X client.
#include "app/mainwindow.h"
#include "app/trim/trimdialog.h"
#include "app/trim/trimtime.h"
#include "core/settingsstore.h"
#include "recorder/screenrecorder.h"

#include "support/modalanswerer.h"
#include "support/popupmenu.h"
#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include "support/testportal.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

extern "C" {
#include <libavutil/log.h>
}

using namespace vexlo::test;

namespace {

constexpr int LongWait = 120000;
const QRect CounterArea(0, 0, 1024, 128);
constexpr int Bits = 16;
constexpr int BitSize = 16;

// The number of paints so far as 16 black and white squares at its corner
// (the test portal's layout, read back by frameNumberAt), repainted every
// few milliseconds so that each recorded frame carries a new number.
class CounterPatch : public ScreenPatch
{
public:
    CounterPatch()
        : ScreenPatch(CounterArea)
    {
        connect(&timer, &QTimer::timeout, this, [this] { update(); });
        timer.start(4);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(40, 90, 160));
        p.fillRect(QRect(300, 20, 600, 90), QColor::fromHsv(count * 7 % 360, 200, 220));
        for (int bit = 0; bit < Bits; ++bit)
            p.fillRect(bit * BitSize, 0, BitSize, BitSize,
                       (count >> (Bits - 1 - bit)) & 1 ? Qt::white : Qt::black);
        ++count;
    }

private:
    QTimer timer;
    int count = 0;
};

QList<int> counters(const RecordedVideo &video)
{
    QList<int> numbers;
    for (const DecodedFrame &frame : video.frames)
        numbers << frameNumberAt(frame.image, QPoint(0, 0));
    return numbers;
}

// Writes a stand-in for ffmpeg that starts its output and then runs until
// it is ended, for the cancel the real one finishes too fast to reach.
QString slowFfmpegIn(const QString &dir)
{
    const QString path = dir + "/ffmpeg";
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\nfor last; do :; done\necho partial > \"$last\"\nexec sleep 600\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TrimTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString recording;
    RecordedVideo source;
    std::unique_ptr<MainWindow> window;

    QTableWidget *table() const { return window->findChild<QTableWidget *>("recordingsTable"); }

    int rowOf(const QString &name) const
    {
        for (int row = 0; row < table()->rowCount(); ++row)
            if (table()->item(row, 0)->text() == name)
                return row;
        return -1;
    }

    bool chooseFromRowMenu(const QString &name, const QString &entry)
    {
        const int row = rowOf(name);
        if (row < 0)
            return false;
        const auto clicked = std::make_shared<int>(-1);
        const QPointer<QObject> watch =
            onNextMenu([clicked, entry](QMenu *menu) { *clicked = clickMenuEntry(menu, entry); });
        QTest::mouseClick(table()->cellWidget(row, 5)->findChild<QToolButton *>(), Qt::LeftButton);
        const bool shown = QTest::qWaitFor([&] { return *clicked >= 0; }, LongWait);
        delete watch;
        return shown && *clicked == 1;
    }

    TrimDialog *openTrimDialog()
    {
        if (!chooseFromRowMenu(QFileInfo(recording).fileName(), "剪辑…"))
            return nullptr;
        TrimDialog *dialog = nullptr;
        (void)QTest::qWaitFor([&] {
            dialog = window->findChild<TrimDialog *>();
            return dialog != nullptr && dialog->findChild<QSlider *>()->isEnabled();
        }, LongWait);
        return dialog;
    }

    // The counter on the dialog's picture, read at the recording's size.
    static int counterShown(TrimDialog *dialog)
    {
        const QPixmap shown = dialog->findChild<QLabel *>("trimPicture")->pixmap();
        if (shown.isNull())
            return -2;
        return frameNumberAt(shown.toImage().scaled(CounterArea.size(), Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation),
                             QPoint(0, 0));
    }

    static void typeTime(TrimDialog *dialog, const char *edit, const QString &text)
    {
        auto *line = dialog->findChild<QLineEdit *>(edit);
        line->setFocus();
        line->selectAll();
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
    }

    static QString text(TrimDialog *dialog, const char *name)
    {
        if (auto *line = dialog->findChild<QLineEdit *>(name))
            return line->text();
        return dialog->findChild<QLabel *>(name)->text();
    }

private slots:
    void initTestCase()
    {
        av_log_set_level(AV_LOG_ERROR);
        QVERIFY(folder.isValid());

        CounterPatch patch;
        patch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&patch));
        ScreenRecorder recorder;
        recorder.setOutputDirectory(folder.path());
        RecordingConfig config;
        config.mode = Region;
        config.region = CounterArea;
        config.quality = UltraHD;
        config.format = MP4;
        config.frameRate = 30;
        config.captureCursor = false;
        config.recordMicrophone = true;
        QVERIFY(recorder.startRecording(config));
        QTest::qWait(6500);
        recording = recorder.currentFilePath();
        QVERIFY(stopAndWait(recorder));
        source = decodeRecording(recording);
        QVERIFY(source.frames.size() >= 180);
        QVERIFY2(decodeAudio(recording).opened, "the recording has no sound: is the test sound server up?");

        openSettingsStore()->setValue("General/outputDir", folder.path());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->findChild<QToolButton *>("historyButton")->click();
        QTRY_VERIFY(rowOf(QFileInfo(recording).fileName()) >= 0);
    }

    void cleanupTestCase() { window.reset(); }

    void cutsExactFramesWithTheirSoundAndMakesAGif()
    {
        QVERIFY(activate(window.get()));
        TrimDialog *dialog = openTrimDialog();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("剪辑"));
        const QList<int> numbers = counters(source);
        QTRY_VERIFY(!text(dialog, "positionEdit").isEmpty());
        // Times count from the file's start, which the sound may begin; the
        // first frame's text is rounded to the millisecond.
        int64_t firstUs = 0;
        QVERIFY(trim::parseTime(text(dialog, "positionEdit"), &firstUs));
        const double origin = source.frames.first().seconds - firstUs / 1e6;
        const auto timeText = [&](int index) {
            return trim::formatTime(int64_t(std::llround((source.frames.at(index).seconds - origin) * 1e6)));
        };
        const auto frameAt = [&](double seconds) {
            int index = 0;
            while (index + 1 < source.frames.size()
                   && source.frames.at(index + 1).seconds - origin <= seconds + 6e-4)
                ++index;
            return index;
        };
        QTRY_COMPARE(counterShown(dialog), numbers.first());

        // The keys editors use, each frame shown exactly.
        QWidget *keys = dialog->findChild<QLabel *>("trimPicture");
        QTest::keyClick(keys, Qt::Key_Right);
        QTest::keyClick(keys, Qt::Key_Right, Qt::ShiftModifier);
        const int second = frameAt(source.frames.at(1).seconds - origin + 1.0);
        QTRY_COMPARE(text(dialog, "positionEdit"), timeText(second));
        QTRY_COMPARE(counterShown(dialog), numbers.at(second));
        QTest::keyClick(keys, Qt::Key_Left);
        QTest::keyClick(keys, Qt::Key_I);
        QCOMPARE(text(dialog, "startEdit"), timeText(second - 1));
        QTest::keyClick(keys, Qt::Key_Home);
        QTest::keyClick(keys, Qt::Key_O);
        QCOMPARE(text(dialog, "trimStatus"), QStringLiteral("终点必须在起点之后"));
        QTest::keyClick(keys, Qt::Key_End);
        QTRY_COMPARE(counterShown(dialog), numbers.last());
        QTest::keyClick(keys, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(keys, Qt::Key_O);
        QTRY_COMPARE(counterShown(dialog), numbers.at(source.frames.size() - 31));
        QCOMPARE(text(dialog, "endEdit"), text(dialog, "positionEdit"));

        // Typed times: a wrong one is refused with the format, a good one
        // moves the position back to its exact frame.
        typeTime(dialog, "startEdit", "2:75");
        QVERIFY(text(dialog, "trimStatus").contains("[时:]分:秒.毫秒"));
        QCOMPARE(text(dialog, "startEdit"), timeText(second - 1));
        typeTime(dialog, "startEdit", "00:02.000");
        typeTime(dialog, "endEdit", "00:04.000");
        typeTime(dialog, "positionEdit", "00:03.000");
        QTRY_COMPARE(counterShown(dialog), numbers.at(frameAt(3.0)));
        typeTime(dialog, "startEdit", "00:04.500");
        QCOMPARE(text(dialog, "trimStatus"), QStringLiteral("起点必须在终点之前"));
        QCOMPARE(text(dialog, "startEdit"), QStringLiteral("00:02.000"));

        // Space plays in real time from the position and stops.
        QTest::keyClick(keys, Qt::Key_Space);
        QTRY_VERIFY(text(dialog, "positionEdit") >= QStringLiteral("00:03.500"));
        QTest::keyClick(keys, Qt::Key_Space);
        const QString stopped = text(dialog, "positionEdit");
        QTest::qWait(300);
        QCOMPARE(text(dialog, "positionEdit"), stopped);

        const QString base = folder.path() + "/" + QFileInfo(recording).completeBaseName();
        QFile::copy(recording, base + "_trim.mp4");
        dialog->findChild<QPushButton *>("saveVideoButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(text(dialog, "trimStatus"),
                                  "已保存 " + QFileInfo(base + "_trim_1.mp4").fileName(), LongWait);
        const RecordedVideo cut = decodeRecording(base + "_trim_1.mp4");
        const int first = frameAt(2.0);
        const int end = frameAt(4.0);
        QCOMPARE(cut.codec, AV_CODEC_ID_H264);
        if (counters(cut) != numbers.mid(first, end - first)) {
            for (int i = first - 2; i < end + 2; ++i)
                qWarning() << "source" << i << source.frames.at(i).seconds - origin << numbers.at(i);
            for (const DecodedFrame &frame : cut.frames)
                qWarning() << "cut" << frame.seconds << frameNumberAt(frame.image, QPoint(0, 0));
        }
        QCOMPARE(counters(cut), numbers.mid(first, end - first));
        const RecordedAudio sound = decodeAudio(base + "_trim_1.mp4");
        QVERIFY(sound.opened);
        QVERIFY2(std::abs(sound.seconds() - 2.0) < 0.05, qPrintable(QString::number(sound.seconds())));
        QVERIFY(std::abs(sound.startSeconds - cut.frames.first().seconds) < 0.05);
        QTRY_VERIFY(rowOf(QFileInfo(base + "_trim_1.mp4").fileName()) >= 0);

        auto *width = dialog->findChild<QComboBox *>("gifWidthBox");
        auto *rate = dialog->findChild<QComboBox *>("gifRateBox");
        QStringList widths;
        for (int i = 0; i < width->count(); ++i)
            widths << width->itemText(i);
        QCOMPARE(widths, (QStringList{"原始尺寸", "800 px", "640 px", "480 px"}));
        width->setCurrentIndex(width->findData(480));
        rate->setCurrentIndex(rate->findData(10));
        dialog->findChild<QPushButton *>("saveGifButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(text(dialog, "trimStatus"),
                                  "已保存 " + QFileInfo(base + ".gif").fileName(), LongWait);
        const RecordedVideo gif = decodeRecording(base + ".gif");
        QCOMPARE(gif.size, QSize(480, 60));
        QVERIFY2(std::abs(gif.frames.size() - 20) <= 1, qPrintable(QString::number(gif.frames.size())));
        QSet<QRgb> colours;
        for (const DecodedFrame &frame : gif.frames)
            for (int y = 0; y < frame.image.height(); ++y)
                for (int x = 0; x < frame.image.width(); ++x)
                    colours.insert(frame.image.pixel(x, y));
        QVERIFY(colours.size() <= 256);
        QTRY_VERIFY(rowOf(QFileInfo(base + ".gif").fileName()) >= 0);
        dialog->findChild<QPushButton *>("saveGifButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(text(dialog, "trimStatus"),
                                  "已保存 " + QFileInfo(base + "_1.gif").fileName(), LongWait);
        QCOMPARE(openSettingsStore()->value("Trim/gifWidth").toInt(), 480);
        QCOMPARE(openSettingsStore()->value("Trim/gifRate").toInt(), 10);
        dialog->findChild<QPushButton *>("trimCloseButton")->click();
        QTRY_VERIFY(window->findChild<TrimDialog *>() == nullptr);
    }

    void cancelAndFailureLeaveNoFile()
    {
        const QStringList before = filesIn(folder.path());
        QTemporaryDir tools;
        slowFfmpegIn(tools.path());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", tools.path().toLocal8Bit() + ":" + path);
        TrimDialog *dialog = openTrimDialog();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QPushButton *>("saveVideoButton")->click();
        QTRY_COMPARE(filesIn(folder.path()).size(), before.size() + 1);
        auto *cancel = dialog->findChild<QPushButton *>("trimCancelButton");
        QVERIFY(cancel->isVisible());
        cancel->click();
        QTRY_COMPARE(filesIn(folder.path()), before);
        QTRY_VERIFY(dialog->findChild<QPushButton *>("saveVideoButton")->isEnabled());
        qputenv("PATH", path);

        // The real ffmpeg, its input gone: the cause is named, nothing is left.
        const QString kept = recording + ".kept";
        QVERIFY(QFile::rename(recording, kept));
        ModalAnswerer answerer;
        dialog->findChild<QPushButton *>("saveGifButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes().size(), 1, LongWait);
        QVERIFY(QFile::rename(kept, recording));
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("剪辑"));
        QVERIFY2(answerer.boxes().first().text.contains("No such file or directory"),
                 qPrintable(answerer.boxes().first().text));
        QCOMPARE(filesIn(folder.path()), before);
        dialog->findChild<QPushButton *>("trimCloseButton")->click();
    }

    void copyFilePutsTheFileOnTheClipboard()
    {
        QVERIFY(chooseFromRowMenu(QFileInfo(recording).fileName(), "复制文件"));
        const auto read = [](const QString &target) {
            QProcess xclip;
            xclip.start("xclip", {"-selection", "clipboard", "-t", target, "-o"});
            // The clipboard is served by this process: its event loop runs meanwhile.
            (void)QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, LongWait);
            return QString::fromUtf8(xclip.readAllStandardOutput()).trimmed();
        };
        const QString url = QUrl::fromLocalFile(recording).toString(QUrl::FullyEncoded);
        QTRY_COMPARE(read("text/uri-list"), url);
        QCOMPARE(read("x-special/gnome-copied-files"), "copy\n" + url);
    }
};

VEXLO_TEST_MAIN(TrimTest)
#include "tst_trim.moc"
