#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QTimeEdit;

// The settings page's timing box: the countdown before a start and the
// recorded time after which a recording stops by itself.
class ScheduleOptions : public QGroupBox
{
    Q_OBJECT

public:
    explicit ScheduleOptions(QWidget *parent = nullptr);

    // 0 for none; other values than the box offers read as none.
    int countdownSeconds() const;
    void setCountdownSeconds(int seconds);
    // 0 when off.
    int stopAfterSeconds() const;
    void setStopAfterSeconds(int seconds);

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    QLabel *countdownLabel;
    QComboBox *countdownCombo;
    QCheckBox *stopAfterCheck;
    QTimeEdit *stopAfterEdit;
};
