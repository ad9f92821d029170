#include "bignum/decimal_split.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/internal/reciprocal.h"
#include "bignum/internal/side_by_side.h"

namespace cifrovar {

namespace {

// A node of the division tree holds 2 * (leaf << k) limbs and is split into its high and low
// halves by 10^m, m = limb_digits * (leaf << k). Since 10^m = 5^m * 2^m, the value is shifted
// right by m bits and divided by 5^m, a divisor less than a third shorter than 10^m; the low
// bits shifted out go back onto the remainder.
struct Level {
    BigValue five_power;  // 5^m
    mp_bitcnt_t shift;    // m
    int64_t half_limbs;   // leaf << k
    // For levels divided by Barrett's method: floor(2^(divisor_bits + quotient_bits) / 5^m),
    // where 5^m has divisor_bits bits and every dividend of the level is below
    // 2^(divisor_bits + quotient_bits). Empty for levels that GMP divides.
    BigValue inverse;
    mp_bitcnt_t divisor_bits = 0;
    mp_bitcnt_t quotient_bits = 0;
};

class Splitter {
  public:
    Splitter(int32_t limb_digits, int64_t leaf, int levels, const SplitOptions& options)
        : digits_(limb_digits), leaf_(leaf), options_(options) {
        // m digits of the node's low half; the node itself is below 10^(2m).
        const auto m = static_cast<unsigned long>(limb_digits * leaf);
        levels_.resize(static_cast<size_t>(levels));
        for (int k = 0; k < levels; ++k) {
            Level& level = levels_[static_cast<size_t>(k)];
            if (k == 0) {
                mpz_ui_pow_ui(level.five_power.get(), 5, m);
            } else {
                mpz_mul(level.five_power.get(), levels_[k - 1].five_power.get(),
                        levels_[k - 1].five_power.get());
            }
            level.shift = static_cast<mp_bitcnt_t>(m) << k;
            level.half_limbs = leaf << k;
            check_cancel();
        }
    }

    // The root is the caller's value, read but not consumed. The limbs are made only after
    // the root's division, whose scratch is the largest, so that the two never add up.
    void convert_root(const BigValue& value, LimbArray& limbs, size_t size) {
        const int top = static_cast<int>(levels_.size()) - 1;
        if (top < 0) {
            limbs.assign(size, 0);
            out_ = limbs.data();
            return convert_leaf(value, 0);
        }
        const Level& level = levels_.back();
        BigValue shifted_out, x;
        mpz_tdiv_r_2exp(shifted_out.get(), value.get(), level.shift);
        mpz_tdiv_q_2exp(x.get(), value.get(), level.shift);
        BigValue high, low;
        prepare_inverse(levels_.back());
        divide(x, shifted_out, level, high, low, true);
        // The largest power and its inverse serve the root alone; the inverses below are made
        // only now, so that they do not add to the root's memory.
        levels_.back().five_power.release();
        for (int k = top - 1; k >= 0; --k) prepare_inverse(levels_[static_cast<size_t>(k)]);
        levels_.back().inverse.release();
        lowest_inverse_ = static_cast<int>(levels_.size());
        while (lowest_inverse_ > 0 &&
               levels_[static_cast<size_t>(lowest_inverse_ - 1)].divisor_bits > 0)
            --lowest_inverse_;
        limbs.assign(size, 0);
        out_ = limbs.data();
        convert_halves(std::move(high), std::move(low), top, 0);
    }

  private:
    void check_cancel() const { stop_if_cancelled(options_.cancel); }

    // The inverse of a level whose products are long enough for the transforms; below that
    // GMP's division is as good as two of its products. Levels are prepared from the top down.
    void prepare_inverse(Level& level) {
        // The node's dividend, shifted right by m bits, is below 10^(2m) / 2^m = 2^(m (2 log2
        // 10 - 1)); two bits spare the rounding of the logarithm.
        const double m = static_cast<double>(level.shift);
        const auto dividend_bits = static_cast<mp_bitcnt_t>(m * (2 * std::log2(10.0) - 1)) + 2;
        const mp_bitcnt_t t = mpz_sizeinbase(level.five_power.get(), 2);
        const mp_bitcnt_t quotient = dividend_bits - t;
        if (!divisions_by_inverse_pay_for(2 * quotient)) return;
        check_cancel();
        const Level* above = &level + 1;
        if (above < levels_.data() + levels_.size() && above->divisor_bits > 0) {
            // The level above divides by the square of this divisor d: its inverse is about
            // 2^p / d^2, so times d it is 2^p / d, within a few d's, which the shift to this
            // level's length takes below a unit.
            fast_multiply(level.inverse, above->inverse, level.five_power, true);
            mpz_tdiv_q_2exp(level.inverse.get(), level.inverse.get(),
                            above->divisor_bits + above->quotient_bits - (t + quotient));
        } else {
            approximate_reciprocal(level.inverse, level.five_power, t + quotient, true);
        }
        level.divisor_bits = t;
        level.quotient_bits = quotient;
    }

    // high, low = x div 5^m, x mod 5^m * 2^m + shifted_out, for x already shifted right by m
    // bits; x is consumed. Distinct operands spare GMP a copy of the dividend.
    static void divide(BigValue& x, const BigValue& shifted_out, const Level& level, BigValue& high,
                       BigValue& low, bool two_threads = false) {
        if (level.divisor_bits > 0) {
            divide_by_inverse(x, level, high, low, two_threads);
        } else {
            mpz_tdiv_qr(high.get(), low.get(), x.get(), level.five_power.get());
            x.release();
        }
        mpz_mul_2exp(low.get(), low.get(), level.shift);
        mpz_add(low.get(), low.get(), shifted_out.get());
    }

    // Barrett's method: the top of x times the inverse gives the quotient to within a few
    // units (x is below 2^(divisor_bits + quotient_bits)), so the remainder is small and
    // follows from the low bits of x alone, which lets x go before the products; what the
    // estimate left over is divided out of the remainder, which keeps the result exact.
    static void divide_by_inverse(BigValue& x, const Level& level, BigValue& high, BigValue& low,
                                  bool two_threads) {
        // Room for a remainder within 2^31 divisors either side of the right one.
        const mpz_srcptr divisor = level.five_power.get();
        const mp_bitcnt_t kept = level.divisor_bits + 32;
        BigValue top;
        mpz_tdiv_q_2exp(top.get(), x.get(), level.divisor_bits - 1);
        mpz_tdiv_r_2exp(low.get(), x.get(), kept);
        x.release();
        fast_multiply(high, top, level.inverse, two_threads);
        top.release();
        mpz_tdiv_q_2exp(high.get(), high.get(), level.quotient_bits + 1);
        BigValue product;
        fast_multiply(product, high, level.five_power, two_threads);
        mpz_tdiv_r_2exp(product.get(), product.get(), kept);
        mpz_sub(low.get(), low.get(), product.get());
        // low = x - high * divisor modulo 2^kept, taken in [-2^(kept - 1), 2^(kept - 1)).
        product.release();
        BigValue wrap;
        mpz_setbit(wrap.get(), kept);
        if (mpz_sgn(low.get()) < 0) mpz_add(low.get(), low.get(), wrap.get());
        if (mpz_sizeinbase(low.get(), 2) >= kept) mpz_sub(low.get(), low.get(), wrap.get());
        if (mpz_sgn(low.get()) < 0 || mpz_cmp(low.get(), divisor) >= 0) {
            BigValue extra;
            mpz_fdiv_qr(extra.get(), low.get(), low.get(), divisor);
            mpz_add(high.get(), high.get(), extra.get());
        }
    }

    // x < 10^(limb_digits * (2 * leaf << k)); its limbs start at out_[first].
    void convert(BigValue x, int k, int64_t first) {
        check_cancel();
        if (k < 0) return convert_leaf(x, first);
        const Level& level = levels_[static_cast<size_t>(k)];
        BigValue shifted_out;
        mpz_tdiv_r_2exp(shifted_out.get(), x.get(), level.shift);
        mpz_tdiv_q_2exp(x.get(), x.get(), level.shift);
        BigValue high, low;
        divide(x, shifted_out, level, high, low, level.divisor_bits > 0);
        convert_halves(std::move(high), std::move(low), k, first);
    }

    // The levels divided by their inverses take one node at a time with both threads in each
    // product: a node on each thread would need the transforms' memory twice. The halves
    // are given to two threads from the first level that GMP divides on.
    void convert_halves(BigValue high, BigValue low, int k, int64_t first) {
        const int64_t high_first = first + levels_[static_cast<size_t>(k)].half_limbs;
        const int count = static_cast<int>(levels_.size());
        const int children = k - 1;
        const int split_top = lowest_inverse_ == count ? count - 1 : lowest_inverse_;
        const bool parallel =
            children < lowest_inverse_ && children >= split_top - options_.parallel_levels;
        if (!parallel) {
            convert(std::move(high), k - 1, high_first);
            convert(std::move(low), k - 1, first);
            return;
        }
        side_by_side([&] { convert(std::move(high), k - 1, high_first); },
                     [&] { convert(std::move(low), k - 1, first); });
    }

    // x < 10^(limb_digits * leaf), written as leaf limbs from out_[first] up.
    void convert_leaf(const BigValue& x, int64_t first) {
        thread_local std::vector<char> text;
        text.resize(static_cast<size_t>(leaf_ * digits_) + 2);
        mpz_get_str(text.data(), 10, x.get());
        auto end = static_cast<int64_t>(std::strlen(text.data()));
        int32_t* limb = out_ + first;
        for (int64_t i = 0; i < leaf_; ++i) {
            const int64_t start = std::max<int64_t>(0, end - digits_);
            int32_t v = 0;
            for (int64_t c = start; c < end; ++c) v = v * 10 + (text[c] - '0');
            limb[i] = v;
            end = start;
        }
    }

    int32_t digits_;
    int64_t leaf_;
    const SplitOptions& options_;
    int32_t* out_ = nullptr;
    std::vector<Level> levels_;
    int lowest_inverse_ = 0;  // levels from this one up are divided by their inverses
};

}  // namespace

void split_to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, LimbArray& limbs,
                    const SplitOptions& options) {
    const auto digits = static_cast<int64_t>(mpz_sizeinbase(value.get(), 10));
    const int64_t needed = (digits + limb_digits - 1) / limb_digits;
    const int64_t wanted_leaf = std::max<int64_t>(1, options.leaf_limbs);
    // The smallest tree whose leaves are no longer than wanted; the leaves are then made just
    // long enough, so that the top split falls near the middle of the value.
    int levels = 0;
    while ((wanted_leaf << levels) < needed) ++levels;
    const int64_t leaf = (needed + (int64_t{1} << levels) - 1) >> levels;
    const int64_t covered = std::max(leaf << levels, int64_t{1});

    return_large_blocks_to_system();
    limbs.clear();
    limbs.shrink_to_fit();  // the old limbs are not needed while the new ones are made
    Splitter(limb_digits, leaf, levels, options)
        .convert_root(value, limbs, static_cast<size_t>(std::max(count, covered)));
    limbs.resize(static_cast<size_t>(count));
}

void to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, LimbArray& limbs,
              const std::atomic<bool>* cancel) {
    SplitOptions options;
    options.cancel = cancel;
    if (bit_length(value) <= split_pays_above_bits)
        options.leaf_limbs = std::max<int64_t>(count, 1);
    split_to_limbs(value, limb_digits, count, limbs, options);
}

}  // namespace cifrovar
