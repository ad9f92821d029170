#include "engine/residue_check.h"

namespace cifrovar {

namespace {

constexpr uint64_t prime = (uint64_t{1} << 61) - 1;

// a * b mod 2^61 - 1 for a, b below 2^62: the high bits fold onto the low ones.
uint64_t multiply_mod(uint64_t a, uint64_t b) {
    const unsigned __int128 x = static_cast<unsigned __int128>(a) * b;
    uint64_t r = (static_cast<uint64_t>(x) & prime) + static_cast<uint64_t>(x >> 61);
    r = (r & prime) + (r >> 61);
    return r >= prime ? r - prime : r;
}

}  // namespace

uint64_t limbs_residue(const pole1& limbs, int64_t top, int32_t limb_digits) {
    uint64_t radix = 1;
    for (int32_t d = 0; d < limb_digits; ++d) radix *= 10;
    uint64_t r = 0;
    for (int64_t i = top; i >= 0; --i) {
        r = multiply_mod(r, radix) + static_cast<uint32_t>(limbs[static_cast<size_t>(i)]);
        if (r >= prime) r -= prime;
    }
    return r;
}

uint64_t falling_product_residue(uint64_t top, uint64_t count) {
    uint64_t r = 1;
    // Factors below 2^31 are taken in pairs, whose product stays below 2^62.
    uint64_t i = 0;
    for (; i + 1 < count; i += 2) r = multiply_mod(r, (top - i) * (top - i - 1));
    if (i < count) r = multiply_mod(r, top - i);
    return r;
}

}  // namespace cifrovar
