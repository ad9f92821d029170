#include "engine/parallel_arithmetic.h"

#include <gtest/gtest.h>

namespace cifrovar::testing {
namespace {

BigValue random_bits(unsigned long bits, unsigned long seed) {
    BigValue v;
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, seed);
    mpz_rrandomb(v.get(), state, bits);  // long runs of ones and zeros stress the carries
    gmp_randclear(state);
    return v;
}

struct MultiplyCase {
    unsigned long a_bits;
    unsigned long b_bits;
};

class ParallelMultiplyTest : public ::testing::TestWithParam<MultiplyCase> {};

TEST_P(ParallelMultiplyTest, EqualsGmpsProductAlsoInPlace) {
    const MultiplyCase c = GetParam();
    const BigValue a = random_bits(c.a_bits, 1);
    const BigValue b = random_bits(c.b_bits, 2);
    BigValue expected;
    mpz_mul(expected.get(), a.get(), b.get());

    BigValue out;
    multiply(out, a, b);
    EXPECT_EQ(mpz_cmp(out.get(), expected.get()), 0);
    BigValue in_place = a;
    multiply(in_place, in_place, b);
    EXPECT_EQ(mpz_cmp(in_place.get(), expected.get()), 0);
    BigValue other_side = b;
    multiply(other_side, a, other_side);
    EXPECT_EQ(mpz_cmp(other_side.get(), expected.get()), 0);
}

// Both sides of the size where the halves go to two threads, balanced and lopsided, odd
// lengths that do not halve evenly, and a zero factor.
INSTANTIATE_TEST_SUITE_P(Sizes, ParallelMultiplyTest,
                         ::testing::Values(MultiplyCase{64, 64}, MultiplyCase{1279999, 1280001},
                                           MultiplyCase{1280064, 1280064},
                                           MultiplyCase{3000017, 1300003},
                                           MultiplyCase{1300003, 3000017},
                                           MultiplyCase{5000000, 64}, MultiplyCase{0, 2000000}));

class ParallelFactorialTest : public ::testing::TestWithParam<unsigned long> {};

TEST_P(ParallelFactorialTest, EqualsGmpsFactorial) {
    BigValue expected, out;
    mpz_fac_ui(expected.get(), GetParam());
    factorial(out, GetParam());
    EXPECT_EQ(mpz_cmp(out.get(), expected.get()), 0);
}

INSTANTIATE_TEST_SUITE_P(Arguments, ParallelFactorialTest,
                         ::testing::Values(0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 10ul, 1001ul, 65536ul,
                                           300001ul, 1000000ul));

}  // namespace
}  // namespace cifrovar::testing
