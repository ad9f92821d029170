#include "output_dir.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace cifrovar::bench {

OutputDir::OutputDir(const std::string& given) {
    if (!given.empty()) {
        path_ = given;
        fs::create_directories(path_);
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "cifrovar-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
    owned_ = true;
}

OutputDir::~OutputDir() {
    if (owned_) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

std::string OutputDir::file(const BenchCase& bench_case, const std::string& side) const {
    return (path_ / (file_stem(bench_case) + "." + side + ".txt")).string();
}

}  // namespace cifrovar::bench
