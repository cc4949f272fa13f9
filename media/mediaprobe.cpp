#include "media/mediaprobe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace media {

namespace {

constexpr int ReadBufferSize = 32768;

struct Deadline
{
    QElapsedTimer clock;
    int ms = 0;
};

int interruptAfterDeadline(void *opaque)
{
    const auto *deadline = static_cast<const Deadline *>(opaque);
    return deadline->clock.hasExpired(deadline->ms) ? 1 : 0;
}

// Demuxers open further files through this hook (playlists, concat lists,
// external references). The probed file is read through its descriptor
// alone; nothing else may be opened.
int refuseEveryOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

int readDescriptor(void *opaque, uint8_t *buffer, int size)
{
    const int fd = static_cast<const Descriptor *>(opaque)->fd;
    ssize_t got = 0;
    do {
        got = ::read(fd, buffer, size_t(size));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    return got == 0 ? AVERROR_EOF : int(got);
}

int64_t seekDescriptor(void *opaque, int64_t offset, int whence)
{
    const int fd = static_cast<const Descriptor *>(opaque)->fd;
    if (whence == AVSEEK_SIZE) {
        struct stat info{};
        return ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

struct IoFree
{
    void operator()(AVIOContext *io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

struct InputCloser
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};

// A FIFO or a device would block an ordinary open, and a file can be put in
// the place of the one checked at any moment: the open never waits, and
// what it opened is checked, not the name.
bool openRegularFile(const QString &path, Descriptor &file)
{
    file.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0)
        return false;
    struct stat info{};
    return ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

} // namespace

int64_t probeDurationUs(const QString &path, const char *containerWhitelist, int deadlineMs,
                        bool *fromBitRate)
{
    Descriptor file;
    if (!openRegularFile(path, file))
        return -1;

    auto *buffer = static_cast<unsigned char *>(av_malloc(ReadBufferSize));
    if (buffer == nullptr)
        return -1;
    std::unique_ptr<AVIOContext, IoFree> io(
        avio_alloc_context(buffer, ReadBufferSize, 0, &file, &readDescriptor, nullptr, &seekDescriptor));
    if (!io) {
        av_free(buffer);
        return -1;
    }

    Deadline deadline;
    deadline.ms = deadlineMs;
    deadline.clock.start();
    AVFormatContext *context = avformat_alloc_context();
    if (context == nullptr)
        return -1;
    context->pb = io.get();
    context->interrupt_callback.callback = &interruptAfterDeadline;
    context->interrupt_callback.opaque = &deadline;
    context->io_open = &refuseEveryOpen;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", containerWhitelist, 0);
    av_dict_set(&options, "analyzeduration", "500000", 0);
    av_dict_set(&options, "probesize", "500000", 0);
    // On failure avformat_open_input frees the context itself (not our I/O).
    const int opened =
        avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return -1;
    std::unique_ptr<AVFormatContext, InputCloser> input(context);

    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return -1;
    if (fromBitRate != nullptr)
        *fromBitRate = input->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    return input->duration > 0 ? input->duration : -1;
}

} // namespace media
