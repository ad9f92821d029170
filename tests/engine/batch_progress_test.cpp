// Progress texts inside long batches: the status keeps moving while one batch runs, in
// increasing multiples of the interval, never ahead of the steps the batch has completed, and
// the last text is the one the batch ends at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

struct ProgressCase {
    const char* name;
    int32_t calc_kind;  // variations or combinations
    unsigned long k, n;
    size_t texts_at_least;
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class BatchProgressTest : public ::testing::TestWithParam<ProgressCase> {};

int64_t shown_counter(const std::string& text) {
    const std::string lead = "Výpočet:";
    return text.rfind(lead, 0) == 0 ? std::stoll(text.substr(lead.size())) : -1;
}

// The run is one batch (its deadline is far off), or two for the combinations past the peak.
void run(EngineFixture& f, const ProgressCase& c) {
    const std::string k = std::to_string(c.k), n = std::to_string(c.n);
    if (c.calc_kind == kind::variations) {
        f.variations(k, n);
    } else {
        f.combinations(k, n);
    }
}

void prepare(EngineFixture& f, double progress_seconds) {
    f.engine.settings.ukaz_stav = 1000;
    f.engine.fast.basecase_top_index = 0;
    f.engine.fast.min_batch_seconds = 600;
    f.engine.fast.progress_seconds = progress_seconds;
}

TEST_P(BatchProgressTest, TextsComeWhileTheBatchRuns) {
    const ProgressCase& c = GetParam();
    EngineFixture f;
    prepare(f, 0);
    std::vector<int64_t> shown;
    f.hooks.on_status = [&](const std::string& text) {
        const int64_t counter = shown_counter(text);
        if (counter < 0) return;
        // The products count their steps as they go; combinations only at the batch's end.
        if (c.calc_kind == kind::variations) {
            EXPECT_LE(counter, f.engine.st.pocitadlo) << text;
        }
        shown.push_back(counter);
    };
    run(f, c);
    const int64_t final_counter = int64_t(c.k) + 1;
    ASSERT_GE(shown.size(), c.texts_at_least);
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i] % 1000, 0) << shown[i];
        EXPECT_LE(shown[i], final_counter);
        if (i > 0) {
            EXPECT_GT(shown[i], shown[i - 1]);
        }
    }
    EXPECT_EQ(f.hooks.last_progress(), "Výpočet:" + std::to_string(final_counter / 1000 * 1000));
    EXPECT_EQ(f.digits(), c.calc_kind == kind::variations ? variations_text(c.k, c.n)
                                                          : binomial_text(c.n, c.k));
}

// While the spacing has not passed, a batch shows only the text it ends at.
TEST_P(BatchProgressTest, SpacingHoldsTextsBackUntilTheEnd) {
    const ProgressCase& c = GetParam();
    EngineFixture f;
    prepare(f, 600);
    run(f, c);
    std::vector<std::string> progress;
    for (const std::string& s : f.hooks.statuses)
        if (shown_counter(s) >= 0) progress.push_back(s);
    const size_t batches = c.k > c.n / 2 ? 2 : 1;
    EXPECT_EQ(progress.size(), batches);
    EXPECT_EQ(progress.back(), "Výpočet:" + std::to_string((c.k + 1) / 1000 * 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Batches, BatchProgressTest,
    ::testing::Values(
        // Chunks of 2048 factors.
        ProgressCase{"variations", kind::variations, 40000, 1000000, 15},
        // A coefficient far below n/16 is multiplied up in parts of its ratio.
        ProgressCase{"combinations_rising", kind::combinations, 200000, 10000000, 20},
        // GMP's binomial up to the peak, then parts of the ratio down from it.
        ProgressCase{"combinations_past_the_peak", kind::combinations, 150000, 200000, 20}),
    [](const auto& info) { return std::string(info.param.name); });

// A factorial computed in one go shows only the levels it holds on the way (m! for m = n / 2,
// n / 4, ...), each at once, and between them the share of its work.
TEST(InStepsProgressTest, TheStatusShowsOnlyTheLevelsHeld) {
    EngineFixture f;
    prepare(f, 600);
    std::vector<int64_t> shown;
    f.hooks.on_status = [&](const std::string& text) {
        const int64_t counter = shown_counter(text);
        if (counter < 0) return;
        EXPECT_LE(counter, f.engine.st.pocitadlo) << text;
        shown.push_back(counter);
    };
    f.factorial("300000");
    EXPECT_EQ(shown, (std::vector<int64_t>{18000, 37000, 75000, 150000, 300000}));
    EXPECT_EQ(f.digits(), factorial_text(300000));
}

TEST(InStepsProgressTest, TheShareOfWorkGrowsAndIsDroppedAtTheEnd) {
    EngineFixture f;
    prepare(f, 0);
    f.factorial("300000");
    const std::vector<double>& shares = f.hooks.work_shares;
    ASSERT_GE(shares.size(), 10u);
    for (size_t i = 0; i + 1 < shares.size(); ++i) {
        EXPECT_GE(shares[i], 0);
        EXPECT_LE(shares[i], 1);
        if (i > 0) {
            EXPECT_GE(shares[i], shares[i - 1]);
        }
    }
    EXPECT_GT(shares[shares.size() - 2], 0.9);
    EXPECT_EQ(shares.back(), -1);
}

}  // namespace
}  // namespace cifrovar::testing
