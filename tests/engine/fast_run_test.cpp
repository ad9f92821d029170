// The value a batch leaves held, in whichever form (in binary with products, ratios or power
// steps pending on it, put off to a factorial, variation or coefficient computed when needed,
// in decimal words beside the limbs or instead of them), goes on to the next batch and into
// the limbs as the value of its counter.
#include "engine/fast_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "engine/limb_conversion.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

struct Batch {
    int64_t end;
    bool read;  // the limbs are written after it, and checked
};

struct HeldCase {
    const char* name;
    StepRule rule;
    int32_t start;  // the counter whose value the limbs hold at first
    std::vector<Batch> batches;
    bool keep_decimal = false;
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

std::string value_text(const StepRule& rule, int64_t counter) {
    const auto c = static_cast<unsigned long>(counter);
    const auto n = static_cast<unsigned long>(rule.elements);
    switch (rule.calc_kind) {
        case kind::powers:
            return power_text(static_cast<unsigned long>(rule.base), c);
        case kind::factorial:
            return factorial_text(c);
        case kind::variations:
            return variations_text(c - 1, n);
        default:
            return binomial_text(n, c - 1);
    }
}

class FastRunTest : public ::testing::TestWithParam<HeldCase> {};

TEST_P(FastRunTest, TheValueHeldReachesTheLimbsAsTheValueOfItsCounter) {
    const HeldCase& c = GetParam();
    CalcState st;
    st.limb_digits = 9;
    st.limb_base = 1000000000;
    st.pocitadlo = c.start;
    const std::string first = value_text(c.rule, c.start);
    st.top_index = static_cast<int32_t>(first.size() / 9 + 1);
    BigValue value;
    read_decimal(value, first.c_str());
    value_to_limbs(value, st.limb_digits, st.top_index + 1, st.vysledek);

    FastRun fast;
    const auto far = std::chrono::steady_clock::now() + std::chrono::hours(1);
    for (const Batch& batch : c.batches) {
        // A batch of combinations ends at the largest coefficient.
        while (st.pocitadlo < batch.end) {
            fast.begin(st, c.rule);
            ASSERT_GT(fast.advance(st, batch.end, 0, far), 0);
        }
        if (!batch.read) continue;
        fast.materialize(st, nullptr, c.keep_decimal);
        ASSERT_TRUE(fast.holds_value());
        EXPECT_EQ(fast.limbs_counter(), batch.end);
        EXPECT_EQ(limbs_to_decimal(st.vysledek, st.top_index, st.limb_digits),
                  value_text(c.rule, batch.end))
            << "at " << batch.end;
    }
}

StepRule rule(int32_t calc_kind, int32_t operand) {
    StepRule r;
    r.calc_kind = calc_kind;
    (calc_kind == kind::powers ? r.base : r.elements) = operand;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FastRunTest,
    ::testing::Values(
        // Put off to 20000! with factors pending, then in one go from the limbs or afresh,
        // then on from the decimal words kept beside the limbs.
        HeldCase{"factorial",
                 rule(kind::factorial, 0),
                 20000,
                 {{20100, true}, {40000, true}, {40100, true}},
                 true},
        // In one go, then on from the decimal words alone.
        HeldCase{"long_variation",
                 rule(kind::variations, 1000000),
                 1,
                 {{250001, false}, {250101, true}}},
        // GMP's coefficient put off with ratios pending on it, up to the largest and down.
        HeldCase{"combinations",
                 rule(kind::combinations, 100000),
                 1,
                 {{30001, false}, {30101, true}, {70001, true}}},
        // From its primes in decimal words, then GMP's put off with a ratio pending on it.
        HeldCase{"long_combinations",
                 rule(kind::combinations, 1000000),
                 1,
                 {{300001, false}, {300101, true}}},
        // Steps pending on the power held, multiplied in binary or in decimal words.
        HeldCase{"powers", rule(kind::powers, 3), 1, {{1000, true}, {2000, true}}},
        HeldCase{"long_powers", rule(kind::powers, 7), 1, {{1500000, true}, {1500010, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
