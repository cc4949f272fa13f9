// The history page: the recordings of the output folder in one table, newest
// first, with size, date, playing time and format, and a menu on each row.
//
// A rebuild compares the folder with the table instead of starting over:
// rows of unchanged files stay as they are, rows of vanished or reordered
// files go, and the missing rows are built a slice per event-loop turn, so a
// folder of hundreds of recordings never freezes the window. Playing times
// are read on a thread pool and cached by path, size and modification time;
// the file being recorded shows 00:00:00 and is neither probed nor removed.
#include "app/mainwindow.h"

#include "app/pages/durationprobes.h"
#include "media/mediaprobe.h"
#include "recorder/screenrecorder.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QSet>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <climits>

namespace {

enum Column {
    NameColumn,
    SizeColumn,
    DateColumn,
    DurationColumn,
    FormatColumn,
    ActionColumn,
    ColumnCount
};

// Entries of each row's menu, in order.
enum MenuEntry { PlayEntry, LocateEntry, SeparatorEntry, DeleteEntry, DeleteAllEntry };

// Data of each row's column-0 item: the file and the state it was shown in.
constexpr int PathRole = Qt::UserRole;
constexpr int SizeRole = Qt::UserRole + 1;
constexpr int ModifiedRole = Qt::UserRole + 2;
constexpr int BeingRecordedRole = Qt::UserRole + 3;

constexpr int RowHeight = 40;
// A slice stays well under 100 ms of widget building on a slow machine.
constexpr int RowsPerSlice = 30;
constexpr int WatchIntervalMs = 1000;

const char *const ZeroDuration = "00:00:00";
const char *const DateFormat = "yyyy-MM-dd hh:mm:ss";
const char *const MenuButtonStyle = "QToolButton::menu-indicator { image: none; }";
const char *const MenuStyle = "QMenu {   border-radius: 4px;   padding: 5px 0;   margin: 2px 0;}"
                              "QMenu::item {   padding: 6px 20px 6px 10px;}"
                              "QMenu::separator {   height: 1px;   margin: 4px 0;}";

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

} // namespace

void MainWindow::setupRecordingsTable()
{
    QTableWidget *table = ui->recordingsTable;
    table->setColumnCount(ColumnCount);
    retranslateRecordingsTable();
    QHeaderView *header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(NameColumn, QHeaderView::ResizeToContents);
    for (int column = SizeColumn; column <= FormatColumn; ++column)
        header->setSectionResizeMode(column, QHeaderView::Stretch);
    header->setSectionResizeMode(ActionColumn, QHeaderView::ResizeToContents);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(RowHeight);

    durationProbes = new DurationProbes(&MainWindow::probeDuration, this);
    rowBuildTimer = new QTimer(this);
    rowBuildTimer->setSingleShot(true);
    rowBuildTimer->setInterval(0);
    watchThrottle = new QTimer(this);
    watchThrottle->setSingleShot(true);
    watchThrottle->setInterval(WatchIntervalMs);
}

// Also called after each language change: headers and the menus of the rows
// already built take the new language at once.
void MainWindow::retranslateRecordingsTable()
{
    QTableWidget *table = ui->recordingsTable;
    table->setHorizontalHeaderLabels(
        {tr("文件名"), tr("大小"), tr("日期"), tr("时长"), tr("格式"), tr("操作")});
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QWidget *cell = table->cellWidget(row, ActionColumn))
            setRowMenuTexts(cell->findChild<QMenu *>());
    }
}

void MainWindow::setRowMenuTexts(QMenu *menu)
{
    const QList<QAction *> entries = menu->actions();
    entries.at(PlayEntry)->setText(tr("播放"));
    entries.at(LocateEntry)->setText(tr("打开位置"));
    entries.at(DeleteEntry)->setText(tr("删除"));
    entries.at(DeleteAllEntry)->setText(tr("删除所有"));
}

void MainWindow::connectHistoryPage()
{
    connect(outputWatcher, &QFileSystemWatcher::directoryChanged, this,
            &MainWindow::onOutputFolderChanged);
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
    connect(recorder, &ScreenRecorder::recordingFinished, this,
            &MainWindow::onRecordingFileFinished);
    connect(recorder, &ScreenRecorder::recordingStateChanged, this, [this](bool recording) {
        if (recording)
            finishedRecordingPath.clear();
    });
}

void MainWindow::watchDefaultOutputFolder()
{
    outputWatcher->addPath(defaultOutputFolder());
}

// Nothing of the page may run once the window is being torn down, also when
// something further down spins an event loop.
void MainWindow::shutDownHistoryPage()
{
    disconnect(recorder, &ScreenRecorder::recordingFinished, this,
               &MainWindow::onRecordingFileFinished);
    disconnect(outputWatcher, nullptr, this, nullptr);
    rowBuildTimer->stop();
    watchThrottle->stop();
    delete durationProbes;
    durationProbes = nullptr;
}

void MainWindow::onOutputFolderChanged()
{
    if (watchThrottle->isActive()) {
        watchReportPending = true;
        return;
    }
    updateRecordingsTable();
    watchThrottle->start();
}

void MainWindow::onRecordingFileFinished(const QString &path)
{
    finishedRecordingPath = normalisedPath(path);
    updateRecordingsTable();
}

QString MainWindow::fileBeingRecorded() const
{
    if (!recorder->isRecording() && !recorder->isFinishing())
        return QString();
    const QString path = normalisedPath(recorder->currentFilePath());
    return path == finishedRecordingPath ? QString() : path;
}

// The listed files, newest first. Empty files are deleted on the way, except
// the one being recorded, which may not have reached the disk yet.
QList<MainWindow::RecordingFile> MainWindow::listRecordingFiles()
{
    QList<RecordingFile> files;
    const QString folder = recorder->outputDirectory();
    if (folder.isEmpty() || !QDir(folder).exists())
        return files;
    const QString busy = fileBeingRecorded();
    const QFileInfoList entries = QDir(folder).entryInfoList(
        recordingNameFilters(), QDir::Files | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo &entry : entries) {
        const QString path = normalisedPath(entry.absoluteFilePath());
        if (entry.size() > 0)
            files.append({path, entry.size(), entry.lastModified()});
        else if (path != busy)
            QFile::remove(path);
    }
    return files;
}

void MainWindow::updateRecordingsTable()
{
    const QList<RecordingFile> files = listRecordingFiles();
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

void MainWindow::buildPendingRows(int limit)
{
    // Rows that go to the same place are inserted in one go: the view lays
    // out every row widget once per insertion, whatever its size.
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
void MainWindow::addRecordingToTable(int row, const RecordingFile &file)
{
    QTableWidget *table = ui->recordingsTable;
    const QFileInfo info(file.path);
    auto *name = new QTableWidgetItem(info.fileName());
    name->setData(PathRole, file.path);
    table->setItem(row, NameColumn, name);
    table->setItem(row, SizeColumn, new QTableWidgetItem);
    table->setItem(row, DateColumn, new QTableWidgetItem);
    table->setItem(row, DurationColumn, new QTableWidgetItem);
    table->setItem(row, FormatColumn, new QTableWidgetItem(info.suffix().toUpper()));
    updateRowDetails(row, file);
    table->setCellWidget(row, ActionColumn, makeRowMenuButton(file.path));
}

int MainWindow::listedPositionOfRow(int row) const
{
    const QTableWidgetItem *name = ui->recordingsTable->item(row, NameColumn);
    return name ? listedOrder.value(name->data(PathRole).toString(), -1) : -1;
}

// Rows are always in listing order: the first row listed at or after position.
int MainWindow::rowForListedPosition(int position) const
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

int MainWindow::rowOfRecording(const QString &path) const
{
    const auto position = listedOrder.constFind(path);
    if (position == listedOrder.cend())
        return -1;
    const int row = rowForListedPosition(*position);
    return listedPositionOfRow(row) == *position ? row : -1;
}

QStringList MainWindow::listedRecordingPaths() const
{
    QStringList paths;
    const QTableWidget *table = ui->recordingsTable;
    for (int row = 0; row < table->rowCount(); ++row)
        paths.append(table->item(row, NameColumn)->data(PathRole).toString());
    return paths;
}

void MainWindow::updateRowDetails(int row, const RecordingFile &file)
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

void MainWindow::showDuration(int row, const RecordingFile &file)
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

void MainWindow::onDurationProbed(const QString &path, qint64 size, const QDateTime &modified,
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
    ui->recordingsTable->item(row, DurationColumn)->setText(duration);
}

QWidget *MainWindow::makeRowMenuButton(const QString &path)
{
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *button = new QToolButton(cell);
    button->setText(QStringLiteral("\u22EE"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QLatin1String(MenuButtonStyle));

    auto *menu = new QMenu(button);
    menu->setLayoutDirection(Qt::LeftToRight);
    menu->setStyleSheet(QLatin1String(MenuStyle));
    QAction *play = menu->addAction(QString());
    QAction *locate = menu->addAction(QString());
    menu->addSeparator();
    QAction *remove = menu->addAction(QString());
    remove->setObjectName(QStringLiteral("deleteAction"));
    QAction *removeAll = menu->addAction(QString());
    removeAll->setObjectName(QStringLiteral("clearAllAction"));
    setRowMenuTexts(menu);
    connect(play, &QAction::triggered, this, [this, path] { playRecording(path); });
    connect(locate, &QAction::triggered, this, [this, path] { openRecordingLocation(path); });
    connect(remove, &QAction::triggered, this, [this, path] { deleteRecording(path); });
    connect(removeAll, &QAction::triggered, this, &MainWindow::deleteAllRecordings);
    button->setMenu(menu);

    layout->addWidget(button, 0, Qt::AlignCenter);
    return cell;
}

QString MainWindow::formatFileSize(qint64 bytes)
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

QString MainWindow::formatDuration(qint64 microseconds)
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
QString MainWindow::probeDuration(const QString &path)
{
    return formatDuration(media::probeDurationUs(path, media::kRecordingContainers));
}
