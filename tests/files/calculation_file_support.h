#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cifrovar::testing {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cfr_files_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The names in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

  private:
    std::filesystem::path path_;
};

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// 32-bit little-endian records, written byte by byte.
inline std::string records_bytes(const std::vector<int32_t>& records) {
    std::string bytes;
    for (int32_t r : records) {
        const auto u = static_cast<uint32_t>(r);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(u >> shift));
    }
    return bytes;
}

// The records of a file: a header followed by top_index + 1 limbs, the given ones first and
// zeros up to the top.
inline std::vector<int32_t> file_records(std::vector<int32_t> header, int32_t top_index,
                                         const std::vector<int32_t>& limbs) {
    header.push_back(top_index);
    std::vector<int32_t> all = header;
    all.insert(all.end(), limbs.begin(), limbs.end());
    all.resize(header.size() + static_cast<size_t>(top_index) + 1, 0);
    return all;
}

}  // namespace cifrovar::testing
