#pragma once

// Private to the engine: the large multiplications of a run spread over two threads.
#include "engine/big_value.h"

namespace cifrovar {

// out = a * b; out may be a or b. Products of large operands are computed as two halves on
// two threads; small ones straight away.
void multiply(BigValue& out, const BigValue& a, const BigValue& b);

// out = n!, with its two largest parts computed on two threads.
void factorial(BigValue& out, unsigned long n);

}  // namespace cifrovar
