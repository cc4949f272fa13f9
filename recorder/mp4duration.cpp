#include "recorder/mp4duration.h"

#include <QFile>
#include <QtEndian>

#include <cmath>

namespace mp4 {
namespace {

// The leading index of a fragmented file is small; a few kilobytes.
constexpr qint64 headLimit = 1 << 20;

struct Box
{
    qint64 offset; // of the box header
    qint64 size;
    QByteArray type;
};

// The boxes directly inside [begin, end) of `data`.
QList<Box> boxesIn(const QByteArray &data, qint64 begin, qint64 end)
{
    QList<Box> boxes;
    qint64 at = begin;
    while (at + 8 <= end) {
        const qint64 size = qFromBigEndian<quint32>(data.constData() + at);
        if (size < 8 || at + size > end)
            break;
        boxes.append({at, size, data.mid(at + 4, 4)});
        at += size;
    }
    return boxes;
}

const Box *find(const QList<Box> &boxes, const char *type)
{
    for (const Box &box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

// Full box layouts: version 0 has 32-bit times, version 1 64-bit ones.
// mvhd and mdhd: times, then timescale, then duration.
// tkhd: times, track id, a reserved word, then duration (movie timescale).
struct Field
{
    qint64 offset;
    bool wide;
};

Field durationField(const QByteArray &data, const Box &box, bool trackHeader)
{
    const bool wide = data.at(box.offset + 8) == 1;
    const qint64 times = box.offset + 12 + (wide ? 16 : 8);
    return {times + 4 + (trackHeader ? 4 : 0), wide};
}

quint32 timescaleOf(const QByteArray &data, const Box &box)
{
    const bool wide = data.at(box.offset + 8) == 1;
    return qFromBigEndian<quint32>(data.constData() + box.offset + 12 + (wide ? 16 : 8));
}

bool put(QFile &file, const QByteArray &data, Field field, double seconds, quint32 timescale)
{
    const auto units = quint64(std::llround(seconds * timescale));
    const qint64 fieldEnd = field.offset + (field.wide ? 8 : 4);
    if (timescale == 0 || fieldEnd > data.size() || (!field.wide && units > 0xffffffffu))
        return false;
    QByteArray bytes(field.wide ? 8 : 4, Qt::Uninitialized);
    if (field.wide)
        qToBigEndian<quint64>(units, bytes.data());
    else
        qToBigEndian<quint32>(quint32(units), bytes.data());
    return file.seek(field.offset) && file.write(bytes) == bytes.size();
}

} // namespace

bool writeDuration(const QString &path, double seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray head = file.read(headLimit);
    const QList<Box> top = boxesIn(head, 0, head.size());
    const Box *moov = find(top, "moov");
    if (moov == nullptr)
        return false;
    const QList<Box> movie = boxesIn(head, moov->offset + 8, moov->offset + moov->size);
    const Box *mvhd = find(movie, "mvhd");
    if (mvhd == nullptr)
        return false;
    const quint32 movieScale = timescaleOf(head, *mvhd);
    bool ok = put(file, head, durationField(head, *mvhd, false), seconds, movieScale);
    for (const Box &trak : movie) {
        if (trak.type != "trak")
            continue;
        const QList<Box> track = boxesIn(head, trak.offset + 8, trak.offset + trak.size);
        if (const Box *tkhd = find(track, "tkhd"))
            ok = put(file, head, durationField(head, *tkhd, true), seconds, movieScale) && ok;
        if (const Box *mdia = find(track, "mdia")) {
            const QList<Box> media = boxesIn(head, mdia->offset + 8, mdia->offset + mdia->size);
            if (const Box *mdhd = find(media, "mdhd"))
                ok = put(file, head, durationField(head, *mdhd, false), seconds,
                         timescaleOf(head, *mdhd))
                     && ok;
        }
    }
    return file.flush() && ok;
}

} // namespace mp4
