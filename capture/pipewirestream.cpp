#include "capture/pipewirestream.h"

#include "capture/capturesource.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QRect>

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

extern "C" {
#include <libavutil/frame.h>
}

namespace capture {

namespace {

using ToI420 = int (*)(const uint8_t *, int, uint8_t *, int, uint8_t *, int, uint8_t *, int, int,
                       int);

// libyuv names packed formats by the 32-bit word, PipeWire by memory order.
ToI420 converterFor(uint32_t format)
{
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRx:
    case SPA_VIDEO_FORMAT_BGRA: return libyuv::ARGBToI420;
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_RGBA: return libyuv::ABGRToI420;
    case SPA_VIDEO_FORMAT_xRGB:
    case SPA_VIDEO_FORMAT_ARGB: return libyuv::BGRAToI420;
    case SPA_VIDEO_FORMAT_xBGR:
    case SPA_VIDEO_FORMAT_ABGR: return libyuv::RGBAToI420;
    default: return nullptr;
    }
}

// Cursor metadata with room for a bitmap of width x height 32-bit pixels.
constexpr int cursorMetaSize(int width, int height)
{
    return int(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + width * height * 4;
}
// Desktops offer one fixed size, room for their largest pointer (mutter:
// 384 x 384); anything up to 512 x 512, over 1 MiB, is taken.
constexpr int UsualCursorEdge = 384;
constexpr int LargestCursorEdge = 512;

// The pointer image of cursor metadata as premultiplied ARGB, or a null
// image when its format is not a packed one with alpha.
QImage pointerImageOf(const spa_meta_bitmap &bitmap, const uint8_t *pixels)
{
    const int width = int(bitmap.size.width), height = int(bitmap.size.height);
    switch (bitmap.format) {
    case SPA_VIDEO_FORMAT_RGBA:
        return QImage(pixels, width, height, bitmap.stride, QImage::Format_RGBA8888_Premultiplied)
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    case SPA_VIDEO_FORMAT_BGRA:
        return QImage(pixels, width, height, bitmap.stride, QImage::Format_ARGB32_Premultiplied).copy();
    case SPA_VIDEO_FORMAT_ARGB:
    case SPA_VIDEO_FORMAT_ABGR: break;
    default: return {};
    }
    // Alpha first in memory, which Qt has no format for.
    const bool redFirst = bitmap.format == SPA_VIDEO_FORMAT_ARGB;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const uint8_t *from = pixels + size_t(y) * size_t(bitmap.stride);
        auto *to = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, from += 4)
            to[x] = qRgba(redFirst ? from[1] : from[3], from[2], redFirst ? from[3] : from[1], from[0]);
    }
    return image;
}

constexpr uint8_t BlackY = 16;
constexpr uint8_t NeutralChroma = 128;

// One I420 picture in a single allocation.
struct Picture
{
    QSize size;
    std::vector<uint8_t> bytes;

    void allocate(QSize pictureSize)
    {
        size = pictureSize;
        const size_t luma = size_t(size.width()) * size.height();
        bytes.assign(luma + 2 * (luma / 4), 0);
        fillBlack();
    }
    int chromaStride() const { return size.width() / 2; }
    uint8_t *y() { return bytes.data(); }
    uint8_t *u() { return y() + size_t(size.width()) * size.height(); }
    uint8_t *v() { return u() + size_t(chromaStride()) * (size.height() / 2); }
    void fillBlack()
    {
        const size_t luma = size_t(size.width()) * size.height();
        std::memset(bytes.data(), BlackY, luma);
        std::memset(bytes.data() + luma, NeutralChroma, bytes.size() - luma);
    }
};

void fillBlack(AVFrame *frame, const QRect &area)
{
    if (area.isEmpty())
        return;
    libyuv::SetPlane(frame->data[0] + area.y() * frame->linesize[0] + area.x(),
                     frame->linesize[0], area.width(), area.height(), BlackY);
    const QRect chroma(area.x() / 2, area.y() / 2, (area.width() + 1) / 2, (area.height() + 1) / 2);
    for (int plane : {1, 2})
        libyuv::SetPlane(frame->data[plane] + chroma.y() * frame->linesize[plane] + chroma.x(),
                         frame->linesize[plane], chroma.width(), chroma.height(), NeutralChroma);
}

} // namespace

// Everything PipeWire's thread touches. The callbacks run on that thread;
// the GUI thread reaches the stream only with the loop locked, and the
// pictures only under `mutex`.
struct PipeWireStream::Loop
{
    QPointer<PipeWireStream> owner;
    // Which open() this is: news of a closed stream is dropped.
    quint64 generation = 0;
    QRectF area;
    int maxFrameRate = 30;

    pw_thread_loop *thread = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    pw_stream *stream = nullptr;
    spa_hook coreListener{};
    spa_hook streamListener{};

    // PipeWire's thread only.
    QSize streamSize;
    ToI420 convert = nullptr;
    // Where the kept part lies in the desktop's crop rectangle (the whole
    // buffer without one), and its size, fixed by the first picture.
    QPoint keptOffset;
    Picture back;
    // The buffer's rectangle the last picture came from.
    QRect source;
    bool streaming = false;
    bool reportedEnd = false;

    std::mutex mutex;
    Picture front;
    qint64 frontReceivedNs = 0;
    bool havePicture = false;
    Pointer pointer;

    static const pw_core_events coreEvents;
    static const pw_stream_events streamEvents;
    // The packed 32-bit RGB formats in shared memory, any size, at most
    // `maxRate` pictures a second.
    static const spa_pod *formatOffer(spa_pod_builder *builder, int maxRate);

    ~Loop() { release(); }

    void release()
    {
        // What the teardown itself reports is no news to anyone.
        reportedEnd = true;
        if (thread != nullptr)
            pw_thread_loop_stop(thread);
        if (stream != nullptr) {
            spa_hook_remove(&streamListener);
            pw_stream_destroy(stream);
            stream = nullptr;
        }
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
            core = nullptr;
        }
        if (context != nullptr) {
            pw_context_destroy(context);
            context = nullptr;
        }
        if (thread != nullptr) {
            pw_thread_loop_destroy(thread);
            thread = nullptr;
        }
    }

    // Tells the GUI thread, once, that the stream is over or failed; an
    // empty reason: the desktop ended it.
    void reportEnd(const QString &reason)
    {
        if (reportedEnd)
            return;
        reportedEnd = true;
        const bool hadPicture = streaming;
        QMetaObject::invokeMethod(
            owner.data(),
            [owner = owner, generation = generation, hadPicture, reason] {
                if (owner == nullptr || !owner->isCurrent(generation))
                    return;
                if (hadPicture)
                    emit owner->ended(reason);
                else
                    emit owner->failed(reason.isEmpty()
                                           ? QCoreApplication::translate("capture::PipeWireStream",
                                                                         "PipeWire 视频流已断开")
                                           : reason);
            },
            Qt::QueuedConnection);
    }

    void onFormat(const spa_pod *param)
    {
        spa_video_info_raw info{};
        if (param == nullptr || spa_format_video_raw_parse(param, &info) < 0)
            return;
        convert = converterFor(info.format);
        streamSize = QSize(int(info.size.width), int(info.size.height));
        requestBuffers();
    }

    // The first picture decides the part kept and the size of every one.
    void fixKeptPart(const QRect &content)
    {
        QRect wanted(QPoint(0, 0), content.size());
        if (!area.isNull())
            wanted = QRect(int(std::floor(area.x() * content.width())),
                           int(std::floor(area.y() * content.height())),
                           int(std::round(area.width() * content.width())),
                           int(std::round(area.height() * content.height())))
                         .intersected(wanted);
        // Even edges: I420 shares one chroma sample between 2x2 pixels.
        keptOffset = QPoint(wanted.x() & ~1, wanted.y() & ~1);
        const QSize size(qMax(2, wanted.width() & ~1), qMax(2, wanted.height() & ~1));
        back.allocate(size);
        std::lock_guard<std::mutex> lock(mutex);
        front.allocate(size);
    }

    void requestBuffers()
    {
        uint8_t storage[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
        const spa_pod *params[4];
        params[0] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
        params[1] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
        params[2] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_VideoCrop), SPA_PARAM_META_size,
            SPA_POD_Int(sizeof(spa_meta_region))));
        params[3] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(cursorMetaSize(UsualCursorEdge, UsualCursorEdge),
                                     cursorMetaSize(1, 1),
                                     cursorMetaSize(LargestCursorEdge, LargestCursorEdge))));
        pw_stream_update_params(stream, params, 4);
    }

    // The desktop's rectangle of the picture in the buffer (a window in a
    // monitor-sized buffer), else the whole buffer.
    QRect contentOf(spa_buffer *buffer) const
    {
        const QRect whole(QPoint(0, 0), streamSize);
        const auto *crop = static_cast<const spa_meta_region *>(
            spa_buffer_find_meta_data(buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)));
        if (crop == nullptr || !spa_meta_region_is_valid(crop))
            return whole;
        const QRect marked = QRect(crop->region.position.x & ~1, crop->region.position.y & ~1,
                                   int(crop->region.size.width), int(crop->region.size.height))
                                 .intersected(whole);
        return marked.isEmpty() ? whole : marked;
    }

    static bool isCorrupted(const spa_buffer *buffer)
    {
        const auto *header = static_cast<const spa_meta_header *>(
            spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
        return header != nullptr && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED) != 0;
    }

    void onProcess()
    {
        // Only the newest buffer is worth converting; older ones go back.
        // Their pointer images still count: a desktop sends one only when
        // it changes.
        pw_buffer *newest = nullptr;
        CursorNews olderImage;
        while (pw_buffer *next = pw_stream_dequeue_buffer(stream)) {
            if (newest != nullptr) {
                if (!isCorrupted(newest->buffer))
                    if (CursorNews news = cursorOf(newest->buffer); news.newImage)
                        olderImage = news;
                pw_stream_queue_buffer(stream, newest);
            }
            newest = next;
        }
        if (newest == nullptr)
            return;
        const qint64 receivedNs = steadyNowNs();
        spa_buffer *buffer = newest->buffer;
        const bool corrupted = isCorrupted(buffer);
        bool converted = false;
        CursorNews cursor;
        if (!corrupted) {
            const QRect content = contentOf(buffer);
            if (back.size.isEmpty() && !streamSize.isEmpty() && carriesPicture(buffer))
                fixKeptPart(content);
            converted = convertPicture(buffer, content);
            cursor = cursorOf(buffer);
        }
        pw_stream_queue_buffer(stream, newest);
        if (!cursor.newImage && olderImage.newImage) {
            cursor.newImage = true;
            cursor.image = olderImage.image;
            cursor.hotspot = olderImage.hotspot;
        }

        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (cursor.present)
                pointer.position = cursor.position;
            if (cursor.newImage) {
                pointer.image = cursor.image;
                pointer.hotspot = cursor.hotspot;
            }
            if (converted) {
                std::swap(front.bytes, back.bytes);
                frontReceivedNs = receivedNs;
                first = !havePicture;
                havePicture = true;
            }
        }
        if (!converted)
            return;
        streaming = true;
        // One queued call per picture, so the GUI thread takes each as it comes.
        QMetaObject::invokeMethod(
            owner.data(),
            [owner = owner, generation = generation, first] {
                if (owner == nullptr || !owner->isCurrent(generation))
                    return;
                if (first)
                    emit owner->firstPicture();
                emit owner->pictureArrived();
            },
            Qt::QueuedConnection);
    }

    struct CursorNews
    {
        // The buffer carries cursor metadata; position empty: hidden.
        bool present = false;
        std::optional<QPoint> position;
        bool newImage = false;
        QImage image;
        QPoint hotspot;
    };

    // Positions are in buffer pixels: made relative to where the picture
    // was taken from.
    CursorNews cursorOf(spa_buffer *buffer) const
    {
        CursorNews news;
        const spa_meta *meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
        if (meta == nullptr || meta->data == nullptr || meta->size < sizeof(spa_meta_cursor))
            return news;
        const auto *cursor = static_cast<const spa_meta_cursor *>(meta->data);
        news.present = true;
        if (!spa_meta_cursor_is_valid(cursor))
            return news;
        news.position = QPoint(cursor->position.x, cursor->position.y) - source.topLeft();
        if (cursor->bitmap_offset < sizeof(spa_meta_cursor)
            || size_t(cursor->bitmap_offset) + sizeof(spa_meta_bitmap) > meta->size)
            return news;
        const auto *bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, const spa_meta_bitmap);
        const size_t width = bitmap->size.width, height = bitmap->size.height;
        news.newImage = true;
        news.hotspot = QPoint(cursor->hotspot.x, cursor->hotspot.y);
        // An empty bitmap is a pointer with no image: nothing to draw.
        if (width == 0 || height == 0)
            return news;
        // An image that does not fit in its metadata is not read.
        const size_t room = meta->size - cursor->bitmap_offset;
        if (width > size_t(LargestCursorEdge) || height > size_t(LargestCursorEdge)
            || bitmap->stride < int(width * 4) || bitmap->offset < sizeof(spa_meta_bitmap)
            || size_t(bitmap->offset) + size_t(bitmap->stride) * (height - 1) + width * 4 > room) {
            news.newImage = false;
            return news;
        }
        news.image = pointerImageOf(*bitmap, SPA_PTROFF(bitmap, bitmap->offset, const uint8_t));
        return news;
    }

    // A buffer that only moves the pointer carries no picture.
    static bool carriesPicture(const spa_buffer *buffer)
    {
        if (buffer->n_datas < 1)
            return false;
        const spa_data &data = buffer->datas[0];
        return data.data != nullptr && data.chunk != nullptr && data.chunk->size > 0
               && (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) == 0;
    }

    bool convertPicture(spa_buffer *buffer, const QRect &content)
    {
        if (convert == nullptr || back.size.isEmpty() || !carriesPicture(buffer))
            return false;
        const spa_data &data = buffer->datas[0];
        const int stride = data.chunk->stride > 0 ? data.chunk->stride : streamSize.width() * 4;
        const auto *pixels = static_cast<const uint8_t *>(data.data) + data.chunk->offset;
        const QRect kept(content.topLeft() + keptOffset, back.size);
        const QRect inside = kept.intersected(content);
        if (inside.isEmpty())
            return false;
        const size_t needed = size_t(inside.bottom()) * size_t(stride) + size_t(inside.right() + 1) * 4;
        if (size_t(data.chunk->offset) + needed > data.maxsize)
            return false;
        source = kept;
        // The picture shrank below the kept size: the rest stays black.
        if (inside.size() != back.size)
            back.fillBlack();
        const uint8_t *from = pixels + size_t(inside.y()) * size_t(stride) + size_t(inside.x()) * 4;
        return convert(from, stride, back.y(), back.size.width(), back.u(), back.chromaStride(),
                       back.v(), back.chromaStride(), inside.width(), inside.height())
               == 0;
    }

    void onState(pw_stream_state state, const char *error)
    {
        if (state == PW_STREAM_STATE_ERROR) {
            qWarning().noquote() << "PipeWire stream error:" << error;
            reportEnd(QCoreApplication::translate("capture::PipeWireStream",
                                                  "PipeWire 视频流出错：%1")
                          .arg(QString::fromUtf8(error != nullptr ? error : "")));
        } else if (state == PW_STREAM_STATE_UNCONNECTED) {
            // The desktop's node went away: it stopped sharing.
            reportEnd(QString());
        }
    }
};

const pw_core_events PipeWireStream::Loop::coreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = [](void *data, uint32_t id, int, int res, const char *message) {
        auto *loop = static_cast<PipeWireStream::Loop *>(data);
        qWarning().noquote() << "PipeWire error on object" << id << ":" << message << res;
        // The connection itself failed: the stream is gone with it. Other
        // errors on the core name one request (a node the desktop removed).
        if (id == PW_ID_CORE && res == -EPIPE) {
            const QString why = QStringLiteral("%1 (%2)").arg(
                QString::fromUtf8(message != nullptr ? message : ""),
                QString::fromLocal8Bit(spa_strerror(res)));
            loop->reportEnd(
                QCoreApplication::translate("capture::PipeWireStream", "与 PipeWire 的连接中断：%1")
                    .arg(why));
        }
    };
    return events;
}();

const pw_stream_events PipeWireStream::Loop::streamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = [](void *data, pw_stream_state, pw_stream_state state,
                              const char *error) {
        static_cast<PipeWireStream::Loop *>(data)->onState(state, error);
    };
    events.param_changed = [](void *data, uint32_t id, const spa_pod *param) {
        if (id == SPA_PARAM_Format)
            static_cast<PipeWireStream::Loop *>(data)->onFormat(param);
    };
    events.process = [](void *data) { static_cast<PipeWireStream::Loop *>(data)->onProcess(); };
    return events;
}();

const spa_pod *PipeWireStream::Loop::formatOffer(spa_pod_builder *builder, int maxRate)
{
    const spa_rectangle defaultSize = SPA_RECTANGLE(1920, 1080);
    const spa_rectangle minSize = SPA_RECTANGLE(1, 1);
    const spa_rectangle maxSize = SPA_RECTANGLE(16384, 16384);
    const spa_fraction defaultRate = SPA_FRACTION(30, 1);
    const spa_fraction minRate = SPA_FRACTION(0, 1);
    const spa_fraction anyRate = SPA_FRACTION(1000, 1);
    // Desktops send when the screen changes, up to the format's maximum:
    // more than the recording takes would be converted for nothing.
    const spa_fraction mostPictures = SPA_FRACTION(uint32_t(qMax(1, maxRate)), 1);
    const spa_fraction fewestPictures = SPA_FRACTION(1, 1);
    return static_cast<const spa_pod *>(spa_pod_builder_add_object(
        builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
        SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA,
                               SPA_VIDEO_FORMAT_xRGB, SPA_VIDEO_FORMAT_ARGB,
                               SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_ABGR),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&defaultRate, &minRate, &anyRate),
        SPA_FORMAT_VIDEO_maxFramerate,
        SPA_POD_CHOICE_RANGE_Fraction(&mostPictures, &fewestPictures, &mostPictures)));
}

PipeWireStream::PipeWireStream(QObject *parent)
    : QObject(parent)
{
}

PipeWireStream::~PipeWireStream()
{
    close();
}

bool PipeWireStream::open(int fd, quint32 nodeId, const QRectF &area, int maxFrameRate,
                          QString *error)
{
    close();
    pw_init(nullptr, nullptr);
    const auto fail = [&](const char *step) {
        qWarning().noquote() << "PipeWire:" << step;
        *error = tr("无法连接 PipeWire（%1）").arg(QString::fromLatin1(step));
        loop.reset();
        return false;
    };
    loop = std::make_unique<Loop>();
    loop->owner = this;
    loop->generation = ++openCount;
    loop->area = area;
    loop->maxFrameRate = maxFrameRate;
    loop->thread = pw_thread_loop_new("vexlo-capture", nullptr);
    if (loop->thread == nullptr) {
        ::close(fd);
        return fail("pw_thread_loop_new");
    }
    loop->context = pw_context_new(pw_thread_loop_get_loop(loop->thread), nullptr, 0);
    if (loop->context == nullptr) {
        ::close(fd);
        return fail("pw_context_new");
    }
    if (pw_thread_loop_start(loop->thread) < 0) {
        ::close(fd);
        return fail("pw_thread_loop_start");
    }

    pw_thread_loop_lock(loop->thread);
    // The core owns the descriptor from here on, also when it fails.
    loop->core = pw_context_connect_fd(loop->context, fd, nullptr, 0);
    if (loop->core == nullptr) {
        pw_thread_loop_unlock(loop->thread);
        return fail("pw_context_connect_fd");
    }
    pw_core_add_listener(loop->core, &loop->coreListener, &Loop::coreEvents, loop.get());
    loop->stream = pw_stream_new(loop->core, "Vexlo",
                                 pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                   "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (loop->stream == nullptr) {
        pw_thread_loop_unlock(loop->thread);
        return fail("pw_stream_new");
    }
    pw_stream_add_listener(loop->stream, &loop->streamListener, &Loop::streamEvents, loop.get());
    uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod *params[] = {Loop::formatOffer(&builder, maxFrameRate)};
    // The desktop's stream only: when it goes, nothing else may take its place.
    const int connected = pw_stream_connect(
        loop->stream, PW_DIRECTION_INPUT, nodeId,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS
                                     | PW_STREAM_FLAG_DONT_RECONNECT),
        params, 1);
    pw_thread_loop_unlock(loop->thread);
    if (connected < 0)
        return fail("pw_stream_connect");
    return true;
}

void PipeWireStream::close()
{
    loop.reset();
}

bool PipeWireStream::isCurrent(quint64 generation) const
{
    return loop && loop->generation == generation;
}

QSize PipeWireStream::pictureSize() const
{
    if (!loop)
        return {};
    std::lock_guard<std::mutex> lock(loop->mutex);
    return loop->havePicture ? loop->front.size : QSize();
}

bool PipeWireStream::copyLatest(AVFrame *target, Pointer *pointer, qint64 *receivedNs)
{
    if (!loop)
        return false;
    std::lock_guard<std::mutex> lock(loop->mutex);
    if (!loop->havePicture)
        return false;
    Picture &picture = loop->front;
    const int width = qMin(target->width, picture.size.width());
    const int height = qMin(target->height, picture.size.height());
    libyuv::I420Copy(picture.y(), picture.size.width(), picture.u(), picture.chromaStride(),
                     picture.v(), picture.chromaStride(), target->data[0], target->linesize[0],
                     target->data[1], target->linesize[1], target->data[2], target->linesize[2],
                     width, height);
    fillBlack(target, QRect(width, 0, target->width - width, target->height));
    fillBlack(target, QRect(0, height, width, target->height - height));
    *pointer = loop->pointer;
    *receivedNs = loop->frontReceivedNs;
    return true;
}

} // namespace capture
