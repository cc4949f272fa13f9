#include "platform/screengrab.h"

#include "platform/x11.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>

namespace platform {

using x11::Reply;

struct ScreenGrabber::Segment
{
    xcb_connection_t *connection = nullptr;
    xcb_shm_seg_t id = 0;
    void *memory = nullptr;
    size_t size = 0;

    ~Segment()
    {
        // The server may have gone with the toolkit's connection; then it has
        // detached already and only our mapping is left.
        if (id != 0 && connection != nullptr && connection == x11::connection()) {
            xcb_shm_detach(connection, id);
            xcb_flush(connection);
        }
        if (memory != nullptr)
            shmdt(memory);
    }
};

namespace {

// Copies rows of 32-bit pixels and sets the alpha byte, which the server
// leaves undefined for a depth-24 screen but Format_RGB32 requires as 0xff.
void copyOpaqueRows(const uchar *src, qsizetype srcStride, uchar *dst, qsizetype dstStride,
                    int width, int height)
{
    for (int y = 0; y < height; ++y) {
        const auto *s = reinterpret_cast<const uint32_t *>(src + y * srcStride);
        auto *d = reinterpret_cast<uint32_t *>(dst + y * dstStride);
        for (int x = 0; x < width; ++x)
            d[x] = s[x] | 0xff000000u;
    }
}

// True when the root window stores pixels as 32-bit little-endian
// B, G, R, X, which is what the copy above expects.
bool rootIsBgrx(xcb_connection_t *c, QRect *screen)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem == 0)
        return false;
    const xcb_screen_t *root = screens.data;
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    if (root->root_depth != 24 && root->root_depth != 32)
        return false;

    bool formatOk = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == root->root_depth)
            formatOk = f.data->bits_per_pixel == 32;
    }
    if (!formatOk)
        return false;

    for (auto d = xcb_screen_allowed_depths_iterator(root); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != root->root_visual)
                continue;
            if (v.data->red_mask != 0xff0000 || v.data->green_mask != 0xff00
                || v.data->blue_mask != 0xff)
                return false;
            *screen = QRect(0, 0, root->width_in_pixels, root->height_in_pixels);
            return true;
        }
    }
    return false;
}

bool serverOffersShm(xcb_connection_t *c)
{
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_shm_id);
    if (ext == nullptr || !ext->present)
        return false;
    const Reply<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    return version != nullptr;
}

} // namespace

ScreenGrabber::ScreenGrabber() = default;

void ScreenGrabber::refreshScreenSize()
{
    // The root grows and shrinks with the monitor layout.
    xcb_connection_t *c = x11::connection();
    if (c == nullptr)
        return;
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, x11::rootWindow()), nullptr));
    if (geometry)
        screenRect = QRect(0, 0, geometry->width, geometry->height);
}

ScreenGrabber::~ScreenGrabber() = default;

void ScreenGrabber::releaseSegment()
{
    segment.reset();
}

bool ScreenGrabber::decideMethod()
{
    if (currentMethod != Method::Undecided)
        return currentMethod != Method::Unavailable;
    xcb_connection_t *c = x11::connection();
    if (c == nullptr || !rootIsBgrx(c, &screenRect)) {
        currentMethod = Method::Unavailable;
        return false;
    }
    currentMethod = serverOffersShm(c) ? Method::SharedMemory : Method::GetImage;
    return true;
}

bool ScreenGrabber::ensureSegment(size_t bytes)
{
    xcb_connection_t *c = x11::connection();
    if (segment && segment->size >= bytes && segment->connection == c)
        return true;
    segment.reset();

    auto fresh = std::make_unique<Segment>();
    fresh->connection = c;
    const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmId < 0)
        return false;
    void *memory = shmat(shmId, nullptr, 0);
    if (memory == reinterpret_cast<void *>(-1)) {
        shmctl(shmId, IPC_RMID, nullptr);
        return false;
    }
    fresh->memory = memory;
    fresh->size = bytes;

    const xcb_shm_seg_t id = xcb_generate_id(c);
    const Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_shm_attach_checked(c, id, static_cast<uint32_t>(shmId), 0)));
    // Marked for removal now that both sides are attached (or the server
    // refused), so the segment cannot outlive the process whatever happens.
    shmctl(shmId, IPC_RMID, nullptr);
    if (error)
        return false;
    fresh->id = id;
    segment = std::move(fresh);
    return true;
}

bool ScreenGrabber::grabShared(const QRect &area, uchar *dst, qsizetype dstStride)
{
    const size_t bytes = size_t(area.width()) * size_t(area.height()) * 4;
    if (!ensureSegment(bytes))
        return false;
    xcb_connection_t *c = segment->connection;
    xcb_generic_error_t *rawError = nullptr;
    const Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, x11::rootWindow(), int16_t(area.x()), int16_t(area.y()),
                          uint16_t(area.width()), uint16_t(area.height()), ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id, 0),
        &rawError));
    const Reply<xcb_generic_error_t> error(rawError);
    if (!reply || error || reply->size < bytes)
        return false;
    copyOpaqueRows(static_cast<const uchar *>(segment->memory), area.width() * 4, dst, dstStride,
                   area.width(), area.height());
    return true;
}

bool ScreenGrabber::grabPlain(const QRect &area, uchar *dst, qsizetype dstStride)
{
    xcb_connection_t *c = x11::connection();
    if (c == nullptr)
        return false;
    xcb_generic_error_t *rawError = nullptr;
    const Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x11::rootWindow(), int16_t(area.x()),
                      int16_t(area.y()), uint16_t(area.width()), uint16_t(area.height()), ~0u),
        &rawError));
    const Reply<xcb_generic_error_t> error(rawError);
    if (!reply || error)
        return false;
    const int length = xcb_get_image_data_length(reply.get());
    const qsizetype srcStride = qsizetype(length) / area.height();
    if (srcStride < qsizetype(area.width()) * 4)
        return false;
    copyOpaqueRows(xcb_get_image_data(reply.get()), srcStride, dst, dstStride, area.width(),
                   area.height());
    return true;
}

QImage ScreenGrabber::grab(const QRect &area)
{
    if (area.isEmpty() || !decideMethod())
        return {};

    // The last image is reused once every copy handed out is gone: a fresh
    // 8 MB image per frame makes the allocator keep growing the heap.
    if (buffer.size() != area.size() || !buffer.isDetached())
        buffer = QImage(area.size(), QImage::Format_RGB32);
    QImage &image = buffer;
    if (image.isNull())
        return {};
    refreshScreenSize();
    // Reading outside the root is an X error, so only the visible part is
    // read and the rest stays black.
    const QRect visible = area & screenRect;
    if (visible != area)
        image.fill(Qt::black);
    if (visible.isEmpty())
        return image;

    uchar *dst = image.bits() + (visible.y() - area.y()) * image.bytesPerLine()
                 + (visible.x() - area.x()) * 4;
    if (currentMethod == Method::SharedMemory) {
        if (grabShared(visible, dst, image.bytesPerLine()))
            return image;
        // The server took the extension but not our segment (a remote
        // display, say): use the plain request from now on.
        segment.reset();
        currentMethod = Method::GetImage;
    }
    if (grabPlain(visible, dst, image.bytesPerLine()))
        return image;
    return {};
}

} // namespace platform
