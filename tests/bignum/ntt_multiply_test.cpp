#include "bignum/transforms/ntt_multiply.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_binary_product.h"

namespace cifrovar::testing {
namespace {

using BinaryKernel = bool (*)(mpz_t, const mpz_t, const mpz_t, bool);

// The products of every instruction set this processor runs, the widest first.
std::vector<std::pair<const char*, BinaryKernel>> kernels_here() {
    std::vector<std::pair<const char*, BinaryKernel>> kernels;
    if (runs_avx512()) kernels.emplace_back("AVX-512", ntt_multiply_avx512);
    if (runs_avx2()) kernels.emplace_back("AVX2", ntt_multiply_avx2);
    return kernels;
}

class NttMultiplyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ntt_available()) GTEST_SKIP() << "no AVX-512 or AVX2 on this processor";
        gmp_randinit_default(random_);
        gmp_randseed_ui(random_, 20261208);
    }
    void TearDown() override {
        if (ntt_available()) gmp_randclear(random_);
    }

    BigValue random_bits(mp_bitcnt_t bits) {
        BigValue v;
        mpz_rrandomb(v.get(), random_, bits);  // long runs of ones and zeros
        return v;
    }
    static BigValue all_ones(mp_bitcnt_t bits) {
        BigValue v;
        mpz_setbit(v.get(), bits);
        mpz_sub_ui(v.get(), v.get(), 1);
        return v;
    }

    // Every instruction set, both thread modes, and the square when a and b are the same
    // value.
    static void expect_gmps_product(const BigValue& a, const BigValue& b) {
        BigValue expected;
        mpz_mul(expected.get(), a.get(), b.get());
        for (const auto& [name, kernel] : kernels_here()) {
            for (bool two : {false, true}) {
                BigValue product(7);
                ASSERT_TRUE(kernel(product.get(), a.get(), b.get(), two));
                EXPECT_EQ(mpz_cmp(product.get(), expected.get()), 0)
                    << name << ": " << mpz_sizeinbase(a.get(), 2) << " x "
                    << mpz_sizeinbase(b.get(), 2) << " bits, two threads " << two;
            }
        }
    }

    gmp_randstate_t random_;
};

// Transform lengths from the shortest to ones that take the two-thread split and the stages
// made on the fly, each with the largest and a small share of bits per coefficient.
TEST_F(NttMultiplyTest, RandomProductsOfEverySizeEqualGmps) {
    for (mp_bitcnt_t bits : {1ul, 63ul, 64ul, 65ul, 1000ul, 4000ul, 100000ul, 500000ul, 1000000ul,
                             4063168ul, 4100000ul, 9000000ul}) {
        expect_gmps_product(random_bits(bits), random_bits(bits + 17));
    }
}

// Every piece at its largest makes every coefficient of the product as large as it can be,
// which is what the three primes must still hold exactly.
TEST_F(NttMultiplyTest, LargestCoefficientsSurviveTheReconstruction) {
    for (mp_bitcnt_t bits : {128ul, 4063168ul, 8126400ul}) {
        const BigValue ones = all_ones(bits);
        expect_gmps_product(ones, ones);
    }
}

// The reconstruction splits each coefficient into pieces of the plan's bits by other shifts
// up to 51 bits and from 52 on, and at 52 a shift is by nothing: the edges of each range, a
// product each, its limbs found by the plan itself.
TEST_F(NttMultiplyTest, EveryWidthOfPiecesEqualsGmps) {
    for (int bits : {32, 33, 51, 52, 53, 62}) {
        size_t limbs = 8192;  // blocks on both threads
        while (limbs < 400000 && ntt_kernels::plan_for(limbs * 64).bits != bits) ++limbs;
        ASSERT_LT(limbs, 400000u) << "no product of " << bits << "-bit pieces found";
        const mp_bitcnt_t a_bits = limbs / 2 * 64, b_bits = (limbs - limbs / 2) * 64;
        SCOPED_TRACE(::testing::Message() << bits << "-bit pieces");
        expect_gmps_product(random_bits(a_bits), random_bits(b_bits));
        expect_gmps_product(all_ones(a_bits), all_ones(b_bits));
    }
}

// A value cut down keeps its old limbs past its size in the same allocation; the pieces of its
// last limbs must not take any of them in, wherever its last limb falls among a vector's.
TEST_F(NttMultiplyTest, LimbsPastTheSizeAreNotRead) {
    for (mp_bitcnt_t kept_bits = 100000; kept_bits < 100000 + 16 * 61; kept_bits += 61) {
        BigValue a = all_ones(200000), b = all_ones(200000);
        mpz_tdiv_r_2exp(a.get(), a.get(), kept_bits);
        mpz_tdiv_r_2exp(b.get(), b.get(), kept_bits / 3);
        SCOPED_TRACE(::testing::Message() << kept_bits << " bits kept");
        expect_gmps_product(a, b);
        expect_gmps_product(a, a);
    }
}

TEST_F(NttMultiplyTest, SquaresAndUnevenOperands) {
    const BigValue a = random_bits(3000000);
    expect_gmps_product(a, a);
    BigValue square;
    ASSERT_TRUE(ntt_multiply(square.get(), a.get(), a.get(), true));
    BigValue expected;
    mpz_mul(expected.get(), a.get(), a.get());
    EXPECT_EQ(mpz_cmp(square.get(), expected.get()), 0);
    expect_gmps_product(random_bits(5000000), random_bits(70));
    expect_gmps_product(BigValue(1), random_bits(2000000));
}

TEST_F(NttMultiplyTest, SignsAndAliasedResult) {
    BigValue a = random_bits(600000), b = random_bits(500000);
    mpz_neg(a.get(), a.get());
    expect_gmps_product(a, b);
    BigValue expected;
    mpz_mul(expected.get(), a.get(), a.get());
    ASSERT_TRUE(ntt_multiply(a.get(), a.get(), a.get(), false));
    EXPECT_EQ(mpz_cmp(a.get(), expected.get()), 0);
}

TEST_F(NttMultiplyTest, ZeroIsLeftToGmp) {
    BigValue zero, product(5);
    const BigValue a = random_bits(1000);
    EXPECT_FALSE(ntt_multiply(product.get(), zero.get(), a.get(), false));
    EXPECT_EQ(mpz_cmp_ui(product.get(), 5), 0);
}

// fast_multiply chooses its route by size; either way the product must be GMP's.
TEST(FastMultiplyTest, ShortAndLongProductsEqualGmps) {
    gmp_randstate_t random;
    gmp_randinit_default(random);
    for (mp_bitcnt_t bits : {10ul, 100000ul, 9000000ul}) {
        BigValue a, b, expected, product;
        mpz_urandomb(a.get(), random, bits);
        mpz_urandomb(b.get(), random, bits);
        mpz_mul(expected.get(), a.get(), b.get());
        fast_multiply(product, a, b, true);
        EXPECT_EQ(mpz_cmp(product.get(), expected.get()), 0) << bits;
        fast_multiply(a, a, a);
        mpz_mul(expected.get(), b.get(), b.get());
        fast_multiply(b, b, b);
        EXPECT_EQ(mpz_cmp(b.get(), expected.get()), 0) << bits;
    }
    gmp_randclear(random);
}

}  // namespace
}  // namespace cifrovar::testing
