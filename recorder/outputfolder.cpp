// The output folder and file as the file system sees them: a start needs an
// absolute local folder, made if missing, with room for a recording; a
// running recording needs its file still in place and the disk not nearly
// full, checked once a second.

#include "recorder/screenrecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Free space for an unprivileged writer, in MiB, or -1 when unknown.
qint64 freeMiB(const QString &folder)
{
    struct statvfs info{};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize) / MiB;
}

// mkdir -p that keeps the reason of a failure (QDir::mkpath drops it).
bool makeFolder(const QByteArray &path, int *error)
{
    struct stat info{};
    if (::stat(path.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        *error = ENOTDIR;
        return false;
    }
    const int slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolder(path.left(slash), error))
        return false;
    if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST) {
        *error = errno;
        return false;
    }
    return true;
}

} // namespace

bool ScreenRecorder::prepareOutputFolder()
{
    // A relative path would land wherever the program was started, and a
    // URL is no folder at all.
    if (!QDir::isAbsolutePath(outputDir)) {
        refuseStart(tr("输出文件夹不是本地的绝对路径: %1").arg(outputDir));
        return false;
    }
    int error = 0;
    if (!makeFolder(QFile::encodeName(QDir::cleanPath(outputDir)), &error)) {
        refuseStart(tr("无法创建输出文件夹 %1: %2")
                        .arg(outputDir, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    const qint64 free = freeMiB(outputDir);
    if (free >= 0 && free < startFloorMiB) {
        refuseStart(tr("输出文件夹所在磁盘只剩 %1 MiB 可用空间，开始录制至少需要 %2 MiB")
                        .arg(free)
                        .arg(startFloorMiB));
        return false;
    }
    return true;
}

bool ScreenRecorder::outputStillThere() const
{
    // The same file, not merely one of that name.
    struct stat info{};
    return ::stat(QFile::encodeName(filePath).constData(), &info) == 0
           && info.st_dev == outputDevice && info.st_ino == outputInode;
}

void ScreenRecorder::checkOutput()
{
    if (!recording)
        return;
    if (!outputStillThere()) {
        abortRecording(tr("输出文件或其文件夹已被删除或移走，录制已停止"));
        return;
    }
    const qint64 free = freeMiB(QFileInfo(filePath).path());
    if (free >= 0 && free < recordingFloorMiB)
        abortRecording(tr("输出文件夹所在磁盘只剩 %1 MiB 可用空间，录制已停止").arg(free));
}
