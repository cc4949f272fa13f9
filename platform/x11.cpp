#include "platform/x11.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHash>

#include <cstring>

namespace platform::x11 {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow()
{
    xcb_connection_t *c = connection();
    if (c == nullptr)
        return XCB_WINDOW_NONE;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    if (screens.rem <= 0)
        return XCB_WINDOW_NONE;
    return screens.data->root;
}

xcb_atom_t atom(const char *name)
{
    // GUI thread only, like every caller of this layer.
    static QHash<QByteArray, xcb_atom_t> cache;
    const QByteArray key(name);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return it.value();
    xcb_connection_t *c = connection();
    if (c == nullptr)
        return XCB_ATOM_NONE;
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    cache.insert(key, reply->atom);
    return reply->atom;
}

xcb_window_t topLevelAncestor(xcb_connection_t *c, xcb_window_t root, xcb_window_t window)
{
    // Deeper than any window manager nests its frames.
    constexpr int MaxFrameDepth = 8;
    for (int depth = 0; depth < MaxFrameDepth; ++depth) {
        xcb_generic_error_t *error = nullptr;
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), &error));
        std::free(error);
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

} // namespace platform::x11
