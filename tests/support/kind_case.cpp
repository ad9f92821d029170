#include "support/kind_case.h"

#include "support/gmp_oracle.h"

namespace cifrovar::testing {

std::string expected_digits(const KindCase& c) {
    const unsigned long first = std::stoul(c.first);
    const unsigned long second = c.second[0] != '\0' ? std::stoul(c.second) : 0;
    switch (c.calc_kind) {
        case kind::powers:
            return power_text(first, second);
        case kind::factorial:
            return factorial_text(first);
        case kind::variations:
            return variations_text(first, second);
        default:
            return binomial_text(second, first);
    }
}

void start(EngineFixture& f, const KindCase& c) {
    switch (c.calc_kind) {
        case kind::powers:
            return f.power(c.first, c.second);
        case kind::factorial:
            return f.factorial(c.first);
        case kind::variations:
            return f.variations(c.first, c.second);
        default:
            return f.combinations(c.first, c.second);
    }
}

}  // namespace cifrovar::testing
