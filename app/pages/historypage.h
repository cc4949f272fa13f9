#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <memory>

namespace Ui {
class HistoryPage;
}

class DurationProbes;
class QFileSystemWatcher;
class QLabel;
class QTimer;
class QToolButton;
class TrimDialog;

// Who still writes into the output folder: those files are never cleaned
// up, deleted or probed.
class OutputWriters
{
public:
    virtual ~OutputWriters() = default;
    // The file a recording is writing or finishing; empty when none.
    virtual QString fileBeingRecorded() const = 0;
    // The file a conversion is writing; empty when none.
    virtual QString fileBeingConverted() const = 0;
};

// The history page: the recordings of the output folder in one table, the
// folder watcher that keeps it current, the probes of their playing times,
// each row's menu and its actions, and delete-all.
class HistoryPage : public QWidget
{
    Q_OBJECT

public:
    HistoryPage(const OutputWriters *writers, QWidget *parent = nullptr);
    ~HistoryPage() override;

    // The folder the table lists; the default folder is watched as well.
    void setOutputFolder(const QString &folder);
    // Nothing of the page may run once the window is being torn down, also
    // when something further down spins an event loop.
    void shutDown();

public slots:
    // Brings the table in line with the output folder; see historypage.cpp.
    void updateRecordingsTable();
    // A recording begins; its file is the recorder's current one from now.
    void onRecordingStarted();
    void onRecordingFileFinished(const QString &path);

protected:
    void changeEvent(QEvent *event) override;

private:
    struct RecordingFile
    {
        QString path;
        qint64 size = 0;
        QDateTime modified;
    };
    struct ProbedDuration
    {
        qint64 size = 0;
        QDateTime modified;
        QString text;
    };

    void setupRecordingsTable();
    void retranslateRecordingsTable();
    void showEmptyHistoryText();
    void connectHistoryPage();
    void onOutputFolderChanged();
    QList<RecordingFile> listRecordingFiles();
    QString fileBeingRecorded() const;
    QSet<QString> filesBeingWritten() const;
    // Rebuilds wait while a row's menu is open or a row action runs; one
    // follows the last release if any was asked for meanwhile.
    void holdRebuilds();
    void releaseRebuilds();
    void buildPendingRows(int limit);
    void addRecordingToTable(int row, const RecordingFile &file);
    int listedPositionOfRow(int row) const;
    int rowForListedPosition(int position) const;
    void updateRowDetails(int row, const RecordingFile &file);
    void showDuration(int row, const RecordingFile &file);
    void onDurationProbed(const QString &path, qint64 size, const QDateTime &modified,
                          const QString &duration);
    int rowOfRecording(const QString &path) const;
    QStringList listedRecordingPaths() const;
    static QString formatFileSize(qint64 bytes);
    static QString formatDuration(qint64 microseconds);
    static QString probeDuration(const QString &path);

    // The row menu and the ways to open it (historyrowmenu.cpp).
    QWidget *makeRowMenuButton(const QString &path);
    void setRowMenuTexts(QToolButton *button);
    QToolButton *rowMenuButton(int row) const;
    QString recordingPathOfRow(int row) const;
    void popUpRowMenu(int row, const QPoint &globalPos);
    void connectRowMenuTriggers();

    // The row actions (recordingactions.cpp).
    void playRecording(const QString &path);
    void openRecordingLocation(const QString &path);
    void trimRecording(const QString &path);
    void copyRecording(const QString &path);
    void deleteRecording(const QString &path);
    void deleteAllRecordings();

    std::unique_ptr<Ui::HistoryPage> ui;
    const OutputWriters *writers;
    QString outputFolder;
    // Watches the default output folder only, added once it exists.
    QFileSystemWatcher *outputWatcher = nullptr;
    DurationProbes *durationProbes = nullptr;
    // Builds the rows a rebuild found missing, a slice per event-loop turn.
    QTimer *rowBuildTimer = nullptr;
    // Watcher reports rebuild at most once a second; reports within that
    // second ask for exactly one rebuild at its end.
    QTimer *watchThrottle = nullptr;
    bool watchReportPending = false;
    // Rows the last rebuild found missing, in display order, and the position
    // of every listed file in that order.
    QList<RecordingFile> pendingRows;
    QHash<QString, int> listedOrder;
    // Durations by path, valid while size and modification time match.
    QHash<QString, ProbedDuration> durationCache;
    QHash<QString, QPair<qint64, QDateTime>> probesInFlight;
    // Reported finished although the recorder may still call it current.
    QString finishedRecordingPath;
    int rebuildHolds = 0;
    bool rebuildDeferred = false;
    // Open while a recording is being cut; it writes beside the recording.
    QPointer<TrimDialog> trimDialog;
    // Shown in the table while it has no rows.
    QLabel *emptyHistoryLabel = nullptr;
};
