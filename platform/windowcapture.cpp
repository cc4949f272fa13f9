#include "platform/windowcapture.h"

#include "platform/x11.h"

#include <xcb/composite.h>

#include <QHash>

namespace platform {

namespace {

using x11::Reply;

constexpr int BadWindowCode = 3;

xcb_window_t toWindow(WId id)
{
    // X ids have 29 bits; a wider handle must not be truncated into another window.
    return id == 0 || id > 0x1fffffff ? xcb_window_t(XCB_WINDOW_NONE) : static_cast<xcb_window_t>(id);
}

// NameWindowPixmap needs Composite 0.2. Asked once per connection.
bool compositeAvailable(xcb_connection_t *c)
{
    static QHash<xcb_connection_t *, bool> known;
    if (const auto it = known.constFind(c); it != known.constEnd())
        return it.value();
    bool available = false;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_composite_id);
    if (ext != nullptr && ext->present) {
        const Reply<xcb_composite_query_version_reply_t> version(xcb_composite_query_version_reply(
            c, xcb_composite_query_version(c, 0, 4), nullptr));
        available = version && (version->major_version > 0 || version->minor_version >= 2);
    }
    known.insert(c, available);
    return available;
}

// True when drawables of this depth come as 32-bit little-endian B, G, R, X
// (or A) pixels, the only layout read here.
bool isBgrx(xcb_connection_t *c, int depth)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32))
        return false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == depth)
            return f.data->bits_per_pixel == 32;
    }
    return false;
}

// Error code of a checked request, 0 when it succeeded.
int requestError(xcb_connection_t *c, xcb_void_cookie_t cookie)
{
    const Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    return error ? error->error_code : 0;
}

// Reads the part of `area` (screen coordinates) that lies within `bounds` from
// a drawable whose pixel (0, 0) is at `origin` on the screen, into a black
// image of the area's size.
QImage readArea(xcb_connection_t *c, xcb_drawable_t drawable, int depth, QPoint origin,
                const QRect &bounds, const QRect &area, int *errorCode)
{
    if (!isBgrx(c, depth))
        return {};
    QImage image(area.size(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const QRect part = area & bounds;
    if (part != area)
        image.fill(Qt::black);
    if (part.isEmpty())
        return image;

    xcb_generic_error_t *rawError = nullptr;
    const Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(part.x() - origin.x()),
                      int16_t(part.y() - origin.y()), uint16_t(part.width()),
                      uint16_t(part.height()), ~0u),
        &rawError));
    const Reply<xcb_generic_error_t> error(rawError);
    if (error || !reply) {
        if (errorCode != nullptr)
            *errorCode = error ? error->error_code : 0;
        return {};
    }
    const qsizetype stride = qsizetype(xcb_get_image_data_length(reply.get())) / part.height();
    if (stride < qsizetype(part.width()) * 4)
        return {};
    const uchar *src = xcb_get_image_data(reply.get());
    for (int y = 0; y < part.height(); ++y) {
        const auto *s = reinterpret_cast<const uint32_t *>(src + y * stride);
        auto *d = reinterpret_cast<uint32_t *>(image.scanLine(part.y() - area.y() + y))
                  + (part.x() - area.x());
        // The fourth byte is undefined at depth 24 and premultiplied alpha at
        // depth 32; Format_RGB32 wants it opaque either way.
        for (int x = 0; x < part.width(); ++x)
            d[x] = s[x] | 0xff000000u;
    }
    return image;
}

} // namespace

WindowCapture::~WindowCapture()
{
    release();
}

void WindowCapture::release()
{
    xcb_connection_t *c = x11::connection();
    // With the toolkit's connection gone the server has dropped it already.
    if (redirectedFrame != 0 && c != nullptr && c == redirectedOn) {
        requestError(c, xcb_composite_unredirect_window_checked(c, redirectedFrame,
                                                                XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    }
    redirectedFrame = 0;
    redirectedOn = nullptr;
}

QImage WindowCapture::render(WId id, const QRect &area)
{
    xcb_connection_t *c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    const xcb_window_t window = toWindow(id);
    if (c == nullptr || root == XCB_WINDOW_NONE || window == XCB_WINDOW_NONE || area.isEmpty()
        || !compositeAvailable(c))
        return {};
    // The frame carries the decorations that the window's rectangle includes.
    const xcb_window_t frame = x11::topLevelAncestor(c, root, window);
    if (frame == XCB_WINDOW_NONE)
        return {};

    if (frame != redirectedFrame || c != redirectedOn) {
        release();
        if (requestError(c, xcb_composite_redirect_window_checked(
                                c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC))
            != 0)
            return {};
        redirectedFrame = frame;
        redirectedOn = c;
    }

    // The server names a pixmap for an unmapped window too, but with nothing
    // in it: an iconified window has no image of its own.
    xcb_generic_error_t *attributesError = nullptr;
    const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, frame), &attributesError));
    std::free(attributesError);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return {};

    // Named afresh on every call: a pixmap named earlier keeps the contents
    // from before a resize or an unmap.
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    if (requestError(c, xcb_composite_name_window_pixmap_checked(c, frame, pixmap)) != 0)
        return {};
    const auto frameCookie = xcb_get_geometry(c, frame);
    const auto pixmapCookie = xcb_get_geometry(c, pixmap);
    xcb_generic_error_t *frameError = nullptr;
    xcb_generic_error_t *pixmapError = nullptr;
    const Reply<xcb_get_geometry_reply_t> frameGeometry(
        xcb_get_geometry_reply(c, frameCookie, &frameError));
    const Reply<xcb_get_geometry_reply_t> pixmapGeometry(
        xcb_get_geometry_reply(c, pixmapCookie, &pixmapError));
    std::free(frameError);
    std::free(pixmapError);

    QImage image;
    if (frameGeometry && pixmapGeometry) {
        // The pixmap includes the border: its (0, 0) is the frame's outer corner.
        const QPoint origin(frameGeometry->x, frameGeometry->y);
        image = readArea(c, pixmap, pixmapGeometry->depth, origin,
                         QRect(origin, QSize(pixmapGeometry->width, pixmapGeometry->height)),
                         area, nullptr);
    }
    requestError(c, xcb_free_pixmap_checked(c, pixmap));
    return image;
}

QImage WindowCapture::copy(WId id, const QRect &area, int *errorCode)
{
    *errorCode = 0;
    xcb_connection_t *c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    const xcb_window_t window = toWindow(id);
    if (c == nullptr || root == XCB_WINDOW_NONE || area.isEmpty())
        return {};
    const xcb_window_t frame =
        window == XCB_WINDOW_NONE ? window : x11::topLevelAncestor(c, root, window);
    if (frame == XCB_WINDOW_NONE) {
        *errorCode = BadWindowCode;
        return {};
    }

    const auto frameCookie = xcb_get_geometry(c, frame);
    const auto rootCookie = xcb_get_geometry(c, root);
    xcb_generic_error_t *rawError = nullptr;
    const Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, frameCookie, &rawError));
    const Reply<xcb_generic_error_t> error(rawError);
    const Reply<xcb_get_geometry_reply_t> screen(xcb_get_geometry_reply(c, rootCookie, nullptr));
    if (!geometry || !screen) {
        *errorCode = error ? error->error_code : 0;
        return {};
    }
    // A window's (0, 0) lies inside its border; reading outside the screen
    // is an error, so only the part on it is read.
    const int border = geometry->border_width;
    const QRect outer(geometry->x, geometry->y, geometry->width + 2 * border,
                      geometry->height + 2 * border);
    const QRect onScreen = outer & QRect(0, 0, screen->width, screen->height);
    return readArea(c, frame, geometry->depth, outer.topLeft() + QPoint(border, border), onScreen,
                    area, errorCode);
}

} // namespace platform
