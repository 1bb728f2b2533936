#pragma once

#include "facts/pageproblem.h"

#include <QString>

#include <vector>

namespace tarnwick {

// A page the book will not show as the user sees the picture elsewhere.
struct PageWarning
{
    QString name;       // as it may stand on a line of standard error
    PageProblem problem;
    QString sizeReason; // why no size was read, for an unreadable one
};

// The most pages named one by one; the rest are counted on one more line.
inline constexpr qsizetype kMostWarnedPages = 20;

// tarnwick-make's warning lines, each ending in a line feed: one for each of
// the first pages (the reason and what --export does about it), then the
// count of the others when there are more than those (total in all).
QString pageWarningLines(const std::vector<PageWarning> &warnings, qsizetype total);

} // namespace tarnwick
