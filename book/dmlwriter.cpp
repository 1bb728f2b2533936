#include "book/dmlwriter.h"

#include "book/documenttrash.h"

#include "book/bookmessages.h"
#include "book/booknotation.h"
#include "book/boxnumber.h"
#include "book/dmlreader.h"
#include "book/gbktext.h"
#include "book/staletemporaries.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <atomic>
#include <climits>
#include <mutex>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>

namespace tarnwick {

namespace {

constexpr char crlf[] = "\r\n";

// Every page segment differs only in its number and its picture name; the
// fixed pieces between them are built once per run.
class PageBuilder
{
public:
    explicit PageBuilder(const BookSettings &settings)
    {
        const QByteArray left = encodeGbk(settings.pictureLeft).value_or(QByteArray());
        const QByteArray top = encodeGbk(settings.pictureTop).value_or(QByteArray());
        const QByteArray width = encodeGbk(settings.pictureWidth).value_or(QByteArray());
        const QByteArray height = encodeGbk(settings.pictureHeight).value_or(QByteArray());
        m_afterNumber = QByteArrayLiteral(
            "\" withtransrgn=\"NO\" rgntranscolor=\"0FF00h\" withtransclr=\"NO\" transcolor=\"0FF00h\""
            " backpgtype=\"PRENEXTPAGE\" backpgn=\"0\" pgnturntype=\"NO\" backlpgn=\"0\" backrpgn=\"0\""
            " booksepa=\"NO\" hiderulerlines=\"NO\"/>\r\n\r\n\r\n<IMAGE bitmapid=\"");
        m_typedPlace = "\" left=\"" + left + "\" top=\"" + top + "\" width=\"" + width + "\" height=\"" + height;
        m_afterPlace = QByteArrayLiteral(
            "\" zorder=\"1\" transparent=\"NO\" transparentcolor=\"00h\"/>\r\n<BITMAP id=\"");
        m_afterId = QByteArrayLiteral("\" file=\"");
        m_afterFile = QByteArrayLiteral(
            "\" width=\"10\" height=\"10\" quality=\"100\"/>\r\n\r\n</PAGE>\r\n");
    }

    // The IMAGE place of a picture placed by the box, not as typed.
    static QByteArray placeOf(const PageRect &rect)
    {
        return "\" left=\"" + QByteArray::number(rect.left) + "\" top=\"" + QByteArray::number(rect.top)
            + "\" width=\"" + QByteArray::number(rect.width) + "\" height=\"" + QByteArray::number(rect.height);
    }

    const QByteArray &typedPlace() const { return m_typedPlace; }

    // The exact length of page index's segment for a name of nameLength
    // bytes and an IMAGE place of placeLength bytes.
    qint64 size(int index, qsizetype nameLength, qsizetype placeLength) const
    {
        int digits = 1;
        for (int n = index + 1; n >= 10; n /= 10)
            ++digits;
        return 14 + digits + m_afterNumber.size() + placeLength + m_afterPlace.size() + m_afterId.size()
            + m_afterFile.size() + 3 * nameLength;
    }

    // A page segment's length for a name of nameLength bytes, at most.
    qsizetype maxSize(qsizetype nameLength) const
    {
        return 16 + 5 + m_afterNumber.size() + std::max<qsizetype>(m_typedPlace.size(), kLongestPlace)
            + m_afterPlace.size() + m_afterId.size() + m_afterFile.size() + 3 * nameLength;
    }

    // Replaces out's content by page index's segment. out keeps its storage,
    // so a reused buffer allocates nothing per page.
    void build(QByteArray &out, int index, QByteArrayView name, QByteArrayView place) const
    {
        out.resize(maxSize(name.size()));
        char *p = out.data();
        p = put(p, "<PAGE number=\"");
        p = std::to_chars(p, p + 12, index + 1).ptr;
        p = put(p, m_afterNumber);
        p = put(p, name);
        p = put(p, place);
        p = put(p, m_afterPlace);
        p = put(p, name);
        p = put(p, m_afterId);
        p = put(p, name);
        p = put(p, m_afterFile);
        out.truncate(p - out.constData());
    }

private:
    static char *put(char *p, QByteArrayView bytes)
    {
        std::memcpy(p, bytes.data(), size_t(bytes.size()));
        return p + bytes.size();
    }

    // Four 20-digit numbers and their attribute names.
    static constexpr qsizetype kLongestPlace = 4 * 20 + 40;

    QByteArray m_afterNumber;
    QByteArray m_typedPlace;
    QByteArray m_afterPlace;
    QByteArray m_afterId;
    QByteArray m_afterFile;
};

bool writeAll(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}

// A name's length in GBK: one byte for ASCII and the euro sign, two for
// every other character GBK holds (names it cannot hold are refused anyway).
qsizetype gbkLength(const QString &name)
{
    qsizetype length = 0;
    for (const QChar c : name)
        length += c.unicode() < 0x80 || c.unicode() == 0x20AC ? 1 : 2;
    return length;
}

// The temporary documents being written, for the signal handler: fixed
// storage and lock-free flags, which is all a handler may touch.
struct PendingTemporary
{
    std::atomic<int> state{0}; // free, being filled, armed
    char path[PATH_MAX] = {};
};
constexpr int kFree = 0, kFilling = 1, kArmed = 2;
PendingTemporary pendingTemporaries[8];

extern "C" void removeTemporariesAndEnd(int signal)
{
    for (PendingTemporary &pending : pendingTemporaries) {
        if (pending.state.load() == kArmed)
            ::unlink(pending.path);
    }
    // Then the signal's own end, with the status a shell expects.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigaction(signal, &plain, nullptr);
    ::raise(signal);
}

// Once per process, for the signals that end it by default; a disposition
// the program or its caller chose (nohup's ignored SIGHUP) stays.
void watchEndingSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL
                || (current.sa_flags & SA_SIGINFO))
                continue;
            struct sigaction watching {};
            watching.sa_handler = removeTemporariesAndEnd;
            sigemptyset(&watching.sa_mask);
            ::sigaction(signal, &watching, nullptr);
        }
    });
}

// A slot holding path for the handler, or -1 when all are taken.
int armTemporary(const QByteArray &path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    watchEndingSignals();
    for (int i = 0; i < int(std::size(pendingTemporaries)); ++i) {
        PendingTemporary &pending = pendingTemporaries[i];
        int expected = kFree;
        if (!pending.state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(pending.path, path.constData(), size_t(path.size()) + 1);
        pending.state.store(kArmed);
        return i;
    }
    return -1;
}

void disarmTemporary(int slot)
{
    if (slot >= 0)
        pendingTemporaries[slot].state.store(kFree);
}

// The new document's file beside its target: created here, written with
// write(2) until every byte is taken or the system gives its reason, and
// removed again unless released. QSaveFile would follow a link at the target
// and reports a short write as "Unknown error".
class DescriptorDevice : public QIODevice
{
public:
    ~DescriptorDevice() override { discard(); }

    bool create(const QByteArray &target)
    {
        // An unpredictable hidden name beside the target; O_EXCL and
        // O_NOFOLLOW never open anything already there.
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray stem = target.left(slash + 1) + '.' + target.mid(slash + 1) + '.';
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_path = stem + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
            // Armed before it exists: a signal right after the open still
            // finds it.
            m_slot = armTemporary(m_path);
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                break;
            const int error = errno;
            disarmTemporary(std::exchange(m_slot, -1));
            m_path.clear();
            if (error != EEXIST) {
                errno = error;
                return failed();
            }
        }
        if (m_fd < 0)
            return failed();
        // The older document's permissions carry over, as a save in place
        // would keep them; a link's target is not looked at.
        struct stat older;
        if (::lstat(target.constData(), &older) == 0 && S_ISREG(older.st_mode))
            ::fchmod(m_fd, older.st_mode & 0777);
        return open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    // Writes what is gathered, makes the file durable and closes it: false,
    // with the reason, when the system could not.
    bool finish()
    {
        if (!writeOut() || ::fdatasync(m_fd) != 0)
            return failed();
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return failed();
        return true;
    }

    // The file now lives under another name: it is not removed.
    void release()
    {
        m_path.clear();
        disarmTemporary(std::exchange(m_slot, -1));
    }

    void discard()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
        if (!m_path.isEmpty())
            ::unlink(std::exchange(m_path, QByteArray()).constData());
        disarmTemporary(std::exchange(m_slot, -1));
    }

    const QByteArray &path() const { return m_path; }

protected:
    qint64 readData(char *, qint64) override { return -1; }

    // Page segments are gathered into larger writes: one system call per
    // page would cost more than the rest of the run.
    qint64 writeData(const char *data, qint64 length) override
    {
        m_gathered.append(data, qsizetype(length));
        if (m_gathered.size() >= kGathered && !writeOut())
            return -1;
        return length;
    }

private:
    static constexpr qsizetype kGathered = 256 * 1024;

    bool writeOut()
    {
        qsizetype done = 0;
        while (done < m_gathered.size()) {
            const ssize_t written = ::write(m_fd, m_gathered.constData() + done, size_t(m_gathered.size() - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return failed();
            }
            done += written;
        }
        m_gathered.clear();
        return true;
    }

    bool failed()
    {
        setErrorString(qt_error_string(errno));
        return false;
    }

    QByteArray m_path;
    QByteArray m_gathered;
    int m_fd = -1;
    int m_slot = -1;
};

// The temporary name of a document: "." + its name + "." + a number in base 36.
bool isTemporaryDocument(QByteArrayView name, QByteArrayView documentName)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (!name.startsWith('.') || dot <= 1 || name.size() - dot - 1 < 1 || name.size() - dot - 1 > 13)
        return false;
    for (const char c : name.sliced(dot + 1)) {
        if (!(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'z'))
            return false;
    }
    const QByteArrayView stem = name.sliced(1, dot - 1);
    return stem == documentName || (stem.size() >= 4 && stem.last(4).toByteArray().toLower() == ".dml");
}

// Removes what killed runs left in the document's folder.
void removeStaleDocuments(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray documentName = target.mid(slash + 1);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    removeStaleTemporaries(fd, [&](QByteArrayView name) { return isTemporaryDocument(name, documentName); });
    ::close(fd);
}

// A private folder for lock files: $XDG_RUNTIME_DIR, else one of the user's
// own in the temporary folder.
QString lockFolder()
{
    const auto isPrivate = [](const QString &path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
            && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivate(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/tarnwick-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivate(own) ? own : QString();
}

// Holds the document's lock (flock) while it lives; without a lock folder or
// file, it holds nothing and the run goes on alone.
class DocumentLock
{
public:
    explicit DocumentLock(const QString &path)
    {
        const QString file = documentLockPath(path);
        if (file.isEmpty())
            return;
        m_fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    DocumentLock(const DocumentLock &) = delete;
    DocumentLock &operator=(const DocumentLock &) = delete;
    ~DocumentLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    int m_fd = -1;
};

QString unwritableNameReason(const QString &name)
{
    return messages::unwritablePictureName() + name;
}

// The picture box as the checks read it.
PageRect typedBox(const BookSettings &settings)
{
    return {readBoxNumber(settings.pictureLeft).value, readBoxNumber(settings.pictureTop).value,
            readBoxNumber(settings.pictureWidth).value, readBoxNumber(settings.pictureHeight).value};
}

// Page index's IMAGE place: the typed texts when stretching, else where its
// picture goes in the box; nothing when its size is unknown.
std::optional<QByteArray> pagePlace(const PageBuilder &builder, const BookSettings &settings, const PageRect &box,
                                    const PictureSizes &sizes, int index)
{
    if (settings.fitMode == FitMode::Stretch)
        return builder.typedPlace();
    const QSize pixels = size_t(index) < sizes.size() ? sizes[size_t(index)] : QSize();
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return std::nullopt;
    return PageBuilder::placeOf(placePicture(settings.fitMode, box, pixels));
}


} // namespace

QByteArray headSegment(const BookSettings &settings)
{
    QByteArray head;
    head.reserve(1024);
    head += crlf;
    head += "<BOOKHEAD version=\"2.0.2\" editor=\"DeskTopAuthor\" editorversion=\"4.5.7\"/>\r\n\r\n";
    head += "<PAGEFORMAT pagenumber=\"" + QByteArray::number(settings.pictures.size())
        + "\" papercolor=\"" + colourNotation(settings.backgroundColour)
        + "\" maskcolor=\"0FF00h\" turnmode=\"FLY3\" withcart=\"NO\" lineheight=\"2\" maxlines=\"5\""
          " flyspeed=\"FASTEST\" exheight=\"40\" showstate=\"WITHOUTMENU\" trackinterval=\"30\""
          " withtrack=\"NO\" bordercolor=\""
        + borderColourNotation(settings.borderOn(), settings.borderColour)
        + "\" characterset=\"CHINESEGB2312\" unicode=\"NO\" withpassword=\"NO\" pagenumbertype=\"1\""
          " backfilenumber=\"1\" disableprint=\"YES\" disableemail=\"YES\" autostart=\"NO\""
          " pagetransitions=\"5,5,5,5,5,5,5,5,5,5\" pagetimeintervals=\"5,5,5,5,5,5,5,5,5,5\""
          " withbackwindow=\"NO\" backwindowcolor=\"00h\" withbooktrans=\"NO\" booktransclr=\"0FF00h\""
          " booktranspgn=\"0\" bookupid=\"1\" noborder=\""
        + noBorderNotation(settings.borderOn())
        + "\" disablesaveas=\"YES\" bookdrmpagenum=\"3\" bookdrmmode=\"0\" boundopacity=\"80\""
          " boundbackcolor=\"0808080h\" bookviewprotect=\"0\" bookeditimgprotect=\"2\""
          " bookeimgdrmpgn=\"3\" bookeimgdrmitn=\"5\" minimumwmpver=\"6\"/>\r\n\r\n";
    head += "<DIMENSION width=\"" + encodeGbk(settings.bookWidth).value_or(QByteArray())
        + "\" height=\"" + encodeGbk(settings.bookHeight).value_or(QByteArray()) + "\"/>\r\n\r\n";
    return head;
}

std::optional<QByteArray> pageSegment(const BookSettings &settings, int index, const PictureSizes &sizes)
{
    const std::optional<QByteArray> name = encodePictureName(settings.pictures.at(index));
    const PageBuilder builder(settings);
    const std::optional<QByteArray> place = pagePlace(builder, settings, typedBox(settings), sizes, index);
    if (!name || !place)
        return std::nullopt;
    QByteArray page;
    builder.build(page, index, *name, *place);
    return page;
}

std::optional<QString> writeDocument(QIODevice &device, const BookSettings &settings, const PictureSizes &sizes)
{
    for (const QString *box : {&settings.bookWidth, &settings.bookHeight, &settings.pictureWidth,
                               &settings.pictureHeight, &settings.pictureLeft, &settings.pictureTop}) {
        if (!encodeGbk(*box))
            return messages::enterNumber() + u' ' + *box;
    }
    if (!writeAll(device, headSegment(settings)))
        return device.errorString();

    const PageBuilder builder(settings);
    const PageRect box = typedBox(settings);
    QByteArray page;
    page.reserve(builder.maxSize(256));
    QByteArray name;
    name.reserve(256);
    PictureNameEncoder encoder;
    const int count = int(settings.pictures.size());
    for (int i = 0; i < count; ++i) {
        const QString &picture = settings.pictures.at(i);
        // The checks have refused unwritable names; this guards a caller that
        // skipped them, so a name never reaches the document as "?".
        if (!encoder.encode(picture, name))
            return unwritableNameReason(picture);
        const std::optional<QByteArray> place = pagePlace(builder, settings, box, sizes, i);
        if (!place)
            return messages::unreadableSizes() + picture;
        builder.build(page, i, name, *place);
        if (!writeAll(device, page))
            return device.errorString();
    }
    return std::nullopt;
}

std::optional<QString> documentTooLarge(const BookSettings &settings, const PictureSizes &sizes)
{
    const qsizetype pages = settings.pictures.size();
    if (pages > kMostPages)
        return messages::tooManyPages();
    const PageBuilder builder(settings);
    const PageRect box = typedBox(settings);
    qint64 size = headSegment(settings).size();
    for (qsizetype i = 0; i < pages; ++i) {
        const std::optional<QByteArray> place = pagePlace(builder, settings, box, sizes, int(i));
        size += builder.size(int(i), gbkLength(settings.pictures.at(i)), place ? place->size() : 0);
        if (size > kLargestDocument)
            return messages::documentTooLarge();
    }
    return std::nullopt;
}

QString documentLockPath(const QString &path)
{
    const QFileInfo document(path);
    struct stat folder {};
    const QString locks = lockFolder();
    if (locks.isEmpty() || ::stat(QFile::encodeName(document.absolutePath()).constData(), &folder) != 0)
        return {};
    const QByteArray name = QCryptographicHash::hash(QFile::encodeName(document.fileName()), QCryptographicHash::Md5);
    return locks + QStringLiteral("/tarnwick-%1-%2-%3.lock")
                       .arg(quint64(folder.st_dev), 0, 16)
                       .arg(quint64(folder.st_ino), 0, 16)
                       .arg(QString::fromLatin1(name.toHex()));
}

std::optional<DocumentFailure> writeDocumentFile(const BookSettings &settings, const PictureSizes &sizes,
                                                 OlderDocument olderDocument)
{
    const auto notWritten = [](const QString &reason) {
        return DocumentFailure{DocumentFailure::Kind::NotWritten, reason};
    };
    if (std::optional<QString> refusal = documentTooLarge(settings, sizes))
        return notWritten(*refusal);
    const QByteArray path = QFile::encodeName(settings.outputPath());
    removeStaleDocuments(path);

    // The new document is written beside the target and renamed over it only
    // once it is whole and on disk, so a failed run leaves the older one as
    // it was. rename() replaces a symbolic link at the path itself: a planted
    // link never leads the book out of the folder.
    DescriptorDevice temporary;
    if (!temporary.create(path))
        return notWritten(temporary.errorString());
    const auto discard = qScopeGuard([&] { temporary.discard(); });

    if (std::optional<QString> reason = writeDocument(temporary, settings, sizes))
        return notWritten(*reason);
    if (!temporary.finish())
        return notWritten(temporary.errorString());

    // From the trash to the rename one run at a time: two runs linking the
    // same older document would trash it twice, and the later rename would
    // replace the earlier run's document without trashing it.
    const DocumentLock lock(settings.outputPath());
    // Linked into the trash only now, with the new document whole: a failed
    // write never reaches the trash, and a failed rename takes it back.
    TrashedDocument older;
    if (olderDocument == OlderDocument::ToTrash) {
        older = TrashedDocument::link(settings.outputPath());
        if (older.isRefused())
            return DocumentFailure{DocumentFailure::Kind::TrashRefused, older.refusal()};
    }
    if (::rename(temporary.path().constData(), path.constData()) != 0) {
        const int error = errno;
        older.undo();
        return notWritten(qt_error_string(error));
    }
    temporary.release();
    return std::nullopt;
}

std::optional<QString> saveDocument(const BookSettings &settings, const PictureSizes &sizes,
                                    OlderDocument olderDocument)
{
    const std::optional<DocumentFailure> failure = writeDocumentFile(settings, sizes, olderDocument);
    if (!failure)
        return std::nullopt;
    if (failure->kind == DocumentFailure::Kind::TrashRefused)
        return messages::cannotTrash() + failure->reason;
    return messages::cannotWrite() + settings.outputPath() + u'\n' + failure->reason;
}

} // namespace tarnwick
