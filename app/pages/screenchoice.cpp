#include "app/pages/screenchoice.h"

#include "capture/capturebackend.h"
#include "capture/monitors.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

ScreenChoice::ScreenChoice(QWidget *parent)
    : QWidget(parent)
    , label(new QLabel(this))
    , combo(new QComboBox(this))
{
    setObjectName(QStringLiteral("screenChoice"));
    combo->setObjectName(QStringLiteral("screenCombo"));
    label->setBuddy(combo);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(combo);
    connect(combo, &QComboBox::activated, this, &ScreenChoice::onActivated);
    // The list changes only after the toolkit has finished with the
    // monitor, and once for several changes at a time.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ScreenChoice::scheduleRebuild);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenChoice::scheduleRebuild);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenChoice::scheduleRebuild);
    rebuild();
}

void ScreenChoice::setChoice(const QString &choice)
{
    chosen = choice;
    rebuild();
}

bool ScreenChoice::offersChoice() const
{
    return capture::chosenBackend() != capture::Backend::Portal
           && QGuiApplication::screens().size() > 1;
}

void ScreenChoice::scheduleRebuild()
{
    if (rebuildPending)
        return;
    rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        rebuild();
        emit monitorsChanged();
    });
}

void ScreenChoice::rebuild()
{
    rebuildPending = false;
    label->setText(tr("屏幕"));
    const QSignalBlocker blocker(combo);
    combo->clear();
    const QScreen *primary = QGuiApplication::primaryScreen();
    const auto sizeOf = [](const QScreen *screen) { return capture::deviceGeometry(screen).size(); };
    if (primary != nullptr) {
        const QSize size = sizeOf(primary);
        combo->addItem(tr("%1 (%2×%3，主屏幕)").arg(primary->name()).arg(size.width()).arg(size.height()),
                       QString());
    }
    for (QScreen *screen : QGuiApplication::screens()) {
        // A monitor resized or moved renames its item.
        connect(screen, &QScreen::geometryChanged, this, &ScreenChoice::scheduleRebuild,
                Qt::UniqueConnection);
        if (screen == primary)
            continue;
        const QSize size = sizeOf(screen);
        combo->addItem(tr("%1 (%2×%3)").arg(screen->name()).arg(size.width()).arg(size.height()),
                       screen->name());
    }
    combo->addItem(tr("所有屏幕"), capture::AllScreens);
    // The primary's own name chooses the primary item too.
    int index = combo->findData(chosen == capture::recordedMonitorName(QString()) ? QString() : chosen);
    combo->setCurrentIndex(index >= 0 ? index : 0);
}

void ScreenChoice::onActivated(int index)
{
    const QString picked = combo->itemData(index).toString();
    if (picked == chosen)
        return;
    chosen = picked;
    emit choiceChanged(chosen);
}

void ScreenChoice::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        rebuild();
    QWidget::changeEvent(event);
}
