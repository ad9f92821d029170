#pragma once

#include <sys/stat.h>
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

// How far the writer trusts what it finds at the path it is given.
struct ReplaceRules {
    // A path the user chose: a symbolic link keeps pointing at the file it names, and that file
    // is replaced. Without it the path is a name the program makes itself in a folder others may
    // write into: a link there is replaced itself, and a name that is another user's, or neither
    // a regular file nor a link, is refused.
    bool follow_links = true;
    // A device or a pipe at the path is written directly, since renaming over it would replace
    // the node; without it, it is refused.
    bool devices = true;
};

// Backups: names the program makes in the working directory.
inline constexpr ReplaceRules own_name{.follow_links = false, .devices = false};
// A file the user may have linked elsewhere but that is only ever a regular file (the settings).
inline constexpr ReplaceRules regular_only{.follow_links = true, .devices = false};

// A file written unnamed in the target's folder and linked over the target only once complete
// and on the disk, so that a failure never leaves a truncated file where a good one was: the old
// file stays byte-identical, and a process killed while writing leaves no file of its own behind
// (an existing target is replaced through a hidden name that lives only from its link to the
// rename; a folder whose file system cannot make unnamed files gets such a name for the whole
// write, removed on failure). A replaced file keeps its mode, owner and group. An existing file is
// written in place instead where replacing it would change it for more than its content: when
// it has other hard links, when its owner or group cannot be kept, or when its folder takes no
// new file; a failure in the middle of that write loses its old content. A device or a pipe is
// opened without blocking, so a pipe nobody reads fails at once. Every failure is a
// ReplaceError.
class ReplacingFile {
  public:
    explicit ReplacingFile(const std::string& path, const ReplaceRules& rules = {});
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const void* data, size_t size);
    // Flushes to the disk and puts the file in place.
    void commit();

  private:
    // unnamed: an O_TMPFILE file; named: a hidden temporary file; in_place: the target itself,
    // overwritten from its start; direct: a device or a pipe.
    enum class Way { unnamed, named, in_place, direct };

    bool create_temporary(mode_t mode);
    bool keep_owner(const struct stat& old);
    void open_existing(bool devices);
    void link_unnamed();
    void discard_temporary();

    std::string target_;
    std::string folder_;
    std::string temp_;  // the temporary file's name while it has one
    Descriptor fd_;
    Way way_ = Way::direct;
    off_t written_ = 0;
};

}  // namespace cifrovar
