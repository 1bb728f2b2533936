#pragma once

#include "book/booksettings.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

// What the header reading says about one picture.
struct ExportFacts
{
    int orientation = 1;     // EXIF orientation, 1 to 8
    bool unshowable = false; // a JPEG coding or colour model the book cannot show
};

// Reads the facts from the first bytes of a picture file (at least its
// first 128 KiB, or the whole file when shorter). Called on worker threads.
using FactsReader = std::function<ExportFacts(const QByteArray &head)>;

// Why an export stopped: the picture concerned (empty when it was the
// target, the document or the final rename) and the reason.
struct ExportFailure
{
    QString picture;
    QString reason;
    bool cancelled = false;
};

// One export of a book folder. inputs carries the picture folder, the pages
// in order, the document name and the placement; target is the folder to
// fill, which must not exist (its missing parents are made) or be empty.
// prepare() checks the target and makes a temporary folder beside it;
// exportPicture() writes one distinct picture there (thread-safe for
// different indexes); finish() names the pictures, writes the document and
// renames the folder into place. Anything short of a finished export leaves
// neither the temporary folder nor the parents it made. The picture folder
// is only read.
class BookExport
{
public:
    BookExport(BookSettings inputs, QString target, int maxScale = 0, FactsReader facts = {});
    ~BookExport();
    BookExport(const BookExport &) = delete;
    BookExport &operator=(const BookExport &) = delete;

    std::optional<ExportFailure> prepare();
    // Distinct pictures to write: a picture listed twice is written once.
    qsizetype pictureCount() const { return qsizetype(m_sources.size()); }
    std::optional<ExportFailure> exportPicture(qsizetype index, const std::atomic_bool &cancelled);
    std::optional<ExportFailure> finish();
    // Removes what this export made; done by the destructor unless finished.
    void abandon();

    // The target's absolute path.
    QString target() const { return m_target; }

    // Downscaling off, and its range.
    static constexpr int kNoScale = 0;
    static constexpr int kLeastScale = 1;
    static constexpr int kMostScale = 8;

private:
    struct Written
    {
        QSize size;             // upright pixels, invalid when unknown
        bool converted = false; // written as a new JPEG
        bool done = false;
    };

    QString partPath(qsizetype index) const;

    BookSettings m_inputs;
    QString m_target;
    int m_maxScale = 0;
    FactsReader m_facts;
    QStringList m_sources;        // distinct pictures, in order of their first page
    std::vector<int> m_firstPage; // page number of each source's first page
    std::vector<qsizetype> m_sourceOfPage;
    std::vector<Written> m_written;
    QString m_work;               // the temporary folder, empty before prepare()
    QStringList m_madeParents;    // made by prepare(), innermost last
    bool m_finished = false;
};

// The first bytes of a picture file handed to the facts reader.
inline constexpr qint64 kFactsHeadBytes = 128 * 1024;

} // namespace tarnwick
