#include "files/replacing_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "files/calculation_file_support.h"
#include "support/child_process.h"

namespace cifrovar::testing {
namespace {

namespace fs = std::filesystem;

const std::string old_text = "a much longer text that was there before";
const std::string new_text = "new";
// An owner and a group that are neither root's nor the test user's.
constexpr uid_t stranger = 4242;

// Replaces path with new_text in a child: 0 written, 1 refused, 142 still blocked after 5 s.
int replace_in_child(const std::string& path, ReplaceRules rules, bool drop_rights = false) {
    return exit_of_child(
        [&] {
            if (drop_rights) give_up_capabilities();
            try {
                ReplacingFile file(path, rules);
                file.write(new_text.data(), new_text.size());
                file.commit();
                return 0;
            } catch (const ReplaceError&) {
                return 1;
            }
        },
        5);
}

struct stat status_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

// What another user, or the user himself, may have left at the name of a backup.
enum class Planted { link, dangling_link, strangers_link, strangers_file, fifo, hard_link };

struct PlantedCase {
    const char* name;
    Planted planted;
    bool written;  // the backup replaces the name; otherwise it is skipped
};

void PrintTo(const PlantedCase& c, std::ostream* os) { *os << c.name; }

class OwnNameTest : public ::testing::TestWithParam<PlantedCase> {};

// A name the program makes itself never leads its write anywhere else: the file a link or a
// second hard link names keeps its content, and whatever is not this user's own stays as it was.
TEST_P(OwnNameTest, NeverWritesThroughWhatLiesAtTheName) {
    const PlantedCase& c = GetParam();
    const bool stranger_needed =
        c.planted == Planted::strangers_link || c.planted == Planted::strangers_file;
    if (stranger_needed && ::geteuid() != 0) GTEST_SKIP() << "needs root to plant another's file";
    TempFolder folder;
    const std::string victim = folder.file("victim.cfr");
    const std::string backup = folder.file("zal1f.cfr");
    write_bytes(victim, old_text);
    switch (c.planted) {
        case Planted::link:
        case Planted::strangers_link:
            fs::create_symlink(victim, backup);
            if (c.planted == Planted::strangers_link) {
                ASSERT_EQ(::lchown(backup.c_str(), stranger, stranger), 0);
            }
            break;
        case Planted::dangling_link:
            fs::create_symlink(folder.file("absent.cfr"), backup);
            break;
        case Planted::strangers_file:
            write_bytes(backup, old_text);
            ASSERT_EQ(::chown(backup.c_str(), stranger, stranger), 0);
            break;
        case Planted::fifo:
            ASSERT_EQ(::mkfifo(backup.c_str(), 0600), 0);
            break;
        case Planted::hard_link:
            fs::create_hard_link(victim, backup);
            break;
    }
    const auto planted_type = fs::symlink_status(backup).type();

    EXPECT_EQ(replace_in_child(backup, own_name), c.written ? 0 : 1);

    EXPECT_EQ(read_bytes(victim), old_text);
    EXPECT_FALSE(fs::exists(folder.file("absent.cfr")));
    if (c.written) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(backup)));
        EXPECT_EQ(read_bytes(backup), new_text);
    } else {
        EXPECT_EQ(fs::symlink_status(backup).type(), planted_type);
        if (c.planted == Planted::strangers_file) {
            EXPECT_EQ(read_bytes(backup), old_text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Backups, OwnNameTest,
    ::testing::Values(PlantedCase{"LinkOfThisUserIsReplacedItself", Planted::link, true},
                      PlantedCase{"DanglingLinkIsReplacedItself", Planted::dangling_link, true},
                      PlantedCase{"LinkOfAnotherUserIsLeft", Planted::strangers_link, false},
                      PlantedCase{"FileOfAnotherUserIsLeft", Planted::strangers_file, false},
                      PlantedCase{"FifoIsLeftWithoutBlocking", Planted::fifo, false},
                      PlantedCase{"HardLinkIsReplacedNotWrittenInto", Planted::hard_link, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct NodeCase {
    const char* name;
    bool fifo;  // else /dev/null
    ReplaceRules rules;
    int code;
};

void PrintTo(const NodeCase& c, std::ostream* os) { *os << c.name; }

class SpecialNodeTest : public ::testing::TestWithParam<NodeCase> {};

// A device or a pipe the user names is written directly, but a pipe nobody reads fails at once
// instead of blocking; where only a regular file will do, neither is written.
TEST_P(SpecialNodeTest, NeitherBlocksNorIsReplaced) {
    const NodeCase& c = GetParam();
    TempFolder folder;
    std::string path = "/dev/null";
    if (c.fifo) {
        path = folder.file("fifo");
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    EXPECT_EQ(replace_in_child(path, c.rules), c.code);
    EXPECT_EQ(fs::status(path).type(), c.fifo ? fs::file_type::fifo : fs::file_type::character);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, SpecialNodeTest,
    ::testing::Values(NodeCase{"UnreadFifoChosenByTheUser", true, ReplaceRules{}, 1},
                      NodeCase{"UnreadFifoWhereARegularFileBelongs", true, regular_only, 1},
                      NodeCase{"DeviceChosenByTheUser", false, ReplaceRules{}, 0},
                      NodeCase{"DeviceWhereARegularFileBelongs", false, regular_only, 1}),
    [](const auto& info) { return std::string(info.param.name); });

class ReadPipeTest : public ::testing::TestWithParam<bool> {};

// A pipe that is read takes the text directly: a FIFO, or standard output through /dev/stdout,
// whose link leads to no path that could be replaced.
TEST_P(ReadPipeTest, IsWrittenDirectly) {
    const bool through_stdout = GetParam();
    TempFolder folder;
    std::string path = "/dev/stdout";
    int ends[2] = {-1, -1};
    if (through_stdout) {
        ASSERT_EQ(::pipe(ends), 0);
    } else {
        path = folder.file("fifo");
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        ends[0] = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    }
    Descriptor reader(ends[0]);
    ASSERT_GE(reader.get(), 0);
    const int code = exit_of_child(
        [&] {
            if (through_stdout) ::dup2(ends[1], STDOUT_FILENO);
            return replace_in_child(path, ReplaceRules{}) == 0 ? 0 : 1;
        },
        5);
    if (ends[1] >= 0) ::close(ends[1]);
    EXPECT_EQ(code, 0);
    char bytes[16] = {};
    EXPECT_EQ(::read(reader.get(), bytes, sizeof bytes), static_cast<ssize_t>(new_text.size()));
    EXPECT_EQ(std::string(bytes), new_text);
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

INSTANTIATE_TEST_SUITE_P(Pipes, ReadPipeTest, ::testing::Values(false, true), [](const auto& info) {
    return std::string(info.param ? "DevStdout" : "Fifo");
});

struct KillCase {
    const char* name;
    int signal;
    bool existing;
};

void PrintTo(const KillCase& c, std::ostream* os) { *os << c.name; }

class KilledWriterTest : public ::testing::TestWithParam<KillCase> {};

// A process that dies in the middle of a write leaves the folder as it was: no temporary file
// under any name, the old file whole.
TEST_P(KilledWriterTest, LeavesNothingBehind) {
    const KillCase& c = GetParam();
    TempFolder folder;
    const std::string target = folder.file("target.cfr");
    if (c.existing) write_bytes(target, old_text);
    const std::vector<std::string> before = folder.names();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        try {
            ReplacingFile file(target);
            const std::string block(1 << 20, '7');
            file.write(block.data(), block.size());
            (void)!::write(ready[1], "x", 1);
            ::pause();
        } catch (...) {
        }
        ::_exit(child_threw);
    }
    ::close(ready[1]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(pid, c.signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(folder.names(), before);
    if (c.existing) {
        EXPECT_EQ(read_bytes(target), old_text);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledWriterTest,
                         ::testing::Values(KillCase{"KillOfANewFile", SIGKILL, false},
                                           KillCase{"KillOfAReplacement", SIGKILL, true},
                                           KillCase{"TermOfAReplacement", SIGTERM, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the replaced file keeps of itself when the user saves over it.
enum class Kept { other_hard_link, group, read_only_folder };

struct KeepCase {
    const char* name;
    Kept kept;
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

class KeepsTheFileTest : public ::testing::TestWithParam<KeepCase> {};

// Saving over a file with another name, a group that a new file would not get, or in a folder
// that takes no new file leaves it the same file in every other respect, with only the new text.
TEST_P(KeepsTheFileTest, KeepsWhatTheFileIs) {
    const KeepCase& c = GetParam();
    TempFolder folder;
    const std::string target = folder.file("result.txt");
    const std::string other = folder.file("other-name.txt");
    write_bytes(target, old_text);
    if (c.kept == Kept::other_hard_link) fs::create_hard_link(target, other);
    if (c.kept == Kept::group) {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file another group";
        ASSERT_EQ(::chown(target.c_str(), static_cast<uid_t>(-1), stranger), 0);
    }
    const std::string parent = fs::path(target).parent_path().string();
    if (c.kept == Kept::read_only_folder) ::chmod(parent.c_str(), 0555);
    const struct stat before = status_of(target);

    EXPECT_EQ(replace_in_child(target, ReplaceRules{}, c.kept == Kept::read_only_folder), 0);

    ::chmod(parent.c_str(), 0700);
    const struct stat after = status_of(target);
    EXPECT_EQ(read_bytes(target), new_text);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (c.kept == Kept::other_hard_link) {
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(read_bytes(other), new_text);
    }
    EXPECT_EQ(folder.names().size(), c.kept == Kept::other_hard_link ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, KeepsTheFileTest,
                         ::testing::Values(KeepCase{"SecondHardLink", Kept::other_hard_link},
                                           KeepCase{"GroupOfTheFile", Kept::group},
                                           KeepCase{"ReadOnlyFolder", Kept::read_only_folder}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
