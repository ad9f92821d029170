#include "engine/limb_conversion.h"

#include <cstring>
#include <memory>

#include "bignum/decimal_split.h"

namespace cifrovar {

namespace {

int32_t parse_digits(const char* p, int32_t n) {
    int32_t v = 0;
    for (int32_t i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
    return v;
}

// Four-digit limbs take exactly as many bytes as their digits, so the digit string is written
// into the limb array itself, right-aligned and zero-padded, and turned into limbs in place:
// limb i's digits sit in the slot of limb count-1-i, so swapping slot pairs converts them.
void four_digit_limbs_in_place(const BigValue& value, int64_t count, pole1& limbs) {
    const size_t bound = decimal_length_bound(value) + 2;
    const size_t slots = std::max<size_t>(static_cast<size_t>(count), (bound + 3) / 4);
    limbs.resize(slots + 1);
    char* bytes = reinterpret_cast<char*>(limbs.data());
    write_decimal(value, bytes);
    const size_t len = std::strlen(bytes);
    const size_t total = static_cast<size_t>(count) * 4;
    std::memmove(bytes + total - len, bytes, len);
    std::memset(bytes, '0', total - len);
    for (size_t lo = 0, hi = static_cast<size_t>(count) - 1; lo <= hi; ++lo, --hi) {
        const int32_t low_limb = parse_digits(bytes + hi * 4, 4);
        const int32_t high_limb = parse_digits(bytes + lo * 4, 4);
        limbs[lo] = low_limb;
        limbs[hi] = high_limb;
        if (hi == 0) break;
    }
    limbs.resize(static_cast<size_t>(count));
}

}  // namespace

void value_to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, pole1& limbs,
                    const std::atomic<bool>* cancel) {
    // Four-digit limbs of a value GMP converts in one piece are written in place; every other
    // conversion is the library's.
    if (limb_digits == 4 && !is_zero(value) && bit_length(value) <= split_pays_above_bits)
        four_digit_limbs_in_place(value, count, limbs);
    else
        to_limbs(value, limb_digits, count, limbs, cancel);
}

void limbs_to_value(const pole1& limbs, int64_t top, int32_t limb_digits, BigValue& value) {
    int64_t high = top;
    while (high > 0 && limbs[high] == 0) --high;
    const size_t len = static_cast<size_t>(high + 1) * limb_digits;
    std::unique_ptr<char[]> text(new char[len + 1]);
    char* p = text.get();
    for (int64_t i = high; i >= 0; --i) {
        int32_t v = limbs[i];
        for (int32_t d = limb_digits - 1; d >= 0; --d) {
            p[d] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        p += limb_digits;
    }
    *p = '\0';
    read_decimal(value, text.get());
}

}  // namespace cifrovar
