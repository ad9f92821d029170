#include "engine/byte_count.h"

#include <limits>

namespace cifrovar {

std::optional<int64_t> parse_byte_count(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return std::nullopt;
    int shift = 0;
    if (digits + 1 == text.size()) {
        switch (text.back()) {
            case 'K':
                shift = 10;
                break;
            case 'M':
                shift = 20;
                break;
            case 'G':
                shift = 30;
                break;
            default:
                return std::nullopt;
        }
    } else if (digits != text.size()) {
        return std::nullopt;
    }
    const int64_t max = std::numeric_limits<int64_t>::max() >> shift;
    int64_t count = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int digit = text[i] - '0';
        if (count > (max - digit) / 10) return std::nullopt;
        count = count * 10 + digit;
    }
    return count << shift;
}

}  // namespace cifrovar
