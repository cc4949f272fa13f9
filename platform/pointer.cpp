#include "platform/pointer.h"

#include "platform/x11.h"

#include <xcb/xinput.h>

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace platform {

namespace {

using x11::Reply;

// The hook reads raw button events on a connection of its own: selecting them
// on the toolkit's connection would mean announcing an XInput version there
// and sharing the root's event selection with the toolkit.
struct Hook
{
    xcb_connection_t *connection = nullptr;
    uint8_t inputOpcode = 0;
    MouseHookProc proc = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Hook()
    {
        notifier.reset();
        if (connection != nullptr)
            xcb_disconnect(connection);
    }
};

std::unique_ptr<Hook> hook;

MouseButtonAction actionFor(uint32_t button, bool pressed)
{
    switch (button) {
    case 1: return pressed ? MouseButtonAction::LeftDown : MouseButtonAction::LeftUp;
    case 2: return pressed ? MouseButtonAction::MiddleDown : MouseButtonAction::MiddleUp;
    case 3: return pressed ? MouseButtonAction::RightDown : MouseButtonAction::RightUp;
    default: return MouseButtonAction::Other;
    }
}

void dispatchEvents()
{
    Hook *const current = hook.get();
    if (current == nullptr)
        return;
    while (xcb_generic_event_t *raw = xcb_poll_for_event(current->connection)) {
        const Reply<xcb_generic_event_t> event(raw);
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
            continue;
        const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event.get());
        if (generic->extension != current->inputOpcode)
            continue;
        const bool pressed = generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        if (!pressed && generic->event_type != XCB_INPUT_RAW_BUTTON_RELEASE)
            continue;
        const auto *button = reinterpret_cast<const xcb_input_raw_button_press_event_t *>(event.get());
        current->proc(actionFor(button->detail, pressed));
        // The procedure may have removed or replaced the hook.
        if (hook.get() != current)
            return;
    }
    // A broken connection would wake the notifier forever.
    if (xcb_connection_has_error(current->connection) != 0)
        current->notifier->setEnabled(false);
}

} // namespace

std::optional<QPoint> pointerPosition()
{
    xcb_connection_t *c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    if (c == nullptr || root == XCB_WINDOW_NONE)
        return std::nullopt;
    xcb_generic_error_t *rawError = nullptr;
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), &rawError));
    std::free(rawError);
    // On another screen the root coordinates are not this screen's.
    if (!reply || !reply->same_screen)
        return std::nullopt;
    return QPoint(reply->root_x, reply->root_y);
}

bool installMouseHook(MouseHookProc proc)
{
    if (proc == nullptr)
        return false;
    if (hook) {
        hook->proc = proc;
        return true;
    }

    auto fresh = std::make_unique<Hook>();
    fresh->proc = proc;
    int screenNumber = 0;
    fresh->connection = xcb_connect(nullptr, &screenNumber);
    xcb_connection_t *c = fresh->connection;
    if (xcb_connection_has_error(c) != 0)
        return false;

    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_input_id);
    if (ext == nullptr || !ext->present)
        return false;
    fresh->inputOpcode = ext->major_opcode;
    // 2.2: raw events also arrive while another client grabs the pointer.
    const Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    if (!version || version->major_version < 2
        || (version->major_version == 2 && version->minor_version < 2))
        return false;

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return false;

    struct
    {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{};
    mask.head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.head.mask_len = 1;
    mask.bits = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    const Reply<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_input_xi_select_events_checked(c, screens.data->root, 1, &mask.head)));
    if (error)
        return false;

    fresh->notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c),
                                                        QSocketNotifier::Read);
    QObject::connect(fresh->notifier.get(), &QSocketNotifier::activated, &dispatchEvents);
    hook = std::move(fresh);
    // Events that came in with the replies above are already queued in xcb
    // and would not wake the notifier.
    dispatchEvents();
    return true;
}

void removeMouseHook()
{
    hook.reset();
}

bool isMouseHookInstalled()
{
    return hook != nullptr;
}

} // namespace platform
