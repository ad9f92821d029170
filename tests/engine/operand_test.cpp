#include "engine/operand.h"

#include <gtest/gtest.h>

namespace cifrovar {
namespace {

struct OperandCase {
    const char* text;
    std::optional<int32_t> value;
};

class ConvertOperandTest : public ::testing::TestWithParam<OperandCase> {};

TEST_P(ConvertOperandTest, ConvertsLikeTheFields) {
    EXPECT_EQ(convert_operand(GetParam().text), GetParam().value)
        << "text: '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConvertOperandTest,
    ::testing::Values(OperandCase{"0", 0}, OperandCase{"123", 123}, OperandCase{"  42", 42},
                      OperandCase{"+7", 7}, OperandCase{"-1", -1}, OperandCase{"007", 7},
                      OperandCase{"2147483647", 2147483647}, OperandCase{"-2147483648", INT32_MIN},
                      OperandCase{"2147483648", std::nullopt},
                      OperandCase{"99999999999", std::nullopt}, OperandCase{"$FF", 255},
                      OperandCase{"xff", 255}, OperandCase{"X10", 16}, OperandCase{"0x1A", 26},
                      OperandCase{"0X1a", 26}, OperandCase{"$FFFFFFFF", -1},
                      OperandCase{"$7FFFFFFF", 2147483647}, OperandCase{"$123456789", std::nullopt},
                      OperandCase{"", std::nullopt}, OperandCase{"   ", std::nullopt},
                      OperandCase{"abc", std::nullopt}, OperandCase{"1.5", std::nullopt},
                      OperandCase{"+", std::nullopt}, OperandCase{"-", std::nullopt},
                      OperandCase{"$", std::nullopt}, OperandCase{"0x", std::nullopt},
                      OperandCase{"$1G", std::nullopt}, OperandCase{"5 ", std::nullopt},
                      OperandCase{"-$5", std::nullopt}, OperandCase{"1e3", std::nullopt}));

}  // namespace
}  // namespace cifrovar
