#include "cli/cli_hooks.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/calc_state.h"

namespace cifrovar::cli {
namespace {

using std::chrono::seconds;

// A power run from 2^1 to 2^1001 on a clock that the test moves.
struct ProgressLine : ::testing::Test {
    std::ostringstream err;
    CalcState st;
    std::chrono::steady_clock::time_point now{};

    void SetUp() override {
        st.calc_kind = kind::powers;
        st.moc_zaklad = 2;
        st.moc_exponent = 1001;
        st.pocitadlo = 1;
    }
    CliHooks hooks(bool in_place, bool following = true) {
        CliHooks h(err, in_place);
        h.set_progress(true);
        if (following) h.follow(st);
        h.clock = [this] { return now; };
        return h;
    }
};

TEST_F(ProgressLine, ShowsTheTimeElapsedAndTheTimeLeft) {
    CliHooks h = hooks(false);
    h.set_status("Připraven k výpočtu");  // not in a run
    h.enter_busy();
    h.set_status("Výpočet ...");
    now += seconds(10);
    h.set_status("Výpočet:251");
    now += seconds(62);
    h.set_status("Výpočet:1001");
    h.enter_finished();
    EXPECT_EQ(err.str(),
              "Výpočet ...  uplynulo 0:00\n"
              "Výpočet:251  uplynulo 0:10  zbývá asi 0:30\n"
              "Výpočet:1001  uplynulo 1:12  zbývá asi 0:00\n"
              "Výpočet ukončen  uplynulo 1:12\n");
}

// While a value is computed in one go, the step stays at the one held and the share of the
// whole run done follows it; the estimate goes by that share.
TEST_F(ProgressLine, AValueComputedInOneGoShowsItsShareAfterTheStepHeld) {
    CliHooks h = hooks(false);
    h.enter_busy();
    h.set_status("Výpočet:1");
    now += seconds(10);
    h.show_work_share(1, 1001, 0.25);
    now += seconds(10);
    h.show_work_share(1, 1001, 0.5);
    h.set_status("Výpočet:501");
    h.show_work_share(1, 1001, -1);
    h.enter_finished();
    EXPECT_EQ(err.str(),
              "Výpočet:1  uplynulo 0:00\n"
              "Výpočet:1  25 %  uplynulo 0:10  zbývá asi 0:30\n"
              "Výpočet:1  50 %  uplynulo 0:20  zbývá asi 0:20\n"
              "Výpočet:501  50 %  uplynulo 0:20  zbývá asi 0:20\n"
              "Výpočet ukončen  uplynulo 0:20\n");
}

TEST_F(ProgressLine, ContinuedRunsAndRunsWithoutAStateHaveTheirOwnEstimate) {
    st.pocitadlo = 501;  // continues from 2^501
    CliHooks h = hooks(false);
    h.enter_busy();
    now += seconds(20);
    h.set_status("Výpočet:751");
    CliHooks blind = hooks(false, false);
    blind.enter_busy();
    blind.set_status("Výpočet:751");
    EXPECT_EQ(err.str(),
              "Výpočet:751  uplynulo 0:20  zbývá asi 0:20\n"
              "Výpočet:751  uplynulo 0:00\n");
}

TEST_F(ProgressLine, ATerminalLineIsRedrawnInPlace) {
    CliHooks h = hooks(true);
    h.enter_busy();
    now += seconds(5);
    h.set_status("Výpočet:501");
    h.end_progress_line();
    EXPECT_EQ(err.str(), "\rVýpočet:501  uplynulo 0:05  zbývá asi 0:05\x1b[K\n");
}

}  // namespace
}  // namespace cifrovar::cli
