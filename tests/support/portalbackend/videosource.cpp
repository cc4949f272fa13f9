#include "videosource.h"

#include "pipewirecore.h"
#include "testcontent.h"
#include "testpattern.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>

#include <sys/mman.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace vexlo::testportal {

namespace {

constexpr int BytesPerPixel = 4;
// Room for a 384 x 384 pointer, the one size mutter offers.
constexpr int CursorRoomEdge = 384;
constexpr std::size_t CursorMetaSize =
    sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + CursorRoomEdge * CursorRoomEdge * 4;

const pw_stream_events streamEvents = [] {
    pw_stream_events events = {};
    events.version = PW_VERSION_STREAM_EVENTS;
    return events;
}();

// A desktop's stream: a fixed size, a variable frame rate up to the given one.
const spa_pod *formatParam(spa_pod_builder *builder, QSize size, int fps)
{
    const spa_rectangle rectangle = SPA_RECTANGLE(uint32_t(size.width()), uint32_t(size.height()));
    const spa_fraction variable = SPA_FRACTION(0, 1);
    const spa_fraction most = SPA_FRACTION(uint32_t(fps), 1);
    const spa_fraction least = SPA_FRACTION(1, 1);
    return static_cast<const spa_pod *>(spa_pod_builder_add_object(builder,
        SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,
        SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
        SPA_FORMAT_VIDEO_format, SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                                        SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                                        SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&rectangle),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&variable),
        SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&most, &least, &most)));
}

} // namespace

VideoSource::VideoSource(PipeWireCore &core, const VideoSourceSettings &settings, QObject *parent)
    : QObject(parent), core(core), settings(settings)
{
}

VideoSource::~VideoSource()
{
    PipeWireCore::Locker lock(core);
    // The stream first: its last state change still stops the timer.
    if (stream != nullptr)
        pw_stream_destroy(stream);
    if (timer != nullptr)
        pw_loop_destroy_source(pw_thread_loop_get_loop(core.loop()), timer);
}

bool VideoSource::start()
{
    static const pw_stream_events events = [] {
        pw_stream_events e = streamEvents;
        e.state_changed = &VideoSource::onStateChanged;
        e.param_changed = &VideoSource::onParamChanged;
        e.add_buffer = &VideoSource::onAddBuffer;
        e.remove_buffer = &VideoSource::onRemoveBuffer;
        e.process = &VideoSource::onProcess;
        return e;
    }();

    PipeWireCore::Locker lock(core);
    timer = pw_loop_add_timer(pw_thread_loop_get_loop(core.loop()), &VideoSource::onTimeout, this);
    stream = pw_stream_new(core.core(), "vexlo-test-portal",
                           pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source",
                                             PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (timer == nullptr || stream == nullptr)
        return false;
    pw_stream_add_listener(stream, &listener, &events, this);

    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod *params[] = {formatParam(&builder, settings.size, settings.frameRate)};
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_ALLOC_BUFFERS);
    return pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) == 0;
}

void VideoSource::resize(QSize size)
{
    PipeWireCore::Locker lock(core);
    settings.size = size;
    updateFormat();
}

void VideoSource::setFrameRate(int fps)
{
    PipeWireCore::Locker lock(core);
    settings.frameRate = fps;
    updateFormat();
    updateTimer(streaming);
}

void VideoSource::setPointer(QPoint position)
{
    PipeWireCore::Locker lock(core);
    settings.pointer = position;
}

void VideoSource::updateFormat()
{
    if (stream == nullptr)
        return;
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod *params[] = {formatParam(&builder, settings.size, settings.frameRate)};
    pw_stream_update_params(stream, params, 1);
}

void VideoSource::updateTimer(bool running)
{
    if (timer == nullptr)
        return;
    timespec first = {0, 0}, interval = {0, 0};
    if (running) {
        const long long periodNs = 1000000000LL / qMax(1, settings.frameRate);
        first.tv_nsec = 1;
        interval.tv_sec = periodNs / 1000000000LL;
        interval.tv_nsec = periodNs % 1000000000LL;
    }
    pw_loop_update_timer(pw_thread_loop_get_loop(core.loop()), timer, &first, &interval, false);
}

void VideoSource::onStateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
{
    auto *self = static_cast<VideoSource *>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        emit self->failed(QString::fromUtf8(error != nullptr ? error : "stream error"));
        return;
    }
    if (state == PW_STREAM_STATE_PAUSED && !self->announced) {
        self->announced = true;
        emit self->ready(pw_stream_get_node_id(self->stream));
    }
    self->streaming = state == PW_STREAM_STATE_STREAMING;
    self->updateTimer(self->streaming);
}

void VideoSource::onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *self = static_cast<VideoSource *>(data);
    if (param == nullptr || id != SPA_PARAM_Format)
        return;
    spa_video_info_raw format = {};
    if (spa_format_video_raw_parse(param, &format) < 0)
        return;
    self->negotiatedSize = QSize(int(format.size.width), int(format.size.height));
    self->redFirst = format.format == SPA_VIDEO_FORMAT_RGBx || format.format == SPA_VIDEO_FORMAT_RGBA;
    self->bitmapSent = false;

    const int stride = self->negotiatedSize.width() * BytesPerPixel;
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod *params[4];
    uint32_t count = 0;
    params[count++] = static_cast<const spa_pod *>(spa_pod_builder_add_object(&builder,
        SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
        SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(4, 2, 16),
        SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(stride * self->negotiatedSize.height()),
        SPA_PARAM_BUFFERS_stride, SPA_POD_Int(stride),
        SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd)));
    params[count++] = static_cast<const spa_pod *>(spa_pod_builder_add_object(&builder,
        SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
        SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
        SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    if (self->settings.movingCrop) {
        params[count++] = static_cast<const spa_pod *>(spa_pod_builder_add_object(&builder,
            SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
            SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoCrop),
            SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    }
    if (self->settings.cursorMode == CursorMetadata) {
        params[count++] = static_cast<const spa_pod *>(spa_pod_builder_add_object(&builder,
            SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
            SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
            SPA_PARAM_META_size, SPA_POD_Int(int(CursorMetaSize))));
    }
    pw_stream_update_params(self->stream, params, count);
}

void VideoSource::onAddBuffer(void *data, pw_buffer *buffer)
{
    const QSize size = static_cast<VideoSource *>(data)->negotiatedSize;
    spa_data &plane = buffer->buffer->datas[0];
    plane.type = SPA_DATA_MemFd;
    plane.flags = SPA_DATA_FLAG_READWRITE;
    plane.mapoffset = 0;
    plane.maxsize = uint32_t(size.width() * BytesPerPixel * size.height());
    plane.data = nullptr;
    plane.fd = memfd_create("vexlo-test-portal", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (plane.fd < 0)
        return;
    if (ftruncate(plane.fd, plane.maxsize) < 0)
        return;
    fcntl(plane.fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL);
    void *mapped = mmap(nullptr, plane.maxsize, PROT_READ | PROT_WRITE, MAP_SHARED, plane.fd, 0);
    plane.data = mapped == MAP_FAILED ? nullptr : mapped;
}

void VideoSource::onRemoveBuffer(void *, pw_buffer *buffer)
{
    spa_data &plane = buffer->buffer->datas[0];
    if (plane.data != nullptr)
        munmap(plane.data, plane.maxsize);
    if (plane.fd >= 0)
        close(plane.fd);
    plane.data = nullptr;
    plane.fd = -1;
}

void VideoSource::onTimeout(void *data, uint64_t)
{
    auto *self = static_cast<VideoSource *>(data);
    if (self->streaming)
        pw_stream_trigger_process(self->stream);
}

void VideoSource::onProcess(void *data)
{
    auto *self = static_cast<VideoSource *>(data);
    pw_buffer *taken = pw_stream_dequeue_buffer(self->stream);
    if (taken == nullptr)
        return;
    spa_buffer *buffer = taken->buffer;
    spa_data &plane = buffer->datas[0];
    const QSize size = self->negotiatedSize;
    const int stride = size.width() * BytesPerPixel;
    const uint32_t bytes = uint32_t(stride) * uint32_t(size.height());
    if (plane.data == nullptr || plane.maxsize < bytes || size.isEmpty()) {
        // A buffer of the size before a renegotiation: hand it back empty.
        plane.chunk->size = 0;
        pw_stream_queue_buffer(self->stream, taken);
        return;
    }

    const FrameLayout frame{static_cast<std::uint8_t *>(plane.data), size, stride, self->redFirst};
    const bool corrupted = self->settings.movingCrop && ++self->bufferNumber % CorruptedEvery == 0;
    if (corrupted) {
        fillFrame(frame, 0xffffff);
    } else if (self->settings.movingCrop) {
        const CropRect crop = cropOf(self->frameNumber);
        const QRect window(crop.x, crop.y, crop.width, crop.height);
        fillFrame(frame, OutsideCropColour);
        drawFrame(subFrame(frame, window), self->frameNumber, self->settings.frameRate);
        if (auto *region = static_cast<spa_meta_region *>(
                spa_buffer_find_meta_data(buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)))) {
            region->region.position.x = crop.x;
            region->region.position.y = crop.y;
            region->region.size.width = uint32_t(crop.width);
            region->region.size.height = uint32_t(crop.height);
        }
    } else {
        drawFrame(frame, self->frameNumber, self->settings.frameRate);
    }
    if (self->settings.cursorMode == CursorEmbedded)
        drawPointer(frame, self->settings.pointer);
    if (self->settings.cursorMode == CursorMetadata)
        self->fillCursor(buffer);

    if (auto *header = static_cast<spa_meta_header *>(
            spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)))) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        header->pts = SPA_TIMESPEC_TO_NSEC(&now);
        header->flags = corrupted ? SPA_META_HEADER_FLAG_CORRUPTED : 0;
        header->seq = uint64_t(self->frameNumber);
        header->dts_offset = 0;
    }
    plane.chunk->offset = 0;
    plane.chunk->size = bytes;
    plane.chunk->stride = stride;
    plane.chunk->flags = 0;
    pw_stream_queue_buffer(self->stream, taken);
    if (!corrupted)
        ++self->frameNumber;
}

// The bitmap travels once a second; the buffers between carry only the
// position, as a desktop sends the bitmap only when it changes. (A buffer
// filled just before the consumer renegotiates never reaches it.)
void VideoSource::fillCursor(spa_buffer *buffer)
{
    auto *cursor = static_cast<spa_meta_cursor *>(
        spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
    if (cursor == nullptr)
        return;
    cursor->id = 1;
    cursor->flags = 0;
    cursor->position.x = settings.pointer.x();
    cursor->position.y = settings.pointer.y();
    cursor->hotspot.x = 0;
    cursor->hotspot.y = 0;
    cursor->bitmap_offset = 0;
    if (bitmapSent && buffersSinceBitmap++ < settings.frameRate)
        return;
    buffersSinceBitmap = 0;
    cursor->bitmap_offset = sizeof(spa_meta_cursor);
    auto *bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, spa_meta_bitmap);
    bitmap->format = SPA_VIDEO_FORMAT_RGBA;
    bitmap->size.width = PointerSize;
    bitmap->size.height = PointerSize;
    bitmap->stride = PointerSize * 4;
    bitmap->offset = sizeof(spa_meta_bitmap);
    drawPointerBitmap(SPA_PTROFF(bitmap, bitmap->offset, std::uint8_t), bitmap->stride);
    bitmapSent = true;
}

} // namespace vexlo::testportal
