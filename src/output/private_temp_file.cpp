#include "output/private_temp_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace cifrovar {

namespace {

constexpr char name_prefix[] = "cifrovar-";
constexpr char name_suffix[] = ".tmp";

}  // namespace

std::string temp_folder() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir == nullptr || *tmpdir == '\0') return "/tmp/";
    std::string folder = tmpdir;
    if (folder.back() != '/') folder += '/';
    return folder;
}

PrivateTempFile::PrivateTempFile() {
    std::string pattern = temp_folder() + name_prefix + "XXXXXX" + name_suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::strlen(name_suffix)));
    if (fd < 0) {
        const int err = errno;
        throw std::runtime_error("cannot create a temporary file " + pattern + ": " +
                                 std::strerror(err));
    }
    // mkstemps already asks for 0600; a umask can only take bits away, and one that took the
    // owner's own would leave a file the renderer cannot write.
    const bool private_mode = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    const int err = errno;
    ::close(fd);
    if (!private_mode) {
        ::unlink(pattern.c_str());
        throw std::runtime_error("cannot make the temporary file " + pattern +
                                 " private: " + std::strerror(err));
    }
    path_ = std::move(pattern);
}

PrivateTempFile::~PrivateTempFile() { remove(); }

PrivateTempFile::PrivateTempFile(PrivateTempFile&& other) noexcept
    : path_(std::exchange(other.path_, std::string())) {}

PrivateTempFile& PrivateTempFile::operator=(PrivateTempFile&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, std::string());
    }
    return *this;
}

void PrivateTempFile::remove() noexcept {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace cifrovar
