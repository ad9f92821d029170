#pragma once

// A calculation of any kind given by its two operands, started through the engine the way the
// window starts it, and its digits as GMP gives them.
#include <cstdint>
#include <string>

#include "support/engine_fixture.h"

namespace cifrovar::testing {

struct KindCase {
    const char* name;
    int32_t calc_kind;
    const char* first;   // base, n, or the class
    const char* second;  // exponent, or the elements; unused for factorials
};

std::string expected_digits(const KindCase& c);
void start(EngineFixture& f, const KindCase& c);

}  // namespace cifrovar::testing
