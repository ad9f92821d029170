#include "bignum/decimal_number.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "bignum/decimal_split.h"
#include "bignum/decimal_word.h"
#include "bignum/fast_multiply.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/internal/product_in_halves.h"
#include "bignum/transforms/ntt_multiply.h"
#include "bignum/work_progress.h"

namespace cifrovar {

namespace {

constexpr uint64_t half_word = 1000000000;  // 10^9

constexpr auto powers_of_ten = [] {
    std::array<uint64_t, 20> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}();
uint64_t power_of_ten(int e) { return powers_of_ten[static_cast<size_t>(e)]; }

// The digit of x at position (from the least significant, 0 up).
int digit_at(const DecimalNumber& x, int64_t position) {
    const uint64_t word = x.words[static_cast<size_t>(position / decimal_word_digits)];
    return static_cast<int>(word / power_of_ten(static_cast<int>(position % decimal_word_digits)) %
                            10);
}

// Products with one short factor: row by row, each word times the other's words. The rows
// count their work, a million words' worth at a time, so that a long factor times a short
// one (a second at a billion words) moves the progress and sees an interrupt.
void schoolbook(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b) {
    out.assign(a.size() + b.size(), 0);
    const size_t rows_per_count = std::max<size_t>(1, (size_t{1} << 20) / b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        uint64_t carry = 0;
        for (size_t j = 0; j < b.size(); ++j) {
            const unsigned __int128 t =
                static_cast<unsigned __int128>(a[i]) * b[j] + out[i + j] + carry;
            const WordDivision d = divide_by_word(t);
            out[i + j] = d.r;
            carry = d.q;
        }
        out[i + b.size()] = carry;
        if ((i + 1) % rows_per_count == 0 || i + 1 == a.size())
            count_work(
                word_products_work(static_cast<double>((i % rows_per_count + 1) * b.size())));
    }
}

// out = a * b in a.size() + b.size() words by the transforms; a product too long for their
// lengths (about 1.2 billion digits) in halves that are, instead of through binary and GMP's
// own product on one thread, which took most of the time of 400000000!.
void transformed_product(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b, bool two) {
    if (std::min(a.size(), b.size()) <= decimal_row_by_row_words) return schoolbook(out, a, b);
    if (!decimal_product_in_halves(a.size(), b.size())) {
        decimal_multiply(out, a.data(), a.size(), b.data(), b.size(), two);
        return;
    }
    multiply_in_halves(out, a, b, [two](std::vector<uint64_t>& o, DecimalWords x, DecimalWords y) {
        transformed_product(o, x, y, two);
    });
}

// Without the transforms: through GMP, both ways converted.
void through_binary(DecimalNumber& out, const DecimalNumber& a, const DecimalNumber& b) {
    BigValue x, y;
    to_binary(a, x);
    to_binary(b, y);
    mpz_mul(x.get(), x.get(), y.get());
    to_decimal(out, x);
}

// Regroups the number's digits, taken nine at a time, into limbs of Digits digits; returns how
// many of the count limbs it wrote. It counts its work (see work_progress.h) as shares of the
// whole: a value of billions of digits takes seconds.
template <int Digits>
int64_t regroup(const DecimalNumber& x, int64_t count, int32_t* out) {
    constexpr uint64_t radix = powers_of_ten[Digits];
    uint64_t pending = 0;  // below 10^held
    int held = 0;
    int64_t next = 0;
    auto take = [&](uint64_t nine_digits) {
        pending += nine_digits * power_of_ten(held);
        held += 9;
        while (held >= Digits && next < count) {
            out[next++] = static_cast<int32_t>(pending % radix);
            pending /= radix;
            held -= Digits;
        }
    };
    constexpr size_t piece = size_t{1} << 22;
    const double per_word = 1.0 / static_cast<double>(std::max<size_t>(x.words.size(), 1));
    for (size_t i = 0; i < x.words.size(); ++i) {
        const uint64_t w = x.words[i];
        take(w % half_word);
        take(w / half_word);
        if ((i + 1) % piece == 0) count_work(per_word * static_cast<double>(piece));
    }
    if (x.words.size() % piece != 0)
        count_work(per_word * static_cast<double>(x.words.size() % piece));
    if (pending != 0 && next < count) out[next++] = static_cast<int32_t>(pending);
    return next;
}

int64_t regroup_any(const DecimalNumber& x, int32_t limb_digits, int64_t count, int32_t* out) {
    constexpr int64_t (*by_digits[])(const DecimalNumber&, int64_t, int32_t*) = {
        regroup<1>, regroup<2>, regroup<3>, regroup<4>, regroup<5>,
        regroup<6>, regroup<7>, regroup<8>, regroup<9>};
    return by_digits[(limb_digits >= 1 && limb_digits <= 8 ? limb_digits : 9) - 1](x, count, out);
}

}  // namespace

int64_t DecimalNumber::digit_count() const {
    if (words.empty()) return 0;
    int top = 1;
    for (uint64_t w = words.back(); w >= 10; w /= 10) ++top;
    return static_cast<int64_t>(words.size() - 1) * decimal_word_digits + top;
}

double DecimalNumber::log10() const {
    const size_t top = words.size() - 1;
    double lead = static_cast<double>(words[top]);
    if (top > 0) lead += static_cast<double>(words[top - 1]) / static_cast<double>(decimal_word);
    return std::log10(lead) + static_cast<double>(top * decimal_word_digits);
}

bool DecimalNumber::at_least(uint64_t mult, int64_t exp10) const {
    // x >= mult * 10^e exactly when the digits of x from position e up, read as a number,
    // are at least mult; mult has at most 20 digits.
    const int64_t digits = digit_count();
    if (digits - exp10 > 20) return true;
    unsigned __int128 high = 0;
    for (int64_t position = digits - 1; position >= exp10; --position)
        high = high * 10 + static_cast<unsigned>(digit_at(*this, position));
    return high >= mult;
}

void DecimalNumber::trim() {
    while (!words.empty() && words.back() == 0) words.pop_back();
}

void copy_counted(DecimalNumber& to, const DecimalNumber& from) {
    std::vector<uint64_t> words;
    // One word more, for the carry of a multiply_small.
    reserve_in_large_pages(words, from.words.size() + 1);
    append_counted(words, from.words);
    to.words.swap(words);
}

double copy_counted_work(size_t words) { return pass_work_per_word * static_cast<double>(words); }

void to_decimal(DecimalNumber& out, const BigValue& value, const std::atomic<bool>* cancel) {
    if (mpz_sgn(value.get()) == 0) {
        out.words.clear();
        return;
    }
    const auto count = static_cast<int64_t>((mpz_sizeinbase(value.get(), 10) + 17) / 18 * 2);
    LimbArray limbs;
    to_limbs(value, 9, count, limbs, cancel);
    out.words.resize(static_cast<size_t>(count / 2));
    for (size_t i = 0; i < out.words.size(); ++i)
        out.words[i] = static_cast<uint64_t>(limbs[2 * i]) +
                       static_cast<uint64_t>(limbs[2 * i + 1]) * half_word;
    out.trim();
}

void to_binary(const DecimalNumber& x, BigValue& out) {
    if (x.words.empty()) {
        mpz_set_ui(out.get(), 0);
        return;
    }
    std::string text = std::to_string(x.words.back());
    text.reserve(text.size() + (x.words.size() - 1) * decimal_word_digits);
    char word[decimal_word_digits + 1];
    for (size_t i = x.words.size() - 1; i-- > 0;) {
        std::snprintf(word, sizeof word, "%018llu", static_cast<unsigned long long>(x.words[i]));
        text.append(word, decimal_word_digits);
    }
    mpz_set_str(out.get(), text.c_str(), 10);
}

void multiply(DecimalNumber& out, const DecimalNumber& a, const DecimalNumber& b,
              bool two_threads) {
    if (a.words.empty() || b.words.empty()) {
        out.words.clear();
        return;
    }
    const size_t shorter = std::min(a.words.size(), b.words.size());
    if (shorter > decimal_row_by_row_words && !decimal_transforms_available())
        return through_binary(out, a, b);
    std::vector<uint64_t> product;
    transformed_product(product, a.words, b.words, two_threads);
    out.words.swap(product);
    out.trim();
}

void multiply_small(DecimalNumber& x, uint64_t m, double work) {
    constexpr size_t piece = size_t{1} << 20;
    const size_t size = x.words.size();
    // A carry past the top word needs room for it: push_back into a full vector would copy
    // the words afresh without a count (2.5 s at a billion words), so where the carry may come
    // they are copied first by copy_counted, which leaves a word of room.
    if (size > 0 && x.words.capacity() == size &&
        static_cast<unsigned __int128>(x.words.back() + 1) * m >= decimal_word)
        copy_counted(x, x);
    const double per_word = work / static_cast<double>(std::max<size_t>(size, 1));
    uint64_t carry = 0;
    for (size_t begin = 0; begin < size; begin += piece) {
        const size_t end = std::min(size, begin + piece);
        for (size_t i = begin; i < end; ++i) {
            const WordDivision d =
                divide_by_word(static_cast<unsigned __int128>(x.words[i]) * m + carry);
            x.words[i] = d.r;
            carry = d.q;
        }
        if (work > 0) count_work(per_word * static_cast<double>(end - begin));
    }
    if (carry != 0) x.words.push_back(carry);
    x.trim();
}

// The limbs are left uninitialised by their allocator and written once: the number's own,
// then zeros up to count. Clearing them all first cost a pass over a result of hundreds of
// megabytes at every backup.
void decimal_to_limbs(const DecimalNumber& x, int32_t limb_digits, int64_t count,
                      LimbArray& limbs) {
    resize_in_large_pages(limbs, static_cast<size_t>(count));
    int32_t* out = limbs.data();
    const int64_t written = regroup_any(x, limb_digits, count, out);
    std::fill(out + written, out + count, 0);
}

// The digits are gathered from the bottom in a 128-bit number: at most 17 digits are left
// over from the words written, and a limb adds at most 9.
void limbs_to_decimal(const LimbArray& limbs, int64_t top, int32_t limb_digits, DecimalNumber& x) {
    unsigned __int128 power[decimal_word_digits + 9];
    power[0] = 1;
    for (int d = 1; d < decimal_word_digits + 9; ++d) power[d] = power[d - 1] * 10;
    x.words.clear();
    x.words.reserve(static_cast<size_t>(int64_t{top + 1} * limb_digits / decimal_word_digits + 1));
    unsigned __int128 pending = 0;
    int digits = 0;
    for (int64_t i = 0; i <= top; ++i) {
        pending += power[digits] * static_cast<uint32_t>(limbs[static_cast<size_t>(i)]);
        digits += limb_digits;
        if (digits >= decimal_word_digits) {
            const WordDivision word = divide_by_word(pending);
            x.words.push_back(word.r);
            pending = word.q;
            digits -= decimal_word_digits;
        }
    }
    if (pending != 0) x.words.push_back(static_cast<uint64_t>(pending));
    x.trim();
}

}  // namespace cifrovar
