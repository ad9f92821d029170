#include "flint_reference.h"

#include <utility>

#include "bignum/internal/gmp_integer.h"

#ifdef CIFROVAR_WITH_FLINT
#include <flint/flint.h>
#include <flint/mpn_extras.h>
#endif

namespace cifrovar::bench {

#ifdef CIFROVAR_WITH_FLINT

bool flint_available() { return true; }

bool flint_multiply(BigValue& result, const BigValue& a, const BigValue& b, int threads) {
    mpz_srcptr x = a.get(), y = b.get();
    if (mpz_size(x) < mpz_size(y)) std::swap(x, y);
    const mp_size_t nx = static_cast<mp_size_t>(mpz_size(x)),
                    ny = static_cast<mp_size_t>(mpz_size(y));
    if (ny == 0) {
        mpz_set_ui(result.get(), 0);
        return true;
    }
    flint_set_num_threads(threads);
    // Into the result's own limbs where it is neither factor, as GMP's products and ours do.
    BigValue fresh;
    mpz_ptr product = result.get() == x || result.get() == y ? fresh.get() : result.get();
    mp_limb_t* limbs = mpz_limbs_write(product, nx + ny);
    flint_mpn_mul(limbs, mpz_limbs_read(x), nx, mpz_limbs_read(y), ny);
    mpz_limbs_finish(product, nx + ny);
    if (product == fresh.get()) mpz_swap(result.get(), product);
    return true;
}

#else

bool flint_available() { return false; }

bool flint_multiply(BigValue&, const BigValue&, const BigValue&, int) { return false; }

#endif

}  // namespace cifrovar::bench
