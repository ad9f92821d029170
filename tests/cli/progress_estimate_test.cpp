#include "cli/progress_estimate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/calc_state.h"

namespace cifrovar::cli {
namespace {

struct ExtentCase {
    const char* name;
    RunExtent run;
};

void PrintTo(const ExtentCase& c, std::ostream* os) { *os << c.name; }

class EstimateShapeTest : public ::testing::TestWithParam<ExtentCase> {};

// From nothing at the start to everything at the end, never back, and the time left with it.
TEST_P(EstimateShapeTest, FractionRisesFromZeroToOneAndTheTimeLeftFalls) {
    const RunExtent& run = GetParam().run;
    const ProgressEstimate estimate(run);
    EXPECT_EQ(estimate.fraction(run.start_counter), 0);
    EXPECT_EQ(estimate.fraction(run.end_counter), 1);
    EXPECT_FALSE(estimate.remaining(run.start_counter, 5).has_value());
    EXPECT_EQ(estimate.remaining(run.end_counter, 5), 0.0);
    double last_fraction = 0, last_left = INFINITY;
    for (int i = 1; i <= 200; ++i) {
        const int64_t counter = run.start_counter + (run.end_counter - run.start_counter) * i / 200;
        SCOPED_TRACE(counter);
        const double f = estimate.fraction(counter);
        EXPECT_GE(f, last_fraction);
        EXPECT_LE(f, 1);
        const auto left = estimate.remaining(counter, 60);
        ASSERT_TRUE(left.has_value());
        EXPECT_TRUE(std::isfinite(*left));
        EXPECT_LE(*left, last_left);
        last_fraction = f;
        last_left = *left;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EstimateShapeTest,
    ::testing::Values(
        ExtentCase{"powers", {kind::powers, 7, 1, 3000000}},
        ExtentCase{"power_of_one", {kind::powers, 1, 1, 1000}},
        ExtentCase{"factorial_from_the_start", {kind::factorial, 0, 0, 10000000}},
        ExtentCase{"factorial_continued", {kind::factorial, 0, 500000, 1000000}},
        ExtentCase{"variations", {kind::variations, 999999999, 1, 30000001}},
        ExtentCase{"variations_of_all", {kind::variations, 100000, 1, 100001}},
        ExtentCase{"combinations_rising", {kind::combinations, 999999999, 1, 2000001}},
        ExtentCase{"combinations_past_the_middle", {kind::combinations, 200000, 1, 200001}},
        ExtentCase{"combinations_continued_past_the_middle",
                   {kind::combinations, 200001, 90000, 150001}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueCase {
    const char* name;
    RunExtent run;
    int64_t counter;
    double fraction;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class EstimateValueTest : public ::testing::TestWithParam<ValueCase> {};

// The share of the digits, worked out by hand for each kind.
TEST_P(EstimateValueTest, FractionIsTheShareOfTheDigits) {
    const ValueCase& c = GetParam();
    EXPECT_NEAR(ProgressEstimate(c.run).fraction(c.counter), c.fraction, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, EstimateValueTest,
    ::testing::Values(
        // 2^1 .. 2^1001: the digits grow by the same amount each step.
        ValueCase{"powers", {kind::powers, 2, 1, 1001}, 251, 0.25},
        // log10 500000! = 2632341.009791 and log10 1000000! = 5565708.917187, summed term by term.
        ValueCase{
            "factorial", {kind::factorial, 0, 1, 1000000}, 500000, 2632341.009791 / 5565708.917187},
        // V(10, 5) = 30240 of V(10, 10) = 3628800; the counter is the class plus one.
        ValueCase{"variations",
                  {kind::variations, 10, 1, 11},
                  6,
                  std::log10(30240.0) / std::log10(3628800.0)},
        // C(10, 5) = 252 at the middle, then down to C(10, 10) = 1: half the way at the middle.
        ValueCase{"combinations_middle", {kind::combinations, 10, 1, 11}, 6, 0.5},
        // C(10, 7) = 120: up by log10 252, down by log10 252 - log10 120.
        ValueCase{"combinations_past_the_middle",
                  {kind::combinations, 10, 1, 11},
                  8,
                  (2 * std::log10(252.0) - std::log10(120.0)) / (2 * std::log10(252.0))},
        // A continued run counts only its own way: from 2^501 to 2^1001.
        ValueCase{"continued", {kind::powers, 2, 501, 1001}, 751, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EstimateTest, TheTimeLeftKeepsThePaceSoFar) {
    const ProgressEstimate estimate({kind::powers, 2, 1, 1001});
    EXPECT_DOUBLE_EQ(*estimate.remaining(251, 10), 30);
    EXPECT_DOUBLE_EQ(*estimate.remaining(501, 10), 10);
    EXPECT_DOUBLE_EQ(*estimate.remaining(1001, 10), 0);
    // Nothing done yet: at the start counter and at the first factorial steps, whose value is 1.
    EXPECT_FALSE(estimate.remaining(1, 10).has_value());
    const ProgressEstimate factorial({kind::factorial, 0, 0, 1000});
    EXPECT_FALSE(factorial.remaining(0, 10).has_value());
    EXPECT_FALSE(factorial.remaining(1, 10).has_value());
    EXPECT_TRUE(factorial.remaining(2, 10).has_value());
    // A target below the counter reached leaves no run to wait for.
    const ProgressEstimate shrunk({kind::factorial, 0, 5000, 3000});
    EXPECT_EQ(shrunk.remaining(5000, 10), 0.0);
}

TEST(ClockTextTest, MinutesAndSecondsThenHours) {
    const std::pair<double, const char*> rows[] = {
        {0, "0:00"},     {7.9, "0:07"},     {59.99, "0:59"}, {60, "1:00"},  {754, "12:34"},
        {3599, "59:59"}, {3723, "1:02:03"}, {-3, "0:00"},    {NAN, "0:00"}, {360000, "100:00:00"}};
    for (const auto& [seconds, text] : rows) EXPECT_EQ(clock_text(seconds), text) << seconds;
}

}  // namespace
}  // namespace cifrovar::cli
