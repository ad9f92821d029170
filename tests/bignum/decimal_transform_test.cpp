// Decimal products of the transforms longer than the pieces their words are made in, which
// hand their carries on, random and with the largest coefficients, at several transform
// lengths, for every instruction set here and both thread modes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bignum/decimal_word.h"
#include "bignum/fast_multiply.h"
#include "bignum/transforms/ntt_multiply.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

// Residues modulo 2^61 - 1, a check of products too long for GMP's to be quick.
constexpr uint64_t modulus = (uint64_t{1} << 61) - 1;
uint64_t reduced(unsigned __int128 x) {
    uint64_t r = static_cast<uint64_t>(x & modulus) + static_cast<uint64_t>(x >> 61);
    r = (r & modulus) + (r >> 61);
    return r >= modulus ? r - modulus : r;
}
uint64_t residue(const Words& words) {
    uint64_t r = 0;
    for (size_t k = words.size(); k-- > 0;)
        r = reduced(static_cast<unsigned __int128>(r) * decimal_word + words[k]);
    return r;
}

struct LongProduct {
    const char* name;
    size_t a_size, b_size;
    bool nines;
};

class LongDecimalTransformTest : public ::testing::TestWithParam<LongProduct> {};

// Products of more than 2^20 coefficients, whose words are made in pieces that hand their
// carries on, on one thread and on two: every word below 10^18 and the residue a * b's.
TEST_P(LongDecimalTransformTest, WordsAndResidueMatchTheFactors) {
    if (!decimal_transforms_available()) GTEST_SKIP() << "no AVX2 with FMA on this processor";
    const LongProduct& c = GetParam();
    std::mt19937_64 random(c.a_size);
    auto factor = [&](size_t size) {
        Words w(size, decimal_word - 1);
        if (!c.nines)
            for (auto& x : w) x = random() % decimal_word;
        return w;
    };
    const Words a = factor(c.a_size), b = factor(c.b_size);
    const uint64_t expected = reduced(static_cast<unsigned __int128>(residue(a)) * residue(b));
    for (const auto& [name, kernel] : decimal_kernels_here()) {
        for (const bool two : {false, true}) {
            Words out;
            ASSERT_TRUE(kernel(out, a.data(), a.size(), b.data(), b.size(), two));
            ASSERT_EQ(out.size(), a.size() + b.size());
            size_t above = 0;
            for (const uint64_t w : out) above += w >= decimal_word;
            EXPECT_EQ(above, 0u) << name << ", two threads " << two;
            EXPECT_EQ(residue(out), expected) << name << ", two threads " << two;
        }
    }
}

// Transforms of 2^20 and 2^21 with the top coefficients unwrapped, and of 2^22: pieces of
// 2^20 coefficients on one thread, and on two from 2^21 coefficients on.
INSTANTIATE_TEST_SUITE_P(
    Lengths, LongDecimalTransformTest,
    ::testing::Values(LongProduct{"random_600000_by_600001", 600000, 600001, false},
                      LongProduct{"nines_1100000_by_1100000", 1100000, 1100000, true},
                      LongProduct{"nines_1500000_by_1400000", 1500000, 1400000, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
