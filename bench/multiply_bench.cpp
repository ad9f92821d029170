// Long products: GMP's mpz_mul against the transforms on one thread and on two, in one process
// on the same random operands, each the best of three; the products are compared.
#include <gmp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bignum/big_value.h"
#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_multiply.h"
#include "flint_reference.h"

using cifrovar::BigValue;

namespace {

double best_of_three(const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// The transforms in one product, or, for a product too long for them, in the halves that
// fast_multiply takes then.
void ours(BigValue& out, const BigValue& a, const BigValue& b, bool two_threads) {
    if (!cifrovar::ntt_multiply(out.get(), a.get(), b.get(), two_threads))
        cifrovar::fast_multiply(out, a, b, two_threads);
}

// Returns false when a product differs from GMP's.
bool measure(mp_bitcnt_t bits, gmp_randstate_t random) {
    BigValue a, b, expected, one, two;
    mpz_urandomb(a.get(), random, bits);
    mpz_urandomb(b.get(), random, bits);
    const double gmp = best_of_three([&] { mpz_mul(expected.get(), a.get(), b.get()); });
    const double single = best_of_three([&] { ours(one, a, b, false); });
    const double shared = best_of_three([&] { ours(two, a, b, true); });
    bool same = mpz_cmp(one.get(), expected.get()) == 0 && mpz_cmp(two.get(), expected.get()) == 0;
    std::printf("%10lu x %-10lu %9.4f %9.4f %6.2f %9.4f %6.2f", bits, bits, gmp, single,
                single / gmp, shared, shared / gmp);
    if (cifrovar::bench::flint_available()) {
        BigValue by_flint;
        double flint[2];
        for (int threads = 1; threads <= 2; ++threads) {
            flint[threads - 1] =
                best_of_three([&] { cifrovar::bench::flint_multiply(by_flint, a, b, threads); });
            same = same && mpz_cmp(by_flint.get(), expected.get()) == 0;
        }
        // Ours against FLINT's on as many threads.
        std::printf(" %9.4f %9.4f %6.2f %6.2f", flint[0], flint[1], single / flint[0],
                    shared / flint[1]);
    }
    std::printf("  %s\n", same ? "OK" : "DIFFERENT");
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (!cifrovar::ntt_available()) {
        std::puts("this processor has neither AVX-512 nor AVX2: every product goes to GMP");
        return 0;
    }
    gmp_randstate_t random;
    gmp_randinit_default(random);
    std::printf("      bits x bits         GMP s    1 thr s  ratio    2 thr s  ratio");
    if (cifrovar::bench::flint_available()) std::printf("  FLINT 1 s FLINT 2 s  /F1    /F2");
    std::puts("  check");
    bool all_same = true;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            all_same &= measure(std::strtoul(argv[i], nullptr, 10), random);
    } else {
        for (mp_bitcnt_t bits :
             {1000000ul, 4000000ul, 8000000ul, 15000000ul, 30000000ul, 55000000ul, 109000000ul})
            all_same &= measure(bits, random);
    }
    gmp_randclear(random);
    return all_same ? 0 : 1;
}
