#pragma once

#include <string>

namespace cifrovar {

// The temporary folder with a trailing '/': $TMPDIR when set and non-empty, else "/tmp/".
std::string temp_folder();

enum class TempNaming {
    // A file without a name (O_TMPFILE) where the folder's file system allows it, else named.
    unnamed_where_possible,
    named,
};

// A temporary file of this process alone, mode 0600, open for reading and writing through
// descriptor(). Where it can, it has no name at all, so that nothing is left behind however the
// process ends, even by SIGKILL; path() is then the descriptor's entry in /proc, which opens the
// file while this object lives. Otherwise it is created exclusively (mkstemps) as
// temp_folder() + "cifrovar-XXXXXX.tmp", so two instances never share it and another user
// cannot plant it, and it is held under an exclusive flock() so that a later start can tell a
// file that a killed process left behind from a live one. The destructor closes the file and
// deletes a named one (errors ignored). Non-copyable, movable.
//
// Whoever writes a named file may replace it by renaming a new file over the path; the
// destructor then deletes the new file, since it deletes by name.
class PrivateTempFile {
  public:
    // Throws std::runtime_error when the file cannot be created.
    explicit PrivateTempFile(TempNaming naming = TempNaming::unnamed_where_possible);
    ~PrivateTempFile();
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;
    // The moved-from object holds no file and deletes nothing.
    PrivateTempFile(PrivateTempFile&& other) noexcept;
    PrivateTempFile& operator=(PrivateTempFile&& other) noexcept;

    const std::string& path() const { return path_; }
    int descriptor() const { return fd_; }
    bool named() const { return named_; }

  private:
    void remove() noexcept;

    std::string path_;
    int fd_ = -1;
    bool named_ = false;
};

}  // namespace cifrovar
