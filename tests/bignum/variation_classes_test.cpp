// Values computed through the steps they hold on the way: the factorial's levels, the classes
// of a long variation, products of consecutive numbers by each of their routes, and the
// conversion that lets a value from outside in limbs be taken over.
#include "bignum/variation_classes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/decimal_number.h"
#include "bignum/internal/gmp_integer.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

BigValue factorial(unsigned long n) {
    BigValue v;
    mpz_fac_ui(v.get(), n);
    return v;
}

BigValue falling(unsigned long top, unsigned long count) {
    BigValue v;
    mpz_bin_uiui(v.get(), top, count);
    mpz_mul(v.get(), v.get(), factorial(count).get());
    return v;
}

using Told = std::vector<std::pair<unsigned long, Words>>;

StepValue recording(Told& told) {
    return [&told](unsigned long step, const DecimalNumber& value) {
        told.emplace_back(step, value.words);
    };
}

TEST(FactorialLevelsTest, EachLevelIsToldInOrderWithItsValue) {
    Told told;
    FactorialLevels levels;
    levels.level = recording(told);
    DecimalNumber out;
    decimal_factorial(out, 300001, nullptr, &levels);
    EXPECT_TRUE(same_words(out.words, words_of(factorial(300001))));
    std::vector<unsigned long> steps;
    for (const auto& [step, words] : told) {
        steps.push_back(step);
        EXPECT_TRUE(same_words(words, words_of(factorial(step)))) << step;
    }
    EXPECT_EQ(steps, (std::vector<unsigned long>{18750, 37500, 75000, 150000}));
}

// A level held already is taken as it is: a wrong seed shows in the result, a right one
// gives the factorial, and the work planned leaves out the levels below it.
TEST(FactorialLevelsTest, ASeedIsTakenInsteadOfItsLevel) {
    DecimalNumber seed;
    to_decimal(seed, factorial(75000));
    FactorialLevels levels;
    levels.seed_n = 75000;
    levels.seed = &seed;
    DecimalNumber out;
    decimal_factorial(out, 300000, nullptr, &levels);
    EXPECT_TRUE(same_words(out.words, words_of(factorial(300000))));

    DecimalNumber wrong;
    to_decimal(wrong, factorial(74999));
    levels.seed = &wrong;
    decimal_factorial(out, 300000, nullptr, &levels);
    EXPECT_FALSE(same_words(out.words, words_of(factorial(300000))));

    EXPECT_LT(decimal_factorial_work(1ul << 23, 1ul << 21), decimal_factorial_work(1ul << 23));
}

// Below n / 16 a product tree or the binomial from the primes, above it GMP's fast binomial
// route, with the factorial given or computed.
TEST(FallingProductTest, EveryRouteGivesTheProduct) {
    const struct {
        unsigned long top, count;
    } cases[] = {{1000, 0},         {1000, 1},         {100000000, 5000},
                 {2000000, 100000}, {1000000, 300000}, {300000, 300000}};
    for (const auto& c : cases) {
        DecimalNumber out;
        decimal_falling_product(out, c.top, c.count);
        EXPECT_TRUE(same_words(out.words, words_of(falling(c.top, c.count))))
            << c.top << " " << c.count;
        DecimalNumber given;
        to_decimal(given, factorial(c.count));
        decimal_falling_product(out, c.top, c.count, nullptr, &given);
        EXPECT_TRUE(same_words(out.words, words_of(falling(c.top, c.count))))
            << c.top << " " << c.count;
    }
}

TEST(VariationClassesTest, EachClassIsToldInOrderWithItsValue) {
    const unsigned long n = 1000000, k = 400001;
    Told told;
    DecimalNumber out;
    decimal_variation_in_classes(out, n, k, recording(told), nullptr, 0);
    EXPECT_TRUE(same_words(out.words, words_of(falling(n, k))));
    ASSERT_GE(told.size(), 3u);
    for (size_t i = 0; i < told.size(); ++i) {
        const unsigned long h = told[i].first;
        EXPECT_EQ(h, k >> (told.size() - i)) << i;
        EXPECT_TRUE(same_words(told[i].second, words_of(falling(n, h)))) << h;
    }
}

TEST(VariationClassesTest, ACancelStopsIt) {
    std::atomic<bool> cancel{false};
    DecimalNumber out;
    const StepValue stop = [&](unsigned long, const DecimalNumber&) { cancel = true; };
    EXPECT_THROW(decimal_variation_in_classes(out, 1000000, 400000, stop, &cancel, 0), Cancelled);
}

// Limbs of every width become decimal words and back.
TEST(LimbsFromOutsideTest, AreReadInDecimalWords) {
    const BigValue value = factorial(20000);
    for (const int32_t digits : {1, 4, 7, 9}) {
        const int64_t count = static_cast<int64_t>(mpz_sizeinbase(value.get(), 10)) / digits + 3;
        const LimbArray limbs = reference_limbs(value, digits, count);
        DecimalNumber x;
        limbs_to_decimal(limbs, static_cast<int32_t>(count - 1), digits, x);
        EXPECT_TRUE(same_words(x.words, words_of(value))) << digits;
    }
}

}  // namespace
}  // namespace cifrovar::testing
