// The actions of a recording's row menu: play it, open its folder, cut it,
// put it on the clipboard, delete it, and delete every listed recording
// behind a progress dialog.
#include "app/pages/historypage.h"

#include "app/pages/deletionworker.h"
#include "app/trim/trimdialog.h"
#include "ui_historypage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTableWidget>
#include <QUrl>

#include <climits>

namespace {
// A summary box names this many files at most.
constexpr int NamedFailures = 10;
} // namespace

void HistoryPage::playRecording(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void HistoryPage::openRecordingLocation(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

// Not modal to the application: the table goes on following the folder, and
// the dialog holds the path, not the row.
void HistoryPage::trimRecording(const QString &path)
{
    if (trimDialog != nullptr)
        return;
    trimDialog = new TrimDialog(path, this);
    trimDialog->setAttribute(Qt::WA_DeleteOnClose);
    trimDialog->setWindowModality(Qt::WindowModal);
    // The output may lie outside the watched folder: the table reads it again.
    connect(trimDialog, &TrimDialog::saved, this, &HistoryPage::updateRecordingsTable);
    trimDialog->open();
}

// As file managers put files on the clipboard, so that a paste into one or
// into a chat program gives the file itself.
void HistoryPage::copyRecording(const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    auto *data = new QMimeData;
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    data->setText(path);
    QGuiApplication::clipboard()->setMimeData(data);
}

void HistoryPage::deleteRecording(const QString &path)
{
    holdRebuilds();
    const auto release = qScopeGuard([this] { releaseRebuilds(); });
    const QString name = QFileInfo(path).fileName();
    const auto answer =
        QMessageBox::question(this, tr("删除文件"), tr("确定要删除这个录制文件吗？") + QLatin1Char('\n') + name,
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;

    if (!path.isEmpty() && path == fileBeingRecorded()) {
        QMessageBox::warning(this, tr("警告"), tr("这个文件正在录制，无法删除：%1").arg(name));
        return;
    }
    QFile file(path);
    if (!file.remove()) {
        if (QFileInfo::exists(path)) {
            QMessageBox::warning(this, tr("警告"),
                                 tr("无法删除文件 %1：%2").arg(name, file.errorString()));
            return;
        }
        QMessageBox::warning(this, tr("警告"), tr("文件已不存在：%1").arg(name));
    }
    pendingRows.removeIf([&](const RecordingFile &pending) { return pending.path == path; });
    const int row = rowOfRecording(path);
    if (row >= 0)
        ui->recordingsTable->removeRow(row);
}

void HistoryPage::deleteAllRecordings()
{
    // The watcher reports every deletion; the table stands still until the
    // worker is done, then one rebuild shows the folder.
    holdRebuilds();
    auto release = qScopeGuard([this] { releaseRebuilds(); });
    const auto answer =
        QMessageBox::question(this, tr("清空所有"), tr("确定要删除所有录制文件并清空列表吗？"),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;

    // The worker gets its own copy of what the table lists at this moment;
    // rebuilds while it runs change the table, not its list.
    buildPendingRows(INT_MAX);
    QStringList paths = listedRecordingPaths();
    QList<DeletionWorker::Failure> failures;
    const QString busy = fileBeingRecorded();
    if (!busy.isEmpty() && paths.removeAll(busy) > 0)
        failures.append({busy, tr("正在录制")});

    QProgressDialog progress(tr("正在删除文件..."), tr("取消"), 0, int(paths.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    DeletionWorker worker(paths);
    connect(&worker, &DeletionWorker::progressed, &progress, &QProgressDialog::setValue,
            Qt::QueuedConnection);
    connect(&progress, &QProgressDialog::canceled, &progress, [&worker] { worker.cancel(); });

    QFutureWatcher<void> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(worker.start());
    progress.show();
    loop.exec();
    // Quitting the application (the tray menu stays reachable) ends every
    // event loop, this one too: the worker must be done before it goes.
    if (!watcher.isFinished()) {
        worker.cancel();
        watcher.waitForFinished();
    }

    // The folder, not the worker's list, decides what the table shows: files
    // that stayed keep their rows, files added meanwhile appear.
    failures += worker.failures();
    rebuildDeferred = true;
    release.dismiss();
    releaseRebuilds();
    if (failures.isEmpty())
        return;
    QStringList lines;
    for (int i = 0; i < failures.size() && i < NamedFailures; ++i)
        lines.append(QFileInfo(failures[i].path).fileName() + QStringLiteral(": ") + failures[i].reason);
    if (failures.size() > NamedFailures)
        lines.append(QStringLiteral("…"));
    QMessageBox::warning(this, tr("清空所有"),
                         tr("%n 个文件未能删除：", nullptr, int(failures.size())) + QLatin1Char('\n')
                             + lines.join(QLatin1Char('\n')));
}
