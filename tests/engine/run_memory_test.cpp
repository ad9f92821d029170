#include "engine/run_memory.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "bignum/mapped_blocks.h"
#include "errors/input_error.h"
#include "support/engine_fixture.h"
#include "support/mapped_pages.h"

namespace cifrovar::testing {
namespace {

constexpr const char* memory_refusal = "Tento výpočet je již mimo možnosti paměti Vašeho počítače";

struct Prepared {
    const char* name;
    int32_t calc_kind;
    std::vector<std::pair<Field, std::string>> fields;
};

void PrintTo(const Prepared& p, std::ostream* out) { *out << p.name; }

void prepare(EngineFixture& f, const Prepared& p) {
    // The kernel alone checks the memory once, before its first step; batches check again.
    f.engine.fast.basecase_top_index = -1;
    f.engine.st.calc_kind = p.calc_kind;
    for (const auto& [field, text] : p.fields) f.hooks.fields[field] = text;
}

// The estimate is the guard's own figure: a run given exactly that much starts and reaches
// its target, one byte less and the guard refuses it before the first step. Powers of small
// bases use wider limbs, which changes the figure, so they are rows of their own.
class EstimateMatchesGuard : public ::testing::TestWithParam<Prepared> {};

TEST_P(EstimateMatchesGuard, AtTheLimitAndOneByteBelow) {
    EngineFixture enough;
    prepare(enough, GetParam());
    const int64_t estimate = estimated_run_memory(enough.engine);
    ASSERT_GT(estimate, 0);
    enough.engine.settings.memory_limit = estimate;
    EXPECT_NO_THROW(enough.engine.run());
    EXPECT_TRUE(enough.hooks.logged.empty());

    EngineFixture short_by_one;
    prepare(short_by_one, GetParam());
    short_by_one.engine.settings.memory_limit = estimate - 1;
    try {
        short_by_one.engine.run();
        FAIL() << "the guard let the run start";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), memory_refusal);
    }
}

// Transform blocks kept for a next product of the same length are given back when a run ends,
// whether it reached its target or the guard refused it; under a limit of its own the guard
// does not give them back itself.
TEST(RunEnd, GivesTheKeptBlocksBack) {
    constexpr size_t bytes = size_t{64} << 20;
    for (const int64_t limit : {int64_t{1} << 30, int64_t{1}}) {
        EngineFixture f;
        prepare(f, Prepared{"factorial", kind::factorial, {{Field::fkt_zadani, "3000"}}});
        f.engine.settings.memory_limit = limit;
        void* block = take_mapped_block(bytes);
        give_back_mapped_block(block, bytes);
        ASSERT_TRUE(still_mapped(block, bytes));
        try {
            f.engine.run();
        } catch (const Evlastni&) {
        }
        EXPECT_FALSE(still_mapped(block, bytes)) << "limit " << limit;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EstimateMatchesGuard,
    ::testing::Values(Prepared{"factorial", kind::factorial, {{Field::fkt_zadani, "3000"}}},
                      Prepared{"power_of_two",
                               kind::powers,
                               {{Field::moc_zaklad, "2"}, {Field::moc_exponent, "20000"}}},
                      Prepared{"power_of_three_digits",
                               kind::powers,
                               {{Field::moc_zaklad, "777"}, {Field::moc_exponent, "3000"}}},
                      Prepared{"power_of_a_large_base",
                               kind::powers,
                               {{Field::moc_zaklad, "999999999"}, {Field::moc_exponent, "500"}}},
                      Prepared{"variations",
                               kind::variations,
                               {{Field::vrc_trida, "1500"}, {Field::vrc_prvky, "3000"}}},
                      Prepared{"combinations",
                               kind::combinations,
                               {{Field::kmb_trida, "1500"}, {Field::kmb_prvky, "3000"}}},
                      Prepared{"combinations_past_the_middle",
                               kind::combinations,
                               {{Field::kmb_trida, "2500"}, {Field::kmb_prvky, "3000"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunMemoryTest, AContinuationIsReckonedFromTheLimbsReached) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;
    f.factorial("4000");
    f.hooks.fields[Field::fkt_zadani] = "6000";
    const int64_t estimate = estimated_run_memory(f.engine);
    f.engine.settings.memory_limit = estimate - 1;
    EXPECT_THROW(f.engine.run(), Evlastni);
    EXPECT_EQ(f.hooks.fields[Field::fkt_zadani], "4000");
    f.hooks.fields[Field::fkt_zadani] = "6000";
    f.engine.settings.memory_limit = estimate;
    f.engine.run();
    EXPECT_EQ(f.engine.st.pocitadlo, 6000);
}

// Results of more than 2^31 limbs are reckoned by their memory like any other: the largest
// power the fields take is 2.25 billion limbs of four digits and fits this kind of machine,
// while 2147483647! does not and is refused before any work, whatever the limbs could count.
TEST(RunMemoryTest, ResultsBeyondTwoBillionLimbsAreReckonedByTheirMemory) {
    constexpr int64_t gib = int64_t{1} << 30;
    EngineFixture power;
    prepare(power, {"power_of_nine_billion_digits",
                    kind::powers,
                    {{Field::moc_zaklad, "999999999"}, {Field::moc_exponent, "999999999"}}});
    const int64_t estimate = estimated_run_memory(power.engine);
    // At least the result's limbs and its words, at most what a 24 GiB machine lends.
    EXPECT_GT(estimate, 12 * gib);
    EXPECT_LT(estimate, 20 * gib);

    EngineFixture beyond;
    prepare(beyond, {"largest_factorial", kind::factorial, {{Field::fkt_zadani, "$7FFFFFFF"}}});
    EXPECT_GT(estimated_run_memory(beyond.engine), 30 * gib);
    beyond.engine.settings.memory_limit = 24 * gib;
    try {
        beyond.engine.run();
        FAIL() << "the guard let the run start";
    } catch (const Evlastni& e) {
        EXPECT_STREQ(e.what(), memory_refusal);
    }
    EXPECT_EQ(beyond.engine.st.pocitadlo, 1);
}

// Operands a run refuses are refused with the run's own message, before anything is reckoned.
TEST(RunMemoryTest, RefusesWhatARunRefuses) {
    const std::vector<std::pair<Prepared, std::string>> rows = {
        {{"zero_to_zero", kind::powers, {{Field::moc_zaklad, "0"}, {Field::moc_exponent, "0"}}},
         "0^0 nelze zadat !!!"},
        {{"class_above_elements",
          kind::combinations,
          {{Field::kmb_trida, "11"}, {Field::kmb_prvky, "10"}}},
         "Počet prvků musí být větší než třída"},
        {{"not_a_number", kind::factorial, {{Field::fkt_zadani, "12a"}}},
         "Zadání nemá číselný tvar !"},
    };
    for (const auto& [prepared, message] : rows) {
        EngineFixture f;
        prepare(f, prepared);
        try {
            estimated_run_memory(f.engine);
            ADD_FAILURE() << prepared.name << ": accepted";
        } catch (const Evlastni& e) {
            EXPECT_EQ(e.what(), message) << prepared.name;
        }
    }
}

}  // namespace
}  // namespace cifrovar::testing
