#pragma once

// Private to the transforms: products of numbers in words of 18 decimal digits, in one piece
// or with a long factor taken in parts, the coefficients past a shorter transform unwrapped,
// and the reconstruction with carries in radix 10^18.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "bignum/decimal_word.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/internal/side_by_side.h"
#include "bignum/transforms/ntt_buffers.h"
#include "bignum/transforms/ntt_primes.h"
#include "bignum/transforms/ntt_transforms.h"
#include "bignum/work_progress.h"

namespace cifrovar::ntt_kernels {

// Products of numbers in words of 18 decimal digits (least significant first): the words
// are the coefficients themselves, and the carries are taken in radix 10^18. Coefficients of
// the product are below n * 10^36 < 2^150 for every transform length.
template <typename S>
struct DecimalProduct {
    using K = Kernels<S>;
    // With two threads, transforms from 2^19 on are each shared by both; from 2^14 up to
    // there the threads take whole transforms, which was faster (33000 words squared: 5.1 ms
    // against 6.7 ms shared, 7.6 ms on one thread; 140000 words: 26 ms against 36 ms), and
    // below 2^14 starting the second thread cost more than it gained.
    static constexpr int two_threads_from_log = 19;
    static constexpr int primes_on_two_from_log = 14;
    static bool shares_transforms(int log, bool two) { return two && log >= two_threads_from_log; }
    static bool shares_primes(int log, bool two) {
        return two && log >= primes_on_two_from_log && log < two_threads_from_log;
    }

    struct Words {
        const uint64_t* words;
        size_t size;
    };

    // x's words as residues mod a prime, a vector at a time; zero past x's end.
    struct Residues {
        Words x;
        typename K::SplitResidue residue;
        Residues(Words words, int prime) : x(words), residue(prime) {}
        typename S::V operator()(size_t k) const {
            if (k >= x.size) return S::set1(0.0);
            typename S::V high, low;
            if (k + K::lanes <= x.size) {
                S::split_words(x.words + k, high, low);
            } else {
                alignas(64) uint64_t part[K::lanes];
                for (size_t i = 0; i < K::lanes; ++i) part[i] = k + i < x.size ? x.words[k + i] : 0;
                S::split_words(part, high, low);
            }
            return residue(high, low);
        }
    };

    // Each coefficient x = a0 + p0 t1 + p0 p1 t2 (Garner's digits, below 2^50) split on its own
    // into x = d0 + d1 B + d2 B^2, B = 10^18, d0 and d1 below B: no carry runs from one
    // coefficient to the next, so the splits of a block overlap and vectorise. With p0 p1 =
    // high B + low, x = L + (high t2) B for L = a0 + p0 t1 + low t2 < 2^110; then L = q B + d0
    // and q + high t2 = d2 B + d1. Each quotient is the integer nearest to its estimate in
    // doubles, which is less than 0.42 off (L's estimate is within 2^57, 0.15 B, and 1 / B
    // and the rounding of the quotient add 0.27): it is the true one or one more, and the
    // remainder, then in [-B, B), is exact modulo 2^64 and says which.
    static void split(const uint64_t* a0, const uint64_t* t1, const uint64_t* t2, uint64_t* d0,
                      uint64_t* d1, uint64_t* d2, size_t count) {
        constexpr uint64_t p0 = primes[0].p, b = decimal_word;
        constexpr unsigned __int128 p01 = static_cast<unsigned __int128>(p0) * primes[1].p;
        constexpr uint64_t high = static_cast<uint64_t>(p01 / b),
                           low = static_cast<uint64_t>(p01 % b);
        constexpr double inverse = 1.0 / static_cast<double>(b);
        // Integers in [0, 2^52) to doubles and back: 2^52 added puts them into the mantissa,
        // which rounds a double to the nearest integer as well.
        constexpr double two52 = 4503599627370496.0;
        constexpr uint64_t two52_bits = std::bit_cast<uint64_t>(two52);
        auto to_double = [](uint64_t v) { return std::bit_cast<double>(v | two52_bits) - two52; };
        auto rounded = [](double v) { return std::bit_cast<uint64_t>(v + two52) - two52_bits; };
        for (size_t i = 0; i < count; ++i) {
            const double t2d = to_double(t2[i]);
            const double l =
                std::fma(t2d, static_cast<double>(low),
                         std::fma(to_double(t1[i]), static_cast<double>(p0), to_double(a0[i])));
            uint64_t q = rounded(l * inverse);
            uint64_t r = a0[i] + p0 * t1[i] + low * t2[i] - q * b;
            const uint64_t one_more = static_cast<int64_t>(r) < 0;
            r += one_more * b;
            q -= one_more;
            uint64_t e = rounded(std::fma(t2d, static_cast<double>(high), to_double(q)) * inverse);
            uint64_t s = q + high * t2[i] - e * b;
            const uint64_t one_more_high = static_cast<int64_t>(s) < 0;
            d0[i] = r;
            d1[i] = s + one_more_high * b;
            d2[i] = e - one_more_high;
        }
    }

    // Coefficients [begin, end) into words from out[begin] on, with their carries; returns
    // the carry out of the last one, below 2^92. A block's digits are made first, then the
    // words from them: word k sums d0 of coefficient k, d1 of k - 1 and d2 of k - 2, and the
    // carry between words stays below 3.
    static unsigned __int128 reconstruct(uint64_t* out, const double* const* r, size_t begin,
                                         size_t end, unsigned __int128 carry = 0) {
        constexpr uint64_t b = decimal_word;
        constexpr size_t block = 256;  // a multiple of the lanes; its digits stay in L1
        const typename K::Garner garner;
        alignas(64) uint64_t a0[block], t1[block], t2[block], d0[block];
        // d1 and d2 one and two places up, below them what the block's first words receive
        // from the coefficients below it; the carries into the words likewise one place up.
        alignas(64) uint64_t d1[block + 1], d2[block + 2], carries[block + 1];
        d1[0] = static_cast<uint64_t>(carry % b);
        d2[0] = 0;
        d2[1] = static_cast<uint64_t>(carry / b);
        carries[0] = 0;
        for (size_t k = begin; k < end; k += block) {
            const size_t count = std::min(block, end - k);
            for (size_t j = 0; j < count; j += K::lanes)
                garner.digits(r, k + j, a0 + j, t1 + j, t2 + j);
            split(a0, t1, t2, d0, d1 + 1, d2 + 2, count);
            // Each word's sum (below 3 B) less the carry out of it, then the carry into it
            // added: that carries on only where the rest comes within 2 of B, which is rare,
            // and then the block's words are made again one after another.
            for (size_t i = 0; i < count; ++i) {
                const uint64_t sum = d0[i] + d1[i] + d2[i];
                const uint64_t c = (sum >= b) + (sum >= 2 * b);
                d0[i] = sum - c * b;
                carries[i + 1] = c;
            }
            uint64_t carried_on = 0;
            for (size_t i = 0; i < count; ++i) {
                out[k + i] = d0[i] + carries[i];
                carried_on |= out[k + i] >= b;
            }
            if (carried_on) {
                for (size_t i = 0; i < count; ++i) {
                    const uint64_t word = d0[i] + carries[i], over = word >= b;
                    out[k + i] = word - over * b;
                    carries[i + 1] += over;
                }
            }
            d1[0] = d1[count] + d2[count] + carries[count];
            d2[1] = d2[count + 1];
        }
        return d1[0] + static_cast<unsigned __int128>(d2[1]) * b;
    }

    // Adds a carry below 2^92 into the words from out[at] on (size words in all).
    static void add_carry(uint64_t* out, size_t at, size_t size, unsigned __int128 carry) {
        for (size_t k = at; carry != 0 && k < size; ++k) {
            const auto d = divide_by_word(carry + out[k]);
            out[k] = d.r;
            carry = d.q;
        }
    }

    // x's transform of length 2^log, in a buffer with room more doubles after it.
    static std::unique_ptr<Buffer> transformed(Words x, int log, int prime, bool two,
                                               size_t room = 0) {
        auto buffer = std::make_unique<Buffer>((size_t{1} << log) + room);
        transform_into(*buffer, x, log, prime, two);
        return buffer;
    }

    // The same into a buffer of at least 2^log doubles, whose contents are all replaced.
    static void transform_into(Buffer& buffer, Words x, int log, int prime, bool two) {
        K::forward_of_values(buffer.data, log, prime, K::mod_for(prime), two, x.size,
                             Residues(x, prime));
    }

    // x = x * other / n transformed back, for transforms of length n = 2^log.
    static void times_back(double* x, const double* other, int log, int prime, bool two) {
        const size_t n = size_t{1} << log;
        const uint64_t p = primes[prime].p;
        const double scale = centred(pow_mod(n % p, p - 2, p), p);
        const typename K::Mod m = K::mod_for(prime);
        shared(two, n, [&](size_t begin, size_t end) {
            K::pointwise(x + begin, other + begin, end - begin, scale, m);
        });
        if (two) {
            K::inverse_on_two(x, log, prime, m);
        } else {
            K::inverse(x, log, prime, m);
        }
    }

    // out = size zero words, grown in pieces that each count their share of work: the first
    // touch of a fresh gigabyte's pages takes about a second, in which the progress should
    // move and an interrupt be seen.
    static void zeroed_counted(std::vector<uint64_t>& out, size_t size, double work) {
        if (out.capacity() < size) {
            reserve_in_large_pages(out, size);
        } else {
            out.clear();
        }
        constexpr size_t piece = size_t{1} << 22;
        for (size_t done = 0; done < size;) {
            const size_t next = std::min(size, done + piece);
            out.resize(next);
            count_work(work * static_cast<double>(next - done) / static_cast<double>(size));
            done = next;
        }
    }

    // The same in pieces, each counting its share of the range's work.
    static unsigned __int128 reconstruct_counted(uint64_t* out, const double* const* r,
                                                 size_t begin, size_t end, double work) {
        constexpr size_t piece = size_t{1} << 20;  // a multiple of the lanes
        const double per_coefficient = work / static_cast<double>(std::max<size_t>(end - begin, 1));
        unsigned __int128 carry = 0;
        for (size_t k = begin; k < end; k += piece) {
            const size_t k_end = std::min(end, k + piece);
            carry = reconstruct(out, r, k, k_end, carry);
            count_work(per_coefficient * static_cast<double>(k_end - k));
        }
        return carry;
    }

    // out[0 .. count] = the count coefficients of the residues with their carries; the
    // reconstruction counts work.
    static void carried(uint64_t* out, const double* const* r, size_t count, bool two,
                        double work) {
        out[count] = 0;
        const size_t first = two && count >= 4096 ? count / 2 / K::lanes * K::lanes : count;
        if (first == count)
            return add_carry(out, count, count + 1, reconstruct_counted(out, r, 0, count, work));
        unsigned __int128 low_carry = 0, high_carry = 0;
        const double share = work * static_cast<double>(first) / static_cast<double>(count);
        side_by_side([&] { low_carry = reconstruct_counted(out, r, 0, first, share); },
                     [&] { high_carry = reconstruct_counted(out, r, first, count, work - share); });
        add_carry(out, count, count + 1, high_carry);
        add_carry(out, first, count + 1, low_carry);
    }

    static int log_for(size_t coefficients) {
        int log = 4;
        while (log <= max_log - 1 && (size_t{1} << log) < coefficients) ++log;
        return log <= max_log - 1 ? log : -1;
    }

    // out = a * b in la + lb words; false when the product is too long for the transforms.
    // The words are made only once the transforms are, so that the two do not add up.
    static bool multiply(std::vector<uint64_t>& out, Words a, Words b, bool two) {
        if (a.size < b.size) std::swap(a, b);
        const int log = whole_log(a.size, b.size);
        const PartPlan parts = a.size >= 2 * b.size ? cheapest_parts(a.size, b.size) : PartPlan{};
        if (parts.log >= 0 && (log < 0 || parts.work < whole_work(a.size, b.size, log))) {
            multiply_in_parts(out, a, b, parts, two);
            return true;
        }
        if (log < 0) return false;
        multiply_in(out, a, b, log, two);
        return true;
    }

    // Whether multiply takes a product of la words by lb, in one piece or in parts.
    static bool fits(size_t la, size_t lb) {
        if (la < lb) std::swap(la, lb);
        return whole_log(la, lb) >= 0 || (la >= 2 * lb && cheapest_parts(la, lb).log >= 0);
    }

    // The bytes multiply holds beside its factors at its peak, on two threads when two: the
    // product's words and the transforms' buffers as it lays them out; 0 when it does not fit.
    static double bytes(size_t la, size_t lb, bool square, bool two) {
        if (la < lb) std::swap(la, lb);
        constexpr double word = sizeof(uint64_t);
        const int log = whole_log(la, lb);
        const PartPlan parts = la >= 2 * lb ? cheapest_parts(la, lb) : PartPlan{};
        if (parts.log >= 0 && (log < 0 || parts.work < whole_work(la, lb, log))) {
            // b's three transforms, a part's three and the part's product.
            const size_t n = size_t{1} << parts.log, longest = parts.part + lb - 1;
            const size_t room = room_for(longest > n ? longest - n : 0);
            return word *
                   static_cast<double>(la + lb + 3 * n + 3 * (n + room) + std::max(n, longest) + 1);
        }
        if (log < 0) return 0;
        const size_t n = size_t{1} << log, count = la + lb - 1, excess = count > n ? count - n : 0;
        // Beside the three residues, while each is made: the other factor's transform, or the
        // unwrapped coefficients' transforms (at most half as long, a square's one); two primes
        // at a time where they go side by side.
        const size_t beside = square ? (excess > 0 ? n / 2 : 0) : n;
        const size_t at_once = shares_primes(log, two) ? 2 : 1;
        return word *
               static_cast<double>(count + 1 + 3 * (n + room_for(excess)) + at_once * beside);
    }

    // The transform length of a product in one piece: the product's own, or half of it where
    // the coefficients past that half are few enough to unwrap (see multiply_in); -1 when the
    // product is too long for the transforms.
    static int whole_log(size_t la, size_t lb) {
        const size_t count = la + lb - 1;
        const int log = log_for(count);
        if (log < 0) return -1;
        const size_t half = size_t{1} << (log - 1);
        // The shortest transforms are 16 long: the in-register stages take two vectors of
        // eight at a time.
        const bool wraps = log > 4 && count > half && count - half <= half / 4 && la <= half;
        return wraps ? log - 1 : log;
    }

    // The work of transforms of length 2^log, in their coefficient steps.
    static double transform_work(int log) { return std::ldexp(static_cast<double>(log), log); }

    // The work of unwrapping excess coefficients: three transforms per prime of their product.
    static double unwrap_work(size_t excess) {
        return excess == 0 ? 0 : 9 * transform_work(log_for(2 * excess - 1));
    }

    // The work of a product in one piece in transforms of length 2^log: three for each prime,
    // those of the wrapped coefficients, and the reconstruction, which costs about one.
    static double whole_work(size_t la, size_t lb, int log) {
        const size_t n = size_t{1} << log, count = la + lb - 1;
        return 10 * transform_work(log) + unwrap_work(count > n ? count - n : 0);
    }

    // A long factor taken in parts of `part` words, multiplied in transforms of length 2^log.
    struct PartPlan {
        int log = -1;
        size_t part = 0;
        double work = 0;
    };

    // The work of la words times lb words in parts: the short factor's transforms once, and
    // for each part two transforms per prime, its reconstruction and its wrapped coefficients.
    static PartPlan plan_parts(size_t la, size_t lb, int log, size_t part) {
        const size_t n = size_t{1} << log, parts = (la + part - 1) / part;
        const size_t excess = part + lb - 1 > n ? part + lb - 1 - n : 0;
        return {log, part,
                transform_work(log) * static_cast<double>(3 + 7 * parts) +
                    static_cast<double>(parts) * unwrap_work(excess)};
    }

    // The parts for which a long factor of la words times a short one of lb costs least.
    // Shorter transforms take more parts, longer ones work on more padding and need more
    // memory, whose first touch costs as much as a transform on some machines. Parts may be
    // up to n / 8 words longer than their product's transform holds, the coefficients past it
    // unwrapped as in multiply_in: that saves a whole part where the long factor is a little
    // longer than a number of them. Empty when none fits.
    static PartPlan cheapest_parts(size_t la, size_t lb) {
        PartPlan best;
        auto consider = [&](const PartPlan& plan) {
            if (best.log < 0 || plan.work < best.work) best = plan;
        };
        for (int log = log_for(2 * lb); log >= 0 && log <= max_log - 1; ++log) {
            const size_t n = size_t{1} << log;
            if (n >= la + lb) break;
            const size_t fitting = n - lb + 1, parts = (la + fitting - 1) / fitting;
            consider(plan_parts(la, lb, log, fitting));
            if (parts < 2) continue;
            const size_t longer = (la + parts - 2) / (parts - 1);
            if (longer <= n && longer + lb - 1 - n <= n / 8)
                consider(plan_parts(la, lb, log, longer));
        }
        return best;
    }

    // The product in transforms of length n = 2^log. A product of count = n + excess
    // coefficients, excess <= n / 4, takes them instead of 2 n: the cyclic product holds
    // c[j] + c[n + j] at j < excess, and c[j] there comes from the product of the operands'
    // lowest excess words alone, in transforms of about 2 excess. The sums stay below
    // n * 10^36 * 2, which the three primes hold.
    //
    // With two threads, long transforms are each shared by both; shorter ones go to the
    // threads whole, the first two primes side by side and then the third's two forward
    // transforms, which keeps as many buffers at a time as one thread does. Sharing the
    // third's transform back as well cost more in starting threads than it gained.
    static void multiply_in(std::vector<uint64_t>& out, Words a, Words b, int log, bool two) {
        const size_t n = size_t{1} << log;
        const size_t count = a.size + b.size - 1, excess = count > n ? count - n : 0;
        const size_t room = room_for(excess);
        const bool square = a.words == b.words && a.size == b.size;
        const bool shared_transforms = shares_transforms(log, two);
        const bool whole_transforms = shares_primes(log, two);
        const int transforms_per_prime = (square ? 2 : 3) * (excess == 0 ? 1 : 2);
        // The reconstruction counts as one transform.
        const double tick =
            decimal_product_work(a.size, b.size, square) / (3 * transforms_per_prime + 1);
        std::unique_ptr<Buffer> residues[3];
        // Where the primes go one after another and nothing is unwrapped, b's transforms take
        // one buffer in turn: mapping it afresh for each faulted its pages in again.
        const bool reuse_b = !square && !whole_transforms && excess == 0;
        std::unique_ptr<Buffer> kept_b;
        auto residue = [&](int i, bool forward_side_by_side) {
            std::unique_ptr<Buffer> of_b;
            if (forward_side_by_side && !square) {
                side_by_side([&] { of_b = transformed(b, log, i, false); },
                             [&] { residues[i] = transformed(a, log, i, false, room); });
                count_work(2 * tick);
            } else {
                residues[i] = transformed(a, log, i, shared_transforms, room);
                count_work(tick);
                if (kept_b) {
                    of_b = std::move(kept_b);
                    transform_into(*of_b, b, log, i, shared_transforms);
                    count_work(tick);
                } else if (!square) {
                    of_b = transformed(b, log, i, shared_transforms);
                    count_work(tick);
                }
            }
            double* x = residues[i]->data;
            times_back(x, square ? x : of_b->data, log, i, shared_transforms);
            count_work(tick);
            if (reuse_b && i < 2) kept_b = std::move(of_b);
            of_b.reset();
            if (excess == 0) return;
            unwrap_low(x, a, b, n, excess, i);
            count_work((square ? 2 : 3) * tick);
        };
        if (whole_transforms) {
            side_by_side([&] { residue(1, false); }, [&] { residue(0, false); });
            residue(2, true);
        } else {
            for (int i = 0; i < 3; ++i) residue(i, false);
        }
        const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
        zeroed_counted(out, count + 1, tick / 2);
        carried(out.data(), r, count, two, tick / 2);
    }

    // x[j] = c[j] + c[n + j] and low[j] = c[j] for j < excess become c[j] and c[n + j]; the
    // vectors past excess write only into the room after the coefficients.
    static void unwrap(double* x, const double* low, size_t n, size_t excess,
                       const typename K::Mod& m) {
        for (size_t j = 0; j < excess; j += K::lanes)
            S::store(x + n + j, K::reduce(S::sub(S::load(x + j), S::load(low + j)), m));
        std::copy(low, low + excess, x);
    }

    // work(i, shared_transform) for the three primes, with two threads as multiply_in
    // shares them, the third prime's transforms then shared by both.
    template <typename Work>
    static void each_prime(int log, bool two, Work work) {
        if (shares_primes(log, two)) {
            side_by_side([&] { work(1, false); }, [&] { work(0, false); });
            return work(2, true);
        }
        for (int i = 0; i < 3; ++i) work(i, shares_transforms(log, two));
    }

    // A long a times a short b: a is taken in parts, each multiplied by b's transforms made
    // once, in transforms of length 2^log (a few times b's length) instead of the whole
    // product's. This costs less and needs the memory of the short transforms only.
    static void multiply_in_parts(std::vector<uint64_t>& out, Words a, Words b,
                                  const PartPlan& plan, bool two) {
        const size_t n = size_t{1} << plan.log, part = plan.part;
        const size_t parts = (a.size + part - 1) / part;
        const size_t longest = part + b.size - 1;
        const size_t room = room_for(longest > n ? longest - n : 0);
        // Each part's reconstruction counts as one of its transforms, and so does making the
        // product's words.
        const double tick = decimal_product_work(a.size, b.size, false) / (4 + 7 * parts);
        std::unique_ptr<Buffer> of_b[3];
        each_prime(plan.log, two, [&](int i, bool shared_transform) {
            of_b[i] = transformed(b, plan.log, i, shared_transform);
            count_work(tick);
        });
        const size_t product_size = std::max(n, longest) + 1, size = a.size + b.size;
        const double share = static_cast<double>(size) / static_cast<double>(size + product_size);
        zeroed_counted(out, size, tick * share);
        std::vector<uint64_t> product;
        zeroed_counted(product, product_size, tick * (1 - share));
        // The parts' transforms take the same buffers one after another: mapping them afresh
        // for each part faulted their pages in again.
        std::unique_ptr<Buffer> residues[3];
        for (size_t start = 0; start < a.size; start += part) {
            const Words piece{a.words + start, std::min(part, a.size - start)};
            const size_t count = piece.size + b.size - 1, excess = count > n ? count - n : 0;
            each_prime(plan.log, two, [&](int i, bool shared_transform) {
                if (!residues[i]) residues[i] = std::make_unique<Buffer>(n + room);
                double* x = residues[i]->data;
                transform_into(*residues[i], piece, plan.log, i, shared_transform);
                count_work(tick);
                times_back(x, of_b[i]->data, plan.log, i, shared_transform);
                count_work(tick);
                if (excess > 0) unwrap_low(x, piece, b, n, excess, i);
            });
            const double* r[3] = {residues[0]->data, residues[1]->data, residues[2]->data};
            carried(product.data(), r, count, two, tick);
            add_words(out.data(), start, a.size + b.size, product.data(), count + 1);
        }
    }

    // The cyclic product x of a and b in transforms of length n, n + excess coefficients
    // long, unwrapped by the product of their lowest excess words (a square's from one).
    static void unwrap_low(double* x, Words a, Words b, size_t n, size_t excess, int prime) {
        const bool square = a.words == b.words && a.size == b.size;
        const Words a_low{a.words, excess}, b_low{b.words, excess};
        const int low_log = log_for(2 * excess - 1);
        const auto low = transformed(a_low, low_log, prime, false);
        times_back(low->data, square ? low->data : transformed(b_low, low_log, prime, false)->data,
                   low_log, prime, false);
        unwrap(x, low->data, n, excess, K::mod_for(prime));
    }

    // The doubles past a transform that unwrapping excess coefficients writes, in whole vectors.
    static size_t room_for(size_t excess) { return (excess + K::lanes - 1) / K::lanes * K::lanes; }

    // out[at ..] += words[0 .. m), the carry going on to out[size - 1] at most.
    static void add_words(uint64_t* out, size_t at, size_t size, const uint64_t* words, size_t m) {
        uint64_t carry = 0;
        size_t k = at;
        for (size_t j = 0; j < m && k < size; ++j, ++k) {
            uint64_t t = out[k] + words[j] + carry;
            carry = t >= decimal_word;
            out[k] = carry ? t - decimal_word : t;
        }
        for (; carry != 0 && k < size; ++k) {
            const uint64_t t = out[k] + 1;
            carry = t >= decimal_word;
            out[k] = carry ? 0 : t;
        }
    }
};

}  // namespace cifrovar::ntt_kernels
