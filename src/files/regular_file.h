#pragma once

#include <string>

namespace cifrovar {

// What an existing file must be besides a regular one to be opened.
struct OpenRules {
    // A symbolic link at the path is followed; without it the opening fails (ELOOP).
    bool follow_links = true;
    // Only a file of this process's user is opened; another user's fails (EPERM).
    bool own_only = false;
};

// Opens an existing path with flags (O_RDONLY, O_WRONLY, O_APPEND ...) without blocking on a
// FIFO or a device, and keeps the descriptor only when it is a regular file, which then blocks
// as usual. -1 with errno on failure; anything but a regular file gives EINVAL.
int open_regular(const std::string& path, int flags, const OpenRules& rules = {});

}  // namespace cifrovar
