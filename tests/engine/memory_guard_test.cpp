#include "engine/memory_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bignum/fast_multiply.h"
#include "bignum/mapped_blocks.h"
#include "engine/fast_run.h"
#include "support/mapped_pages.h"

namespace cifrovar::testing {
namespace {

constexpr int64_t MiB = 1 << 20;

struct WithinCase {
    const char* name;
    MemoryFigures figures;
    int64_t expected;
};

class MemoryWithin : public ::testing::TestWithParam<WithinCase> {};

TEST_P(MemoryWithin, TakesTheLeastRoomPlusWhatIsHeld) {
    EXPECT_EQ(memory_within(GetParam().figures), GetParam().expected);
}

// Figures: available, resident, VmSize, RLIMIT_AS, VmData, RLIMIT_DATA, cgroup room.
INSTANTIATE_TEST_SUITE_P(
    Figures, MemoryWithin,
    ::testing::Values(
        WithinCase{
            "machine_only", {8000 * MiB, 50 * MiB, 900 * MiB, -1, 300 * MiB, -1, -1}, 8050 * MiB},
        WithinCase{"address_space",
                   {8000 * MiB, 50 * MiB, 900 * MiB, 1536 * MiB, 300 * MiB, -1, -1},
                   686 * MiB},
        WithinCase{
            "data", {8000 * MiB, 50 * MiB, 900 * MiB, -1, 300 * MiB, 400 * MiB, -1}, 150 * MiB},
        WithinCase{"cgroup",
                   {8000 * MiB, 50 * MiB, 900 * MiB, 4096 * MiB, 300 * MiB, -1, 200 * MiB},
                   250 * MiB},
        WithinCase{"limit_already_passed",
                   {8000 * MiB, 50 * MiB, 900 * MiB, 800 * MiB, 0, -1, -1},
                   50 * MiB}),
    [](const auto& info) { return std::string(info.param.name); });

// A fake /proc and /sys: the process's cgroup line and, per cgroup folder, memory.max and
// memory.current.
struct TreeCase {
    const char* name;
    const char* cgroup_line;
    std::vector<std::vector<std::string>> groups;  // folder, memory.max, memory.current
    int64_t room;
};

class FakeTree : public ::testing::TestWithParam<TreeCase> {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("cifrovar-guard-" + std::to_string(::getpid()) + "-" + GetParam().name);
        std::filesystem::create_directories(root_ / "proc/self");
        write(root_ / "proc/meminfo", "MemTotal: 16000000 kB\nMemAvailable: 8000000 kB\n");
        write(root_ / "proc/self/status",
              "Name:\tcifrovar\nVmSize:\t  900000 kB\nVmRSS:\t   50000 kB\nVmData:\t  300000 kB\n");
        write(root_ / "proc/self/cgroup", std::string(GetParam().cgroup_line) + "\n");
        for (const auto& g : GetParam().groups) {
            const auto folder = root_ / "sys/fs/cgroup" / g[0];
            std::filesystem::create_directories(folder);
            write(folder / "memory.max", g[1] + "\n");
            write(folder / "memory.current", g[2] + "\n");
        }
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    static void write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path) << text;
    }
    std::filesystem::path root_;
};

TEST_P(FakeTree, ReadsTheFiguresAndTheCgroupLimit) {
    const MemoryFigures f = read_memory_figures(root_.string());
    EXPECT_EQ(f.machine_available, 8000000 * int64_t{1024});
    EXPECT_EQ(f.resident, 50000 * int64_t{1024});
    EXPECT_EQ(f.address_space, 900000 * int64_t{1024});
    EXPECT_EQ(f.data, 300000 * int64_t{1024});
    EXPECT_EQ(f.cgroup_room, GetParam().room);
    if (GetParam().room >= 0 && f.address_space_limit < 0 && f.data_limit < 0) {
        EXPECT_EQ(memory_within(f), GetParam().room + f.resident);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cgroups, FakeTree,
    ::testing::Values(TreeCase{"own_limit",
                               "0::/user.slice/run.scope",
                               {{"user.slice", "max", "5000000000"},
                                {"user.slice/run.scope", "104857600", "4857600"}},
                               100000000},
                      TreeCase{"parent_limit",
                               "0::/user.slice/run.scope",
                               {{"user.slice", "314572800", "114572800"},
                                {"user.slice/run.scope", "max", "100000000"}},
                               200000000},
                      TreeCase{
                          "container_root", "0::/", {{"", "1073741824", "73741824"}}, 1000000000},
                      TreeCase{"unlimited", "0::/a", {{"a", "max", "12345"}}, -1},
                      TreeCase{"version_1_only", "4:memory:/a", {{"a", "1000", "0"}}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs measured with /usr/bin/time -v (Release, two cores, AVX-512): the guard's figure must
// cover the peak, so that nothing that does not fit is started, and stay within 1.3 times it,
// so that nothing that fits is refused.
struct PeakCase {
    const char* name;
    int32_t calc_kind;
    int32_t base_or_elements;
    int64_t end_counter;
    int32_t limb_digits;
    double peak_mib;
    int64_t from_counter = 0;  // a continuation from the limbs of this step
    int64_t batch_steps = 0;
};

class MeasuredPeak : public ::testing::TestWithParam<PeakCase> {};

TEST_P(MeasuredPeak, EstimateCoversThePeakWithinAThird) {
    if (!decimal_transforms_available()) GTEST_SKIP() << "measured with the decimal transforms";
    const PeakCase& c = GetParam();
    CalcState st;
    st.calc_kind = c.calc_kind;
    st.limb_digits = c.limb_digits;
    StepRule rule{c.calc_kind, 0, 0};
    if (c.calc_kind == kind::powers) rule.base = c.base_or_elements;
    if (c.calc_kind != kind::powers) rule.elements = c.base_or_elements;
    if (c.from_counter > 0) {
        st.pocitadlo = static_cast<int32_t>(c.from_counter);
        st.top_index = static_cast<int32_t>(peak_digits(st, rule, c.from_counter) / c.limb_digits);
    }
    const double estimate =
        static_cast<double>(memory_for_run(st, rule, c.end_counter, c.batch_steps)) / MiB;
    EXPECT_GE(estimate, c.peak_mib);
    EXPECT_LE(estimate, 1.3 * c.peak_mib);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MeasuredPeak,
    ::testing::Values(
        PeakCase{"factorial_10M", kind::factorial, 0, 10000000, 4, 158},
        PeakCase{"factorial_100M", kind::factorial, 0, 100000000, 4, 1556},
        PeakCase{"factorial_200M", kind::factorial, 0, 200000000, 4, 3451},
        PeakCase{"factorial_400M_halves", kind::factorial, 0, 400000000, 4, 7026},
        PeakCase{"factorial_999999999_halves", kind::factorial, 0, 999999999, 4, 13271},
        PeakCase{"power_2_999999999", kind::powers, 2, 999999999, 9, 579},
        PeakCase{"power_2_2147483647", kind::powers, 2, 2147483647, 9, 1270},
        PeakCase{"power_999999999_100M", kind::powers, 999999999, 100000000, 4, 2114},
        PeakCase{"power_7_300M", kind::powers, 7, 300000000, 9, 550},
        PeakCase{"power_999999999_999999999_halves", kind::powers, 999999999, 999999999, 4, 12403},
        // The coefficients from their primes, the threads' kept blocks given back around
        // their long merges.
        PeakCase{"combinations_100M", kind::combinations, 100000000, 50000001, 4, 84.2},
        PeakCase{"combinations_999999999", kind::combinations, 999999999, 500000000, 4, 645.6},
        // its threads' last merges above its top product
        PeakCase{"combinations_70M", kind::combinations, 70000000, 35000001, 4, 67.6},
        PeakCase{"combinations_200M", kind::combinations, 200000000, 100000001, 4, 159.1},
        PeakCase{"variations_classes_100M", kind::variations, 999999999, 100000001, 4, 2793},
        PeakCase{"variations_classes_500M", kind::variations, 999999999, 500000000, 4, 9970},
        PeakCase{"factorial_60M_from_50M", kind::factorial, 0, 60000000, 4, 1653, 50000000},
        PeakCase{"factorial_100M_from_50M", kind::factorial, 0, 100000000, 4, 1904, 50000000},
        PeakCase{"factorial_10M_in_batches", kind::factorial, 0, 10000000, 4, 232, 0, 1000000},
        // Short runs, where the program itself is most of the peak; the factorials below
        // 2^22 convert GMP's binomial of each level on the second thread.
        PeakCase{"factorial_100000", kind::factorial, 0, 100000, 4, 6.8},
        PeakCase{"factorial_4194303_binomial_from_gmp", kind::factorial, 0, 4194303, 4, 78.8},
        PeakCase{"power_7_3000000_wrapped", kind::powers, 7, 3000000, 9, 11.1},
        PeakCase{"variations_in_one_go_1M", kind::variations, 1000000, 500001, 4, 12.3},
        PeakCase{"combinations_1M", kind::combinations, 1000000, 500001, 4, 6.5},
        PeakCase{"combinations_10M", kind::combinations, 10000000, 5000001, 4, 17.0},
        // far more numbers to sieve than the coefficient has bits: multiplied in binary
        PeakCase{"combinations_by_ratios_1G_400000", kind::combinations, 1000000000, 400001, 4,
                 12.0}),
    [](const auto& info) { return std::string(info.param.name); });

// Transform blocks kept idle for the next product are given back before the machine's room is
// read, so that they never count against the run being judged; a limit set by the user is the
// room as it stands and leaves them kept.
TEST(MemoryAvailable, GivesTheKeptBlocksBackBeforeReadingTheMachine) {
    constexpr size_t bytes = size_t{64} << 20;
    void* block = take_mapped_block(bytes);
    give_back_mapped_block(block, bytes);
    memory_available(int64_t{1} << 30);
    EXPECT_TRUE(still_mapped(block, bytes));
    memory_available(0);
    EXPECT_FALSE(still_mapped(block, bytes));
    release_kept_blocks();
}

}  // namespace
}  // namespace cifrovar::testing
