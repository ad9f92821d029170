#include "files/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cifrovar {

namespace {

[[noreturn]] void fail(const std::string& what, int err) {
    throw ReplaceError(what + ": " + std::strerror(err));
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a link names, for a link that leads to one; any other path as it is.
std::string resolved(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string result = real;
    std::free(real);
    return result;
}

// A hidden name in folder that no file of this or another process has; the leftovers of a
// killed process can be told by its number.
std::string fresh_name(const std::string& folder) {
    static std::atomic<unsigned> serial{0};
    return folder + "/.cifrovar-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) +
           ".tmp";
}

// Gives the unnamed file of fd the name; fails with EEXIST where the name is taken.
int link_descriptor(int fd, const std::string& name) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return -1;
    // Older kernels let only a privileged process link by descriptor; its entry in /proc needs
    // no privilege.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path, const ReplaceRules& rules)
    : target_(rules.follow_links ? resolved(path) : path), folder_(folder_of(target_)) {
    // A followed link is examined through itself; one leading nowhere counts as missing and is
    // replaced.
    struct stat old {};
    const bool exists =
        (rules.follow_links ? ::stat(target_.c_str(), &old) : ::lstat(target_.c_str(), &old)) == 0;
    if (exists && S_ISDIR(old.st_mode)) fail("cannot create " + target_, EISDIR);
    const bool link = exists && S_ISLNK(old.st_mode);  // only where links are not followed
    struct stat own {};
    if (rules.follow_links && exists && ::lstat(target_.c_str(), &own) == 0 &&
        S_ISLNK(own.st_mode)) {
        // The link's file has no path to be renamed over (/dev/stdout on a pipe or on a deleted
        // file): it is written through the link.
        open_existing(rules.devices);
        return;
    }
    if (!rules.follow_links && exists) {
        // The name lies in a folder others may write into: what another user put there, or a
        // node that is no file, is left alone, and only the name itself is ever replaced.
        if (old.st_uid != ::geteuid()) fail(target_ + " belongs to another user", EPERM);
        if (!link && !S_ISREG(old.st_mode)) fail(target_ + " is not a regular file", EINVAL);
    }
    if (exists && !link && !S_ISREG(old.st_mode)) {
        if (!rules.devices) fail(target_ + " is not a regular file", EINVAL);
        open_existing(true);
        return;
    }
    if (!exists || link) {
        // Created as any new file is: mode 0666 reduced by the umask.
        if (!create_temporary(0666)) fail("cannot create a file in " + folder_, errno);
        return;
    }
    // A file the user may not write stays as it is, as a plain overwrite would leave it.
    if (::access(target_.c_str(), W_OK) != 0) fail("cannot write " + target_, errno);
    const mode_t mode = old.st_mode & 07777;
    if (!rules.follow_links) {
        // The program's own file is replaced, never written into: a second name of it may have
        // been planted to lead the write elsewhere.
        if (!create_temporary(mode)) fail("cannot create a file in " + folder_, errno);
        keep_owner(old);
        ::fchmod(fd_.get(), mode);
        return;
    }
    // Other names of the file see the new content only when it is written into the file itself;
    // so does a folder that takes no new file, and a file whose owner or group a new one
    // would not get.
    if (old.st_nlink > 1 || !create_temporary(mode) || !keep_owner(old)) {
        discard_temporary();
        open_existing(rules.devices);
        return;
    }
    ::fchmod(fd_.get(), mode);
}

// An unnamed file where the file system makes one, else a hidden name; false with errno when the
// folder takes no new file.
bool ReplacingFile::create_temporary(mode_t mode) {
    fd_.reset(::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777));
    if (fd_.get() >= 0) {
        way_ = Way::unnamed;
        return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = fresh_name(folder_);
        fd_.reset(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777));
        if (fd_.get() >= 0) {
            way_ = Way::named;
            return true;
        }
        if (errno != EEXIST) break;
    }
    const int err = errno;
    temp_.clear();
    errno = err;
    return false;
}

// Gives the new file the old one's owner and group; false where that is not allowed (another
// user's file, a group the user is not in).
bool ReplacingFile::keep_owner(const struct stat& old) {
    struct stat now {};
    if (::fstat(fd_.get(), &now) != 0) return false;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return true;
    return ::fchown(fd_.get(), old.st_uid, old.st_gid) == 0;
}

void ReplacingFile::discard_temporary() {
    fd_.close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

// Opens the target itself, without blocking on a pipe nobody reads: a regular file to be
// overwritten from its start, or a device or a pipe where devices are taken.
void ReplacingFile::open_existing(bool devices) {
    fd_.reset(::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd_.get() < 0) fail("cannot open " + target_, errno);
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) fail("cannot examine " + target_, errno);
    if (S_ISREG(info.st_mode)) {
        way_ = Way::in_place;
    } else if (devices && !S_ISDIR(info.st_mode)) {
        way_ = Way::direct;
    } else {
        fail(target_ + " is not a regular file", EINVAL);
    }
    if (::fcntl(fd_.get(), F_SETFL, ::fcntl(fd_.get(), F_GETFL) & ~O_NONBLOCK) != 0)
        fail("cannot open " + target_, errno);
}

ReplacingFile::~ReplacingFile() {
    // An unnamed file vanishes with its descriptor; a file written in place keeps what it got.
    discard_temporary();
}

void ReplacingFile::write(const void* bytes, size_t size) {
    auto data = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd_.get(), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write " + target_, errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
        written_ += n;
    }
}

// Names the complete unnamed file: the target itself where it does not exist, else a fresh name
// renamed over it at once, since a link never replaces an existing name.
void ReplacingFile::link_unnamed() {
    if (link_descriptor(fd_.get(), target_) == 0) return;
    if (errno != EEXIST) fail("cannot create " + target_, errno);
    for (int attempt = 0;; ++attempt) {
        temp_ = fresh_name(folder_);
        if (link_descriptor(fd_.get(), temp_) == 0) break;
        if (errno != EEXIST || attempt >= 100) {
            const int err = errno;
            temp_.clear();
            fail("cannot create a file in " + folder_, err);
        }
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) fail("cannot replace " + target_, errno);
    temp_.clear();
}

void ReplacingFile::commit() {
    switch (way_) {
        case Way::direct:
            if (fd_.close() != 0) fail("cannot close " + target_, errno);
            return;
        case Way::in_place:
            // The old content may have been longer.
            if (::ftruncate(fd_.get(), written_) != 0) fail("cannot shorten " + target_, errno);
            if (::fsync(fd_.get()) != 0) fail("cannot flush " + target_, errno);
            if (fd_.close() != 0) fail("cannot close " + target_, errno);
            return;
        case Way::unnamed:
            if (::fsync(fd_.get()) != 0) fail("cannot flush " + target_, errno);
            link_unnamed();
            if (fd_.close() != 0) fail("cannot close " + target_, errno);
            break;
        case Way::named:
            if (::fsync(fd_.get()) != 0) fail("cannot flush " + temp_, errno);
            if (fd_.close() != 0) fail("cannot close " + temp_, errno);
            if (::rename(temp_.c_str(), target_.c_str()) != 0)
                fail("cannot replace " + target_, errno);
            temp_.clear();
            break;
    }
    // The new name reaches the disk with the folder; a failure here loses nothing that was there
    // before, so it is not reported.
    Descriptor folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

}  // namespace cifrovar
