#pragma once

#include <string>

namespace cifrovar {

// The temporary folder with a trailing '/': $TMPDIR when set and non-empty, else "/tmp/".
std::string temp_folder();

// A temporary file of this process alone: created exclusively (mkstemps, mode 0600) as
// temp_folder() + "cifrovar-XXXXXX.tmp", so two instances never share it and another user
// cannot plant it. The destructor deletes it (errors ignored). Non-copyable, movable.
//
// Whoever writes the file may replace it by renaming a new file over the path; the destructor
// then deletes the new file, since it deletes by name.
class PrivateTempFile {
  public:
    // Throws std::runtime_error when the file cannot be created.
    PrivateTempFile();
    ~PrivateTempFile();
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;
    // The moved-from object holds no file and deletes nothing.
    PrivateTempFile(PrivateTempFile&& other) noexcept;
    PrivateTempFile& operator=(PrivateTempFile&& other) noexcept;

    const std::string& path() const { return path_; }

  private:
    void remove() noexcept;

    std::string path_;
};

}  // namespace cifrovar
