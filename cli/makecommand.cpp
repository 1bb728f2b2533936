#include "cli/makecommand.h"

#include "book/boxnumber.h"
#include "book/bookcheck.h"
#include "book/booknotation.h"
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "book/bookmessages.h"
#include "book/placement.h"
#include "pictures/listcommands.h"
#include "pictures/picturefolder.h"
#include "pictures/pictureheader.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

#include <unistd.h>

namespace tarnwick {

namespace {

MakeResult usageError(const QString &text)
{
    return {MakeUsageError, QString(),
            QStringLiteral("tarnwick-make: ") + text + QStringLiteral("\nTry 'tarnwick-make --help'.\n")};
}

// The option or argument that sets a field.
QString optionOf(BookField field)
{
    switch (field) {
    case BookField::BookWidth:
        return QStringLiteral("--book-width");
    case BookField::BookHeight:
        return QStringLiteral("--book-height");
    case BookField::PictureWidth:
        return QStringLiteral("--picture-width");
    case BookField::PictureHeight:
        return QStringLiteral("--picture-height");
    case BookField::PictureLeft:
        return QStringLiteral("--left");
    case BookField::PictureTop:
        return QStringLiteral("--top");
    case BookField::DocumentName:
        return QStringLiteral("--name");
    case BookField::PictureList:
    case BookField::Folder:
    case BookField::PictureName:
        break;
    }
    return QStringLiteral("FOLDER");
}

// A failed check in words a script's log reader may not read in Chinese.
QString problemText(CheckProblem problem)
{
    switch (problem) {
    case CheckProblem::NoPictures:
        return QStringLiteral("no GIF or JPEG pictures");
    case CheckProblem::Empty:
        return QStringLiteral("empty");
    case CheckProblem::NotANumber:
        return QStringLiteral("not a number");
    case CheckProblem::SizeOutOfRange:
        return QStringLiteral("not between 10 and 2000");
    case CheckProblem::OffsetOutOfRange:
        return QStringLiteral("out of range");
    case CheckProblem::PictureTooWide:
        return QStringLiteral("the picture is wider than the book");
    case CheckProblem::PictureTooTall:
        return QStringLiteral("the picture is taller than the book");
    case CheckProblem::LeftTooLarge:
        return QStringLiteral("the picture runs past the book's right edge");
    case CheckProblem::TopTooLarge:
        return QStringLiteral("the picture runs past the book's bottom edge");
    case CheckProblem::NoFolder:
        return QStringLiteral("no folder");
    case CheckProblem::BadFileName:
        return QStringLiteral("not a file name in the folder");
    case CheckProblem::UnwritableName:
        return QStringLiteral("a picture name the document cannot hold");
    }
    return {};
}

// One bare name per line; a CR before the line feed is dropped, blank lines
// are skipped.
QStringList readPageNames(const QByteArray &bytes)
{
    QStringList names;
    for (QString line : QString::fromUtf8(bytes).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.append(line);
    }
    return names;
}

// A page name from a document as one line of standard error: control
// characters could end the line early or drive the terminal, so they are
// shown as \xNN.
QString printableName(const QString &name)
{
    const auto control = [](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0); };
    if (std::none_of(name.cbegin(), name.cend(), control))
        return name;
    QString text;
    text.reserve(name.size());
    for (const QChar c : name) {
        if (control(c))
            text += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    return text;
}

const std::pair<QStringView, FitMode> fitNames[] = {
    {u"stretch", FitMode::Stretch}, {u"contain", FitMode::Contain}, {u"shrink", FitMode::Shrink}};

// Threads that read picture headers. Each read is a few microseconds of work
// on a file in the page cache; see bench_placement for one thread against two.
constexpr int kHeaderThreads = 2;

// Reads the size of every page's picture, with a count on standard error
// while it runs when that is a terminal.
std::vector<PictureHeader> readPageHeaders(const BookSettings &settings)
{
    std::function<void(qsizetype)> progress;
    if (::isatty(STDERR_FILENO)) {
        progress = [total = settings.pictures.size()](qsizetype done) {
            std::fprintf(stderr, "\rtarnwick-make: reading picture sizes: %lld of %lld", static_cast<long long>(done),
                         static_cast<long long>(total));
            if (done == total)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    return readPictureHeaders(settings.pictureFolder, settings.pictures, kHeaderThreads, progress);
}

// The way the pages of a document were placed, and its picture box, from the
// sizes of its pictures that are listed in the folder (no name in a document
// leads outside it). Only a book whose pages differ needs the sizes.
InferredPlacement documentPlacement(const BookSettings &read, const std::vector<PagePlacement> &places,
                                    const QStringList &listing)
{
    std::vector<QSize> sizes;
    const bool allSame = std::all_of(places.cbegin(), places.cend(), [&](const PagePlacement &place) {
        return place == places.front();
    });
    if (!allSame) {
        const QSet<QString> listed(listing.cbegin(), listing.cend());
        BookSettings present = read;
        present.pictures.clear();
        std::vector<size_t> pageOf;
        for (qsizetype i = 0; i < read.pictures.size(); ++i) {
            if (listed.contains(read.pictures.at(i))) {
                present.pictures.append(read.pictures.at(i));
                pageOf.push_back(size_t(i));
            }
        }
        sizes.resize(places.size());
        const std::vector<PictureHeader> headers = readPageHeaders(present);
        for (size_t i = 0; i < headers.size(); ++i)
            sizes[pageOf[i]] = headers[i].size().value_or(QSize());
    }
    return inferPlacement(places, sizes, readBoxNumber(read.bookWidth).value, readBoxNumber(read.bookHeight).value);
}

} // namespace

MakeResult runMake(const QStringList &arguments, QIODevice &standardInput)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the .dml picture book of FOLDER's GIF and JPEG files into FOLDER.\n"
        "Exit status: 0 written (the path is printed), 1 a check failed, 2 usage error,\n"
        "3 the document could not be written."));
    const BookSettings defaults;
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Document name (%1).").arg(defaults.documentName),
                                  QStringLiteral("TEXT"), defaults.documentName);
    const QCommandLineOption bookWidth(QStringLiteral("book-width"),
                                       QStringLiteral("Book width (the first picture's width)."),
                                       QStringLiteral("TEXT"));
    const QCommandLineOption bookHeight(QStringLiteral("book-height"),
                                        QStringLiteral("Book height (the first picture's height)."),
                                        QStringLiteral("TEXT"));
    const QCommandLineOption pictureWidth(QStringLiteral("picture-width"),
                                          QStringLiteral("Picture width (the book width)."), QStringLiteral("TEXT"));
    const QCommandLineOption pictureHeight(QStringLiteral("picture-height"),
                                           QStringLiteral("Picture height (the book height)."),
                                           QStringLiteral("TEXT"));
    const QCommandLineOption left(QStringLiteral("left"),
                                  QStringLiteral("Picture left offset (%1).").arg(defaults.pictureLeft),
                                  QStringLiteral("TEXT"), defaults.pictureLeft);
    const QCommandLineOption top(QStringLiteral("top"),
                                 QStringLiteral("Picture top offset (%1).").arg(defaults.pictureTop),
                                 QStringLiteral("TEXT"), defaults.pictureTop);
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("Page colour, signed decimal or #RRGGBB (white)."),
                                        QStringLiteral("COLOUR"));
    const QCommandLineOption border(QStringLiteral("border"),
                                    QStringLiteral("Draw a border in this colour (no border)."),
                                    QStringLiteral("COLOUR"));
    const QCommandLineOption pages(QStringLiteral("pages"),
                                   QStringLiteral("Page order: one file name per line, \"-\" for standard input."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption order(QStringLiteral("order"),
                                   QStringLiteral("Page order of the listing: name (as the window lists it) or "
                                                  "natural (numbers in names in numeric order: 2 before 10)."),
                                   QStringLiteral("name|natural"), QStringLiteral("name"));
    const QCommandLineOption like(QStringLiteral("like"),
                                  QStringLiteral("Page order, sizes, offsets and colours of this .dml document; "
                                                 "FOLDER's other pictures follow its pages, the options given "
                                                 "override its values."),
                                  QStringLiteral("DOCUMENT"));
    const QCommandLineOption fit(QStringLiteral("fit"),
                                 QStringLiteral("How each page's picture fills the picture box: stretch (to the box), "
                                                "contain (as large as fits, proportions kept, centred) or shrink "
                                                "(like contain, but pictures that fit keep their size) (stretch)."),
                                 QStringLiteral("stretch|contain|shrink"), QStringLiteral("stretch"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({name, bookWidth, bookHeight, pictureWidth, pictureHeight, left, top, background, border,
                       pages, order, like, fit, help, version});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The picture folder."));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return {MakeWritten, parser.helpText(), QString()};
    if (parser.isSet(version))
        return {MakeWritten, QStringLiteral("tarnwick-make " TARNWICK_VERSION "\n" TARNWICK_LICENCE_NOTICE), QString()};
    for (const QCommandLineOption *single : {&name, &bookWidth, &bookHeight, &pictureWidth, &pictureHeight, &left,
                                             &top, &background, &border, &pages, &order, &like, &fit}) {
        if (parser.values(*single).size() > 1)
            return usageError(QStringLiteral("--%1 given twice").arg(single->names().constFirst()));
    }
    if (parser.isSet(like) && parser.isSet(pages))
        return usageError(QStringLiteral("--like and --pages cannot be used together"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(QStringLiteral("exactly one FOLDER expected; see --help"));
    const QFileInfo folderInfo(positional.constFirst());
    if (!folderInfo.isDir())
        return usageError(QStringLiteral("not a folder: ") + positional.constFirst());

    BookSettings settings;
    settings.pictureFolder = folderText(folderInfo.absoluteFilePath());
    const QString orderName = parser.value(order);
    if (orderName != u"name" && orderName != u"natural")
        return usageError(QStringLiteral("--order: not name or natural: ") + orderName);
    const auto fitName = std::find_if(std::begin(fitNames), std::end(fitNames),
                                      [&](const auto &entry) { return parser.value(fit) == entry.first; });
    if (fitName == std::end(fitNames))
        return usageError(QStringLiteral("--fit: not stretch, contain or shrink: ") + parser.value(fit));
    std::vector<PagePlacement> places;
    // The whole document is in memory before anything is written, so it may
    // be the very document this run replaces.
    if (parser.isSet(like)) {
        const QString document = parser.value(like);
        if (const std::optional<QString> refusal = readDocumentFile(document, settings, &places))
            return usageError(QStringLiteral("cannot use %1: %2").arg(document, *refusal));
    }
    // The name is never the --like document's: the book goes where --name says.
    settings.documentName = parser.value(name);
    QString unreadable;
    std::optional<QStringList> listed = listPictures(settings.pictureFolder, &unreadable);
    if (!listed)
        return usageError(QStringLiteral("cannot read %1: %2").arg(positional.constFirst(), unreadable));
    QStringList &listing = *listed;
    if (orderName == u"natural") {
        std::vector<bool> unselected;
        arrangeList(ListOrder::Numeric, listing, unselected);
    }

    QString skipped;
    if (parser.isSet(like)) {
        // Pages that follow no way of placing keep page 1's placement, stretched.
        const InferredPlacement placement = documentPlacement(settings, places, listing);
        settings.fitMode = placement.mode;
        if (!placement.mismatched && !places.empty())
            std::tie(settings.pictureLeft, settings.pictureTop, settings.pictureWidth, settings.pictureHeight) =
                std::tie(placement.box.left, placement.box.top, placement.box.width, placement.box.height);
        const QStringList documentPages = std::exchange(settings.pictures, {});
        std::vector<bool> unselected;
        QStringList missing;
        arrangeByPages(documentPages, listing, unselected, &missing);
        for (const QString &page : std::as_const(missing))
            skipped += QStringLiteral("tarnwick-make: skipped, not in the folder: ") + printableName(page) + u'\n';
        settings.pictures = listing;
        // The document's values stand unless an option names them.
        const std::pair<const QCommandLineOption *, QString BookSettings::*> boxes[] = {
            {&bookWidth, &BookSettings::bookWidth},       {&bookHeight, &BookSettings::bookHeight},
            {&pictureWidth, &BookSettings::pictureWidth}, {&pictureHeight, &BookSettings::pictureHeight},
            {&left, &BookSettings::pictureLeft},          {&top, &BookSettings::pictureTop},
        };
        for (const auto &[option, field] : boxes) {
            if (parser.isSet(*option))
                settings.*field = parser.value(*option);
        }
    } else if (parser.isSet(pages)) {
        const QString file = parser.value(pages);
        QByteArray bytes;
        if (file == u"-") {
            bytes = standardInput.readAll();
        } else {
            QFile pageFile(file);
            if (!pageFile.open(QIODevice::ReadOnly))
                return usageError(QStringLiteral("cannot read %1: %2").arg(file, pageFile.errorString()));
            bytes = pageFile.readAll();
        }
        const QSet<QString> known(listing.cbegin(), listing.cend());
        settings.pictures = readPageNames(bytes);
        for (const QString &page : std::as_const(settings.pictures)) {
            if (!known.contains(page))
                return usageError(QStringLiteral("not a listed picture: ") + page);
        }
    } else {
        settings.pictures = listing;
    }

    if (!parser.isSet(like)) {
        // As in the window, the book takes the first listed picture's size
        // and the picture fills the page; only a size that is not given is read.
        QString width = parser.value(bookWidth);
        QString height = parser.value(bookHeight);
        if ((!parser.isSet(bookWidth) || !parser.isSet(bookHeight)) && !listing.isEmpty()) {
            const QString first = settings.pictureFolder + listing.constFirst();
            const std::optional<QSize> size = readPictureSize(first);
            if (!size)
                return usageError(QStringLiteral("cannot read the size of ") + first
                                  + QStringLiteral("; give --book-width and --book-height"));
            BookSettings preset;
            preset.presetFromFirstPicture(*size);
            if (!parser.isSet(bookWidth))
                width = preset.bookWidth;
            if (!parser.isSet(bookHeight))
                height = preset.bookHeight;
        }
        settings.setBookSize(width, height);
        if (parser.isSet(pictureWidth))
            settings.pictureWidth = parser.value(pictureWidth);
        if (parser.isSet(pictureHeight))
            settings.pictureHeight = parser.value(pictureHeight);
        settings.pictureLeft = parser.value(left);
        settings.pictureTop = parser.value(top);
    }

    if (parser.isSet(fit))
        settings.fitMode = fitName->second;
    if (parser.isSet(background)) {
        const std::optional<ColourValue> colour = parseColourArgument(parser.value(background));
        if (!colour)
            return usageError(QStringLiteral("not a colour: ") + parser.value(background));
        settings.backgroundColour = *colour;
    }
    if (parser.isSet(border)) {
        const std::optional<ColourValue> colour = parseColourArgument(parser.value(border));
        if (!colour)
            return usageError(QStringLiteral("not a colour: ") + parser.value(border));
        settings.border = BorderSwitch::On;
        settings.borderColour = *colour;
    }

    // One English line naming the option, then the window's message, which
    // stays the last line.
    if (const std::optional<CheckFailure> failure = checkBook(settings))
        return {MakeCheckFailed, QString(),
                skipped + QStringLiteral("tarnwick-make: %1: %2\n").arg(optionOf(failure->field),
                                                                       problemText(failure->problem))
                    + failure->message + u'\n'};
    // Only a book that places each picture by its own size reads the pictures.
    PictureSizes sizes;
    if (settings.fitMode != FitMode::Stretch) {
        QString lines;
        QStringList unreadable;
        const std::vector<PictureHeader> headers = readPageHeaders(settings);
        for (qsizetype i = 0; i < settings.pictures.size(); ++i) {
            const PictureHeader &header = headers[size_t(i)];
            sizes.push_back(header.size().value_or(QSize()));
            if (header.size())
                continue;
            const QString name = printableName(settings.pictures.at(i));
            unreadable.append(name);
            lines += QStringLiteral("tarnwick-make: cannot read the size of: %1 (%2)\n").arg(name, header.reason());
        }
        if (!unreadable.isEmpty())
            return {MakeCheckFailed, QString(),
                    skipped + lines + messages::namedPictures(messages::unreadableSizes(), unreadable) + u'\n'};
    }
    if (const std::optional<QString> failure = saveDocument(settings, sizes))
        return {MakeWriteFailed, QString(), skipped + *failure + u'\n'};
    return {MakeWritten, settings.outputPath() + u'\n', skipped};
}

} // namespace tarnwick
