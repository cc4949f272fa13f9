#include "testpattern.h"

#include "testcontent.h"

#include <algorithm>
#include <cstring>

namespace vexlo::testportal {

namespace {

std::uint32_t packed(std::uint32_t rgb, bool redFirst)
{
    const std::uint8_t r = rgb >> 16, g = rgb >> 8, b = rgb;
    const std::uint8_t bytes[4] = {redFirst ? r : b, g, redFirst ? b : r, 0xff};
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void fillRect(const FrameLayout &frame, int x, int y, int w, int h, std::uint32_t pixel)
{
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = std::min(x + w, frame.size.width());
    const int bottom = std::min(y + h, frame.size.height());
    for (int row = top; row < bottom; ++row) {
        auto *line = reinterpret_cast<std::uint32_t *>(frame.data + std::size_t(row) * frame.stride);
        std::fill(line + left, line + std::max(left, right), pixel);
    }
}

} // namespace

void drawFrame(const FrameLayout &frame, long long frameNumber, int fps)
{
    const std::uint32_t background = packed(Palette[PaletteIndexOf(frameNumber, fps)], frame.redFirst);
    fillRect(frame, 0, 0, frame.size.width(), frame.size.height(), background);

    const std::uint32_t one = packed(0xffffff, frame.redFirst);
    const std::uint32_t zero = packed(0x000000, frame.redFirst);
    for (int cellY = 0; cellY < frame.size.height(); cellY += CellHeight) {
        for (int cellX = 0; cellX < frame.size.width(); cellX += CellWidth) {
            for (int bit = 0; bit < FrameNumberBits; ++bit) {
                const bool set = (frameNumber >> (FrameNumberBits - 1 - bit)) & 1;
                fillRect(frame, cellX + bit * BitSize, cellY, BitSize, BitSize, set ? one : zero);
            }
        }
    }
}

void fillFrame(const FrameLayout &frame, std::uint32_t rgb)
{
    fillRect(frame, 0, 0, frame.size.width(), frame.size.height(), packed(rgb, frame.redFirst));
}

FrameLayout subFrame(const FrameLayout &frame, QRect area)
{
    const QRect inside = area.intersected(QRect(QPoint(0, 0), frame.size));
    return {frame.data + std::size_t(inside.y()) * frame.stride + std::size_t(inside.x()) * 4, inside.size(),
            frame.stride, frame.redFirst};
}

void drawPointer(const FrameLayout &frame, QPoint position)
{
    fillRect(frame, position.x(), position.y(), PointerSize, PointerSize, packed(0xffffff, frame.redFirst));
    fillRect(frame, position.x() + PointerBorder, position.y() + PointerBorder, PointerInner, PointerInner,
             packed(0x000000, frame.redFirst));
}

void drawPointerBitmap(std::uint8_t *pixels, int stride)
{
    for (int y = 0; y < PointerSize; ++y) {
        for (int x = 0; x < PointerSize; ++x) {
            const bool inner = x >= PointerBorder && x < PointerBorder + PointerInner
                               && y >= PointerBorder && y < PointerBorder + PointerInner;
            std::uint8_t *pixel = pixels + y * stride + x * 4;
            std::memset(pixel, inner ? 0x00 : 0xff, 3);
            pixel[3] = 0xff;
        }
    }
}

} // namespace vexlo::testportal
