#pragma once

#include "book/booksettings.h"

#include <optional>

namespace tarnwick {

// Writes a checked BookSettings as a .dml document to settings.outputPath().
// The new document is written beside the target and replaces it only when it
// is complete. Returns nothing on success, else the text to show the user:
// "无法写入dml文件：" + path + "\n" + the system's reason.
std::optional<QString> saveDocument(const BookSettings &settings);

} // namespace tarnwick
