#include "digit_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "factorial_digits.h"

namespace cifrovar::bench {
namespace {

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

constexpr std::size_t chunk = std::size_t{1} << 20;

// The value of the digits modulo each modulus, taken eighteen digits at a time.
class Residues {
  public:
    explicit Residues(const std::vector<uint64_t>& moduli)
        : moduli_(moduli), residues_(moduli.size(), 0) {}

    void add(const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9') continue;
            pending_ = pending_ * 10 + static_cast<uint64_t>(bytes[i] - '0');
            if (++pending_digits_ == 18) carry_pending();
        }
    }
    std::vector<uint64_t> finish() {
        carry_pending();
        return residues_;
    }

  private:
    // residue = residue * 10^digits + pending: below 2^64 * 10^18 < 2^124.
    void carry_pending() {
        uint64_t scale = 1;
        for (int d = 0; d < pending_digits_; ++d) scale *= 10;
        for (std::size_t m = 0; m < moduli_.size(); ++m)
            residues_[m] = static_cast<uint64_t>(
                (static_cast<unsigned __int128>(residues_[m]) * scale + pending_) % moduli_[m]);
        pending_ = 0;
        pending_digits_ = 0;
    }

    std::vector<uint64_t> moduli_;
    std::vector<uint64_t> residues_;
    uint64_t pending_ = 0;
    int pending_digits_ = 0;
};

// The size, the leading bytes, the first byte that is not a digit and the residues.
void scan_forward(std::FILE* file, DigitFileFigures& figures, Residues& residues) {
    std::vector<char> buffer(chunk);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, chunk, file);
        residues.add(buffer.data(), got);
        if (figures.leading.size() < edge_digits) {
            const std::size_t take = std::min(got, edge_digits - figures.leading.size());
            figures.leading.append(buffer.data(), take);
        }
        if (!figures.first_non_digit) {
            const auto bad = std::find_if(buffer.begin(), buffer.begin() + got,
                                          [](char ch) { return ch < '0' || ch > '9'; });
            if (bad != buffer.begin() + got) {
                figures.first_non_digit = figures.size + (bad - buffer.begin());
            }
        }
        figures.size += got;
        if (got < chunk) break;
    }
    if (std::ferror(file)) throw std::runtime_error("cannot read the digit file");
}

// Reads the bytes [offset, offset + length) of the file.
std::string read_at(std::FILE* file, uint64_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0 ||
        std::fread(bytes.data(), 1, length, file) != length) {
        throw std::runtime_error("cannot read the digit file");
    }
    return bytes;
}

// The zeros at the end and the bytes before them, reading backwards a chunk at a time.
void scan_backward(std::FILE* file, DigitFileFigures& figures) {
    uint64_t end = figures.size;  // the zeros found so far start here
    while (end > 0) {
        const std::size_t length = static_cast<std::size_t>(std::min<uint64_t>(chunk, end));
        const std::string block = read_at(file, end - length, length);
        const std::size_t last = block.find_last_not_of('0');
        if (last != std::string::npos) {
            end = end - length + last + 1;
            break;
        }
        end -= length;
    }
    figures.trailing_zeros = figures.size - end;
    const uint64_t start = end > edge_digits ? end - edge_digits : 0;
    figures.last_before_zeros = read_at(file, start, static_cast<std::size_t>(end - start));
}

}  // namespace

DigitFileFigures read_digit_file(const std::string& path, const std::vector<uint64_t>& moduli) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) throw std::runtime_error("cannot open " + path);
    DigitFileFigures figures;
    Residues residues(moduli);
    scan_forward(file.get(), figures, residues);
    figures.residues = residues.finish();
    scan_backward(file.get(), figures);
    return figures;
}

}  // namespace cifrovar::bench
