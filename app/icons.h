#pragma once

#include <QIcon>

namespace tarnwick {

// The window icon: an open book, drawn at 16 and 32 pixels so it needs no
// icon theme.
QIcon openBookIcon();

// The browse button's picture: an open folder at 16 pixels. Drawn rather than
// taken from the style, whose icon-theme lookup costs a noticeable part of
// the start-up.
QIcon openFolderIcon();

} // namespace tarnwick
