#include "bench_case.h"

#include <cctype>

namespace cifrovar::bench {
namespace {

// What the engine's operand fields convert: the non-negative 32-bit integers.
constexpr uint64_t max_operand = 2147483647;

// Reads a decimal operand at text[pos], advancing pos past it.
std::optional<uint32_t> read_operand(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    uint64_t value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + static_cast<uint64_t>(text[pos++] - '0');
        if (value > max_operand) return std::nullopt;
    }
    if (pos == start) return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool read_char(const std::string& text, std::size_t& pos, char expected) {
    if (pos >= text.size() || text[pos] != expected) return false;
    ++pos;
    return true;
}

// "C(N,K)" or "V(N,K)", from the opening parenthesis on.
std::optional<BenchCase> read_selection(const std::string& text, Operation op) {
    std::size_t pos = 1;
    if (!read_char(text, pos, '(')) return std::nullopt;
    const auto elements = read_operand(text, pos);
    if (!elements || !read_char(text, pos, ',')) return std::nullopt;
    const auto k = read_operand(text, pos);
    if (!k || !read_char(text, pos, ')') || pos != text.size()) return std::nullopt;
    return BenchCase{text, op, *k, *elements};
}

}  // namespace

std::optional<BenchCase> parse_case(const std::string& text) {
    std::string compact;
    for (char ch : text) {
        if (ch != ' ') compact += ch;
    }
    if (compact.empty()) return std::nullopt;
    if (compact[0] == 'C') return read_selection(compact, Operation::combinations);
    if (compact[0] == 'V') return read_selection(compact, Operation::variations);
    std::size_t pos = 0;
    const auto first = read_operand(compact, pos);
    if (!first || pos == compact.size()) return std::nullopt;
    if (compact[pos] == '!') {
        if (pos + 1 != compact.size()) return std::nullopt;
        return BenchCase{compact, Operation::factorial, *first, 0};
    }
    if (!read_char(compact, pos, '^')) return std::nullopt;
    const auto exponent = read_operand(compact, pos);
    if (!exponent || pos != compact.size()) return std::nullopt;
    return BenchCase{compact, Operation::power, *first, *exponent};
}

std::string file_stem(const BenchCase& bench_case) {
    std::string stem;
    for (char ch : bench_case.name) {
        stem += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    }
    return stem;
}

}  // namespace cifrovar::bench
