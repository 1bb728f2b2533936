#include "export/bookexport.h"

#include "book/bookcheck.h"
#include "book/boxnumber.h"
#include "book/dmlwriter.h"
#include "book/placement.h"
#include "export/exportnames.h"
#include "export/jpegturn.h"
#include "export/pictureconverter.h"
#include "export/picturefile.h"
#include "facts/pictureheader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tarnwick {

namespace {

bool isGif(const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

// The path as it will be once its existing part is resolved: a target given
// through a link into the picture folder is still inside it.
QString resolvedPath(const QString &absolute)
{
    QString existing = absolute;
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const qsizetype slash = existing.lastIndexOf(u'/');
        if (slash <= 0)
            return absolute;
        rest.prepend(existing.mid(slash));
        existing.truncate(slash);
    }
    return QFileInfo(existing).canonicalFilePath() + rest;
}

bool isWithin(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

ExportFailure folderFailure(const QString &reason)
{
    return ExportFailure{QString(), reason, false};
}

} // namespace

BookExport::BookExport(BookSettings inputs, QString target, int maxScale, FactsReader facts)
    : m_inputs(std::move(inputs)),
      m_target(QDir::cleanPath(QFileInfo(target).absoluteFilePath())),
      m_maxScale(maxScale),
      m_facts(std::move(facts))
{
    QHash<QString, qsizetype> seen;
    for (qsizetype page = 0; page < m_inputs.pictures.size(); ++page) {
        const QString &name = m_inputs.pictures.at(page);
        auto found = seen.constFind(name);
        if (found == seen.constEnd()) {
            found = seen.insert(name, m_sources.size());
            m_sources.append(name);
            m_firstPage.push_back(int(page + 1));
        }
        m_sourceOfPage.push_back(*found);
    }
    m_written.resize(m_sources.size());
}

BookExport::~BookExport()
{
    if (!m_finished)
        abandon();
}

std::optional<ExportFailure> BookExport::prepare()
{
    if (const std::optional<CheckFailure> check = checkBook(m_inputs))
        return ExportFailure{QString(), check->message, false};
    if (m_maxScale != kNoScale && (m_maxScale < kLeastScale || m_maxScale > kMostScale))
        return folderFailure(QStringLiteral("the scale is not between %1 and %2").arg(kLeastScale).arg(kMostScale));
    const QString pictures = QFileInfo(m_inputs.pictureFolder).canonicalFilePath();
    if (pictures.isEmpty())
        return folderFailure(QStringLiteral("the picture folder cannot be found"));
    if (m_target == u"/" || isWithin(resolvedPath(m_target), pictures))
        return folderFailure(QStringLiteral("the target folder lies in the picture folder"));

    const QFileInfo target(m_target);
    if (target.exists() || target.isSymLink()) {
        if (!target.isDir() || target.isSymLink())
            return folderFailure(QStringLiteral("the target is not a folder"));
        if (!QDir(m_target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            return folderFailure(QStringLiteral("the target folder is not empty"));
    }
    // Make the missing parents one by one, so that a failure removes only ours.
    QStringList missing;
    for (QString parent = target.absolutePath(); !QFileInfo::exists(parent); parent = QFileInfo(parent).absolutePath())
        missing.prepend(parent);
    for (const QString &parent : std::as_const(missing)) {
        if (!QDir().mkdir(parent)) {
            const int error = errno;
            abandon();
            return folderFailure(QStringLiteral("cannot make %1: %2").arg(parent, qt_error_string(error)));
        }
        m_madeParents.append(parent);
    }
    // Beside the target, so the final rename stays on one file system; made
    // as mkdir makes a folder, so the book folder gets the user's usual mode.
    QByteArray work;
    for (int attempt = 0;; ++attempt) {
        work = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                                 + QStringLiteral(".part-%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                  QLatin1Char('0')));
        if (::mkdir(work.constData(), 0777) == 0)
            break;
        if (errno != EEXIST || attempt == 100) {
            const int error = errno;
            abandon();
            return folderFailure(qt_error_string(error));
        }
    }
    m_work = QFile::decodeName(work);
    return std::nullopt;
}

QString BookExport::partPath(qsizetype index) const
{
    return m_work + u'/' + QString::number(index) + QStringLiteral(".part");
}

std::optional<ExportFailure> BookExport::exportPicture(qsizetype index, const std::atomic_bool &cancelled)
{
    const QString &name = m_sources.at(index);
    const auto failed = [&](const QString &reason) { return ExportFailure{name, reason, false}; };
    if (cancelled)
        return ExportFailure{name, QString(), true};
    PictureFile file;
    if (const auto failure = file.open(m_inputs.pictureFolder + name))
        return failed(*failure);

    QByteArray bytes;
    const bool whole = file.size() <= kFactsHeadBytes;
    if (whole) {
        if (const auto failure = file.readAll(bytes))
            return failed(*failure);
    } else {
        bytes.resize(kFactsHeadBytes);
        iovec part{bytes.data(), size_t(kFactsHeadBytes)};
        const ssize_t got = ::preadv(file.descriptor(), &part, 1, 0);
        if (got < 0)
            return failed(qt_error_string(errno));
        bytes.truncate(got);
    }
    Written &written = m_written[size_t(index)];
    const QString part = partPath(index);
    if (isGif(bytes)) {
        QBuffer head(&bytes);
        head.open(QIODevice::ReadOnly);
        const std::optional<QSize> size = PictureHeader::read(head).size();
        if (const auto failure = file.copyTo(part))
            return failed(*failure);
        written = Written{size.value_or(QSize()), false, true};
        return std::nullopt;
    }

    const ExportFacts facts = m_facts ? m_facts(bytes) : ExportFacts{};
    const int orientation = facts.orientation >= 1 && facts.orientation <= 8 ? facts.orientation : 1;
    const std::optional<JpegFrame> frame = readJpegFrame(bytes);
    // Not a JPEG TurboJPEG reads: written again if the decoder reads it, at its size.
    const QSize stored = frame ? frame->size : QSize();
    const QSize upright = orientation >= 5 ? stored.transposed() : stored;

    QSize fitInto;
    if (m_maxScale != kNoScale && upright.isValid()) {
        const PageRect box{readBoxNumber(m_inputs.pictureLeft).value, readBoxNumber(m_inputs.pictureTop).value,
                           readBoxNumber(m_inputs.pictureWidth).value, readBoxNumber(m_inputs.pictureHeight).value};
        const PageRect placed = placePicture(m_inputs.fitMode, box, upright);
        const qint64 widest = placed.width * m_maxScale;
        const qint64 tallest = placed.height * m_maxScale;
        if (upright.width() > widest || upright.height() > tallest)
            fitInto = QSize(int(qMin<qint64>(upright.width(), widest)), int(qMin<qint64>(upright.height(), tallest)));
    }
    // Only a JPEG the book shows as it is, upright and small enough, is copied.
    const bool convert = !frame || frame->fourChannel || facts.unshowable || fitInto.isValid();
    if (!convert && orientation == 1) {
        if (const auto failure = file.copyTo(part))
            return failed(*failure);
        written = Written{upright, false, true};
        return std::nullopt;
    }
    if (!whole) {
        if (const auto failure = file.readAll(bytes))
            return failed(*failure);
    }
    if (cancelled)
        return ExportFailure{name, QString(), true};
    QByteArray out;
    QSize size = upright;
    if (convert) {
        const int quality = fitInto.isValid() ? kScaledQuality : kConvertedQuality;
        if (const auto failure = convertPicture(bytes, orientation, fitInto, quality, m_inputs.backgroundColour, out, size))
            return failed(*failure);
    } else {
        if (const auto failure = turnJpegUpright(bytes, orientation, out))
            return failed(*failure);
        if (const std::optional<JpegFrame> turned = readJpegFrame(out))
            size = turned->size; // smaller by the trimmed edge blocks
    }
    bytes = QByteArray();
    if (const auto failure = writeNewFile(part, out))
        return failed(*failure);
    written = Written{size, convert, true};
    return std::nullopt;
}

std::optional<ExportFailure> BookExport::finish()
{
    std::vector<bool> converted;
    for (const Written &written : m_written) {
        if (!written.done)
            return folderFailure(QStringLiteral("not every picture was written"));
        converted.push_back(written.converted);
    }
    const QStringList names = exportedNames(m_sources, converted, m_firstPage);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray from = QFile::encodeName(partPath(i));
        const QByteArray to = QFile::encodeName(m_work + u'/' + names.at(i));
        if (::rename(from.constData(), to.constData()) != 0)
            return ExportFailure{m_sources.at(i), qt_error_string(errno), false};
    }
    BookSettings book = m_inputs;
    book.pictureFolder = m_work + u'/';
    book.pictures.clear();
    PictureSizes sizes;
    for (const qsizetype source : m_sourceOfPage) {
        book.pictures.append(names.at(source));
        sizes.push_back(m_written[size_t(source)].size);
    }
    if (const std::optional<DocumentFailure> failure = writeDocumentFile(book, sizes, OlderDocument::Replace))
        return ExportFailure{m_inputs.documentName, failure->reason, false};
    // An empty target folder is replaced whole by the rename.
    const QByteArray from = QFile::encodeName(m_work);
    const QByteArray to = QFile::encodeName(m_target);
    if (::rename(from.constData(), to.constData()) != 0)
        return folderFailure(qt_error_string(errno));
    m_finished = true;
    m_work.clear();
    return std::nullopt;
}

void BookExport::abandon()
{
    if (!m_work.isEmpty())
        QDir(m_work).removeRecursively();
    m_work.clear();
    for (auto parent = m_madeParents.crbegin(); parent != m_madeParents.crend(); ++parent)
        QDir().rmdir(*parent);
    m_madeParents.clear();
}

} // namespace tarnwick
