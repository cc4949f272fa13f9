#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

class QListWidget;
class QListWidgetItem;
class QTimer;

// Always-on-top picker listing the desktop's visible top-level windows. A
// double-click reports the window's handle; while the object lives it also
// reports changes of the chosen window's geometry.
class WindowSelector : public QDialog
{
    Q_OBJECT

public:
    explicit WindowSelector(QWidget *parent = nullptr);
    ~WindowSelector() override;

    void refreshWindowList();

signals:
    void windowSelected(WId windowId);
    void selectionCancelled();
    void windowGeometryChanged(const QRect &rect);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onItemClicked(QListWidgetItem *item);
    void onCancelClicked();
    void updateWindowInfo();

private:
    QListWidget *windowList = nullptr;
    WId selectedWindow = 0;
    QRect selectedGeometry;
    QTimer *watchTimer = nullptr;
    QPoint dragOffset;
};
