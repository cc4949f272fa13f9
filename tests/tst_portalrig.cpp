// The portal rig itself (scripts/headless.sh --portal): a session through
// the real frontend reaches the test backend, its PipeWire stream carries the
// promised content, restore tokens spare the dialog, and cancelling and
// ending behave as on a desktop. Frames are read by GStreamer's PipeWire
// source, independently of Vexlo's own capture.

#include "support/portalclient.h"
#include "support/testportal.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

using namespace vexlo::test;
namespace content = vexlo::testportal;

namespace {

// The first count frames of the session's stream, as PNG files decoded.
QList<QImage> readFrames(PortalClient &client, int count)
{
    const int fd = client.openPipeWireRemote();
    if (fd < 0) {
        qWarning().noquote() << client.error();
        return {};
    }
    QTemporaryDir dir;
    QProcess reader;
    reader.setProcessChannelMode(QProcess::ForwardedChannels);
    reader.start(QStringLiteral("gst-launch-1.0"),
                 {"-q", "pipewiresrc", QStringLiteral("fd=%1").arg(fd), QStringLiteral("path=%1").arg(client.nodeId()),
                  QStringLiteral("num-buffers=%1").arg(count), "!", "videoconvert", "!", "pngenc", "!",
                  "multifilesink", QStringLiteral("location=%1/%03d.png").arg(dir.path())});
    const bool done = reader.waitForFinished(120000) && reader.exitCode() == 0;
    ::close(fd);
    QList<QImage> frames;
    const QStringList files = QDir(dir.path()).entryList({"*.png"}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        frames.append(QImage(dir.filePath(file)));
    if (!done)
        qWarning() << "the stream reader ended with" << reader.exitCode() << "after" << frames.size() << "frames";
    return frames;
}

} // namespace

class TestPortalRig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(TestPortal::running(), "run under scripts/headless.sh --portal (the rig is not up)");
    }

    void streamCarriesFrameNumbersColoursAndPointer()
    {
        TestPortal portal;
        QVERIFY(portal.setStreamSize(QSize(640, 360)));
        QVERIFY(portal.setFrameRate(30));
        PortalClient client;
        PortalClient::Options embedded;
        embedded.cursorMode = content::CursorEmbedded;
        QCOMPARE(client.start(embedded), 0);
        QCOMPARE(client.streamSize(), QSize(640, 360));
        QCOMPARE(portal.activeStreams(), 1);

        // 45 frames at 30 fps: the colour changes once on the way.
        const QList<QImage> frames = readFrames(client, 45);
        QCOMPARE(frames.size(), 45);
        int previous = -1;
        QSet<int> colours;
        for (const QImage &frame : frames) {
            QCOMPARE(frame.size(), QSize(640, 360));
            const int number = frameNumberAt(frame, QPoint(0, 0));
            QVERIFY2(number > previous, qPrintable(QStringLiteral("frame %1 after %2").arg(number).arg(previous)));
            QCOMPARE(frameNumberAt(frame, QPoint(content::CellWidth, 2 * content::CellHeight)), number);
            const int colour = paletteIndexOf(frame.pixel(200, 40));
            QCOMPARE(colour, content::PaletteIndexOf(number, 30));
            colours.insert(colour);
            const QPoint pointer(content::DefaultPointerX, content::DefaultPointerY);
            QCOMPARE(QColor(frame.pixel(pointer + QPoint(1, 1))), QColor(Qt::white));
            QCOMPARE(QColor(frame.pixel(pointer + QPoint(8, 8))), QColor(Qt::black));
            previous = number;
        }
        QCOMPARE(colours.size(), 2);
    }

    void restoreTokenSparesTheDialog()
    {
        TestPortal portal;
        const int dialogs = portal.dialogCount();
        PortalClient::Options persistent;
        persistent.persistMode = 2;
        {
            PortalClient first;
            QCOMPARE(first.start(persistent), 0);
            persistent.restoreToken = first.restoreToken();
        }
        QVERIFY(!persistent.restoreToken.isEmpty());
        QCOMPARE(portal.dialogCount(), dialogs + 1);

        PortalClient second;
        QCOMPARE(second.start(persistent), 0);
        QCOMPARE(portal.dialogCount(), dialogs + 1);
        QCOMPARE(second.restoreToken(), persistent.restoreToken);
        QVERIFY(portal.lastSelectOptions().contains(QStringLiteral("restore_data")));
    }

    void cancelledDialogAndEndedStream()
    {
        TestPortal portal;
        QVERIFY(portal.setNextResponse(1));
        {
            PortalClient cancelled;
            QCOMPARE(cancelled.start({}), 1);
        }
        QCOMPARE(portal.activeStreams(), 0);

        PortalClient client;
        QCOMPARE(client.start({}), 0);
        QCOMPARE(portal.activeStreams(), 1);
        QVERIFY(portal.endStream());
        QVERIFY(client.waitForClosed(30000));
        QCOMPARE(portal.activeStreams(), 0);
        QVERIFY(!portal.setFrameRate(0));
    }
};

VEXLO_TEST_MAIN(TestPortalRig)
#include "tst_portalrig.moc"
