#include "output/cp1250.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace cifrovar {
namespace {

struct Cp1250Case {
    std::string utf8;
    std::string bytes;
};

class Cp1250Test : public ::testing::TestWithParam<Cp1250Case> {};

TEST_P(Cp1250Test, ConvertsToCodePageBytes) {
    EXPECT_EQ(to_cp1250(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp1250Test,
    ::testing::Values(Cp1250Case{"Výpočet", "\x56\xFD\x70\x6F\xE8\x65\x74"},
                      Cp1250Case{"třídy",
                                 "t\xF8\xED"
                                 "dy"},
                      Cp1250Case{"prvků", "prvk\xF9"},
                      Cp1250Case{"Počet číslic: 12",
                                 "Po\xE8"
                                 "et \xE8\xEDslic: 12"},
                      Cp1250Case{"ŽLUŤOUČKÝ kůň", "\x8ELU\x8DOU\xC8K\xDD k\xF9\xF2"},
                      Cp1250Case{"1 x 10^8\r\n", "1 x 10^8\r\n"}, Cp1250Case{"", ""}));

TEST(Cp1250, RefusesWhatTheCodePageCannotHold) {
    EXPECT_THROW(to_cp1250("日本"), std::runtime_error);
    EXPECT_THROW(to_cp1250("ab\xC3"), std::runtime_error);  // cut inside a UTF-8 sequence
    EXPECT_THROW(to_cp1250("\xFF"), std::runtime_error);
}

}  // namespace
}  // namespace cifrovar
