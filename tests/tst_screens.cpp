// The window on a small screen scaled by 125 % and on a large one scaled by
// 200 % (each run on an X server of that size): it opens whole on the
// available area, every control of every page stays whole in each language
// and theme, also at the smallest size, and icons are drawn at the scale.
// Screenshots of every page land in the build's screens/ folder, to be
// looked at.
#include "app/mainwindow.h"
#include "core/settingsstore.h"

#include "support/combofit.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QKeySequenceEdit>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace vexlo::test;

namespace {

bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w)
           || qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSlider *>(w)
           || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QKeySequenceEdit *>(w)
           || qobject_cast<const QAbstractItemView *>(w);
}

// Parts of controls the toolkit manages itself (a tab bar's scroll buttons,
// an editor inside a box, the widgets inside table cells).
bool isInner(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p != nullptr && p != window; p = p->parentWidget())
        if (qobject_cast<const QTabBar *>(p) || qobject_cast<const QAbstractItemView *>(p)
            || qobject_cast<const QKeySequenceEdit *>(p) || qobject_cast<const QComboBox *>(p)
            || qobject_cast<const QAbstractSpinBox *>(p))
            return true;
    return w->objectName().startsWith(QLatin1String("qt_"));
}

// The shown controls that are cut by the window's or a container's edge,
// or squeezed below the size they need.
QStringList cutControls(QWidget *window)
{
    QStringList cut;
    // Inside the transparent border that carries the shadow.
    const QWidget *central = window->findChild<QWidget *>("centralwidget");
    const QMargins border = central->layout()->contentsMargins();
    const QRect inside = QRect(central->mapTo(window, QPoint()), central->size()) - border;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || !isControl(w) || isInner(w, window))
            continue;
        const QString name = w->objectName() + QStringLiteral(" (") + w->metaObject()->className() + u')';
        if (!inside.contains(QRect(w->mapTo(window, QPoint()), w->size())))
            cut << name + QStringLiteral(" out of the window");
        for (QWidget *p = w->parentWidget(); p != window; p = p->parentWidget())
            if (!p->rect().contains(QRect(w->mapTo(p, QPoint()), w->size())))
                cut << name + QStringLiteral(" cut by ") + p->objectName();
        // As layouts take it: a minimum the style sets wins over the hint.
        const QSize hint = w->minimumSizeHint();
        const QSize least(w->minimumWidth() > 0 ? w->minimumWidth() : hint.width(),
                          w->minimumHeight() > 0 ? w->minimumHeight() : hint.height());
        if (w->width() < least.width() || w->height() < least.height())
            cut << name + QStringLiteral(" squeezed to %1x%2 of %3x%4").arg(w->width()).arg(w->height()).arg(least.width()).arg(least.height());
    }
    return cut;
}

} // namespace

class ScreensTest : public QObject
{
    Q_OBJECT

private:
    QString screensDir;

    // Every page and settings tab, reached from the keyboard: the cut
    // controls of each, and a screenshot.
    QStringList visitPages(MainWindow *window, const QString &name)
    {
        QStringList cut;
        auto *tabs = window->findChild<QWidget *>("settingsPage")->findChild<QTabWidget *>("tabWidget");
        const QList<QPair<Qt::Key, int>> pages = {
            {Qt::Key_1, -1}, {Qt::Key_2, -1}, {Qt::Key_3, -1}, {Qt::Key_4, 0},
            {Qt::Key_4, 1}, {Qt::Key_4, 2}, {Qt::Key_4, 3}};
        for (const auto &[key, tab] : pages) {
            QTest::keyClick(window, key, Qt::ControlModifier);
            if (tab >= 0)
                tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            const QString page = QStringLiteral("%1-page%2%3")
                                     .arg(name)
                                     .arg(key - Qt::Key_0)
                                     .arg(tab >= 0 ? QStringLiteral("-tab%1").arg(tab) : QString());
            for (const QString &c : cutControls(window) + combosCuttingTheirItems(window))
                cut << page + QStringLiteral(": ") + c;
            window->grab().save(screensDir + u'/' + page + QStringLiteral(".png"));
        }
        return cut;
    }

private slots:
    void initTestCase()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize pixels = screen->size() * screen->devicePixelRatio();
        screensDir = testDataDir() + QStringLiteral("/screens/%1x%2-scale%3")
                                         .arg(pixels.width()).arg(pixels.height())
                                         .arg(screen->devicePixelRatio());
        QVERIFY(QDir().mkpath(screensDir));
    }

    void init() { openSettingsStore()->clear(); }

    void everyControlStaysWhole_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("theme");
        for (const char *language : {"zh_CN", "zh_TW", "en_US"})
            for (const char *theme : {"light", "dark"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(language, theme)))
                    << language << theme;
    }

    // At the size the window opens with, and at its smallest; and every
    // icon has a drawing at the screen's scale, not a blown-up small one.
    void everyControlStaysWhole()
    {
        QFETCH(QString, language);
        QFETCH(QString, theme);
        openSettingsStore()->setValue("language", language);
        openSettingsStore()->setValue("theme", theme);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(activate(&window));
        // The described size when it fits; the whole area, centred, when not.
        const QRect available = window.screen()->availableGeometry();
        QTRY_VERIFY(available.contains(window.frameGeometry()));
        QCOMPARE(window.size(), QSize(960, 640).boundedTo(available.size()));
        if (window.height() < 640)
            QVERIFY(qAbs(window.geometry().center().y() - available.center().y()) <= 1);

        const QString name = language + u'-' + theme;
        QStringList cut = visitPages(&window, name);
        window.resize(window.minimumSize());
        QTRY_COMPARE(window.size(), window.minimumSize());
        cut += visitPages(&window, name + QStringLiteral("-smallest"));
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));

        const qreal scale = window.devicePixelRatioF();
        QVERIFY(scale > 1);
        for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
            const QSize size = button->iconSize();
            if (!button->icon().isNull())
                QVERIFY2(button->icon().pixmap(size, scale).size() == (QSizeF(size) * scale).toSize(),
                         qPrintable(button->objectName()));
        }
    }
};

VEXLO_TEST_MAIN(ScreensTest)
#include "tst_screens.moc"
