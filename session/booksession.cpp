#include "session/booksession.h"

#include "book/boxnumber.h"
#include "book/dmlreader.h"
#include "facts/pictureheader.h"
#include "session/bookfolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSet>

namespace tarnwick {

namespace {

// The session keeps the folder and the pictures itself.
BookSettings withoutListing(BookSettings inputs)
{
    inputs.pictureFolder.clear();
    inputs.pictures.clear();
    return inputs;
}

} // namespace

BookSession::BookSession(std::unique_ptr<ListHistory> history, QObject *parent)
    : QObject(parent)
    , m_queue(WorkQueue::defaultThreadCount(), this)
    , m_history(std::move(history))
    , m_list(this)
    , m_sizes(m_list, m_queue, this)
{
    m_list.setHistory(m_history.get());
}

BookSession::~BookSession() = default;

void BookSession::setFolderText(const QString &text)
{
    if (text == m_folderText)
        return;
    m_folderText = text;
    Q_EMIT folderTextChanged(text);
}

void BookSession::setInputs(const BookSettings &inputs)
{
    const BookSettings stripped = withoutListing(inputs);
    if (stripped == m_inputs)
        return;
    const bool modeChanged = stripped.fitMode != m_inputs.fitMode;
    m_inputs = stripped;
    if (modeChanged)
        readSizesForMode();
    Q_EMIT inputsChanged();
}

void BookSession::changeInputs(const QString &text, const BookSettings &inputs)
{
    const BookSettings before = m_inputs;
    const BookSettings after = withoutListing(inputs);
    if (after == before)
        return;
    m_list.change(
        text, [](QStringList &, std::vector<bool> &) { return ListEdit{}; },
        {[this, after] { setInputs(after); }, [this, before] { setInputs(before); }});
}

BookSettings BookSession::book() const
{
    BookSettings book = m_inputs;
    book.pictureFolder = m_folderText;
    book.pictures = m_list.names();
    return book;
}

BookSession::Opened BookSession::openFolder(const QString &chosen, NameOrder order, bool capped, FirstPicture first)
{
    const QString folder = tarnwick::folderText(chosen);
    setFolderText(folder);
    FolderListing listed = listFolder(folder, order);
    Opened opened;
    opened.readable = listed.names.has_value();
    opened.reason = listed.reason;
    opened.firstPicture = listed.firstPicture;
    if (first == FirstPicture::Read && !listed.firstPicture.isEmpty())
        opened.firstPictureSize = readSizeByQueue(listed.firstPicture);
    // A longer book could not be read back.
    if (capped && listed.names && listed.names->size() > kMostPages) {
        opened.capped = true;
        listed.names->resize(kMostPages);
    }
    // A picture whose JPEG name is taken is either converted already or
    // cannot be: only the others are counted as left to convert.
    m_otherPictures = listed.others;
    m_unconverted.clear();
    const QSet<QString> jpegs(listed.names ? QSet<QString>(listed.names->cbegin(), listed.names->cend())
                                           : QSet<QString>());
    for (const QString &other : std::as_const(m_otherPictures)) {
        if (!jpegs.contains(convertedName(other)))
            m_unconverted.append(other);
    }
    // An unreadable folder lists nothing, and no document can be found there.
    m_list.setListing(listed.names ? folder : QString(), listed.names.value_or(QStringList()));
    readSizesForMode();
    Q_EMIT unconvertedPicturesChanged();
    return opened;
}

std::optional<QSize> BookSession::readSizeByQueue(const QString &path)
{
    std::optional<QSize> size;
    bool delivered = false;
    QEventLoop loop;
    const WorkQueue::JobId job = m_queue.post(this, [&, path](const std::atomic_bool &) -> WorkQueue::Delivery {
        return [&, read = PictureHeader::readFile(path).size()] {
            size = read;
            delivered = true;
            loop.quit();
        };
    });
    // A click meanwhile would act on a list that is being replaced.
    if (!delivered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Ended early (the program quitting): the result must not arrive later.
    m_queue.cancel(job);
    return size;
}

void BookSession::setPages(const QStringList &pages)
{
    m_list.setListing(m_list.folder(), pages);
    readSizesForMode();
}

void BookSession::noteConverted(const QStringList &pictures)
{
    const QSet<QString> done(pictures.cbegin(), pictures.cend());
    const qsizetype removed = m_unconverted.removeIf([&](const QString &name) { return done.contains(name); });
    if (removed > 0)
        Q_EMIT unconvertedPicturesChanged();
}

void BookSession::readSizesForMode()
{
    if ((m_pageCheck || m_inputs.fitMode != FitMode::Stretch) && !m_list.folder().isEmpty())
        m_sizes.readAll();
    else
        m_sizes.stop();
}

GenerateOutcome BookSession::generateBook(const SizeWait &wait, OlderDocument older, Listing listing)
{
    GenerateOutcome outcome;
    // Document and settings both come from this one reading of the inputs.
    outcome.book = book();
    const BookSettings &book = outcome.book;
    outcome.path = book.outputPath();
    if (std::optional<CheckFailure> failure = checkBook(book)) {
        outcome.kind = GenerateOutcome::Kind::CheckFailed;
        outcome.failure = std::move(failure);
        return outcome;
    }
    // A picture removed since the listing would become a page without one.
    if (QStringList vanished = listing == Listing::JustListed ? QStringList()
                                                              : vanishedPictures(book.pictureFolder, book.pictures);
        !vanished.isEmpty()) {
        outcome.kind = GenerateOutcome::Kind::PicturesVanished;
        outcome.pictures = std::move(vanished);
        return outcome;
    }
    // Let a window repaint before a long write.
    QCoreApplication::processEvents();

    // Contain and shrink place each page by its picture: every size must be
    // known before anything is written.
    PictureSizes &sizes = outcome.sizes;
    if (book.fitMode != FitMode::Stretch) {
        const QString folder = m_list.folder();
        m_sizes.readAll();
        if (m_sizes.isReading() && (!wait(m_sizes) || m_sizes.isReading())) {
            m_sizes.stop();
            outcome.kind = GenerateOutcome::Kind::Cancelled;
            return outcome;
        }
        // A folder listed meanwhile took the facts of this one away.
        if (m_list.folder() != folder) {
            outcome.kind = GenerateOutcome::Kind::Cancelled;
            return outcome;
        }
        QSet<QString> named;
        sizes.reserve(size_t(book.pictures.size()));
        for (const QString &name : book.pictures) {
            const std::optional<PictureFacts> facts = m_list.knownFacts(name);
            sizes.push_back(facts && facts->pixelSize ? *facts->pixelSize : QSize());
            if (sizes.back().isValid() || named.contains(name))
                continue;
            named.insert(name);
            outcome.pictures.append(name);
            outcome.reasons.append(facts ? facts->sizeReason : QString());
        }
        if (!outcome.pictures.isEmpty()) {
            outcome.kind = GenerateOutcome::Kind::SizesUnreadable;
            return outcome;
        }
    }
    writeAgain(outcome, older);
    return outcome;
}

void BookSession::writeAgain(GenerateOutcome &outcome, OlderDocument older)
{
    // The older document is replaced only by a complete new one.
    outcome.kind = GenerateOutcome::Kind::Written;
    outcome.reason.clear();
    if (std::optional<DocumentFailure> failure = writeDocumentFile(outcome.book, outcome.sizes, older)) {
        outcome.kind = failure->kind == DocumentFailure::Kind::TrashRefused ? GenerateOutcome::Kind::TrashRefused
                                                                            : GenerateOutcome::Kind::WriteFailed;
        outcome.reason = std::move(failure->reason);
    }
}

bool waitForSizes(PictureSizeReader &sizes, WorkQueue &queue)
{
    queue.waitForIdle();
    return !sizes.isReading();
}

} // namespace tarnwick
