#include "cli/makecommand.h"

#include "cli/errorprefixer.h"
#include "cli/convertcommand.h"
#include "cli/exportcommand.h"

#include "book/bookmessages.h"
#include "book/boxnumber.h"
#include "book/bookcheck.h"
#include "book/booknotation.h"
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "book/placement.h"
#include "cli/pagewarnings.h"
#include "list/picturelist.h"
#include "session/bookfolder.h"
#include "facts/pictureheader.h"
#include "session/booksession.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include <cerrno>

#include <sys/stat.h>
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
QString problemText(CheckProblem problem, const BookSettings &settings)
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
    case CheckProblem::NameIsPicture:
        return printableName(trimBlanks(settings.documentName)) + QStringLiteral(" is a picture");
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

const std::pair<QStringView, FitMode> fitNames[] = {
    {u"stretch", FitMode::Stretch}, {u"contain", FitMode::Contain}, {u"shrink", FitMode::Shrink}};

} // namespace

// A control character in a name could end a line early or drive the
// terminal. The backslash is escaped too, so the text stays unambiguous.
QString printableName(const QString &name)
{
    const auto special = [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) || c == u'\\';
    };
    if (std::none_of(name.cbegin(), name.cend(), special))
        return name;
    QString text;
    text.reserve(name.size() + 8);
    for (const QChar c : name) {
        if (!special(c)) {
            text += c;
            continue;
        }
        static constexpr char16_t named[][2] = {{u'\a', u'a'}, {u'\b', u'b'}, {u'\t', u't'}, {u'\n', u'n'},
                                                {u'\v', u'v'}, {u'\f', u'f'}, {u'\r', u'r'}, {u'\\', u'\\'}};
        const auto *letter = std::find_if(std::begin(named), std::end(named),
                                          [c](const char16_t (&pair)[2]) { return pair[0] == c.unicode(); });
        if (letter != std::end(named)) {
            text += u'\\';
            text += QChar((*letter)[1]);
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            text += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
    }
    return text;
}

namespace {

MakeResult runMakeLines(const QStringList &arguments, QIODevice &standardInput);

// Every line on standard error names the program, as GNU tools' lines do;
// the window's Chinese messages that end a failure too.
QString prefixedLines(const QString &text)
{
    const QString prefix = QStringLiteral("tarnwick-make: ");
    QString lines;
    lines.reserve(text.size());
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (line.isEmpty())
            continue;
        if (!line.startsWith(prefix))
            lines += prefix;
        lines += line;
        lines += u'\n';
    }
    return lines;
}

} // namespace

MakeResult runMake(const QStringList &arguments, QIODevice &standardInput)
{
    MakeResult result = runMakeLines(arguments, standardInput);
    result.standardError = prefixedLines(result.standardError);
    return result;
}

namespace {

MakeResult runMakeLines(const QStringList &arguments, QIODevice &standardInput)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the .dml picture book of FOLDER's GIF and JPEG files into FOLDER.\n"
        "With --convert: writes JPEG copies of its pictures in other formats instead.\n"
        "Exit status: 0 written (the path is printed), 1 a check failed (with --convert:\n"
        "a picture could not be converted), 2 usage error,\n"
        "3 the document could not be written (also when the trash cannot take the older one),\n"
        "4 written but its path could not be printed."));
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
    const QCommandLineOption noTrash(QStringLiteral("no-trash"),
                                     QStringLiteral("Delete an older document of the same name instead of "
                                                    "moving it to the trash."));
    const QCommandLineOption noCheck(QStringLiteral("no-check"),
                                     QStringLiteral("Do not read the pictures' headers to warn of pages the book will "
                                                    "not show as they are (turned by the camera, CMYK, an unusual "
                                                    "JPEG coding, unreadable)."));
    const QCommandLineOption exportTo(QStringLiteral("export"),
                                      QStringLiteral("Instead of writing the document into FOLDER, write a book folder "
                                                     "to DIR (new or empty): the pages' pictures as the book shows "
                                                     "them (turned upright, CMYK made RGB) and the document."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption maxScale(QStringLiteral("max-scale"),
                                      QStringLiteral("With --export: scale down pictures more than K times their size "
                                                     "on the page to K times it, K from 1 to 8 (off)."),
                                      QStringLiteral("K"));
    const QCommandLineOption convert(QStringLiteral("convert"),
                                     QStringLiteral("Instead of writing a document, write a JPEG copy beside each of "
                                                    "FOLDER's pictures in other formats (.jpeg, .jpe, PNG, WebP, BMP, "
                                                    "TIFF, HEIC, HEIF), never over an existing file; transparent parts "
                                                    "take the --background colour. Prints one line per copy; exit "
                                                    "status 1 when a picture could not be converted."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({name, bookWidth, bookHeight, pictureWidth, pictureHeight, left, top, background, border,
                       pages, order, like, fit, noTrash, noCheck, exportTo, maxScale, convert, help, version});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The picture folder."));

    if (!parser.parse(arguments)) {
        // As GNU tools word it.
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
            const QString &option = unknown.constFirst();
            return usageError(option.size() == 1 ? QStringLiteral("invalid option -- '%1'").arg(option)
                                                 : QStringLiteral("unrecognized option '--%1'").arg(option));
        }
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        // The usage line names the program, not the path it was started by.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        if (text.startsWith(usage))
            text.replace(usage.size(), text.indexOf(u' ', usage.size()) - usage.size(), QStringLiteral("tarnwick-make"));
        return {MakeWritten, text, QString()};
    }
    if (parser.isSet(version))
        return {MakeWritten, QStringLiteral("tarnwick-make " TARNWICK_VERSION "\n" TARNWICK_LICENCE_NOTICE), QString()};
    for (const QCommandLineOption *single : {&name, &bookWidth, &bookHeight, &pictureWidth, &pictureHeight, &left,
                                             &top, &background, &border, &pages, &order, &like, &exportTo,
                                             &maxScale}) {
        if (parser.values(*single).size() > 1)
            return usageError(QStringLiteral("--%1 given twice").arg(single->names().constFirst()));
    }
    std::optional<int> scale;
    if (parser.isSet(maxScale)) {
        if (!parser.isSet(exportTo))
            return usageError(QStringLiteral("--max-scale needs --export"));
        if (!(scale = parseMaxScale(parser.value(maxScale))))
            return usageError(QStringLiteral("--max-scale: not a whole number from 1 to 8: ") + parser.value(maxScale));
    }
    if (parser.isSet(like) && parser.isSet(pages))
        return usageError(QStringLiteral("--like and --pages cannot be used together"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(QStringLiteral("exactly one FOLDER expected; see --help"));
    const QFileInfo folderInfo(positional.constFirst());
    if (!folderInfo.isDir()) {
        // The system's reason, as ls words it: no such file, not a folder, no access.
        struct stat status {};
        const QByteArray path = QFile::encodeName(positional.constFirst());
        const int error = ::stat(path.constData(), &status) == 0 ? ENOTDIR : errno;
        return usageError(QStringLiteral("cannot access '%1': %2")
                              .arg(printableName(positional.constFirst()), qt_error_string(error)));
    }

    BookSession session;
    // One listing, one reading, nothing shown of the files: no stamps.
    session.sizes().setStamping(false);
    if (parser.isSet(convert)) {
        for (const QCommandLineOption *other : {&exportTo, &like, &pages, &maxScale}) {
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--convert and --%1 cannot be used together").arg(other->names().constFirst()));
        }
        ColourValue colour = BookSettings().backgroundColour;
        if (parser.isSet(background)) {
            const std::optional<ColourValue> given = parseColourArgument(parser.value(background));
            if (!given)
                return usageError(QStringLiteral("not a colour: ") + parser.value(background));
            colour = *given;
        }
        // No book is made: no header is read.
        session.setPageCheck(false);
        const BookSession::Opened listed =
            session.openFolder(folderInfo.absoluteFilePath(), NameOrder::Name, false, BookSession::FirstPicture::Skip);
        if (!listed.readable)
            return usageError(
                QStringLiteral("cannot read %1: %2").arg(printableName(positional.constFirst()), listed.reason));
        return runConvertCommand(session, colour);
    }
    // Without the check a stretch run reads no picture beyond the first.
    session.setPageCheck(!parser.isSet(noCheck));
    BookSettings settings;
    const QString orderName = parser.value(order);
    if (orderName != u"name" && orderName != u"natural")
        return usageError(QStringLiteral("--order: not name or natural: ") + orderName);
    const auto fitName = std::find_if(std::begin(fitNames), std::end(fitNames),
                                      [&](const auto &entry) { return parser.value(fit) == entry.first; });
    if (fitName == std::end(fitNames))
        return usageError(QStringLiteral("--fit: not stretch, contain or shrink: ") + parser.value(fit));
    // The first picture's size is read only for a size the options leave out.
    const bool presetNeeded = !parser.isSet(like) && (!parser.isSet(bookWidth) || !parser.isSet(bookHeight));
    const BookSession::Opened listed = session.openFolder(
        folderInfo.absoluteFilePath(), orderName == u"natural" ? NameOrder::Numeric : NameOrder::Name, false,
        presetNeeded ? BookSession::FirstPicture::Read : BookSession::FirstPicture::Skip);
    if (!listed.readable)
        return usageError(QStringLiteral("cannot read %1: %2").arg(printableName(positional.constFirst()), listed.reason));
    settings.pictureFolder = session.folderText();
    QStringList listing = session.pictures().names();
    // A longer book could not be read back; the window lists the first
    // pictures only, but a script must not get a book it did not ask for.
    if (listing.size() > kMostPages && !parser.isSet(pages))
        return usageError(printableName(positional.constFirst()) + QStringLiteral(": more than 32,767 pictures"));

    QString skipped;
    if (parser.isSet(like)) {
        // The whole document is in memory before anything is written, so it
        // may be the very document this run replaces.
        const QString document = parser.value(like);
        std::vector<bool> unselected;
        const ReopenedBook reopened = reopenBook(document, settings.pictureFolder, settings, listing, unselected);
        if (reopened.refusal)
            return usageError(QStringLiteral("cannot use %1: %2").arg(printableName(document), printableName(*reopened.refusal)));
        // The name is never the --like document's: the book goes where --name says.
        settings.documentName = parser.value(name);
        for (const QString &page : reopened.missing)
            skipped += QStringLiteral("tarnwick-make: skipped, not in the folder: ") + printableName(page) + u'\n';
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
                return usageError(
                    QStringLiteral("cannot read %1: %2").arg(printableName(file), pageFile.errorString()));
            bytes = pageFile.readAll();
        }
        const QSet<QString> known(listing.cbegin(), listing.cend());
        settings.pictures = readPageNames(bytes);
        if (settings.pictures.size() > kMostPages)
            return usageError(QStringLiteral("--pages: more than 32,767 names"));
        for (const QString &page : std::as_const(settings.pictures)) {
            if (!known.contains(page))
                return usageError(QStringLiteral("not a listed picture: ") + printableName(page));
        }
    } else {
        settings.pictures = listing;
    }
    if (!parser.isSet(like))
        settings.documentName = parser.value(name);

    if (!parser.isSet(like)) {
        // As in the window, the book takes the first listed picture's size
        // and the picture fills the page; only a size that is not given is read.
        QString width = parser.value(bookWidth);
        QString height = parser.value(bookHeight);
        if ((!parser.isSet(bookWidth) || !parser.isSet(bookHeight)) && !listing.isEmpty()) {
            if (!listed.firstPictureSize)
                return usageError(QStringLiteral("cannot read the size of ") + printableName(listed.firstPicture)
                                  + QStringLiteral("; give --book-width and --book-height"));
            BookSettings preset;
            preset.presetFromFirstPicture(*listed.firstPictureSize);
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

    session.setInputs(settings);
    session.setPages(settings.pictures);
    if (parser.isSet(exportTo))
        return runExportCommand(session, session.book(), parser.value(exportTo), scale.value_or(0), skipped);
    // A count on standard error while the sizes are read, when that is a terminal.
    if (standardErrorIsTerminal()) {
        QObject::connect(&session.sizes(), &PictureSizeReader::progressed, &session, [](qsizetype done, qsizetype total) {
            std::fprintf(stderr, "\rtarnwick-make: reading picture sizes: %lld of %lld", static_cast<long long>(done),
                         static_cast<long long>(total));
            if (done == total)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        });
    }
    const OlderDocument older = parser.isSet(noTrash) ? OlderDocument::Replace : OlderDocument::ToTrash;
    // Every page was found in the listing this run made: the folder is listed once.
    const GenerateOutcome outcome = session.generateBook(
        [&session](PictureSizeReader &sizes) { return waitForSizes(sizes, session.queue()); }, older,
        BookSession::Listing::JustListed);

    QStringList shown;
    for (const QString &picture : outcome.pictures)
        shown.append(printableName(picture));
    switch (outcome.kind) {
    case GenerateOutcome::Kind::CheckFailed:
        // One English line naming the option, then the window's message,
        // which stays the last line; a message names at most a picture.
        return {MakeCheckFailed, QString(),
                skipped + QStringLiteral("tarnwick-make: %1: %2\n").arg(optionOf(outcome.failure->field),
                                                                       problemText(outcome.failure->problem, settings))
                    + printableName(outcome.failure->message) + u'\n'};
    case GenerateOutcome::Kind::PicturesVanished: {
        QString text = skipped;
        for (const QString &picture : shown)
            text += QStringLiteral("tarnwick-make: no longer in the folder: ") + picture + u'\n';
        return {MakeCheckFailed, QString(), text + messages::nameList(messages::picturesVanished(), shown) + u'\n'};
    }
    case GenerateOutcome::Kind::SizesUnreadable: {
        QString text = skipped;
        for (qsizetype i = 0; i < shown.size(); ++i)
            text += QStringLiteral("tarnwick-make: cannot read the size of: %1 (%2)\n").arg(shown.at(i), outcome.reasons.at(i));
        return {MakeCheckFailed, QString(), text + messages::nameList(messages::unreadableSizes(), shown) + u'\n'};
    }
    case GenerateOutcome::Kind::TrashRefused:
        return {MakeWriteFailed, QString(),
                skipped + QStringLiteral("tarnwick-make: cannot move the older document to the trash: ")
                    + printableName(outcome.reason) + QStringLiteral(" (--no-trash replaces it)\n")};
    case GenerateOutcome::Kind::Cancelled:
    case GenerateOutcome::Kind::WriteFailed:
        return {MakeWriteFailed, QString(),
                skipped + messages::cannotWrite() + printableName(outcome.path) + u'\n'
                    + printableName(outcome.reason) + u'\n'};
    case GenerateOutcome::Kind::Written:
        break;
    }
    if (parser.isSet(noCheck))
        return {MakeWritten, outcome.path + u'\n', skipped};
    // Contain and shrink have read every header already; in stretch mode
    // they were read meanwhile, for the warnings alone.
    PictureSizeReader &sizes = session.sizes();
    if (sizes.isReading())
        waitForSizes(sizes, session.queue());
    // Only the pages named one by one are copied out; the rest are counted.
    // A page listed twice is one picture, warned about once: its facts are
    // one entry, cheaper to tell apart than its name.
    std::vector<const PictureFacts *> marked;
    std::vector<PageWarning> warnings;
    for (const QString &page : std::as_const(settings.pictures)) {
        const PictureFacts *facts = session.pictures().findFacts(page);
        if (!facts || !facts->problem)
            continue;
        if (warnings.size() < size_t(kMostWarnedPages)
            && std::find(marked.cbegin(), marked.cend(), facts) == marked.cend())
            warnings.push_back({printableName(page), *facts->problem, facts->sizeReason});
        marked.push_back(facts);
    }
    std::sort(marked.begin(), marked.end());
    const auto warnedCount = qsizetype(std::unique(marked.begin(), marked.end()) - marked.begin());
    return {MakeWritten, outcome.path + u'\n', skipped + pageWarningLines(warnings, warnedCount)};
}

} // namespace

} // namespace tarnwick
