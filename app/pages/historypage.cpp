// The history page: the recordings of the output folder in one table, newest
// first, with size, date, playing time and format, and a menu on each row.
//
// A rebuild compares the folder with the table instead of starting over:
// rows of unchanged files stay as they are, rows of vanished or reordered
// files go, and the missing rows are built a slice per event-loop turn, so a
// folder of hundreds of recordings never freezes the window. Playing times
// are read on a thread pool and cached by path, size and modification time;
// the file being recorded shows 00:00:00 and is never probed.
//
// Only regular files are listed (a link counts when it leads to one). A
// rebuild removes an empty file only when it is a regular file, not a link,
// that has stayed empty for a minute and is not being recorded or converted:
// another program may be writing it. No rebuild runs while a row's menu or
// action is running (historyrowmenu.cpp); one follows if any was asked for.
#include "app/pages/historypage.h"

#include "app/pages/durationprobes.h"
#include "app/pages/historytable.h"
#include "app/trim/trimdialog.h"
#include "media/mediaprobe.h"
#include "ui_historypage.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QSet>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

using namespace history;

namespace {

constexpr int RowHeight = 40;
// A slice of row widgets stays well under 50 ms on a slow, loaded machine.
constexpr int RowsPerSlice = 10;
constexpr int WatchIntervalMs = 1000;
// Another program's file may stay empty for a while (a copy just begun, a
// download, an encoder's output before its header).
constexpr time_t EmptyFileGraceSeconds = 60;

const char *const ZeroDuration = "00:00:00";
const char *const DateFormat = "yyyy-MM-dd hh:mm:ss";

const QStringList &recordingNameFilters()
{
    static const QStringList filters = {"*.mp4", "*.avi", "*.mov", "*.mkv",
                                        "*.flv", "*.gif", "*.webm"};
    return filters;
}

QString defaultOutputFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
           + QStringLiteral("/Vexlo");
}

QString normalisedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Looked at again on the name itself just before the unlink: a link, or a
// file that has been written since it was listed, stays.
void removeIfLongEmpty(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info{};
    if (::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0
        || std::time(nullptr) - info.st_mtime < EmptyFileGraceSeconds)
        return;
    ::unlink(name.constData());
}

// Marks the longest run of values already in increasing order (patience
// sorting); the rows at those positions can stay where they are.
QList<bool> longestIncreasingRun(const QList<int> &values)
{
    QList<int> tailAt;       // position of the smallest tail of each run length
    QList<int> previous(values.size(), -1);
    for (int i = 0; i < values.size(); ++i) {
        const auto slot = std::lower_bound(tailAt.begin(), tailAt.end(), values[i],
                                           [&](int pos, int value) { return values[pos] < value; });
        if (slot != tailAt.begin())
            previous[i] = *(slot - 1);
        if (slot == tailAt.end())
            tailAt.append(i);
        else
            *slot = i;
    }
    QList<bool> keep(values.size(), false);
    for (int i = tailAt.isEmpty() ? -1 : tailAt.last(); i >= 0; i = previous[i])
        keep[i] = true;
    return keep;
}

// A contiguous run at a time: the view revisits every row widget once per
// removal, whatever its size.
void removeMarkedRows(QTableWidget *table, const QList<bool> &marked)
{
    for (auto end = marked.size(); end > 0;) {
        if (!marked[end - 1]) {
            --end;
            continue;
        }
        auto start = end - 1;
        while (start > 0 && marked[start - 1])
            --start;
        table->model()->removeRows(int(start), int(end - start));
        end = start;
    }
}

// A column that fits its contents measures every row again before the view
// next places a cell, that is after every change of any cell: a batch of
// changes would cost rows x changes. While one is made the columns keep
// their widths; they measure once, when the view next lays out.
class ColumnFitHold
{
public:
    explicit ColumnFitHold(QHeaderView *header)
        : header(header)
    {
        for (int column = 0; column < header->count(); ++column) {
            if (header->sectionResizeMode(column) == QHeaderView::ResizeToContents) {
                held.append(column);
                header->setSectionResizeMode(column, QHeaderView::Fixed);
            }
        }
    }
    ~ColumnFitHold()
    {
        for (const int column : held)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    ColumnFitHold(const ColumnFitHold &) = delete;
    ColumnFitHold &operator=(const ColumnFitHold &) = delete;

private:
    QHeaderView *header;
    QList<int> held;
};

} // namespace

HistoryPage::HistoryPage(const OutputWriters *writers, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::HistoryPage>())
    , writers(writers)
    , outputWatcher(new QFileSystemWatcher(this))
{
    ui->setupUi(this);
    setupRecordingsTable();
    connectHistoryPage();
}

HistoryPage::~HistoryPage()
{
    shutDown();
}

// The default folder is made when the settings are loaded; it can be watched
// from then on.
void HistoryPage::setOutputFolder(const QString &folder)
{
    outputFolder = folder;
    if (outputWatcher->directories().isEmpty() && QFileInfo::exists(defaultOutputFolder()))
        outputWatcher->addPath(defaultOutputFolder());
}

void HistoryPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateRecordingsTable();
    }
    QWidget::changeEvent(event);
}

void HistoryPage::setupRecordingsTable()
{
    QTableWidget *table = ui->recordingsTable;
    table->setColumnCount(ColumnCount);
    QHeaderView *header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long name is cut in its middle; the other columns keep their text whole.
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideMiddle);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(RowHeight);

    durationProbes = new DurationProbes(&HistoryPage::probeDuration, this);
    rowBuildTimer = new QTimer(this);
    rowBuildTimer->setSingleShot(true);
    rowBuildTimer->setInterval(0);
    watchThrottle = new QTimer(this);
    watchThrottle->setSingleShot(true);
    watchThrottle->setInterval(WatchIntervalMs);

    emptyHistoryLabel = new QLabel(table->viewport());
    emptyHistoryLabel->setObjectName(QStringLiteral("emptyHistoryLabel"));
    emptyHistoryLabel->setAlignment(Qt::AlignCenter);
    emptyHistoryLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(table->viewport());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(emptyHistoryLabel);
    retranslateRecordingsTable();
    showEmptyHistoryText();
}

// Also called after each language change: headers and the menus of the rows
// already built take the new language at once.
void HistoryPage::retranslateRecordingsTable()
{
    QTableWidget *table = ui->recordingsTable;
    table->setHorizontalHeaderLabels(
        {tr("文件名"), tr("大小"), tr("日期"), tr("时长"), tr("格式"), tr("操作")});
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QToolButton *button = rowMenuButton(row))
            setRowMenuTexts(button);
    }
    if (emptyHistoryLabel != nullptr)
        emptyHistoryLabel->setText(tr("还没有录制文件"));
}

void HistoryPage::showEmptyHistoryText()
{
    emptyHistoryLabel->setVisible(ui->recordingsTable->rowCount() == 0);
}

void HistoryPage::connectHistoryPage()
{
    connect(outputWatcher, &QFileSystemWatcher::directoryChanged, this,
            &HistoryPage::onOutputFolderChanged);
    connect(watchThrottle, &QTimer::timeout, this, [this] {
        if (!watchReportPending)
            return;
        watchReportPending = false;
        updateRecordingsTable();
        watchThrottle->start();
    });
    connect(rowBuildTimer, &QTimer::timeout, this, [this] { buildPendingRows(RowsPerSlice); });
    connect(durationProbes, &DurationProbes::probed, durationProbes,
            [this](const QString &path, qint64 size, const QDateTime &modified,
                   const QString &duration) { onDurationProbed(path, size, modified, duration); });
    const QAbstractItemModel *rows = ui->recordingsTable->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &HistoryPage::showEmptyHistoryText);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &HistoryPage::showEmptyHistoryText);
    connect(rows, &QAbstractItemModel::modelReset, this, &HistoryPage::showEmptyHistoryText);
    connectRowMenuTriggers();
}

void HistoryPage::shutDown()
{
    if (durationProbes == nullptr)
        return;
    disconnect(outputWatcher, nullptr, this, nullptr);
    // The table's model reports its rows gone as the form is destroyed.
    disconnect(ui->recordingsTable->model(), nullptr, this, nullptr);
    rowBuildTimer->stop();
    watchThrottle->stop();
    // Its running save ends and leaves no partial file.
    delete trimDialog;
    delete durationProbes;
    durationProbes = nullptr;
}

void HistoryPage::onOutputFolderChanged()
{
    if (watchThrottle->isActive()) {
        watchReportPending = true;
        return;
    }
    updateRecordingsTable();
    watchThrottle->start();
}

void HistoryPage::holdRebuilds()
{
    ++rebuildHolds;
}

void HistoryPage::releaseRebuilds()
{
    if (rebuildHolds > 0)
        --rebuildHolds;
    if (rebuildHolds > 0 || !rebuildDeferred)
        return;
    rebuildDeferred = false;
    updateRecordingsTable();
}

void HistoryPage::onRecordingStarted()
{
    finishedRecordingPath.clear();
}

void HistoryPage::onRecordingFileFinished(const QString &path)
{
    finishedRecordingPath = normalisedPath(path);
    updateRecordingsTable();
}

QString HistoryPage::fileBeingRecorded() const
{
    const QString path = normalisedPath(writers->fileBeingRecorded());
    return path == finishedRecordingPath ? QString() : path;
}

// The recorder's file and the converter's output: their writers may leave
// them empty on disk for longer than any grace period (a paused recording).
QSet<QString> HistoryPage::filesBeingWritten() const
{
    QSet<QString> paths;
    const QString recording = fileBeingRecorded();
    if (!recording.isEmpty())
        paths.insert(recording);
    const QString converting = normalisedPath(writers->fileBeingConverted());
    if (!converting.isEmpty())
        paths.insert(converting);
    const QString cutting = trimDialog != nullptr ? normalisedPath(trimDialog->outputBeingWritten()) : QString();
    if (!cutting.isEmpty())
        paths.insert(cutting);
    return paths;
}

// The listed files, newest first; empty files long left empty are removed on
// the way.
QList<HistoryPage::RecordingFile> HistoryPage::listRecordingFiles()
{
    QList<RecordingFile> files;
    const QString &folder = outputFolder;
    if (folder.isEmpty() || !QDir(folder).exists())
        return files;
    const QSet<QString> busy = filesBeingWritten();
    const QFileInfoList entries = QDir(folder).entryInfoList(
        recordingNameFilters(), QDir::Files | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo &entry : entries) {
        // Devices and links to anything but a regular file pass the filter.
        if (!entry.isFile())
            continue;
        const QString path = normalisedPath(entry.absoluteFilePath());
        if (entry.size() > 0)
            files.append({path, entry.size(), entry.lastModified()});
        else if (!entry.isSymLink() && !busy.contains(path))
            removeIfLongEmpty(path);
    }
    return files;
}

void HistoryPage::updateRecordingsTable()
{
    if (rebuildHolds > 0) {
        rebuildDeferred = true;
        return;
    }
    const QList<RecordingFile> files = listRecordingFiles();
    const ColumnFitHold hold(ui->recordingsTable->horizontalHeader());
    listedOrder.clear();
    for (int i = 0; i < files.size(); ++i)
        listedOrder.insert(files[i].path, i);

    // Rows of files that are gone go; of the others, the longest run already
    // in listing order stays and the rest are built again at their new place.
    QTableWidget *table = ui->recordingsTable;
    QList<int> listedRows;
    QList<int> positions;
    for (int row = 0; row < table->rowCount(); ++row) {
        const int position = listedPositionOfRow(row);
        if (position >= 0) {
            listedRows.append(row);
            positions.append(position);
        }
    }
    QList<bool> remove(table->rowCount(), true);
    const QList<bool> inOrder = longestIncreasingRun(positions);
    for (int i = 0; i < listedRows.size(); ++i)
        remove[listedRows[i]] = !inOrder[i];
    removeMarkedRows(table, remove);

    QSet<QString> shown;
    for (int row = 0; row < table->rowCount(); ++row) {
        const RecordingFile &file = files.at(listedPositionOfRow(row));
        updateRowDetails(row, file);
        shown.insert(file.path);
    }
    pendingRows.clear();
    for (const RecordingFile &file : files) {
        if (!shown.contains(file.path))
            pendingRows.append(file);
    }
    for (auto it = durationCache.begin(); it != durationCache.end();) {
        if (listedOrder.contains(it.key()))
            ++it;
        else
            it = durationCache.erase(it);
    }
    buildPendingRows(RowsPerSlice);
}

void HistoryPage::buildPendingRows(int limit)
{
    // Rows that go to the same place are inserted in one go: the view lays
    // out every row widget once per insertion, whatever its size.
    const ColumnFitHold hold(ui->recordingsTable->horizontalHeader());
    int built = 0;
    while (built < limit && !pendingRows.isEmpty()) {
        const int row = rowForListedPosition(listedOrder.value(pendingRows.first().path, INT_MAX));
        int count = 1;
        while (built + count < limit && count < pendingRows.size()
               && rowForListedPosition(listedOrder.value(pendingRows.at(count).path, INT_MAX)) == row)
            ++count;
        ui->recordingsTable->model()->insertRows(row, count);
        for (int i = 0; i < count; ++i)
            addRecordingToTable(row + i, pendingRows.takeFirst());
        built += count;
    }
    if (pendingRows.isEmpty())
        rowBuildTimer->stop();
    else
        rowBuildTimer->start();
}

// Fills an inserted, empty row with a listed file.
void HistoryPage::addRecordingToTable(int row, const RecordingFile &file)
{
    QTableWidget *table = ui->recordingsTable;
    const QFileInfo info(file.path);
    auto *name = new QTableWidgetItem(info.fileName());
    name->setData(PathRole, file.path);
    name->setToolTip(info.fileName());
    table->setItem(row, NameColumn, name);
    table->setItem(row, SizeColumn, new QTableWidgetItem);
    table->setItem(row, DateColumn, new QTableWidgetItem);
    table->setItem(row, DurationColumn, new QTableWidgetItem);
    table->setItem(row, FormatColumn, new QTableWidgetItem(info.suffix().toUpper()));
    updateRowDetails(row, file);
    table->setCellWidget(row, ActionColumn, makeRowMenuButton(file.path));
}

int HistoryPage::listedPositionOfRow(int row) const
{
    const QTableWidgetItem *name = ui->recordingsTable->item(row, NameColumn);
    return name ? listedOrder.value(name->data(PathRole).toString(), -1) : -1;
}

// Rows are always in listing order: the first row listed at or after position.
int HistoryPage::rowForListedPosition(int position) const
{
    int low = 0;
    int high = ui->recordingsTable->rowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (listedPositionOfRow(middle) < position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int HistoryPage::rowOfRecording(const QString &path) const
{
    const auto position = listedOrder.constFind(path);
    if (position == listedOrder.cend())
        return -1;
    const int row = rowForListedPosition(*position);
    return listedPositionOfRow(row) == *position ? row : -1;
}

QStringList HistoryPage::listedRecordingPaths() const
{
    QStringList paths;
    const QTableWidget *table = ui->recordingsTable;
    for (int row = 0; row < table->rowCount(); ++row)
        paths.append(table->item(row, NameColumn)->data(PathRole).toString());
    return paths;
}

void HistoryPage::updateRowDetails(int row, const RecordingFile &file)
{
    QTableWidget *table = ui->recordingsTable;
    QTableWidgetItem *name = table->item(row, NameColumn);
    const bool beingRecorded = file.path == fileBeingRecorded();
    if (name->data(SizeRole).isValid() && name->data(SizeRole).toLongLong() == file.size
        && name->data(ModifiedRole).toDateTime() == file.modified
        && name->data(BeingRecordedRole).toBool() == beingRecorded)
        return;
    name->setData(SizeRole, file.size);
    name->setData(ModifiedRole, file.modified);
    name->setData(BeingRecordedRole, beingRecorded);
    table->item(row, SizeColumn)->setText(formatFileSize(file.size));
    table->item(row, DateColumn)->setText(file.modified.toString(QLatin1String(DateFormat)));
    showDuration(row, file);
}

void HistoryPage::showDuration(int row, const RecordingFile &file)
{
    QTableWidgetItem *cell = ui->recordingsTable->item(row, DurationColumn);
    if (file.path == fileBeingRecorded()) {
        cell->setText(QLatin1String(ZeroDuration));
        return;
    }
    const auto cached = durationCache.constFind(file.path);
    if (cached != durationCache.cend() && cached->size == file.size
        && cached->modified == file.modified) {
        cell->setText(cached->text);
        return;
    }
    // Empty until the probe answers.
    cell->setText(QString());
    const QPair<qint64, QDateTime> state(file.size, file.modified);
    if (probesInFlight.value(file.path) == state)
        return;
    probesInFlight.insert(file.path, state);
    durationProbes->request(file.path, file.size, file.modified);
}

void HistoryPage::onDurationProbed(const QString &path, qint64 size, const QDateTime &modified,
                                  const QString &duration)
{
    const QPair<qint64, QDateTime> state(size, modified);
    if (probesInFlight.value(path) == state)
        probesInFlight.remove(path);
    if (!listedOrder.contains(path))
        return;
    durationCache.insert(path, {size, modified, duration});
    const int row = rowOfRecording(path);
    if (row < 0)
        return;
    const QTableWidgetItem *name = ui->recordingsTable->item(row, NameColumn);
    // An answer about an older state of the file, or about the file being
    // recorded, is not shown.
    if (name->data(SizeRole).toLongLong() != size || name->data(ModifiedRole).toDateTime() != modified
        || name->data(BeingRecordedRole).toBool())
        return;
    const ColumnFitHold hold(ui->recordingsTable->horizontalHeader());
    ui->recordingsTable->item(row, DurationColumn)->setText(duration);
}

QString HistoryPage::formatFileSize(qint64 bytes)
{
    constexpr qint64 KB = 1024;
    constexpr qint64 MB = KB * 1024;
    constexpr qint64 GB = MB * 1024;
    if (bytes < KB)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < MB)
        return QStringLiteral("%1 KB").arg(double(bytes) / KB, 0, 'f', 1);
    if (bytes < GB)
        return QStringLiteral("%1 MB").arg(double(bytes) / MB, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(double(bytes) / GB, 0, 'f', 1);
}

QString HistoryPage::formatDuration(qint64 microseconds)
{
    if (microseconds <= 0)
        return QLatin1String(ZeroDuration);
    const double seconds = double(microseconds) / 1000000.0;
    const auto hours = qint64(seconds / 3600);
    const double rest = seconds - double(hours) * 3600;
    const auto minutes = qint64(rest / 60);
    const auto wholeSeconds = qint64(rest - double(minutes) * 60);
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(wholeSeconds, 2, 10, QLatin1Char('0'));
}

// Runs on the probing threads: the shared probe is thread-safe.
QString HistoryPage::probeDuration(const QString &path)
{
    return formatDuration(media::probeDurationUs(path, media::kRecordingContainers));
}
