#include "platform/nativeevents.h"

#include <xcb/xcb.h>

namespace platform {

bool isExposeEvent(const QByteArray &eventType, const void *message)
{
    if (message == nullptr || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    return (event->response_type & ~0x80) == XCB_EXPOSE;
}

} // namespace platform
