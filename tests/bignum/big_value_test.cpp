// The binary integers' own operations, which the engine reaches GMP through: each against
// GMP called directly, at lengths of one word and of many.
#include "bignum/big_value.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "bignum/internal/gmp_integer.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

BigValue factorial(unsigned long n) {
    BigValue v;
    mpz_fac_ui(v.get(), n);
    return v;
}

std::string text_of(const BigValue& v) {
    std::unique_ptr<char[]> text(new char[decimal_length_bound(v) + 1]);
    return write_decimal(v, text.get());
}

class BigValueOperationsTest : public ::testing::TestWithParam<unsigned long> {};

TEST_P(BigValueOperationsTest, AgreeWithGmp) {
    const BigValue a = factorial(GetParam());
    const BigValue b = factorial(GetParam() / 2 + 1);
    BigValue got, expected;

    multiply(got, a, b);
    mpz_mul(expected.get(), a.get(), b.get());
    EXPECT_EQ(compare(got, expected), 0);

    multiply_small(got, a, 999999937ul);
    mpz_mul_ui(expected.get(), a.get(), 999999937ul);
    EXPECT_EQ(compare(got, expected), 0);

    got = a;
    shift_left(got, 67);
    mpz_mul_2exp(expected.get(), a.get(), 67);
    EXPECT_EQ(compare(got, expected), 0);
    divide_exact(got, b);
    mpz_mul_2exp(expected.get(), a.get(), 67);
    mpz_divexact(expected.get(), expected.get(), b.get());
    EXPECT_EQ(compare(got, expected), 0);

    EXPECT_LT(compare(b, a), 0);
    EXPECT_GT(compare(a, 1), 0);
    EXPECT_EQ(bit_length(a), mpz_sizeinbase(a.get(), 2));
    EXPECT_EQ(word_count(a), mpz_size(a.get()));
    EXPECT_EQ(text_of(a), decimal_text(a.get()));
    BigValue read;
    read_decimal(read, text_of(a).c_str());
    EXPECT_EQ(compare(read, a), 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths, BigValueOperationsTest, ::testing::Values(3ul, 20ul, 5000ul));

TEST(BigValueTest, PowersBinomialsAndZero) {
    BigValue v;
    power(v, 7, 1000);
    EXPECT_EQ(text_of(v), power_text(7, 1000));
    binomial(v, 1000, 400);
    EXPECT_EQ(text_of(v), binomial_text(1000, 400));
    EXPECT_FALSE(is_zero(v));
    assign(v, 0);
    EXPECT_TRUE(is_zero(v));
    EXPECT_EQ(text_of(v), "0");
    EXPECT_EQ(word_count(v), 0u);
    EXPECT_EQ(compare(v, 0), 0);
}

// Copies are independent, moves leave a valid zero, and released digits leave a valid zero.
TEST(BigValueTest, CopiesMovesAndReleaseKeepValidValues) {
    BigValue a = factorial(300);
    BigValue copy(a);
    multiply_small(copy, copy, 2);
    EXPECT_EQ(compare(copy, a), 1);
    BigValue moved(std::move(copy));
    EXPECT_TRUE(is_zero(copy));  // NOLINT(bugprone-use-after-move): a valid zero is promised
    assign(copy, 5);
    EXPECT_EQ(compare(copy, 5), 0);
    a.swap(moved);  // a is now twice moved
    BigValue twice;
    multiply_small(twice, moved, 2);
    EXPECT_EQ(compare(a, twice), 0);
    moved.release();
    EXPECT_TRUE(is_zero(moved));
    multiply(moved, a, a);
    EXPECT_FALSE(is_zero(moved));
}

}  // namespace
}  // namespace cifrovar::testing
