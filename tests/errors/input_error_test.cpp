#include "errors/input_error.h"

#include <gtest/gtest.h>

namespace cifrovar {
namespace {

struct ShownCase {
    const char* message;
    const char* shown;
};

class ShownMessageTest : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownMessageTest, AddsFullStopOnlyAfterCharactersAboveDot) {
    EXPECT_EQ(shown_message(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ShownMessageTest,
    ::testing::Values(
        ShownCase{"Zadání nemá číselný tvar !", "Zadání nemá číselný tvar !"},
        ShownCase{"Počet prvků musí být větší než třída", "Počet prvků musí být větší než třída."},
        ShownCase{"Data nelze načíst !", "Data nelze načíst !"},
        ShownCase{"0^0 nelze zadat !!!", "0^0 nelze zadat !!!"}, ShownCase{"Konec.", "Konec."},
        ShownCase{"Konec-", "Konec-"},
        ShownCase{"ends in a letter with a háček ř", "ends in a letter with a háček ř."},
        ShownCase{"číslo 5", "číslo 5."}, ShownCase{"", ""}));

TEST(RaiseInputErrorTest, ThrowsEvlastniCarryingTheMessage) {
    try {
        raise_input_error("Zadání nesmí být záporné !");
        FAIL() << "no exception";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), "Zadání nesmí být záporné !");
    }
}

}  // namespace
}  // namespace cifrovar
