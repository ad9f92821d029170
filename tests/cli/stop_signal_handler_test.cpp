#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cli/stop_signals.h"

namespace cifrovar::cli {
namespace {

// The handler's state belongs to the process, so each case runs in a child of its own and
// reports through its exit code.

// A run's engine ends before the tool exits, and a signal may still come while it exits. The
// handler then has no flag to set: the memory the flag had (a stack frame that the exit's own
// calls use next) keeps what it holds.
TEST(StopSignalHandler, ASignalAfterTheTargetEndedLeavesTheFlagsMemoryAlone) {
    EXPECT_EXIT(
        {
            install_stop_signals();
            alignas(std::atomic<bool>) unsigned char memory[sizeof(std::atomic<bool>)];
            auto* flag = new (memory) std::atomic<bool>(false);
            { const StopSignalTarget target(*flag); }
            std::memset(memory, 0x5a, sizeof memory);
            std::raise(SIGTERM);
            const bool untouched = memory[0] == 0x5a;
            std::_Exit(untouched && stop_requested() && stopped_status() == 143 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(StopSignalHandler, ASignalWhileTheTargetLivesSetsItsFlag) {
    EXPECT_EXIT(
        {
            install_stop_signals();
            std::atomic<bool> flag{false};
            const StopSignalTarget target(flag);
            const bool before = !flag.load() && !stop_requested();
            std::raise(SIGHUP);
            std::_Exit(before && flag.load() && stopped_status() == 129 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Only the first signal counts; a later SIGTERM does not change the status it gives.
TEST(StopSignalHandler, TheFirstSignalGivesTheStatus) {
    EXPECT_EXIT(
        {
            install_stop_signals();
            std::raise(SIGINT);
            std::raise(SIGTERM);
            std::_Exit(stopped_status() == 130 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(StopSignalHandler, ACtrlCAfterAStopEndsTheToolAtOnce) {
    EXPECT_EXIT(
        {
            install_stop_signals();
            std::raise(SIGTERM);
            std::raise(SIGINT);
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(130), "");
}

// Started under nohup, the tool keeps SIGHUP ignored.
TEST(StopSignalHandler, AnIgnoredHangupStaysIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            install_stop_signals();
            std::raise(SIGHUP);
            std::_Exit(stop_requested() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace cifrovar::cli
