#pragma once

#include <QIcon>

namespace tarnwick {

// The window icon: an open book, drawn at 16 and 32 pixels so it needs no
// icon theme.
QIcon openBookIcon();

} // namespace tarnwick
