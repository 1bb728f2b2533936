#pragma once

#include <QIcon>

namespace tarnwick {

// The window icon: the installed "tarnwick" icon of the desktop's theme, or
// the same pictures built into the program when the theme has none.
QIcon applicationIcon();
// The pictures built into the program alone: no icon theme is looked up.
QIcon builtInApplicationIcon();

// The browse button's picture: an open folder at 16 pixels. Drawn rather than
// taken from the style, whose icon-theme lookup costs a noticeable part of
// the start-up.
QIcon openFolderIcon();

} // namespace tarnwick
