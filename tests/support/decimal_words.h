#pragma once

// Decimal words (18 digits each, least significant first) taken from GMP's own text, the
// reference for results computed in decimal words.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/limb_array.h"

namespace cifrovar::testing {

using Words = std::vector<uint64_t>;

// GMP's decimal text cut into words of 18 digits from the right.
Words words_of(const BigValue& value);

// GMP's text cut into limbs of limb_digits digits from the right, count of them, zeros above.
LimbArray reference_limbs(const BigValue& value, int32_t limb_digits, int64_t count);

// Where the first difference is, rather than two vectors of a million words.
::testing::AssertionResult same_words(const Words& got, const Words& expected);

// The decimal products of every instruction set this processor runs, the widest first.
using DecimalKernel = bool (*)(std::vector<uint64_t>&, const uint64_t*, size_t, const uint64_t*,
                               size_t, bool);
std::vector<std::pair<const char*, DecimalKernel>> decimal_kernels_here();

}  // namespace cifrovar::testing
