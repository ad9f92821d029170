#include "bignum/fast_factorial.h"

#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/internal/side_by_side.h"

namespace cifrovar {

namespace {

// Below this GMP's own factorial takes a few milliseconds; one call is short enough.
constexpr unsigned long whole_below = 1ul << 17;

}  // namespace

// n! = (m!)^2 * C(n, m), times m + 1 when n is odd, for m = n / 2. Once m! is known, GMP
// computes the binomial from its prime factors on a second thread while this one squares, so
// the whole costs about what GMP's own factorial does, yet stops after any of its levels.
void fast_factorial(BigValue& out, unsigned long n, const std::atomic<bool>* cancel) {
    stop_if_cancelled(cancel);
    if (n < whole_below) {
        mpz_fac_ui(out.get(), n);
        return;
    }
    return_large_blocks_to_system();
    const unsigned long m = n / 2;
    fast_factorial(out, m, cancel);
    stop_if_cancelled(cancel);
    BigValue binomial;
    side_by_side(
        [&] {
            mpz_bin_uiui(binomial.get(), n, m);
            if (n % 2 != 0) mpz_mul_ui(binomial.get(), binomial.get(), m + 1);
        },
        [&] { fast_multiply(out, out, out); });
    stop_if_cancelled(cancel);
    fast_multiply(out, out, binomial, true);
}

void fast_variation(BigValue& out, unsigned long n, unsigned long k,
                    const std::atomic<bool>* cancel) {
    BigValue binomial;
    mpz_bin_uiui(binomial.get(), n, k);
    fast_factorial(out, k, cancel);
    stop_if_cancelled(cancel);
    fast_multiply(out, out, binomial, true);
}

}  // namespace cifrovar
