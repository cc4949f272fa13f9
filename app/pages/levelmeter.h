#pragma once

#include <QList>
#include <QWidget>

// A small meter beside the recording clock: one vertical bar per sound
// source being recorded, showing its peak level on a decibel scale, so a
// user sees that sound is arriving.
class LevelMeter : public QWidget
{
    Q_OBJECT

public:
    explicit LevelMeter(QWidget *parent = nullptr);

    // One bar per name, named in the tool tip; none hides nothing by itself.
    void setSources(const QStringList &names);
    int barCount() const { return int(shown.size()); }
    // Peaks 0..1, one per bar; a bar falls back slowly rather than at once.
    void setLevels(const QList<float> &peaks);
    // Heights 0..1 the bars show.
    QList<float> levels() const { return shown; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<float> shown;
};
