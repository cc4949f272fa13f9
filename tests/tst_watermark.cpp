// Watermarks: where the image and the text land, how translucent they are,
// which of the two is drawn, read from composed frames and from a recording.
#include "recorder/screenrecorder.h"
#include "recorder/watermark.h"

#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include <QGuiApplication>
#include <QScreen>
#include "support/testsupport.h"

#include <QFontMetrics>
#include <QTemporaryDir>

using namespace vexlo::test;

namespace {

const QColor ImageColour(0, 200, 0);

QImage filled(QSize size, QColor colour, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

QPixmap frameOf(QSize size, QColor colour)
{
    QPixmap frame(size);
    frame.fill(colour);
    return frame;
}

// Bounding box of the pixels of `frame` that are not `background`.
QRect inkBox(const QImage &frame, const QColor &background)
{
    QRect box;
    const QRgb bg = background.rgb();
    for (int y = 0; y < frame.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            if ((line[x] | 0xff000000u) != bg)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

bool anyPixel(const QImage &frame, const std::function<bool(QColor)> &test)
{
    for (int y = 0; y < frame.height(); y += 2)
        for (int x = 0; x < frame.width(); x += 2)
            if (test(frame.pixelColor(x, y)))
                return true;
    return false;
}

bool isImageColour(QColor c)
{
    return c.green() > 150 && c.red() < 100 && c.blue() < 100;
}

bool isTextColour(QColor c)
{
    return c.blue() > 200 && c.red() < 150 && c.green() < 150;
}

QString describeRect(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class WatermarkTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir files;

    QString saveImage(const QString &name, const QImage &image)
    {
        const QString path = files.filePath(name);
        if (!image.save(path))
            return {};
        return path;
    }

    static RecordingConfig imageConfig(const QString &path, int opacity = 100, int percent = 80)
    {
        RecordingConfig config;
        config.watermarkEnabled = true;
        config.imageWatermarkEnabled = true;
        config.watermarkImagePath = path;
        config.imageOpacity = opacity;
        config.imageSizePercent = percent;
        return config;
    }

private slots:
    void imagePlacement_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QRect>("expected");
        const QSize hd(1920, 1080);
        const QSize wide(400, 200);
        QTest::newRow("bottom right") << int(BottomRight) << hd << wide << 80 << QRect(1036, 628, 864, 432);
        QTest::newRow("bottom left") << int(BottomLeft) << hd << wide << 80 << QRect(20, 628, 864, 432);
        QTest::newRow("top right") << int(TopRight) << hd << wide << 80 << QRect(1036, 20, 864, 432);
        QTest::newRow("top left") << int(TopLeft) << hd << wide << 80 << QRect(20, 20, 864, 432);
        QTest::newRow("centre") << int(Center) << hd << wide << 80 << QRect(528, 324, 864, 432);
        QTest::newRow("unknown position") << 9 << hd << wide << 80 << QRect(0, 0, 864, 432);
        QTest::newRow("portrait frame") << int(BottomRight) << QSize(600, 1000) << QSize(300, 300)
                                        << 50 << QRect(280, 680, 300, 300);
        QTest::newRow("tall image, odd sizes") << int(TopLeft) << QSize(801, 601) << QSize(100, 300)
                                               << 30 << QRect(20, 20, 180, 540);
    }

    void imagePlacement()
    {
        QFETCH(int, position);
        QFETCH(QSize, frame);
        QFETCH(QSize, image);
        QFETCH(int, percent);
        QFETCH(QRect, expected);
        RecordingConfig config = imageConfig(saveImage("placed.png", filled(image, ImageColour)), 100, percent);
        config.watermarkPosition = WatermarkPosition(position);

        QPixmap composed = frameOf(frame, Qt::white);
        WatermarkPainter().apply(composed, config);
        const QImage result = composed.toImage();
        const QRect seen = inkBox(result, Qt::white);
        QVERIFY2(seen == expected, qPrintable("seen " + describeRect(seen)));
        QCOMPARE(result.pixelColor(expected.center()), ImageColour);
    }

    void imageOpacity_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("sourceAlpha");
        QTest::addColumn<int>("opacity");
        QTest::addColumn<int>("expected"); // grey of white over black
        QTest::newRow("PNG at 70") << "white.png" << 255 << 70 << 178;
        QTest::newRow("JPEG has no alpha, at 70") << "white.jpg" << 255 << 70 << 178;
        QTest::newRow("BMP has no alpha, at 70") << "white.bmp" << 255 << 70 << 178;
        QTest::newRow("PNG at 100") << "white.png" << 255 << 100 << 255;
        QTest::newRow("half-transparent PNG at 50") << "half.png" << 128 << 50 << 64;
        QTest::newRow("at 0 nothing, not even the text") << "white.png" << 255 << 0 << 0;
        QTest::newRow("above 100 saturates") << "white.png" << 255 << 150 << 255;
        QTest::newRow("below 0 is invisible") << "white.png" << 255 << -20 << 0;
    }

    void imageOpacity()
    {
        QFETCH(QString, file);
        QFETCH(int, sourceAlpha);
        QFETCH(int, opacity);
        QFETCH(int, expected);
        const QImage source = filled(QSize(200, 100), QColor(255, 255, 255, sourceAlpha),
                                     file.endsWith(".png") ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        RecordingConfig config = imageConfig(saveImage(file, source), opacity, 50);
        config.watermarkText = QStringLiteral("TEXT");
        config.watermarkColor = Qt::white;
        config.watermarkPosition = TopLeft;

        QPixmap composed = frameOf(QSize(800, 600), Qt::black);
        WatermarkPainter().apply(composed, config);
        const QImage result = composed.toImage();
        const QColor centre = result.pixelColor(20 + 150, 20 + 75);
        QVERIFY2(qAbs(centre.red() - expected) <= 1 && centre.red() == centre.green()
                     && centre.green() == centre.blue(),
                 qPrintable(describe(centre)));
        if (expected == 0)
            QVERIFY2(inkBox(result, Qt::black).isNull(), qPrintable(describeRect(inkBox(result, Qt::black))));
    }

    void imageOrText_data()
    {
        QTest::addColumn<bool>("imageEnabled");
        QTest::addColumn<QString>("path"); // "good", "missing", "text file" or empty
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("watermarkEnabled");
        QTest::addColumn<QString>("expected");
        QTest::newRow("image with empty path: text") << true << "" << "WM" << true << "text";
        QTest::newRow("missing image, no text: nothing") << true << "missing" << "" << true << "nothing";
        QTest::newRow("not an image: text") << true << "text file" << "WM" << true << "text";
        QTest::newRow("image and text: only the image") << true << "good" << "WM" << true << "image";
        QTest::newRow("image switched off: text") << false << "good" << "WM" << true << "text";
        QTest::newRow("text without the master switch: nothing") << false << "" << "WM" << false << "nothing";
    }

    void imageOrText()
    {
        QFETCH(bool, imageEnabled);
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(bool, watermarkEnabled);
        QFETCH(QString, expected);
        QString file;
        if (path == "good") {
            file = saveImage("good.png", filled(QSize(300, 150), ImageColour));
        } else if (path == "missing") {
            file = files.filePath("missing.png");
        } else if (path == "text file") {
            file = files.filePath("notes.png");
            QFile notes(file);
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("not an image\n");
        }
        RecordingConfig config = imageConfig(file);
        config.imageWatermarkEnabled = imageEnabled;
        config.watermarkEnabled = watermarkEnabled;
        config.watermarkText = text;
        config.watermarkColor = Qt::blue;
        config.watermarkFontSize = 72;

        QPixmap composed = frameOf(QSize(1280, 720), Qt::white);
        WatermarkPainter().apply(composed, config);
        const QImage result = composed.toImage();
        QCOMPARE(anyPixel(result, isImageColour), expected == "image");
        QCOMPARE(anyPixel(result, isTextColour), expected == "text");
    }

    void textPlacement_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("solid"); // the colour over white at alpha 180
        const QColor blue(0, 0, 255);
        const QColor drawnBlue(75, 75, 255);
        QTest::newRow("top left, 72 px") << int(TopLeft) << 72 << blue << drawnBlue;
        QTest::newRow("top right, 42 px") << int(TopRight) << 42 << blue << drawnBlue;
        QTest::newRow("bottom left, 120 px") << int(BottomLeft) << 120 << blue << drawnBlue;
        QTest::newRow("bottom right, 32 px") << int(BottomRight) << 32 << blue << drawnBlue;
        QTest::newRow("centre, 72 px") << int(Center) << 72 << blue << drawnBlue;
        QTest::newRow("unknown position") << 7 << 72 << blue << drawnBlue;
        QTest::newRow("translucent colour drawn at 180")
            << int(TopLeft) << 72 << QColor(255, 0, 0, 40) << QColor(255, 75, 75);
    }

    void textPlacement()
    {
        QFETCH(int, position);
        QFETCH(int, fontSize);
        QFETCH(QColor, colour);
        QFETCH(QColor, solid);
        const QSize frame(1280, 720);
        const QString text = QStringLiteral("HIT");
        RecordingConfig config;
        config.watermarkEnabled = true;
        config.watermarkText = text;
        config.watermarkPosition = WatermarkPosition(position);
        config.watermarkFontSize = fontSize;
        config.watermarkColor = colour;

        QPixmap composed = frameOf(frame, Qt::white);
        WatermarkPainter().apply(composed, config);
        const QImage result = composed.toImage();
        const QRect ink = inkBox(result, Qt::white);
        QVERIFY(!ink.isNull());

        QFont font;
        font.setPixelSize(fontSize);
        font.setWeight(QFont::Bold);
        const QFontMetrics metrics(font);
        const int th = metrics.height();
        const int tw = metrics.horizontalAdvance(text);
        const int margin = 20;
        int x = 0;
        int baseline = th;
        switch (position) {
        case TopLeft: x = margin; baseline = th + margin; break;
        case TopRight: x = frame.width() - tw - margin; baseline = th + margin; break;
        case BottomLeft: x = margin; baseline = frame.height() - margin; break;
        case BottomRight: x = frame.width() - tw - margin; baseline = frame.height() - margin; break;
        case Center: x = (frame.width() - tw) / 2; baseline = (frame.height() - th) / 2 + th; break;
        }
        // Capital letters stand on the baseline and start a bearing to the
        // right of the pen position.
        const QString where = "ink " + describeRect(ink) + QString(", baseline %1, x %2").arg(baseline).arg(x);
        QVERIFY2(ink.bottom() >= baseline - 2 && ink.bottom() <= baseline, qPrintable(where));
        QVERIFY2(ink.left() >= x && ink.left() <= x + fontSize / 6, qPrintable(where));
        QVERIFY2(ink.right() <= x + tw, qPrintable(where));
        QVERIFY2(ink.height() >= fontSize / 2, qPrintable(where));

        // The stems of the letters are solid: the colour at alpha 180 over white.
        QColor strongest(Qt::white);
        for (int py = ink.top(); py <= ink.bottom(); ++py)
            for (int px = ink.left(); px <= ink.right(); ++px) {
                const QColor c = result.pixelColor(px, py);
                if (c.lightness() < strongest.lightness())
                    strongest = c;
            }
        QVERIFY2(closeTo(strongest, solid, 3), qPrintable(describe(strongest)));
    }

    // The prepared image is reused, but not past a change of the file.
    void imageFileReplacedUnderTheSamePath()
    {
        const QString path = saveImage("swapped.png", filled(QSize(200, 100), ImageColour));
        RecordingConfig config = imageConfig(path);
        config.watermarkPosition = Center;
        WatermarkPainter painter;
        QPixmap first = frameOf(QSize(640, 480), Qt::white);
        painter.apply(first, config);
        QCOMPARE(first.toImage().pixelColor(320, 240), ImageColour);

        QVERIFY(!saveImage("swapped.png", filled(QSize(200, 100), Qt::red)).isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        file.close();
        QPixmap second = frameOf(QSize(640, 480), Qt::white);
        painter.apply(second, config);
        QCOMPARE(second.toImage().pixelColor(320, 240), QColor(Qt::red));
    }

    // Through the recorder: the text is in the recorded frames and in the
    // preview that asks for it, and missing from the one that does not.
    void recordedFramesCarryTheWatermark()
    {
        vexlo::test::ScreenPatch backdrop(QRect(0, 0, 900, 500), Qt::white);
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        QTest::qWait(200);

        QTemporaryDir output;
        ScreenRecorder recorder;
        recorder.setOutputDirectory(output.path());
        RecordingConfig config;
        config.mode = FullScreen;
        config.quality = SD; // the top-left 854 x 480
        config.format = MP4;
        config.captureCursor = false;
        config.watermarkEnabled = true;
        config.watermarkText = QStringLiteral("VEXLO");
        config.watermarkPosition = TopLeft;
        config.watermarkFontSize = 120;
        config.watermarkColor = Qt::blue;

        recorder.updateConfig(config);
        const QRect area(0, 0, 854, 480);
        QVERIFY(!anyPixel(recorder.capturePreviewFrame(false).toImage().copy(area), isTextColour));
        QVERIFY(anyPixel(recorder.capturePreviewFrame(true).toImage().copy(area), isTextColour));

        QVERIFY(recorder.startRecording(config));
        QTest::qWait(700);
        QVERIFY(stopAndWait(recorder));
        const RecordedVideo video = decodeRecording(filesIn(output.path()).isEmpty()
                                                        ? QString()
                                                        : QDir(output.path()).filePath(filesIn(output.path()).first()));
        QVERIFY(video.opened);
        QCOMPARE(video.size, QSize(854, 480));
        QVERIFY(video.frames.size() >= 10);
        const QImage last = video.frames.last().image;
        QVERIFY(anyPixel(last, [](QColor c) { return closeTo(c, QColor(75, 75, 255), 40); }));
        // Below the text the screen shows through.
        QVERIFY2(closeTo(last.pixelColor(400, 400), Qt::white), qPrintable(describe(last.pixelColor(400, 400))));
    }

    // The page pushes its region into a running recording every 500 ms; an
    // HD recording of a small region keeps its 1280 x 720 area, so the frame
    // is not padded with black and a bottom-right watermark stays in it.
    void pushedRegionKeepsTheRecordingsSize()
    {
        vexlo::test::ScreenPatch backdrop(QGuiApplication::primaryScreen()->geometry(), Qt::white);
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        QTest::qWait(200);

        QTemporaryDir output;
        ScreenRecorder recorder;
        recorder.setOutputDirectory(output.path());
        RecordingConfig config;
        config.mode = Region;
        config.region = QRect(100, 100, 400, 300);
        config.quality = HD;
        config.captureCursor = false;
        config.watermarkEnabled = true;
        config.watermarkText = QStringLiteral("VEXLO");
        config.watermarkPosition = BottomRight;
        config.watermarkColor = Qt::blue;
        QVERIFY(recorder.startRecording(config));
        recorder.updateConfig(config);
        QTest::qWait(700);
        QVERIFY(stopAndWait(recorder));

        const QStringList files = filesIn(output.path());
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(QDir(output.path()).filePath(files.first()));
        QCOMPARE(video.size, QSize(1280, 720));
        const QImage last = video.frames.last().image;
        QVERIFY2(closeTo(last.pixelColor(900, 500), Qt::white), qPrintable(describe(last.pixelColor(900, 500))));
        QVERIFY(anyPixel(last.copy(880, 570, 400, 150),
                         [](QColor c) { return closeTo(c, QColor(75, 75, 255), 40); }));
    }
};

VEXLO_TEST_MAIN(WatermarkTest)
#include "tst_watermark.moc"
