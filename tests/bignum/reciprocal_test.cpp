#include "bignum/internal/reciprocal.h"

#include <gtest/gtest.h>

#include "bignum/internal/gmp_integer.h"

namespace cifrovar::testing {
namespace {

struct ReciprocalCase {
    const char* name;
    mp_bitcnt_t divisor_bits;
    mp_bitcnt_t quotient_bits;
};

// Divisors of every shape a division can meet: powers of five as the conversion uses, the
// extremes of their length, and random ones.
BigValue divisor(const ReciprocalCase& c, gmp_randstate_t random) {
    BigValue d;
    const std::string name = c.name;
    if (name == "five") {
        // the power of five with about the bits asked for
        mpz_ui_pow_ui(d.get(), 5, static_cast<unsigned long>(c.divisor_bits / 2.3219));
    } else if (name == "two") {
        mpz_setbit(d.get(), c.divisor_bits - 1);
    } else if (name == "ones") {
        mpz_setbit(d.get(), c.divisor_bits);
        mpz_sub_ui(d.get(), d.get(), 1);
    } else {
        mpz_urandomb(d.get(), random, c.divisor_bits);
        mpz_setbit(d.get(), c.divisor_bits - 1);
    }
    return d;
}

class ReciprocalTest : public ::testing::TestWithParam<ReciprocalCase> {};

TEST_P(ReciprocalTest, IsWithinAFewUnitsOfTheQuotient) {
    gmp_randstate_t random;
    gmp_randinit_default(random);
    const BigValue d = divisor(GetParam(), random);
    gmp_randclear(random);
    const mp_bitcnt_t power = mpz_sizeinbase(d.get(), 2) + GetParam().quotient_bits - 1;
    BigValue exact, power_of_two;
    mpz_setbit(power_of_two.get(), power);
    mpz_tdiv_q(exact.get(), power_of_two.get(), d.get());
    for (bool two : {false, true}) {
        BigValue approximate;
        approximate_reciprocal(approximate, d, power, two);
        mpz_sub(approximate.get(), approximate.get(), exact.get());
        mpz_abs(approximate.get(), approximate.get());
        EXPECT_LE(mpz_cmp_ui(approximate.get(), 16), 0)
            << GetParam().name << " " << GetParam().divisor_bits << " / "
            << GetParam().quotient_bits << " bits, off by "
            << mpz_get_str(nullptr, 10, approximate.get());
    }
}

// Short quotients that GMP divides out, divisors far longer than the quotient, and quotients
// long enough for Newton's steps (on processors whose transforms pay for them).
INSTANTIATE_TEST_SUITE_P(Shapes, ReciprocalTest,
                         ::testing::Values(ReciprocalCase{"random", 64, 64},
                                           ReciprocalCase{"random", 1000, 1},
                                           ReciprocalCase{"two", 5000, 3000},
                                           ReciprocalCase{"ones", 100000, 100},
                                           ReciprocalCase{"five", 30000000, 9000000},
                                           ReciprocalCase{"random", 12000000, 12000000},
                                           ReciprocalCase{"two", 9000000, 20000000},
                                           ReciprocalCase{"ones", 20000000, 9000000}));

}  // namespace
}  // namespace cifrovar::testing
