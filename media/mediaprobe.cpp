#include "media/mediaprobe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstring>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace media {

namespace {

// Lives on the caller's stack for the duration of one probe; libavformat
// reaches it through the context's opaque pointer.
struct ProbeGuard
{
    QByteArray url;
    QElapsedTimer clock;
    int deadlineMs = 0;
    bool opened = false;
    int (*defaultOpen)(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **) = nullptr;
};

int interruptAfterDeadline(void *opaque)
{
    const auto *guard = static_cast<const ProbeGuard *>(opaque);
    return guard->clock.hasExpired(guard->deadlineMs) ? 1 : 0;
}

// Demuxers open further files through this hook (playlists, concat lists,
// external references). Only the probed file itself may be opened, once.
int openOnlyTheProbedFile(AVFormatContext *context, AVIOContext **pb, const char *url, int flags,
                          AVDictionary **options)
{
    auto *guard = static_cast<ProbeGuard *>(context->opaque);
    if (guard->opened || url == nullptr || guard->url != url || (flags & AVIO_FLAG_WRITE))
        return AVERROR(EPERM);
    guard->opened = true;
    return guard->defaultOpen(context, pb, url, flags, options);
}

struct InputCloser
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};

} // namespace

int64_t probeDurationUs(const QString &path, const char *containerWhitelist, int deadlineMs,
                        bool *fromBitRate)
{
    // A FIFO or device would block the open itself; a folder is no media.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || !info.isReadable() || info.size() <= 0)
        return -1;

    ProbeGuard guard;
    guard.url = QFile::encodeName(info.absoluteFilePath());
    guard.deadlineMs = deadlineMs;
    guard.clock.start();

    AVFormatContext *context = avformat_alloc_context();
    if (context == nullptr)
        return -1;
    context->opaque = &guard;
    context->interrupt_callback.callback = &interruptAfterDeadline;
    context->interrupt_callback.opaque = &guard;
    guard.defaultOpen = context->io_open;
    context->io_open = &openOnlyTheProbedFile;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", containerWhitelist, 0);
    av_dict_set(&options, "analyzeduration", "500000", 0);
    av_dict_set(&options, "probesize", "500000", 0);
    // On failure avformat_open_input frees the context itself.
    const int opened = avformat_open_input(&context, guard.url.constData(), nullptr, &options);
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
