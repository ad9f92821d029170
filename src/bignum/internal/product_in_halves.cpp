#include "bignum/internal/product_in_halves.h"

#include <algorithm>
#include <utility>

#include "bignum/decimal_word.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/work_progress.h"

namespace cifrovar {

namespace {

// Frees a product's words before the next one is made, so that two never add up.
void release(std::vector<uint64_t>& words) { std::vector<uint64_t>().swap(words); }

// The halves' own passes over the words count their work as they go, in pieces, so that a
// pass over gigabytes still moves the progress and sees an interrupt: the top level of
// 999999999! went 11 s without a count.
constexpr size_t words_per_count = size_t{1} << 22;

template <typename Pass>
void in_pieces(size_t count, Pass pass) {
    for (size_t begin = 0; begin < count; begin += words_per_count) {
        const size_t end = std::min(count, begin + words_per_count);
        pass(begin, end);
        count_work(pass_work_per_word * static_cast<double>(end - begin));
    }
}

// out[at ..] += x, the carry going on to the top of out at most.
void add_at(std::vector<uint64_t>& out, size_t at, DecimalWords x) {
    uint64_t carry = 0;
    const size_t count = std::min(x.size(), out.size() - std::min(at, out.size()));
    uint64_t* o = out.data() + at;
    in_pieces(count, [&](size_t begin, size_t end) {
        for (size_t j = begin; j < end; ++j) {
            const uint64_t t = o[j] + x[j] + carry;
            carry = t >= decimal_word;
            o[j] = t - (carry ? decimal_word : 0);
        }
    });
    for (size_t k = at + count; carry != 0 && k < out.size(); ++k) {
        const uint64_t t = out[k] + 1;
        carry = t >= decimal_word;
        out[k] = carry ? 0 : t;
    }
}

// z -= x, for z at least x.
void subtract(std::vector<uint64_t>& z, DecimalWords x) {
    uint64_t borrow = 0;
    in_pieces(x.size(), [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
            const uint64_t taken = x[k] + borrow;
            borrow = z[k] < taken;
            z[k] = z[k] - taken + (borrow ? decimal_word : 0);
        }
    });
    for (size_t k = x.size(); borrow != 0 && k < z.size(); ++k) {
        borrow = z[k] == 0;
        z[k] = borrow ? decimal_word - 1 : z[k] - 1;
    }
}

// low + high, one word longer than the longer of them.
std::vector<uint64_t> sum_of(DecimalWords low, DecimalWords high) {
    const size_t size = std::max(low.size(), high.size()) + 1;
    std::vector<uint64_t> sum;
    reserve_in_large_pages(sum, size);
    append_counted(sum, low);
    sum.resize(size, 0);
    add_at(sum, 0, high);
    return sum;
}

// A read-only value on limbs of another, without copying them.
mpz_srcptr view(mpz_t x, const mp_limb_t* limbs, size_t size) {
    return mpz_roinit_n(x, limbs, static_cast<mp_size_t>(size));
}

}  // namespace

void append_counted(std::vector<uint64_t>& out, DecimalWords words) {
    in_pieces(words.size(), [&](size_t begin, size_t end) {
        out.insert(out.end(), words.begin() + static_cast<std::ptrdiff_t>(begin),
                   words.begin() + static_cast<std::ptrdiff_t>(end));
    });
}

// The halves are split at h words of the longer factor a: a = a1 10^(18 h) + a0. With b no
// longer than h, a0 b and a1 b are added at their places. Otherwise a0 b0 and a1 b1 fill the
// product's lower 2 h words and the rest without overlapping; the middle product less both
// of them is added from word h on.
void multiply_in_halves(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b,
                        const DecimalProduct& piece) {
    if (a.size() < b.size()) std::swap(a, b);
    const size_t size = a.size() + b.size(), h = (a.size() + 1) / 2;
    std::vector<uint64_t> part;
    if (a.size() < 2 || b.size() <= h) {
        resize_in_large_pages(out, size);
        std::fill(out.begin(), out.end(), 0);
        if (a.size() < 2) return piece(out, a, b);
        piece(part, a.first(h), b);
        add_at(out, 0, part);
        release(part);
        piece(part, a.subspan(h), b);
        add_at(out, h, part);
        return;
    }
    // The product's words are a0 b0's and then a1 b1's, appended without clearing them first.
    reserve_in_large_pages(out, size);
    piece(part, a.first(h), b.first(h));
    append_counted(out, DecimalWords(part).first(2 * h));
    release(part);
    piece(part, a.subspan(h), b.subspan(h));
    append_counted(out, DecimalWords(part).first(size - 2 * h));
    release(part);
    {
        const bool square = a.data() == b.data() && a.size() == b.size();
        const std::vector<uint64_t> s = sum_of(a.first(h), a.subspan(h));
        const std::vector<uint64_t> t =
            square ? std::vector<uint64_t>{} : sum_of(b.first(h), b.subspan(h));
        piece(part, s, square ? DecimalWords(s) : DecimalWords(t));
    }
    const DecimalWords whole(out);
    subtract(part, whole.first(2 * h));
    subtract(part, whole.subspan(2 * h));
    add_at(out, h, part);
}

// The same in limbs of 64 bits. The halves are read-only views of the factors' limbs, and
// a0 b0 and a1 b1 are written into the product's limbs, where views of them are subtracted
// from the middle product. A square's products are squares again, which cost less.
void multiply_in_halves(mpz_ptr out, mpz_srcptr a, mpz_srcptr b, const BinaryProduct& piece) {
    if (mpz_sgn(a) == 0 || mpz_sgn(b) == 0) return mpz_set_ui(out, 0);
    if (mpz_size(a) < mpz_size(b)) std::swap(a, b);
    const bool square = a == b;
    const size_t na = mpz_size(a), nb = mpz_size(b), size = na + nb, h = (na + 1) / 2;
    const bool negative = (mpz_sgn(a) < 0) != (mpz_sgn(b) < 0);
    const mp_limb_t *al = mpz_limbs_read(a), *bl = mpz_limbs_read(b);
    mpz_t product, part, a0, a1, b0, b1, low, high;
    mpz_init2(product, static_cast<mp_bitcnt_t>(size * GMP_NUMB_BITS));
    mpz_init(part);
    mp_limb_t* limbs = mpz_limbs_write(product, static_cast<mp_size_t>(size));
    std::fill(limbs, limbs + size, mp_limb_t{0});
    auto multiply_part = [&](mpz_srcptr x, mpz_srcptr y) {
        mpz_clear(part);
        mpz_init(part);
        piece(part, x, y);
    };
    auto add_part_at = [&](size_t at) {
        const size_t n = mpz_size(part);
        if (n > 0)
            mpn_add(limbs + at, limbs + at, static_cast<mp_size_t>(size - at), mpz_limbs_read(part),
                    static_cast<mp_size_t>(n));
    };
    auto put_part_at = [&](size_t at) {
        std::copy(mpz_limbs_read(part), mpz_limbs_read(part) + mpz_size(part), limbs + at);
    };
    if (nb <= h) {
        multiply_part(view(a0, al, h), view(b0, bl, nb));
        add_part_at(0);
        multiply_part(view(a1, al + h, na - h), view(b0, bl, nb));
        add_part_at(h);
    } else {
        mpz_srcptr low_a = view(a0, al, h), high_a = view(a1, al + h, na - h);
        multiply_part(low_a, square ? low_a : view(b0, bl, h));
        put_part_at(0);
        multiply_part(high_a, square ? high_a : view(b1, bl + h, nb - h));
        put_part_at(2 * h);
        mpz_t s, t;
        mpz_init(s);
        mpz_init(t);
        mpz_add(s, low_a, high_a);
        if (!square) mpz_add(t, view(b0, bl, h), view(b1, bl + h, nb - h));
        multiply_part(s, square ? s : t);
        mpz_clear(s);
        mpz_clear(t);
        mpz_sub(part, part, view(low, limbs, 2 * h));
        mpz_sub(part, part, view(high, limbs + 2 * h, size - 2 * h));
        add_part_at(h);
    }
    mpz_clear(part);
    mpz_limbs_finish(product, static_cast<mp_size_t>(size));
    if (negative) mpz_neg(product, product);
    mpz_swap(out, product);
    mpz_clear(product);
}

double work_in_halves(size_t a_words, size_t b_words,
                      const std::function<double(size_t, size_t)>& piece_work, bool square) {
    if (a_words < b_words) std::swap(a_words, b_words);
    const size_t h = (a_words + 1) / 2;
    if (a_words < 2) return piece_work(a_words, b_words);
    const double size = static_cast<double>(a_words + b_words);
    // The passes: two additions of the parts' products; or the copies of a0 b0 and a1 b1, the
    // sums (a square's one), the subtractions, each once over the product's length, and the
    // addition over half of it.
    if (b_words <= h)
        return piece_work(h, b_words) + piece_work(a_words - h, b_words) +
               pass_work_per_word * (size + static_cast<double>(b_words));
    return piece_work(h, h) + piece_work(a_words - h, b_words - h) + piece_work(h + 1, h + 1) +
           pass_work_per_word * (square ? 3 : 3.5) * size;
}

double bytes_in_halves(size_t a_words, size_t b_words,
                       const std::function<double(size_t, size_t, bool)>& piece_bytes,
                       bool square) {
    if (a_words < b_words) std::swap(a_words, b_words);
    const size_t h = (a_words + 1) / 2;
    constexpr double word = sizeof(uint64_t);
    const double out = word * static_cast<double>(a_words + b_words);
    if (a_words < 2) return out;
    if (b_words <= h) return out + piece_bytes(h, b_words, false);
    // The middle product is made while the product's words and the sums are all there.
    const double sums = (square ? 1 : 2) * word * static_cast<double>(h + 1);
    return out + sums + piece_bytes(h + 1, h + 1, square);
}

}  // namespace cifrovar
