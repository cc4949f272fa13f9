#include "app/pages/scheduleoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const int CountdownChoices[] = {0, 3, 5, 10};
// What the time box offers once the stop is switched on.
const QTime FirstStopAfter(1, 0, 0);

} // namespace

ScheduleOptions::ScheduleOptions(QWidget *parent)
    : QGroupBox(parent)
    , countdownLabel(new QLabel(this))
    , countdownCombo(new QComboBox(this))
    , stopAfterCheck(new QCheckBox(this))
    , stopAfterEdit(new QTimeEdit(this))
{
    setObjectName(QStringLiteral("scheduleBox"));
    countdownCombo->setObjectName(QStringLiteral("countdownCombo"));
    stopAfterCheck->setObjectName(QStringLiteral("stopAfterCheck"));
    stopAfterEdit->setObjectName(QStringLiteral("stopAfterEdit"));
    for (int i = 0; i < int(std::size(CountdownChoices)); ++i)
        countdownCombo->addItem(QString());
    countdownLabel->setBuddy(countdownCombo);
    stopAfterEdit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    stopAfterEdit->setMinimumTime(QTime(0, 0, 1));
    stopAfterEdit->setTime(FirstStopAfter);
    stopAfterEdit->setEnabled(false);
    connect(stopAfterCheck, &QCheckBox::toggled, stopAfterEdit, &QWidget::setEnabled);

    auto *countdownRow = new QHBoxLayout;
    countdownRow->addWidget(countdownLabel);
    countdownRow->addWidget(countdownCombo);
    countdownRow->addStretch();
    auto *stopRow = new QHBoxLayout;
    stopRow->addWidget(stopAfterCheck);
    stopRow->addWidget(stopAfterEdit);
    stopRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    // Room for the title, as the page's other boxes leave it.
    QMargins margins = layout->contentsMargins();
    margins.setTop(20);
    layout->setContentsMargins(margins);
    layout->addLayout(countdownRow);
    layout->addLayout(stopRow);
    retranslate();
}

int ScheduleOptions::countdownSeconds() const
{
    return CountdownChoices[qMax(0, countdownCombo->currentIndex())];
}

void ScheduleOptions::setCountdownSeconds(int seconds)
{
    int index = 0;
    for (int i = 0; i < int(std::size(CountdownChoices)); ++i)
        if (CountdownChoices[i] == seconds)
            index = i;
    countdownCombo->setCurrentIndex(index);
}

int ScheduleOptions::stopAfterSeconds() const
{
    return stopAfterCheck->isChecked() ? QTime(0, 0).secsTo(stopAfterEdit->time()) : 0;
}

void ScheduleOptions::setStopAfterSeconds(int seconds)
{
    const bool on = seconds > 0 && seconds < 24 * 3600;
    stopAfterCheck->setChecked(on);
    stopAfterEdit->setTime(on ? QTime(0, 0).addSecs(seconds) : FirstStopAfter);
}

void ScheduleOptions::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QGroupBox::changeEvent(event);
}

void ScheduleOptions::retranslate()
{
    setTitle(tr("定时"));
    countdownLabel->setText(tr("倒计时"));
    countdownCombo->setItemText(0, tr("无"));
    for (int i = 1; i < int(std::size(CountdownChoices)); ++i)
        countdownCombo->setItemText(i, tr("%1 秒").arg(CountdownChoices[i]));
    stopAfterCheck->setText(tr("定时停止"));
    stopAfterCheck->setAccessibleName(tr("定时停止"));
    stopAfterEdit->setAccessibleName(tr("定时停止"));
}
