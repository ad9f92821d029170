// Backups are written while the run goes on with its next batch, and the run waits for them at
// its next step boundary: the files show the state of their own step, the limbs come back
// whole, a failed write keeps its number, and an interrupt waits for the write in progress.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

// Hooks whose backups below a counter wait until the run has come back to its step boundary
// after them, or ten seconds at most, so that a run that waited for the write would be seen.
// The run yields at the backup's counter only once the backup has been started.
class LingeringBackupHooks : public RecordingHooks {
  public:
    const CalcState* run_state = nullptr;
    int32_t wait_below = 0;
    std::atomic<int32_t> yielded_at{0};
    std::atomic<int> started{0};
    std::atomic<int> outlived{0};  // backups during which the run went on

    void yield() override {
        yielded_at = run_state->pocitadlo;
        RecordingHooks::yield();
    }
    // The result is shown from the limbs, so they must be back by then.
    void show_result() override {
        limbs_at_result = run_state->vysledek.size() > static_cast<size_t>(run_state->top_index);
        RecordingHooks::show_result();
    }
    bool limbs_at_result = false;

    bool write_backup(const std::string& path, const CalcState& state) override {
        ++started;
        if (state.pocitadlo < wait_below) {
            for (int i = 0; i < 2000 && yielded_at < state.pocitadlo; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (yielded_at >= state.pocitadlo) ++outlived;
        }
        return RecordingHooks::write_backup(path, state);
    }
};

struct LingerCase {
    const char* name;
    int32_t calc_kind;
    unsigned long operand;  // base or elements
    unsigned long target;
    // The counter of the run's end, where its last backup comes with nothing left to go on with.
    int32_t end_counter() const {
        return static_cast<int32_t>(target + (calc_kind >= kind::variations ? 1 : 0));
    }
};

void PrintTo(const LingerCase& c, std::ostream* os) { *os << c.name; }

void start(Engine& engine, RecordingHooks& hooks, const LingerCase& c) {
    engine.st.calc_kind = c.calc_kind;
    const std::string t = std::to_string(c.target), op = std::to_string(c.operand);
    switch (c.calc_kind) {
        case kind::powers:
            hooks.fields[Field::moc_zaklad] = op;
            hooks.fields[Field::moc_exponent] = t;
            break;
        case kind::factorial:
            hooks.fields[Field::fkt_zadani] = t;
            break;
        case kind::variations:
            hooks.fields[Field::vrc_prvky] = op;
            hooks.fields[Field::vrc_trida] = t;
            break;
        default:
            hooks.fields[Field::kmb_prvky] = op;
            hooks.fields[Field::kmb_trida] = t;
            break;
    }
    engine.run();
}

// The decimal value of a calculation at a counter.
std::string value_at(const LingerCase& c, unsigned long counter) {
    switch (c.calc_kind) {
        case kind::powers:
            return power_text(c.operand, counter);
        case kind::factorial:
            return factorial_text(counter);
        case kind::variations:
            return variations_text(counter - 1, c.operand);
        default:
            return binomial_text(c.operand, counter - 1);
    }
}

class PendingBackupTest : public ::testing::TestWithParam<LingerCase> {
  protected:
    void SetUp() override {
        engine.settings.zalohy = 1000;
        engine.fast.basecase_top_index = 0;
        hooks.run_state = &engine.st;
        hooks.wait_below = GetParam().end_counter();
    }
    LingeringBackupHooks hooks;
    Engine engine{hooks};
};

TEST_P(PendingBackupTest, TheRunGoesOnWhileABackupIsWritten) {
    const LingerCase& c = GetParam();
    start(engine, hooks, c);
    ASSERT_EQ(hooks.backups.size(), 3u);
    EXPECT_EQ(hooks.outlived, 2);
    EXPECT_EQ(engine.st.backup_counter, 4);
    EXPECT_TRUE(hooks.limbs_at_result);
    for (const BackupRecord& b : hooks.backups) {
        SCOPED_TRACE(b.path);
        EXPECT_EQ(limbs_to_decimal(b.limbs, b.top_index, engine.st.limb_digits),
                  value_at(c, static_cast<unsigned long>(b.pocitadlo)));
    }
    engine.materialize();
    const std::string digits =
        limbs_to_decimal(engine.st.vysledek, engine.st.top_index, engine.st.limb_digits);
    EXPECT_EQ(digits, value_at(c, static_cast<unsigned long>(engine.st.pocitadlo)));
}

TEST_P(PendingBackupTest, AFailedWriteKeepsItsNumber) {
    hooks.backups_fail = true;
    start(engine, hooks, GetParam());
    EXPECT_EQ(hooks.started, 3);
    EXPECT_EQ(engine.st.backup_counter, 1);
}

// Přerušit during the write: the run ends at the step of the backup, and counts it.
TEST_P(PendingBackupTest, AnInterruptWaitsForTheWrite) {
    const LingerCase& c = GetParam();
    // The first batch ends at the first backup's step.
    hooks.on_yield = [&] {
        if (engine.st.pocitadlo >= 1000) engine.interrupt();
    };
    start(engine, hooks, c);
    ASSERT_EQ(hooks.backups.size(), 1u);
    EXPECT_EQ(engine.st.backup_counter, 2);
    EXPECT_TRUE(hooks.limbs_at_result);
    EXPECT_EQ(engine.st.pocitadlo, hooks.backups[0].pocitadlo);
    engine.materialize();
    EXPECT_EQ(limbs_to_decimal(engine.st.vysledek, engine.st.top_index, engine.st.limb_digits),
              value_at(c, static_cast<unsigned long>(engine.st.pocitadlo)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PendingBackupTest,
                         ::testing::Values(LingerCase{"powers", kind::powers, 7, 3000},
                                           LingerCase{"factorial", kind::factorial, 0, 3000},
                                           LingerCase{"variations", kind::variations, 9000, 3000},
                                           LingerCase{"combinations", kind::combinations, 5000,
                                                      3000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
