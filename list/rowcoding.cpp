#include "list/rowcoding.h"

#include <algorithm>

namespace tarnwick {

namespace {

// Unsigned numbers seven bits a byte, the high bit saying another byte follows.
void putNumber(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

void putSigned(QByteArray &out, qint64 value)
{
    putNumber(out, value < 0 ? (quint64(-(value + 1)) << 1) | 1 : quint64(value) << 1);
}

class Reader
{
public:
    explicit Reader(const QByteArray &code)
        : m_code(code)
    {
    }
    bool atEnd() const { return m_at >= m_code.size(); }
    quint64 number()
    {
        quint64 value = 0;
        for (int shift = 0; m_at < m_code.size() && shift < 64; shift += 7) {
            const auto byte = quint8(m_code.at(m_at++));
            value |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                break;
        }
        return value;
    }
    qint64 signedNumber()
    {
        const quint64 value = number();
        return value & 1 ? -qint64(value >> 1) - 1 : qint64(value >> 1);
    }
    quint8 byte() { return atEnd() ? 0 : quint8(m_code.at(m_at++)); }

private:
    const QByteArray &m_code;
    qsizetype m_at = 0;
};

// A run's kind, in the low two bits of its length.
enum RunKind : quint64 { Upwards = 0, Downwards = 1, NewEntries = 2 };

enum FlagForm : char { Runs = 0, Bitmap = 1 };

} // namespace

QByteArray encodeRowMap(const std::vector<int> &map)
{
    QByteArray out;
    const size_t count = map.size();
    for (size_t row = 0; row < count;) {
        const size_t first = row;
        if (map[row] < 0) {
            while (row < count && map[row] < 0)
                ++row;
            putNumber(out, (quint64(row - first) << 2) | NewEntries);
            continue;
        }
        int step = 1;
        if (row + 1 < count && map[row + 1] >= 0 && map[row + 1] == map[row] - 1)
            step = -1;
        ++row;
        while (row < count && map[row] >= 0 && map[row] == map[row - 1] + step)
            ++row;
        putNumber(out, (quint64(row - first) << 2) | (step > 0 ? Upwards : Downwards));
        putSigned(out, qint64(map[first]) - qint64(first));
    }
    out.squeeze();
    return out;
}

std::vector<int> decodeRowMap(const QByteArray &code, int count)
{
    std::vector<int> map;
    map.reserve(size_t(std::max(count, 0)));
    Reader in(code);
    while (!in.atEnd() && int(map.size()) < count) {
        const quint64 head = in.number();
        const auto length = std::min<quint64>(head >> 2, quint64(count) - map.size());
        const auto kind = head & 3;
        if (kind == NewEntries) {
            map.insert(map.end(), size_t(length), -1);
            continue;
        }
        const int start = int(qint64(map.size()) + in.signedNumber());
        const int step = kind == Downwards ? -1 : 1;
        for (quint64 i = 0; i < length; ++i)
            map.push_back(start + int(i) * step);
    }
    map.resize(size_t(std::max(count, 0)), -1);
    return map;
}

QByteArray encodeFlags(const std::vector<bool> &flags)
{
    QByteArray runs(1, Runs);
    const size_t count = flags.size();
    bool value = false;
    for (size_t row = 0; row < count;) {
        const size_t first = row;
        while (row < count && flags[row] == value)
            ++row;
        if (row == count && !value)
            break; // unselected to the end
        putNumber(runs, row - first);
        value = !value;
    }
    const qsizetype bitmapSize = 1 + qsizetype((count + 7) / 8);
    if (runs.size() <= bitmapSize) {
        runs.squeeze();
        return runs;
    }
    QByteArray bitmap(bitmapSize, '\0');
    bitmap[0] = Bitmap;
    for (size_t row = 0; row < count; ++row)
        if (flags[row])
            bitmap[qsizetype(1 + row / 8)] = char(quint8(bitmap[qsizetype(1 + row / 8)]) | (1u << (row % 8)));
    return bitmap;
}

std::vector<bool> decodeFlags(const QByteArray &code, int count)
{
    std::vector<bool> flags(size_t(std::max(count, 0)), false);
    Reader in(code);
    if (in.byte() == Bitmap) {
        for (int row = 0; row < count && 1 + row / 8 < code.size(); ++row)
            flags[size_t(row)] = (quint8(code.at(1 + row / 8)) >> (row % 8)) & 1;
        return flags;
    }
    bool value = false;
    size_t row = 0;
    while (!in.atEnd() && row < flags.size()) {
        const size_t end = size_t(std::min<quint64>(row + in.number(), flags.size()));
        std::fill(flags.begin() + qsizetype(row), flags.begin() + qsizetype(end), value);
        row = end;
        value = !value;
    }
    return flags;
}

} // namespace tarnwick
