#pragma once

// The conversion of a large binary value into decimal limbs by repeated
// division, the two halves of the value converted on two threads.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "bignum/big_value.h"
#include "bignum/cancel.h"
#include "bignum/limb_array.h"

namespace cifrovar {

// Values longer than this many bits are converted faster by splitting than by GMP in one piece.
constexpr size_t split_pays_above_bits = 200000;

struct SplitOptions {
    // Limbs of one leaf piece, below which GMP converts the piece by itself.
    int64_t leaf_limbs = 256;
    // Levels of the division tree whose halves are converted on a second thread.
    int parallel_levels = 1;
    // Checked between pieces; when it turns true the conversion throws Cancelled.
    const std::atomic<bool>* cancel = nullptr;
};

// Writes value (>= 0) into limbs[0 .. count - 1] in radix 10^limb_digits, zeros above the
// value. The value must fit into count limbs. The array is resized to count.
void split_to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, LimbArray& limbs,
                    const SplitOptions& options = {});

// The same by the faster way for the value's length: up to split_pays_above_bits in one piece
// by GMP, longer ones split, their halves on two threads. When cancel turns true meanwhile, a
// long conversion throws Cancelled.
void to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, LimbArray& limbs,
              const std::atomic<bool>* cancel = nullptr);

}  // namespace cifrovar
