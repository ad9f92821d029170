#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "errors/input_error.h"
#include "files/calculation_commands.h"
#include "files/calculation_file_support.h"
#include "support/address_space.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

// Runs action with the address space capped at headroom bytes above what is mapped now and
// returns the message the user was shown, empty when there was none.
template <typename Action>
std::string shown_when_capped(long headroom, Action action) {
    set_address_space(static_cast<rlim_t>(mapped_bytes() + headroom));
    std::string shown;
    try {
        action();
    } catch (const Evlastni& e) {
        shown = e.what();
    }
    set_address_space(RLIM_INFINITY);
    return shown;
}

// In a child process whose address space is capped a little above what it uses, a factorial
// run grows its limb arrays until the memory runs out. The run must end in the finished state
// with the last completed step written back and held by the limbs, log the memory text and
// raise the user's message. Exit codes other than 0 name what went wrong.
void run_out_of_memory() {
    EngineFixture f;
    f.engine.fast.basecase_top_index = -1;  // the kernel's arrays grow 100 limbs at a time
    f.hooks.logged.reserve(8);
    f.hooks.states.reserve(64);
    const std::string shown = shown_when_capped(512 * 1024, [&] { f.factorial("999999"); });
    if (shown != "Tento výpočet je již mimo možnosti paměti Vašeho počítače") std::exit(4);
    if (f.hooks.logged !=
        std::vector<std::string>{"Výpočet je již mimo možnosti paměti Vašeho počítače"})
        std::exit(5);
    if (f.hooks.states.back() != "finished") std::exit(6);
    const int32_t reached = f.engine.st.pocitadlo;
    if (f.hooks.fields[Field::fkt_zadani] != std::to_string(reached)) std::exit(7);
    if (f.digits() != factorial_text(static_cast<unsigned long>(reached))) std::exit(8);
    std::exit(0);
}

TEST(GrowthFailureDeathTest, EndsTheRunWithTheLastCompletedStep) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer ends the process when an allocation fails instead of throwing bad_alloc.
    GTEST_SKIP() << "a failed allocation aborts under AddressSanitizer";
#endif
    EXPECT_EXIT(run_out_of_memory(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace cifrovar::testing

namespace cifrovar::testing {
namespace {

// Runs past the guard whose batches (decimal words and transforms, GMP's products and
// ratios) run out of address space: the value the batch held is given up, and the run ends
// like a failed growth with the step the limbs hold, which must be the calculation's value.
struct BatchCase {
    const char* name;
    int32_t calc_kind;
    const char* first;
    const char* second;
    long headroom;
};

void batch_out_of_memory(const BatchCase& c) {
    EngineFixture f;
    f.engine.settings.memory_limit = int64_t{1} << 50;
    f.hooks.logged.reserve(8);
    f.hooks.states.reserve(64);
    const std::string shown = shown_when_capped(c.headroom, [&] {
        if (c.calc_kind == kind::powers) f.power(c.first, c.second);
        if (c.calc_kind == kind::factorial) f.factorial(c.first);
        if (c.calc_kind == kind::variations) f.variations(c.first, c.second);
        if (c.calc_kind == kind::combinations) f.combinations(c.first, c.second);
    });
    if (shown != "Tento výpočet je již mimo možnosti paměti Vašeho počítače") std::exit(4);
    if (f.hooks.states.back() != "finished") std::exit(6);
    const auto counter = static_cast<unsigned long>(f.engine.st.pocitadlo);
    const auto n = std::strtoul(c.second, nullptr, 10);
    std::string expected;
    if (c.calc_kind == kind::powers) expected = power_text(3, counter);
    if (c.calc_kind == kind::factorial) expected = factorial_text(counter);
    if (c.calc_kind == kind::variations) expected = variations_text(counter - 1, n);
    if (c.calc_kind == kind::combinations) expected = binomial_text(n, counter - 1);
    std::exit(f.digits() == expected ? 0 : 8);
}

class BatchOutOfMemoryDeathTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchOutOfMemoryDeathTest, KeepsTheStepTheLimbsHold) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a failed allocation aborts under AddressSanitizer";
#endif
    EXPECT_EXIT(batch_out_of_memory(GetParam()), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, BatchOutOfMemoryDeathTest,
    ::testing::Values(BatchCase{"powers", kind::powers, "3", "99999999", 16l << 20},
                      BatchCase{"factorial", kind::factorial, "5000000", "0", 16l << 20},
                      BatchCase{"variations", kind::variations, "100000", "999999999", 1l << 20},
                      BatchCase{"combinations", kind::combinations, "100000", "999999999",
                                1l << 20}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing

namespace cifrovar::testing {
namespace {

// A power short of the digits computed in decimal words ends its run with its steps pending
// beyond the limbs, which hold the step of its last kernel step; the value is computed only
// when it is read. When that runs out of address space as the calculation is saved, the
// calculation falls back to the step the limbs hold, that step is saved, and the memory
// message is raised after it.
void save_out_of_memory(const std::string& path) {
    EngineFixture f;
    f.engine.settings.memory_limit = int64_t{1} << 50;
    f.hooks.logged.reserve(8);
    f.hooks.states.reserve(64);
    f.power("3", "2600000");  // 4.1 million bits
    if (f.engine.st.pocitadlo != 2600000) std::exit(3);
    const std::string shown =
        shown_when_capped(1l << 20, [&] { save_calculation(f.engine, path); });
    if (shown != "Tento výpočet je již mimo možnosti paměti Vašeho počítače") std::exit(4);
    if (f.hooks.logged !=
        std::vector<std::string>{"Výpočet je již mimo možnosti paměti Vašeho počítače"})
        std::exit(5);
    const int32_t kept = f.engine.st.pocitadlo;
    if (kept >= 2600000 || f.hooks.fields[Field::moc_exponent] != std::to_string(kept))
        std::exit(6);
    const std::string expected = power_text(3, static_cast<unsigned long>(kept));
    if (f.digits() != expected) std::exit(7);
    EngineFixture reopened;
    open_calculation(reopened.engine, path);
    if (reopened.engine.st.pocitadlo != kept) std::exit(8);
    std::exit(reopened.digits() == expected ? 0 : 9);
}

TEST(HeldValueOutOfMemoryDeathTest, SavesTheStepTheLimbsHold) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a failed allocation aborts under AddressSanitizer";
#endif
    const TempFolder folder;
    EXPECT_EXIT(save_out_of_memory(folder.file("kept.cfr")), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace cifrovar::testing
