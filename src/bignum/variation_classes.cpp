#include "bignum/variation_classes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/cancel.h"
#include "bignum/decimal_word.h"
#include "bignum/fast_multiply.h"
#include "bignum/work_progress.h"

namespace cifrovar {

namespace {

// log10 of top (top - 1) ... (top - count + 1).
double log10_falling(double top, double count) {
    return log10_factorial(top) - log10_factorial(top - count);
}

// Below this half class the variation is computed in one go.
constexpr unsigned long first_class = 1ul << 15;

// Leaves of the product tree of a falling product, multiplied in binary and converted: about
// 2^15 bits, as the binomial's pieces.
unsigned long leaf_factors(unsigned long top) {
    return std::max(16ul, (1ul << 15) / static_cast<unsigned long>(std::bit_width(top)));
}

// The product tree in decimal words: the leaves in binary, the merges by the transforms.
void falling_product_tree(DecimalNumber& out, unsigned long top, unsigned long count,
                          const std::atomic<bool>* cancel) {
    if (count <= leaf_factors(top)) {
        BigValue leaf;
        binary_falling_product(leaf, top, count);
        return to_decimal(out, leaf);
    }
    stop_if_cancelled(cancel);
    const unsigned long half = count / 2;
    DecimalNumber low;
    falling_product_tree(out, top, half, cancel);
    falling_product_tree(low, top - half, count - half, cancel);
    multiply(out, out, low, true);
}

double falling_product_tree_work(unsigned long top, unsigned long count) {
    if (count <= leaf_factors(top)) return 0;
    const unsigned long half = count / 2;
    const double high = log10_falling(static_cast<double>(top), static_cast<double>(half));
    const double low =
        log10_falling(static_cast<double>(top - half), static_cast<double>(count - half));
    return falling_product_tree_work(top, half) +
           falling_product_tree_work(top - half, count - half) +
           decimal_product_work(decimal_words_for(high), decimal_words_for(low), false);
}

bool chain_starts_below(unsigned long n, unsigned long next_class, double from_bits) {
    return log10_falling(static_cast<double>(n), static_cast<double>(next_class)) /
               std::log10(2.0) >=
           from_bits;
}

// The class above h in the chain k, k >> 1, k >> 2, ...
unsigned long class_above(unsigned long k, unsigned long h) {
    unsigned long above = k;
    while ((above >> 1) > h) above >>= 1;
    return above;
}

// v = V(n, b) from v = V(n, h), with h! given and b - h being h or h + 1.
void extend(DecimalNumber& v, unsigned long n, unsigned long h, unsigned long b,
            const DecimalNumber& h_factorial, const std::atomic<bool>* cancel) {
    DecimalNumber factor;
    if (b - h == h) {
        decimal_falling_product(factor, n - h, h, cancel, &h_factorial);
    } else {
        // (h + 1)! from h!: at half a billion elements, two passes over a gigabyte, which
        // count their work so that the progress moves (they went 6 s without a count).
        DecimalNumber count_factorial;
        copy_counted(count_factorial, h_factorial);
        multiply_small(count_factorial, h + 1,
                       word_products_work(static_cast<double>(count_factorial.words.size())));
        decimal_falling_product(factor, n - h, b - h, cancel, &count_factorial);
    }
    stop_if_cancelled(cancel);
    multiply(v, v, factor, true);
}

double extend_work(unsigned long n, unsigned long h, unsigned long b) {
    const double nd = static_cast<double>(n), hd = static_cast<double>(h);
    const size_t h_factorial_words = decimal_words_for(log10_factorial(hd));
    const double count_factorial =
        b - h == h ? 0
                   : copy_counted_work(h_factorial_words) +
                         word_products_work(static_cast<double>(h_factorial_words));
    return count_factorial + decimal_falling_product_work(n - h, b - h, true) +
           decimal_product_work(
               decimal_words_for(log10_falling(nd, hd)),
               decimal_words_for(log10_falling(nd - hd, static_cast<double>(b - h))), false);
}

}  // namespace

void binary_falling_product(BigValue& out, unsigned long top, unsigned long count) {
    constexpr unsigned long leaf = 2048;
    if (count <= leaf) {
        std::vector<uint32_t> factors(count);
        for (unsigned long i = 0; i < count; ++i) factors[i] = static_cast<uint32_t>(top - i);
        return product_of(out, factors.data(), factors.size());
    }
    BigValue low;
    binary_falling_product(out, top, count / 2);
    binary_falling_product(low, top - count / 2, count - count / 2);
    fast_multiply(out, out, low, true);
}

bool falling_product_takes_factorial(unsigned long top, unsigned long count) {
    return count > 0 && variation_binomial_from_primes(top, count);
}

void decimal_falling_product(DecimalNumber& out, unsigned long top, unsigned long count,
                             const std::atomic<bool>* cancel,
                             const DecimalNumber* count_factorial) {
    if (count == 0) {
        out.words.assign(1, 1);
        return;
    }
    // Where the binomial would come from GMP, slow below top / 16, a product tree instead.
    if (!variation_binomial_from_primes(top, count))
        return falling_product_tree(out, top, count, cancel);
    decimal_variation(out, top, count, cancel, count_factorial);
}

double decimal_falling_product_work(unsigned long top, unsigned long count,
                                    bool count_factorial_given) {
    if (count == 0) return 0;
    if (!variation_binomial_from_primes(top, count)) return falling_product_tree_work(top, count);
    return decimal_variation_work(top, count, count_factorial_given);
}

void decimal_variation_in_classes(DecimalNumber& out, unsigned long n, unsigned long k,
                                  const StepValue& classes, const std::atomic<bool>* cancel,
                                  double chain_from_bits) {
    const unsigned long half = k / 2;
    if (half < first_class) return decimal_falling_product(out, n, k, cancel);
    unsigned long held = 0;  // out holds V(n, held) once held > 0
    FactorialLevels levels;
    levels.level = [&](unsigned long h, const DecimalNumber& h_factorial) {
        const unsigned long b = class_above(k, h);
        if (held == 0) {
            if (!chain_starts_below(n, b, chain_from_bits)) return;
            decimal_falling_product(out, n, h, cancel, &h_factorial);
            held = h;
            if (classes) classes(h, out);
        }
        extend(out, n, h, b, h_factorial, cancel);
        held = b;
        if (classes) classes(b, out);
    };
    DecimalNumber half_factorial;
    decimal_factorial(half_factorial, half, cancel, &levels);
    if (held != half) {
        // Too short for levels: the half is computed in one go.
        decimal_falling_product(out, n, half, cancel, &half_factorial);
        if (classes && half > 0) classes(half, out);
    }
    extend(out, n, half, k, half_factorial, cancel);
}

double decimal_variation_in_classes_work(unsigned long n, unsigned long k) {
    const unsigned long half = k / 2;
    if (half < first_class) return decimal_falling_product_work(n, k);
    // The levels of half!, smallest first, as decimal_factorial tells them.
    std::vector<unsigned long> level_steps;
    for (unsigned long frame = half; frame >= first_class; frame /= 2)
        level_steps.push_back(frame / 2);
    double work = decimal_factorial_work(half) + extend_work(n, half, k);
    unsigned long held = 0;
    for (auto h = level_steps.rbegin(); h != level_steps.rend(); ++h) {
        const unsigned long b = class_above(k, *h);
        if (held == 0) {
            if (!chain_starts_below(n, b, variation_chain_from_bits)) continue;
            work += decimal_falling_product_work(n, *h, true);
        }
        work += extend_work(n, *h, b);
        held = b;
    }
    if (held != half) work += decimal_falling_product_work(n, half, true);
    return work;
}

}  // namespace cifrovar
