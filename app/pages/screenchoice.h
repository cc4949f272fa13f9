#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;

// The 屏幕 box: which monitor a full-screen recording shows, the primary
// first, then the others, then all of them. It follows monitors plugged in
// and out while the program runs. The choice is kept as `Recording/screen`
// stores it, also while its monitor is not connected (the box then shows
// the primary, which is what a start would record).
class ScreenChoice : public QWidget
{
    Q_OBJECT

public:
    explicit ScreenChoice(QWidget *parent = nullptr);

    QString choice() const { return chosen; }
    // Sets the choice without reporting it.
    void setChoice(const QString &choice);
    // More than one monitor, and capture that lets the program choose (on
    // Wayland the desktop's dialog picks the monitor).
    bool offersChoice() const;
    QComboBox *box() const { return combo; }

signals:
    // The user picked another item.
    void choiceChanged(const QString &choice);
    // Monitors were plugged in or out, or changed.
    void monitorsChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    void scheduleRebuild();
    void rebuild();
    void onActivated(int index);

    QLabel *label;
    QComboBox *combo;
    QString chosen;
    bool rebuildPending = false;
};
