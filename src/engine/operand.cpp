#include "engine/operand.h"

#include <cctype>
#include <limits>

namespace cifrovar {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> convert_hex(const std::string& text, size_t pos) {
    const size_t digits = text.size() - pos;
    if (digits < 1 || digits > 8) return std::nullopt;
    uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int d = hex_value(text[pos]);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> convert_decimal(const std::string& text, size_t pos) {
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    if (pos == text.size()) return std::nullopt;
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

std::optional<int32_t> convert_operand(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos < text.size() && text[pos] == '$') return convert_hex(text, pos + 1);
    if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X'))
        return convert_hex(text, pos + 1);
    if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
        return convert_hex(text, pos + 2);
    return convert_decimal(text, pos);
}

}  // namespace cifrovar
