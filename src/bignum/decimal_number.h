#pragma once

// Non-negative integers in words of 18 decimal digits. Results whose
// products are taken in this radix need no conversion from binary at the end, which for long
// results costs several times their arithmetic.
#include <atomic>
#include <cstdint>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/fast_multiply.h"
#include "bignum/limb_array.h"

namespace cifrovar {

struct DecimalNumber {
    std::vector<uint64_t> words;  // least significant first, no zero word on top; zero is empty

    int64_t digit_count() const;
    // log10 of a positive number, accurate to about 1e-15 of the exponent.
    double log10() const;
    // Whether the number is at least mult * 10^exp10 (exp10 >= 0), exactly.
    bool at_least(uint64_t mult, int64_t exp10) const;
    void trim();
};

// to = from, the words mapped afresh in large pages and copied in pieces that count their
// work (see work_progress.h), so that copying a level of 999999999! (1.9 GB, 6 s on small
// pages) still moves the progress and sees an interrupt. Cancelled leaves to unchanged.
void copy_counted(DecimalNumber& to, const DecimalNumber& from);
// The work copy_counted counts for a number of this many words.
double copy_counted_work(size_t words);
// out = value (>= 0). When cancel turns true meanwhile, a long conversion throws Cancelled.
void to_decimal(DecimalNumber& out, const BigValue& value,
                const std::atomic<bool>* cancel = nullptr);
// out = x, the way back.
void to_binary(const DecimalNumber& x, BigValue& out);
// out = a * b (out may be a or b), on two threads when two_threads.
void multiply(DecimalNumber& out, const DecimalNumber& a, const DecimalNumber& b,
              bool two_threads = false);
// x = x * m for m below 10^18. A carry word past the top is added in the room the words
// have (copy_counted leaves one); without it they are moved first.
// work, when above 0, is counted into the progress of the thread as the words are passed
// (see work_progress.h; word_products_work gives it): at billions of digits the pass takes
// seconds.
void multiply_small(DecimalNumber& x, uint64_t m, double work = 0);
// Writes x into limbs[0 .. count - 1] in radix 10^limb_digits (1 to 9), zeros above; x must
// fit into count limbs. The array is resized to count. It counts its work (see
// work_progress.h), one unit in all.
void decimal_to_limbs(const DecimalNumber& x, int32_t limb_digits, int64_t count, LimbArray& limbs);
// x = the value of limbs[0 .. top] in radix 10^limb_digits (1 to 9, every limb in range).
void limbs_to_decimal(const LimbArray& limbs, int64_t top, int32_t limb_digits, DecimalNumber& x);

}  // namespace cifrovar
