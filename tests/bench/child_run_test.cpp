#include "child_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace cifrovar::testing {
namespace {

using bench::ChildReport;
using bench::ChildResult;
using bench::run_in_child;

TEST(ChildRunTest, TheResultComesBackThroughThePipe) {
    const ChildReport report = run_in_child([] { return ChildResult{1.25, 456574, "refused: x"}; });
    ASSERT_EQ(report.end, ChildReport::End::returned);
    EXPECT_EQ(report.result.seconds, 1.25);
    EXPECT_EQ(report.result.count, 456574);
    EXPECT_EQ(report.result.message, "refused: x");
    EXPECT_EQ(bench::describe_end(report), "refused: x");
}

TEST(ChildRunTest, AnExceptionOrASignalEndsOnlyTheChild) {
    const ChildReport failed =
        run_in_child([]() -> ChildResult { throw std::runtime_error("no space left"); });
    EXPECT_EQ(failed.end, ChildReport::End::failed);
    EXPECT_EQ(bench::describe_end(failed), "failed: no space left");

    const ChildReport killed = run_in_child([]() -> ChildResult {
        std::raise(SIGKILL);
        return {};
    });
    EXPECT_EQ(killed.end, ChildReport::End::killed);
    EXPECT_EQ(killed.signal, SIGKILL);
}

// Each child reports its own peak: a small child after a big one must not inherit the big
// one's high-water mark, as the counters for all children together would give.
TEST(ChildRunTest, PeakMemoryIsEachChildsOwn) {
    constexpr std::size_t big = std::size_t{96} << 20;
    const ChildReport heavy = run_in_child([] {
        std::vector<char> block(big);
        std::memset(block.data(), 1, block.size());
        return ChildResult{0, block[big / 2], ""};
    });
    const ChildReport light = run_in_child([] { return ChildResult{}; });
    ASSERT_EQ(heavy.end, ChildReport::End::returned);
    EXPECT_GE(heavy.peak_rss_bytes, static_cast<int64_t>(big));
    EXPECT_GT(light.peak_rss_bytes, 0);
    // Both start from what the parent holds; only the heavy one adds the block to it.
    EXPECT_LT(light.peak_rss_bytes + static_cast<int64_t>(big / 2), heavy.peak_rss_bytes);
}

}  // namespace
}  // namespace cifrovar::testing
