#include "platform/globalkeys.h"

#include "platform/x11.h"

#include <QSocketNotifier>

#include <array>

namespace platform {

namespace {

using x11::Reply;

constexpr uint8_t BadAccess = 10;
constexpr xcb_keysym_t NumLockKeysym = 0xff7f;

// The keysyms a toolkit key stands for; letters in both cases, since the
// keyboard map lists the one its first level carries.
QList<xcb_keysym_t> keysymsFor(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return {xcb_keysym_t(key - Qt::Key_A + 'a'), xcb_keysym_t(key)};
    // Printable ASCII keys share their code with their keysym.
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return {xcb_keysym_t(key)};
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return {xcb_keysym_t(0xffbe + (key - Qt::Key_F1))};
    struct Special
    {
        int key;
        xcb_keysym_t keysym;
    };
    static constexpr std::array<Special, 19> specials{{
        {Qt::Key_Escape, 0xff1b},   {Qt::Key_Tab, 0xff09},      {Qt::Key_Backspace, 0xff08},
        {Qt::Key_Return, 0xff0d},   {Qt::Key_Enter, 0xff8d},    {Qt::Key_Insert, 0xff63},
        {Qt::Key_Delete, 0xffff},   {Qt::Key_Pause, 0xff13},    {Qt::Key_Print, 0xff61},
        {Qt::Key_Home, 0xff50},     {Qt::Key_End, 0xff57},      {Qt::Key_Left, 0xff51},
        {Qt::Key_Up, 0xff52},       {Qt::Key_Right, 0xff53},    {Qt::Key_Down, 0xff54},
        {Qt::Key_PageUp, 0xff55},   {Qt::Key_PageDown, 0xff56}, {Qt::Key_ScrollLock, 0xff14},
        {Qt::Key_Menu, 0xff67},
    }};
    for (const Special &special : specials)
        if (special.key == key)
            return {special.keysym};
    return {};
}

uint16_t modifierMask(Qt::KeyboardModifiers modifiers)
{
    uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

} // namespace

struct GlobalKeys::Connection
{
    xcb_connection_t *c = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    uint16_t numLock = XCB_MOD_MASK_2;
    // The last release seen, to tell the keyboard's auto-repeat (a release
    // and a press at the same time) from a new press.
    xcb_keycode_t releasedKey = 0;
    xcb_timestamp_t releasedAt = 0;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Connection()
    {
        notifier.reset();
        if (c != nullptr)
            xcb_disconnect(c);
    }

    xcb_keycode_t keycodeFor(const QList<xcb_keysym_t> &keysyms) const
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        const uint8_t first = setup->min_keycode;
        const uint8_t count = uint8_t(setup->max_keycode - first + 1);
        const Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, first, count), nullptr));
        if (!map || map->keysyms_per_keycode == 0)
            return 0;
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
        const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
        for (int i = 0; i < length; ++i)
            if (keysyms.contains(syms[i]))
                return xcb_keycode_t(first + i / map->keysyms_per_keycode);
        return 0;
    }

    // NumLock sits on whichever modifier the keyboard map puts it; Mod2 on
    // almost every keyboard.
    void readNumLockMask()
    {
        const xcb_keycode_t numLockKey = keycodeFor({NumLockKeysym});
        const Reply<xcb_get_modifier_mapping_reply_t> map(
            xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
        if (numLockKey == 0 || !map)
            return;
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map.get());
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < perModifier; ++i)
                if (codes[modifier * perModifier + i] == numLockKey)
                    numLock = uint16_t(1u << modifier);
    }
};

GlobalKeys::GlobalKeys(QObject *parent)
    : QObject(parent)
{
    // Only where the toolkit itself talks to an X server.
    if (x11::connection() == nullptr)
        return;
    auto fresh = std::make_unique<Connection>();
    int screenNumber = 0;
    fresh->c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(fresh->c) != 0)
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(fresh->c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return;
    fresh->root = screens.data->root;
    fresh->readNumLockMask();
    fresh->notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(fresh->c),
                                                        QSocketNotifier::Read);
    connect(fresh->notifier.get(), &QSocketNotifier::activated, this, &GlobalKeys::dispatchEvents);
    x = std::move(fresh);
}

GlobalKeys::~GlobalKeys()
{
    releaseAll();
}

bool GlobalKeys::isAvailable() const
{
    return x != nullptr;
}

QList<quint16> GlobalKeys::lockVariants(quint16 modifiers) const
{
    QList<quint16> variants;
    for (const uint16_t locks : {uint16_t(0), x->numLock, uint16_t(XCB_MOD_MASK_LOCK),
                                 uint16_t(x->numLock | XCB_MOD_MASK_LOCK)})
        if (!variants.contains(modifiers | locks))
            variants << quint16(modifiers | locks);
    return variants;
}

GrabResult GlobalKeys::grab(int id, const QKeySequence &keys)
{
    if (x == nullptr || keys.isEmpty())
        return GrabResult::Unsupported;
    const QKeyCombination combination = keys[0];
    const xcb_keycode_t keycode = x->keycodeFor(keysymsFor(combination.key()));
    if (keycode == 0)
        return GrabResult::Unsupported;
    const Grab wanted{id, keycode, modifierMask(combination.keyboardModifiers())};

    QList<xcb_void_cookie_t> cookies;
    for (const quint16 modifiers : lockVariants(wanted.modifiers))
        cookies << xcb_grab_key_checked(x->c, 1, x->root, modifiers, keycode,
                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    // Every reply is read, so no error is left to arrive as an event.
    bool taken = false;
    bool failed = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        const Reply<xcb_generic_error_t> error(xcb_request_check(x->c, cookie));
        if (error)
            (error->error_code == BadAccess ? taken : failed) = true;
    }
    if (taken || failed) {
        // Ungrabbing releases only this connection's grabs, never the other program's.
        ungrab(wanted);
        return taken ? GrabResult::Taken : GrabResult::Unsupported;
    }
    grabs << wanted;
    // Events read along with the replies wait in xcb and would not wake the notifier.
    dispatchEvents();
    return GrabResult::Grabbed;
}

void GlobalKeys::ungrab(const Grab &grab)
{
    for (const quint16 modifiers : lockVariants(grab.modifiers))
        xcb_ungrab_key(x->c, grab.keycode, x->root, modifiers);
}

void GlobalKeys::releaseAll()
{
    if (x == nullptr)
        return;
    for (const Grab &grab : std::as_const(grabs))
        ungrab(grab);
    grabs.clear();
    xcb_flush(x->c);
}

void GlobalKeys::dispatchEvents()
{
    if (x == nullptr)
        return;
    QList<int> pressed;
    while (xcb_generic_event_t *raw = xcb_poll_for_event(x->c)) {
        const Reply<xcb_generic_event_t> event(raw);
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_RELEASE) {
            const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event.get());
            x->releasedKey = release->detail;
            x->releasedAt = release->time;
            continue;
        }
        if (type != XCB_KEY_PRESS)
            continue;
        const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event.get());
        if (press->detail == x->releasedKey && press->time == x->releasedAt)
            continue;
        const uint16_t modifiers = press->state
                                   & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1
                                      | XCB_MOD_MASK_4);
        for (const Grab &grab : std::as_const(grabs))
            if (grab.keycode == press->detail && grab.modifiers == modifiers)
                pressed << grab.id;
    }
    // A broken connection would wake the notifier forever.
    if (xcb_connection_has_error(x->c) != 0)
        x->notifier->setEnabled(false);
    // Emitted last: a receiver may release or replace the grabs.
    for (const int id : pressed)
        emit activated(id);
}

} // namespace platform
