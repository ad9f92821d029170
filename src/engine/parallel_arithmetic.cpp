#include "engine/parallel_arithmetic.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

namespace cifrovar {

namespace {

// Below this many limbs of the shorter operand a second thread costs more than it saves.
constexpr size_t parallel_limbs = 20000;

// Runs first on a second thread and second on this one; rethrows what either threw.
template <typename First, typename Second>
void both(First first, Second second) {
    std::exception_ptr failure;
    std::thread helper([&] {
        try {
            first();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::exception_ptr own;
    try {
        second();
    } catch (...) {
        own = std::current_exception();
    }
    helper.join();
    if (own) std::rethrow_exception(own);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

void multiply(BigValue& out, const BigValue& a, const BigValue& b) {
    const bool a_longer = mpz_size(a.get()) >= mpz_size(b.get());
    const BigValue& longer = a_longer ? a : b;
    const BigValue& shorter = a_longer ? b : a;
    if (mpz_size(shorter.get()) < parallel_limbs) {
        mpz_mul(out.get(), a.get(), b.get());
        return;
    }
    // longer = high * 2^cut + low; both halves are multiplied by the shorter operand at once.
    const auto cut = static_cast<mp_bitcnt_t>(mpz_size(longer.get()) / 2 * GMP_NUMB_BITS);
    BigValue high, low;
    both(
        [&] {
            mpz_tdiv_q_2exp(high.get(), longer.get(), cut);
            mpz_mul(high.get(), high.get(), shorter.get());
        },
        [&] {
            mpz_tdiv_r_2exp(low.get(), longer.get(), cut);
            mpz_mul(low.get(), low.get(), shorter.get());
        });
    mpz_mul_2exp(high.get(), high.get(), cut);
    mpz_add(out.get(), high.get(), low.get());
}

// n! = o!! * (e/2)! * 2^(e/2), where e and o are the even and the odd one of n and n - 1: the
// even double factorial e!! is 2^(e/2) (e/2)!. GMP computes both factorials by the swing
// method, each on its own thread, and they are of similar size.
void factorial(BigValue& out, unsigned long n) {
    if (n < 2) {
        mpz_set_ui(out.get(), 1);
        return;
    }
    const unsigned long even = n % 2 == 0 ? n : n - 1;
    const unsigned long odd = n % 2 == 0 ? n - 1 : n;
    BigValue odd_part, even_part;
    both([&] { mpz_2fac_ui(odd_part.get(), odd); }, [&] { mpz_fac_ui(even_part.get(), even / 2); });
    multiply(out, odd_part, even_part);
    mpz_mul_2exp(out.get(), out.get(), even / 2);
}

}  // namespace cifrovar
