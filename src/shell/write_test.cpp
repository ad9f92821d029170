#include "shell/write_test.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace cifrovar {

namespace {

// Writes all of text, going on after a short write or a signal.
bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

bool is_writable_directory(const std::string& folder) {
    // mkstemp fills in the X's in place and opens with O_CREAT | O_EXCL, so the name is one that
    // did not exist a moment ago: only the file made here is ever removed.
    std::string pattern = folder.empty() ? std::string(".") : folder;
    if (pattern.back() != '/') pattern += '/';
    pattern += ".cifrovar-write-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    const bool written = write_all(fd, "test\n");
    // A full disk may report its failure only when the file is closed.
    const bool closed = ::close(fd) == 0;
    const bool removed = ::unlink(name.data()) == 0;
    return written && closed && removed;
}

}  // namespace cifrovar
