#pragma once

#include "app/pages/recordingpage.h"

#include <QObject>
#include <QSystemTrayIcon>

class QMenu;

// The tray icon that stands in for the window while a recording runs
// hidden: its menu drives the recording as the page's buttons do, and the
// icon and its tool tip show a running recording with its time. Nothing is
// created where the desktop has no tray.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    bool isAvailable() const { return icon != nullptr; }
    bool isVisible() const;
    void setVisible(bool visible);
    // Shown once the tray host has placed the icon, so the balloon points at it.
    void showMessage(const QString &title, const QString &text, QSystemTrayIcon::MessageIcon kind,
                     int ms);
    void showState(const RecordingPage::ControlState &state);
    void retranslate();

signals:
    // Sent only when the page's matching button is available and no box asks.
    void recordChosen();
    void pauseChosen();
    void restoreChosen();

private:
    void showMenuState();
    void showIconState();

    QSystemTrayIcon *icon = nullptr;
    QMenu *menu = nullptr;
    RecordingPage::ControlState state;
    bool showsRecording = false;
};
