#pragma once

#include <filesystem>
#include <string>

#include "bench_case.h"

namespace cifrovar::bench {

// A directory for the output files: the one given, or a fresh one under the temporary
// directory ($TMPDIR, else /tmp) that is removed with everything in it when this ends.
class OutputDir {
  public:
    // Throws std::runtime_error when no directory can be made.
    explicit OutputDir(const std::string& given);
    ~OutputDir();
    OutputDir(const OutputDir&) = delete;
    OutputDir& operator=(const OutputDir&) = delete;

    // A file name for one side of a case.
    std::string file(const BenchCase& bench_case, const std::string& side) const;
    // True for a directory the user gave, whose files are the user's to keep.
    bool keeps_files() const { return !owned_; }

  private:
    std::filesystem::path path_;
    bool owned_ = false;
};

}  // namespace cifrovar::bench
