#pragma once

#include <QSlider>

// The trim dialog's position slider, one step per frame, with the start
// and the end point marked on its groove (the span between them tinted).
class TrimSlider : public QSlider
{
    Q_OBJECT

public:
    explicit TrimSlider(QWidget *parent = nullptr);

    // Frame positions of the marks; end may be one past the last frame.
    void setMarks(int start, int end);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int grooveX(int value) const;

    int startMark = 0;
    int endMark = 0;
};
