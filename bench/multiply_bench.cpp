// Long products: GMP's mpz_mul against the transforms on one thread and on two, in one process
// on the same random operands, each the best of three (or of CIFROVAR_BENCH_REPEATS, for
// a steadier figure on a machine whose page faults vary); the products are compared. With
// --decimal, the products of numbers in decimal words of as many bits instead, beside FLINT's
// binary product where it is built in.
#include <gmp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/decimal_word.h"
#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_multiply.h"
#include "flint_reference.h"

using cifrovar::BigValue;

namespace {

int repeats() {
    static const int count = [] {
        const char* set = std::getenv("CIFROVAR_BENCH_REPEATS");
        return set ? std::max(1, std::atoi(set)) : 3;
    }();
    return count;
}

// The shortest of repeats() runs of work.
double best_time(const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < repeats(); ++i) {
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
    const double gmp = best_time([&] { mpz_mul(expected.get(), a.get(), b.get()); });
    const double single = best_time([&] { ours(one, a, b, false); });
    const double shared = best_time([&] { ours(two, a, b, true); });
    bool same = mpz_cmp(one.get(), expected.get()) == 0 && mpz_cmp(two.get(), expected.get()) == 0;
    std::printf("%10lu x %-10lu %9.4f %9.4f %6.2f %9.4f %6.2f", bits, bits, gmp, single,
                single / gmp, shared, shared / gmp);
    if (cifrovar::bench::flint_available()) {
        BigValue by_flint;
        double flint[2];
        for (int threads = 1; threads <= 2; ++threads) {
            flint[threads - 1] =
                best_time([&] { cifrovar::bench::flint_multiply(by_flint, a, b, threads); });
            same = same && mpz_cmp(by_flint.get(), expected.get()) == 0;
        }
        // Ours against FLINT's on as many threads.
        std::printf(" %9.4f %9.4f %6.2f %6.2f", flint[0], flint[1], single / flint[0],
                    shared / flint[1]);
    }
    std::printf("  %s\n", same ? "OK" : "DIFFERENT");
    return same;
}

// Residues modulo 2^61 - 1, whose reduction needs no division: equal residues of a * b and
// of the product check the product without a second one.
constexpr uint64_t check_modulus = (uint64_t{1} << 61) - 1;

uint64_t reduced(unsigned __int128 x) {
    uint64_t r = static_cast<uint64_t>(x & check_modulus) + static_cast<uint64_t>(x >> 61);
    r = (r & check_modulus) + (r >> 61);
    return r >= check_modulus ? r - check_modulus : r;
}

uint64_t residue_of(const std::vector<uint64_t>& words) {
    uint64_t r = 0;
    for (size_t k = words.size(); k-- > 0;)
        r = reduced(static_cast<unsigned __int128>(r) * cifrovar::decimal_word + words[k]);
    return r;
}

// The decimal product of two random numbers of as many words as bits take, on one thread and
// on two: the times, and whether the two agree and their residue is the factors'.
struct DecimalTimes {
    double single, shared;
    bool same;
};
DecimalTimes time_decimal(size_t words, uint64_t seed) {
    std::mt19937_64 draw(seed);
    std::vector<uint64_t> a(words), b(words), one, two;
    for (auto& w : a) w = draw() % cifrovar::decimal_word;
    for (auto& w : b) w = draw() % cifrovar::decimal_word;
    auto product = [&](std::vector<uint64_t>& out, bool two_threads) {
        if (!cifrovar::decimal_multiply(out, a.data(), words, b.data(), words, two_threads)) {
            std::fprintf(stderr, "%zu words are too long for the transforms\n", words);
            std::exit(2);
        }
    };
    const double single = best_time([&] { product(one, false); });
    const double shared = best_time([&] { product(two, true); });
    const bool same =
        one == two &&
        residue_of(one) == reduced(static_cast<unsigned __int128>(residue_of(a)) * residue_of(b));
    return {single, shared, same};
}

// The decimal product beside FLINT's binary one of as many bits; false when it is wrong.
bool measure_decimal(mp_bitcnt_t bits, gmp_randstate_t random) {
    const size_t words = static_cast<size_t>(static_cast<double>(bits) / std::log2(1e18)) + 1;
    const DecimalTimes ours = time_decimal(words, bits);
    std::printf("%10lu %10zu %9.4f %9.4f", bits, words, ours.single, ours.shared);
    if (cifrovar::bench::flint_available()) {
        BigValue x, y, by_flint;
        mpz_urandomb(x.get(), random, bits);
        mpz_urandomb(y.get(), random, bits);
        double flint[2];
        for (int threads = 1; threads <= 2; ++threads)
            flint[threads - 1] =
                best_time([&] { cifrovar::bench::flint_multiply(by_flint, x, y, threads); });
        std::printf(" %9.4f %9.4f %6.2f %6.2f", flint[0], flint[1], ours.single / flint[0],
                    ours.shared / flint[1]);
    }
    std::printf("  %s\n", ours.same ? "OK" : "DIFFERENT");
    return ours.same;
}

}  // namespace

int main(int argc, char** argv) {
    if (!cifrovar::ntt_available()) {
        std::puts("this processor has neither AVX-512 nor AVX2: every product goes to GMP");
        return 0;
    }
    gmp_randstate_t random;
    gmp_randinit_default(random);
    const bool decimal = argc > 1 && std::strcmp(argv[1], "--decimal") == 0;
    if (decimal) {
        std::printf("      bits      words    1 thr s   2 thr s");
        if (cifrovar::bench::flint_available()) std::printf("  FLINT 1 s FLINT 2 s  /F1    /F2");
        std::puts("  check");
        bool all_same = true;
        for (int i = 2; i < argc; ++i)
            all_same &= measure_decimal(std::strtoul(argv[i], nullptr, 10), random);
        if (argc == 2) all_same &= measure_decimal(109000000ul, random);
        gmp_randclear(random);
        return all_same ? 0 : 1;
    }
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
