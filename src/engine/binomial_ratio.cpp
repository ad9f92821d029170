#include "engine/binomial_ratio.h"

#include <algorithm>

namespace cifrovar {

namespace {

int64_t legendre(int64_t n, int64_t p) {
    int64_t count = 0;
    while (n > 0) {
        n /= p;
        count += n;
    }
    return count;
}

}  // namespace

// The primes are kept between batches and sieved anew only when a batch needs more of them.
const std::vector<uint32_t>& BinomialRatio::primes_up_to(uint32_t limit) {
    if (limit <= sieved_to_) return primes_;
    // Sieving ahead saves re-sieving in the next batches; for huge limits memory matters more.
    const uint32_t to = limit <= (1u << 26) ? limit * 2 : limit;
    std::vector<bool> composite(static_cast<size_t>(to) + 1, false);
    primes_.clear();
    for (uint64_t i = 2; i <= to; ++i) {
        if (composite[i]) continue;
        primes_.push_back(static_cast<uint32_t>(i));
        for (uint64_t j = i * i; j <= to; j += i) composite[j] = true;
    }
    sieved_to_ = to;
    return primes_;
}

void BinomialRatio::compute(uint32_t n, uint32_t a, uint32_t b, BigValue& numerator,
                            BigValue& denominator) {
    assign(denominator, 1);
    if (b <= a) {
        assign(numerator, 1);
        return;
    }
    const uint64_t lo = uint64_t{n} - b + 1, hi = uint64_t{n} - a;
    std::vector<uint32_t> entries(b - a);
    for (size_t j = 0; j < entries.size(); ++j) entries[j] = static_cast<uint32_t>(hi - j);
    std::vector<uint32_t> leftover;
    for (const uint32_t p : primes_up_to(b)) {
        if (p > b) break;
        int64_t count = legendre(b, p) - legendre(a, p);
        for (uint64_t pk = p; count > 0 && pk <= hi; pk *= p) {
            for (uint64_t v = (lo + pk - 1) / pk * pk; v <= hi && count > 0; v += pk, --count)
                entries[hi - v] /= p;
        }
        for (; count > 0; --count) leftover.push_back(p);
    }
    product_of(numerator, entries.data(), entries.size());
    product_of(denominator, leftover.data(), leftover.size());
}

}  // namespace cifrovar
