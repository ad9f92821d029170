#include "factorial_digits.h"

#include <gtest/gtest.h>

#include <string>

#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

using bench::edge_digits;

// The figures the checker derives, read off GMP's own n!.
struct TextFigures {
    uint64_t digit_count;
    std::string leading;
    uint64_t trailing_zeros;
    std::string last_before_zeros;
};

TextFigures figures_of(const std::string& digits) {
    const std::size_t end = digits.find_last_not_of('0') + 1;
    const std::size_t start = end > edge_digits ? end - edge_digits : 0;
    return {digits.size(), digits.substr(0, edge_digits), digits.size() - end,
            digits.substr(start, end - start)};
}

// Rows on both sides of the 60-digit threshold between rounding n! whole and reading its
// leading digits from the fraction of log10(n!) (46! has 59 digits, 47! 60), and n! whose part
// before the zeros is shorter than 20 digits (20! = 2432902008176640000).
class FactorialDigitsAgainstGmp : public ::testing::TestWithParam<unsigned long> {};

TEST_P(FactorialDigitsAgainstGmp, EveryFigure) {
    const unsigned long n = GetParam();
    const TextFigures expected = figures_of(factorial_text(n));
    const bench::LeadingFigures leading = bench::factorial_leading_figures(n);
    EXPECT_EQ(leading.digit_count, expected.digit_count);
    EXPECT_FALSE(leading.count_ambiguous);
    EXPECT_EQ(leading.leading, expected.leading);
    EXPECT_FALSE(leading.leading_ambiguous);
    EXPECT_EQ(bench::factorial_trailing_zeros(n), expected.trailing_zeros);
    EXPECT_EQ(bench::factorial_last_digits(n, expected.digit_count), expected.last_before_zeros);
}

INSTANTIATE_TEST_SUITE_P(SmallN, FactorialDigitsAgainstGmp,
                         ::testing::Values(0, 1, 5, 10, 20, 24, 25, 46, 47, 48, 100, 625, 1000,
                                           3125, 12345, 100000));

// 16351! continues its first 20 digits with 99999: one more unit in the last place the
// logarithm can hold would carry into them, so the checker must not vouch for them.
TEST(FactorialDigitsTest, LeadingDigitsBeforeNinesAreAmbiguous) {
    const std::string digits = factorial_text(16351);
    ASSERT_EQ(digits.substr(edge_digits, 5), "99999");
    const bench::LeadingFigures leading = bench::factorial_leading_figures(16351);
    EXPECT_TRUE(leading.leading_ambiguous);
    EXPECT_FALSE(leading.count_ambiguous);
    EXPECT_EQ(leading.digit_count, digits.size());
}

// The spare factors 2 come back in chunks of at most 60 bits; 2^k-heavy n make many of them.
TEST(FactorialDigitsTest, LastDigitsOfALongerRunMatchGmp) {
    const unsigned long n = 262144;  // 2^18, where the spare twos are at their most
    const TextFigures expected = figures_of(factorial_text(n));
    EXPECT_EQ(bench::factorial_last_digits(n, expected.digit_count), expected.last_before_zeros);
    EXPECT_EQ(bench::factorial_trailing_zeros(n), expected.trailing_zeros);
}

}  // namespace
}  // namespace cifrovar::testing
