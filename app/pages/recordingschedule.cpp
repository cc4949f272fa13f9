// A start after a countdown, and a recording that stops by itself after a
// set recorded time (pauses do not count).
#include "app/pages/recordingpage.h"

#include "app/pages/countdownwindow.h"
#include "capture/capturesource.h"
#include "recorder/screenrecorder.h"
#include "ui_recordingpage.h"

#include <QBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QTime>

namespace {

QString clockText(qint64 ms)
{
    return QTime(0, 0).addMSecs(int(ms)).toString(QStringLiteral("hh:mm:ss"));
}

} // namespace

void RecordingPage::setupSchedule()
{
    timeLeftLabel = new QLabel(ui->timeLabel->parentWidget());
    timeLeftLabel->setObjectName(QStringLiteral("timeLeftLabel"));
    timeLeftLabel->hide();
    for (QBoxLayout *layout : ui->timeLabel->parentWidget()->findChildren<QBoxLayout *>()) {
        if (const int at = layout->indexOf(ui->timeLabel); at >= 0) {
            layout->insertWidget(at + 1, timeLeftLabel);
            break;
        }
    }
    connect(recorder, &ScreenRecorder::timeLimitReached, this, &RecordingPage::onTimeLimitReached);
    // Escape belongs to the selectors and boxes otherwise.
    countdownEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    countdownEscape->setContext(Qt::ApplicationShortcut);
    countdownEscape->setEnabled(false);
    connect(countdownEscape, &QShortcut::activated, this, [this] {
        if (countdown)
            cancelCountdown();
    });
}

void RecordingPage::startAfterCountdown(const RecordingConfig &config,
                                        std::unique_ptr<capture::CaptureSource> source)
{
    const int seconds = options->countdownSeconds();
    if (seconds <= 0) {
        beginRecording(config, std::move(source));
        return;
    }
    countdownConfig = config;
    countdownSource = std::move(source);
    countdownLeft = seconds;
    countdown = new CountdownWindow(config.region, seconds);
    connect(countdown, &CountdownWindow::ticked, this, &RecordingPage::onCountdownTick);
    connect(countdown, &CountdownWindow::done, this, &RecordingPage::onCountdownDone);
    ui->toggleButton->setText(tr("取消"));
    ui->timeLabel->setText(QString::number(seconds));
    countdownEscape->setEnabled(true);
    emit countdownStarted();
    emit controlsChanged();
    countdown->start();
}

void RecordingPage::onCountdownTick(int secondsLeft)
{
    countdownLeft = secondsLeft;
    ui->timeLabel->setText(QString::number(secondsLeft));
    emit controlsChanged();
}

// The countdown's window is off the screen: the first frame may be taken.
void RecordingPage::onCountdownDone()
{
    countdownEscape->setEnabled(false);
    disconnect(countdown, nullptr, this, nullptr);
    countdown = nullptr;
    countdownLeft = 0;
    ui->toggleButton->setText(tr("开始"));
    beginRecording(countdownConfig, std::move(countdownSource));
}

// The button, the start shortcut, the tray's entry, Escape, a command and
// quitting: nothing is recorded and no file is made.
void RecordingPage::cancelCountdown()
{
    countdownEscape->setEnabled(false);
    disconnect(countdown, nullptr, this, nullptr);
    countdown->close();
    countdown = nullptr;
    countdownLeft = 0;
    if (countdownSource) {
        countdownSource->stop();
        countdownSource.reset();
    }
    ui->toggleButton->setText(tr("开始"));
    ui->timeLabel->setText(QStringLiteral("00:00:00"));
    emit startCancelled(tr("倒计时已取消"));
    emit controlsChanged();
}

void RecordingPage::applyStopAfter()
{
    recorder->setTimeLimit(stopAfterMs);
    showTimeLeft(0);
}

// Stopped as the user's stop would: the file is finished and the lists refreshed.
void RecordingPage::onTimeLimitReached()
{
    if (recordingActive)
        stopRecording();
}

void RecordingPage::showTimeLeft(qint64 elapsedMs)
{
    if (stopAfterMs <= 0 || !recordingActive) {
        timeLeftLabel->hide();
        return;
    }
    // Whole seconds, rounded up: the label reads 00:00:00 only at the end.
    const qint64 left = ((qMax<qint64>(0, stopAfterMs - elapsedMs) + 999) / 1000) * 1000;
    timeLeftLabel->setText(tr("剩余 %1").arg(clockText(left)));
    timeLeftLabel->show();
}
