#pragma once

#include <QMainWindow>
#include <QPoint>

namespace Ui {
class MainWindow;
}

// The program's only top-level window: a frameless, fixed-size frame with a
// drop shadow, dragged by its header or its navigation column, and the owner
// of everything that lives as long as the program.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    // Connected by object name when the form is built.
    void on_pushButton_close_clicked();
    void on_pushButton_min_clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void setupFrame();
    void setupConnections();
    void connectNavigation();
    void showPage(int index, const char *title);
    bool isDragHandle(const QPoint &windowPos) const;

    Ui::MainWindow *ui;
    bool dragging = false;
    QPoint dragStartGlobalPos;
    QPoint dragStartTopLeft;
};
