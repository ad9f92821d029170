#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "errors/input_error.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

// The address space in use now, from /proc.
long mapped_bytes() {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * 4096;
}

void set_address_space(rlim_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(3);
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
    set_address_space(static_cast<rlim_t>(mapped_bytes() + 512 * 1024));
    std::string shown;
    try {
        f.factorial("999999");
    } catch (const Evlastni& e) {
        shown = e.what();
    }
    set_address_space(RLIM_INFINITY);
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
