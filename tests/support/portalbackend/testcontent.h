#pragma once

// What the test portal's video source shows, shared by the backend that
// draws it and the tests that decode it.
//
// The background is one colour of the palette, which changes every second:
// palette[(frameNumber / fps) % 6]. The frame is tiled into cells of
// CellWidth x CellHeight from (0,0); at the top-left of every cell the frame
// number is drawn as FrameNumberBits squares of BitSize pixels in a row,
// most significant bit first, white for 1 and black for 0. The pointer is a
// black square with a white border, its top-left corner at the pointer
// position (the hotspot).

#include <cstdint>

namespace vexlo::testportal {

inline constexpr int CellWidth = 256;
inline constexpr int CellHeight = 64;
inline constexpr int BitSize = 16;
inline constexpr int FrameNumberBits = 16;

inline constexpr int PaletteSize = 6;
// 0xRRGGBB: red, green, blue, yellow, magenta, cyan.
inline constexpr std::uint32_t Palette[PaletteSize] = {
    0xff0000, 0x00ff00, 0x0000ff, 0xffff00, 0xff00ff, 0x00ffff};

inline constexpr int PointerInner = 12;
inline constexpr int PointerBorder = 2;
inline constexpr int PointerSize = PointerInner + 2 * PointerBorder;
// Clear of every cell's frame number, so a drawn pointer never hides one.
inline constexpr int DefaultPointerX = 128;
inline constexpr int DefaultPointerY = 32;

// The moving window of the crop mode: the desktop sends the whole stream
// in grey, with the test content drawn only inside this rectangle (its
// cells counted from the rectangle's corner), which it marks as the
// picture's crop. The rectangle moves and changes size every few pictures;
// every fourth buffer is marked corrupted and is white all over.
struct CropRect
{
    int x, y, width, height;
};
inline constexpr int PicturesPerCropStep = 3;
inline constexpr CropRect CropSteps[] = {
    {0, 0, 512, 192}, {256, 64, 512, 192}, {512, 128, 640, 256}, {256, 192, 384, 128}};
inline constexpr std::uint32_t OutsideCropColour = 0x808080;
inline constexpr int CorruptedEvery = 4;

inline constexpr CropRect cropOf(long long frameNumber)
{
    constexpr long long steps = sizeof CropSteps / sizeof CropSteps[0];
    return CropSteps[(frameNumber / PicturesPerCropStep) % steps];
}

inline constexpr int PaletteIndexOf(long long frameNumber, int fps)
{
    return int((frameNumber / (fps > 0 ? fps : 1)) % PaletteSize);
}

// The portal's cursor modes, as the ScreenCast interface numbers them.
enum CursorMode : unsigned { CursorHidden = 1, CursorEmbedded = 2, CursorMetadata = 4 };
// Its source types.
enum SourceType : unsigned { SourceMonitor = 1, SourceWindow = 2 };

} // namespace vexlo::testportal
