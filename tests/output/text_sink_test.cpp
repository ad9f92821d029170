#include "output/text_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace cifrovar {
namespace {

class StringSink : public TextSink {
  public:
    void write(const char* data, size_t size) override { text.append(data, size); }
    void finish() override { ++finishes; }
    std::string text;
    int finishes = 0;
};

struct WrapCase {
    std::string name;
    std::string input;
    int width;
    std::string expected;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class WrapTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTest, BreaksLikeTheViewer) {
    const WrapCase& c = GetParam();
    StringSink out;
    WrappingSink wrap(out, c.width);
    wrap.write(c.input);
    wrap.finish();
    EXPECT_EQ(out.text, c.expected);
    EXPECT_EQ(out.finishes, 1);
}

TEST_P(WrapTest, SameResultWhateverTheWriteSizes) {
    const WrapCase& c = GetParam();
    for (size_t piece : {1, 2, 5, 7}) {
        StringSink out;
        WrappingSink wrap(out, c.width);
        for (size_t at = 0; at < c.input.size(); at += piece) {
            wrap.write(c.input.data() + at, std::min(piece, c.input.size() - at));
        }
        wrap.finish();
        EXPECT_EQ(out.text, c.expected) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WrapTest,
    ::testing::Values(
        WrapCase{"ShortLastLine", "1234567", 3, "123\r\n456\r\n7"},
        WrapCase{"EndsOnMultiple", "123456", 3, "123\r\n456\r\n"},
        WrapCase{"ShorterThanWidth", "12", 3, "12"}, WrapCase{"Empty", "", 3, ""},
        WrapCase{"WidthOne", "12", 1, "1\r\n2\r\n"},
        WrapCase{"LineOfExactWidthGivesEmptyLine", "abc\r\n1234", 3, "abc\r\n\r\n123\r\n4"},
        WrapCase{"CrLfRestartsCount", "ab\r\ncdefg", 3, "ab\r\ncde\r\nfg"},
        WrapCase{"LoneLfRestartsCount", "ab\ncdef", 3, "ab\ncde\r\nf"},
        WrapCase{"LoneCrRestartsCount", "abcd\refgh", 2, "ab\r\ncd\r\n\ref\r\ngh\r\n"},
        WrapCase{"EmptyLines", "\r\n\r\n12", 1, "\r\n\r\n1\r\n2\r\n"},
        WrapCase{
            "Width512", std::string(1030, '9'), 512,
            std::string(512, '9') + "\r\n" + std::string(512, '9') + "\r\n" + std::string(6, '9')}),
    [](const auto& info) { return info.param.name; });

TEST(WrappingSink, TwoHundredDigitsAtEighty) {
    StringSink out;
    WrappingSink wrap(out, 80);
    wrap.write(std::string(200, '7'));
    wrap.finish();
    EXPECT_EQ(out.text,
              std::string(80, '7') + "\r\n" + std::string(80, '7') + "\r\n" + std::string(40, '7'));
}

TEST(WrappingSink, RefusesWidthOutsideRange) {
    StringSink out;
    for (int width : {0, -1, 513, 1000}) {
        EXPECT_THROW(WrappingSink(out, width), std::invalid_argument) << width;
    }
}

class FileSinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() /
            ("cifrovar_sink_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir_;
};

TEST_F(FileSinkTest, KeepsEveryByteAcrossBufferBoundaries) {
    // Small writes fill the buffer unevenly; a block larger than the buffer bypasses it.
    std::string expected;
    for (int i = 0; expected.size() < 3 * FileSink::buffer_size; ++i) {
        expected += std::string(static_cast<size_t>(i % 977 + 1), static_cast<char>('a' + i % 26));
    }
    expected += std::string(FileSink::buffer_size + 5, 'Z') + "end";
    const auto path = dir_ / "out.txt";
    FileSink sink(path.string());
    for (size_t at = 0, i = 0; at < expected.size(); ++i) {
        const size_t n = std::min<size_t>(i % 3 == 0 ? 4093 : i % 500, expected.size() - at);
        sink.write(expected.data() + at, n);
        at += n;
    }
    sink.finish();
    EXPECT_EQ(read(path), expected);
}

TEST_F(FileSinkTest, MissingFolderFailsToOpen) {
    EXPECT_THROW(FileSink((dir_ / "missing" / "out.txt").string()), SinkError);
}

TEST_F(FileSinkTest, FullDeviceIsReportedNotSwallowed) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    FileSink sink("/dev/full");
    EXPECT_THROW(
        {
            sink.write(std::string(10, '1'));
            sink.finish();
        },
        SinkError);
}

TEST_F(FileSinkTest, BorrowedStreamStaysOpen) {
    const auto path = dir_ / "borrowed.txt";
    std::FILE* stream = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    {
        FileSink sink(stream, false);
        sink.write("abc", 3);
        sink.finish();
    }
    EXPECT_GE(std::fputs("def", stream), 0);
    std::fclose(stream);
    EXPECT_EQ(read(path), "abcdef");
}

}  // namespace
}  // namespace cifrovar
