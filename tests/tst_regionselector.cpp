// The region overlay: dragging, the size limit, its buttons, keys, its
// owner, and what it looks like on a composited screen.
#include "selectors/regionselector.h"

#include "platform/windowlist.h"

#include "helpers/xclient.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

using vexlo::test::XClient;

namespace {

const QString ConfirmText = QStringLiteral("确认");
const QString CancelText = QStringLiteral("取消");

QPushButton *button(const RegionSelector *selector, const QString &text)
{
    const auto buttons = selector->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons)
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

QWidget *buttonBox(const RegionSelector *selector)
{
    QPushButton *confirm = button(selector, ConfirmText);
    return confirm ? confirm->parentWidget() : nullptr;
}

QLabel *hint(const RegionSelector *selector)
{
    return selector->findChild<QLabel *>();
}

void drag(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QTest::mouseMove(widget, (from + to) / 2);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

// Real input through the X server, as a user's pointer and keyboard give it.
bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

QStringList xdotoolDrag(QPoint from, QPoint to)
{
    const QPoint middle = (from + to) / 2;
    return {"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1",
            "mousemove", QString::number(middle.x()), QString::number(middle.y()),
            "mousemove", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"};
}

// Pixels of a region that are white or nearly so: the glyphs of a label.
QList<QPoint> brightPixels(const QImage &image, const QRect &area)
{
    QList<QPoint> points;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 200 && colour.green() > 200 && colour.blue() > 200)
                points << QPoint(x, y) - area.topLeft();
        }
    return points;
}

bool near(const QColor &actual, const QColor &expected, int tolerance = 12)
{
    return qAbs(actual.red() - expected.red()) <= tolerance
           && qAbs(actual.green() - expected.green()) <= tolerance
           && qAbs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace

class RegionSelectorTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> owner;
    QPointer<RegionSelector> selector;

    RegionSelector *openSelector()
    {
        selector = new RegionSelector(owner.get());
        selector->show();
        if (!QTest::qWaitForWindowExposed(selector))
            qWarning("overlay not exposed");
        return selector;
    }

private slots:
    void init()
    {
        owner = std::make_unique<QWidget>();
        owner->resize(300, 200);
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
    }

    void cleanup()
    {
        delete selector;
        owner.reset();
    }

    void coversThePrimaryScreenWithAHint()
    {
        openSelector();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTRY_COMPARE(selector->frameGeometry(), screen);
        QVERIFY(selector->windowFlags().testFlags(Qt::Tool | Qt::FramelessWindowHint
                                                  | Qt::WindowStaysOnTopHint));
        QVERIFY(selector->testAttribute(Qt::WA_TranslucentBackground));
        QLabel *label = hint(selector);
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("拖动鼠标选择区域\n按ESC取消"));
        QVERIFY(label->isVisible());
        QCOMPARE(label->geometry(),
                 QRect((screen.width() - 200) / 2, (screen.height() - 60) / 2, 200, 60));
        QVERIFY(buttonBox(selector));
        QVERIFY(!buttonBox(selector)->isVisible());
        QVERIFY(button(selector, CancelText));
    }

    void dragSelectsNormalisedRectangle_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("selected"); // null: discarded
        QTest::newRow("down and right") << QPoint(100, 120) << QPoint(300, 250) << QRect(100, 120, 201, 131);
        QTest::newRow("up and left") << QPoint(300, 250) << QPoint(100, 120) << QRect(100, 120, 201, 131);
        QTest::newRow("down and left") << QPoint(300, 120) << QPoint(100, 250) << QRect(100, 120, 201, 131);
        QTest::newRow("10 x 10 is enough") << QPoint(500, 500) << QPoint(509, 509) << QRect(500, 500, 10, 10);
        QTest::newRow("10 x 10 backwards") << QPoint(509, 509) << QPoint(500, 500) << QRect(500, 500, 10, 10);
        QTest::newRow("9 x 200 is discarded") << QPoint(500, 300) << QPoint(508, 499) << QRect();
        QTest::newRow("200 x 9 is discarded") << QPoint(300, 500) << QPoint(499, 508) << QRect();
        QTest::newRow("click without drag") << QPoint(700, 700) << QPoint(700, 700) << QRect();
        QTest::newRow("beyond the overlay is cut off")
            << QPoint(1900, 1000) << QPoint(2300, 1400) << QRect(1900, 1000, 20, 80);
    }
    void dragSelectsNormalisedRectangle()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRect, selected);
        openSelector();
        QSignalSpy chosen(selector, &RegionSelector::regionSelected);
        QSignalSpy cancelled(selector, &RegionSelector::selectionCancelled);

        drag(selector, from, to);
        QCOMPARE(buttonBox(selector)->isVisible(), selected.isValid());
        QCOMPARE(hint(selector)->isVisible(), !selected.isValid());
        QVERIFY(chosen.isEmpty() && cancelled.isEmpty());

        // Return confirms what is selected, and cancels when nothing is.
        QTest::keyClick(selector, Qt::Key_Return);
        if (selected.isValid()) {
            QCOMPARE(chosen.size(), 1);
            QCOMPARE(chosen.at(0).at(0).toRect(), selected);
            QCOMPARE(cancelled.size(), 0);
        } else {
            QCOMPARE(chosen.size(), 0);
            QCOMPARE(cancelled.size(), 1);
        }
        QTRY_VERIFY(selector.isNull());
    }

    void newDragReplacesSelection()
    {
        openSelector();
        drag(selector, {100, 100}, {400, 400});
        QVERIFY(buttonBox(selector)->isVisible());
        // While dragging again nothing is selected: buttons gone, hint back.
        QTest::mousePress(selector, Qt::LeftButton, {}, {600, 600});
        QTest::mouseMove(selector, {700, 650});
        QVERIFY(!buttonBox(selector)->isVisible());
        QVERIFY(hint(selector)->isVisible());
        // A right button does not end the drag.
        QTest::mouseRelease(selector, Qt::RightButton, {}, {650, 650});
        QVERIFY(!buttonBox(selector)->isVisible());
        QTest::mouseRelease(selector, Qt::LeftButton, {}, {800, 700});
        QSignalSpy chosen(selector, &RegionSelector::regionSelected);
        QTest::keyClick(selector, Qt::Key_Enter);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).toRect(), QRect(600, 600, 201, 101));
    }

    void buttonsStayOnScreen_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QPoint>("buttons");
        QTest::newRow("centred below") << QPoint(400, 300) << QPoint(799, 599) << QPoint(499, 609);
        QTest::newRow("touching the bottom") << QPoint(400, 900) << QPoint(799, 1079) << QPoint(499, 1020);
        QTest::newRow("at the right edge") << QPoint(1800, 100) << QPoint(1919, 299) << QPoint(1710, 309);
        QTest::newRow("at the left edge") << QPoint(0, 100) << QPoint(50, 299) << QPoint(10, 309);
        QTest::newRow("full width at the bottom") << QPoint(1, 900) << QPoint(1919, 1079) << QPoint(860, 1020);
    }
    void buttonsStayOnScreen()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QPoint, buttons);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1920, 1080));
        openSelector();
        drag(selector, from, to);
        QWidget *box = buttonBox(selector);
        QVERIFY(box->isVisible());
        QCOMPARE(box->geometry(), QRect(buttons, QSize(200, 50)));
        QVERIFY(button(selector, ConfirmText)->geometry().right()
                < button(selector, CancelText)->geometry().left());
    }

    void realPointerAndKeyboard_data()
    {
        QTest::addColumn<QStringList>("finish");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("Return") << QStringList{"key", "Return"} << true;
        QTest::newRow("keypad Enter") << QStringList{"key", "KP_Enter"} << true;
        QTest::newRow("Escape") << QStringList{"key", "Escape"} << false;
        QTest::newRow("confirm button") << QStringList{"click:confirm"} << true;
        QTest::newRow("cancel button") << QStringList{"click:cancel"} << false;
    }
    void realPointerAndKeyboard()
    {
        QFETCH(QStringList, finish);
        QFETCH(bool, confirmed);
        openSelector();
        QSignalSpy chosen(selector, &RegionSelector::regionSelected);
        QSignalSpy cancelled(selector, &RegionSelector::selectionCancelled);
        // The keys only reach an overlay that holds the focus.
        QTRY_VERIFY(selector->isActiveWindow());

        QVERIFY(xdotool(xdotoolDrag({640, 360}, {320, 200})));
        QTRY_VERIFY(buttonBox(selector)->isVisible());
        if (finish.first().startsWith(QLatin1String("click:"))) {
            QPushButton *target =
                button(selector, finish.first() == QLatin1String("click:confirm") ? ConfirmText : CancelText);
            const QPoint centre = target->mapToGlobal(target->rect().center());
            QVERIFY(xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()),
                             "click", "1"}));
        } else {
            QVERIFY(xdotool(finish));
        }
        QTRY_COMPARE(chosen.size() + cancelled.size(), 1);
        QCOMPARE(chosen.size(), confirmed ? 1 : 0);
        if (confirmed)
            QCOMPARE(chosen.at(0).at(0).toRect(), QRect(320, 200, 321, 161));
        QTRY_VERIFY(selector.isNull());
        QTest::qWait(50);
        QCOMPARE(chosen.size() + cancelled.size(), 1);
    }

    void reportsOnlyOnceWhenReentered()
    {
        openSelector();
        drag(selector, {100, 100}, {300, 300});
        QSignalSpy chosen(selector, &RegionSelector::regionSelected);
        QSignalSpy cancelled(selector, &RegionSelector::selectionCancelled);
        // A receiver that lets events through before the overlay closes,
        // as a message box would, while the user keeps pressing keys.
        connect(selector, &RegionSelector::regionSelected, selector, [this] {
            QTest::keyClick(selector, Qt::Key_Escape);
            QTest::keyClick(selector, Qt::Key_Return);
            button(selector, CancelText)->click();
        });
        QTest::keyClick(selector, Qt::Key_Return);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(cancelled.size(), 0);
        QTRY_VERIFY(selector.isNull());
    }

    void closesWithoutReportWhenOwnerGoes_data()
    {
        QTest::addColumn<bool>("deleteOwner");
        QTest::newRow("owner deleted") << true;
        QTest::newRow("closed directly") << false;
    }
    void closesWithoutReportWhenOwnerGoes()
    {
        QFETCH(bool, deleteOwner);
        openSelector();
        drag(selector, {100, 100}, {300, 300});
        QSignalSpy chosen(selector, &RegionSelector::regionSelected);
        QSignalSpy cancelled(selector, &RegionSelector::selectionCancelled);
        const WId overlay = selector->winId();
        if (deleteOwner)
            owner.reset();
        else
            selector->close();
        QTRY_VERIFY(selector.isNull());
        QCOMPARE(chosen.size() + cancelled.size(), 0);
        QVERIFY(!platform::isWindow(overlay));
    }

    void sizeLabelShowsDraggedSize()
    {
        openSelector();
        // Mid-drag the buttons are hidden, so the whole label is in view.
        QTest::mousePress(selector, Qt::LeftButton, {}, {400, 300});
        QTest::mouseMove(selector, {409, 309});
        // Seen over a black desktop, as the reference below is drawn.
        QImage shown(selector->size(), QImage::Format_RGB32);
        shown.fill(Qt::black);
        QPainter(&shown).drawPixmap(0, 0, selector->grab());

        // The same text, rendered independently in the label's font.
        const QString text = QStringLiteral("10 × 10");
        QFont font = selector->font();
        font.setWeight(QFont::Bold);
        font.setPointSize(12);
        QImage reference(200, 60, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(selector->logicalDpiY() / 0.0254);
        reference.setDotsPerMeterX(dotsPerMeter);
        reference.setDotsPerMeterY(dotsPerMeter);
        reference.fill(Qt::black);
        QRect box;
        {
            QPainter painter(&reference);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setFont(font);
            box = painter.fontMetrics().boundingRect(QRect(), Qt::AlignCenter, text);
            box.moveTopLeft({0, 0});
            painter.setPen(Qt::white);
            painter.drawText(box, Qt::AlignCenter, text);
        }
        const QList<QPoint> expected = brightPixels(reference, box);
        QVERIFY(expected.size() > 20);
        QCOMPARE(brightPixels(shown, box.translated(405, 305)), expected);

        QTest::mouseRelease(selector, Qt::LeftButton, {}, {409, 309});
        QVERIFY(buttonBox(selector)->isVisible());
    }

    void screenshotShowsDimmingCutOutAndOutline()
    {
        XClient client;
        QVERIFY(client.isConnected());
        if (!client.hasCompositor())
            QSKIP("translucency needs a compositing manager");
        // A white desktop underneath, so dimming shows as grey.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const xcb_window_t background = client.createWindow(screen);
        client.setUndecorated(background);
        client.map(background);
        QTRY_COMPARE(client.wmState(background), 1u);
        QTRY_COMPARE(client.frameRect(background), screen);

        openSelector();
        owner->lower();
        QTRY_VERIFY(selector->isActiveWindow());
        drag(selector, {600, 300}, {1099, 599});
        const QRect selected(600, 300, 500, 300);

        const auto grabScreen = [] { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); };
        QImage image;
        const auto looksRight = [&] {
            image = grabScreen();
            int red = 0;
            for (int y = 420; y < 480; ++y)
                red += near(image.pixelColor(selected.left(), y), Qt::red, 40);
            return near(image.pixelColor(300, 900), QColor(127, 127, 127))
                   && near(image.pixelColor(1000, 500), Qt::white) && red > 20;
        };
        QTRY_VERIFY_WITH_TIMEOUT(looksRight(), 5000);
        image.save(QDir::temp().filePath(QStringLiteral("vexlo-regionselector.png")));

        // The outline is dashed: red and white alternate along the top edge.
        int red = 0, white = 0;
        for (int x = selected.left() + 20; x < selected.right() - 20; ++x) {
            const QColor colour = image.pixelColor(x, selected.top());
            red += near(colour, Qt::red, 60);
            white += near(colour, Qt::white, 60);
        }
        QVERIFY2(red > 100 && white > 50, qPrintable(QStringLiteral("%1 red, %2 white").arg(red).arg(white)));
        // Size label: dark box just inside the top-left corner.
        QVERIFY(image.pixelColor(selected.left() + 6, selected.top() + 6).lightness() < 100);
        // Buttons below the selection: green confirm on the left, red cancel on the right.
        const QWidget *box = buttonBox(selector);
        const QPoint confirm = box->mapToGlobal(button(selector, ConfirmText)->geometry().center());
        const QPoint cancel = box->mapToGlobal(button(selector, CancelText)->geometry().center());
        QVERIFY(confirm.y() > selected.bottom());
        const QColor green = image.pixelColor(confirm + QPoint(-25, 8));
        const QColor redButton = image.pixelColor(cancel + QPoint(-25, 8));
        QVERIFY2(green.green() > 150 && green.red() < 120, qPrintable(green.name()));
        QVERIFY2(redButton.red() > 200 && redButton.green() < 100, qPrintable(redButton.name()));
        client.destroy(background);
    }
};

VEXLO_TEST_MAIN(RegionSelectorTest)
#include "tst_regionselector.moc"
