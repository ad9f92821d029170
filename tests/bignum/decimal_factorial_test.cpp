#include "bignum/decimal_factorial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/internal/gmp_integer.h"
#include "support/decimal_words.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

class DecimalFactorialTest : public ::testing::TestWithParam<unsigned long> {};

TEST_P(DecimalFactorialTest, EqualsGmpsFactorial) {
    BigValue expected;
    mpz_fac_ui(expected.get(), GetParam());
    DecimalNumber out{Words(5, 1)};
    decimal_factorial(out, GetParam());
    EXPECT_TRUE(same_words(out.words, words_of(expected)));
}

// Both sides of the size GMP computes in one piece (2^15), odd and even halvings at every
// level below: 300001 = 2 * 150000 + 1, 600000 halves to 300000, 150000 and 75000.
INSTANTIATE_TEST_SUITE_P(Arguments, DecimalFactorialTest,
                         ::testing::Values(0ul, 1ul, 2ul, 25ul, 1000ul, 32767ul, 32768ul, 32769ul,
                                           65535ul, 131071ul, 131072ul, 131073ul, 262143ul,
                                           300001ul, 600000ul));

uint64_t mul_mod(uint64_t a, uint64_t b, uint64_t p) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % p);
}

uint64_t residue_of(const DecimalNumber& x, uint64_t p) {
    uint64_t r = 0;
    for (auto w = x.words.rbegin(); w != x.words.rend(); ++w)
        r = static_cast<uint64_t>(
            (static_cast<unsigned __int128>(r) * 1000000000000000000ull + *w) % p);
    return r;
}

// From 2^22 on a level takes its binomial from the primes in decimal words, too long a
// result to convert from GMP's factorial in a unit test: its residues modulo primes above n
// are compared instead, and its length.
TEST(LongDecimalFactorialTest, HasTheResiduesAndTheLengthOfTheFactorial) {
    const unsigned long n = (1ul << 22) + 1;  // odd: the binomial times m + 1
    DecimalNumber out;
    decimal_factorial(out, n);
    for (const uint64_t p : {2305843009213693951ull, 4611686018427387847ull,
                             9223372036854775783ull}) {  // 2^61 - 1, 2^62 - 57, 2^63 - 25
        uint64_t expected = 1;
        for (uint64_t i = 2; i <= n; ++i) expected = mul_mod(expected, i, p);
        EXPECT_EQ(residue_of(out, p), expected) << p;
    }
    EXPECT_EQ(out.digit_count(), static_cast<int64_t>(std::lgamma(n + 1.0) / std::log(10.0)) + 1);
}

struct PowerCase {
    unsigned long base, exponent;
};

class DecimalPowerTest : public ::testing::TestWithParam<PowerCase> {};

TEST_P(DecimalPowerTest, EqualsGmpsPower) {
    const PowerCase c = GetParam();
    BigValue expected;
    mpz_ui_pow_ui(expected.get(), c.base, c.exponent);
    DecimalNumber out{Words(5, 1)};
    decimal_power(out, c.base, c.exponent);
    EXPECT_TRUE(same_words(out.words, words_of(expected))) << c.base << "^" << c.exponent;
}

INSTANTIATE_TEST_SUITE_P(
    Exponents, DecimalPowerTest,
    ::testing::Values(
        // One stays one word through all its squarings; the rest are raised in binary only.
        PowerCase{1, 5000000}, PowerCase{2, 0}, PowerCase{7, 1}, PowerCase{999999999999999999, 2},
        PowerCase{2147483647, 1000},
        // From 4 to 40 Mbit: the squarings in decimal after a binary head, with multiplications
        // by the base for none, some or all of the exponent's low bits.
        PowerCase{2, 1ul << 22}, PowerCase{2, 40000000}, PowerCase{7, 1700001},
        PowerCase{7, (1ul << 21) - 1}, PowerCase{10, 4000000}, PowerCase{10, 4000007},
        PowerCase{999999999, 300001}, PowerCase{2147483647, 262145},
        PowerCase{999999999999999999, 100001}),
    [](const auto& info) {
        return std::to_string(info.param.base) + "_to_" + std::to_string(info.param.exponent);
    });

// n (n - 1) ... (n - k + 1) from GMP's factorials.
BigValue variation(unsigned long n, unsigned long k) {
    BigValue top, bottom;
    mpz_fac_ui(top.get(), n);
    mpz_fac_ui(bottom.get(), n - k);
    mpz_divexact(top.get(), top.get(), bottom.get());
    return top;
}

TEST(DecimalVariationTest, EqualsGmpsQuotientOfFactorials) {
    for (const auto& [n, k] :
         std::vector<std::pair<unsigned long, unsigned long>>{{10, 0},
                                                              {10, 10},
                                                              {300000, 1},
                                                              {131072, 131072},
                                                              {1000000, 150000},
                                                              // n/16 exactly, and one below
                                                              {1600000, 100000},
                                                              {1600001, 100000},
                                                              {400000, 300001}}) {
        DecimalNumber out;
        decimal_variation(out, n, k);
        EXPECT_TRUE(same_words(out.words, words_of(variation(n, k)))) << n << " " << k;
    }
}

TEST(DecimalCancelTest, ARaisedFlagStopsEveryComputation) {
    std::atomic<bool> cancel{true};
    DecimalNumber out;
    EXPECT_THROW(decimal_factorial(out, 10, &cancel), Cancelled);
    EXPECT_THROW(decimal_factorial(out, 600000, &cancel), Cancelled);
    EXPECT_THROW(decimal_power(out, 3, 2, &cancel), Cancelled);
    EXPECT_THROW(decimal_power(out, 3, 5000000, &cancel), Cancelled);
    EXPECT_THROW(decimal_variation(out, 1000, 10, &cancel), Cancelled);
    EXPECT_THROW(decimal_variation(out, 1000000, 300000, &cancel), Cancelled);
}

TEST(DecimalCancelTest, AnUnraisedFlagChangesNothing) {
    std::atomic<bool> cancel{false};
    DecimalNumber out;
    decimal_factorial(out, 300001, &cancel);
    BigValue expected;
    mpz_fac_ui(expected.get(), 300001);
    EXPECT_TRUE(same_words(out.words, words_of(expected)));
    decimal_power(out, 7, 1700001, &cancel);
    mpz_ui_pow_ui(expected.get(), 7, 1700001);
    EXPECT_TRUE(same_words(out.words, words_of(expected)));
}

TEST(DecimalCancelTest, AFlagRaisedMidwayStopsItOrLeavesTheRightValue) {
    std::atomic<bool> cancel{false};
    DecimalNumber out;
    std::thread raiser([&] { cancel = true; });
    bool cancelled = false;
    try {
        decimal_factorial(out, 600000, &cancel);
    } catch (const Cancelled&) {
        cancelled = true;
    }
    raiser.join();
    // Finishing first is possible on a very fast machine; then the digits must be right.
    if (!cancelled) {
        BigValue expected;
        mpz_fac_ui(expected.get(), 600000);
        EXPECT_TRUE(same_words(out.words, words_of(expected)));
    }
}

}  // namespace
}  // namespace cifrovar::testing
