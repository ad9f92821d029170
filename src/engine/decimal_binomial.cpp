#include "engine/decimal_binomial.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/cancel.h"
#include "engine/side_by_side.h"

namespace cifrovar {

namespace {

// Factors are multiplied in binary up to this many bits and converted then; the conversion
// of such a piece costs little more than its product, and longer products are cheaper in
// decimal words.
constexpr double leaf_bits = 1 << 18;

// The primes up to n, one bit per odd number (bit i for 2 i + 1).
class Primes {
  public:
    explicit Primes(uint64_t n) : composite_((n + 1) / 2, false) {
        if (!composite_.empty()) composite_[0] = true;  // 1
        for (uint64_t p = 3; p * p <= n; p += 2)
            if (!composite_[p / 2])
                for (uint64_t m = p * p; m <= n; m += 2 * p) composite_[m / 2] = true;
    }
    // Calls visit(p) for the primes in [from, to) in increasing order until it returns false.
    template <typename Visit>
    void each(uint64_t from, uint64_t to, Visit visit) const {
        if (from <= 2 && to > 2 && !visit(uint64_t{2})) return;
        for (uint64_t p = std::max<uint64_t>(3, from | 1); p < to; p += 2)
            if (!composite_[p / 2] && !visit(p)) return;
    }

  private:
    std::vector<bool> composite_;
};

// The power of p in C(n, k), by Legendre's formula; p^e never exceeds n (Kummer).
uint64_t prime_power_in(uint64_t p, uint64_t n, uint64_t k) {
    uint64_t power = 1;
    for (uint64_t q = p; q <= n; q *= p) {
        if (n / q - k / q - (n - k) / q > 0) power *= p;
        if (q > n / p) break;
    }
    return power;
}

// A product kept as a binary counter of partial products of equal rank, so that it is as
// balanced as a product tree while its pieces come one by one.
class DecimalProductCounter {
  public:
    void push(DecimalNumber&& piece) {
        int rank = 0;
        while (!parts_.empty() && parts_.back().rank == rank) {
            multiply(piece, parts_.back().value, piece);
            parts_.pop_back();
            ++rank;
        }
        parts_.push_back({std::move(piece), rank});
    }
    void take(DecimalNumber& out) {
        out.words.assign(1, 1);
        while (!parts_.empty()) {
            multiply(out, parts_.back().value, out);
            parts_.pop_back();
        }
    }

  private:
    struct Part {
        DecimalNumber value;
        int rank;
    };
    std::vector<Part> parts_;
};

// The product of the factors of C(n, k) from the primes in [from, to), from = 2 included.
void product_of_range(DecimalNumber& out, const Primes& primes, uint64_t from, uint64_t to,
                      uint64_t n, uint64_t k, const std::atomic<bool>* cancel) {
    DecimalProductCounter product;
    std::vector<uint32_t> factors;
    double bits = 0;
    auto flush = [&] {
        BigValue leaf;
        product_of(leaf, factors.data(), factors.size());
        DecimalNumber piece;
        to_decimal(piece, leaf);
        product.push(std::move(piece));
        factors.clear();
        bits = 0;
        stop_if_cancelled(cancel);
    };
    primes.each(from, to, [&](uint64_t p) {
        const uint64_t power = prime_power_in(p, n, k);
        if (power == 1) return true;
        factors.push_back(static_cast<uint32_t>(power));
        bits += std::log2(static_cast<double>(power));
        if (bits >= leaf_bits) flush();
        return true;
    });
    if (!factors.empty()) flush();
    product.take(out);
}

}  // namespace

double binomial_sieve_bytes(unsigned long n) { return static_cast<double>(n) / 16; }

// C(n, k) is the product of p^e over the primes up to n, each p^e at most n. The primes are
// cut where about half of the coefficient's bits lie below, and the two halves multiplied on
// two threads, their pieces in binary, converted and multiplied on in decimal words.
void decimal_binomial(DecimalNumber& out, unsigned long n, unsigned long k,
                      const std::atomic<bool>* cancel) {
    if (k > n) {
        out.words.clear();
        return;
    }
    k = std::min(k, n - k);
    const Primes primes(n);
    // Most of the bits come from the primes above n - k, each in once; the cut falls where
    // log2 of the factors reaches half of the coefficient's log2.
    const double total =
        (std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)) / std::log(2.0);
    double below = 0;
    uint64_t cut = n + 1;
    primes.each(2, uint64_t{n} + 1, [&](uint64_t p) {
        below += std::log2(static_cast<double>(prime_power_in(p, n, k)));
        if (below < total / 2) return true;
        cut = p + 1;
        return false;
    });
    DecimalNumber high;
    side_by_side([&] { product_of_range(high, primes, cut, uint64_t{n} + 1, n, k, cancel); },
                 [&] { product_of_range(out, primes, 2, cut, n, k, cancel); });
    multiply(out, out, high, true);
}

}  // namespace cifrovar
