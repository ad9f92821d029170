#include "bignum/decimal_split.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bignum/internal/gmp_integer.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

int64_t limbs_needed(const BigValue& value, int32_t limb_digits) {
    return static_cast<int64_t>(mpz_sizeinbase(value.get(), 10)) / limb_digits + 2;
}

enum class Shape { power_of_ten, power_of_ten_less_one, factorial, power_of_two, random, zero };

// Values whose decimal digits sit on every kind of piece boundary: runs of zeros and nines
// across the splits, trailing zeros, and digits with no pattern.
BigValue make_value(Shape shape, unsigned long size) {
    BigValue v;
    switch (shape) {
        case Shape::power_of_ten:
            mpz_ui_pow_ui(v.get(), 10, size);
            break;
        case Shape::power_of_ten_less_one:
            mpz_ui_pow_ui(v.get(), 10, size);
            mpz_sub_ui(v.get(), v.get(), 1);
            break;
        case Shape::factorial:
            mpz_fac_ui(v.get(), size);
            break;
        case Shape::power_of_two:
            mpz_ui_pow_ui(v.get(), 2, size);
            break;
        case Shape::random: {
            gmp_randstate_t state;
            gmp_randinit_default(state);
            gmp_randseed_ui(state, size);
            mpz_urandomb(v.get(), state, size);
            gmp_randclear(state);
            break;
        }
        case Shape::zero:
            break;
    }
    return v;
}

struct SplitCase {
    Shape shape;
    unsigned long size;
    int32_t limb_digits;
    int64_t leaf_limbs;
    int parallel_levels;
};

class DecimalSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(DecimalSplitTest, GivesGmpsDigits) {
    const SplitCase c = GetParam();
    const BigValue value = make_value(c.shape, c.size);
    const int64_t count = limbs_needed(value, c.limb_digits) + 7;
    SplitOptions options;
    options.leaf_limbs = c.leaf_limbs;
    options.parallel_levels = c.parallel_levels;
    LimbArray limbs(3, 77);  // whatever was there before is overwritten
    split_to_limbs(value, c.limb_digits, count, limbs, options);
    EXPECT_EQ(limbs, reference_limbs(value, c.limb_digits, count));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DecimalSplitTest,
    ::testing::Values(
        // Tiny leaves make deep trees, so that every level and both halves are exercised.
        SplitCase{Shape::power_of_ten, 1000, 4, 1, 2},
        SplitCase{Shape::power_of_ten, 1003, 4, 3, 1},
        SplitCase{Shape::power_of_ten, 1000, 1, 2, 3},
        SplitCase{Shape::power_of_ten_less_one, 999, 4, 1, 1},
        SplitCase{Shape::power_of_ten_less_one, 4096, 9, 5, 2},
        SplitCase{Shape::factorial, 3000, 4, 2, 2}, SplitCase{Shape::factorial, 20000, 7, 16, 1},
        SplitCase{Shape::factorial, 100000, 4, 256, 1},
        SplitCase{Shape::power_of_two, 33219, 4, 1, 0},
        SplitCase{Shape::power_of_two, 100000, 3, 10, 4}, SplitCase{Shape::random, 50000, 9, 4, 1},
        SplitCase{Shape::random, 60001, 2, 100, 0}, SplitCase{Shape::random, 7, 4, 1, 1},
        SplitCase{Shape::random, 1, 5, 256, 1}, SplitCase{Shape::zero, 0, 4, 1, 1},
        SplitCase{Shape::zero, 0, 8, 256, 1},
        // Long enough for the top levels to divide by their inverses, with nines and zeros
        // running across their splits; the second thread on the first level GMP divides, or
        // on three of them, or on none.
        SplitCase{Shape::power_of_ten_less_one, 6000000, 4, 256, 1},
        SplitCase{Shape::power_of_ten, 12000000, 9, 256, 3},
        SplitCase{Shape::random, 40000000, 4, 256, 0},
        SplitCase{Shape::factorial, 1000000, 5, 77, 1}));

TEST(DecimalSplitCancelTest, ARaisedFlagStopsTheConversion) {
    const BigValue value = make_value(Shape::factorial, 20000);
    std::atomic<bool> cancel{true};
    SplitOptions options;
    options.leaf_limbs = 4;
    options.cancel = &cancel;
    LimbArray limbs;
    EXPECT_THROW(split_to_limbs(value, 4, limbs_needed(value, 4), limbs, options), Cancelled);
}

TEST(DecimalSplitCancelTest, AFlagRaisedMidwayStopsBothThreads) {
    // A deep tree of tiny leaves takes long enough for the flag to come in between pieces.
    const BigValue value = make_value(Shape::random, 4000000);
    std::atomic<bool> cancel{false};
    SplitOptions options;
    options.leaf_limbs = 1;
    options.cancel = &cancel;
    LimbArray limbs;
    std::thread raiser([&] { cancel = true; });
    bool cancelled = false;
    try {
        split_to_limbs(value, 4, limbs_needed(value, 4), limbs, options);
    } catch (const Cancelled&) {
        cancelled = true;
    }
    raiser.join();
    // Finishing first is possible on a very fast machine; then the digits must be right.
    if (!cancelled) {
        EXPECT_EQ(limbs, reference_limbs(value, 4, limbs_needed(value, 4)));
    }
}

TEST(DecimalSplitCancelTest, AnUnraisedFlagChangesNothing) {
    const BigValue value = make_value(Shape::factorial, 5000);
    std::atomic<bool> cancel{false};
    SplitOptions options;
    options.leaf_limbs = 8;
    options.cancel = &cancel;
    LimbArray limbs;
    split_to_limbs(value, 6, limbs_needed(value, 6), limbs, options);
    EXPECT_EQ(limbs, reference_limbs(value, 6, limbs_needed(value, 6)));
}

}  // namespace
}  // namespace cifrovar::testing
