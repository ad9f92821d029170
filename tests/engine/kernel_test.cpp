#include "engine/kernel.h"

#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace cifrovar::testing {
namespace {

TEST(KernelTest, NewCalculationHas101FourDigitLimbs) {
    EngineFixture f;
    EXPECT_EQ(f.engine.st.top_index, 100);
    EXPECT_EQ(f.engine.st.vysledek.size(), 101u);
    EXPECT_EQ(f.engine.st.pomoc.size(), 101u);
    EXPECT_EQ(f.engine.st.limb_digits, 4);
    EXPECT_EQ(f.engine.st.limb_base, 10000);
    EXPECT_EQ(f.engine.st.pocitadlo, 1);
}

TEST(KernelTest, GrowsOnlyWhenOneOfTheThreeTopLimbsIsSet) {
    CalcState st;
    set_limb_count(st, 101);
    st.vysledek[97] = 5;
    ensure_headroom(st);
    EXPECT_EQ(st.top_index, 100);
    st.vysledek[98] = 1;
    ensure_headroom(st);
    EXPECT_EQ(st.top_index, 200);
    EXPECT_EQ(st.vysledek.size(), 201u);
    EXPECT_EQ(st.pomoc.size(), 201u);
    EXPECT_EQ(st.vysledek[98], 1);
    EXPECT_EQ(st.vysledek[200], 0);
}

TEST(KernelTest, SplitsFactorsAtTheLimbBase) {
    CalcState st;
    split_factor(st, 9999, 1);
    EXPECT_EQ(st.multiplier_top, 0);
    split_factor(st, 10000, 1);
    EXPECT_EQ(st.multiplier_limbs[0], 0);
    EXPECT_EQ(st.multiplier_limbs[1], 1);
    EXPECT_EQ(st.multiplier_top, 1);
    CalcState wide;
    split_factor(wide, 999999999, 3);
    EXPECT_EQ(wide.multiplier_top, 2);
    EXPECT_EQ(wide.multiplier_limbs[0], 9999);
    EXPECT_EQ(wide.multiplier_limbs[1], 9999);
    EXPECT_EQ(wide.multiplier_limbs[2], 9);
}

TEST(KernelTest, MultipliesAndCarriesInOneSweep) {
    CalcState st;
    set_limb_count(st, 101);
    st.limb_digits = 9;
    st.limb_base = 1000000000;
    st.vysledek[0] = 999999999;
    split_factor(st, 2, 3);
    ASSERT_TRUE(multiply_step(st));
    EXPECT_EQ(st.vysledek[0], 999999998);
    EXPECT_EQ(st.vysledek[1], 1);
    split_factor(st, 0, 3);
    ASSERT_TRUE(multiply_step(st));
    for (int32_t limb : st.vysledek) EXPECT_EQ(limb, 0);
}

TEST(KernelTest, ReportsAWrappedSumBeforeTheLimbsChange) {
    CalcState st;
    set_limb_count(st, 101);
    st.vysledek[0] = 9999;
    st.vysledek[1] = 9999;
    st.multiplier_limbs[0] = 9999;
    st.multiplier_limbs[1] = 214748;  // the upper limb a one-pass split leaves for 2^31 - 1
    st.multiplier_top = 1;
    EXPECT_FALSE(multiply_step(st));
    EXPECT_EQ(st.x + st.y, 1);
    EXPECT_LT(st.pomoc[st.x + st.y], 0);
    EXPECT_EQ(st.vysledek[0], 9999);
    EXPECT_EQ(st.vysledek[1], 9999);
}

TEST(KernelTest, FactorsBeyondNineDigitsAreSplitTwiceSoTheyCannotOverflow) {
    EXPECT_EQ(factor_passes(999999999), 1);
    EXPECT_EQ(factor_passes(2147483647), 2);
    // Split once, the twelfth factor of this run wraps a 32-bit sum.
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    f.variations("20", "$7FFFFFFF");
    EXPECT_TRUE(f.hooks.fatal_messages.empty());
    EXPECT_EQ(f.digits(),
              "435108201166753926031220928380367569912910637589934162029582960499311271857358537171"
              "999499120510929527471312867391344836248789137927307006558678382789686494044909775235"
              "1360819773603840000");  // (2^31-1)(2^31-2)...(2^31-20)
}

}  // namespace
}  // namespace cifrovar::testing
