#include "files/leftover_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "files/calculation_file_support.h"
#include "files/replacing_file.h"

namespace cifrovar::testing {
namespace {

// The id of a process that has ended.
pid_t ended_pid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

enum class Made { file, link_to_file, folder, fifo, second_link, locked_file, other_owner };

struct LeftoverCase {
    const char* name;
    std::string entry;  // "{ended}" and "{self}" stand for those processes' ids
    Made made;
    bool removed;
};

void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.name; }

std::string expand(std::string text) {
    for (const auto& [mark, pid] : {std::pair<std::string, pid_t>{"{ended}", ended_pid()},
                                    std::pair<std::string, pid_t>{"{self}", ::getpid()}}) {
        if (const auto at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), std::to_string(pid));
    }
    return text;
}

class LeftoverFilesTest : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(LeftoverFilesTest, RemovesOnlyFilesOfEndedProcesses) {
    const LeftoverCase& c = GetParam();
    if (c.made == Made::other_owner && ::geteuid() != 0) GTEST_SKIP() << "needs root to chown";
    TempFolder folder;
    const std::string entry = folder.file(expand(c.entry));
    write_bytes(folder.file("target"), "kept");
    Descriptor lock;
    switch (c.made) {
        case Made::file:
            write_bytes(entry, "left");
            break;
        case Made::link_to_file:
            ASSERT_EQ(::symlink("target", entry.c_str()), 0);
            break;
        case Made::folder:
            ASSERT_EQ(::mkdir(entry.c_str(), 0700), 0);
            break;
        case Made::fifo:
            ASSERT_EQ(::mkfifo(entry.c_str(), 0600), 0);
            break;
        case Made::second_link:
            ASSERT_EQ(::link(folder.file("target").c_str(), entry.c_str()), 0);
            break;
        case Made::locked_file:
            write_bytes(entry, "held");
            lock.reset(::open(entry.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(lock.get(), LOCK_EX), 0);
            break;
        case Made::other_owner:
            write_bytes(entry, "someone else's");
            ASSERT_EQ(::chown(entry.c_str(), 65534, 65534), 0);
            break;
    }
    EXPECT_EQ(remove_leftover_files(folder.file("")), c.removed ? 1 : 0);
    struct stat st;
    EXPECT_EQ(::lstat(entry.c_str(), &st) != 0, c.removed);
    EXPECT_EQ(read_bytes(folder.file("target")), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LeftoverFilesTest,
    ::testing::Values(
        LeftoverCase{"OfAnEndedProcess", ".cifrovar-{ended}-0.tmp", Made::file, true},
        LeftoverCase{"OfAnEndedProcessLaterSerial", ".cifrovar-{ended}-417.tmp", Made::file, true},
        LeftoverCase{"OfThisProcess", ".cifrovar-{self}-0.tmp", Made::file, false},
        LeftoverCase{"OfInit", ".cifrovar-1-0.tmp", Made::file, false},
        LeftoverCase{"RenderedUnheld", "cifrovar-Ab3xY9.tmp", Made::file, true},
        LeftoverCase{"RenderedHeld", "cifrovar-Ab3xY9.tmp", Made::locked_file, false},
        LeftoverCase{"ALink", ".cifrovar-{ended}-0.tmp", Made::link_to_file, false},
        LeftoverCase{"AFolder", "cifrovar-Ab3xY9.tmp", Made::folder, false},
        LeftoverCase{"AFifo", ".cifrovar-{ended}-0.tmp", Made::fifo, false},
        LeftoverCase{"ASecondLink", ".cifrovar-{ended}-0.tmp", Made::second_link, false},
        LeftoverCase{"AnotherUsers", ".cifrovar-{ended}-0.tmp", Made::other_owner, false},
        LeftoverCase{"ShortRandomPart", "cifrovar-Ab3xY.tmp", Made::file, false},
        LeftoverCase{"LongRandomPart", "cifrovar-Ab3xY99.tmp", Made::file, false},
        LeftoverCase{"PunctuationInRandomPart", "cifrovar-Ab_xY9.tmp", Made::file, false},
        LeftoverCase{"NoSerial", ".cifrovar-{ended}.tmp", Made::file, false},
        LeftoverCase{"LetterSerial", ".cifrovar-{ended}-x.tmp", Made::file, false},
        LeftoverCase{"BackupOfOne", ".cifrovar-{ended}-0.tmp~", Made::file, false},
        LeftoverCase{"PrefixedName", "x.cifrovar-{ended}-0.tmp", Made::file, false},
        LeftoverCase{"UnhiddenName", "cifrovar-{ended}-0.tmp", Made::file, false}),
    [](const ::testing::TestParamInfo<LeftoverCase>& info) {
        return std::string(info.param.name);
    });

TEST(LeftoverFolderTest, AMissingFolderRemovesNothing) {
    TempFolder folder;
    EXPECT_EQ(remove_leftover_files(folder.file("missing")), 0);
}

}  // namespace
}  // namespace cifrovar::testing
