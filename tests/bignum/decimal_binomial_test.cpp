#include "bignum/decimal_binomial.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/internal/gmp_integer.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

::testing::AssertionResult is_gmps_binomial(unsigned long n, unsigned long k) {
    BigValue expected;
    mpz_bin_uiui(expected.get(), n, k);
    DecimalNumber out{Words(3, 7)};
    decimal_binomial(out, n, k);
    return same_words(out.words, words_of(expected)) << " for C(" << n << ", " << k << ")";
}

// Every k for the smallest n: the first segment alone, with 2 and the squares of the first
// primes, where the sieve starts crossing out.
TEST(DecimalBinomialTest, EveryCoefficientOfTheSmallRows) {
    for (unsigned long n = 0; n <= 50; ++n)
        for (unsigned long k = 0; k <= n; ++k) EXPECT_TRUE(is_gmps_binomial(n, k));
}

TEST(DecimalBinomialTest, AClassAboveTheElementsIsZero) {
    DecimalNumber out{Words(3, 7)};
    decimal_binomial(out, 10, 11);
    EXPECT_TRUE(out.words.empty());
}

// The segments hold 4096 odd numbers up to n = 2^21 and more above, and the two threads
// take alternate ones: n at and around the ends of the first segments, at the square of a
// prime, and past the point where the segments grow; k near the ends and the middle.
TEST(DecimalBinomialTest, RowsAcrossTheSegmentEnds) {
    const std::vector<std::pair<unsigned long, unsigned long>> cases = {
        {8191, 4095},    {8192, 4096},  {8193, 4096},      {8193, 1},
        {16383, 8191},   {16384, 3},    {16385, 16384},    {10201, 5100},
        {24649, 12324},  {1000003, 2},  {1100001, 550000}, {1100001, 17},
        {2097152, 1000}, {2097153, 31}, {3000017, 400},    {3000017, 2999990}};
    for (const auto& [n, k] : cases) EXPECT_TRUE(is_gmps_binomial(n, k));
}

TEST(DecimalBinomialTest, ARaisedFlagStopsIt) {
    std::atomic<bool> cancel{true};
    DecimalNumber out;
    EXPECT_THROW(decimal_binomial(out, 1100001, 550000, &cancel), Cancelled);
}

}  // namespace
}  // namespace cifrovar::testing
