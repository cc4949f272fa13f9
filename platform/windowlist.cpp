#include "platform/windowlist.h"

#include "platform/windowproperties.h"
#include "platform/x11.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

using x11::Reply;

constexpr std::uint32_t WmStateIconic = 3;
constexpr std::uint32_t MaxListedWindows = 1u << 16;
constexpr std::uint32_t MaxTitleLongs = 1024;
// _NET_WM_ICON often carries several large images; reading stops here.
constexpr std::uint32_t MaxIconLongs = 1u << 20;
constexpr int MaxClientDepth = 2;

// Every reply is taken with its error, so a bad handle costs one error
// object here instead of an error event in the toolkit's queue.
template <typename R, typename C>
Reply<R> take(R *(*replyFunction)(xcb_connection_t *, C, xcb_generic_error_t **),
              xcb_connection_t *c, C cookie)
{
    xcb_generic_error_t *error = nullptr;
    Reply<R> reply(replyFunction(c, cookie, &error));
    std::free(error);
    return reply;
}

// X ids have 29 bits. A wider handle must not be truncated into someone
// else's window.
xcb_window_t toWindow(WId id)
{
    return id == 0 || id > 0x1fffffff ? xcb_window_t(XCB_WINDOW_NONE) : static_cast<xcb_window_t>(id);
}

xcb_get_property_cookie_t requestProperty(xcb_connection_t *c, xcb_window_t window,
                                          const char *name, xcb_atom_t type, std::uint32_t longs)
{
    return xcb_get_property(c, 0, window, x11::atom(name), type, 0, longs);
}

Reply<xcb_get_property_reply_t> takeProperty(xcb_connection_t *c, xcb_get_property_cookie_t cookie)
{
    return take(xcb_get_property_reply, c, cookie);
}

// The 32-bit items of a property reply, or an empty span when it has another shape.
std::pair<const std::uint32_t *, std::size_t> cardinals(const xcb_get_property_reply_t *reply,
                                                        xcb_atom_t type)
{
    if (reply == nullptr || reply->format != 32 || reply->type != type)
        return {nullptr, 0};
    return {static_cast<const std::uint32_t *>(xcb_get_property_value(reply)),
            static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4};
}

bool isIconic(const xcb_get_property_reply_t *wmState)
{
    const auto [state, count] = cardinals(wmState, x11::atom("WM_STATE"));
    return count >= 1 && state[0] == WmStateIconic;
}

bool isVisible(const xcb_get_window_attributes_reply_t *attributes,
               const xcb_get_property_reply_t *wmState)
{
    if (attributes == nullptr)
        return false;
    return attributes->map_state == XCB_MAP_STATE_VIEWABLE || isIconic(wmState);
}

xcb_get_property_cookie_t requestWmState(xcb_connection_t *c, xcb_window_t window)
{
    const xcb_atom_t wmState = x11::atom("WM_STATE");
    return xcb_get_property(c, 0, window, wmState, wmState, 0, 2);
}

struct RectRequests
{
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t extents;
};

RectRequests requestRect(xcb_connection_t *c, xcb_window_t root, xcb_window_t window)
{
    return {xcb_get_geometry(c, window), xcb_translate_coordinates(c, window, root, 0, 0),
            requestProperty(c, window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 4)};
}

QRect takeRect(xcb_connection_t *c, xcb_window_t root, xcb_window_t window,
               const RectRequests &requests)
{
    const auto geometry = take(xcb_get_geometry_reply, c, requests.geometry);
    const auto origin = take(xcb_translate_coordinates_reply, c, requests.origin);
    const auto extents = takeProperty(c, requests.extents);
    if (!geometry || !origin || !origin->same_screen)
        return {};

    const int border = geometry->border_width;
    const QRect client(origin->dst_x - border, origin->dst_y - border,
                       geometry->width + 2 * border, geometry->height + 2 * border);
    const auto [frame, count] = cardinals(extents.get(), XCB_ATOM_CARDINAL);
    if (count == 4) {
        // Left, right, top, bottom; a window manager never draws frames this wide.
        if (std::all_of(frame, frame + 4, [](std::uint32_t v) { return v <= 0x7fff; }))
            return client.adjusted(-int(frame[0]), -int(frame[2]), int(frame[1]), int(frame[3]));
        return client;
    }

    // A window manager that does not publish the extents: measure its frame.
    const xcb_window_t top = x11::topLevelAncestor(c, root, window);
    if (top == XCB_WINDOW_NONE || top == window)
        return client;
    const auto frameGeometry = take(xcb_get_geometry_reply, c, xcb_get_geometry(c, top));
    if (!frameGeometry)
        return {};
    const int frameBorder = frameGeometry->border_width;
    return QRect(frameGeometry->x, frameGeometry->y, frameGeometry->width + 2 * frameBorder,
                 frameGeometry->height + 2 * frameBorder);
}

// Client windows as listed by the window manager, topmost first. False when
// no window manager publishes a list.
bool managedClients(xcb_connection_t *c, xcb_window_t root, std::vector<xcb_window_t> &clients)
{
    for (const char *name : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
        const auto list = takeProperty(
            c, requestProperty(c, root, name, XCB_ATOM_WINDOW, MaxListedWindows));
        const auto [ids, count] = cardinals(list.get(), XCB_ATOM_WINDOW);
        if (ids == nullptr)
            continue;
        // Both lists run from the bottom up.
        clients.assign(std::make_reverse_iterator(ids + count), std::make_reverse_iterator(ids));
        return true;
    }
    return false;
}

// The window carrying WM_STATE inside a top-level window, or the window itself.
// Window managers nest clients one or two levels deep; searching further would
// walk whole widget trees of ordinary programs.
xcb_window_t clientOf(xcb_connection_t *c, xcb_window_t window, int depth = 0)
{
    const auto state = takeProperty(c, requestWmState(c, window));
    if (state && state->type != XCB_ATOM_NONE)
        return window;
    if (depth < MaxClientDepth) {
        const auto tree = take(xcb_query_tree_reply, c, xcb_query_tree(c, window));
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
                const xcb_window_t found = clientOf(c, children[i], depth + 1);
                if (found != XCB_WINDOW_NONE)
                    return found;
            }
        }
    }
    return depth == 0 ? window : xcb_window_t(XCB_WINDOW_NONE);
}

// Without a window manager's list: the viewable input-output children of the
// root, topmost first.
std::vector<xcb_window_t> rootChildren(xcb_connection_t *c, xcb_window_t root)
{
    std::vector<xcb_window_t> clients;
    const auto tree = take(xcb_query_tree_reply, c, xcb_query_tree(c, root));
    if (!tree)
        return clients;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(count);
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_get_window_attributes(c, children[i]));
    for (int i = count - 1; i >= 0; --i) {
        const auto attributes = take(xcb_get_window_attributes_reply, c, cookies[i]);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE
            && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT)
            clients.push_back(clientOf(c, children[i]));
    }
    return clients;
}

QString title(const xcb_get_property_reply_t *netWmName, const xcb_get_property_reply_t *wmName)
{
    const auto text = [](const xcb_get_property_reply_t *reply) {
        if (reply == nullptr || reply->format != 8)
            return QByteArray();
        return QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    };
    if (netWmName && netWmName->type == x11::atom("UTF8_STRING")) {
        const QString name = decodeTextProperty(text(netWmName), TextEncoding::Utf8);
        if (!name.isEmpty())
            return name;
    }
    if (wmName == nullptr)
        return {};
    TextEncoding encoding = TextEncoding::Latin1;
    if (wmName->type == x11::atom("UTF8_STRING"))
        encoding = TextEncoding::Utf8;
    else if (wmName->type == x11::atom("COMPOUND_TEXT"))
        encoding = TextEncoding::CompoundText;
    return decodeTextProperty(text(wmName), encoding);
}

} // namespace

QList<WindowInfo> visibleTopLevelWindows()
{
    QList<WindowInfo> windows;
    xcb_connection_t *c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    if (c == nullptr || root == XCB_WINDOW_NONE)
        return windows;

    std::vector<xcb_window_t> candidates;
    if (!managedClients(c, root, candidates))
        candidates = rootChildren(c, root);

    // Requests go out in batches and replies are collected afterwards, so a
    // long list costs two round trips rather than several per window.
    struct StateRequests
    {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t wmState;
    };
    std::vector<StateRequests> states;
    states.reserve(candidates.size());
    for (const xcb_window_t window : candidates)
        states.push_back({xcb_get_window_attributes(c, window), requestWmState(c, window)});
    std::vector<xcb_window_t> visible;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto attributes = take(xcb_get_window_attributes_reply, c, states[i].attributes);
        const auto wmState = takeProperty(c, states[i].wmState);
        if (isVisible(attributes.get(), wmState.get()))
            visible.push_back(candidates[i]);
    }

    struct InfoRequests
    {
        RectRequests rect;
        xcb_get_property_cookie_t netWmName, wmName, icon;
    };
    const xcb_atom_t utf8 = x11::atom("UTF8_STRING");
    std::vector<InfoRequests> infos;
    infos.reserve(visible.size());
    for (const xcb_window_t window : visible)
        infos.push_back({requestRect(c, root, window),
                         requestProperty(c, window, "_NET_WM_NAME", utf8, MaxTitleLongs),
                         requestProperty(c, window, "WM_NAME", XCB_GET_PROPERTY_TYPE_ANY, MaxTitleLongs),
                         requestProperty(c, window, "_NET_WM_ICON", XCB_ATOM_CARDINAL, MaxIconLongs)});
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const QRect rect = takeRect(c, root, visible[i], infos[i].rect);
        const auto netWmName = takeProperty(c, infos[i].netWmName);
        const auto wmName = takeProperty(c, infos[i].wmName);
        const auto icon = takeProperty(c, infos[i].icon);
        if (rect.isNull())
            continue;
        const auto [iconData, iconCount] = cardinals(icon.get(), XCB_ATOM_CARDINAL);
        windows.append({visible[i], title(netWmName.get(), wmName.get()), rect,
                        iconFromNetWmIcon(iconData, iconCount)});
    }
    return windows;
}

bool isWindow(WId id)
{
    xcb_connection_t *c = x11::connection();
    const xcb_window_t window = toWindow(id);
    if (c == nullptr || window == XCB_WINDOW_NONE)
        return false;
    return bool(take(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, window)));
}

bool isWindowVisible(WId id)
{
    xcb_connection_t *c = x11::connection();
    const xcb_window_t window = toWindow(id);
    if (c == nullptr || window == XCB_WINDOW_NONE)
        return false;
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    const auto wmStateCookie = requestWmState(c, window);
    const auto attributes = take(xcb_get_window_attributes_reply, c, attributesCookie);
    const auto wmState = takeProperty(c, wmStateCookie);
    return isVisible(attributes.get(), wmState.get());
}

QRect windowRect(WId id)
{
    xcb_connection_t *c = x11::connection();
    const xcb_window_t root = x11::rootWindow();
    const xcb_window_t window = toWindow(id);
    if (c == nullptr || root == XCB_WINDOW_NONE || window == XCB_WINDOW_NONE)
        return {};
    return takeRect(c, root, window, requestRect(c, root, window));
}

} // namespace platform
