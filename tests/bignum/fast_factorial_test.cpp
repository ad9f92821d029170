#include "bignum/fast_factorial.h"

#include <gtest/gtest.h>

#include <thread>

#include "bignum/internal/gmp_integer.h"

namespace cifrovar::testing {
namespace {

class FastFactorialTest : public ::testing::TestWithParam<unsigned long> {};

TEST_P(FastFactorialTest, EqualsGmpsFactorial) {
    BigValue expected, out;
    mpz_fac_ui(expected.get(), GetParam());
    fast_factorial(out, GetParam());
    EXPECT_EQ(mpz_cmp(out.get(), expected.get()), 0);
}

// Both sides of the size GMP computes in one call, odd and even halvings at every level.
INSTANTIATE_TEST_SUITE_P(Arguments, FastFactorialTest,
                         ::testing::Values(0ul, 1ul, 2ul, 10ul, 131071ul, 131072ul, 131073ul,
                                           262143ul, 300001ul, 1000000ul));

TEST(FastFactorialCancelTest, ARaisedFlagStopsIt) {
    std::atomic<bool> cancel{true};
    BigValue out;
    EXPECT_THROW(fast_factorial(out, 10, &cancel), Cancelled);
}

TEST(FastFactorialCancelTest, AFlagRaisedMidwayStopsItOrLeavesTheRightValue) {
    std::atomic<bool> cancel{false};
    BigValue out;
    std::thread raiser([&] { cancel = true; });
    bool cancelled = false;
    try {
        fast_factorial(out, 3000000, &cancel);
    } catch (const Cancelled&) {
        cancelled = true;
    }
    raiser.join();
    if (!cancelled) {
        BigValue expected;
        mpz_fac_ui(expected.get(), 3000000);
        EXPECT_EQ(mpz_cmp(out.get(), expected.get()), 0);
    }
}

}  // namespace
}  // namespace cifrovar::testing
