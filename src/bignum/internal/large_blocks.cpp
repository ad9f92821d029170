#include "bignum/internal/large_blocks.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>

namespace cifrovar {

void return_large_blocks_to_system() {
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
        return true;
    }();
    (void)done;
}

void advise_large_pages(void* block, size_t bytes) {
    constexpr uintptr_t page = 4096;
    constexpr size_t worth_it = size_t{4} << 20;
    if (bytes < worth_it) return;
    const auto begin = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace cifrovar
