#include "cli/pagewarnings.h"

namespace tarnwick {

namespace {

// What the book's reader, which ignores the orientation tag, makes of the
// stored picture.
QString turnedText(int orientation)
{
    switch (orientation) {
    case 2:
        return QStringLiteral("the book shows it mirrored left to right");
    case 3:
        return QStringLiteral("the book shows it upside down");
    case 4:
        return QStringLiteral("the book shows it mirrored top to bottom");
    case 6:
        return QStringLiteral("the book shows it on its side, turned 90 degrees anticlockwise");
    case 8:
        return QStringLiteral("the book shows it on its side, turned 90 degrees clockwise");
    default: // 5 and 7
        return QStringLiteral("the book shows it on its side and mirrored");
    }
}

QString reasonText(const PageWarning &warning)
{
    switch (warning.problem.kind) {
    case PageProblem::Kind::Turned:
        return turnedText(warning.problem.orientation)
            + QStringLiteral(" (EXIF orientation %1); --export writes it upright").arg(warning.problem.orientation);
    case PageProblem::Kind::Cmyk:
        return QStringLiteral("a CMYK JPEG, which the book cannot show; --export writes it as an RGB JPEG");
    case PageProblem::Kind::UnshownCoding:
        return QStringLiteral("a lossless, arithmetic, hierarchical or 12-bit JPEG, which the book cannot show; "
                              "--export writes it as an RGB JPEG");
    case PageProblem::Kind::NotFound:
        return QStringLiteral("no longer in the folder");
    case PageProblem::Kind::Unreadable:
        break;
    }
    return QStringLiteral("cannot read its size") + (warning.sizeReason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(warning.sizeReason))
        + QStringLiteral("; the page is written, but the book may show nothing there");
}

} // namespace

QString pageWarningLines(const std::vector<PageWarning> &warnings, qsizetype total)
{
    QString text;
    for (qsizetype i = 0; i < std::min({total, kMostWarnedPages, qsizetype(warnings.size())}); ++i) {
        const PageWarning &warning = warnings[size_t(i)];
        text += QStringLiteral("tarnwick-make: warning: ") + warning.name + QStringLiteral(": ") + reasonText(warning)
            + u'\n';
    }
    if (total > kMostWarnedPages) {
        const qsizetype rest = total - kMostWarnedPages;
        text += QStringLiteral("tarnwick-make: warning: %1 more %2 the book will not show as %3\n")
                    .arg(rest)
                    .arg(rest == 1 ? QStringLiteral("page") : QStringLiteral("pages"),
                         rest == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
    }
    return text;
}

} // namespace tarnwick
