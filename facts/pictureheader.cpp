#include "facts/pictureheader.h"

#include "book/regularfile.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <liburing.h>
#include <memory>
#include <sys/stat.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr qint64 kChunk = 4096;

// The bytes of a device by position, read a block at a time, forward skips
// done by seeking; nothing past limit.
class BlockReader
{
public:
    explicit BlockReader(QIODevice &device)
        : m_device(device)
    {
    }

    void setLimit(qint64 limit) { m_limit = limit; }

    // The byte at pos, or -1 past the end or the limit.
    int at(qint64 pos)
    {
        if (pos < 0 || pos >= m_limit)
            return -1;
        if (pos < m_start || pos >= m_start + m_data.size()) {
            // Past the end already met: the device has nothing more.
            if (m_ended && pos >= m_start + m_data.size())
                return -1;
            if (!m_device.isSequential() && pos >= m_device.size())
                return -1;
            if (m_device.pos() != pos && !m_device.seek(pos))
                return -1;
            const qint64 wanted = std::min(kChunk, m_limit - pos);
            m_data = m_device.read(wanted);
            m_start = pos;
            m_ended = m_data.size() < wanted;
            if (m_data.isEmpty())
                return -1;
        }
        return uchar(m_data.at(pos - m_start));
    }

    // The little- or big-endian 16-bit number at pos, or -1.
    int littleEndian16(qint64 pos)
    {
        const int low = at(pos), high = at(pos + 1);
        return low < 0 || high < 0 ? -1 : low | high << 8;
    }
    int bigEndian16(qint64 pos)
    {
        const int high = at(pos), low = at(pos + 1);
        return low < 0 || high < 0 ? -1 : low | high << 8;
    }

private:
    QIODevice &m_device;
    qint64 m_limit = std::numeric_limits<qint64>::max();
    QByteArray m_data;
    qint64 m_start = 0;
    bool m_ended = false;
};

// Reads up to size bytes of fd at pos. preadv: pread has a checked variant,
// which the package's hardening check then looks for and, with the size
// unknown here, never finds.
qint64 readAt(int fd, char *data, qint64 size, qint64 pos)
{
    iovec part{data, size_t(size)};
    for (;;) {
        const ssize_t got = ::preadv(fd, &part, 1, pos);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// A descriptor read by position: no seek, no stat and no buffer of QFile's
// own, which cost more system calls than reading a header does.
class DescriptorDevice : public QIODevice
{
public:
    DescriptorDevice(int fd, qint64 size)
        : m_fd(fd)
        , m_size(size)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override { return readAt(m_fd, data, maxSize, pos()); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int m_fd;
    qint64 m_size;
};

// A file whose first bytes were read ahead: reads within them cost nothing,
// and only a header that goes on past them opens the file to read the rest.
class PrefetchedDevice : public QIODevice
{
public:
    // start holds the file's first bytes; whole, that they are all of it;
    // size is the file's, -1 where no stat was taken.
    PrefetchedDevice(int folder, const QByteArray &name, qint64 size, QByteArrayView start, bool whole)
        : m_folder(folder)
        , m_name(name)
        , m_size(whole ? start.size() : size >= 0 ? size : std::numeric_limits<qint64>::max())
        , m_start(start)
        , m_whole(whole)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~PrefetchedDevice() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PrefetchedDevice(const PrefetchedDevice &) = delete;
    PrefetchedDevice &operator=(const PrefetchedDevice &) = delete;

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 at = pos();
        if (m_whole || at + maxSize <= m_start.size()) {
            const qint64 count = std::clamp<qint64>(m_start.size() - at, 0, maxSize);
            if (count > 0)
                std::memcpy(data, m_start.data() + at, size_t(count));
            return count;
        }
        if (m_fd < 0)
            m_fd = ::openat(m_folder, m_name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return m_fd < 0 ? -1 : readAt(m_fd, data, maxSize, at);
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int m_folder;
    const QByteArray &m_name;
    qint64 m_size;
    QByteArrayView m_start;
    bool m_whole;
    int m_fd = -1;
};

// Files the ring takes in one submission: three requests each.
constexpr unsigned kRingFiles = 64;

// A reading thread's io_uring: opens, first reads and closes of up to
// kRingFiles files in one system call. The files are opened into the ring's
// own descriptor table, so no descriptor of the process is ever taken.
class HeaderRing
{
public:
    // This thread's ring, made on first use; null where the kernel offers
    // none (too old, or refused by a sandbox) or it has failed once.
    static HeaderRing *forThisThread()
    {
        thread_local std::unique_ptr<HeaderRing> ring = make();
        if (ring && ring->m_broken)
            ring.reset();
        return ring.get();
    }

    ~HeaderRing() { io_uring_queue_exit(&m_ring); }
    HeaderRing(const HeaderRing &) = delete;
    HeaderRing &operator=(const HeaderRing &) = delete;

    // Reads the first kChunk bytes of each named file into starts (kChunk
    // bytes a file); got[i] is the count read, or -1 where the ring did not
    // read the file, which is then left to the caller.
    void readStarts(int folder, const QByteArray *names, unsigned count, char *starts, qint64 *got)
    {
        std::fill(got, got + count, -1);
        for (unsigned i = 0; i < count; ++i) {
            io_uring_sqe *open = io_uring_get_sqe(&m_ring);
            // Not blocking: a pipe put in a picture's place fails the read
            // at once instead of waiting for a writer.
            io_uring_prep_openat_direct(open, folder, names[i].constData(), O_RDONLY | O_NONBLOCK, 0, i);
            open->flags |= IOSQE_IO_LINK;
            io_uring_sqe_set_data64(open, kOpen);
            // A short read counts as failed in a link: a hard link closes anyway.
            io_uring_sqe *read = io_uring_get_sqe(&m_ring);
            io_uring_prep_read(read, int(i), starts + qint64(i) * kChunk, unsigned(kChunk), 0);
            read->flags |= IOSQE_FIXED_FILE | IOSQE_IO_HARDLINK;
            io_uring_sqe_set_data64(read, kRead | i);
            io_uring_sqe *close = io_uring_get_sqe(&m_ring);
            io_uring_prep_close_direct(close, i);
            io_uring_sqe_set_data64(close, kClose);
        }
        const unsigned total = 3 * count;
        int submitted;
        do
            submitted = io_uring_submit(&m_ring);
        while (submitted == -EINTR);
        if (submitted < 0) {
            m_broken = true;
            return;
        }
        // Requests left unsent make the ring unusable; those sent are still
        // waited for, as they write into starts.
        if (unsigned(submitted) != total)
            m_broken = true;
        bool anyRead = false;
        for (unsigned waited = 0; waited < unsigned(submitted);) {
            io_uring_cqe *done = nullptr;
            const int error = io_uring_wait_cqe(&m_ring, &done);
            if (error == -EINTR)
                continue;
            if (error < 0) {
                m_broken = true;
                break;
            }
            const quint64 what = io_uring_cqe_get_data64(done);
            if ((what & kKind) == kRead && done->res >= 0) {
                got[what & kFile] = done->res;
                anyRead = true;
            }
            io_uring_cqe_seen(&m_ring, done);
            ++waited;
        }
        if (m_broken) {
            std::fill(got, got + count, -1);
            return;
        }
        // Not one file read: most likely the kernel lacks what the ring asks
        // (descriptors of the ring's own came with Linux 5.15), and this
        // thread reads one file at a time from now on.
        if (!anyRead)
            m_broken = true;
    }

private:
    HeaderRing() = default;

    static std::unique_ptr<HeaderRing> make()
    {
        std::unique_ptr<HeaderRing> ring(new HeaderRing);
        if (io_uring_queue_init(3 * kRingFiles, &ring->m_ring, 0) != 0)
            return nullptr;
        std::array<int, kRingFiles> empty;
        empty.fill(-1);
        if (io_uring_register_files(&ring->m_ring, empty.data(), kRingFiles) != 0)
            return nullptr;
        return ring;
    }

    static constexpr quint64 kKind = quint64(3) << 32;
    static constexpr quint64 kOpen = quint64(1) << 32;
    static constexpr quint64 kRead = quint64(2) << 32;
    static constexpr quint64 kClose = quint64(3) << 32;
    static constexpr quint64 kFile = 0xFFFFFFFF;

    io_uring m_ring{};
    bool m_broken = false;
};

// Walks a GIF's blocks up to its first image descriptor, as Qt's reader
// scans for sizes.
std::optional<QSize> gifSize(BlockReader &bytes)
{
    int screenWidth = bytes.littleEndian16(6);
    int screenHeight = bytes.littleEndian16(8);
    const int flags = bytes.at(10);
    if (flags < 0 || bytes.at(12) < 0)
        return std::nullopt;
    qint64 pos = 13;
    if (flags & 0x80)
        pos += 3 * (2 << (flags & 7));
    const auto skipSubBlocks = [&]() {
        for (;;) {
            const int length = bytes.at(pos++);
            if (length <= 0)
                return length == 0;
            pos += length;
        }
    };
    for (;;) {
        switch (bytes.at(pos++)) {
        case 0x2C: { // image descriptor
            const int left = bytes.littleEndian16(pos), top = bytes.littleEndian16(pos + 2);
            const int width = bytes.littleEndian16(pos + 4), height = bytes.littleEndian16(pos + 6);
            if (left < 0 || top < 0 || width < 0 || height < 0 || bytes.at(pos + 8) < 0)
                return std::nullopt;
            // Qt disbelieves a logical screen far larger than the first frame
            // and takes the frame's right and bottom edge instead.
            if (screenWidth / 10 > std::max(width, 200))
                screenWidth = -1;
            if (screenHeight / 10 > std::max(height, 200))
                screenHeight = -1;
            if (screenWidth <= 0)
                screenWidth = left + width;
            if (screenHeight <= 0)
                screenHeight = top + height;
            if (screenWidth <= 0 || screenHeight <= 0)
                return std::nullopt;
            return QSize(screenWidth, screenHeight);
        }
        case 0x21: { // extension
            const int label = bytes.at(pos++);
            if (label < 0)
                return std::nullopt;
            // Graphic control and application extensions open with a block
            // Qt reads by its length byte; the rest are sub-blocks alone.
            if (label == 0xF9 || label == 0xFF) {
                const int length = bytes.at(pos++);
                if (length < 0)
                    return std::nullopt;
                pos += length;
            }
            if (!skipSubBlocks())
                return std::nullopt;
            break;
        }
        default: // the trailer, anything else, or the end of the bytes
            return std::nullopt;
        }
    }
}

bool isExifBlock(BlockReader &bytes, qint64 pos, int length)
{
    static constexpr char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (length < int(sizeof kExifHeader))
        return false;
    for (size_t i = 0; i < sizeof kExifHeader; ++i) {
        if (bytes.at(pos + qint64(i)) != kExifHeader[i])
            return false;
    }
    return true;
}

bool isStartOfFrame(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

PictureHeader::Coding codingOf(int marker)
{
    switch (marker) {
    case 0xC0:
        return PictureHeader::Coding::Baseline;
    case 0xC1:
        return PictureHeader::Coding::Extended;
    case 0xC2:
        return PictureHeader::Coding::Progressive;
    case 0xC3:
        return PictureHeader::Coding::Lossless;
    case 0xC9:
    case 0xCA:
    case 0xCB:
        return PictureHeader::Coding::Arithmetic;
    default: // C5-C7 and CD-CF: differential frames
        return PictureHeader::Coding::Hierarchical;
    }
}

// The orientation tag of IFD0 in the TIFF structure of an EXIF block (after
// its six-byte "Exif\0\0"), or 1. Every offset is checked against the block.
int exifOrientation(BlockReader &bytes, qint64 start, int length)
{
    const qint64 tiff = start + 6;
    const qint64 end = start + length;
    const int order = bytes.bigEndian16(tiff);
    if (order != 0x4949 && order != 0x4D4D)
        return 1;
    const bool little = order == 0x4949;
    const auto u16 = [&](qint64 pos) -> qint64 {
        if (pos + 2 > end)
            return -1;
        return little ? bytes.littleEndian16(pos) : bytes.bigEndian16(pos);
    };
    const auto u32 = [&](qint64 pos) -> qint64 {
        const qint64 a = u16(pos), b = u16(pos + 2);
        if (a < 0 || b < 0)
            return -1;
        return little ? a | b << 16 : a << 16 | b;
    };
    if (u16(tiff + 2) != 42)
        return 1;
    const qint64 ifd = u32(tiff + 4);
    if (ifd < 8)
        return 1;
    const qint64 count = u16(tiff + ifd);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 entry = tiff + ifd + 2 + 12 * i;
        const qint64 tag = u16(entry);
        if (tag < 0)
            return 1;
        if (tag != 0x0112)
            continue;
        // A SHORT holds its value in the first two bytes of the value field.
        if (u16(entry + 2) != 3)
            return 1;
        const qint64 value = u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

struct JpegFacts
{
    std::optional<QSize> size;
    std::optional<PictureHeader::Block> exif;
    int orientation = 1;
    PictureHeader::ColourSpace colourSpace = PictureHeader::ColourSpace::Rgb;
    PictureHeader::Coding coding = PictureHeader::Coding::None;
    int precision = 8;
};

// The Adobe block's transform byte (0 none, 1 YCbCr, 2 YCCK), or -1 when the
// block at pos is no Adobe block.
int adobeTransform(BlockReader &bytes, qint64 pos, int length)
{
    static constexpr char kAdobe[] = {'A', 'd', 'o', 'b', 'e'};
    if (length < 12)
        return -1;
    for (size_t i = 0; i < sizeof kAdobe; ++i) {
        if (bytes.at(pos + qint64(i)) != kAdobe[i])
            return -1;
    }
    return bytes.at(pos + 11);
}

// Walks a JPEG's markers up to its frame header, as libjpeg reads them:
// stray bytes and fill bytes between markers are passed over, segments are
// skipped by their length. Notes the first EXIF block passed on the way, its
// orientation, and the first Adobe block's transform.
void readJpeg(BlockReader &bytes, JpegFacts &facts, bool pageFacts)
{
    // libjpeg's largest side; beyond it Qt reads no size.
    constexpr int kLargestSide = 65500;
    int transform = -1;
    qint64 pos = 2;
    for (;;) {
        int c = bytes.at(pos++);
        while (c >= 0 && c != 0xFF)
            c = bytes.at(pos++);
        while (c == 0xFF)
            c = bytes.at(pos++);
        if (c < 0)
            return;
        if (c == 0) // a stuffed 0xFF is data
            continue;
        if (isStartOfFrame(c)) {
            const int height = bytes.bigEndian16(pos + 3);
            const int width = bytes.bigEndian16(pos + 5);
            if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
                return;
            facts.size = QSize(width, height);
            facts.coding = codingOf(c);
            facts.precision = std::max(bytes.at(pos + 2), 0);
            // As libjpeg guesses the colour space: four components are CMYK
            // unless an Adobe block says YCCK.
            switch (bytes.at(pos + 7)) {
            case 1:
                facts.colourSpace = PictureHeader::ColourSpace::Grey;
                break;
            case 4:
                facts.colourSpace = transform == 2 ? PictureHeader::ColourSpace::Ycck : PictureHeader::ColourSpace::Cmyk;
                break;
            default:
                break;
            }
            return;
        }
        if (c == 0xD8 || c == 0xD9 || c == 0xDA) // a second start, the end, or a scan before any frame
            return;
        if ((c >= 0xD0 && c <= 0xD7) || c == 0x01) // markers without a segment
            continue;
        const int length = bytes.bigEndian16(pos);
        if (length < 0)
            return;
        if (c == 0xE1 && !facts.exif && isExifBlock(bytes, pos + 2, length - 2)) {
            facts.exif = PictureHeader::Block{pos + 2, length - 2};
            if (pageFacts)
                facts.orientation = exifOrientation(bytes, pos + 2, length - 2);
        }
        if (c == 0xEE && transform < 0 && pageFacts)
            transform = adobeTransform(bytes, pos + 2, length - 2);
        pos += std::max(length, 2);
    }
}

} // namespace

PictureHeader PictureHeader::read(QIODevice &device, Reading reading)
{
    PictureHeader header;
    if (!device.isSequential() && device.pos() != 0)
        device.seek(0);
    BlockReader bytes(device);
    QByteArray magic;
    for (int i = 0; i < 6 && bytes.at(i) >= 0; ++i)
        magic += char(bytes.at(i));
    if (magic == "GIF87a" || magic == "GIF89a") {
        header.m_size = gifSize(bytes);
    } else if (magic.startsWith("\xFF\xD8")) {
        // A frame header lies in the first kilobytes of any real JPEG; a huge
        // file of zeros after FF D8 is not walked to its end.
        bytes.setLimit(kJpegHeaderLimit);
        JpegFacts facts;
        readJpeg(bytes, facts, reading == Reading::PageFacts);
        header.m_size = facts.size;
        header.m_exif = facts.exif;
        header.m_orientation = facts.orientation;
        header.m_colourSpace = facts.colourSpace;
        header.m_coding = facts.coding;
        header.m_precision = facts.precision;
    } else {
        header.m_failure = Failure::NotGifOrJpeg;
        header.m_reason = QStringLiteral("not a GIF or JPEG picture");
        return header;
    }
    if (!header.m_size) {
        header.m_failure = Failure::NoSize;
        header.m_reason = QStringLiteral("no size in its header");
    }
    return header;
}

PictureHeader PictureHeader::readFileAt(int folder, const QByteArray &name, Reading reading,
                                        std::optional<Stamp> *stamp)
{
    PictureHeader header;
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        header = cannotOpen(errno);
        if (fd >= 0)
            ::close(fd);
        return header;
    }
    if (stamp) {
        const qint64 ms = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
        // UTC: a local time would look up the time zone, under a lock, for each file.
        *stamp = Stamp{qint64(info.st_size), QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        header.m_failure = Failure::CannotOpen;
        header.m_reason = notRegularFileReason();
        return header;
    }
    DescriptorDevice device(fd, qint64(info.st_size));
    header = read(device, reading);
    ::close(fd);
    return header;
}

std::vector<PictureHeader> PictureHeader::readFilesAt(int folder, const std::vector<QByteArray> &names,
                                                     const std::vector<qint64> &sizes, Reading reading,
                                                     std::vector<bool> *present)
{
    std::vector<PictureHeader> headers(names.size());
    if (present)
        present->assign(names.size(), true);
    // A file that failed to open for another reason than being gone is there.
    const auto there = [folder](const QByteArray &name) {
        return ::faccessat(folder, name.constData(), F_OK, 0) == 0 || errno != ENOENT;
    };
    thread_local std::vector<char> starts(kRingFiles * kChunk);
    std::array<qint64, kRingFiles> got{};
    for (size_t first = 0; first < names.size(); first += kRingFiles) {
        const auto count = unsigned(std::min<size_t>(kRingFiles, names.size() - first));
        if (HeaderRing *ring = HeaderRing::forThisThread())
            ring->readStarts(folder, names.data() + first, count, starts.data(), got.data());
        else
            std::fill(got.begin(), got.begin() + count, -1);
        for (unsigned i = 0; i < count; ++i) {
            const QByteArray &name = names[first + i];
            if (got[i] < 0 && sizes[first + i] < 0) {
                // Read on its own, which also tells why it cannot be.
                std::optional<Stamp> stamp;
                headers[first + i] = readFileAt(folder, name, reading, &stamp);
                if (present && !stamp)
                    (*present)[first + i] = there(name);
                continue;
            }
            if (got[i] < 0) {
                // An ordinary file by its stat: no second one.
                const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd < 0) {
                    headers[first + i] = cannotOpen(errno);
                    if (present)
                        (*present)[first + i] = there(name);
                    continue;
                }
                DescriptorDevice device(fd, sizes[first + i]);
                headers[first + i] = read(device, reading);
                ::close(fd);
                continue;
            }
            PrefetchedDevice device(folder, name, sizes[first + i],
                                    QByteArrayView(starts.data() + qint64(i) * kChunk, got[i]), got[i] < kChunk);
            headers[first + i] = read(device, reading);
        }
    }
    return headers;
}

PictureHeader PictureHeader::cannotOpen(int error)
{
    PictureHeader header;
    header.m_failure = Failure::CannotOpen;
    header.m_reason = qt_error_string(error);
    return header;
}

PictureHeader PictureHeader::readFile(const QString &path, Reading reading)
{
    return readFileAt(AT_FDCWD, QFile::encodeName(path), reading);
}

} // namespace tarnwick

namespace tarnwick {

std::vector<PictureHeader> readPictureHeaders(const QString &folder, const QStringList &names, int threads,
                                              const std::function<void(qsizetype)> &progress)
{
    std::vector<PictureHeader> headers(size_t(names.size()));
    std::atomic<qsizetype> next{0};
    std::atomic<qsizetype> done{0};
    // The calling thread reads too, and reports at most ten times a second.
    const auto work = [&](bool reporting) {
        QElapsedTimer sinceReport;
        sinceReport.start();
        for (qsizetype i; (i = next.fetch_add(1)) < names.size();) {
            headers[size_t(i)] = PictureHeader::readFile(folder + names.at(i));
            done.fetch_add(1, std::memory_order_relaxed);
            if (reporting && sinceReport.elapsed() >= 100) {
                progress(done.load(std::memory_order_relaxed));
                sinceReport.restart();
            }
        }
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < std::min<qsizetype>(threads, names.size()); ++i)
        workers.emplace_back(work, false);
    if (progress)
        progress(0);
    work(bool(progress));
    for (std::thread &worker : workers)
        worker.join();
    if (progress)
        progress(names.size());
    return headers;
}

} // namespace tarnwick
