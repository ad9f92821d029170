#include "bignum/internal/reciprocal.h"

#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"

namespace cifrovar {

namespace {

// Bits kept beyond the quotient's, which keep the truncation errors to a few units.
constexpr mp_bitcnt_t guard_bits = 64;

// Newton's step from a reciprocal of half the length: with y ~ 2^(power - k + h) / d of h
// bits, e = 2^power - d * y * 2^(k - h) is the error, and y * 2^(k - h) + y * e / 2^(power -
// k + h) the reciprocal of k bits; e is needed only to its top k - h + guard bits.
void newton_step(BigValue& out, const BigValue& d, mp_bitcnt_t power, mp_bitcnt_t k, mp_bitcnt_t h,
                 bool two_threads) {
    BigValue y;
    approximate_reciprocal(y, d, power - (k - h), two_threads);
    const mp_bitcnt_t t = mpz_sizeinbase(d.get(), 2);
    BigValue error;
    fast_multiply(error, d, y, two_threads);
    mpz_mul_2exp(error.get(), error.get(), k - h);
    BigValue exact_power;
    mpz_setbit(exact_power.get(), power);
    mpz_sub(error.get(), exact_power.get(), error.get());
    exact_power.release();
    mpz_tdiv_q_2exp(error.get(), error.get(), t - 1 - guard_bits);
    fast_multiply(error, error, y, two_threads);
    mpz_tdiv_q_2exp(error.get(), error.get(), h + guard_bits);
    mpz_mul_2exp(out.get(), y.get(), k - h);
    mpz_add(out.get(), out.get(), error.get());
}

}  // namespace

void approximate_reciprocal(BigValue& out, const BigValue& d, mp_bitcnt_t power, bool two_threads) {
    const mp_bitcnt_t t = mpz_sizeinbase(d.get(), 2);
    if (power + 1 < t) {
        mpz_set_ui(out.get(), 0);
        return;
    }
    const mp_bitcnt_t k = power - t + 1;  // bits of the quotient, or one fewer
    if (t > k + guard_bits) {
        // The divisor's low bits do not reach the quotient: only its top bits are divided.
        const mp_bitcnt_t dropped = t - (k + guard_bits);
        BigValue top;
        mpz_tdiv_q_2exp(top.get(), d.get(), dropped);
        return approximate_reciprocal(out, top, power - dropped, two_threads);
    }
    if (!transforms_pay_for(2 * k)) {
        BigValue exact_power;
        mpz_setbit(exact_power.get(), power);
        mpz_tdiv_q(out.get(), exact_power.get(), d.get());
        return;
    }
    newton_step(out, d, power, k, k / 2 + guard_bits, two_threads);
}

}  // namespace cifrovar
