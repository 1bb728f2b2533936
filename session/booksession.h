#pragma once

#include "book/bookcheck.h"
#include "book/booksettings.h"
#include "book/dmlwriter.h"
#include "facts/picturefolder.h"
#include "session/folderwatch.h"
#include "list/picturelist.h"
#include "session/picturesizereader.h"
#include "queue/workqueue.h"

#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tarnwick {

// What one run of the generate sequence came to; the window turns it into
// its boxes, tarnwick-make into its lines and exit status.
struct GenerateOutcome
{
    enum class Kind {
        Written,          // the document is at path
        CheckFailed,      // failure says which input
        PicturesVanished, // pictures: listed, no longer in the folder
        SizesUnreadable,  // pictures and reasons: no size in their headers
        Cancelled,        // the wait for the sizes was given up, or the list replaced meanwhile
        WriteFailed,      // reason: the system's, or why the reader would refuse the book
        TrashRefused,     // reason: why a trash that is there cannot take the older document
    };
    Kind kind = Kind::Written;
    std::optional<CheckFailure> failure;
    QStringList pictures; // each once, in page order
    QStringList reasons;  // with SizesUnreadable, one per picture
    QString reason;
    QString path;         // where the document goes
    BookSettings book;    // what was checked and written
    PictureSizes sizes;   // each page's picture size, where the way of placing needs them
};

// One book being made, without a widget: the folder, the picture list, the
// book's inputs, what is known of the pictures and the one background queue
// that finds it out. The window and tarnwick-make each drive one session;
// generateBook() is the one generate sequence both run.
//
// The folder is kept twice on purpose: folderText() is what the user chose
// last (a cancelled browse empties it and the list stays), folder() the one
// the list was made from.
class BookSession : public QObject
{
    Q_OBJECT

public:
    // history records the list's and the inputs' changes for undo; without
    // one they are made and forgotten.
    explicit BookSession(std::unique_ptr<ListHistory> history = {}, QObject *parent = nullptr);
    ~BookSession() override;

    WorkQueue &queue() { return m_queue; }
    PictureList &pictures() { return m_list; }
    const PictureList &pictures() const { return m_list; }
    PictureSizeReader &sizes() { return m_sizes; }

    QString folderText() const { return m_folderText; }
    void setFolderText(const QString &text);
    QString folder() const { return m_list.folder(); }

    // The book's inputs: every field but the folder and the pictures, which
    // are the session's own.
    const BookSettings &inputs() const { return m_inputs; }
    void setInputs(const BookSettings &inputs);
    // The same as one undo step of the list's history, named text.
    void changeInputs(const QString &text, const BookSettings &inputs);
    // The inputs with the folder text and the listed pictures: what a
    // generate checks and writes.
    BookSettings book() const;

    // What listing a chosen folder found.
    struct Opened
    {
        bool readable = false;
        QString reason;            // why the folder cannot be read
        bool capped = false;       // more than kMostPages pictures: the first ones are listed
        QString firstPicture;      // the first listed picture's path, "" when none
        std::optional<QSize> firstPictureSize;
    };
    // Whether the first picture's size, the book's preset, is read.
    enum class FirstPicture { Read, Skip };
    // Makes chosen the folder: the folder text, a new list of its GIF and
    // JPEG pictures in order (nothing listed when it cannot be read; at most
    // kMostPages when capped), the first picture's size read by a job of the
    // queue while events go on (user input aside), and, where the way of
    // placing needs them, all the sizes read in the background. With a
    // history the new list is one step: undo brings back the folder text, the
    // list made from the folder before with its selection, and the count.
    Opened openFolder(const QString &chosen, NameOrder order = NameOrder::Name, bool capped = true,
                      FirstPicture first = FirstPicture::Read);
    // The listed folder with exactly these pages.
    void setPages(const QStringList &pages);
    // How many pictures the last listing found; -1 before the first.
    int listedCount() const { return m_listedCount; }

    // While on, the listed folder is watched (the window's session; a
    // command lists once): new pictures join the end of the list in name
    // order, selected, as one step; a picture gone from the folder stays
    // listed and is marked not found; a written one is read again. Off by
    // default.
    void setWatching(bool on);
    FolderWatch &folderWatch() { return m_watch; }
    // Pictures the program itself is about to write into the listed folder
    // and places by its own command: the watch does not add them.
    void claimPictures(const QStringList &names);
    // Makes the changes of the list and the inputs while it lives one undo
    // step; what the watch finds meanwhile waits until it ends.
    class StepGroup
    {
    public:
        StepGroup(BookSession &session, const QString &text);
        ~StepGroup();
        StepGroup(const StepGroup &) = delete;
        StepGroup &operator=(const StepGroup &) = delete;

    private:
        BookSession &m_session;
        std::optional<ListStepGroup> m_group;
    };

    // Reads the watched folder again now: the window was activated, and a
    // network share reports no changes, nor does any system a picture
    // rewritten in place.
    void recheckFolder();

    // The pictures of the listed folder in other formats that a conversion
    // turns into JPEG copies, in name order, found by the same listing.
    const QStringList &otherPictures() const { return m_otherPictures; }
    // Those of them whose JPEG name the folder did not hold when listed, and
    // that no conversion has written or skipped since.
    const QStringList &unconvertedPictures() const { return m_unconverted; }
    // A conversion is done with these pictures (their copies were written,
    // or their names were taken).
    void noteConverted(const QStringList &pictures);

    // Reads the listed pictures' sizes in the background when the way of
    // placing needs them or the pages are checked against what the book can
    // show, and stops reading when neither is wanted.
    void readSizesForMode();
    // Whether the headers are read in stretch mode too, for the page check
    // (on by default; tarnwick-make --no-check turns it off).
    void setPageCheck(bool on) { m_pageCheck = on; }
    bool pageCheck() const { return m_pageCheck; }

    // Waits until every page's size is known; false when the wait was given
    // up. The window shows a progress dialog meanwhile, the command blocks.
    using SizeWait = std::function<bool(PictureSizeReader &sizes)>;
    // Whether the pictures may have gone since the folder was listed: a
    // window's list may be hours old, a command's was listed a moment ago.
    enum class Listing { MayBeOld, JustListed };
    // Checks the book, looks for vanished pictures (unless just listed), lets
    // pending events run once, reads the sizes when the way of placing needs
    // them and writes the document; the first thing that fails ends the run.
    GenerateOutcome generateBook(const SizeWait &wait, OlderDocument older = OlderDocument::ToTrash,
                                 Listing listing = Listing::MayBeOld);

    // Writes a checked book once more, the older document going as older
    // says (after the user let a trash that refused it go).
    void writeAgain(GenerateOutcome &outcome, OlderDocument older);

Q_SIGNALS:
    void folderTextChanged(const QString &text);
    void inputsChanged();
    // unconvertedPictures() changed.
    void unconvertedPicturesChanged();
    // A listing was made, or taken back or made again by undo and redo.
    void listingChanged();
    // The watch added these pictures at the end of the list.
    void picturesJoined(const QStringList &names);

private:
    // Children of the session, so that they are found as its children; each
    // member goes before the session's own destructor. The queue is declared
    // first: the reader's jobs must go before the queue does.
    WorkQueue m_queue;
    std::unique_ptr<ListHistory> m_history;
    PictureList m_list;
    PictureSizeReader m_sizes;
    bool m_pageCheck = true;
    // Reads one picture's header by a job of the queue and waits for it, the
    // event loop running; nothing when it has no size or the wait ended early.
    std::optional<QSize> readSizeByQueue(const QString &path);
    // The listing this folder text and count describe is in place.
    void setOtherPictures(const QStringList &others, const QStringList &unconverted);
    void listingInPlace(const QString &folderText, int count, const std::optional<QStringList> &known);
    void applyFolderChange(const FolderChange &change);

    FolderWatch m_watch;
    bool m_watching = false;
    QSet<QString> m_claimed;
    int m_groupDepth = 0;
    std::vector<FolderChange> m_deferred;
    int m_listedCount = -1;

    QString m_folderText;
    BookSettings m_inputs;
    QStringList m_otherPictures;
    QStringList m_unconverted;
};

// Blocks until the sizes are read, delivering the queue's results meanwhile.
bool waitForSizes(PictureSizeReader &sizes, WorkQueue &queue);

} // namespace tarnwick
