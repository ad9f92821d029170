#include "errors/error_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "engine/calc_state.h"
#include "errors/report_text.h"
#include "support/child_process.h"

namespace cifrovar {
namespace {

namespace fs = std::filesystem;

// 5 March 2024, 14:07:09 UTC; "C" formats it as 03/05/24 and 14:07:09.
constexpr std::time_t pinned_time = 1709647629;
const std::string stamp = "03/05/24 - 14:07:09 => ";
const std::string title = "Protokol o chybách v programu Cifrovar 1.5\r\n\r\n";

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
        ::tzset();
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
        ::tzset();
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class ErrorLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir_ = fs::temp_directory_path() / ("cfr_log_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string dir() const { return dir_.string(); }
    fs::path log_path() const { return dir_ / "cfr_error.log"; }
    std::string log() const {
        std::ifstream in(log_path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScopedEnv locale_{"LC_ALL", "C"};
    ScopedEnv zone_{"TZ", "UTC"};
    fs::path dir_;
};

TEST_F(ErrorLogTest, FirstReportCreatesTheTitleTheEmptyLineAndTheLine) {
    append_error_log(dir(), "Konfiguraci není možné uložit", pinned_time);
    EXPECT_EQ(log(), title + stamp + "Konfiguraci není možné uložit\r\n");
}

TEST_F(ErrorLogTest, LaterReportsAddExactlyOneLineEach) {
    append_error_log(dir(), "první", pinned_time);
    append_error_log(dir(), "druhý", pinned_time + 61);
    EXPECT_EQ(log(), title + stamp + "první\r\n" + "03/05/24 - 14:08:10 => druhý\r\n");
}

TEST_F(ErrorLogTest, AnExistingFileIsAppendedToWithoutATitle) {
    { std::ofstream(log_path(), std::ios::binary) << "older lines\r\n"; }
    append_error_log(dir(), "nový", pinned_time);
    EXPECT_EQ(log(), "older lines\r\n" + stamp + "nový\r\n");
}

TEST_F(ErrorLogTest, TheCurrentTimeOverloadWritesAStampedLine) {
    append_error_log(dir(), "teď");
    const std::string text = log();
    ASSERT_EQ(text.rfind(title, 0), 0u);
    const std::string line = text.substr(title.size());
    // "MM/DD/YY - HH:MM:SS => teď\r\n"
    EXPECT_EQ(line.size(), std::string("03/05/24 - 14:07:09 => teď\r\n").size()) << line;
    EXPECT_EQ(line.substr(8, 3), " - ");
    EXPECT_EQ(line.substr(19), " => teď\r\n");
}

struct FreeTextCase {
    const char* text;
    const char* logged;
};

class ErrorLogFreeTextTest : public ErrorLogTest,
                             public ::testing::WithParamInterface<FreeTextCase> {};

TEST_P(ErrorLogFreeTextTest, WritesTheTextAfterTheStamp) {
    append_error_log(dir(), GetParam().text, pinned_time);
    EXPECT_EQ(log(), title + stamp + GetParam().logged + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorLogFreeTextTest,
    ::testing::Values(
        FreeTextCase{"Data nelze načíst : /tmp/a b.cfr", "Data nelze načíst : /tmp/a b.cfr"},
        FreeTextCase{"Výsledek nelze rozbrazit 2 ^ 10", "Výsledek nelze rozbrazit 2 ^ 10"},
        FreeTextCase{"vypocetx", "vypocetx"}, FreeTextCase{"", ""},
        // A line break inside a report would start a line without a time stamp.
        FreeTextCase{"Adresář pro uložení konfigurace se nepodařilo vytvořit\r(/home/Cifrovar)",
                     "Adresář pro uložení konfigurace se nepodařilo vytvořit (/home/Cifrovar)"},
        FreeTextCase{"a\nb\r\nc", "a b  c"}));

class ErrorLogUnwritableTest : public ErrorLogTest,
                               public ::testing::WithParamInterface<const char*> {};

TEST_P(ErrorLogUnwritableTest, WritesNothingAndThrowsNothing) {
    { std::ofstream(dir_ / "file") << "x"; }
    const std::string where = dir() + GetParam();
    EXPECT_NO_THROW(append_error_log(where, "Konfiguraci není možné uložit", pinned_time));
    EXPECT_FALSE(fs::exists(where + "/cfr_error.log"));
    EXPECT_FALSE(fs::exists(log_path()));
}

INSTANTIATE_TEST_SUITE_P(Directories, ErrorLogUnwritableTest,
                         ::testing::Values("/missing", "/missing/deeper", "/file"));

// What another user may have planted as the log in a shared working directory.
enum class Planted { link, dangling_link, fifo, strangers_file };

struct PlantedLogCase {
    const char* name;
    Planted planted;
};

void PrintTo(const PlantedLogCase& c, std::ostream* os) { *os << c.name; }

class ErrorLogPlantedTest : public ErrorLogTest,
                            public ::testing::WithParamInterface<PlantedLogCase> {};

// The log is written only into a regular file of the user's own: a link is not followed, a FIFO
// does not block the report, another user's file is left alone, and nothing is said.
TEST_P(ErrorLogPlantedTest, IsRefusedSilently) {
    const std::string victim = (dir_ / "victim.txt").string();
    const std::string before = "someone's own text\r\n";
    { std::ofstream(victim, std::ios::binary) << before; }
    switch (GetParam().planted) {
        case Planted::link:
            fs::create_symlink(victim, log_path());
            break;
        case Planted::dangling_link:
            fs::create_symlink(dir_ / "absent.txt", log_path());
            break;
        case Planted::fifo:
            ASSERT_EQ(::mkfifo(log_path().c_str(), 0600), 0);
            break;
        case Planted::strangers_file:
            if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's file";
            fs::copy_file(victim, log_path());
            ASSERT_EQ(::chown(log_path().c_str(), 4242, 4242), 0);
            break;
    }
    const auto type = fs::symlink_status(log_path()).type();

    const int code = testing::exit_of_child(
        [&] {
            append_error_log(dir(), "Konfiguraci není možné uložit", pinned_time);
            return 0;
        },
        5);

    EXPECT_EQ(code, 0);
    EXPECT_EQ(fs::symlink_status(log_path()).type(), type);
    EXPECT_FALSE(fs::exists(dir_ / "absent.txt"));
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
    if (GetParam().planted == Planted::strangers_file) {
        EXPECT_EQ(log(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, ErrorLogPlantedTest,
                         ::testing::Values(PlantedLogCase{"Link", Planted::link},
                                           PlantedLogCase{"DanglingLink", Planted::dangling_link},
                                           PlantedLogCase{"Fifo", Planted::fifo},
                                           PlantedLogCase{"FileOfAnotherUser",
                                                          Planted::strangers_file}),
                         [](const auto& info) { return std::string(info.param.name); });

// A state as the engine leaves it when a step fails: the loop positions and limbs it logs.
struct FatalCase {
    const char* name;
    const char* kind_text;
    int32_t calc_kind;
    int32_t pocitadlo;
    int32_t x;
    int32_t y;
    int32_t top_index;
    int32_t pomoc_xy;
    int32_t vysledek_x;
    const char* logged;
};

class ErrorLogFatalTest : public ErrorLogTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(ErrorLogFatalTest, LogsTheCalculationAndTheLoopState) {
    const FatalCase& c = GetParam();
    CalcState st;
    st.calc_kind = c.calc_kind;
    st.pocitadlo = c.pocitadlo;
    st.x = c.x;
    st.y = c.y;
    st.top_index = c.top_index;
    st.moc_zaklad = 7;
    st.vrc_prvky = 20;
    st.kmb_prvky = 250000;
    st.vysledek.assign(static_cast<size_t>(c.top_index) + 4, 0);
    st.pomoc.assign(static_cast<size_t>(c.top_index) + 4, 0);
    if (c.x >= 0 && c.x < static_cast<int32_t>(st.vysledek.size())) st.vysledek[c.x] = c.vysledek_x;
    const int64_t xy = int64_t{c.x} + c.y;
    if (xy >= 0 && xy < static_cast<int64_t>(st.pomoc.size())) st.pomoc[xy] = c.pomoc_xy;

    append_error_log(dir(), report_text(c.kind_text, st), pinned_time);
    EXPECT_EQ(log(), title + stamp + c.logged + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    States, ErrorLogFatalTest,
    ::testing::Values(
        FatalCase{"VariationsClass7Of20InItsSeventhStep", kind_vypocet, kind::variations, 8, 3, 1,
                  5, -2147000000, 1234,
                  "Běhová chyba při výpočtu : Variace 7. třídy z(e) 20 prvků (pocitadlo = 8; x = "
                  "3; cyklus = 5; pomoc[x+y] = -2147000000; vysledek[x] = 1234)"},
        FatalCase{"CombinationsClass214758Of250000", kind_kombinace, kind::combinations, 214759,
                  10471, 1, 18900, 27513338, -9999,
                  "Specifická chyba při výpočtu kombinací : Kombinace 214758. třídy z(e) 250000 "
                  "prvků (pocitadlo = 214759; x = 10471; cyklus = 18900; pomoc[x+y] = 27513338; "
                  "vysledek[x] = -9999)"},
        // The specific kind describes combinations whatever page the state is on.
        FatalCase{"SpecificKindOnAnotherPage", kind_kombinace, kind::factorial, 3, 0, 0, 2, 5, 6,
                  "Specifická chyba při výpočtu kombinací : Kombinace 2. třídy z(e) 250000 prvků "
                  "(pocitadlo = 3; x = 0; cyklus = 2; pomoc[x+y] = 5; vysledek[x] = 6)"},
        // x + y beyond top_index: the limb values are left out.
        FatalCase{"PowersPositionAboveTheTop", kind_vypocet, kind::powers, 12, 4, 2, 5, 0, 0,
                  "Běhová chyba při výpočtu : 7 ^ 12 (pocitadlo = 12; x = 4; cyklus = 5)"},
        FatalCase{"FactorialNegativePosition", kind_vypocet, kind::factorial, 40, -1, 1, 9, 0, 0,
                  "Běhová chyba při výpočtu : 40 ! (pocitadlo = 40; x = -1; cyklus = 9)"}),
    [](const ::testing::TestParamInfo<FatalCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar
