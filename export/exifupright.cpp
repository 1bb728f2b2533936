#include "export/exifupright.h"

#include <QtEndian>

#include <algorithm>
#include <optional>

namespace tarnwick {

namespace {

constexpr quint16 kOrientationTag = 0x0112;
constexpr quint16 kThumbnailOffsetTag = 0x0201;
constexpr quint16 kThumbnailLengthTag = 0x0202;
// Tags whose value is the offset of a further IFD in the same block.
constexpr quint16 kSubIfdTags[] = {0x8769 /* Exif */, 0x8825 /* GPS */, 0xA005 /* interoperability */};

// The TIFF structure inside an EXIF block, bounds-checked on every read.
class Tiff
{
public:
    Tiff(char *data, qsizetype size) : m_data(reinterpret_cast<uchar *>(data)), m_size(size) {}

    bool readHeader()
    {
        if (m_size < 8)
            return false;
        if (m_data[0] == 'I' && m_data[1] == 'I')
            m_little = true;
        else if (m_data[0] == 'M' && m_data[1] == 'M')
            m_little = false;
        else
            return false;
        return u16(2) == 42;
    }

    std::optional<quint16> u16(qint64 at) const
    {
        if (at < 0 || at + 2 > m_size)
            return std::nullopt;
        return m_little ? qFromLittleEndian<quint16>(m_data + at) : qFromBigEndian<quint16>(m_data + at);
    }
    std::optional<quint32> u32(qint64 at) const
    {
        if (at < 0 || at + 4 > m_size)
            return std::nullopt;
        return m_little ? qFromLittleEndian<quint32>(m_data + at) : qFromBigEndian<quint32>(m_data + at);
    }
    void put16(qint64 at, quint16 value)
    {
        m_little ? qToLittleEndian(value, m_data + at) : qToBigEndian(value, m_data + at);
    }
    void put32(qint64 at, quint32 value)
    {
        m_little ? qToLittleEndian(value, m_data + at) : qToBigEndian(value, m_data + at);
    }

    // One IFD entry, where it lies and what it holds.
    struct Entry
    {
        qint64 at = 0;
        quint16 tag = 0;
        quint16 type = 0;
        quint32 count = 0;
        quint32 value = 0; // the value itself when it fits in four bytes, else its offset
    };

    // Calls visit for each entry of the IFD at offset; the offset of the next
    // IFD's pointer, or nothing when the IFD does not fit.
    template<typename Visit>
    std::optional<qint64> walk(qint64 offset, Visit visit) const
    {
        const std::optional<quint16> count = u16(offset);
        if (!count || offset + 2 + qint64(*count) * 12 + 4 > m_size)
            return std::nullopt;
        for (int i = 0; i < *count; ++i) {
            const qint64 at = offset + 2 + qint64(i) * 12;
            visit(Entry{at, *u16(at), *u16(at + 2), *u32(at + 4), *u32(at + 8)});
        }
        return offset + 2 + qint64(*count) * 12;
    }

    // The end of the bytes an IFD and its values take, sub-IFDs included.
    qint64 extent(qint64 offset, int depth = 0) const
    {
        qint64 end = offset;
        const auto next = walk(offset, [&](const Entry &entry) {
            static constexpr int kTypeSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
            const int unit = entry.type < std::size(kTypeSizes) ? kTypeSizes[entry.type] : 1;
            const qint64 bytes = qint64(unit) * entry.count;
            if (bytes > 4)
                end = std::max(end, qint64(entry.value) + bytes);
            if (depth < 2 && std::find(std::begin(kSubIfdTags), std::end(kSubIfdTags), entry.tag) != std::end(kSubIfdTags))
                end = std::max(end, extent(entry.value, depth + 1));
        });
        return next ? std::max(end, *next + 4) : end;
    }

    qsizetype size() const { return m_size; }

private:
    uchar *m_data;
    qsizetype m_size;
    bool m_little = true;
};

// Sets the TIFF structure of one EXIF block upright; its new length (shorter
// when the thumbnail was cut off), or nothing when it cannot be mended.
std::optional<qsizetype> mendTiff(char *data, qsizetype size)
{
    Tiff tiff(data, size);
    if (!tiff.readHeader())
        return std::nullopt;
    const qint64 ifd0 = *tiff.u32(4);
    if (ifd0 < 8)
        return std::nullopt; // lies over the header: a write to it would change what was read
    bool oriented = true;
    const auto nextPointer = tiff.walk(ifd0, [&](const Tiff::Entry &entry) {
        if (entry.tag != kOrientationTag)
            return;
        if (entry.type == 3 && entry.count == 1)
            tiff.put16(entry.at + 8, 1);
        else
            oriented = false;
    });
    if (!nextPointer || !oriented)
        return std::nullopt;
    const qint64 ifd1 = *tiff.u32(*nextPointer);
    if (ifd1 == 0)
        return size;
    // IFD1 goes; where it and its thumbnail are the block's tail, they go with it.
    tiff.put32(*nextPointer, 0);
    qint64 thumbnail = size;
    quint32 offset = 0;
    quint32 length = 0;
    const auto ifd1End = tiff.walk(ifd1, [&](const Tiff::Entry &entry) {
        if (entry.tag == kThumbnailOffsetTag)
            offset = entry.value;
        else if (entry.tag == kThumbnailLengthTag)
            length = entry.value;
    });
    if (!ifd1End)
        return size;
    if (offset != 0)
        thumbnail = offset;
    const qint64 cut = std::min(ifd1, thumbnail);
    const qint64 tailEnd = std::max(*ifd1End + 4, offset != 0 ? qint64(offset) + length : 0);
    if (tailEnd < size - 16 || cut < tiff.extent(ifd0))
        return size; // something else follows or is interleaved: only unlinked
    return qsizetype(cut);
}

} // namespace

bool makeExifUpright(QByteArray &jpeg)
{
    const auto byte = [&](qsizetype at) { return uchar(jpeg.at(at)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return false;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (byte(at) != 0xFF)
            return false;
        const uchar marker = byte(at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return true; // the scan begins: no more blocks before it
        const qsizetype length = (qsizetype(byte(at + 2)) << 8) | byte(at + 3);
        if (length < 2 || at + 2 + length > jpeg.size())
            return false;
        static constexpr char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && length >= 2 + 6 && std::equal(kExif, kExif + 6, jpeg.constData() + at + 4)) {
            const qsizetype tiffAt = at + 10;
            const qsizetype tiffSize = length - 8;
            const std::optional<qsizetype> kept = mendTiff(jpeg.data() + tiffAt, tiffSize);
            if (!kept) {
                jpeg.remove(at, 2 + length);
                continue;
            }
            if (*kept < tiffSize) {
                jpeg.remove(tiffAt + *kept, tiffSize - *kept);
                const qsizetype newLength = *kept + 8;
                jpeg[at + 2] = char(newLength >> 8);
                jpeg[at + 3] = char(newLength & 0xFF);
            }
            at += 2 + 8 + *kept;
            continue;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace tarnwick
