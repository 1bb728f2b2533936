#include "facts/pageproblem.h"

namespace tarnwick {

std::optional<PageProblem> pageProblem(const PictureHeader &header)
{
    using Coding = PictureHeader::Coding;
    using ColourSpace = PictureHeader::ColourSpace;
    if (!header.size())
        return PageProblem{PageProblem::Kind::Unreadable, 1};
    if (header.colourSpace() == ColourSpace::Cmyk || header.colourSpace() == ColourSpace::Ycck)
        return PageProblem{PageProblem::Kind::Cmyk, 1};
    const Coding coding = header.coding();
    const bool shownCoding = coding == Coding::None || coding == Coding::Baseline || coding == Coding::Extended
        || coding == Coding::Progressive;
    if (!shownCoding || header.precision() != 8)
        return PageProblem{PageProblem::Kind::UnshownCoding, 1};
    if (header.orientation() != 1)
        return PageProblem{PageProblem::Kind::Turned, header.orientation()};
    return std::nullopt;
}

} // namespace tarnwick
