// The application shell: themes, languages, the tray, the main menu and the
// about dialog, the idle preview, and what assistive technologies reach.
#include "app/aboutdialog.h"
#include "app/identity.h"
#include "app/mainwindow.h"
#include "core/settingsstore.h"
#include "converter/mediaconverter.h"
#include "selectors/regionselector.h"
#include "selectors/windowselector.h"

#include "support/combofit.h"
#include "support/contrast.h"
#include "support/modalanswerer.h"
#include "support/popupmenu.h"
#include "support/recordedvideo.h"
#include "support/screenpatch.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QXmlStreamReader>

#include <functional>

using namespace vexlo::test;

namespace {

const QString EnglishEntry = QStringLiteral("English");
const QString TraditionalEntry = QStringLiteral("繁體中文");
const QString SimplifiedEntry = QStringLiteral("简体中文");

QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool hasHan(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

// Every translation of each source text of a .ts file, over all contexts.
struct TsTable
{
    QHash<QString, QSet<QString>> translations;
    QStringList unfinished;
};

TsTable readTs(const QString &language)
{
    TsTable table;
    QFile file(sourceDir() + QStringLiteral("/resources/translations/lang_%1.ts").arg(language));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            if (type == QLatin1String("unfinished"))
                table.unfinished << source;
            // Plural texts hold one numerusform element per form.
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (type.isEmpty() && !text.trimmed().isEmpty())
                table.translations[source].insert(text);
        }
    }
    if (xml.hasError())
        qWarning() << "lang_" + language + ".ts:" << xml.errorString();
    return table;
}

bool isToolkitInternal(const QWidget *widget)
{
    for (const QWidget *w = widget; w != nullptr; w = w->parentWidget()) {
        if (w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<const QKeySequenceEdit *>(w->parentWidget()))
            return true;
    }
    return false;
}

// Every text a user or a screen reader meets in a widget tree, in tree order.
QStringList visibleTexts(QWidget *root)
{
    QStringList texts;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (isToolkitInternal(w))
            continue;
        texts << w->windowTitle() << w->toolTip() << w->accessibleName();
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            texts << edit->placeholderText();
        if (auto *group = qobject_cast<QGroupBox *>(w))
            texts << group->title();
        if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        if (auto *table = qobject_cast<QTableWidget *>(w))
            for (int i = 0; i < table->columnCount(); ++i)
                if (table->horizontalHeaderItem(i) != nullptr)
                    texts << table->horizontalHeaderItem(i)->text();
    }
    return texts;
}

// Every value a user can set in a widget tree, in tree order.
QStringList widgetValues(QWidget *root)
{
    QStringList values;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (isToolkitInternal(w))
            continue;
        const QString name = w->objectName() + QLatin1Char('=');
        if (auto *combo = qobject_cast<QComboBox *>(w))
            values << name + QString::number(combo->currentIndex());
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            values << name + QString::number(button->isChecked());
        else if (auto *slider = qobject_cast<QAbstractSlider *>(w))
            values << name + QString::number(slider->value());
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            values << name + edit->text();
        else if (auto *stack = qobject_cast<QStackedWidget *>(w))
            values << name + QString::number(stack->currentIndex());
        else if (auto *tabs = qobject_cast<QTabWidget *>(w))
            values << name + QString::number(tabs->currentIndex());
    }
    return values;
}

// Compares the texts of one tree before and after a language switch against
// the translation table: a source text shows one of its translations, any
// other text stays as it was and holds no Chinese.
void compareWithTable(const QStringList &before, const QStringList &after, const TsTable &table)
{
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i) {
        if (before[i].isEmpty())
            continue;
        const auto found = table.translations.constFind(before[i]);
        if (found != table.translations.constEnd()) {
            QVERIFY2(found->contains(after[i]),
                     qPrintable(QStringLiteral("'%1' shows '%2'").arg(before[i], after[i])));
        } else {
            QVERIFY2(!hasHan(before[i]), qPrintable(QStringLiteral("no translation of '%1'").arg(before[i])));
            QCOMPARE(after[i], before[i]);
        }
    }
}

// Runs an action on the next pop-up menu or modal dialog, from inside the
// event loop that shows it.
void onNextPopup(const std::function<QWidget *()> &find, const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, find, act] {
        QWidget *popup = find();
        if (popup == nullptr || !popup->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(popup);
    });
    timer->start();
}

QWidget *topLevelOfClass(const char *className)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), className) == 0 && w->isVisible())
            return w;
    return nullptr;
}

// The texts of the tray's balloon on screen, or nothing.
QStringList balloonTexts()
{
    QStringList texts;
    if (QWidget *balloon = topLevelOfClass("QBalloonTip"))
        for (const QLabel *label : balloon->findChildren<QLabel *>())
            if (!label->text().isEmpty())
                texts << label->text();
    return texts;
}

void doubleClickTrayIcon()
{
    // The icon is a small window the tray host embeds; the toolkit names its class.
    QWidget *icon = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") == 0)
            icon = w;
    QVERIFY(icon != nullptr);
    QTest::mouseDClick(icon, Qt::LeftButton);
}

void writeStore(const QList<QPair<QString, QVariant>> &values)
{
    const auto settings = openSettingsStore();
    for (const auto &[key, value] : values)
        settings->setValue(key, value);
}

QString storedValue(const QString &key)
{
    return openSettingsStore()->value(key).toString();
}

// Marks the preview's current still, so a redraw shows as an unmarked one.
const int SeenKey = 0;
void markStill(QGraphicsView *view)
{
    for (QGraphicsItem *item : view->scene()->items())
        item->setData(SeenKey, true);
}
bool stillRedrawn(QGraphicsView *view)
{
    const auto items = view->scene()->items();
    return !items.isEmpty() && !items.first()->data(SeenKey).toBool();
}

} // namespace

class ShellTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    void startWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void chooseFromMainMenu(const QString &entry)
    {
        onNextMenu([entry](QMenu *menu) { pickEntry(menu, entry); });
        QTest::mouseClick(w<QPushButton>("pushButton_nav"), Qt::LeftButton);
    }

    QIcon toggleIcon() const { return w<QPushButton>("pushButton_toggle")->icon(); }

    // Answers the exit question No and returns the box's button texts.
    QStringList exitQuestionButtons()
    {
        ModalAnswerer answerer(QMessageBox::No);
        QTest::mouseClick(w<QPushButton>("pushButton_close"), Qt::LeftButton);
        return answerer.boxes().isEmpty() ? QStringList() : answerer.boxes().first().buttons;
    }

private slots:
    void init()
    {
        openSettingsStore()->clear();
        qApp->setStyleSheet(resourceText(QStringLiteral(":/qss/default.css")));
    }

    void cleanup() { window.reset(); }

    // Both sheets style the same selectors, and every image they name exists.
    void sheetsShareSelectorsAndTheirImagesExist()
    {
        const QString light = resourceText(QStringLiteral(":/qss/default.css"));
        const QString dark = resourceText(QStringLiteral(":/qss/dark.css"));
        QVERIFY(!light.isEmpty() && !dark.isEmpty());

        const QRegularExpression comment(QStringLiteral("/\\*.*?\\*/"),
                                         QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpression selector(QStringLiteral("([^{}]+)\\{"));
        auto selectors = [&](QString sheet) {
            sheet.remove(comment);
            QStringList found;
            // Read as Latin-1: anything beyond ASCII belongs in comments only.
            if (std::any_of(sheet.begin(), sheet.end(), [](QChar c) { return c.unicode() > 127; }))
                found << QStringLiteral("non-ASCII outside comments");
            for (auto it = selector.globalMatch(sheet); it.hasNext();)
                found << it.next().captured(1).simplified();
            return found;
        };
        QCOMPARE(selectors(dark), selectors(light));

        const QRegularExpression url(QStringLiteral("url\\((:/qss/[^)]+)\\)"));
        for (const auto &[sheet, folder] : {std::pair{light, QStringLiteral(":/qss/default/")},
                                            std::pair{dark, QStringLiteral(":/qss/dark/")}}) {
            int images = 0;
            for (auto it = url.globalMatch(sheet); it.hasNext(); ++images) {
                const QString path = it.next().captured(1);
                QVERIFY2(path.startsWith(folder), qPrintable(path));
                QVERIFY2(QFile::exists(path), qPrintable(path));
            }
            QVERIFY(images > 20);
        }
        // The telling values of each look.
        QVERIFY(light.contains(QLatin1String("color: #34495e")));
        QVERIFY(dark.contains(QLatin1String("color: #e0e0e0")));
        QVERIFY(dark.contains(QLatin1String("#headerFrame {\n    background-color: #181818")));
    }

    void toggleTwiceReturnsAndWritesTheStoreEachTime()
    {
        startWindow();
        const QString light = resourceText(QStringLiteral(":/qss/default.css"));
        const QString dark = resourceText(QStringLiteral(":/qss/dark.css"));
        QCOMPARE(qApp->styleSheet(), light);
        QCOMPARE(iconImage(toggleIcon()), iconImage(QIcon(":/images/moon.svg")));

        // Each toggle saves the whole store: the slider's value goes with it.
        w<QSlider>("frameRateSlider")->setValue(12);
        QTest::mouseClick(w<QPushButton>("pushButton_toggle"), Qt::LeftButton);
        QCOMPARE(qApp->styleSheet(), dark);
        QCOMPARE(iconImage(toggleIcon()), iconImage(QIcon(":/images/sun.svg")));
        QCOMPARE(storedValue("theme"), QStringLiteral("dark"));
        QCOMPARE(storedValue("Recording/frameRate"), QStringLiteral("12"));

        w<QSlider>("frameRateSlider")->setValue(13);
        QTest::mouseClick(w<QPushButton>("pushButton_toggle"), Qt::LeftButton);
        QCOMPARE(qApp->styleSheet(), light);
        QCOMPARE(iconImage(toggleIcon()), iconImage(QIcon(":/images/moon.svg")));
        QCOMPARE(storedValue("theme"), QStringLiteral("light"));
        QCOMPARE(storedValue("Recording/frameRate"), QStringLiteral("13"));
    }

    // A reset brings the defaults back at once: the light look, and the
    // desktop's language in place of the stored one.
    void storedDarkEnglishStartAndAResetGivesTheDefaultsAtOnce()
    {
        writeStore({{"theme", "dark"}, {"language", "en_US"}});
        startWindow();
        QCOMPARE(qApp->styleSheet(), resourceText(QStringLiteral(":/qss/dark.css")));
        QCOMPARE(iconImage(toggleIcon()), iconImage(QIcon(":/images/sun.svg")));
        QCOMPARE(w<QToolButton>("recordButton")->text(), QStringLiteral("Rec"));

        {
            ModalAnswerer answerer(QMessageBox::Yes);
            QTest::mouseClick(w<QPushButton>("resetButton"), Qt::LeftButton);
            QCOMPARE(answerer.boxes().size(), 2);
            QCOMPARE(answerer.boxes().at(0).title, QStringLiteral("Reset Confirmation"));
            QCOMPARE(answerer.boxes().at(1).title, QStringLiteral("重置成功"));
        }
        QCOMPARE(w<QToolButton>("recordButton")->text(), QStringLiteral("录制"));
        QCOMPARE(storedValue("language"), QString());
        QCOMPARE(qApp->styleSheet(), resourceText(QStringLiteral(":/qss/default.css")));
        QCOMPARE(iconImage(toggleIcon()), iconImage(QIcon(":/images/moon.svg")));
        QCOMPARE(storedValue("theme"), QStringLiteral("light"));
        // The next toggle is visible again.
        QTest::mouseClick(w<QPushButton>("pushButton_toggle"), Qt::LeftButton);
        QCOMPARE(qApp->styleSheet(), resourceText(QStringLiteral(":/qss/dark.css")));
    }

    void translationSourcesAreComplete()
    {
        for (const QString &language : {QStringLiteral("zh_TW"), QStringLiteral("en_US")}) {
            const TsTable table = readTs(language);
            QVERIFY2(table.translations.size() > 100, qPrintable(language));
            QVERIFY2(table.unfinished.isEmpty(),
                     qPrintable(language + QStringLiteral(": ") + table.unfinished.join(" | ")));
        }
        QVERIFY(readTs(QStringLiteral("zh_CN")).translations.isEmpty());
    }

    void switchingTranslatesEveryTextAndChangesNoValue_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << EnglishEntry << "en_US";
        QTest::newRow("traditional Chinese") << TraditionalEntry << "zh_TW";
    }

    void switchingTranslatesEveryTextAndChangesNoValue()
    {
        QFETCH(QString, entry);
        QFETCH(QString, language);
        TsTable table = readTs(language);
        // The about dialog fills the version into its text.
        const QString versionSource = QStringLiteral("<b>版本:</b> %1");
        const QString version = vexlo::applicationVersion();
        for (const QString &translation : table.translations.value(versionSource))
            table.translations[versionSource.arg(version)].insert(translation.arg(version));
        // And the licence line into a link to the licence's text.
        const QString licenseSource = QStringLiteral("许可证：GNU GPL 3.0 或更高版本");
        const auto link = [](const QString &text) {
            return QStringLiteral("<a href=\"https://www.gnu.org/licenses/gpl-3.0.html\">%1</a>").arg(text);
        };
        for (const QString &translation : table.translations.value(licenseSource))
            table.translations[link(licenseSource)].insert(link(translation));
        // The screen box names the primary monitor and its size.
        const QScreen *primary = QGuiApplication::primaryScreen();
        const QString primarySource = QStringLiteral("%1 (%2×%3，主屏幕)");
        const auto named = [primary](const QString &text) {
            return text.arg(primary->name()).arg(primary->size().width()).arg(primary->size().height());
        };
        for (const QString &translation : table.translations.value(primarySource))
            table.translations[named(primarySource)].insert(named(translation));
        startWindow();
        // Values away from the form's first items, where a retranslation would put them.
        w<QComboBox>("mouseStyleCombo")->setCurrentIndex(2);
        w<QComboBox>("qualityCombo")->setCurrentIndex(3);
        w<QComboBox>("watermarkPositionCombo")->setCurrentIndex(4);
        w<QSlider>("frameRateSlider")->setValue(12);
        w<QTabWidget>("tabWidget")->setCurrentIndex(2);

        auto about = std::make_unique<AboutDialog>();
        auto regionSelector = std::make_unique<RegionSelector>();
        auto windowSelector = std::make_unique<WindowSelector>();
        const QStringList texts = visibleTexts(window.get());
        const QStringList aboutTexts = visibleTexts(about.get());
        const QStringList selectorTexts =
            visibleTexts(regionSelector.get()) + visibleTexts(windowSelector.get());
        const QStringList values = widgetValues(window.get());
        auto trayEntries = [this] {
            QStringList texts;
            if (auto *icon = window->findChild<QSystemTrayIcon *>())
                for (const QAction *action : icon->contextMenu()->actions())
                    texts << action->text();
            return texts;
        };
        const QStringList trayTexts = trayEntries();

        chooseFromMainMenu(entry);
        QCOMPARE(storedValue("language"), language);
        QCoreApplication::processEvents();
        compareWithTable(texts, visibleTexts(window.get()), table);
        if (QTest::currentTestFailed())
            return;
        about = std::make_unique<AboutDialog>();
        compareWithTable(aboutTexts, visibleTexts(about.get()), table);
        if (QTest::currentTestFailed())
            return;
        regionSelector = std::make_unique<RegionSelector>();
        windowSelector = std::make_unique<WindowSelector>();
        compareWithTable(selectorTexts,
                         visibleTexts(regionSelector.get()) + visibleTexts(windowSelector.get()),
                         table);
        compareWithTable(trayTexts, trayEntries(), table);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(widgetValues(window.get()), values);

        // The title keeps the form's text until the next navigation click.
        QCOMPARE(w<QLabel>("label_title")->text(), QStringLiteral("Vexlo"));
        QTest::mouseClick(w<QToolButton>("historyButton"), Qt::LeftButton);
        QVERIFY(table.translations.value("录制存档").contains(w<QLabel>("label_title")->text()));
        // Every combo box shows its longest item whole in the new language.
        for (const char *page : {"recordButton", "menuButton", "converterButton"}) {
            QTest::mouseClick(w<QToolButton>(page), Qt::LeftButton);
            QCoreApplication::processEvents();
            const QStringList cut = combosCuttingTheirItems(window.get());
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        }

        // Back to the source language, through its empty translation.
        chooseFromMainMenu(SimplifiedEntry);
        QCOMPARE(storedValue("language"), QStringLiteral("zh_CN"));
        QCoreApplication::processEvents();
        // Showing a page raises it among its siblings: compare the texts, not their order.
        QStringList roundTrip = visibleTexts(window.get());
        QStringList original = texts;
        roundTrip.sort();
        original.sort();
        QCOMPARE(roundTrip, original);
    }

    void storedLanguageAtStart_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("inForce");
        QTest::addColumn<QString>("recordText");
        QTest::addColumn<QStringList>("buttons");
        const QStringList chinese = {"是(&Y)", "否(&N)"};
        QTest::newRow("zh_CN") << "zh_CN" << "zh_CN" << "录制" << chinese;
        QTest::newRow("zh_TW") << "zh_TW" << "zh_TW" << "錄製" << chinese;
        QTest::newRow("en_US") << "en_US" << "en_US" << "Rec" << QStringList{"&Yes", "&No"};
        QTest::newRow("fr_FR falls back") << "fr_FR" << "zh_CN" << "录制" << chinese;
    }

    // The stored language is in force from the start, the toolkit's own
    // buttons included; one without a translation falls back to Chinese.
    void storedLanguageAtStart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, inForce);
        QFETCH(QString, recordText);
        QFETCH(QStringList, buttons);
        writeStore({{"language", stored}});
        LogCapture log;
        startWindow();
        QCOMPARE(w<QToolButton>("recordButton")->text(), recordText);
        QCOMPARE(storedValue("language"), inForce);
        QCOMPARE(log.contains(QtWarningMsg,
                              QStringLiteral("Translation file not found: :/translations/lang_fr_FR.qm")),
                 stored == QLatin1String("fr_FR"));
        QStringList shown = exitQuestionButtons();
        shown.sort();
        buttons.sort();
        QCOMPARE(shown, buttons);
    }

    void storedEnglishKeepsTheStoredRegionMode()
    {
        writeStore({{"language", "en_US"}, {"Recording/mode", 2}});
        startWindow();
        QCOMPARE(w<QComboBox>("recordModeCombo")->currentIndex(), 2);
        QCOMPARE(w<QComboBox>("recordModeCombo")->currentText(), QStringLiteral("Region"));
        QVERIFY(window->findChild<RegionSelector *>() != nullptr);
    }

    // The menu's rows, its place under the button, and that choosing the
    // language in force or closing the menu changes nothing.
    void mainMenuRowsAndEffects()
    {
        startWindow();
        const QString storeFile = openSettingsStore()->fileName();
        const QByteArray storeBefore = [&] {
            QFile f(storeFile);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QStringList rows;
        QPoint menuPos;
        bool iconsShown = true;
        onNextMenu([&](QMenu *menu) {
            for (QAction *action : menu->actions()) {
                rows << (action->isSeparator() ? QStringLiteral("-") : action->text());
                iconsShown = iconsShown && (action->isSeparator() || !action->icon().isNull());
            }
            menuPos = menu->pos();
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        QTest::mouseClick(w<QPushButton>("pushButton_nav"), Qt::LeftButton);
        QCOMPARE(rows, (QStringList{"简体中文", "繁體中文", "English", "-", "关于我们"}));
        QVERIFY(iconsShown);
        auto *nav = w<QPushButton>("pushButton_nav");
        QCOMPARE(menuPos, nav->mapToGlobal(QPoint(0, nav->height() + 10)));
        // Built per click, gone when closed.
        QTRY_VERIFY(window->findChildren<QMenu *>().size() <= 1);

        chooseFromMainMenu(SimplifiedEntry);
        QFile after(storeFile);
        QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), storeBefore);
        QCOMPARE(w<QToolButton>("recordButton")->text(), QStringLiteral("录制"));
    }

    // Every page, the main menu with each row highlighted, the window picker,
    // the message boxes and the about dialog: each text a user reads stands
    // out from its own background by the guidelines' 4.5 for text.
    void darkThemeTextIsReadableEverywhere()
    {
        writeStore({{"theme", "dark"}});
        // A listed recording, so the history page shows its rows.
        const QString folder = QDir::homePath() + QStringLiteral("/Videos/Vexlo");
        QDir().mkpath(folder);
        QFile clip(folder + QStringLiteral("/0101_120000.mp4"));
        QVERIFY(clip.open(QIODevice::WriteOnly) && clip.write(QByteArray(2048, 'x')) == 2048);
        clip.close();
        startWindow();
        QVERIFY(activate(window.get()));
        // Nothing hovered.
        QCursor::setPos(window->screen()->geometry().bottomRight());

        QStringList faults;
        auto check = [&faults](QWidget *shown, const QString &where) {
            const QList<TextContrast> texts = textContrasts(shown);
            if (texts.isEmpty())
                faults << where + QStringLiteral(": no text found");
            const QString bad = unreadable(texts, 4.5);
            if (!bad.isEmpty())
                faults << where + QStringLiteral(":\n") + bad;
        };
        const QList<QPair<Qt::Key, QString>> pages = {
            {Qt::Key_1, "record page"}, {Qt::Key_2, "history page"}, {Qt::Key_3, "converter page"}};
        for (const auto &[key, name] : pages) {
            QTest::keyClick(window.get(), key, Qt::ControlModifier);
            if (key == Qt::Key_2)
                QTRY_VERIFY(w<QTableWidget>("recordingsTable")->rowCount() > 0);
            check(window.get(), name);
        }
        QTest::keyClick(window.get(), Qt::Key_4, Qt::ControlModifier);
        auto *tabs = w<QWidget>("settingsPage")->findChild<QTabWidget *>("tabWidget");
        for (int i = 0; i < tabs->count(); ++i) {
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(i).center());
            QCOMPARE(tabs->currentIndex(), i);
            check(window.get(), QStringLiteral("settings tab %1").arg(i));
        }

        int highlighted = 0;
        onNextMenu([&](QMenu *menu) {
            for (const QAction *action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                QTest::keyClick(menu, Qt::Key_Down);
                highlighted += menu->activeAction() != nullptr;
                check(menu, QStringLiteral("main menu, row %1 highlighted").arg(highlighted));
            }
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        QTest::mouseClick(w<QPushButton>("pushButton_nav"), Qt::LeftButton);
        QTRY_COMPARE(highlighted, 4);

        bool aboutSeen = false;
        onNextPopup([] { return qobject_cast<AboutDialog *>(QApplication::activeModalWidget()); },
                    [&](QWidget *dialog) {
                        check(dialog, QStringLiteral("about dialog"));
                        aboutSeen = true;
                        static_cast<QDialog *>(dialog)->reject();
                    });
        chooseFromMainMenu(QStringLiteral("关于我们"));
        QTRY_VERIFY(aboutSeen);

        auto *mode = w<QComboBox>("recordModeCombo");
        QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Down);
        WindowSelector *picker = nullptr;
        QTRY_VERIFY((picker = window->findChild<WindowSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(picker));
        check(picker, QStringLiteral("window picker"));
        QTest::keyClick(picker, Qt::Key_Escape);

        // The reset, last: it brings the light look back.
        {
            ModalAnswerer answerer(QMessageBox::No);
            answerer.setInspect([&](QMessageBox *box) { check(box, box->windowTitle()); });
            QTest::mouseClick(w<QPushButton>("pushButton_close"), Qt::LeftButton);
            QCOMPARE(answerer.boxes().size(), 1);
            answerer.setAnswer(QMessageBox::Yes);
            QTest::mouseClick(w<QPushButton>("resetButton"), Qt::LeftButton);
            QCOMPARE(answerer.boxes().size(), 3);
        }

        QFile::remove(clip.fileName());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    void aboutDialogFormAndLinks()
    {
        startWindow();
        QString title;
        QSize minimum, maximum, size, shrunk;
        QStringList links;
        QStringList texts;
        bool aboutQtShown = false;
        onNextPopup([] { return QApplication::activeModalWidget(); },
                    [&](QWidget *modal) {
                        auto *dialog = qobject_cast<AboutDialog *>(modal);
                        if (dialog == nullptr) {
                            modal->close();
                            return;
                        }
                        title = dialog->windowTitle();
                        minimum = dialog->minimumSize();
                        maximum = dialog->maximumSize();
                        size = dialog->size();
                        dialog->resize(200, 200);
                        shrunk = dialog->size();
                        for (const QLabel *label : dialog->findChildren<QLabel *>()) {
                            texts << label->text();
                            if (label->openExternalLinks())
                                links << label->text();
                        }
                        // The toolkit's own box, over the dialog.
                        onNextPopup([dialog] {
                                        QWidget *top = QApplication::activeModalWidget();
                                        return top != dialog ? top : nullptr;
                                    },
                                    [&aboutQtShown, dialog](QWidget *box) {
                                        aboutQtShown = box->windowTitle().contains(QLatin1String("Qt"));
                                        box->close();
                                        dialog->reject();
                                    });
                        QTest::mouseClick(dialog->findChild<QPushButton *>("aboutQtButton"),
                                          Qt::LeftButton);
                    });
        chooseFromMainMenu(QStringLiteral("关于我们"));
        QTRY_VERIFY(window->findChild<AboutDialog *>() == nullptr);
        QCOMPARE(title, QStringLiteral("关于Vexlo"));
        QCOMPARE(size, QSize(380, 560));
        QCOMPARE(minimum, QSize(280, 560));
        QCOMPARE(maximum, QSize(380, 560));
        QCOMPARE(shrunk, QSize(280, 560));
        QVERIFY(texts.contains(QStringLiteral("<h2>Vexlo</h2>")));
        QVERIFY(texts.contains(QStringLiteral("<b>版本:</b> 1.1.01.02")));
        QVERIFY(texts.contains(QStringLiteral("© 2026 Vexlo 保留所有权利")));
        const QString libraries = texts.filter(QStringLiteral("FFmpeg")).value(0);
        for (const char *library : {"Qt", "FFmpeg", "x264", "libyuv", "PulseAudio", "PipeWire"})
            QVERIFY2(libraries.contains(QLatin1String(library)), library);
        QCOMPARE(links.size(), 3);
        QVERIFY(links[0].contains(QLatin1String("href=\"mailto:")) && links[0].contains("反馈问题"));
        QVERIFY(links[1].contains(QLatin1String("href=\"https://")) && links[1].contains("访问官网"));
        QVERIFY(links[2].contains(QLatin1String("href=\"https://www.gnu.org/licenses/gpl-3.0"))
                && links[2].contains("许可证：GNU GPL 3.0 或更高版本"));
        QVERIFY(aboutQtShown);
    }

    // A language switch during a region recording, and an attempted reset,
    // leave the recorded region and pointer as they were at the start.
    void languageSwitchAndResetDuringRecordingKeepTheCapture()
    {
        const QRect area(40, 60, 320, 240);
        const QColor colour(0, 200, 0);
        ScreenPatch patch(area, colour);
        patch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&patch));
        startWindow();
        window->move(900, 380);
        const QString outputDir = w<QLineEdit>("outputDirLabel")->text();
        for (const QString &file : filesIn(outputDir))
            QFile::remove(outputDir + "/" + file);

        w<QComboBox>("recordModeCombo")->setCurrentIndex(2);
        RegionSelector *selector = nullptr;
        QTRY_VERIFY((selector = window->findChild<RegionSelector *>()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QTest::mousePress(selector, Qt::LeftButton, {}, area.topLeft());
        QTest::mouseMove(selector, area.center());
        QTest::mouseMove(selector, area.bottomRight());
        QTest::mouseRelease(selector, Qt::LeftButton, {}, area.bottomRight());
        QTest::keyClick(selector, Qt::Key_Return);
        QTRY_VERIFY(window->findChild<RegionSelector *>() == nullptr);

        w<QComboBox>("mouseStyleCombo")->setCurrentIndex(2);
        const QPoint pointer = area.topLeft() + QPoint(100, 80);
        QCursor::setPos(pointer);
        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        QTest::qWait(1000);

        chooseFromMainMenu(EnglishEntry);
        QCOMPARE(w<QToolButton>("toggleButton")->text(), QStringLiteral("Stop"));
        QVERIFY(!w<QPushButton>("resetButton")->isEnabled());
        {
            ModalAnswerer answerer(QMessageBox::Yes);
            QTest::mouseClick(w<QPushButton>("resetButton"), Qt::LeftButton);
            QTest::qWait(1500);
            QVERIFY(answerer.boxes().isEmpty());
        }
        QCOMPARE(w<QComboBox>("recordModeCombo")->currentIndex(), 2);
        QCOMPARE(w<QComboBox>("mouseStyleCombo")->currentIndex(), 2);
        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        // "Saving…" until the file is complete.
        QTRY_COMPARE_WITH_TIMEOUT(w<QToolButton>("toggleButton")->text(), QStringLiteral("Start"), 20000);
        QVERIFY(w<QPushButton>("resetButton")->isEnabled());

        const QStringList files = filesIn(outputDir);
        QCOMPARE(files.size(), 1);
        const RecordedVideo video = decodeRecording(outputDir + "/" + files.first());
        QVERIFY(video.opened);
        QCOMPARE(video.size, area.size());
        QVERIFY(video.frames.size() > 30);
        // The pointer is drawn where it stands, the same in the first and last frames.
        const QRect around(pointer - area.topLeft() - QPoint(20, 20), QSize(40, 40));
        const QImage first = video.frames.first().image.copy(around);
        const QImage last = video.frames.last().image.copy(around);
        int drawn = 0, differing = 0;
        for (int y = 0; y < around.height(); ++y) {
            for (int x = 0; x < around.width(); ++x) {
                drawn += !closeTo(first.pixelColor(x, y), colour);
                differing += !closeTo(first.pixelColor(x, y), last.pixelColor(x, y));
            }
        }
        QVERIFY2(drawn > 20, qPrintable(QString::number(drawn)));
        QVERIFY2(differing < 10, qPrintable(QString::number(differing)));
    }

    // The header's buttons carry names, and every field of the settings and
    // converter pages is labelled by the text beside it.
    void screenReadersHearWhatEachControlIs()
    {
        startWindow();
        const QList<QPair<const char *, QString>> names = {
            {"pushButton_nav", "菜单"}, {"pushButton_toggle", "切换主题"},
            {"pushButton_min", "最小化"}, {"pushButton_close", "关闭"}};
        for (const auto &[name, text] : names) {
            QAccessibleInterface *access = QAccessible::queryAccessibleInterface(w<QPushButton>(name));
            QVERIFY(access != nullptr);
            QCOMPARE(access->text(QAccessible::Name), text);
        }

        QStringList unlabelled;
        int labelled = 0;
        for (QWidget *root : {w<QWidget>("settingsPage"),
                              static_cast<QWidget *>(window->findChild<MediaConverter *>())}) {
            for (QWidget *field : root->findChildren<QWidget *>()) {
                if (!(qobject_cast<QComboBox *>(field) || qobject_cast<QSlider *>(field)
                      || qobject_cast<QKeySequenceEdit *>(field)
                      || (qobject_cast<QLineEdit *>(field) && !isToolkitInternal(field))))
                    continue;
                QAccessibleInterface *access = QAccessible::queryAccessibleInterface(field);
                const auto labels = access->relations(QAccessible::Label);
                QString heard;
                for (const auto &[label, relation] : labels)
                    heard += label->text(QAccessible::Name);
                if (heard.isEmpty())
                    unlabelled << field->objectName();
                else
                    ++labelled;
            }
        }
        // The output folders are named by their group's title and the button beside them.
        unlabelled.removeAll(QStringLiteral("outputDirLabel"));
        QVERIFY2(unlabelled.isEmpty(), qPrintable(unlabelled.join(u' ')));
        QVERIFY(labelled >= 14);
        QAccessibleInterface *frameRate = QAccessible::queryAccessibleInterface(w<QSlider>("frameRateSlider"));
        QCOMPARE(frameRate->relations(QAccessible::Label).value(0).first->text(QAccessible::Name),
                 QStringLiteral("帧率"));
    }

    void keyboardReachesEveryControlWithAVisibleRing_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("light") << "light";
        QTest::newRow("dark") << "dark";
    }

    // Ctrl+1 to Ctrl+4 open the pages in the column's order; on each, Tab
    // goes round every control, never the logo, and the focused one shows a
    // ring: the pixels around it change against the look without focus.
    void keyboardReachesEveryControlWithAVisibleRing()
    {
        QFETCH(QString, theme);
        writeStore({{"theme", theme}});
        startWindow();
        QVERIFY(activate(window.get()));
        QCursor::setPos(window->screen()->geometry().bottomRight());

        QStringList faults;
        int reached = 0;
        const QList<QPair<Qt::Key, int>> pages = {
            {Qt::Key_1, 0}, {Qt::Key_2, 1}, {Qt::Key_3, 3}, {Qt::Key_4, 2}};
        for (const auto &[key, index] : pages) {
            QTest::keyClick(window.get(), key, Qt::ControlModifier);
            QCOMPARE(w<QStackedWidget>("contentStack")->currentIndex(), index);
            if (QWidget *focused = QApplication::focusWidget())
                focused->clearFocus();
            const QImage unfocused = window->grab().toImage();
            QList<QWidget *> seen;
            while (seen.size() < 100) {
                QWidget *from = QApplication::focusWidget();
                QTest::keyClick(from != nullptr ? from : window.get(), Qt::Key_Tab);
                QWidget *focused = QApplication::focusWidget();
                if (focused == nullptr || seen.contains(focused))
                    break;
                seen << focused;
                const QRect around =
                    QRect(focused->mapTo(window.get(), QPoint()), focused->size()).adjusted(-2, -2, 2, 2);
                const QImage now = window->grab().toImage();
                int changed = 0;
                for (int y = around.top(); y <= around.bottom(); ++y)
                    for (int x = around.left(); x <= around.right(); ++x)
                        changed += !closeTo(unfocused.pixelColor(x, y), now.pixelColor(x, y), 40);
                if (changed < focused->width() + focused->height())
                    faults << QStringLiteral("page %1: %2 (%3) shows no ring, %4 pixels changed")
                                  .arg(index).arg(focused->objectName(),
                                                  focused->metaObject()->className())
                                  .arg(changed);
                ++reached;
            }
            QVERIFY(!seen.contains(w<QPushButton>("pushButton")));
            if (index == 0)
                QVERIFY(seen.contains(w<QToolButton>("toggleButton")));
        }
        QVERIFY(reached > 30);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // A navigation button checked without a click switches the page as a click does.
    void navigationToggledWithoutAClickSwitchesThePage()
    {
        startWindow();
        auto *history = w<QToolButton>("historyButton");
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(history);
        QVERIFY(access != nullptr && access->actionInterface() != nullptr);
        QVERIFY(access->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
        access->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(history->isChecked());
        QCOMPARE(w<QStackedWidget>("contentStack")->currentIndex(), 1);
        QCOMPARE(w<QLabel>("label_title")->text(), QStringLiteral("录制存档"));

        w<QToolButton>("converterButton")->toggle();
        QCOMPARE(w<QStackedWidget>("contentStack")->currentIndex(), 3);
        QCOMPARE(w<QLabel>("label_title")->text(), QStringLiteral("音视频转换"));
    }

    void idlePreviewGrabsOnlyWhileSeen_data()
    {
        QTest::addColumn<int>("away");
        QTest::newRow("settings page") << 0;
        QTest::newRow("minimised") << 1;
        QTest::newRow("hidden") << 2;
        QTest::newRow("iconified by the window manager") << 3;
    }

    void idlePreviewGrabsOnlyWhileSeen()
    {
        QFETCH(int, away);
        startWindow();
        auto *view = w<QGraphicsView>("video_view");
        QTRY_VERIFY(!view->scene()->items().isEmpty());
        markStill(view);
        QTRY_VERIFY(stillRedrawn(view));

        switch (away) {
        case 0:
            QTest::mouseClick(w<QToolButton>("menuButton"), Qt::LeftButton);
            break;
        case 1:
            window->showMinimized();
            QTRY_VERIFY(window->isMinimized());
            break;
        case 2:
            window->hide();
            break;
        default:
            QProcess::execute(QStringLiteral("xdotool"),
                              {"windowminimize", "--sync", QString::number(window->winId())});
            QTRY_VERIFY(!window->windowHandle()->isExposed());
            break;
        }
        markStill(view);
        // Several ticks of the preview timer pass without a grab.
        QTest::qWait(1600);
        QVERIFY(!stillRedrawn(view));

        // With the timer stopped, only coming back can redraw.
        for (QTimer *timer : window->findChildren<QTimer *>())
            if (timer->interval() == 500)
                timer->stop();
        if (away == 0)
            QTest::mouseClick(w<QToolButton>("recordButton"), Qt::LeftButton);
        else
            window->showNormal();
        QTRY_VERIFY(stillRedrawn(view));
    }

    // With a tray host: a recording hides to the tray and comes back, closing
    // goes to the tray while the icon shows, and the tray's exit quits.
    void recordingToTheTrayAndBack()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        startWindow();
        auto *toTray = w<QCheckBox>("RecMinToTray");
        QVERIFY(toTray->isEnabled());
        toTray->setChecked(true);
        auto *icon = window->findChild<QSystemTrayIcon *>();
        QVERIFY(icon != nullptr && !icon->isVisible());
        QMenu *menu = icon->contextMenu();
        QStringList entries;
        for (const QAction *action : menu->actions())
            if (action->isVisible())
                entries << action->text();
        QCOMPARE(entries, (QStringList{"开始录制", "恢复窗口", "退出"}));
        QAction *exit = menu->actions().at(3);

        // Idle, the icon is hidden: closing ends the window.
        qApp->setQuitOnLastWindowClosed(false);
        QVERIFY(window->close());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(icon->isVisible());
        QTRY_COMPARE(balloonTexts(), (QStringList{"录制已开始", "Vexlo 正在后台录制"}));
        // It points at the icon where the tray placed it, not at a corner.
        const QRect balloon = topLevelOfClass("QBalloonTip")->geometry();
        QVERIFY2(balloon.adjusted(-30, -30, 30, 30).contains(icon->geometry().center()),
                 qPrintable(QStringLiteral("balloon at %1,%2, icon at %3,%4")
                                .arg(balloon.x()).arg(balloon.y())
                                .arg(icon->geometry().x()).arg(icon->geometry().y())));
        // A red dot and the running time tell that it records.
        auto redPixels = [icon] {
            const QImage image = icon->icon().pixmap(32, 32).toImage();
            int red = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    red += closeTo(image.pixelColor(x, y), QColor(0xe5, 0x39, 0x35), 30);
            return red;
        };
        QVERIFY(redPixels() > 20);
        QTRY_VERIFY2(icon->toolTip().startsWith(QStringLiteral("Vexlo - 录制中 00:00:0"))
                         && icon->toolTip() != QStringLiteral("Vexlo - 录制中 00:00:00"),
                     qPrintable(icon->toolTip()));

        doubleClickTrayIcon();
        QTRY_VERIFY(window->isVisible());
        QVERIFY(!window->close());
        QVERIFY(!window->isVisible());
        QTRY_COMPARE(balloonTexts(), (QStringList{"Vexlo", "程序已最小化到托盘"}));

        // 恢复窗口 from the icon's menu, opened by a right click in the tray host.
        onNextMenu([](QMenu *shown) { QVERIFY(clickMenuEntry(shown, "恢复窗口")); });
        const QPoint at = icon->geometry().center();
        QCOMPARE(QProcess::execute("xdotool", {"mousemove", QString::number(at.x()),
                                               QString::number(at.y()), "click", "3"}),
                 0);
        QTRY_VERIFY(window->isVisible());
        QTest::mouseClick(w<QToolButton>("toggleButton"), Qt::LeftButton);
        QVERIFY(!icon->isVisible());
        QVERIFY(window->isVisible());
        QCOMPARE(icon->toolTip(), QStringLiteral("Vexlo"));
        QCOMPARE(redPixels(), 0);

        // The tray's exit quits without the exit question.
        qApp->setQuitOnLastWindowClosed(true);
        ModalAnswerer answerer(QMessageBox::No);
        QTimer::singleShot(0, exit, &QAction::trigger);
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, qApp, [] { QApplication::exit(7); });
        guard.start(5000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(answerer.boxes().isEmpty());
    }

    // Run on its own by the tst_shell_notray test, on a desktop without a tray.
    void withoutTrayHostRecordToTrayIsOff()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("a tray host is running; tst_shell_notray runs this without one");
        writeStore({{"minimizeToTray", true}});
        startWindow();
        QVERIFY(!w<QCheckBox>("RecMinToTray")->isEnabled());
        QVERIFY(!w<QCheckBox>("RecMinToTray")->isChecked());
        QVERIFY(window->findChild<QSystemTrayIcon *>() == nullptr);
        window.reset();
        QCOMPARE(storedValue("minimizeToTray"), QStringLiteral("true"));
    }
};

VEXLO_TEST_MAIN(ShellTest)
#include "tst_shell.moc"
