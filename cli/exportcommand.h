#pragma once

#include "cli/makecommand.h"

#include <QString>

#include <optional>

namespace tarnwick {

class BookSession;
struct BookSettings;

// tarnwick-make --export: writes the book folder of settings (checked as for
// a document) into target, with pictures more than maxScale times their
// placed size scaled down (BookExport::kNoScale: none). Prints the target's
// path on success; a failure names the picture and the reason and leaves no
// target folder.
MakeResult runExportCommand(BookSession &session, const BookSettings &settings, const QString &target,
                            int maxScale, const QString &problemsBefore = {});

// The number of --max-scale; nothing when it is not a whole number from 1 to 8.
std::optional<int> parseMaxScale(const QString &text);

} // namespace tarnwick
