#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cifrovar {

int open_regular(const std::string& path, int flags, const OpenRules& rules) {
    // O_NONBLOCK: opening a FIFO waits for its other end, and a device may wait for its line;
    // the node is examined first and only a regular file kept, where the flag changes nothing.
    flags |= O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (!rules.follow_links) flags |= O_NOFOLLOW;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) return -1;
    struct stat info {};
    int refused = 0;
    if (::fstat(fd, &info) != 0) {
        refused = errno;
    } else if (!S_ISREG(info.st_mode)) {
        refused = EINVAL;
    } else if (rules.own_only && info.st_uid != ::geteuid()) {
        refused = EPERM;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        refused = errno;
    }
    if (refused == 0) return fd;
    ::close(fd);
    errno = refused;
    return -1;
}

}  // namespace cifrovar
