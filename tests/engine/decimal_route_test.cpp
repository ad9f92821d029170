// Results long enough to be computed in decimal words, run through the whole engine: their
// digits against GMP's, their growth against the same results reached through binary, and
// interrupts and continuations around them.
#include <gtest/gtest.h>

#include "bignum/decimal_number.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"
#include "support/kind_case.h"

namespace cifrovar::testing {
namespace {

class DecimalRouteTest : public ::testing::TestWithParam<KindCase> {
  protected:
    void SetUp() override {
        if (!decimal_transforms_available()) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

TEST_P(DecimalRouteTest, GivesGmpsDigits) {
    EngineFixture f;
    start(f, GetParam());
    EXPECT_EQ(f.digits(), expected_digits(GetParam()));
}

// Limbs of 4, 8 and 9 digits; coefficients before and past the largest one.
INSTANTIATE_TEST_SUITE_P(
    Kinds, DecimalRouteTest,
    ::testing::Values(KindCase{"factorial", kind::factorial, "300001", ""},
                      KindCase{"base_2", kind::powers, "2", "4500000"},
                      KindCase{"base_7", kind::powers, "7", "1700001"},
                      KindCase{"base_999999999", kind::powers, "999999999", "500000"},
                      KindCase{"variations", kind::variations, "300000", "1000000"},
                      KindCase{"combinations", kind::combinations, "550000", "1100001"},
                      KindCase{"combinations_past_the_peak", kind::combinations, "700000",
                               "1100000"}),
    [](const auto& info) { return std::string(info.param.name); });

class DecimalRouteRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!decimal_transforms_available()) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

// Limbs that came from outside are not trusted, so the run on from them multiplies its
// factors in binary; the arrays must have grown the same either way.
TEST_F(DecimalRouteRunTest, GrowsAsTheBinaryRouteDoes) {
    EngineFixture decimal, binary;
    decimal.factorial("300000");
    binary.factorial("200000");
    binary.digits();
    binary.engine.limbs_replaced();
    binary.continue_to("300000");
    EXPECT_EQ(binary.digits(), decimal.digits());
    EXPECT_EQ(binary.engine.st.top_index, decimal.engine.st.top_index);

    EngineFixture decimal_v, binary_v;
    decimal_v.variations("300000", "1000000");
    binary_v.variations("200000", "1000000");
    binary_v.digits();
    binary_v.engine.limbs_replaced();
    binary_v.continue_to("300000");
    EXPECT_EQ(binary_v.digits(), decimal_v.digits());
    EXPECT_EQ(binary_v.engine.st.top_index, decimal_v.engine.st.top_index);
}

// After a result in decimal words the value in binary is made only when a run needs it: on
// by counting again, by ratios on the coefficient, or by the kernel's steps.
TEST_F(DecimalRouteRunTest, RunsGoOnFromADecimalResult) {
    EngineFixture f;
    f.factorial("300000");
    ASSERT_EQ(f.digits(), factorial_text(300000));
    f.continue_to("300100");
    EXPECT_EQ(f.digits(), factorial_text(300100));

    EngineFixture c;
    c.combinations("550000", "1100000");
    ASSERT_EQ(c.digits(), binomial_text(1100000, 550000));
    c.continue_to("560000");
    EXPECT_EQ(c.digits(), binomial_text(1100000, 560000));

    EngineFixture k;
    k.factorial("300000");
    ASSERT_EQ(k.digits(), factorial_text(300000));
    k.engine.fast.basecase_top_index = -1;  // the step-by-step kernel from here on
    k.continue_to("300002");
    EXPECT_EQ(k.digits(), factorial_text(300002));
}

}  // namespace
}  // namespace cifrovar::testing
