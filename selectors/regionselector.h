#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;

// Overlay over every monitor on which the user drags the
// capture rectangle of a region recording.
class RegionSelector : public QWidget
{
    Q_OBJECT

public:
    explicit RegionSelector(QWidget *parent = nullptr);
    ~RegionSelector() override;

signals:
    void regionSelected(const QRect &region);
    void selectionCancelled();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void onConfirmClicked();
    void onCancelClicked();
    void updateButtonPosition();

private:
    void paintSelection(QPainter &painter);
    void finish(bool confirmed);
    QRect toDesktop(const QRect &rect) const;

    QPoint anchor;
    QPoint corner;
    bool selecting = false;
    QRect selectedRect;
    QPushButton *confirmButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QHBoxLayout *buttonLayout = nullptr;
    QLabel *hintLabel = nullptr;
    QTimer *positionTimer = nullptr;
    QWidget *buttonContainer = nullptr;
    bool finished = false;
};
