#include "files/default_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cifrovar {
namespace {

struct NameCase {
    const char* name;
    int32_t calc_kind;
    int32_t first;   // base, n of the factorial, or the class
    int32_t second;  // exponent or elements; unused for the factorial
    std::optional<std::string> expected;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

// Every stored operand gets a value of its own, so a name built from the wrong kind's
// operands, or with class and elements swapped, shows up.
void store_decoys(CalcState& st) {
    st.moc_zaklad = 71;
    st.moc_exponent = 72;
    st.fkt_zadani = 73;
    st.vrc_trida = 74;
    st.vrc_prvky = 75;
    st.kmb_trida = 76;
    st.kmb_prvky = 77;
}

void store_operands(CalcState& st, const NameCase& c) {
    st.calc_kind = c.calc_kind;
    switch (c.calc_kind) {
        case kind::powers:
            st.moc_zaklad = c.first;
            st.moc_exponent = c.second;
            break;
        case kind::factorial:
            st.fkt_zadani = c.first;
            break;
        case kind::variations:
            st.vrc_trida = c.first;
            st.vrc_prvky = c.second;
            break;
        case kind::combinations:
            st.kmb_trida = c.first;
            st.kmb_prvky = c.second;
            break;
        default:
            break;
    }
}

class DefaultNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DefaultNameTest, NamesTheCalculationAfterItsOperands) {
    const NameCase& c = GetParam();
    CalcState st;
    store_decoys(st);
    store_operands(st, c);
    EXPECT_EQ(default_file_name(st), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DefaultNameTest,
    ::testing::Values(NameCase{"Power", kind::powers, 2, 1000, "2na1000"},
                      NameCase{"NegativeBase", kind::powers, -2, 3, "-2na3"},
                      NameCase{"ZeroPowerOfZero", kind::powers, 0, 0, "0na0"},
                      NameCase{"LargestOperandsWithoutGrouping", kind::powers, 2147483647,
                               2147483647, "2147483647na2147483647"},
                      NameCase{"MostNegativeBase", kind::powers, -2147483647 - 1, 1,
                               "-2147483648na1"},
                      NameCase{"Factorial", kind::factorial, 100, 0, "100!"},
                      NameCase{"FactorialOfZero", kind::factorial, 0, 0, "0!"},
                      NameCase{"LargeFactorial", kind::factorial, 1000000, 0, "1000000!"},
                      NameCase{"Variations", kind::variations, 3, 10, "v3t10p"},
                      NameCase{"VariationsClassAboveElements", kind::variations, 10, 3, "v10t3p"},
                      NameCase{"Combinations", kind::combinations, 3, 10, "k3t10p"},
                      NameCase{"CombinationsOfNothing", kind::combinations, 0, 0, "k0t0p"},
                      NameCase{"NegativeElements", kind::combinations, 2, -5, "k2t-5p"},
                      NameCase{"StartPage", kind::start_page, 0, 0, std::nullopt},
                      NameCase{"KindPastThePages", kind::combinations + 1, 0, 0, std::nullopt},
                      NameCase{"NegativeKind", -1, 0, 0, std::nullopt}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar
