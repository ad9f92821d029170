#include "files/calculation_commands.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>

#include "errors/input_error.h"
#include "files/calculation_file.h"
#include "files/calculation_file_support.h"
#include "support/engine_fixture.h"

namespace cifrovar::testing {
namespace {

constexpr int32_t tag = 1000000000;

// The message of the input error a command raises, or "" when it raises none.
std::string raised(const std::function<void()>& command) {
    try {
        command();
    } catch (const Evlastni& e) {
        return e.what();
    }
    return "";
}

// Files that open_calculation refuses; the engine must be left as after a new calculation.
struct OpenFailureCase {
    const char* name;
    std::string bytes;  // "" with exists false: no file at all
    bool exists;
};

void PrintTo(const OpenFailureCase& c, std::ostream* os) { *os << c.name; }

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, ReportsAndLeavesANewCalculation) {
    const OpenFailureCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.file("bad.cfr");
    if (c.exists) write_bytes(path, c.bytes);
    EngineFixture f;
    f.factorial("50");  // something to be replaced
    EXPECT_EQ(raised([&] { open_calculation(f.engine, path); }), "Data nelze načíst !");
    ASSERT_FALSE(f.hooks.logged.empty());
    EXPECT_EQ(f.hooks.logged.back(), "Data nelze načíst : " + path);
    EXPECT_TRUE(f.engine.st.error_reported);
    EXPECT_FALSE(f.engine.st.interrupt_flag);
    EXPECT_EQ(f.engine.st.pocitadlo, 1);
    EXPECT_EQ(f.engine.st.top_index, 100);
    EXPECT_EQ(f.engine.st.limb_digits, 4);
    EXPECT_EQ(f.hooks.statuses.back(), "Připraven k výpočtu");
    EXPECT_EQ(f.hooks.states.back(), "ready");
    EXPECT_EQ(f.hooks.fields[Field::fkt_zadani], "0");
}

const std::string factorial_10 =
    records_bytes(file_records({tag + 2, 10}, 100, {8800, 362}));  // 3628800

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"Missing", "", false},
        OpenFailureCase{"CutInsideTheLimbs", factorial_10.substr(0, 200), true},
        OpenFailureCase{"LimbOutsideTheRadix",
                        records_bytes(file_records({tag + 2, 10}, 100, {8800, 10362})), true},
        // The file reads, but the run that completes the loading refuses 0^0.
        OpenFailureCase{"ZeroToTheZero", records_bytes(file_records({tag + 1, 0, 0}, 100, {1})),
                        true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenCalculationTest, APathThatIsAFolderFails) {
    TempFolder folder;
    EngineFixture f;
    EXPECT_EQ(raised([&] { open_calculation(f.engine, folder.file("")); }), "Data nelze načíst !");
}

// Opening completes the run: finished state, fields and result as the file has them, and a
// save without a run gives the same bytes back.
struct RoundTripCase {
    const char* name;
    std::vector<int32_t> records;
    Field target_field;
    const char* target;
    const char* digits;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, OpenThenSaveGivesTheSameFile) {
    const RoundTripCase& c = GetParam();
    TempFolder folder;
    const std::string bytes = records_bytes(c.records);
    write_bytes(folder.file("in.cfr"), bytes);
    EngineFixture f;
    f.engine.settings.autotext = true;
    open_calculation(f.engine, folder.file("in.cfr"));
    EXPECT_EQ(f.hooks.states.back(), "finished");
    EXPECT_EQ(f.hooks.results_shown, 1);
    EXPECT_EQ(f.hooks.fields[c.target_field], c.target);
    EXPECT_EQ(f.digits(), c.digits);
    save_calculation(f.engine, folder.file("out.cfr"));
    EXPECT_EQ(f.hooks.statuses.back(), "Připraven k výpočtu");
    EXPECT_EQ(f.hooks.statuses[f.hooks.statuses.size() - 2], "Ukládám data ...");
    EXPECT_EQ(read_bytes(folder.file("out.cfr")), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, RoundTripTest,
    ::testing::Values(RoundTripCase{"Powers",
                                    file_records({tag + 1, 2, 40}, 100, {511627776, 1099}),
                                    Field::moc_exponent, "40", "1099511627776"},
                      RoundTripCase{"Factorial", file_records({tag + 2, 10}, 100, {8800, 362}),
                                    Field::fkt_zadani, "10", "3628800"},
                      RoundTripCase{"Variations", file_records({tag + 3, 3, 10}, 100, {720}),
                                    Field::vrc_trida, "3", "720"},
                      RoundTripCase{"Combinations", file_records({tag + 4, 3, 10}, 100, {120}),
                                    Field::kmb_trida, "3", "120"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenCalculationTest, TamperedCombinationsEndInTheSpecificError) {
    for (int32_t basecase : {-1, 0}) {
        TempFolder folder;
        // C(10, 3) is 120: the next class multiplies by 7 and 847 does not divide by 4.
        write_bytes(folder.file("k3t10p.cfr"),
                    records_bytes(file_records({tag + 4, 3, 10}, 100, {121})));
        EngineFixture f;
        f.engine.fast.basecase_top_index = basecase;
        open_calculation(f.engine, folder.file("k3t10p.cfr"));
        EXPECT_TRUE(f.hooks.fatal_messages.empty());
        f.continue_to("4");
        ASSERT_EQ(f.hooks.fatal_messages.size(), 1u) << "basecase " << basecase;
        EXPECT_EQ(
            f.hooks.fatal_messages[0],
            "V programu došlo k specifické chybě při výpočtu kombinací a proto bude nyní ukončen");
    }
}

// A save that cannot complete: the command reports it, an existing target keeps its bytes and
// no temporary file is left in the folder.
class SaveFailureTest : public ::testing::Test {
  protected:
    void SetUp() override { f.factorial("30"); }

    void expect_failed_save(const std::string& path) {
        EXPECT_EQ(raised([&] { save_calculation(f.engine, path); }), "Data nelze uložit !");
        EXPECT_EQ(f.hooks.statuses.back(), "Data nelze uložit !!!");
        ASSERT_FALSE(f.hooks.logged.empty());
        EXPECT_EQ(f.hooks.logged.back(), "Data nelze uložit : " + path);
        EXPECT_TRUE(f.engine.st.error_reported);
    }

    TempFolder folder;
    EngineFixture f;
};

TEST_F(SaveFailureTest, MissingFolder) {
    expect_failed_save(folder.file("missing/30!.cfr"));
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(SaveFailureTest, FolderThatIsAFile) {
    write_bytes(folder.file("plain"), "x");
    expect_failed_save(folder.file("plain/30!.cfr"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"plain"});
}

TEST_F(SaveFailureTest, TargetThatIsAFolder) {
    std::filesystem::create_directory(folder.file("30!.cfr"));
    expect_failed_save(folder.file("30!.cfr"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"30!.cfr"});
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("30!.cfr")));
}

// A writable file in a read-only folder is written in place; a write-protected one cannot be.
TEST_F(SaveFailureTest, ReadOnlyFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    write_bytes(folder.file("30!.cfr"), "old");
    std::filesystem::permissions(folder.file("30!.cfr"), std::filesystem::perms::owner_read);
    std::filesystem::permissions(
        folder.file(""), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    expect_failed_save(folder.file("30!.cfr"));
    std::filesystem::permissions(folder.file(""), std::filesystem::perms::owner_all);
    EXPECT_EQ(read_bytes(folder.file("30!.cfr")), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"30!.cfr"});
}

// The file size limit makes the writes fail part-way, as a full disk does, for root as well.
TEST_F(SaveFailureTest, WriteFailingPartWay) {
    write_bytes(folder.file("30!.cfr"), "old");
    f.factorial("3000");  // a file of several kilobytes
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1000;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string message = raised([&] { save_calculation(f.engine, folder.file("30!.cfr")); });
    setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(message, "Data nelze uložit !");
    EXPECT_EQ(f.hooks.logged.back(), "Data nelze uložit : " + folder.file("30!.cfr"));
    EXPECT_EQ(read_bytes(folder.file("30!.cfr")), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"30!.cfr"});
}

// A calculation of more limbs than a file's 32-bit top index counts (2^31 limbs: the limbs
// themselves are not needed to be refused) is told so with the digits a file holds, before a
// byte is written, by the save command and by the writer that backups use.
TEST_F(SaveFailureTest, MoreLimbsThanAFileCounts) {
    const std::string path = folder.file("30!.cfr");
    write_bytes(path, "old");
    f.engine.st.top_index = int64_t{1} << 31;
    const std::string message = raised([&] { save_calculation(f.engine, path); });
    EXPECT_EQ(message.rfind("Data nelze uložit ! Výsledek má ", 0), 0u) << message;
    EXPECT_NE(message.find(", soubor výpočtu jich udrží nejvýš 8589934592."), std::string::npos)
        << message;
    EXPECT_EQ(f.hooks.logged.back(), "Data nelze uložit : " + path);
    EXPECT_THROW(write_calculation_file(f.engine.st, folder.file("backup.cfr")), FileError);
    EXPECT_EQ(read_bytes(path), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"30!.cfr"});
}

// A power whose digits are made only when wanted is refused by the digits its step reckons,
// before minutes of squarings and gigabytes of limbs would be spent on it (here the limbs are
// short: a save that made them would write them).
TEST_F(SaveFailureTest, APowerBeyondAFileIsRefusedBeforeItsDigitsAreMade) {
    const std::string path = folder.file("power.cfr");
    CalcState& st = f.engine.st;
    st.calc_kind = kind::powers;
    st.moc_zaklad = st.moc_exponent = 999999999;
    st.pocitadlo = 999999999;
    EXPECT_EQ(raised([&] { save_calculation(f.engine, path); }),
              "Data nelze uložit ! Výsledek má 8999999991 číslic, soubor výpočtu jich udrží "
              "nejvýš 8589934592.");
    EXPECT_TRUE(folder.names().empty());
    // A power well within a file is saved as before.
    st.moc_zaklad = st.moc_exponent = st.pocitadlo = 2;
    save_calculation(f.engine, path);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"power.cfr"});
}

TEST(SaveCalculationTest, ReplacesAnExistingFileAndKeepsItsMode) {
    TempFolder folder;
    const std::string path = folder.file("10!.cfr");
    write_bytes(path, "old contents");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    EngineFixture f;
    f.factorial("10");
    save_calculation(f.engine, path);
    EXPECT_EQ(read_bytes(path), factorial_10);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"10!.cfr"});
}

TEST(SaveCalculationTest, NothingToSaveOnTheStartPage) {
    TempFolder folder;
    EngineFixture f;
    EXPECT_EQ(raised([&] { save_calculation(f.engine, folder.file("x.cfr")); }),
              "Data nelze uložit !");
    EXPECT_TRUE(folder.names().empty());
}

}  // namespace
}  // namespace cifrovar::testing
