#pragma once

#include <unistd.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

namespace cifrovar {

// A file that could not be created, written or put in place.
struct ReplaceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An open file descriptor, closed with its owner.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now, so that a failing close is seen (some file systems report write errors here).
    int close() { return fd_ < 0 ? 0 : ::close(std::exchange(fd_, -1)); }

  private:
    int fd_;
};

// A file written under a temporary name in the target's folder and renamed over the target
// only once complete and on the disk, so that a failure never leaves a truncated file where a
// good one was: the old file stays byte-identical and the temporary file is removed. A target
// that is a device or a pipe is written directly, since renaming over it would replace the
// node; a symbolic link keeps pointing at the file it names, and an existing file keeps its
// mode. Every failure is a ReplaceError.
class ReplacingFile {
  public:
    explicit ReplacingFile(const std::string& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const void* data, size_t size);
    // Flushes to the disk and puts the file in place.
    void commit();

  private:
    std::string target_;
    std::string temp_;
    Descriptor fd_;
};

}  // namespace cifrovar
