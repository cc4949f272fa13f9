#include "support/fileaccesswatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

namespace vexlo::test {

FileAccessWatch::FileAccessWatch(const QString &path)
{
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0)
        watch = inotify_add_watch(fd, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS);
}

FileAccessWatch::~FileAccessWatch()
{
    if (fd >= 0)
        close(fd);
}

int FileAccessWatch::takeAccesses()
{
    int count = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return count;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->mask & (IN_OPEN | IN_ACCESS))
                ++count;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace vexlo::test
