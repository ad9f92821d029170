#include "engine/memory_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace cifrovar::testing
