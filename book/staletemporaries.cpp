#include "book/staletemporaries.h"

#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

void removeStaleTemporaries(int folder, const std::function<bool(QByteArrayView name)> &ours)
{
    // fdopendir takes the descriptor it is given: a copy of the caller's.
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    DIR *dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    const time_t before = std::time(nullptr) - kStaleTemporarySeconds;
    while (const dirent *entry = ::readdir(dir)) {
        if (!ours(QByteArrayView(entry->d_name)))
            continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode) && info.st_uid == ::getuid() && info.st_mtime < before)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace tarnwick
