#include "bench_case.h"

#include <gtest/gtest.h>

#include <string>

namespace cifrovar::testing {
namespace {

using bench::Operation;

struct Named {
    const char* text;
    Operation op;
    uint32_t a;  // base, n of a factorial, or the class
    uint32_t b;  // exponent or the elements
};

// C(N,K) and V(N,K) name the elements first, while the case keeps the class in a: the order
// the engine's fields are filled from.
class ParseCase : public ::testing::TestWithParam<Named> {};

TEST_P(ParseCase, OperationAndOperands) {
    const Named& row = GetParam();
    const auto parsed = bench::parse_case(row.text);
    ASSERT_TRUE(parsed) << row.text;
    EXPECT_EQ(parsed->op, row.op);
    EXPECT_EQ(parsed->a, row.a);
    EXPECT_EQ(parsed->b, row.b);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseCase,
    ::testing::Values(Named{"100000000!", Operation::factorial, 100000000, 0},
                      Named{"999999999^999999999", Operation::power, 999999999, 999999999},
                      Named{"2 ^ 10000000", Operation::power, 2, 10000000},
                      Named{"2147483647!", Operation::factorial, 2147483647, 0},
                      Named{"C(1000000000,400000)", Operation::combinations, 400000, 1000000000},
                      Named{"V( 1000000 , 500000 )", Operation::variations, 500000, 1000000}));

TEST(ParseCaseTest, RefusesWhatIsNotACase) {
    for (const char* text :
         {"", "!", "10!!", "10!5", "2^", "^3", "2^3^4", "C(10)", "C(10,3", "C10,3)", "K(10,3)",
          "2147483648!", "2^99999999999999999999", "-5!", "x"}) {
        EXPECT_FALSE(bench::parse_case(text)) << text;
    }
}

TEST(ParseCaseTest, FileStemsKeepLettersAndDigitsOnly) {
    EXPECT_EQ(bench::file_stem(*bench::parse_case("C(10,3)")), "C_10_3_");
    EXPECT_EQ(bench::file_stem(*bench::parse_case("2^5")), "2_5");
}

}  // namespace
}  // namespace cifrovar::testing
