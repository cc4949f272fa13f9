#pragma once

// The parameters of one recording and the small index codes shared by the
// recording page, the preview, the settings and the form. Each code equals the
// item index of its combo box, so the page stores combo indexes directly.

#include <QColor>
#include <QRect>
#include <QString>
#include <qwindowdefs.h>

#include <cstdint>
#include <iterator>

enum RecordMode : int32_t {
    FullScreen = 0,
    Window = 1,
    Region = 2,
};

enum VideoQuality : int32_t {
    UHD4K = 0,
    UltraHD = 1,
    HD = 2,
    SD = 3,
};

enum OutputFormat : int32_t {
    MP4 = 0,
    AVI = 1,
    MOV = 2,
    MKV = 3,
    FLV = 4,
    WEBM = 5,
};

enum WatermarkPosition : int32_t {
    BottomRight = 0,
    BottomLeft = 1,
    TopRight = 2,
    TopLeft = 3,
    Center = 4,
};

enum CursorStyle : int32_t {
    Default = 0,
    Hand = 1,
    Cross = 2,
};

// Pointer edge in pixels for an index of the pointer size combo box.
constexpr int cursorSizeForIndex(int index)
{
    constexpr int sizes[] = {12, 16, 18, 24, 32, 48, 72};
    return index >= 0 && index < int(std::size(sizes)) ? sizes[index] : 24;
}

// Text watermark pixel size for an index of the watermark size combo box.
constexpr int watermarkFontSizeForIndex(int index)
{
    constexpr int sizes[] = {12, 18, 24, 32, 42, 72, 120, 240};
    return index >= 0 && index < int(std::size(sizes)) ? sizes[index] : 32;
}

struct RecordingConfig
{
    RecordMode mode = FullScreen;
    // The monitor a full-screen recording shows, as `Recording/screen` stores
    // it: the monitor's name, empty for the primary, "*" for all of them.
    QString screen;
    VideoQuality quality = UltraHD;
    OutputFormat format = MP4;
    int32_t frameRate = 30;
    bool captureCursor = true;
    // Carried for the settings and the page; no audio is recorded.
    bool recordMicrophone = false;
    bool recordSystemAudio = false;
    // Inclusive right and bottom edges; the null rectangle means "not chosen".
    QRect region;
    WId windowId = 0;
    bool watermarkEnabled = false;
    QString watermarkText;
    WatermarkPosition watermarkPosition = TopRight;
    int32_t watermarkFontSize = 72;
    QColor watermarkColor = Qt::red;
    bool imageWatermarkEnabled = false;
    QString watermarkImagePath;
    int32_t imageOpacity = 70;
    int32_t imageSizePercent = 80;
    CursorStyle cursorStyle = Default;
    bool highlightClicks = false;
    int32_t cursorSize = 24;
};
