#pragma once

// Private to the library: a product too long for the transforms taken as products of its
// factors' halves. Both factors long: Karatsuba's three, a0 b0, a1 b1 and (a0 + a1)(b0 + b1),
// the middle one less the other two; one factor at most half the other's length: the long
// one's halves each times the short one. Each of these shorter products goes back to the
// caller's own multiplication, which may split it again.
#include <gmp.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace cifrovar {

using DecimalWords = std::span<const uint64_t>;  // 18 digits a word, least significant first
using DecimalProduct =
    std::function<void(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b)>;
using BinaryProduct = std::function<void(mpz_ptr out, mpz_srcptr a, mpz_srcptr b)>;

// out = a * b in a.size() + b.size() words, the shorter products by piece (which writes its
// product of x and y in x.size() + y.size() words). Neither factor may be empty.
void multiply_in_halves(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b,
                        const DecimalProduct& piece);

// out = a * b (out may be a or b), the shorter products by piece (which may not be handed out
// and a factor as the same value).
void multiply_in_halves(mpz_ptr out, mpz_srcptr a, mpz_srcptr b, const BinaryProduct& piece);

// What a word of a pass over the words counts: as much as 24 units of decimal_product_work
// (about 10 ns against the 2.3e9 units a second of the products).
constexpr double pass_work_per_word = 24;

// out += words, out having room for them, in pieces that count their work (see
// work_progress.h) as the halves' own passes do.
void append_counted(std::vector<uint64_t>& out, DecimalWords words);

// The work of a product of a_words by b_words (a square's when square) in halves as the
// decimal multiply_in_halves takes them and counts it: the shorter products' by piece_work,
// and its own passes over the words.
double work_in_halves(size_t a_words, size_t b_words,
                      const std::function<double(size_t, size_t)>& piece_work, bool square = false);

// The bytes such a product holds beside its factors at its largest: the product's words, the
// halves' sums and the shorter product made meanwhile, whose own bytes (its words included)
// piece_bytes gives.
double bytes_in_halves(size_t a_words, size_t b_words,
                       const std::function<double(size_t, size_t, bool)>& piece_bytes,
                       bool square = false);

}  // namespace cifrovar
