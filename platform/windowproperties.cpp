#include "platform/windowproperties.h"

#include <cstring>

namespace platform {

namespace {

constexpr char Escape = 0x1b;
constexpr char16_t Replacement = 0xfffd;

// Compound text is ISO 2022 with ASCII in GL and Latin-1 in GR by default.
// Only the sets a title needs in practice are decoded (ASCII, Latin-1 and the
// UTF-8 segments of modern clients); characters of other sets become U+FFFD.
QString decodeCompoundText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    bool glKnown = true, glDoubleByte = false, grKnown = true, grDoubleByte = false;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == Escape) {
            // ESC, intermediate bytes 0x20-0x2f, one final byte 0x30-0x7e.
            qsizetype end = i + 1;
            while (end < n && (bytes[end] & 0xf0) == 0x20)
                ++end;
            if (end >= n)
                break;
            const QByteArray sequence = bytes.mid(i + 1, end - i - 1) + bytes[end];
            i = end + 1;
            if (sequence == "%G") {
                const qsizetype stop = bytes.indexOf("\x1b%@", i);
                const qsizetype last = stop < 0 ? n : stop;
                text += QString::fromUtf8(bytes.constData() + i, last - i);
                i = stop < 0 ? n : stop + 3;
            } else if (sequence.startsWith('(')) {
                glKnown = sequence == "(B" || sequence == "(J";
                glDoubleByte = false;
            } else if (sequence.startsWith("$(")) {
                glKnown = false;
                glDoubleByte = true;
            } else if (sequence.startsWith('-')) {
                grKnown = sequence == "-A";
                grDoubleByte = false;
            } else if (sequence.startsWith("$)")) {
                grKnown = false;
                grDoubleByte = true;
            }
            continue;
        }
        if (byte == 0x9b) { // CSI: direction controls, skipped with their parameters
            ++i;
            while (i < n && (static_cast<unsigned char>(bytes[i]) < 0x40
                             || static_cast<unsigned char>(bytes[i]) > 0x7e))
                ++i;
            ++i;
            continue;
        }
        if (byte < 0x20) {
            if (byte == '\t' || byte == '\n')
                text += QChar(byte);
            ++i;
            continue;
        }
        if (byte >= 0x80 && byte < 0xa0) {
            ++i;
            continue;
        }
        const bool right = byte >= 0x80;
        const bool known = right ? grKnown : glKnown;
        const bool doubleByte = right ? grDoubleByte : glDoubleByte;
        if (known)
            text += QChar(byte);
        else
            text += QChar(Replacement);
        i += doubleByte ? 2 : 1;
    }
    return text;
}

} // namespace

QString decodeTextProperty(const QByteArray &bytes, TextEncoding encoding)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArray first = nul < 0 ? bytes : bytes.left(nul);
    switch (encoding) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(first);
    case TextEncoding::CompoundText:
        return decodeCompoundText(first);
    case TextEncoding::Latin1:
        break;
    }
    return QString::fromLatin1(first);
}

QImage iconFromNetWmIcon(const std::uint32_t *data, std::size_t count, int minimumSize)
{
    const std::uint32_t *best = nullptr;
    std::uint64_t bestArea = 0;
    bool bestLargeEnough = false;
    std::size_t i = 0;
    while (data != nullptr && i + 2 <= count) {
        const std::uint32_t width = data[i], height = data[i + 1];
        const std::uint64_t area = std::uint64_t(width) * height;
        // A zero or oversized entry cannot be skipped reliably: stop here.
        if (area == 0 || width > 0x7fff || height > 0x7fff || area > count - i - 2)
            break;
        const bool largeEnough = width >= std::uint32_t(minimumSize)
                                 && height >= std::uint32_t(minimumSize);
        const bool better = best == nullptr
                            || (largeEnough && (!bestLargeEnough || area < bestArea))
                            || (!largeEnough && !bestLargeEnough && area > bestArea);
        if (better) {
            best = data + i;
            bestArea = area;
            bestLargeEnough = largeEnough;
        }
        i += 2 + area;
    }
    if (best == nullptr)
        return {};

    const int width = int(best[0]), height = int(best[1]);
    // Each CARDINAL is 0xAARRGGBB, not premultiplied: exactly Format_ARGB32.
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const std::uint32_t *pixels = best + 2;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels + std::size_t(y) * width, std::size_t(width) * 4);
    return image;
}

} // namespace platform
