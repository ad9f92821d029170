// Results long enough for the split conversion to decimal and the two-thread arithmetic, run
// through the whole engine and compared with GMP's own digits.
#include <gtest/gtest.h>

#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"
#include "support/kind_case.h"

namespace cifrovar::testing {
namespace {

class SplitResultTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(SplitResultTest, GivesGmpsDigits) {
    EngineFixture f;
    start(f, GetParam());
    EXPECT_EQ(f.digits(), expected_digits(GetParam()));
}

// Every limb width of powers (the base decides it), and each kind with four-digit limbs.
INSTANTIATE_TEST_SUITE_P(
    Kinds, SplitResultTest,
    ::testing::Values(KindCase{"base_2", kind::powers, "2", "400000"},
                      KindCase{"base_99", kind::powers, "99", "70000"},
                      KindCase{"base_999", kind::powers, "999", "40000"},
                      KindCase{"nine_digit_base", kind::powers, "123456789", "20000"},
                      KindCase{"factorial", kind::factorial, "40000", ""},
                      KindCase{"variations", kind::variations, "30000", "100000"},
                      KindCase{"combinations", kind::combinations, "150000", "300000"}),
    [](const auto& info) { return std::string(info.param.name); });

// Raises the interrupt inside the arithmetic call that converts the value for the backup.
class InterruptingHooks : public RecordingHooks {
  public:
    CalcState* state = nullptr;
    int raise_at_call = 0;
    int calls = 0;
    void run_batch(const std::function<void()>& work) override {
        if (++calls == raise_at_call) state->interrupt_flag = true;
        work();
    }
};

// A run of 40000! or of V(40000, 100000) in batches from the first step, with a backup at
// step 30000, whose value is long enough to be split.
struct InterruptedRun {
    InterruptingHooks hooks;
    Engine engine{hooks};
    explicit InterruptedRun(int32_t calc_kind, int64_t backup_interval = 30000) {
        hooks.state = &engine.st;
        engine.settings.autotext = false;
        engine.settings.zalohy = static_cast<int32_t>(backup_interval);
        engine.settings.adresar = "/backups";
        engine.fast.basecase_top_index = 0;
        engine.st.calc_kind = calc_kind;
        hooks.fields[Field::fkt_zadani] = "40000";
        hooks.fields[Field::vrc_trida] = "40000";
        hooks.fields[Field::vrc_prvky] = "100000";
    }
    std::string digits() {
        engine.materialize();
        return limbs_to_decimal(engine.st.vysledek, engine.st.top_index, engine.st.limb_digits);
    }
};

TEST(InterruptedRunTest, AnInterruptDuringABackupsConversionEndsTheRunThereWithoutTheBackup) {
    InterruptedRun whole(kind::variations);
    whole.engine.run();
    ASSERT_EQ(whole.hooks.backups.size(), 1u);
    const int32_t backup_step = whole.hooks.backups.front().pocitadlo;

    InterruptedRun cut(kind::variations);
    cut.hooks.raise_at_call = 2;  // the first batch reaches the backup step; then its conversion
    cut.engine.run();
    EXPECT_TRUE(cut.hooks.backups.empty());
    EXPECT_EQ(cut.engine.st.pocitadlo, backup_step);

    // The value was kept: the run continues from there to the right digits.
    cut.hooks.fields[Field::vrc_trida] = "40000";
    cut.engine.run();
    EXPECT_EQ(cut.digits(), variations_text(40000, 100000));
}

TEST(InterruptedRunTest, AnInterruptWhileAFactorialCountedAheadIsComputedTakesTheRunBack) {
    // For the backup at step 30000 (the first batch only counted the steps) ...
    InterruptedRun at_backup(kind::factorial);
    at_backup.hooks.raise_at_call = 2;
    at_backup.engine.run();
    EXPECT_TRUE(at_backup.hooks.backups.empty());
    // ... and at the end of a run without backups: both end at the first step, the last one
    // whose value is held, and nothing long is left to compute.
    InterruptedRun at_end(kind::factorial, never_interval);
    at_end.hooks.raise_at_call = 2;
    at_end.engine.run();
    for (InterruptedRun* run : {&at_backup, &at_end}) {
        EXPECT_EQ(run->engine.st.pocitadlo, 1);
        EXPECT_EQ(run->hooks.fields[Field::fkt_zadani], "1");
        EXPECT_EQ(run->digits(), "1");
        run->hooks.fields[Field::fkt_zadani] = "40000";
        run->engine.run();
        EXPECT_EQ(run->digits(), factorial_text(40000));
    }
}

TEST(InterruptedRunTest, WithoutAnInterruptTheBackupHoldsTheDigitsOfItsStep) {
    InterruptedRun b(kind::factorial);
    b.engine.run();
    ASSERT_EQ(b.hooks.backups.size(), 1u);
    const BackupRecord& backup = b.hooks.backups.front();
    EXPECT_EQ(backup.path, "/backups/zal1f.cfr");
    EXPECT_EQ(backup.pocitadlo, 30000);
    EXPECT_EQ(limbs_to_decimal(backup.limbs, backup.top_index, 4), factorial_text(30000));
    EXPECT_EQ(b.digits(), factorial_text(40000));
}

}  // namespace
}  // namespace cifrovar::testing
