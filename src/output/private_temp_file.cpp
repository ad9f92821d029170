#include "output/private_temp_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace cifrovar {

namespace {

constexpr char name_prefix[] = "cifrovar-";
constexpr char name_suffix[] = ".tmp";

// The file without a name, reachable through /proc; -1 where the file system refuses O_TMPFILE
// or /proc cannot open it.
int open_unnamed(const std::string& folder, std::string& path) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return -1;
    path = "/proc/self/fd/" + std::to_string(fd);
    const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (probe < 0) {
        ::close(fd);
        return -1;
    }
    ::close(probe);
    return fd;
}

int open_named(const std::string& folder, std::string& path) {
    path = folder + name_prefix + "XXXXXX" + name_suffix;
    const int fd = ::mkostemps(path.data(), static_cast<int>(std::strlen(name_suffix)), O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw std::runtime_error("cannot create a temporary file " + path + ": " +
                                 std::strerror(err));
    }
    // Held for the file's life: a start that sweeps the folder leaves a locked file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

}  // namespace

std::string temp_folder() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir == nullptr || *tmpdir == '\0') return "/tmp/";
    std::string folder = tmpdir;
    if (folder.back() != '/') folder += '/';
    return folder;
}

PrivateTempFile::PrivateTempFile(TempNaming naming) {
    const std::string folder = temp_folder();
    std::string path;
    int fd = naming == TempNaming::unnamed_where_possible ? open_unnamed(folder, path) : -1;
    const bool named = fd < 0;
    if (named) fd = open_named(folder, path);
    // Both ways ask for 0600; a umask can only take bits away, and one that took the owner's
    // own would leave a file the renderer cannot write.
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        const int err = errno;
        ::close(fd);
        if (named) ::unlink(path.c_str());
        throw std::runtime_error("cannot make the temporary file " + path +
                                 " private: " + std::strerror(err));
    }
    path_ = std::move(path);
    fd_ = fd;
    named_ = named;
}

PrivateTempFile::~PrivateTempFile() { remove(); }

PrivateTempFile::PrivateTempFile(PrivateTempFile&& other) noexcept
    : path_(std::exchange(other.path_, std::string())),
      fd_(std::exchange(other.fd_, -1)),
      named_(std::exchange(other.named_, false)) {}

PrivateTempFile& PrivateTempFile::operator=(PrivateTempFile&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, std::string());
        fd_ = std::exchange(other.fd_, -1);
        named_ = std::exchange(other.named_, false);
    }
    return *this;
}

void PrivateTempFile::remove() noexcept {
    // The name goes first, while the lock still tells a sweeping start that the file is ours.
    if (named_) ::unlink(path_.c_str());
    if (fd_ >= 0) ::close(fd_);
    path_.clear();
    fd_ = -1;
    named_ = false;
}

}  // namespace cifrovar
