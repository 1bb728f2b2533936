#pragma once

#include <QByteArrayView>

#include <functional>

namespace tarnwick {

// How old a temporary file of ours must be before a later run takes it for
// one that a killed run left behind: no write of Tarnwick's lasts an hour.
inline constexpr int kStaleTemporarySeconds = 3600;

// Removes from the open folder the temporary files a killed run of ours left:
// plain files (never links) whose name ours() accepts, owned by the user and
// unchanged for kStaleTemporarySeconds. Only the names are read for the rest.
void removeStaleTemporaries(int folder, const std::function<bool(QByteArrayView name)> &ours);

} // namespace tarnwick
