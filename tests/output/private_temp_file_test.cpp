#include "output/private_temp_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "files/calculation_file_support.h"
#include "files/leftover_files.h"

namespace cifrovar::testing {
namespace {

// Sets TMPDIR for one test (nothing = unset) and puts back what the process had.
class TmpdirOverride {
  public:
    explicit TmpdirOverride(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("TMPDIR")) saved_ = old;
        if (value)
            ::setenv("TMPDIR", value->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    ~TmpdirOverride() {
        if (saved_)
            ::setenv("TMPDIR", saved_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TmpdirOverride(const TmpdirOverride&) = delete;
    TmpdirOverride& operator=(const TmpdirOverride&) = delete;

  private:
    std::optional<std::string> saved_;
};

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

struct FolderCase {
    const char* name;
    std::optional<std::string> tmpdir;
    std::string expected;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class TempFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(TempFolderTest, EndsWithASlash) {
    const FolderCase& c = GetParam();
    TmpdirOverride tmpdir(c.tmpdir);
    EXPECT_EQ(temp_folder(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tmpdir, TempFolderTest,
    ::testing::Values(FolderCase{"Unset", std::nullopt, "/tmp/"}, FolderCase{"Empty", "", "/tmp/"},
                      FolderCase{"WithoutSlash", "/var/tmp/user", "/var/tmp/user/"},
                      FolderCase{"WithSlash", "/var/tmp/user/", "/var/tmp/user/"},
                      FolderCase{"Relative", "scratch", "scratch/"}, FolderCase{"Root", "/", "/"}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

// Every test creates its files in a folder of its own, given as TMPDIR. The tests of this
// fixture are those of the named file.
class PrivateTempFileTest : public ::testing::Test {
  protected:
    TempFolder folder;
    TmpdirOverride tmpdir{folder.file("")};
};

TEST_F(PrivateTempFileTest, IsAnEmptyFileOfOursReadableOnlyByUs) {
    PrivateTempFile file(TempNaming::named);
    const std::string name = std::filesystem::path(file.path()).filename().string();
    EXPECT_EQ(file.path(), folder.file(name));
    EXPECT_EQ(name.size(), std::string("cifrovar-XXXXXX.tmp").size()) << name;
    EXPECT_TRUE(name.starts_with("cifrovar-")) << name;
    EXPECT_TRUE(name.ends_with(".tmp")) << name;

    struct stat st;
    ASSERT_EQ(::lstat(file.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_size, 0);
}

TEST_F(PrivateTempFileTest, StaysWritableByUsUnderAUmaskWithoutOwnerBits) {
    const mode_t old_umask = ::umask(0277);
    std::optional<PrivateTempFile> file;
    file.emplace(TempNaming::named);
    ::umask(old_umask);
    struct stat st;
    ASSERT_EQ(::lstat(file->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(PrivateTempFileTest, TwoInstancesHaveTwoFiles) {
    PrivateTempFile first(TempNaming::named);
    PrivateTempFile second(TempNaming::named);
    EXPECT_NE(first.path(), second.path());
    EXPECT_EQ(folder.names().size(), 2u);
}

TEST_F(PrivateTempFileTest, IsDeletedWithTheObject) {
    std::string path;
    {
        PrivateTempFile file(TempNaming::named);
        path = file.path();
        EXPECT_TRUE(exists(path));
    }
    EXPECT_FALSE(exists(path));
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(PrivateTempFileTest, DeletesTheFileThatWasRenamedOverIt) {
    {
        PrivateTempFile file(TempNaming::named);
        const std::string replacement = folder.file("replacement");
        write_bytes(replacement, "123");
        ASSERT_EQ(std::rename(replacement.c_str(), file.path().c_str()), 0);
        EXPECT_EQ(read_bytes(file.path()), "123");
    }
    EXPECT_TRUE(folder.names().empty());
}

// The lock tells a start that sweeps the folder that a live window still holds the file.
TEST_F(PrivateTempFileTest, IsKeptByASweepWhileItLives) {
    PrivateTempFile file(TempNaming::named);
    EXPECT_EQ(remove_leftover_files(folder.file("")), 0);
    EXPECT_TRUE(exists(file.path()));
}

TEST_F(PrivateTempFileTest, IsNotDeletedTwiceWhenMoved) {
    std::optional<PrivateTempFile> moved_from;
    moved_from.emplace(TempNaming::named);
    const std::string path = moved_from->path();
    PrivateTempFile owner(std::move(*moved_from));
    EXPECT_EQ(owner.path(), path);
    moved_from.reset();
    EXPECT_TRUE(exists(path));
}

TEST_F(PrivateTempFileTest, MoveAssignmentDeletesTheFileItHeld) {
    PrivateTempFile target(TempNaming::named);
    const std::string old_path = target.path();
    PrivateTempFile source(TempNaming::named);
    const std::string new_path = source.path();
    target = std::move(source);
    EXPECT_EQ(target.path(), new_path);
    EXPECT_FALSE(exists(old_path));
    EXPECT_TRUE(exists(new_path));
}

// What the renderer and the viewer rely on, whichever kind the file is.
class EitherNamingTest : public ::testing::TestWithParam<TempNaming> {
  protected:
    TempFolder folder;
    TmpdirOverride tmpdir{folder.file("")};
};

TEST_P(EitherNamingTest, IsOursAloneWrittenThroughTheDescriptorAndReadThroughThePath) {
    const mode_t old_umask = ::umask(0277);
    std::optional<PrivateTempFile> file;
    file.emplace(GetParam());
    ::umask(old_umask);
    struct stat st;
    ASSERT_EQ(::fstat(file->descriptor(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    ASSERT_EQ(::write(file->descriptor(), "123", 3), 3);
    EXPECT_EQ(read_bytes(file->path()), "123");
    EXPECT_EQ(file->named(), GetParam() == TempNaming::named);
    EXPECT_EQ(folder.names().size(), file->named() ? 1u : 0u);
    file.reset();
    EXPECT_TRUE(folder.names().empty());
}

INSTANTIATE_TEST_SUITE_P(Naming, EitherNamingTest,
                         ::testing::Values(TempNaming::unnamed_where_possible, TempNaming::named),
                         [](const ::testing::TestParamInfo<TempNaming>& info) {
                             return std::string(info.param == TempNaming::named ? "Named"
                                                                                : "Unnamed");
                         });

// A process killed while it holds its file leaves nothing named in the folder.
TEST(UnnamedTempFileTest, LeavesNothingWhenTheProcessIsKilled) {
    TempFolder folder;
    TmpdirOverride tmpdir(folder.file(""));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PrivateTempFile file;
        if (std::FILE* out = std::fopen(file.path().c_str(), "w")) {
            std::fputs("123456789", out);
            std::fflush(out);
        }
        ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(folder.names().empty());
}

struct UnusableCase {
    const char* name;
    std::string below_folder;  // TMPDIR relative to the test's folder
};

void PrintTo(const UnusableCase& c, std::ostream* os) { *os << c.name; }

class UnusableTmpdirTest : public ::testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableTmpdirTest, Throws) {
    TempFolder folder;
    write_bytes(folder.file("plain"), "not a folder");
    TmpdirOverride tmpdir(folder.file(GetParam().below_folder));
    EXPECT_THROW(PrivateTempFile(), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Folders, UnusableTmpdirTest,
                         ::testing::Values(UnusableCase{"Missing", "missing"},
                                           UnusableCase{"AFile", "plain"}),
                         [](const ::testing::TestParamInfo<UnusableCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace cifrovar::testing
