#pragma once

// Private to the engine: a product kept as a binary counter of partial products.
#include <chrono>
#include <vector>

#include "bignum/big_value.h"

namespace cifrovar {

// Partial products of equal rank are merged, the oldest first, so the final product is as
// balanced as a product tree while every pushed chunk is a consistent checkpoint.
class ProductCounter {
  public:
    // Adds a chunk; merges what fits before the deadline. A merge that would run past it waits
    // for a later push, so one multiplication of two huge partials never holds up a batch.
    void push(BigValue&& chunk, std::chrono::steady_clock::time_point deadline);
    // out *= the whole product; the counter is empty afterwards.
    void multiply_into(BigValue& out);
    // log10 of the whole product (0 when empty).
    double log10_product() const;
    bool empty() const { return parts_.empty(); }
    void clear() { parts_.clear(); }

  private:
    struct Partial {
        BigValue value;
        int rank;
    };
    void merge_affordable(std::chrono::steady_clock::time_point deadline);
    std::vector<Partial> parts_;
    // Merge time per limb (times log2 of the limbs): the dearest merge measured so far, since
    // large products cost more per limb.
    double seconds_per_limb_ = 0;
};

}  // namespace cifrovar
