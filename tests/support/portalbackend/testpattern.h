#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

namespace vexlo::testportal {

// One frame of the test content (see testcontent.h) in a packed 32-bit
// buffer. redFirst: the bytes run R, G, B, X (RGBx/RGBA) rather than
// B, G, R, X (BGRx/BGRA); the fourth byte is always opaque.
struct FrameLayout
{
    std::uint8_t *data = nullptr;
    QSize size;
    int stride = 0;
    bool redFirst = false;
};

void drawFrame(const FrameLayout &frame, long long frameNumber, int fps);

// The whole frame in one 0xRRGGBB colour.
void fillFrame(const FrameLayout &frame, std::uint32_t rgb);

// The part of a frame inside a rectangle, as a frame of its own.
FrameLayout subFrame(const FrameLayout &frame, QRect area);

// The pointer square drawn into the frame, clipped to it.
void drawPointer(const FrameLayout &frame, QPoint position);

// The same pointer as an RGBA bitmap (bytes R, G, B, A) of PointerSize
// squared pixels, for cursor metadata.
void drawPointerBitmap(std::uint8_t *pixels, int stride);

} // namespace vexlo::testportal
