// The progress of a long computation of one value: the work its products count on any of its
// threads adds up to what was planned for it, and a raised flag stops it inside a product.
#include "bignum/work_progress.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/decimal_factorial.h"
#include "bignum/decimal_number.h"
#include "bignum/internal/side_by_side.h"
#include "bignum/variation_classes.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

TEST(WorkProgressTest, WorkOnEitherThreadOfSideBySideCountsAndTheSharesGrowToOne) {
    std::vector<double> told;
    WorkProgress progress(
        10, [&](double share) { told.push_back(share); }, nullptr);
    {
        const CountingInto counting(&progress);
        side_by_side([] { count_work(4); }, [] { count_work(3); });
        count_work(5);  // past what was planned
    }
    count_work(100);  // outside the scope: counted nowhere
    EXPECT_DOUBLE_EQ(progress.share_done(), 1.2);
    ASSERT_FALSE(told.empty());
    for (size_t i = 0; i < told.size(); ++i) {
        EXPECT_LE(told[i], 1.0);
        if (i > 0) {
            EXPECT_GE(told[i], told[i - 1]);
        }
    }
    EXPECT_DOUBLE_EQ(told.back(), 1.0);
}

TEST(WorkProgressTest, ScopesNestAndAThreadStartedOutsideCountsNowhere) {
    WorkProgress outer(10, nullptr, nullptr), inner(10, nullptr, nullptr);
    {
        const CountingInto a(&outer);
        {
            const CountingInto b(&inner);
            count_work(2);
        }
        count_work(1);
        EXPECT_EQ(work_counted_here(), &outer);
    }
    EXPECT_EQ(work_counted_here(), nullptr);
    side_by_side([] { count_work(7); }, [] {});
    EXPECT_DOUBLE_EQ(inner.share_done(), 0.2);
    EXPECT_DOUBLE_EQ(outer.share_done(), 0.1);
}

TEST(WorkProgressTest, ARaisedFlagStopsTheNextPieceOfWork) {
    std::atomic<bool> cancel{false};
    WorkProgress progress(10, nullptr, &cancel);
    const CountingInto counting(&progress);
    count_work(1);
    cancel = true;
    EXPECT_THROW(count_work(1), Cancelled);
    EXPECT_THROW(side_by_side([] { count_work(1); }, [] {}), Cancelled);
}

// A raised flag asks whether to go on, with the work done, at every piece of work until the
// answer is no; from then on the work stops, and so do the checks between products.
TEST(WorkProgressTest, ARaisedFlagMayLetTheWorkGoOnUntilTheFirstNo) {
    std::atomic<bool> cancel{false};
    WorkProgress progress(10, nullptr, &cancel);
    std::vector<double> asked;
    progress.go_on_when([&](double done) {
        asked.push_back(done);
        return done < 3;
    });
    const CountingInto counting(&progress);
    count_work(1);
    EXPECT_TRUE(asked.empty());
    cancel = true;
    count_work(1);
    count_work(1);
    EXPECT_FALSE(progress.stop_flag()->load());
    EXPECT_THROW(count_work(1), Cancelled);
    EXPECT_TRUE(progress.stop_flag()->load());
    EXPECT_THROW(count_work(1), Cancelled);
    EXPECT_EQ(asked, (std::vector<double>{1, 2, 3}));
}

struct WorkCase {
    const char* name;
    unsigned long n, k;  // k == 0: n!
};

void PrintTo(const WorkCase& c, std::ostream* os) { *os << c.name; }

class PlannedWorkTest : public ::testing::TestWithParam<WorkCase> {};

// The status moves with the share of the planned work done: a plan that misses the work
// counted would leave the counter short of its step or at the target long before the end.
TEST_P(PlannedWorkTest, IsTheWorkTheProductsCount) {
    const WorkCase c = GetParam();
    const double planned =
        c.k == 0 ? decimal_factorial_work(c.n) : decimal_variation_work(c.n, c.k);
    ASSERT_GT(planned, 0);
    WorkProgress progress(planned, nullptr, nullptr);
    DecimalNumber out;
    {
        const CountingInto counting(&progress);
        if (c.k == 0) {
            decimal_factorial(out, c.n);
        } else {
            decimal_variation(out, c.n, c.k);
        }
    }
    EXPECT_NEAR(progress.share_done(), 1.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Computations, PlannedWorkTest,
    ::testing::Values(
        // One level above GMP's own factorial; odd halvings; long products in parts; a binomial
        // from the primes at the top level and in the variations.
        WorkCase{"factorial_32768", 32768, 0}, WorkCase{"factorial_300001", 300001, 0},
        WorkCase{"factorial_1000000", 1000000, 0}, WorkCase{"factorial_4194305", 4194305, 0},
        WorkCase{"variation_short", 1000000, 150000}, WorkCase{"variation_long", 400000, 300001}),
    [](const auto& info) { return std::string(info.param.name); });

// The same for the values that a run computes in one go through the steps it keeps: a long
// variation through its classes, and the product of the steps to come, by each of its routes.
TEST(PlannedWorkTest, ClassesAndProductsOfStepsCountTheirPlan) {
    const struct {
        double planned;
        std::function<void(DecimalNumber&)> compute;
    } cases[] = {
        {decimal_variation_in_classes_work(20000000, 1000000),
         [](DecimalNumber& out) { decimal_variation_in_classes(out, 20000000, 1000000, {}); }},
        {decimal_falling_product_work(100000000, 300000),  // a product tree
         [](DecimalNumber& out) { decimal_falling_product(out, 100000000, 300000); }},
        {decimal_falling_product_work(4000000, 200000),  // the binomial from its primes
         [](DecimalNumber& out) { decimal_falling_product(out, 4000000, 200000); }},
        // Powers computed when their digits are wanted: squarings, each set bit of the
        // exponent one more pass by the base (none in 2^23, all in 2^23 - 1).
        {decimal_power_work(7, 1ul << 23),
         [](DecimalNumber& out) { decimal_power(out, 7, 1ul << 23); }},
        {decimal_power_work(999999999, (1ul << 23) - 1),
         [](DecimalNumber& out) { decimal_power(out, 999999999, (1ul << 23) - 1); }},
    };
    for (const auto& c : cases) {
        ASSERT_GT(c.planned, 0);
        WorkProgress progress(c.planned, nullptr, nullptr);
        DecimalNumber out;
        {
            const CountingInto counting(&progress);
            c.compute(out);
        }
        EXPECT_NEAR(progress.share_done(), 1.0, 0.05);
    }
}

// Passes that are not products count their plan too. Where the last class is one more than
// the half, (h + 1)! is made from h! by a copy and a pass by h + 1 (at V(999999999, 499999999)
// they went 6 s without a count); here they are 8 % of the plan. V(n, n) ends with n! times
// C(n, n), one word, row by row: planned as transforms, it was 12 % of the plan, and its rows
// counted nothing.
TEST(PlannedWorkTest, PassesBesideTheTransformsCountTheirPlan) {
    for (const auto& [n, k] : {std::pair{2200000ul, 2000001ul}, std::pair{2000001ul, 2000001ul}}) {
        WorkProgress progress(decimal_variation_in_classes_work(n, k), nullptr, nullptr);
        DecimalNumber out;
        {
            const CountingInto counting(&progress);
            decimal_variation_in_classes(out, n, k, {});
        }
        EXPECT_NEAR(progress.share_done(), 1.0, 0.02) << "V(" << n << ", " << k << ")";
    }
}

// The interrupt is seen within the top level, whose last product alone took 4 s of 26 for
// 100000000!; checked only between levels, the computation would run to its end.
TEST(PlannedWorkTest, AFlagRaisedInTheLastProductStopsIt) {
    std::atomic<bool> cancel{false};
    const unsigned long n = 1000000;
    double raised_at = 0;
    WorkProgress progress(
        decimal_factorial_work(n),
        [&](double share) {
            if (share >= 0.8 && !cancel) {
                raised_at = share;
                cancel = true;
            }
        },
        &cancel);
    DecimalNumber out;
    const CountingInto counting(&progress);
    EXPECT_THROW(decimal_factorial(out, n, &cancel), Cancelled);
    EXPECT_GE(raised_at, 0.8);
    EXPECT_LT(progress.share_done(), 0.9);
}

}  // namespace
}  // namespace cifrovar::testing
