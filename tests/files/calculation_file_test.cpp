#include "files/calculation_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

#include "files/calculation_file_support.h"
#include "support/child_process.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

constexpr int32_t tag = 1000000000;

std::string golden(const std::string& name) {
    const std::string here = __FILE__;
    return read_bytes(here.substr(0, here.rfind('/')) + "/golden/" + name);
}

TEST(CalculationFileTest, FinishedPowerIsTheGoldenFile) {
    TempFolder folder;
    EngineFixture f;
    f.power("2", "10");
    write_calculation_file(f.engine, folder.file("2na10.cfr"));
    const std::string bytes = read_bytes(folder.file("2na10.cfr"));
    EXPECT_EQ(bytes.size(), 420u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\xCA\x9A\x3B", 4));
    EXPECT_EQ(bytes, golden("2na10.cfr"));
}

TEST(CalculationFileTest, FactorialFileHasOneRecordLess) {
    TempFolder folder;
    EngineFixture f;
    f.factorial("6");
    write_calculation_file(f.engine, folder.file("6!.cfr"));
    EXPECT_EQ(read_bytes(folder.file("6!.cfr")),
              records_bytes(file_records({tag + 2, 6}, 100, {720})));
}

// Files of the older powers-only program, and first records that are no kind tag.
struct LegacyCase {
    const char* name;
    int32_t base;
    int32_t exponent;
    std::vector<int32_t> limbs;  // in the radix of the base
    int32_t limb_digits;
};

void PrintTo(const LegacyCase& c, std::ostream* os) { *os << c.name; }

class LegacyFileTest : public ::testing::TestWithParam<LegacyCase> {};

TEST_P(LegacyFileTest, ReadsAsPowersAndSavesTagged) {
    const LegacyCase& c = GetParam();
    TempFolder folder;
    write_bytes(folder.file("old.exk"),
                records_bytes(file_records({c.base, c.exponent}, 5, c.limbs)));
    EngineFixture f;
    read_calculation_file(f.engine, folder.file("old.exk"));
    EXPECT_EQ(f.engine.st.calc_kind, kind::powers);
    EXPECT_EQ(f.engine.st.moc_zaklad, c.base);
    EXPECT_EQ(f.engine.st.pocitadlo, c.exponent);
    EXPECT_EQ(f.hooks.fields[Field::moc_zaklad], std::to_string(c.base));
    EXPECT_EQ(f.hooks.fields[Field::moc_exponent], std::to_string(c.exponent));
    EXPECT_EQ(f.engine.st.limb_digits, c.limb_digits);
    EXPECT_TRUE(f.engine.st.interrupt_flag);
    write_calculation_file(f.engine, folder.file("new.cfr"));
    EXPECT_EQ(read_bytes(folder.file("new.cfr")),
              records_bytes(file_records({tag + 1, c.base, c.exponent}, 5, c.limbs)));
}

INSTANTIATE_TEST_SUITE_P(FirstRecords, LegacyFileTest,
                         ::testing::Values(LegacyCase{"Seven", 7, 2, {49}, 8},
                                           LegacyCase{"TagOfNoKind", 1000000000, 1, {0, 0, 10}, 4},
                                           LegacyCase{
                                               "TagOfKindFive", 1000000005, 1, {5, 0, 10}, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// Files the reader refuses.
struct RefusedCase {
    const char* name;
    std::string bytes;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedFileTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedFileTest, FailsWithoutBigAllocations) {
    TempFolder folder;
    write_bytes(folder.file("bad.cfr"), GetParam().bytes);
    EngineFixture f;
    EXPECT_THROW(read_calculation_file(f.engine, folder.file("bad.cfr")), FileError);
    EXPECT_LT(f.engine.st.vysledek.capacity(), 1000u);
    EXPECT_LT(f.engine.st.pomoc.capacity(), 1000u);
}

std::string cut(const std::string& bytes, size_t drop) {
    return bytes.substr(0, bytes.size() - drop);
}

const std::string power_2_10 = records_bytes(file_records({tag + 1, 2, 10}, 100, {1024}));

INSTANTIATE_TEST_SUITE_P(
    Validation, RefusedFileTest,
    ::testing::Values(
        RefusedCase{"Empty", ""}, RefusedCase{"CutInsideHeader", power_2_10.substr(0, 14)},
        RefusedCase{"CutInsideLimbs", cut(power_2_10, 200)},
        RefusedCase{"CutInsideLastLimb", cut(power_2_10, 1)},
        RefusedCase{"NegativeBase", records_bytes(file_records({tag + 1, -2, 10}, 100, {1024}))},
        RefusedCase{"NegativeLegacyBase", records_bytes(file_records({-2, 10}, 100, {1024}))},
        RefusedCase{"NegativeExponent", records_bytes(file_records({tag + 1, 2, -1}, 100, {1}))},
        RefusedCase{"NegativeFactorial", records_bytes(file_records({tag + 2, -3}, 100, {1}))},
        RefusedCase{"NegativeElements", records_bytes(file_records({tag + 3, 0, -1}, 100, {1}))},
        RefusedCase{"VariationsClassAboveElements",
                    records_bytes(file_records({tag + 3, 4, 3}, 100, {24}))},
        RefusedCase{"CombinationsClassAboveElements",
                    records_bytes(file_records({tag + 4, 4, 3}, 100, {1}))},
        RefusedCase{"TopIndexOne", records_bytes(file_records({tag + 2, 3}, 1, {6}))},
        RefusedCase{"TopIndexNegative", records_bytes({tag + 2, 3, -5, 6, 0, 0})},
        RefusedCase{"TopIndexBeyondTheFile", records_bytes({tag + 2, 3, 6, 6, 0, 0, 0, 0, 0})},
        RefusedCase{"HugeTopIndex",
                    records_bytes({tag + 2, 3, std::numeric_limits<int32_t>::max(), 6, 0, 0})},
        RefusedCase{"LimbAtNineDigitRadix",
                    records_bytes(file_records({tag + 1, 2, 30}, 100, {1000000000}))},
        RefusedCase{"LimbAtFourDigitRadix",
                    records_bytes(file_records({tag + 2, 8}, 100, {10000}))},
        RefusedCase{"NegativeLimb", records_bytes(file_records({tag + 2, 3}, 100, {6, -1}))},
        RefusedCase{"BadLimbAtTheTop",
                    records_bytes(file_records({tag + 4, 3, 10}, 2, {120, 0, 10000}))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CalculationFileTest, BytesAfterTheLimbsAreIgnored) {
    TempFolder folder;
    write_bytes(folder.file("long.cfr"), power_2_10 + records_bytes({77, -1}) + "xyz");
    EngineFixture f;
    read_calculation_file(f.engine, folder.file("long.cfr"));
    EXPECT_EQ(f.engine.st.top_index, 100);
    EXPECT_EQ(f.digits(), "1024");
    write_calculation_file(f.engine, folder.file("again.cfr"));
    EXPECT_EQ(read_bytes(folder.file("again.cfr")), power_2_10);
}

TEST(CalculationFileTest, ReadingShowsItsProgressAndTheBusyState) {
    TempFolder folder;
    write_bytes(folder.file("v.cfr"), records_bytes(file_records({tag + 3, 3, 10}, 100, {720})));
    EngineFixture f;
    const int yields_before = f.hooks.yields;
    f.hooks.statuses.clear();
    f.hooks.states.clear();
    read_calculation_file(f.engine, folder.file("v.cfr"));
    EXPECT_EQ(f.hooks.statuses, std::vector<std::string>{"Načítám data ..."});
    EXPECT_EQ(f.hooks.states, std::vector<std::string>{"busy"});
    EXPECT_GE(f.hooks.yields, yields_before + 1);
    EXPECT_EQ(f.engine.st.calc_kind, kind::variations);
    EXPECT_EQ(f.engine.st.pocitadlo, 4);
    EXPECT_EQ(f.engine.st.vrc_trida, 3);
    EXPECT_EQ(f.engine.st.vrc_prvky, 10);
    EXPECT_EQ(f.hooks.fields[Field::vrc_trida], "3");
    EXPECT_EQ(f.hooks.fields[Field::vrc_prvky], "10");
    EXPECT_TRUE(f.engine.st.interrupt_flag);
}

TEST(CalculationFileTest, AWriteProtectedFileOpens) {
    TempFolder folder;
    write_bytes(folder.file("ro.cfr"), power_2_10);
    std::filesystem::permissions(folder.file("ro.cfr"), std::filesystem::perms::owner_read);
    EngineFixture f;
    read_calculation_file(f.engine, folder.file("ro.cfr"));
    EXPECT_EQ(f.digits(), "1024");
}

class NotAFileTest : public ::testing::TestWithParam<const char*> {};

// Whatever is given to open, a FIFO nobody writes included, ends the reading at once with a
// failure; none of it blocks.
TEST_P(NotAFileTest, FailsWithoutBlocking) {
    TempFolder folder;
    const std::string path = folder.file("given.cfr");
    const std::string node = GetParam();
    if (node == "fifo") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (node == "folder") {
        std::filesystem::create_directory(path);
    } else {
        std::filesystem::create_symlink(node, path);
    }
    const int code = exit_of_child(
        [&] {
            EngineFixture f;
            try {
                read_calculation_file(f.engine, path);
            } catch (const FileError&) {
                return 1;
            }
            return 0;
        },
        5);
    EXPECT_EQ(code, 1);
}

INSTANTIATE_TEST_SUITE_P(Nodes, NotAFileTest, ::testing::Values("fifo", "folder", "/dev/zero"),
                         [](const auto& info) {
                             const std::string name = info.param;
                             return name == "/dev/zero" ? std::string("LinkToDevZero") : name;
                         });

TEST(CalculationFileTest, InterruptedPowerStoresTheExponentReached) {
    TempFolder folder;
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    f.hooks.on_yield = [&] {
        if (f.engine.st.pocitadlo == 537) f.engine.interrupt();
    };
    f.power("2", "5000");
    f.hooks.on_yield = nullptr;
    write_calculation_file(f.engine, folder.file("2na537.cfr"));
    const std::string bytes = read_bytes(folder.file("2na537.cfr"));
    EXPECT_EQ(bytes.substr(0, 12), records_bytes({tag + 1, 2, 537}));

    EngineFixture loaded;
    read_calculation_file(loaded.engine, folder.file("2na537.cfr"));
    loaded.engine.run();
    EXPECT_EQ(loaded.hooks.fields[Field::moc_exponent], "537");
    EXPECT_EQ(loaded.engine.st.limb_digits, 9);
    EXPECT_EQ(loaded.digits(), power_text(2, 537));
    loaded.continue_to("5000");
    EXPECT_EQ(loaded.digits(), power_text(2, 5000));
}

// A saved calculation continued in another engine ends where the uninterrupted run does, and
// every file on the way is the one the step-by-step kernel writes.
struct ContinuationCase {
    const char* name;
    int32_t calc_kind;
    const char* operand;  // base or elements ("" for the factorial)
    int32_t target;
    int32_t interrupt_at;  // counter at which the first run is interrupted
};

void PrintTo(const ContinuationCase& c, std::ostream* os) { *os << c.name; }

class ContinuationTest : public ::testing::TestWithParam<ContinuationCase> {
  protected:
    void start(EngineFixture& f, int32_t target) {
        const ContinuationCase& c = GetParam();
        const std::string t = std::to_string(target);
        switch (c.calc_kind) {
            case kind::powers:
                f.power(c.operand, t);
                break;
            case kind::factorial:
                f.factorial(t);
                break;
            case kind::variations:
                f.variations(t, c.operand);
                break;
            default:
                f.combinations(t, c.operand);
                break;
        }
    }

    void configure(EngineFixture& f, int32_t basecase) {
        f.engine.fast.basecase_top_index = basecase;
        f.engine.fast.max_batch_steps = 40;
    }

    std::string save(EngineFixture& f, const std::string& name) {
        write_calculation_file(f.engine, folder.file(name));
        return read_bytes(folder.file(name));
    }

    // The files of one mode: fresh, interrupted, continued, loaded then continued. The
    // interrupt comes at the first yield at or after stop_at.
    std::vector<std::string> files(int32_t basecase, int32_t stop_at, int32_t& stopped) {
        const ContinuationCase& c = GetParam();
        const std::string mode = std::to_string(basecase);
        std::vector<std::string> result;
        EngineFixture fresh;
        configure(fresh, basecase);
        start(fresh, c.target);
        result.push_back(save(fresh, mode + "fresh.cfr"));

        EngineFixture f;
        configure(f, basecase);
        f.hooks.on_yield = [&] {
            if (f.engine.st.pocitadlo >= stop_at) f.engine.interrupt();
        };
        start(f, c.target);
        f.hooks.on_yield = nullptr;
        stopped = f.engine.st.pocitadlo;
        result.push_back(save(f, mode + "interrupted.cfr"));
        f.continue_to(std::to_string(c.target));
        result.push_back(save(f, mode + "continued.cfr"));

        EngineFixture loaded;
        configure(loaded, basecase);
        read_calculation_file(loaded.engine, folder.file(mode + "interrupted.cfr"));
        loaded.engine.run();
        loaded.continue_to(std::to_string(c.target));
        result.push_back(save(loaded, mode + "loaded.cfr"));
        EXPECT_EQ(loaded.digits(), fresh.digits());
        return result;
    }

    TempFolder folder;
};

TEST_P(ContinuationTest, BatchesWriteTheKernelsFiles) {
    const ContinuationCase& c = GetParam();
    // The batches decide where the interrupt lands; the kernel is stopped at the same counter.
    int32_t batch_stop = 0, kernel_stop = 0;
    const auto batches = files(0, c.interrupt_at, batch_stop);
    const auto kernel = files(-1, batch_stop, kernel_stop);
    ASSERT_EQ(kernel_stop, batch_stop);
    EXPECT_LT(batch_stop, c.target);
    const char* names[] = {"fresh", "interrupted", "continued", "loaded then continued"};
    for (size_t i = 0; i < kernel.size(); ++i)
        EXPECT_TRUE(batches[i] == kernel[i]) << names[i] << " files differ";
    // Continuing, here or after loading, gives the uninterrupted run's file.
    EXPECT_TRUE(kernel[2] == kernel[0]);
    EXPECT_TRUE(kernel[3] == kernel[0]);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ContinuationTest,
    ::testing::Values(ContinuationCase{"PowersOfThree", kind::powers, "3", 4000, 1500},
                      ContinuationCase{"PowersOfLargeBase", kind::powers, "123456", 900, 300},
                      ContinuationCase{"Factorial", kind::factorial, "", 1800, 700},
                      ContinuationCase{"Variations", kind::variations, "5000", 1500, 600},
                      ContinuationCase{"Combinations", kind::combinations, "3000", 1400, 500}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
