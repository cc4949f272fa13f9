#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QList>

#include <cstdint>

class ConversionRunner;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TrimSlider;

namespace converter {
struct BatchReport;
}
namespace media {
class FrameReader;
}

// Cuts a piece out of a recording: the picture at the position, decoded
// exactly, a slider with the start and the end point, the three times as
// editable text, the keys editors use, and two outputs written beside the
// recording by ffmpeg through the converter's runner: the same container
// (`<name>_trim.<ext>`) and a GIF (`<name>.gif`), never replacing a file.
// The cut keeps the frames in [start point, end point).
class TrimDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TrimDialog(const QString &recordingPath, QWidget *parent = nullptr);
    // Ends a running save and removes its partial output.
    ~TrimDialog() override;

    // The output ffmpeg is writing; empty when none.
    QString outputBeingWritten() const;
    // Closing ends a running save and leaves no partial file.
    void reject() override;

signals:
    // An output is complete.
    void saved(const QString &path);

protected:
    void changeEvent(QEvent *event) override;

private:
    enum class Output { Video, Gif };

    void buildForm();
    void retranslate();
    void connectKeys();
    void fillGifBoxes();
    void onOpened(const QList<int64_t> &frameTimesUs, int64_t endUs, QSize videoSize);
    void onFrameReady(int index, const QImage &picture);

    // Moves the position; the picture follows once decoded.
    void showFrame(int index);
    void step(int count);
    void markStart();
    void markEnd();
    void togglePlay();
    void playTick();
    void stopPlaying();
    void onTimeEdited(QLineEdit *edit);
    void showTimes();
    void tell(const QString &text);

    int64_t timeOf(int index) const;
    int frameShownAt(int64_t us) const;
    int frameFrom(int64_t us) const;

    void save(Output output);
    void updateProgress();
    void onCancelClicked();
    void onSaveFinished(const converter::BatchReport &report);
    void setBusy(bool busy);

    QString recording;
    media::FrameReader *frames;
    ConversionRunner *runner;
    QString pendingArgumentsOutput;
    QStringList pendingArguments;

    QList<int64_t> times;
    int64_t endUs = 0;
    QSize videoSize;
    int position = 0;
    int startIndex = 0;
    // One past the last frame kept; times.size() keeps the last frame.
    int endIndex = 0;
    // The frame the picture shows, -1 before the first.
    int shown = -1;

    QTimer *playTimer;
    QElapsedTimer playClock;
    int64_t playFromUs = 0;
    QTimer *progressTimer;
    QString savingPath;

    QLabel *picture = nullptr;
    TrimSlider *slider = nullptr;
    QLabel *positionLabel = nullptr;
    QLabel *startLabel = nullptr;
    QLabel *endLabel = nullptr;
    QLineEdit *positionEdit = nullptr;
    QLineEdit *startEdit = nullptr;
    QLineEdit *endEdit = nullptr;
    QLabel *widthLabel = nullptr;
    QComboBox *widthBox = nullptr;
    QLabel *rateLabel = nullptr;
    QComboBox *rateBox = nullptr;
    QPushButton *saveVideoButton = nullptr;
    QPushButton *saveGifButton = nullptr;
    QPushButton *closeButton = nullptr;
    QProgressBar *progress = nullptr;
    QPushButton *cancelButton = nullptr;
    QLabel *status = nullptr;
};
