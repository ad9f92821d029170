#include <gtest/gtest.h>

#include <thread>

#include "engine/fields.h"
#include "errors/input_error.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

struct ValueCase {
    const char* name;
    int32_t calc_kind;
    const char* first;   // base, n, or class
    const char* second;  // exponent, or elements ("" for the factorial)
    const char* digits;
    const char* target_after;  // the target field after the run
};

class ValueTest : public ::testing::TestWithParam<ValueCase> {};

void start(EngineFixture& f, const ValueCase& c) {
    switch (c.calc_kind) {
        case kind::powers:
            f.power(c.first, c.second);
            break;
        case kind::factorial:
            f.factorial(c.first);
            break;
        case kind::variations:
            f.variations(c.first, c.second);
            break;
        default:
            f.combinations(c.first, c.second);
            break;
    }
}

const std::string& target_text(EngineFixture& f) {
    return f.hooks.fields[*target_field(f.engine.st.calc_kind)];
}

TEST_P(ValueTest, KernelComputesTheExactValue) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    start(f, GetParam());
    EXPECT_EQ(f.digits(), GetParam().digits);
    EXPECT_EQ(target_text(f), GetParam().target_after);
    EXPECT_EQ(f.hooks.states.back(), "finished");
}

TEST_P(ValueTest, BatchesComputeTheExactValue) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = 0;
    start(f, GetParam());
    EXPECT_EQ(f.digits(), GetParam().digits);
    EXPECT_EQ(target_text(f), GetParam().target_after);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, ValueTest,
    ::testing::Values(ValueCase{"two_to_ten", kind::powers, "2", "10", "1024", "10"},
                      ValueCase{"two_to_hundred", kind::powers, "2", "100",
                                "1267650600228229401496703205376", "100"},
                      ValueCase{"seven_to_one", kind::powers, "7", "1", "7", "1"},
                      ValueCase{"one_to_five", kind::powers, "1", "5", "1", "5"},
                      ValueCase{"zero_to_five", kind::powers, "0", "5", "0", "5"},
                      ValueCase{"five_to_zero", kind::powers, "5", "0", "1", "0"},
                      ValueCase{"hex_base", kind::powers, "$10", "3", "4096", "3"},
                      ValueCase{"base_10000", kind::powers, "10000", "3", "1000000000000", "3"},
                      ValueCase{"zero_factorial", kind::factorial, "0", "", "1", "1"},
                      ValueCase{"one_factorial", kind::factorial, "1", "", "1", "1"},
                      ValueCase{"five_factorial", kind::factorial, "5", "", "120", "5"},
                      ValueCase{"twenty_factorial", kind::factorial, "20", "",
                                "2432902008176640000", "20"},
                      ValueCase{"twentyfive_factorial", kind::factorial, "25", "",
                                "15511210043330985984000000", "25"},
                      ValueCase{"v_3_of_5", kind::variations, "3", "5", "60", "3"},
                      ValueCase{"v_5_of_5", kind::variations, "5", "5", "120", "5"},
                      ValueCase{"v_0_of_5", kind::variations, "0", "5", "1", "0"},
                      ValueCase{"v_1_of_n", kind::variations, "1", "999999999", "999999999", "1"},
                      ValueCase{"c_2_of_5", kind::combinations, "2", "5", "10", "2"},
                      ValueCase{"c_3_of_10", kind::combinations, "3", "10", "120", "3"},
                      ValueCase{"c_5_of_52", kind::combinations, "5", "52", "2598960", "5"},
                      ValueCase{"c_50_of_100", kind::combinations, "50", "100",
                                "100891344545564193334812497256", "50"},
                      ValueCase{"c_0_of_5", kind::combinations, "0", "5", "1", "0"},
                      ValueCase{"c_n_of_n", kind::combinations, "40", "40", "1", "40"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FactorialTest, ThousandFactorialHas2568Digits) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    f.factorial("1000");
    EXPECT_EQ(f.digits().size(), 2568u);
}

TEST(CombinationsTest, ClassesBeyondTheThirtyTwoBitDivisionAreExact) {
    for (const char* k : {"214757", "214758", "230000"}) {
        EngineFixture f;
        f.combinations(k, "250000");
        EXPECT_TRUE(f.hooks.fatal_messages.empty());
        EXPECT_EQ(f.digits(), binomial_text(250000, std::stoul(k))) << "class " << k;
    }
}

TEST(CombinationsTest, LimbsThatAreNoBinomialCoefficientEndInTheSpecificError) {
    EngineFixture f;
    f.engine.settings.zalohy = never_interval;
    f.combinations("3", "10");
    f.engine.materialize();
    f.engine.st.vysledek[0] = 121;  // C(10, 3) is 120: the next division by 4 leaves a remainder
    f.engine.limbs_replaced();
    f.continue_to("4");
    ASSERT_EQ(f.hooks.fatal_messages.size(), 1u);
    EXPECT_EQ(
        f.hooks.fatal_messages[0],
        "V programu došlo k specifické chybě při výpočtu kombinací a proto bude nyní ukončen");
    ASSERT_FALSE(f.hooks.logged.empty());
    EXPECT_EQ(
        f.hooks.logged.back().rfind("Specifická chyba při výpočtu kombinací : Kombinace 4. třídy "
                                    "z(e) 10 prvků (pocitadlo = 5; x = 0; cyklus = 100",
                                    0),
        0u)
        << f.hooks.logged.back();
    EXPECT_TRUE(f.hooks.close_requested);
    EXPECT_EQ(f.engine.st.pocitadlo, 1);  // the calculation was reset
}

TEST(CombinationsTest, LoadedCoefficientsContinueInBatches) {
    EngineFixture f;
    f.combinations("30000", "100000");
    f.engine.materialize();     // as when the calculation was saved,
    f.engine.limbs_replaced();  // and read back: genuine, but not produced here
    f.continue_to("50000");
    EXPECT_EQ(f.digits(), binomial_text(100000, 50000));
}

struct InputErrorCase {
    const char* name;
    int32_t calc_kind;
    const char* first;
    const char* second;
    const char* message;
};

class InputErrorTest : public ::testing::TestWithParam<InputErrorCase> {};

TEST_P(InputErrorTest, RaisesBeforeAnythingChanges) {
    EngineFixture f;
    f.factorial("7");  // a finished calculation whose stored operands must survive
    f.hooks.states.clear();
    const auto& c = GetParam();
    f.engine.st.calc_kind = c.calc_kind;
    f.engine.st.interrupt_flag = false;
    try {
        start(f, ValueCase{c.name, c.calc_kind, c.first, c.second, "", ""});
        FAIL() << "no input error";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_TRUE(f.hooks.states.empty()) << "the window state changed";
    EXPECT_TRUE(f.hooks.infos.empty());
    EXPECT_EQ(f.engine.st.fkt_zadani, 7);
    EXPECT_EQ(f.engine.st.moc_zaklad, 0);
    EXPECT_EQ(f.engine.st.vrc_trida, 0);
    EXPECT_EQ(f.engine.st.kmb_prvky, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operands, InputErrorTest,
    ::testing::Values(
        InputErrorCase{"letters", kind::factorial, "abc", "", "Zadání nemá číselný tvar !"},
        InputErrorCase{"empty", kind::powers, "2", "", "Zadání nemá číselný tvar !"},
        InputErrorCase{"decimal_point", kind::powers, "1.5", "2", "Zadání nemá číselný tvar !"},
        InputErrorCase{"trailing_blank", kind::variations, "3 ", "5", "Zadání nemá číselný tvar !"},
        InputErrorCase{"zero_to_zero", kind::powers, "0", "0", "0^0 nelze zadat !!!"},
        InputErrorCase{"class_above_elements", kind::variations, "6", "5",
                       "Počet prvků musí být větší než třída"},
        InputErrorCase{"combination_class_above", kind::combinations, "6", "5",
                       "Počet prvků musí být větší než třída"},
        InputErrorCase{"negative_exponent", kind::powers, "2", "-1", "Zadání nesmí být záporné !"},
        InputErrorCase{"negative_base", kind::powers, "-3", "4", "Zadání nesmí být záporné !"},
        InputErrorCase{"negative_factorial", kind::factorial, "$FFFFFFFF", "",
                       "Zadání nesmí být záporné !"},
        InputErrorCase{"negative_class", kind::variations, "-1", "5", "Zadání nesmí být záporné !"},
        InputErrorCase{"negative_elements", kind::combinations, "-5", "-1",
                       "Zadání nesmí být záporné !"},
        InputErrorCase{"letters_before_sign", kind::combinations, "x", "-1",
                       "Zadání nemá číselný tvar !"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PowersTest, InformationBoxesComeInOrderAndTheRunGoesOn) {
    EngineFixture f;
    f.power("1", "0");
    EXPECT_EQ(f.hooks.infos,
              (std::vector<std::string>{"Je-li základ roven 1, pak výsledek je vždy roven 1",
                                        "Je-li exponent roven 0, pak výsledek je vždy roven 1"}));
    EXPECT_EQ(f.digits(), "1");
    EngineFixture g;
    g.power("0", "5");
    EXPECT_EQ(g.hooks.infos,
              std::vector<std::string>{"Je-li základ roven 0, pak výsledek je roven 0"});
    EXPECT_EQ(g.digits(), "0");
}

TEST(PowersTest, ExponentZeroThenRaisedContinues) {
    EngineFixture f;
    f.power("5", "0");
    EXPECT_EQ(f.hooks.fields[Field::moc_exponent], "0");
    f.continue_to("3");
    EXPECT_EQ(f.digits(), "125");
}

TEST(PowersTest, LimbWidthFollowsTheBase) {
    struct Width {
        const char* base;
        int32_t digits;
        int32_t multiplier_top;
    };
    for (const Width& w :
         {Width{"2", 9, 0}, Width{"9", 8, 0}, Width{"99", 7, 0}, Width{"999", 6, 0},
          Width{"9999", 5, 0}, Width{"10000", 4, 1}, Width{"999999999", 4, 2}}) {
        EngineFixture f;
        f.power(w.base, "3");
        EXPECT_EQ(f.engine.st.limb_digits, w.digits) << w.base;
        EXPECT_EQ(f.engine.st.multiplier_top, w.multiplier_top) << w.base;
    }
}

TEST(RunFrameTest, ProgressTextsFollowTheInterval) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    f.engine.settings.ukaz_stav = 1;
    f.power("3", "5");
    EXPECT_EQ(f.hooks.statuses,
              (std::vector<std::string>{"Připraven k výpočtu", "Výpočet ...", "Výpočet:2",
                                        "Výpočet:3", "Výpočet:4", "Výpočet:5"}));
    EngineFixture never;
    never.engine.settings.ukaz_stav = never_interval;
    never.factorial("3000");
    EXPECT_EQ(never.hooks.last_progress(), "");
    EngineFixture thousand;
    thousand.factorial("1999");
    EXPECT_EQ(thousand.hooks.last_progress(), "Výpočet:1000");
}

// A hexadecimal exponent takes a power past a billion steps, the count that stands for
// "never": the run passes it, in steps and in batches, with no backup and no progress text.
TEST(RunFrameTest, NeverMeansNeverPastABillionSteps) {
    for (int32_t limit : {-1, 0}) {
        EngineFixture f;
        f.engine.fast.basecase_top_index = limit;
        f.engine.settings.ukaz_stav = never_interval;
        f.engine.settings.zalohy = never_interval;
        f.power("2", "5");
        // As if a run had been interrupted at that step: the next one continues from it.
        f.engine.st.pocitadlo = never_interval - 10;
        f.engine.st.interrupt_flag = true;
        f.continue_to("$3B9ACA0A");  // a billion and ten
        EXPECT_EQ(f.engine.st.pocitadlo, never_interval + 10) << limit;
        EXPECT_EQ(f.digits(), "33554432") << limit;  // 2^5 doubled twenty times
        EXPECT_TRUE(f.hooks.backups.empty()) << limit;
        EXPECT_EQ(f.hooks.last_progress(), "") << limit;
    }
}

TEST(RunFrameTest, BackupsAreNumberedAndCarryTheirStep) {
    EngineFixture f;
    f.engine.settings.zalohy = 1000;
    f.engine.settings.adresar = "/work/dir";
    f.power("3", "3500");
    ASSERT_EQ(f.hooks.backups.size(), 3u);
    EXPECT_EQ(f.hooks.backups[0].path, "/work/dir/zal1m.cfr");
    EXPECT_EQ(f.hooks.backups[2].path, "/work/dir/zal3m.cfr");
    EXPECT_EQ(f.hooks.backups[1].pocitadlo, 2000);
    EngineFixture v;
    v.engine.settings.zalohy = 1000;
    v.variations("2500", "9000");
    ASSERT_EQ(v.hooks.backups.size(), 2u);
    EXPECT_EQ(v.hooks.backups[1].path, "/zal2v.cfr");
    EXPECT_EQ(v.hooks.backups[1].pocitadlo, 2001);  // class 2000 reached
}

TEST(RunFrameTest, AFailedBackupKeepsItsNumberAndTheRunGoesOn) {
    EngineFixture f;
    f.engine.settings.zalohy = 1000;
    f.hooks.backups_fail = true;
    f.factorial("2500");
    EXPECT_EQ(f.engine.st.backup_counter, 1);
    EXPECT_EQ(f.engine.st.pocitadlo, 2500);
}

// The run waits for a backup being written as it waits for a batch, so that the window goes on
// handling its messages meanwhile: a backup of billions of digits takes seconds to write. With
// steps or batches, and with the run ending at the backup's step.
TEST(RunFrameTest, ABackupIsWaitedForAsABatchIs) {
    for (int32_t limit : {-1, 0}) {
        EngineFixture f;
        f.engine.fast.basecase_top_index = limit;
        f.engine.settings.zalohy = 1000;
        f.hooks.backup_write_ms = 30;
        f.factorial("2000");
        ASSERT_EQ(f.hooks.backups_ended_in_batch.size(), 2u) << limit;
        EXPECT_TRUE(f.hooks.backups_ended_in_batch[0]) << limit;
        EXPECT_TRUE(f.hooks.backups_ended_in_batch[1]) << limit;
        EXPECT_EQ(f.engine.st.backup_counter, 3) << limit;
    }
}

TEST(RunFrameTest, InterruptedRunsContinueToTheSameResult) {
    for (int32_t limit : {-1, 0}) {
        EngineFixture f;
        f.engine.fast.basecase_top_index = limit;
        f.engine.fast.max_batch_steps = 50;
        f.hooks.on_yield = [&] {
            if (f.hooks.yields == 8) f.engine.interrupt();
        };
        f.factorial("3000");
        const int32_t reached = f.engine.st.pocitadlo;
        EXPECT_LT(reached, 3000);
        EXPECT_EQ(f.hooks.fields[Field::fkt_zadani], std::to_string(reached));
        f.continue_to("3000");
        EngineFixture whole;
        whole.factorial("3000");
        EXPECT_EQ(f.digits(), whole.digits());
        EXPECT_EQ(f.engine.st.top_index, whole.engine.st.top_index);
    }
}

TEST(RunFrameTest, ASmallerTargetMakesNoStep) {
    EngineFixture f;
    f.combinations("20", "60");
    const std::string before = f.digits();
    f.continue_to("5");
    EXPECT_EQ(f.hooks.fields[Field::kmb_trida], "20");
    EXPECT_EQ(f.digits(), before);
}

TEST(RunFrameTest, FinishShowsTheResultOnlyWhenAutomatic) {
    EngineFixture f;
    f.engine.settings.autotext = true;
    f.factorial("10");
    EXPECT_EQ(f.hooks.results_shown, 1);
    f.engine.settings.opened_at_startup = true;
    f.continue_to("12");
    EXPECT_EQ(f.hooks.results_shown, 1);
}

TEST(RunFrameTest, NewCalculationResetsTheState) {
    EngineFixture f;
    f.factorial("5000");
    f.engine.new_calculation();
    EXPECT_EQ(f.engine.st.top_index, 100);
    EXPECT_EQ(f.engine.st.pocitadlo, 1);
    EXPECT_FALSE(f.engine.st.interrupt_flag);
    EXPECT_EQ(f.hooks.fields[Field::fkt_zadani], "0");
    EXPECT_EQ(f.hooks.states.back(), "ready");
    f.factorial("6");
    EXPECT_EQ(f.digits(), "720");
}

// The window runs each batch on a worker thread; the result must not depend on where it runs.
class WorkerThreadHooks : public RecordingHooks {
  public:
    int batches = 0;
    void run_batch(const std::function<void()>& work) override {
        ++batches;
        std::thread worker(work);
        worker.join();
    }
};

TEST(RunFrameTest, BatchesMayRunOnAnotherThread) {
    WorkerThreadHooks hooks;
    Engine engine(hooks);
    engine.settings.autotext = false;
    engine.fast.max_batch_steps = 500;
    engine.st.calc_kind = kind::combinations;
    hooks.fields[Field::kmb_trida] = "6000";
    hooks.fields[Field::kmb_prvky] = "20000";
    engine.run();
    engine.materialize();
    EXPECT_GT(hooks.batches, 5);
    EXPECT_EQ(limbs_to_decimal(engine.st.vysledek, engine.st.top_index, engine.st.limb_digits),
              binomial_text(20000, 6000));
}

TEST(MemoryGuardTest, ARunThatCannotFitStopsIntactAndContinuesLater) {
    EngineFixture f;
    f.factorial("3000");
    f.engine.settings.memory_limit = 1 << 20;  // 100000! needs more than a megabyte
    try {
        f.continue_to("100000");
        FAIL() << "the run was not stopped";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), "Tento výpočet je již mimo možnosti paměti Vašeho počítače");
    }
    EXPECT_EQ(f.hooks.logged.back(), "Výpočet je již mimo možnosti paměti Vašeho počítače");
    EXPECT_EQ(f.hooks.states.back(), "finished");
    EXPECT_EQ(f.hooks.fields[Field::fkt_zadani], "3000");
    f.engine.settings.memory_limit = 0;
    f.continue_to("30000");
    EngineFixture whole;
    whole.factorial("30000");
    EXPECT_EQ(f.digits(), whole.digits());
}

}  // namespace
}  // namespace cifrovar::testing
