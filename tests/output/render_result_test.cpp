#include "output/render_result.h"

#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "errors/input_error.h"
#include "support/gmp_oracle.h"
#include "support/recording_hooks.h"

namespace cifrovar {
namespace {

class StringSink : public TextSink {
  public:
    void write(const char* data, size_t size) override { text.append(data, size); }
    void finish() override {}
    std::string text;
};

void set_limbs(CalcState& st, std::vector<int32_t> limbs, int32_t limb_digits = 4,
               int32_t top_index = -1) {
    st.limb_digits = limb_digits;
    st.limb_base = 1;
    for (int i = 0; i < limb_digits; ++i) st.limb_base *= 10;
    st.top_index = top_index >= 0 ? top_index : static_cast<int32_t>(limbs.size()) - 1;
    st.vysledek.assign(limbs.begin(), limbs.end());
    st.pomoc.assign(st.vysledek.size(), 0);
}

std::string digits_text(const CalcState& st, bool trim) {
    StringSink sink;
    write_result_text(sink, st, false, trim);
    return sink.text;
}

struct DigitsCase {
    std::string name;
    std::vector<int32_t> limbs;
    int32_t limb_digits;
    int32_t top_index;  // -1: the last limb
    bool trim;
    std::string text;
    int64_t digit_count;
    int32_t significant_top;
    int32_t trimmed_limbs;
};

void PrintTo(const DigitsCase& c, std::ostream* os) { *os << c.name; }

class DigitsLineTest : public ::testing::TestWithParam<DigitsCase> {};

TEST_P(DigitsLineTest, TextAndFigures) {
    const DigitsCase& c = GetParam();
    CalcState st;
    set_limbs(st, c.limbs, c.limb_digits, c.top_index);
    EXPECT_EQ(digits_text(st, c.trim), c.text);
    const RenderInfo info = result_info(st, c.trim);
    EXPECT_EQ(info.digit_count, c.digit_count);
    EXPECT_EQ(info.significant_top, c.significant_top);
    EXPECT_EQ(info.trimmed_limbs, c.trimmed_limbs);
}

// clang-format off
// name, limbs from index 0, limb_digits, top_index (-1: last limb), trim,
// digits line, digit_count, significant_top, trimmed_limbs
INSTANTIATE_TEST_SUITE_P(
    Results, DigitsLineTest,
    ::testing::Values(
        DigitsCase{"InnerZeroLimb", {7, 0, 12}, 4, -1, true, "1200000007", 10, 2, 0},
        DigitsCase{"OneBottomZeroLimbStays", {0, 1}, 4, -1, true, "10000", 5, 1, 0},
        DigitsCase{"TwoBottomZeroLimbsCut", {0, 0, 1}, 4, -1, true, "1 x 10^8", 9, 2, 2},
        DigitsCase{"ZerosInsideTopLimbStay", {0, 0, 500}, 4, -1, true, "500 x 10^8", 11, 2, 2},
        DigitsCase{"HeadroomNotWritten", {0, 0, 30, 0}, 4, -1, true, "30 x 10^8", 10, 2, 2},
        DigitsCase{"TrimOffWritesAll", {0, 0, 1}, 4, -1, false, "100000000", 9, 2, 0},
        DigitsCase{"TrimOffTopLimbZeros", {0, 0, 500}, 4, -1, false, "50000000000", 11, 2, 0},
        DigitsCase{"Zero", {0, 0, 0}, 4, -1, true, "0", 1, 0, 0},
        DigitsCase{"ZeroTrimOff", {0, 0, 0}, 4, -1, false, "0", 1, 0, 0},
        DigitsCase{"LeftoversAboveTopIgnored", {0, 0, 0, 77}, 4, 2, true, "0", 1, 0, 0},
        DigitsCase{"LeftoversAboveTopNotWritten", {5, 0, 0, 77}, 4, 2, true, "5", 1, 0, 0},
        DigitsCase{"NoTrimWhenBottomNonZero", {1, 0, 0, 2}, 4, -1, true, "2000000000001", 13, 3, 0},
        DigitsCase{"PaddingEachLimb", {9, 99, 999, 1}, 4, -1, true, "1099900990009", 13, 3, 0},
        DigitsCase{"NineDigitLimbs", {123456789, 5}, 9, -1, true, "5123456789", 10, 1, 0},
        DigitsCase{"NineDigitTrim", {0, 0, 0, 1}, 9, -1, true, "1 x 10^27", 28, 3, 3},
        DigitsCase{"NineDigitPadding", {1, 20, 999999999}, 9, -1, false,
                   "999999999000000020000000001", 27, 2, 0},
        DigitsCase{"EightDigitLimbs", {99999999, 1}, 8, -1, true, "199999999", 9, 1, 0},
        DigitsCase{"SevenDigitLimbs", {1, 2, 3}, 7, -1, true, "300000020000001", 15, 2, 0},
        DigitsCase{"SixDigitTrim", {0, 0, 0, 3}, 6, -1, true, "3 x 10^18", 19, 3, 3},
        DigitsCase{"FiveDigitLimbs", {7, 42}, 5, -1, true, "4200007", 7, 1, 0},
        DigitsCase{"FiveDigitTrimNextToTop", {0, 0, 10, 99999}, 5, -1, true,
                   "9999900010 x 10^10", 20, 3, 2}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// GMP reads the limbs as an independent oracle for long results.
std::string gmp_decimal(const std::vector<int32_t>& limbs, int32_t limb_digits) {
    struct Z {
        mpz_t v;
        Z() { mpz_init(v); }
        ~Z() { mpz_clear(v); }
    } value, radix;
    mpz_ui_pow_ui(radix.v, 10, static_cast<unsigned long>(limb_digits));
    for (size_t i = limbs.size(); i-- > 0;) {
        mpz_mul(value.v, value.v, radix.v);
        mpz_add_ui(value.v, value.v, static_cast<unsigned long>(limbs[i]));
    }
    return testing::decimal_text(value.v);
}

class LongResultTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(LongResultTest, MatchesGmpForEveryLimbWidth) {
    const int32_t d = GetParam();
    int32_t radix = 1;
    for (int i = 0; i < d; ++i) radix *= 10;
    std::mt19937 gen(static_cast<unsigned>(d) * 7919u);
    // Mostly random limbs with runs of small values and zeros, which need the most padding.
    std::uniform_int_distribution<int32_t> any(0, radix - 1);
    std::vector<int32_t> limbs(20000);
    for (size_t i = 0; i < limbs.size(); ++i) {
        const int kind = static_cast<int>(i / 97 % 4);
        limbs[i] = kind == 0 ? any(gen) % 10 : kind == 1 ? 0 : any(gen);
    }
    limbs.back() = 1 + any(gen) % (radix - 1);
    CalcState st;
    set_limbs(st, limbs, d);
    const std::string expected = gmp_decimal(limbs, d);
    EXPECT_EQ(digits_text(st, false), expected);
    EXPECT_EQ(result_info(st, false).digit_count, static_cast<int64_t>(expected.size()));
}

INSTANTIATE_TEST_SUITE_P(LimbWidths, LongResultTest, ::testing::Range(4, 10));

TEST(WriteResultText, RefusesLimbOutsideRadix) {
    // Writing such a limb padded would silently give a wrong number.
    for (const auto& limbs : {std::vector<int32_t>{5, 10000, 1}, std::vector<int32_t>{5, -3, 1},
                              std::vector<int32_t>{5, 10000}}) {
        CalcState st;
        set_limbs(st, limbs, 4);
        StringSink sink;
        EXPECT_THROW(write_result_text(sink, st, false, true), std::out_of_range);
    }
}

struct HeaderCase {
    std::string name;
    int32_t calc_kind;
    std::vector<int32_t> operands;  // in the order of the stored operand fields of the kind
    std::string expected;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

#define POCET \
    "Po\xE8"  \
    "et \xE8\xEDslic: "
#define BANNER \
    "Vypo\xE8" \
    "teno programem Cifrovar v1.5\r\n"
#define VYPOCET   \
    "V\xFDpo\xE8" \
    "et : "

TEST_P(HeaderTest, ExactBytes) {
    const HeaderCase& c = GetParam();
    CalcState st;
    set_limbs(st, {0, 0, 1}, 4);
    st.calc_kind = c.calc_kind;
    const auto& o = c.operands;
    switch (c.calc_kind) {
        case kind::powers:
            st.moc_zaklad = o[0], st.moc_exponent = o[1];
            break;
        case kind::factorial:
            st.fkt_zadani = o[0];
            break;
        case kind::variations:
            st.vrc_trida = o[0], st.vrc_prvky = o[1];
            break;
        case kind::combinations:
            st.kmb_trida = o[0], st.kmb_prvky = o[1];
            break;
        default:
            break;
    }
    StringSink sink;
    write_result_text(sink, st, true, true);
    EXPECT_EQ(sink.text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HeaderTest,
    ::testing::Values(
        HeaderCase{"Powers",
                   kind::powers,
                   {2, 1000},
                   VYPOCET "2 ^ 1000\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8"},
        HeaderCase{"NegativeBase",
                   kind::powers,
                   {-5, 3},
                   VYPOCET "-5 ^ 3\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8"},
        HeaderCase{"Factorial",
                   kind::factorial,
                   {25},
                   VYPOCET "25 !\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8"},
        HeaderCase{"Variations",
                   kind::variations,
                   {3, 10},
                   VYPOCET "Variace 3. t\xF8\xED"
                           "dy z(e) 10 prvk\xF9\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8"},
        HeaderCase{"Combinations",
                   kind::combinations,
                   {50, 100},
                   VYPOCET "Kombinace 50. t\xF8\xED"
                           "dy z(e) 100 prvk\xF9\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8"},
        HeaderCase{"StartPage", kind::start_page, {}, POCET "9\r\n" BANNER "\r\n1 x 10^8"}),
    [](const auto& info) { return info.param.name; });

TEST(WriteResultText, HeaderUsesStoredOperandsOfItsKindOnly) {
    CalcState st;
    set_limbs(st, {120}, 4);
    st.calc_kind = kind::factorial;
    st.fkt_zadani = 5;
    st.moc_zaklad = 77;
    st.vrc_trida = 88;
    StringSink sink;
    write_result_text(sink, st, true, true);
    EXPECT_EQ(sink.text.substr(0, sink.text.find("\r\n")), VYPOCET "5 !");
}

class RenderFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("cifrovar_render_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        engine_.settings.nuly_na_konci = true;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void load(std::vector<int32_t> limbs, int32_t limb_digits = 4) {
        set_limbs(engine_.st, std::move(limbs), limb_digits);
        engine_.limbs_replaced();
    }
    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> folder_entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir_;
    testing::RecordingHooks hooks_;
    Engine engine_{hooks_};
};

TEST_F(RenderFileTest, WritesTheLayoutAndReportsFigures) {
    load({0, 0, 1});
    engine_.st.calc_kind = kind::factorial;
    engine_.st.fkt_zadani = 7;
    const auto path = (dir_ / "r.txt").string();
    const RenderInfo info = render_result(engine_, path, true);
    EXPECT_EQ(read(path), VYPOCET "7 !\r\n" POCET "9\r\n" BANNER "\r\n1 x 10^8");
    EXPECT_EQ(info.digit_count, 9);
    EXPECT_EQ(info.trimmed_limbs, 2);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"r.txt"});
}

TEST_F(RenderFileTest, TrimFollowsTheSetting) {
    load({0, 0, 1});
    const auto path = (dir_ / "r.txt").string();
    engine_.settings.nuly_na_konci = false;
    render_result(engine_, path, false);
    EXPECT_EQ(read(path), "100000000");
}

struct WrapFileCase {
    std::string name;
    std::vector<int32_t> limbs;
    bool header;
    int width;
    std::string expected;
};

void PrintTo(const WrapFileCase& c, std::ostream* os) { *os << c.name; }

class RenderWrappedTest : public RenderFileTest,
                          public ::testing::WithParamInterface<WrapFileCase> {};

TEST_P(RenderWrappedTest, WrapsTheRenderedText) {
    const WrapFileCase& c = GetParam();
    load(c.limbs);
    const auto path = (dir_ / "w.txt").string();
    render_result(engine_, path, c.header, c.width);
    EXPECT_EQ(read(path), c.expected);
}

std::vector<int32_t> two_hundred_digits() {
    std::vector<int32_t> limbs(50, 1234);
    limbs.back() = 5678;
    return limbs;
}

std::string wrapped_200() {
    std::string digits = "5678";
    for (int i = 0; i < 49; ++i) digits += "1234";
    return digits.substr(0, 80) + "\r\n" + digits.substr(80, 80) + "\r\n" + digits.substr(160);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, RenderWrappedTest,
    ::testing::Values(
        WrapFileCase{"Seven", {4567, 123}, false, 3, "123\r\n456\r\n7"},
        WrapFileCase{"PaddedLimb", {456, 123}, false, 3, "123\r\n045\r\n6"},
        WrapFileCase{"EndsOnMultiple", {3456, 12}, false, 3, "123\r\n456\r\n"},
        WrapFileCase{"TwoHundredAtEighty", two_hundred_digits(), false, 80, wrapped_200()},
        // "Počet číslic: 9" is 15 bytes: its inserted break and its own give an empty line.
        WrapFileCase{"HeaderLineOfWidth",
                     {0, 0, 1},
                     true,
                     15,
                     POCET "9\r\n\r\nVypo\xE8"
                           "teno progr\r\namem Cifrovar v\r\n1.5\r\n\r\n1 x 10^8"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RenderFileTest, MissingFolderRaisesAndReports) {
    load({42});
    const auto path = (dir_ / "missing" / "r.txt").string();
    try {
        render_result(engine_, path, false);
        FAIL() << "no error raised";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), ("Soubor " + path + " nelze uložit !!!").c_str());
    }
    ASSERT_FALSE(hooks_.states.empty());
    EXPECT_EQ(hooks_.states.back(), "finished");
    EXPECT_EQ(hooks_.logged, std::vector<std::string>{"Soubor " + path + " nelze uložit"});
    EXPECT_EQ(folder_entries(), std::vector<std::string>{});
}

TEST_F(RenderFileTest, FailedWriteLeavesExistingFileAndNoTemporary) {
    const auto path = dir_ / "keep.txt";
    const std::string old_text = "older result\r\n123";
    std::ofstream(path, std::ios::binary) << old_text;
    load({5, 10000, 1});  // a limb outside its radix ends the writing half-way
    EXPECT_THROW(render_result(engine_, path.string(), true), Evlastni);
    EXPECT_EQ(read(path), old_text);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"keep.txt"});
}

TEST_F(RenderFileTest, ReplacesExistingFileKeepingItsMode) {
    const auto path = dir_ / "r.txt";
    std::ofstream(path, std::ios::binary) << "a much longer older text than the new one";
    ::chmod(path.c_str(), 0640);
    load({21});
    render_result(engine_, path.string(), false);
    EXPECT_EQ(read(path), "21");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(RenderFileTest, SymbolicLinkStaysAndItsFileIsReplaced) {
    const auto file = dir_ / "real.txt";
    const auto link = dir_ / "link.txt";
    std::ofstream(file, std::ios::binary) << "old";
    std::filesystem::create_symlink(file, link);
    load({99});
    render_result(engine_, link.string(), false);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(read(file), "99");
}

TEST_F(RenderFileTest, DirectoryAsTargetFails) {
    load({1});
    EXPECT_THROW(render_result(engine_, dir_.string(), false), Evlastni);
    EXPECT_TRUE(std::filesystem::is_directory(dir_));
    EXPECT_EQ(folder_entries(), std::vector<std::string>{});
}

}  // namespace
}  // namespace cifrovar
