#include "engine/decimal_split.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/side_by_side.h"

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
};

class Splitter {
  public:
    Splitter(int32_t limb_digits, int64_t leaf, int levels, const SplitOptions& options)
        : digits_(limb_digits), leaf_(leaf), options_(options) {
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
    void convert_root(const BigValue& value, pole1& limbs, size_t size) {
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
        divide(x, shifted_out, level, high, low);
        // The largest power serves the root alone.
        levels_.back().five_power.release();
        limbs.assign(size, 0);
        out_ = limbs.data();
        convert_halves(std::move(high), std::move(low), top, 0);
    }

  private:
    void check_cancel() const { stop_if_cancelled(options_.cancel); }

    // high, low = x div 5^m, x mod 5^m * 2^m + shifted_out, for x already shifted right by m
    // bits; x is consumed. Distinct operands spare GMP a copy of the dividend.
    static void divide(BigValue& x, const BigValue& shifted_out, const Level& level, BigValue& high,
                       BigValue& low) {
        mpz_tdiv_qr(high.get(), low.get(), x.get(), level.five_power.get());
        x.release();
        mpz_mul_2exp(low.get(), low.get(), level.shift);
        mpz_add(low.get(), low.get(), shifted_out.get());
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
        divide(x, shifted_out, level, high, low);
        convert_halves(std::move(high), std::move(low), k, first);
    }

    void convert_halves(BigValue high, BigValue low, int k, int64_t first) {
        const int64_t high_first = first + levels_[static_cast<size_t>(k)].half_limbs;
        const bool parallel = k >= static_cast<int>(levels_.size()) - options_.parallel_levels;
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
};

}  // namespace

void split_to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, pole1& limbs,
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

    limbs.clear();
    limbs.shrink_to_fit();  // the old limbs are not needed while the new ones are made
    Splitter(limb_digits, leaf, levels, options)
        .convert_root(value, limbs, static_cast<size_t>(std::max(count, covered)));
    limbs.resize(static_cast<size_t>(count));
}

}  // namespace cifrovar
