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

// The backup of the step reached is written before the run ends, and the value is kept.
TEST(InterruptedRunTest, AnInterruptDuringABackupsConversionWritesTheBackupFirst) {
    for (const int32_t calc_kind : {kind::factorial, kind::variations}) {
        InterruptedRun cut(calc_kind);
        cut.hooks.raise_at_call =
            2;  // the first batch reaches the backup step; then its conversion
        cut.engine.run();
        ASSERT_EQ(cut.hooks.backups.size(), 1u);
        const BackupRecord& backup = cut.hooks.backups.front();
        EXPECT_EQ(backup.pocitadlo, cut.engine.st.pocitadlo);
        const std::string expected =
            calc_kind == kind::factorial ? factorial_text(30000) : variations_text(30000, 100000);
        EXPECT_EQ(limbs_to_decimal(backup.limbs, backup.top_index, 4), expected);

        // The value was kept: the run continues from there to the right digits.
        cut.hooks.fields[Field::fkt_zadani] = "40000";
        cut.hooks.fields[Field::vrc_trida] = "40000";
        cut.engine.run();
        EXPECT_EQ(cut.digits(), calc_kind == kind::factorial ? factorial_text(40000)
                                                             : variations_text(40000, 100000));
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
