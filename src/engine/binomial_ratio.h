#pragma once

// Private to the engine: the factor from one binomial coefficient to a later one of the same n.
#include <cstdint>
#include <vector>

#include "bignum/big_value.h"

namespace cifrovar {

class BinomialRatio {
  public:
    // C(n, b) / C(n, a) = numerator / denominator for a <= b <= n. The factors n-a .. n-b+1 are
    // freed of the primes of b!/a! first, so the numerator stays near the size of the ratio and
    // the denominator holds only what they could not cancel.
    void compute(uint32_t n, uint32_t a, uint32_t b, BigValue& numerator, BigValue& denominator);

  private:
    const std::vector<uint32_t>& primes_up_to(uint32_t limit);
    std::vector<uint32_t> primes_;
    uint32_t sieved_to_ = 1;
};

}  // namespace cifrovar
