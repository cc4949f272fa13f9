#pragma once

// Internal to platform/: the toolkit's own X connection and small RAII
// holders for xcb replies. Nothing outside platform/ includes this header.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::x11 {

// The toolkit's connection to the X server, or null when not running on X11.
xcb_connection_t *connection();

// The root window of the default screen, or XCB_WINDOW_NONE.
xcb_window_t rootWindow();

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};

// An xcb reply or error, freed on every path.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Interns an atom once per name; XCB_ATOM_NONE on failure.
xcb_atom_t atom(const char *name);

// The child of the root that holds the window: its frame when a window
// manager has reparented it, else the window itself; XCB_WINDOW_NONE on failure.
xcb_window_t topLevelAncestor(xcb_connection_t *c, xcb_window_t root, xcb_window_t window);

} // namespace platform::x11
