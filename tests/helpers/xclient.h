#pragma once

// A second X client for tests: top-level windows owned by a connection of
// their own, so the code under test sees them exactly as another program's
// windows, managed by the real window manager of the test server.

#include <xcb/xcb.h>

#include <QByteArray>
#include <QList>
#include <QRect>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace vexlo::test {

class XClient
{
public:
    XClient()
        : c(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(c) == 0)
            screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    }
    ~XClient() { xcb_disconnect(c); }
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    bool isConnected() const { return screen != nullptr; }
    xcb_window_t root() const { return screen->root; }

    // An unmapped window that asks to be placed exactly at geometry, white
    // or filled by the server with `background` (0xRRGGBB on a 24-bit screen).
    xcb_window_t createWindow(const QRect &geometry, int64_t background = -1)
    {
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t values[] = {background < 0 ? screen->white_pixel : uint32_t(background)};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, qint16(geometry.x()),
                          qint16(geometry.y()), quint16(geometry.width()),
                          quint16(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL, values);
        // WM_NORMAL_HINTS: USPosition | USSize | PPosition | PSize.
        uint32_t hints[18] = {};
        hints[0] = 1 | 2 | 4 | 8;
        hints[1] = uint32_t(geometry.x());
        hints[2] = uint32_t(geometry.y());
        hints[3] = uint32_t(geometry.width());
        hints[4] = uint32_t(geometry.height());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        sync();
        return window;
    }

    // A plain child window, for nesting tests.
    xcb_window_t createChild(xcb_window_t parent, const QRect &geometry)
    {
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, parent, qint16(geometry.x()),
                          qint16(geometry.y()), quint16(geometry.width()),
                          quint16(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        sync();
        return window;
    }

    void setProperty(xcb_window_t window, const char *name, const char *type, int format,
                     const void *data, uint32_t count)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(name), atom(type),
                            uint8_t(format), count, data);
        sync();
    }
    void setText(xcb_window_t window, const char *name, const char *type, const QByteArray &text)
    {
        setProperty(window, name, type, 8, text.constData(), uint32_t(text.size()));
    }
    void setIcon(xcb_window_t window, const QList<quint32> &data)
    {
        setProperty(window, "_NET_WM_ICON", "CARDINAL", 32, data.constData(), uint32_t(data.size()));
    }
    // Motif hints without decorations: the window manager draws no frame.
    void setUndecorated(xcb_window_t window)
    {
        const uint32_t hints[5] = {2, 0, 0, 0, 0};
        setProperty(window, "_MOTIF_WM_HINTS", "_MOTIF_WM_HINTS", 32, hints, 5);
    }

    void map(xcb_window_t window) { xcb_map_window(c, window); sync(); }
    void unmap(xcb_window_t window) { xcb_unmap_window(c, window); sync(); }
    void destroy(xcb_window_t window) { xcb_destroy_window(c, window); sync(); }
    void raise(xcb_window_t window)
    {
        const uint32_t mode = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
        sync();
    }
    // A configure request; the window manager moves or resizes the frame.
    void moveResize(xcb_window_t window, const QRect &geometry)
    {
        const uint32_t values[] = {uint32_t(geometry.x()), uint32_t(geometry.y()),
                                   uint32_t(geometry.width()), uint32_t(geometry.height())};
        xcb_configure_window(c, window,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                 | XCB_CONFIG_WINDOW_HEIGHT,
                             values);
        sync();
    }
    // Asks the window manager to iconify the window (ICCCM WM_CHANGE_STATE).
    void iconify(xcb_window_t window)
    {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_CHANGE_STATE");
        event.data.data32[0] = 3;
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
        sync();
    }

    // An active pointer grab of this client on the root, as a program that
    // drags something holds it; true when the server granted it.
    bool grabPointer()
    {
        std::unique_ptr<xcb_grab_pointer_reply_t, decltype(&std::free)> reply(
            xcb_grab_pointer_reply(c,
                                   xcb_grab_pointer(c, 0, screen->root,
                                                    XCB_EVENT_MASK_BUTTON_PRESS
                                                        | XCB_EVENT_MASK_BUTTON_RELEASE,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                    XCB_WINDOW_NONE, XCB_CURSOR_NONE,
                                                    XCB_CURRENT_TIME),
                                   nullptr),
            &std::free);
        return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    }
    void ungrabPointer() { xcb_ungrab_pointer(c, XCB_CURRENT_TIME); sync(); }

    // WM_STATE as set by the window manager: 1 normal, 3 iconic, 0 absent.
    uint32_t wmState(xcb_window_t window)
    {
        const xcb_atom_t state = atom("WM_STATE");
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, state, state, 0, 2), nullptr),
            &std::free);
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
            return 0;
        return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    }

    // The outer rectangle of the root's child that holds the window (its
    // frame under a reparenting window manager), measured from the tree.
    QRect frameRect(xcb_window_t window)
    {
        for (int depth = 0; depth < 8; ++depth) {
            std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
                xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
            if (!tree)
                return {};
            if (tree->parent == screen->root)
                break;
            window = tree->parent;
        }
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
        if (!geometry)
            return {};
        const int border = geometry->border_width;
        return QRect(geometry->x, geometry->y, geometry->width + 2 * border,
                     geometry->height + 2 * border);
    }

    // True while a compositing manager runs on the screen, so that
    // translucent windows are blended as on a desktop.
    bool hasCompositor()
    {
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom("_NET_WM_CM_S0")),
                                          nullptr),
            &std::free);
        return reply && reply->owner != XCB_WINDOW_NONE;
    }

    // A passive grab of a key on the root, as another program's global
    // shortcut holds it (no lock variants); true when the server granted it.
    bool grabKey(xcb_keysym_t keysym, uint16_t modifiers)
    {
        const xcb_keycode_t keycode = keycodeOf(keysym);
        if (keycode == 0)
            return false;
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(c, xcb_grab_key_checked(c, 1, screen->root, modifiers, keycode,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            &std::free);
        return !error;
    }

    // Selects key presses on a window of this client.
    void watchKeys(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
        xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
        sync();
    }
    // Presses of `key` (of any key when 0) this client has received since
    // the last call.
    int keyPressesReceived(xcb_keycode_t key = 0)
    {
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        int presses = 0;
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_KEY_PRESS)
                presses += key == 0 || reinterpret_cast<xcb_key_press_event_t *>(event)->detail == key;
            std::free(event);
        }
        return presses;
    }

    xcb_keycode_t keycodeOf(xcb_keysym_t keysym)
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
            xcb_get_keyboard_mapping_reply(
                c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr),
            &std::free);
        if (!map || map->keysyms_per_keycode == 0)
            return 0;
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
        const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
        for (int i = 0; i < length; ++i)
            if (syms[i] == keysym)
                return xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
        return 0;
    }

    // An id that names nothing on the server.
    uint32_t unusedId() { return xcb_generate_id(c); }

    uint32_t createPixmap()
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, 4, 4);
        sync();
        return pixmap;
    }

    // Waits until the server has handled every request, and drops the
    // events the window manager sent meanwhile.
    void sync()
    {
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(c))
            free(event);
    }

    xcb_atom_t atom(const char *name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

private:
    xcb_connection_t *c;
    xcb_screen_t *screen = nullptr;
};

} // namespace vexlo::test
