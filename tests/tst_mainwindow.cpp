// The main window: its form, navigation, frame, dragging and exit question.
#include "app/mainwindow.h"
#include "core/settingsstore.h"

#include "support/modalanswerer.h"
#include "support/recordedvideo.h"
#include "ui_historypage.h"
#include "ui_mainwindow.h"
#include "ui_recordingpage.h"
#include "ui_settingspage.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

using vexlo::test::ModalAnswerer;

namespace {

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *widget = window->findChild<T *>(QLatin1String(name));
    if (widget == nullptr)
        qWarning("missing widget %s", name);
    return widget;
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Sends a mouse event at a point of the window, in window coordinates.
void sendMouse(QWidget *window, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(window->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    // The forms alone, the pages' in the frame's stack as the window puts
    // them, as built before any setting is applied.
    std::unique_ptr<QMainWindow> form;
    std::unique_ptr<Ui::MainWindow> formUi;
    std::unique_ptr<Ui::RecordingPage> recordUi;
    std::unique_ptr<Ui::HistoryPage> historyUi;
    std::unique_ptr<Ui::SettingsPage> settingsUi;

    template <typename Form>
    void addPage(std::unique_ptr<Form> &pageUi, int index)
    {
        auto *page = new QWidget;
        pageUi = std::make_unique<Form>();
        pageUi->setupUi(page);
        form->findChild<QStackedWidget *>("contentStack")->insertWidget(index, page);
    }

    QPoint centreOf(const char *name)
    {
        auto *widget = child<QWidget>(window.get(), name);
        return widget->mapTo(window.get(), widget->rect().center());
    }

private slots:
    void init()
    {
        // Each test starts at the default size, whatever the last one left.
        openSettingsStore()->remove("windowSize");
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void initTestCase()
    {
        form = std::make_unique<QMainWindow>();
        formUi = std::make_unique<Ui::MainWindow>();
        formUi->setupUi(form.get());
        addPage(recordUi, 0);
        addPage(historyUi, 1);
        addPage(settingsUi, 2);
        form->findChild<QStackedWidget *>("contentStack")->setCurrentIndex(0);
    }

    void cleanupTestCase()
    {
        form.reset();
        formUi.reset();
        recordUi.reset();
        historyUi.reset();
        settingsUi.reset();
    }

    void widgetsCarryTheirNamesAndKinds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        const QList<QPair<const char *, const char *>> widgets = {
            {"centralwidget", "QWidget"}, {"menu_frame", "QFrame"}, {"headerFrame", "QFrame"},
            {"pushButton", "QPushButton"}, {"recordButton", "QToolButton"},
            {"historyButton", "QToolButton"}, {"converterButton", "QToolButton"},
            {"menuButton", "QToolButton"}, {"label_title", "QLabel"},
            {"pushButton_nav", "QPushButton"}, {"pushButton_toggle", "QPushButton"},
            {"pushButton_min", "QPushButton"}, {"pushButton_close", "QPushButton"},
            {"contentStack", "QStackedWidget"}, {"video_view", "QGraphicsView"},
            {"controlPanelFrame", "QFrame"}, {"toggleButton", "QToolButton"},
            {"pauseButton", "QToolButton"}, {"timeLabel", "QToolButton"},
            {"recordModeCombo", "QComboBox"}, {"qualityCombo_2", "QComboBox"},
            {"formatCombo_2", "QComboBox"}, {"recordingsTable", "QTableWidget"},
            {"tabWidget", "QTabWidget"}, {"recordMicrophoneCheck", "QCheckBox"},
            {"recordAudioCheck", "QCheckBox"}, {"frameRateSlider", "QSlider"},
            {"frameRateLabel", "QLabel"}, {"qualityCombo", "QComboBox"},
            {"formatCombo", "QComboBox"}, {"captureCursorCheck", "QCheckBox"},
            {"highlightCheckBox", "QCheckBox"}, {"mouseStyleCombo", "QComboBox"},
            {"moueSizeCombo", "QComboBox"}, {"watermarkCheck", "QCheckBox"},
            {"watermarkTextEdit", "QLineEdit"}, {"watermarkPositionCombo", "QComboBox"},
            {"watermarkSize", "QComboBox"}, {"watermarkColorButton", "QPushButton"},
            {"watermarkImgCheck", "QCheckBox"}, {"imageOpacityEdit", "QLineEdit"},
            {"watermarkSizeSlider", "QSlider"}, {"watermarkSizeSliderShow", "QLabel"},
            {"watermarkPath", "QLineEdit"}, {"watermarkImgButton", "QPushButton"},
            {"recordShortcutEdit", "QKeySequenceEdit"}, {"pauseShortcutEdit", "QKeySequenceEdit"},
            {"saveShortButton", "QPushButton"}, {"autoStartCheckBox", "QCheckBox"},
            {"minimizeAfterRecordingCheck", "QCheckBox"}, {"RecMinToTray", "QCheckBox"},
            {"outputDirLabel", "QLineEdit"}, {"outputDirButton", "QPushButton"},
            {"resetButton", "QPushButton"}, {"label_5", "QLabel"},
        };
        for (const auto &[name, kind] : widgets)
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind);
    }

    void widgetsCarryTheirNamesAndKinds()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QWidget *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget != nullptr, qPrintable(name));
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    }

    // The item order of these combo boxes is the meaning of the stored codes.
    void comboItemsKeepTheirOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        const QStringList quality = {"4K", "超清", "高清", "标清"};
        const QStringList formats = {"MP4", "AVI", "MOV", "MKV", "FLV", "WEBM"};
        QTest::newRow("recordModeCombo") << "recordModeCombo" << QStringList{"全屏", "窗口", "区域"};
        QTest::newRow("qualityCombo_2") << "qualityCombo_2" << quality;
        QTest::newRow("qualityCombo") << "qualityCombo" << quality;
        QTest::newRow("formatCombo_2") << "formatCombo_2" << formats;
        QTest::newRow("formatCombo") << "formatCombo" << formats;
        QTest::newRow("mouseStyleCombo") << "mouseStyleCombo" << QStringList{"默认", "手型", "十字"};
        QTest::newRow("moueSizeCombo")
            << "moueSizeCombo"
            << QStringList{"12x12", "16x16", "18x18", "24x24", "32x32", "48x48", "72x72"};
        QTest::newRow("watermarkPositionCombo")
            << "watermarkPositionCombo" << QStringList{"右下角", "左下角", "右上角", "左上角", "居中"};
        QTest::newRow("watermarkSize")
            << "watermarkSize"
            << QStringList{"超级小(12)", "极小 (18)", "小 (24)", "中 (32)",
                           "大 (42)", "极大(72)", "超大(120)", "超级大(240)"};
    }

    void comboItemsKeepTheirOrder()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        auto *combo = form->findChild<QComboBox *>(name);
        QVERIFY(combo != nullptr);
        QCOMPARE(itemTexts(combo), items);
        QCOMPARE(combo->currentIndex(), 0);
    }

    void formStartsWithItsDefaults()
    {
        QWidget *w = form.get();
        QCOMPARE(child<QStackedWidget>(w, "contentStack")->count(), 6);
        QCOMPARE(child<QStackedWidget>(w, "contentStack")->currentWidget()->objectName(),
                 QStringLiteral("recordPage"));
        const QStringList pages = {"recordPage", "historyPage", "settingsPage",
                                   "mediaPage", "morepage", "editpage"};
        for (int i = 0; i < pages.size(); ++i)
            QCOMPARE(child<QStackedWidget>(w, "contentStack")->widget(i)->objectName(), pages[i]);

        auto *tabs = child<QTabWidget>(w, "tabWidget");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->count(), 4);
        const QStringList tabTitles = {"录制配置", "水印配置", "快捷键", "高级配置"};
        for (int i = 0; i < tabTitles.size(); ++i)
            QCOMPARE(tabs->tabText(i), tabTitles[i]);

        // Exactly three check boxes start checked.
        QStringList checked;
        for (auto *box : w->findChildren<QCheckBox *>())
            if (box->isChecked())
                checked << box->objectName();
        checked.sort();
        QCOMPARE(checked, (QStringList{"captureCursorCheck", "highlightCheckBox", "watermarkCheck"}));

        auto *frameRate = child<QSlider>(w, "frameRateSlider");
        QCOMPARE(frameRate->minimum(), 1);
        QCOMPARE(frameRate->maximum(), 60);
        QCOMPARE(frameRate->value(), 30);
        auto *imageSize = child<QSlider>(w, "watermarkSizeSlider");
        QCOMPARE(imageSize->minimum(), 5);
        QCOMPARE(imageSize->maximum(), 100);

        QCOMPARE(child<QToolButton>(w, "toggleButton")->text(), QStringLiteral("开始"));
        QCOMPARE(child<QToolButton>(w, "pauseButton")->text(), QStringLiteral("暂停"));
        QCOMPARE(child<QToolButton>(w, "timeLabel")->text(), QStringLiteral("00:00:00"));
        QCOMPARE(child<QToolButton>(w, "toggleButton")->iconSize(), QSize(24, 24));
        QCOMPARE(child<QToolButton>(w, "pauseButton")->iconSize(), QSize(18, 18));
        QCOMPARE(child<QLineEdit>(w, "watermarkTextEdit")->placeholderText(),
                 QStringLiteral("输入水印文字"));
        QCOMPARE(child<QLabel>(w, "label_5")->geometry(), QRect(140, 190, 191, 111));
        QCOMPARE(child<QFrame>(w, "menu_frame")->maximumWidth(), 70);
        QCOMPARE(child<QGraphicsView>(w, "video_view")->backgroundBrush().color(), QColor(Qt::black));
        QCOMPARE(child<QGraphicsView>(w, "video_view")->minimumHeight(), 200);

        // Every icon the form names comes from the resource tree.
        for (const char *name : {"pushButton", "pushButton_nav", "pushButton_min", "pushButton_close"})
            QVERIFY2(!child<QPushButton>(w, name)->icon().pixmap(24, 24).isNull(), name);
        for (const char *name : {"recordButton", "historyButton", "converterButton", "menuButton",
                                 "toggleButton", "pauseButton"})
            QVERIFY2(!child<QToolButton>(w, name)->icon().pixmap(24, 24).isNull(), name);
    }

    void navigationButtonsAreExclusive()
    {
        const QStringList buttons = {"recordButton", "historyButton", "converterButton", "menuButton"};
        for (const QString &name : buttons) {
            QTest::mouseClick(window->findChild<QToolButton *>(name), Qt::LeftButton);
            for (const QString &other : buttons)
                QCOMPARE(window->findChild<QToolButton *>(other)->isChecked(), other == name);
        }
    }

    void navigationShowsPageAndTitle_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::newRow("record") << "recordButton" << 0 << "录制屏幕";
        QTest::newRow("history") << "historyButton" << 1 << "录制存档";
        QTest::newRow("settings") << "menuButton" << 2 << "高级配置";
        QTest::newRow("converter") << "converterButton" << 3 << "音视频转换";
    }

    void navigationShowsPageAndTitle()
    {
        QFETCH(QString, button);
        QFETCH(int, index);
        QFETCH(QString, title);
        auto *title_label = child<QLabel>(window.get(), "label_title");
        QCOMPARE(title_label->text(), QStringLiteral("Vexlo"));
        // Start from another page so the click has something to change.
        child<QStackedWidget>(window.get(), "contentStack")->setCurrentIndex(5);
        QTest::mouseClick(window->findChild<QToolButton *>(button), Qt::LeftButton);
        QCOMPARE(child<QStackedWidget>(window.get(), "contentStack")->currentIndex(), index);
        QCOMPARE(title_label->text(), title);
    }

    // Frameless, with its shadow; the real pointer resizes it from a corner
    // and an edge through the window manager, never below the size that
    // keeps the controls whole, and the next start has the last size.
    void windowIsFramelessAndResizesFromItsEdges()
    {
        QCOMPARE(window->size(), QSize(960, 640));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window->testAttribute(Qt::WA_TranslucentBackground));
        // A soft shadow fills the 15 px margin: darkest at the content, fading
        // outwards, and lighter at a corner than along an edge.
        const QImage picture = window->grab().toImage();
        const int middle = picture.width() / 2;
        const auto alpha = [&](int x, int y) { return qAlpha(picture.pixel(x, y)); };
        QCOMPARE(alpha(middle, 15), 255);
        QVERIFY2(alpha(middle, 14) > 20 && alpha(middle, 14) < 80, qPrintable(QString::number(alpha(middle, 14))));
        QVERIFY(alpha(middle, 0) < alpha(middle, 7) && alpha(middle, 7) < alpha(middle, 14));
        QCOMPARE(alpha(14, picture.height() / 2), alpha(middle, 14));
        QVERIFY(alpha(14, 14) < alpha(middle, 14));

        window->move(200, 150);
        QTRY_COMPARE(window->pos(), QPoint(200, 150));
        // This process handles the press and asks the window manager to take
        // over: its event loop runs between the steps.
        auto pointer = [](const QStringList &steps) {
            for (const QString &step : steps) {
                QProcess::execute(QStringLiteral("xdotool"), step.split(u' '));
                QTest::qWait(step.startsWith(QLatin1String("mousedown")) ? 600 : 200);
            }
        };
        auto at = [](QPoint p) { return QStringLiteral("mousemove --sync %1 %2").arg(p.x()).arg(p.y()); };
        const QWidget *frame = child<QWidget>(window.get(), "centralwidget");

        // The transparent border shows the resize cursor.
        const QPoint rightEdge = window->mapToGlobal(QPoint(window->width() - 6, window->height() / 2));
        pointer({at(rightEdge)});
        QTRY_COMPARE(frame->cursor().shape(), Qt::SizeHorCursor);

        const QPoint corner = window->mapToGlobal(QPoint(window->width() - 6, window->height() - 6));
        pointer({at(corner), "mousedown 1", at(corner + QPoint(50, 30)), at(corner + QPoint(100, 60)),
                 "mouseup 1"});
        QTRY_COMPARE(window->size(), QSize(1060, 700));

        const QPoint leftEdge = window->mapToGlobal(QPoint(5, window->height() / 2));
        pointer({at(leftEdge), "mousedown 1", at(leftEdge + QPoint(40, 0)), at(leftEdge + QPoint(80, 0)),
                 "mouseup 1"});
        QTRY_COMPARE(window->size(), QSize(980, 700));
        QCOMPARE(window->x(), 280);

        // Dragged far inwards, it stops at its smallest size.
        const QPoint smaller = window->mapToGlobal(QPoint(window->width() - 6, window->height() - 6));
        pointer({at(smaller), "mousedown 1", at(smaller - QPoint(300, 200)),
                 at(smaller - QPoint(900, 650)), "mouseup 1"});
        QTRY_COMPARE(window->size(), window->minimumSize());
        QVERIFY(window->minimumWidth() > 500 && window->minimumHeight() > 400);
        QVERIFY(window->minimumWidth() < 960 && window->minimumHeight() < 640);

        window->resize(1000, 660);
        QTRY_COMPARE(window->size(), QSize(1000, 660));
        window.reset();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(1000, 660));
    }

    void dragsOnlyByHeaderOrNavigationColumn_data()
    {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("header, left") << "label_title" << int(Qt::LeftButton) << true;
        QTest::newRow("navigation column, left") << "menu_frame" << int(Qt::LeftButton) << true;
        QTest::newRow("header, right") << "headerFrame" << int(Qt::RightButton) << false;
        QTest::newRow("page area, left") << "video_view" << int(Qt::LeftButton) << false;
        QTest::newRow("control panel, left") << "controlPanelFrame" << int(Qt::LeftButton) << false;
    }

    void dragsOnlyByHeaderOrNavigationColumn()
    {
        QFETCH(QString, handle);
        QFETCH(int, button);
        QFETCH(bool, moves);
        const auto mouseButton = Qt::MouseButton(button);
        const QPoint start = window->findChild<QWidget *>(handle)->mapTo(
            window.get(), QPoint(5, 5));
        const QPoint origin = window->frameGeometry().topLeft();

        sendMouse(window.get(), QEvent::MouseButtonPress, start, mouseButton, mouseButton);
        sendMouse(window.get(), QEvent::MouseMove, start + QPoint(40, 30), Qt::NoButton, mouseButton);
        sendMouse(window.get(), QEvent::MouseButtonRelease, start + QPoint(40, 30), mouseButton,
                  Qt::NoButton);

        const QPoint expected = moves ? origin + QPoint(40, 30) : origin;
        QTRY_COMPARE(window->frameGeometry().topLeft(), expected);
    }

    void dragNeedsTheLeftButtonHeldAndEndsOnlyOnItsRelease()
    {
        const QPoint start = centreOf("headerFrame");
        const QPoint origin = window->frameGeometry().topLeft();

        sendMouse(window.get(), QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        // Moving with no button held does nothing.
        sendMouse(window.get(), QEvent::MouseMove, start + QPoint(20, 0), Qt::NoButton, Qt::NoButton);
        QTest::qWait(50);
        QCOMPARE(window->frameGeometry().topLeft(), origin);
        // A right-button release in the middle does not end the drag.
        sendMouse(window.get(), QEvent::MouseButtonRelease, start, Qt::RightButton, Qt::LeftButton);
        sendMouse(window.get(), QEvent::MouseMove, start + QPoint(25, 15), Qt::NoButton, Qt::LeftButton);
        QTRY_COMPARE(window->frameGeometry().topLeft(), origin + QPoint(25, 15));
        // After the left release, further moves do nothing.
        sendMouse(window.get(), QEvent::MouseButtonRelease, start + QPoint(25, 15), Qt::LeftButton,
                  Qt::NoButton);
        sendMouse(window.get(), QEvent::MouseMove, start + QPoint(90, 90), Qt::NoButton, Qt::LeftButton);
        QTest::qWait(100);
        QCOMPARE(window->frameGeometry().topLeft(), origin + QPoint(25, 15));
    }

    void exitQuestionNoKeepsEverything()
    {
        ModalAnswerer answerer(QMessageBox::No);
        child<QStackedWidget>(window.get(), "contentStack")->setCurrentIndex(1);
        QTimer::singleShot(0, this, [&] {
            QTest::mouseClick(child<QPushButton>(window.get(), "pushButton_close"), Qt::LeftButton);
            // Reached only if the question returned without ending the loop.
            QTimer::singleShot(200, qApp, [] { QApplication::exit(7); });
        });
        const int rc = QApplication::exec();

        QCOMPARE(rc, 7);
        QCOMPARE(answerer.boxes().size(), 1);
        QCOMPARE(answerer.boxes().first().icon, QMessageBox::Question);
        QCOMPARE(answerer.boxes().first().title, QStringLiteral("退出确认"));
        QCOMPARE(answerer.boxes().first().text, QStringLiteral("确定要退出程序吗？"));
        QVERIFY(window->isVisible());
        QCOMPARE(child<QStackedWidget>(window.get(), "contentStack")->currentIndex(), 1);
    }

    // Quitting during a recording finishes its file and saves the settings
    // before the event loop is left behind.
    void exitQuestionYesQuitsTheApplication()
    {
        const QString folder = child<QLineEdit>(window.get(), "outputDirLabel")->text();
        for (const QString &file : vexlo::test::filesIn(folder))
            QFile::remove(QDir(folder).filePath(file));
        auto *toggle = child<QToolButton>(window.get(), "toggleButton");
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QStringLiteral("停止"));
        child<QSlider>(window.get(), "watermarkSizeSlider")->setValue(42);

        ModalAnswerer answerer(QMessageBox::Yes);
        QTimer::singleShot(1500, this, [&] {
            QTest::mouseClick(child<QPushButton>(window.get(), "pushButton_close"), Qt::LeftButton);
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, qApp, [] { QApplication::exit(7); });
        guard.start(30000);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(answerer.boxes().size(), 1);

        // Done by the time the loop returned, before the window is destroyed.
        const QStringList files = vexlo::test::filesIn(folder);
        QCOMPARE(files.size(), 1);
        QCOMPARE(vexlo::test::decodeErrors(QDir(folder).filePath(files.first())), QString());
        QCOMPARE(openSettingsStore()->value("Watermark/imageSize").toInt(), 42);
    }

    void minimiseButtonMinimises()
    {
        QTest::mouseClick(child<QPushButton>(window.get(), "pushButton_min"), Qt::LeftButton);
        QTRY_VERIFY(window->isMinimized());
    }
};

VEXLO_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
