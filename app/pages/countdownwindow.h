#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QTimer;

// The seconds before a recording starts, large in a frameless translucent
// window centred on what is about to be recorded. It lets clicks through, so
// the user can still bring the right window forward. done() comes only once
// the window is off the screen, so the recording's first frame never shows it.
class CountdownWindow : public QWidget
{
    Q_OBJECT

public:
    CountdownWindow(const QRect &target, int seconds);

    int secondsLeft() const { return left; }
    void start();

signals:
    void ticked(int secondsLeft);
    void done();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step();
    void leaveScreen();

    QTimer *timer;
    QElapsedTimer clock;
    int seconds;
    int left;
};
