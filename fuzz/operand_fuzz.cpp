// Feeds arbitrary bytes to the operand conversion and checks it against a reference built on
// std::from_chars, plus the properties every conversion must have. Any violation aborts.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "engine/operand.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "operand_fuzz: %s (text of %zu bytes)\n", what, text.size());
    std::abort();
}

// The same contract written differently: from_chars does the digit work and the range check.
std::optional<int32_t> reference(const std::string& text) {
    std::string_view s(text);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    size_t prefix = 0;
    if (s.starts_with('$') || s.starts_with('x') || s.starts_with('X'))
        prefix = 1;
    else if (s.starts_with("0x") || s.starts_with("0X"))
        prefix = 2;
    if (prefix > 0) {
        s.remove_prefix(prefix);
        if (s.empty() || s.size() > 8) return std::nullopt;
        // from_chars accepts no sign for an unsigned type, so only digits get through.
        uint32_t pattern = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), pattern, 16);
        if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
        return static_cast<int32_t>(pattern);
    }
    if (s.starts_with('+')) {
        s.remove_prefix(1);
        // from_chars would take a second sign; the contract allows one.
        if (s.starts_with('-')) return std::nullopt;
    }
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::string hex_text(int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%X",
                  static_cast<unsigned>(static_cast<uint32_t>(value)));
    return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> value = cifrovar::convert_operand(text);

    if (value != reference(text)) fail("differs from the reference conversion", text);
    // Leading blanks never change the outcome.
    if (cifrovar::convert_operand(" " + text) != value) fail("a leading blank changed it", text);
    // Text after the number is refused.
    if (value && cifrovar::convert_operand(text + "z")) fail("accepted a trailing letter", text);
    if (!value) return 0;

    // Every value converts back from its decimal and its hexadecimal text.
    if (cifrovar::convert_operand(std::to_string(*value)) != value)
        fail("decimal text of the value does not round-trip", text);
    if (cifrovar::convert_operand(hex_text(*value)) != value)
        fail("hexadecimal text of the value does not round-trip", text);
    return 0;
}
