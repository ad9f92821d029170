#include "bignum/decimal_binomial.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/decimal_word.h"
#include "bignum/internal/side_by_side.h"
#include "bignum/mapped_blocks.h"
#include "bignum/work_progress.h"

namespace cifrovar {

namespace {

// Factors are multiplied in binary up to this many bits and converted then; the conversion
// of such a piece costs little more than its product, and longer products are cheaper in
// decimal words.
constexpr double leaf_bits = 1 << 15;

// The primes up to n, sieved in segments of the odd numbers, so that two threads can take
// alternate segments without a sieve of all of them first: the primes up to the root of n
// are sieved once, and a segment is sieved by them when it is visited.
class PrimeSegments {
  public:
    explicit PrimeSegments(uint64_t n) : n_(n), odd_count_((n + 1) / 2) {
        uint64_t root = 1;
        while ((root + 1) * (root + 1) <= n) ++root;
        std::vector<bool> composite(root + 1, false);
        for (uint64_t p = 3; p <= root; p += 2) {
            if (composite[p]) continue;
            base_.push_back(p);
            for (uint64_t m = p * p; m <= root; m += 2 * p) composite[m] = true;
        }
        // About 256 segments, so that alternate ones hold about as many bits of the
        // coefficient, each of 4096 to 2^18 odd numbers (512 bytes to 32 KiB of bits).
        const uint64_t wanted = (odd_count_ / 256 + 63) / 64 * 64;
        length_ = std::clamp<uint64_t>(wanted, 4096, uint64_t{1} << 18);
    }
    uint64_t count() const { return (odd_count_ + length_ - 1) / length_; }

    // Calls visit(p) for the primes of segment s in increasing order, 2 with the first.
    template <typename Visit>
    void each_in(uint64_t s, std::vector<uint64_t>& composite, Visit visit) const {
        const uint64_t first = s * length_, end = std::min(odd_count_, first + length_);
        composite.assign(length_ / 64, 0);
        for (const uint64_t p : base_) {
            // The first odd multiple of p from p^2 that is in the segment (index i is 2 i + 1).
            uint64_t m = std::max(p * p, (2 * first + 1 + p - 1) / p * p);
            if (m % 2 == 0) m += p;
            for (uint64_t i = (m - 1) / 2; i < end; i += p)
                composite[(i - first) / 64] |= uint64_t{1} << ((i - first) % 64);
        }
        if (s == 0) {
            composite[0] |= 1;  // 1
            if (n_ >= 2) visit(uint64_t{2});
        }
        for (size_t w = 0; w < composite.size(); ++w) {
            uint64_t primes = ~composite[w];
            while (primes != 0) {
                const uint64_t i = first + w * 64 + static_cast<uint64_t>(__builtin_ctzll(primes));
                if (i >= end) return;
                visit(2 * i + 1);
                primes &= primes - 1;
            }
        }
    }

  private:
    uint64_t n_, odd_count_, length_;
    std::vector<uint64_t> base_;  // the odd primes up to the root of n
};

// The power of p in C(n, k), by Legendre's formula; p^e never exceeds n (Kummer). A prime
// whose square exceeds n divides C(n, k) once exactly when adding k and n - k in radix p
// carries, that is when n mod p < k mod p.
uint64_t prime_power_in(uint64_t p, uint64_t n, uint64_t k) {
    // Above n / 2 that carry happens exactly when neither k nor n - k reaches p.
    if (p > n / 2) return p > std::max(k, n - k) ? p : 1;
    if (p > n / p) {
        if (n <= UINT32_MAX) {
            const auto p32 = static_cast<uint32_t>(p);
            return static_cast<uint32_t>(n) % p32 < static_cast<uint32_t>(k) % p32 ? p : 1;
        }
        return n % p < k % p ? p : 1;
    }
    uint64_t power = 1;
    for (uint64_t q = p; q <= n; q *= p) {
        if (n / q - k / q - (n - k) / q > 0) power *= p;
        if (q > n / p) break;
    }
    return power;
}

// log2(x) for x >= 1 from below, within 0.09: the exponent, and the mantissa's excess over
// one for its logarithm. Enough to size the pieces, and cheaper than a library call per prime.
double rough_log2(uint64_t x) {
    const int e = 63 - __builtin_clzll(x);
    const uint64_t excess = (x << (63 - e)) & ~(uint64_t{1} << 63);  // below 2^63
    return e + static_cast<double>(excess) * 0x1p-63;
}

// The product of the two shares' halves of words.
double top_product_work(double words) {
    const auto half = static_cast<size_t>(words / 2);
    return decimal_product_work(half, half, false);
}

// A product kept as a binary counter of partial products of equal rank, so that it is as
// balanced as a product tree while its pieces come one by one.
class DecimalProductCounter {
  public:
    // merge(piece, part) makes piece = piece * part.
    template <typename Merge>
    void push(DecimalNumber&& piece, Merge merge) {
        int rank = 0;
        while (!parts_.empty() && parts_.back().rank == rank) {
            merge(piece, parts_.back().value);
            parts_.pop_back();
            ++rank;
        }
        parts_.push_back({std::move(piece), rank});
    }
    // Multiplies the parts out into out, the shorter first, by merge as push does.
    template <typename Merge>
    void take(DecimalNumber& out, Merge merge) {
        out.words.assign(1, 1);
        while (!parts_.empty()) {
            merge(out, parts_.back().value);
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

// A segment's share of the shares' work, 1 on average: the time per segment grows along the
// primes, as the merges of the products get longer (C(999999999, 499999999) spent a quarter of
// its shares' time on their first 43 % of segments, and 40 % on the first 63 %), about as
// 1 + 7 x at the share x of the way.
double segment_weight(uint64_t segment, uint64_t count) {
    constexpr double growth = 7;
    const double c = static_cast<double>(count);
    const double mean = 1 + growth * (c - 1) / (2 * c);
    return (1 + growth * static_cast<double>(segment) / c) / mean;
}

// The transform blocks the shares keep for their next products of the same sizes, and the
// merges long enough to give them back around themselves.
struct KeptForShares {
    size_t bytes;       // what the blocks kept may add up to
    size_t long_words;  // the words of a merge's product from which it gives them back
};

// The long merges of the two shares take turns.
std::mutex one_long_merge;

// Gives the blocks kept back and allows as much again, when it begins and when it ends.
class KeptGivenBack {
  public:
    explicit KeptGivenBack(size_t bytes) : bytes_(bytes) { renew(); }
    ~KeptGivenBack() { renew(); }
    KeptGivenBack(const KeptGivenBack&) = delete;
    KeptGivenBack& operator=(const KeptGivenBack&) = delete;

  private:
    void renew() const {
        release_kept_blocks();
        keep_blocks_up_to(bytes_);
    }
    const size_t bytes_;
};

// The blocks kept were asked for by the many shorter merges of both shares, in sizes that a
// long merge, made once or twice, does not use; beside its own transforms they made the
// shares' end the run's peak, and whether the two shares' last merges met decided how high
// (C(100000000, 50000000): 104 to 144 MiB with 51 MiB kept, against 82 for the top product).
// So a long merge gives them back before it starts and its own when it ends, asking for the
// allowance again at once so that the other share's shorter merges keep theirs as before, and
// the long merges of the two shares take turns: they are few, and the other share's shorter
// merges go on meanwhile.
template <typename Multiply>
void merged_giving_kept_back(const KeptForShares& kept, size_t product_words, Multiply multiply) {
    if (product_words < kept.long_words) return multiply();
    const std::lock_guard turn(one_long_merge);
    const KeptGivenBack given_back(kept.bytes);
    multiply();
}

// The product of the factors of C(n, k) from every second segment of the primes, the
// first of them when share is 0 and the second when it is 1. Alternate segments give both
// shares about half of the bits.
void product_of_share(DecimalNumber& out, const PrimeSegments& primes, int share, uint64_t n,
                      uint64_t k, const std::atomic<bool>* cancel, WorkProgress* progress,
                      double segment_work, const KeptForShares& kept) {
    // The share counts its segments, not its products, whose work the plan does not know.
    const CountingInto by_segments(nullptr);
    DecimalProductCounter product;
    std::vector<uint32_t> factors;
    double bits = 0;
    double left = 0;  // of the segment's work, not yet counted
    // A merge of long parts takes seconds: it counts its work as it goes, into half of what is
    // left of its segment's, and the segment counts the rest when it ends.
    auto merge_counted = [&](DecimalNumber& piece, const DecimalNumber& part) {
        if (progress == nullptr) return multiply(piece, part, piece);
        const double credit = left / 2;
        left -= credit;
        double told = 0;
        WorkProgress merging(
            decimal_product_work(piece.words.size(), part.words.size(), false),
            [&](double share) {
                const double now = credit * std::min(share, 1.0);
                progress->add(now - told);
                told = now;
            },
            nullptr);
        {
            const CountingInto counting(&merging);
            multiply(piece, part, piece);
        }
        progress->add(credit - told);
    };
    auto merge = [&](DecimalNumber& piece, const DecimalNumber& part) {
        merged_giving_kept_back(kept, piece.words.size() + part.words.size(),
                                [&] { merge_counted(piece, part); });
    };
    auto flush = [&] {
        BigValue leaf;
        product_of(leaf, factors.data(), factors.size());
        DecimalNumber piece;
        to_decimal(piece, leaf);
        product.push(std::move(piece), merge);
        factors.clear();
        bits = 0;
        stop_if_cancelled(cancel);
    };
    std::vector<uint64_t> segment;
    for (uint64_t s = static_cast<uint64_t>(share); s < primes.count(); s += 2) {
        left = segment_work * segment_weight(s, primes.count());
        primes.each_in(s, segment, [&](uint64_t p) {
            const uint64_t power = prime_power_in(p, n, k);
            if (power == 1) return;
            factors.push_back(static_cast<uint32_t>(power));
            bits += rough_log2(power);
            if (bits >= leaf_bits) flush();
        });
        if (progress != nullptr) progress->add(left);
    }
    if (!factors.empty()) flush();
    // The last merges count nothing more: every segment has counted its share.
    left = 0;
    product.take(out, merge);
}

double binomial_words(double n, double k) {
    const double log10 =
        (std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1)) / std::log(10.0);
    return log10 / decimal_word_digits + 1;
}

// The shares' work, in the units of the top product's: their trees of products took from
// 7.5 to 13 times as long as the top product (C(10000000, 2000000), C(999999999, 62500000)
// and C(999999999, 499999999)), about the number of levels below it; with the transforms'
// blocks kept between products, about half of that (C(999999999, 499999999): 17 s against
// 4 s).
double shares_work(double n, double k) {
    const double words = binomial_words(n, k);
    const double leaf_words = leaf_bits / std::log2(10.0) / decimal_word_digits;
    const double levels = std::max(1.0, std::log2(words / 2 / leaf_words));
    return 0.5 * levels * top_product_work(words);
}

}  // namespace

double decimal_binomial_work(unsigned long n, unsigned long k) {
    if (k > n) return 0;
    const double words = binomial_words(static_cast<double>(n), static_cast<double>(k));
    return shares_work(static_cast<double>(n), static_cast<double>(k)) + top_product_work(words);
}

// C(n, k) is the product of p^e over the primes up to n, each p^e at most n. The segments of
// the primes are shared out alternately between two threads, each multiplying its factors in binary
// pieces, converting them and multiplying them on in decimal words.
void decimal_binomial(DecimalNumber& out, unsigned long n, unsigned long k,
                      const std::atomic<bool>* cancel) {
    if (k > n) {
        out.words.clear();
        return;
    }
    k = std::min(k, n - k);
    // The shares' merges ask for the same few sizes of transform again and again: keeping
    // blocks of four times the coefficient's length spared C(100000000, 50000000) a third of
    // its time, which went to faulting fresh pages in. The merges of a quarter of the
    // coefficient and longer give them back, a few times a share: the peak of
    // C(100000000, 50000000) was then 82 to 84 MiB in every run, for about 3 % more time
    // (giving them back from an eighth on took a seventh longer: the other share faulted its
    // blocks in again after each).
    const double words = binomial_words(static_cast<double>(n), static_cast<double>(k));
    // Shorter coefficients keep a few megabytes, less than what the program holds beside
    // them: their merges keep theirs throughout.
    const auto kept_bytes = static_cast<size_t>(4 * 8 * words);
    const KeptForShares kept{
        kept_bytes, kept_bytes < (size_t{16} << 20) ? SIZE_MAX : static_cast<size_t>(words / 4)};
    keep_blocks_up_to(kept.bytes);
    const PrimeSegments primes(n);
    WorkProgress* const progress = work_counted_here();
    const double segment_work =
        shares_work(n, k) / static_cast<double>(std::max<uint64_t>(primes.count(), 1));
    DecimalNumber other;
    side_by_side(
        [&] { product_of_share(other, primes, 1, n, k, cancel, progress, segment_work, kept); },
        [&] { product_of_share(out, primes, 0, n, k, cancel, progress, segment_work, kept); });
    // The shares' freed pieces stay in the threads' heaps, beside the top product's transforms
    // unless they are given back first.
    malloc_trim(0);
    release_kept_blocks();
    multiply(out, out, other, true);
}

}  // namespace cifrovar
