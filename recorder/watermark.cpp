#include "recorder/watermark.h"

#include "recorder/screenrecorder.h"
#include "recorder/yuvoverlay.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Margin = 20;
constexpr int TextAlpha = 180;
// Larger files are no watermark anyone chose; reading them would stall frames.
constexpr qint64 MaxImageBytes = 32 * 1024 * 1024;

bool isReadableImageFile(const struct stat &info)
{
    return S_ISREG(info.st_mode) && info.st_size <= MaxImageBytes;
}

// The stored path names whatever is there now: a FIFO would block an open
// until a writer comes, a device could be read forever. Only a regular file
// of bounded size is read, and the open itself never waits.
QImage loadImageFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info{};
    if (::stat(name.constData(), &info) != 0 || !isReadableImageFile(info))
        return {};
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // The path may name another file by now; what was opened is what counts.
    if (::fstat(fd, &info) != 0 || !isReadableImageFile(info))
        return {};
    const QByteArray data = file.read(MaxImageBytes + 1);
    if (data.size() > MaxImageBytes)
        return {};
    return QImage::fromData(data);
}

QPoint imagePosition(WatermarkPosition position, QSize frame, QSize image)
{
    const int right = frame.width() - image.width() - Margin;
    const int bottom = frame.height() - image.height() - Margin;
    switch (position) {
    case BottomRight: return {right, bottom};
    case BottomLeft: return {Margin, bottom};
    case TopRight: return {right, Margin};
    case TopLeft: return {Margin, Margin};
    case Center:
        return {(frame.width() - image.width()) / 2, (frame.height() - image.height()) / 2};
    }
    return {0, 0};
}

// The left end of the text's baseline for a text box of `box` size.
QPoint textBaseline(WatermarkPosition position, QSize frame, QSize box)
{
    const int right = frame.width() - box.width() - Margin;
    switch (position) {
    case BottomRight: return {right, frame.height() - Margin};
    case BottomLeft: return {Margin, frame.height() - Margin};
    case TopRight: return {right, box.height() + Margin};
    case TopLeft: return {Margin, box.height() + Margin};
    case Center:
        return {(frame.width() - box.width()) / 2,
                (frame.height() - box.height()) / 2 + box.height()};
    }
    return {0, box.height()};
}

} // namespace

bool WatermarkPainter::ImageKey::operator==(const ImageKey &other) const
{
    return path == other.path && modified == other.modified && fileSize == other.fileSize
           && opacity == other.opacity && sizePercent == other.sizePercent
           && frameSize == other.frameSize;
}

const QPixmap *WatermarkPainter::preparedImage(const RecordingConfig &config, QSize frameSize)
{
    const QFileInfo file(config.watermarkImagePath);
    // The opacity is typed by the user and not range-checked on its way
    // here; outside 0..100 the alpha would wrap around instead of saturating.
    const ImageKey key{config.watermarkImagePath, file.lastModified(), file.size(),
                       std::clamp(config.imageOpacity, 0, 100), config.imageSizePercent,
                       frameSize};
    if (havePrepared && key == preparedKey)
        return imageLoaded ? &prepared : nullptr;

    preparedKey = key;
    havePrepared = true;
    imageLoaded = false;
    prepared = QPixmap();

    QImage image = loadImageFile(config.watermarkImagePath);
    if (image.isNull())
        return nullptr;
    imageLoaded = true;

    const int width = std::min(frameSize.width(), frameSize.height()) * key.sizePercent / 100;
    const int height = int(qint64(width) * image.height() / image.width());

    // Non-premultiplied, so scaling the alpha leaves the colours as they are.
    image.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), qAlpha(p) * key.opacity / 100);
        }
    }
    if (width > 0 && height > 0)
        prepared = QPixmap::fromImage(
            image.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return &prepared;
}

void WatermarkPainter::apply(QPixmap &frame, const RecordingConfig &config)
{
    if (frame.isNull())
        return;
    QPainter painter(&frame);
    if (!painter.isActive())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize frameSize = frame.size();

    if (config.imageWatermarkEnabled && !config.watermarkImagePath.isEmpty()) {
        if (const QPixmap *image = preparedImage(config, frameSize)) {
            // Also when it came out empty or fully transparent: a loaded image
            // takes the text's place.
            if (!image->isNull())
                painter.drawPixmap(imagePosition(config.watermarkPosition, frameSize, image->size()),
                                   *image);
            return;
        }
    }

    if (!config.watermarkEnabled || config.watermarkText.isEmpty())
        return;
    QFont font;
    font.setPixelSize(std::max(1, config.watermarkFontSize));
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    QColor colour = config.watermarkColor;
    colour.setAlpha(TextAlpha);
    painter.setPen(colour);
    const QRect box = painter.boundingRect(frame.rect(), Qt::AlignCenter, config.watermarkText);
    painter.drawText(textBaseline(config.watermarkPosition, frameSize, box.size()),
                     config.watermarkText);
}

void WatermarkPainter::prepareOverlay(const RecordingConfig &config, QSize frameSize)
{
    const QFileInfo file(config.watermarkImagePath);
    const QStringList parts = {
        config.watermarkText, QString::number(config.watermarkFontSize),
        config.watermarkColor.name(QColor::HexArgb), QString::number(config.watermarkPosition),
        QString::number(config.imageWatermarkEnabled), config.watermarkImagePath,
        file.lastModified().toString(Qt::ISODateWithMs), QString::number(file.size()),
        QString::number(config.imageOpacity), QString::number(config.imageSizePercent),
        QString::number(frameSize.width()), QString::number(frameSize.height())};
    const QString key = parts.join(QChar(0));
    if (key == overlayKey)
        return;
    overlayKey = key;

    QPixmap canvas(frameSize);
    canvas.fill(Qt::transparent);
    apply(canvas, config);
    const QImage full = canvas.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // What the watermark covers: the smallest rectangle of non-transparent pixels.
    int left = full.width(), top = full.height(), right = -1, bottom = -1;
    for (int y = 0; y < full.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(full.constScanLine(y));
        for (int x = 0; x < full.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0) {
        overlay = QImage();
        return;
    }
    const QRect covered(QPoint(left, top), QPoint(right, bottom));
    overlay = full.copy(covered);
    overlayAt = covered.topLeft();
}

void WatermarkPainter::apply(AVFrame *frame, const RecordingConfig &config)
{
    prepareOverlay(config, QSize(frame->width, frame->height));
    if (overlay.isNull())
        return;
    yuv::paintOver(frame, QRect(overlayAt, overlay.size()),
                   [this](QPainter &painter) { painter.drawImage(overlayAt, overlay); });
}

void ScreenRecorder::applyWatermark(QPixmap &frame)
{
    watermark.apply(frame, config);
}
