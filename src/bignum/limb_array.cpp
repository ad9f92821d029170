#include "bignum/limb_array.h"

#include "bignum/internal/large_blocks.h"

namespace cifrovar {

void resize_limbs(LimbArray& limbs, size_t count) {
    if (count > limbs.size()) {
        limbs.reserve(count);
        advise_large_pages(limbs.data() + limbs.size(), (count - limbs.size()) * sizeof(int32_t));
    }
    limbs.resize(count);
}

}  // namespace cifrovar
