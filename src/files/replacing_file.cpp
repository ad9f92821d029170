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

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : target_(path) {
    struct stat link_info {};
    if (::lstat(path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
        // Replace the file the link points to and keep the link.
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target_ = resolved;
            std::free(resolved);
        }
    }
    mode_t mode = 0666;  // reduced by the umask, as for any newly created file
    bool keep_mode = false;
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) fail("cannot create " + target_, EISDIR);
        if (!S_ISREG(info.st_mode)) {
            fd_.reset(::open(target_.c_str(), O_WRONLY | O_CLOEXEC));
            if (fd_.get() < 0) fail("cannot open " + target_, errno);
            return;
        }
        // A file the user may not write stays as it is, as a plain overwrite would leave it.
        if (::access(target_.c_str(), W_OK) != 0) fail("cannot write " + target_, errno);
        mode = info.st_mode & 07777;
        keep_mode = true;
    }
    static std::atomic<unsigned> serial{0};
    const std::string folder = folder_of(target_);
    for (int attempt = 0; fd_.get() < 0; ++attempt) {
        temp_ = folder + "/.cifrovar-" + std::to_string(::getpid()) + "-" +
                std::to_string(serial++) + ".tmp";
        fd_.reset(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd_.get() < 0 && (errno != EEXIST || attempt >= 100)) {
            const int err = errno;
            temp_.clear();
            fail("cannot create a file in " + folder, err);
        }
    }
    if (keep_mode) ::fchmod(fd_.get(), mode);
}

ReplacingFile::~ReplacingFile() {
    if (!temp_.empty()) {
        fd_.close();
        ::unlink(temp_.c_str());
    }
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
    }
}

void ReplacingFile::commit() {
    if (temp_.empty()) {
        if (fd_.close() != 0) fail("cannot close " + target_, errno);
        return;
    }
    if (::fsync(fd_.get()) != 0) fail("cannot flush " + temp_, errno);
    if (fd_.close() != 0) fail("cannot close " + temp_, errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) fail("cannot replace " + target_, errno);
    temp_.clear();
    // The rename itself reaches the disk with the folder; a failure here loses nothing that
    // was there before, so it is not reported.
    Descriptor folder(::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

}  // namespace cifrovar
