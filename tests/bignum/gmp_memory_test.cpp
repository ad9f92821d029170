#include "bignum/gmp_memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "bignum/big_value.h"
#include "bignum/internal/gmp_integer.h"
#include "support/address_space.h"

namespace cifrovar::testing {
namespace {

// An operation on a 16 MiB integer that needs far more than the 8 MiB left to the process.
struct Failing {
    const char* name;
    void (*operation)(BigValue& big);
};

// In a child whose address space is capped: the operation must throw bad_alloc, the integers
// it touched must still be destroyed cleanly, and GMP must go on working. Exit codes other
// than 0 name what went wrong; GMP's own allocator aborts instead.
void fail_then_go_on(const Failing& c) {
    use_throwing_gmp_memory();
    bool thrown = false;
    {
        BigValue big;
        mpz_setbit(big.get(), 1ul << 27);
        set_address_space(static_cast<rlim_t>(mapped_bytes() + (8l << 20)));
        try {
            c.operation(big);
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
    }
    set_address_space(RLIM_INFINITY);
    if (!thrown) std::exit(4);
    BigValue after;
    mpz_ui_pow_ui(after.get(), 7, 100000);
    std::exit(mpz_sizeinbase(after.get(), 2) == 280736 ? 0 : 5);
}

class GmpMemory : public ::testing::TestWithParam<Failing> {};

TEST_P(GmpMemory, FailedAllocationThrowsAndLeavesGmpUsable) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a failed allocation aborts under AddressSanitizer";
#endif
    EXPECT_EXIT(fail_then_go_on(GetParam()), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Operations, GmpMemory,
    ::testing::Values(Failing{"product_into_fresh_integer",
                              [](BigValue& big) {
                                  BigValue out;
                                  mpz_mul(out.get(), big.get(), big.get());
                              }},
                      // GMP frees the short block before it allocates the long one.
                      Failing{"product_into_short_integer",
                              [](BigValue& big) {
                                  BigValue out(12345);
                                  mpz_mul(out.get(), big.get(), big.get());
                              }},
                      Failing{"product_in_place",
                              [](BigValue& big) { mpz_mul(big.get(), big.get(), big.get()); }},
                      Failing{"power",
                              [](BigValue&) {
                                  BigValue out;
                                  mpz_ui_pow_ui(out.get(), 3, 1ul << 32);
                              }},
                      Failing{
                          "decimal_text",
                          [](BigValue& big) { std::free(mpz_get_str(nullptr, 10, big.get())); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
