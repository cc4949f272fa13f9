#pragma once

// Decoding of the window properties that clients publish about themselves.
// Plain functions on raw property bytes, so malformed data from any client
// can be exercised without a server.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

namespace platform {

enum class TextEncoding { Latin1, Utf8, CompoundText };

// The first string of a text property (WM_NAME and the like); a property
// may hold a NUL-separated list.
QString decodeTextProperty(const QByteArray &bytes, TextEncoding encoding);

// The image to show as a small icon from a _NET_WM_ICON property: the
// smallest one at least minimumSize pixels on both sides, else the largest.
// Entries whose size does not fit the data end the parse; a null image when
// nothing usable is left.
QImage iconFromNetWmIcon(const std::uint32_t *data, std::size_t count, int minimumSize = 16);

} // namespace platform
