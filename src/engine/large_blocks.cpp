#include "engine/large_blocks.h"

#include <malloc.h>

namespace cifrovar {

void return_large_blocks_to_system() {
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
        return true;
    }();
    (void)done;
}

}  // namespace cifrovar
