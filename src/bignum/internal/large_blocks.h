#pragma once

// Private to the library: how the process gets its large blocks of memory.
#include <cstddef>
#include <vector>

#include "bignum/mapped_blocks.h"

namespace cifrovar {

// Makes every block from 1 MiB on a mapping of its own, given back when freed. glibc
// otherwise raises that limit after the first large free, and the long values, products and
// remainders that the threads free then stay in their heaps: 10000000! peaked at 301 MiB so,
// against 256 MiB this way. Once per process; later calls do nothing.
void return_large_blocks_to_system();

// Asks for the pages of a block not yet touched to be large ones. Small pages cost a fault each
// when first written, and on some virtual machines such faults took a third of a long product's
// time; large pages take 512 times fewer. Blocks below a few megabytes are left alone.
void advise_large_pages(void* block, size_t bytes);

// v emptied with room for size elements, mapped afresh and advised to large pages before its
// first touch, for elements that are then appended.
template <typename T, typename A>
void reserve_in_large_pages(std::vector<T, A>& v, size_t size) {
    std::vector<T, A>().swap(v);
    release_long_kept_blocks_before(size * sizeof(T));
    v.reserve(size);
    advise_large_pages(v.data(), size * sizeof(T));
}

// v.resize(size), a vector that must grow mapped afresh and advised to large pages before its
// first touch; its contents are kept only up to the size it had if it did not have to grow.
template <typename T, typename A>
void resize_in_large_pages(std::vector<T, A>& v, size_t size) {
    if (v.capacity() < size) reserve_in_large_pages(v, size);
    v.resize(size);
}

}  // namespace cifrovar
