// Limbs from outside are checked against the value they claim by their residue: the limbs of
// a factorial in every width match its product, but not a neighbour's.
#include "engine/residue_check.h"

#include <gtest/gtest.h>

#include "support/decimal_words.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

TEST(ResidueCheckTest, LimbsOfEveryWidthMatchTheirProductAndNoNeighbour) {
    BigValue value;
    read_decimal(value, factorial_text(20000).c_str());
    for (const int32_t digits : {1, 4, 7, 9}) {
        const int64_t count = static_cast<int64_t>(decimal_length_bound(value)) / digits + 3;
        const pole1 limbs = reference_limbs(value, digits, count);
        const auto top = static_cast<int32_t>(count - 1);
        EXPECT_EQ(limbs_residue(limbs, top, digits), falling_product_residue(20000, 20000));
        EXPECT_NE(limbs_residue(limbs, top, digits), falling_product_residue(20001, 20001));
        EXPECT_NE(limbs_residue(limbs, top, digits), falling_product_residue(20000, 19998));
    }
}

}  // namespace
}  // namespace cifrovar::testing
