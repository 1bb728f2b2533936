#include "session/booksession.h"

#include "book/boxnumber.h"
#include "book/dmlreader.h"
#include "facts/pictureheader.h"
#include "session/bookfolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSet>

#include <algorithm>
#include <memory>
#include <numeric>

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
    , m_watch(m_queue, this)
{
    m_list.setHistory(m_history.get());
    m_watch.setListed([this] { return m_list.names(); });
    connect(&m_watch, &FolderWatch::changed, this, &BookSession::applyFolderChange);
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
    const QString textBefore = m_folderText;
    // The folder listed before is not watched while the new one is read.
    m_watch.stop();
    m_deferred.clear();
    const QString folder = tarnwick::folderText(chosen);
    setFolderText(folder);
    FolderListing listed = listFolder(folder, order);
    Opened opened;
    opened.readable = listed.names.has_value();
    opened.reason = listed.reason;
    opened.firstPicture = listed.firstPicture;
    if (first == FirstPicture::Read && !listed.firstPicture.isEmpty())
        opened.firstPictureSize = readSizeByQueue(listed.firstPicture);
    // The watch knows every picture of the folder, also those left out.
    const std::optional<QStringList> known = listed.names;
    // A longer book could not be read back.
    if (capped && listed.names && listed.names->size() > kMostPages) {
        opened.capped = true;
        listed.names->resize(kMostPages);
    }
    // A picture whose JPEG name is taken is either converted already or
    // cannot be: only the others are counted as left to convert.
    const QStringList othersBefore = m_otherPictures;
    const QStringList unconvertedBefore = m_unconverted;
    const QStringList others = listed.others;
    QStringList unconverted;
    // Only a folder with other pictures pays for the set of its JPEG names.
    const QSet<QString> jpegs(listed.names && !others.isEmpty()
                                  ? QSet<QString>(listed.names->cbegin(), listed.names->cend())
                                  : QSet<QString>());
    for (const QString &other : others) {
        if (!jpegs.contains(convertedName(other)))
            unconverted.append(other);
    }
    // An unreadable folder lists nothing, and no document can be found there.
    const QString listedFrom = listed.names ? folder : QString();
    const QStringList names = listed.names.value_or(QStringList());
    const int count = int(names.size());
    if (!m_history) {
        m_list.setListing(listedFrom, names);
        setOtherPictures(others, unconverted);
        listingInPlace(folder, count, known);
        return opened;
    }
    // The first time the step is made the watch learns the pictures just
    // listed; after an undo or redo it takes the folder as it then is. The
    // pictures left to convert go with their folder.
    auto firstTime = std::make_shared<bool>(true);
    StepCompanion companion{[this, folder, count, known, firstTime, others, unconverted] {
                                setOtherPictures(others, unconverted);
                                listingInPlace(folder, count,
                                               std::exchange(*firstTime, false) ? known : std::nullopt);
                            },
                            [this, textBefore, countBefore = m_listedCount, othersBefore, unconvertedBefore] {
                                setOtherPictures(othersBefore, unconvertedBefore);
                                listingInPlace(textBefore, countBefore, std::nullopt);
                            }};
    m_list.replaceListing(listedFrom, names, QStringLiteral(u"选择图片所在目录"), std::move(companion));
    return opened;
}

BookSession::StepGroup::StepGroup(BookSession &session, const QString &text)
    : m_session(session)
{
    m_group.emplace(session.m_history.get(), text);
    ++m_session.m_groupDepth;
}

BookSession::StepGroup::~StepGroup()
{
    m_group.reset();
    if (--m_session.m_groupDepth > 0)
        return;
    // What waited goes in as steps of its own, after the group's.
    for (const FolderChange &change : std::exchange(m_session.m_deferred, {}))
        m_session.applyFolderChange(change);
}

void BookSession::setOtherPictures(const QStringList &others, const QStringList &unconverted)
{
    m_otherPictures = others;
    m_unconverted = unconverted;
    Q_EMIT unconvertedPicturesChanged();
}

void BookSession::listingInPlace(const QString &folderText, int count, const std::optional<QStringList> &known)
{
    // What was found in the folder listed before is nothing to this list.
    m_deferred.clear();
    setFolderText(folderText);
    m_listedCount = count;
    if (m_watching)
        m_watch.watch(m_list.folder(), known);
    readSizesForMode();
    Q_EMIT listingChanged();
}

void BookSession::setWatching(bool on)
{
    if (on == m_watching)
        return;
    m_watching = on;
    if (on)
        m_watch.watch(m_list.folder(), std::nullopt);
    else
        m_watch.stop();
}

void BookSession::claimPictures(const QStringList &names)
{
    for (const QString &name : names)
        m_claimed.insert(name);
}

void BookSession::recheckFolder()
{
    if (m_watching)
        m_watch.readNow();
}

void BookSession::applyFolderChange(const FolderChange &change)
{
    if (m_groupDepth > 0) {
        m_deferred.push_back(change);
        return;
    }
    std::vector<std::pair<QString, PictureFacts>> gone;
    gone.reserve(size_t(change.missing.size()));
    for (const QString &name : change.missing) {
        PictureFacts facts = m_list.knownFacts(name).value_or(PictureFacts());
        facts.byteSize.reset();
        facts.modified = {};
        facts.problem = PageProblem{PageProblem::Kind::NotFound, 1};
        gone.emplace_back(name, std::move(facts));
    }
    m_list.setFacts(std::move(gone));
    m_list.forgetFacts(change.changed + change.present);

    // A claimed picture its command placed before the watch saw it is done with.
    for (const QString &name : change.changed)
        m_claimed.remove(name);
    QStringList added;
    for (const QString &name : change.added) {
        if (!m_claimed.remove(name))
            added.append(name);
    }
    // The list holds no more than a book can.
    added.resize(std::clamp<qsizetype>(kMostPages - m_list.names().size(), 0, added.size()));
    if (!added.isEmpty()) {
        m_list.change(QStringLiteral(u"新增%1张图片").arg(added.size()),
                      [&added](QStringList &names, std::vector<bool> &selected) {
                          ListEdit edit{ListEditOutcome::Moved, std::vector<int>(size_t(names.size()))};
                          std::iota(edit.origin.begin(), edit.origin.end(), 0);
                          // Only the new pictures are selected, at the end, in name order.
                          selected.assign(size_t(names.size()), false);
                          names.append(added);
                          selected.resize(size_t(names.size()), true);
                          edit.origin.resize(size_t(names.size()), -1);
                          return edit;
                      });
    }
    // Only what changed is read: a run over the whole list would cost the
    // window's thread a pass over every entry.
    if ((m_pageCheck || m_inputs.fitMode != FitMode::Stretch) && !m_list.folder().isEmpty())
        m_sizes.readNames(change.changed + change.present + change.missing + added);
    if (!added.isEmpty())
        Q_EMIT picturesJoined(added);
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
    // The listing's own pages: the facts read so far, and the run reading
    // the rest, stay.
    if (pages == m_list.names())
        return;
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
            const PictureFacts *facts = m_list.findFacts(name);
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
