#pragma once

// Private to the transforms: the buffers that hold a transform, from the heap or mapped for
// themselves, and the split of a range of work over one thread or two.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "bignum/internal/side_by_side.h"
#include "bignum/mapped_blocks.h"

namespace cifrovar::ntt_kernels {

// Transform buffers are mapped for themselves and unmapped when done: from the heap, freed
// buffers of tens of megabytes stayed in the threads' arenas and added up, and large pages
// spare the page faults and the translation misses of the long strides. The shortest come
// from the heap: mapping, faulting and unmapping cost a product of 1100 words as much as its
// arithmetic, and what the heap keeps of them is small. Up to 20 KiB there (a product of
// 1100 words), the peak of 100000! stayed at 1.35 to 1.4 times that of GMP's pipeline; up to
// 32 KiB it rose to 1.5, up to 64 KiB to 1.67.
struct Buffer {
    static constexpr size_t heap_bytes = size_t{20} << 10;
    double* data = nullptr;
    size_t bytes = 0;
    explicit Buffer(size_t n) : bytes(n * sizeof(double)) {
        if (bytes <= heap_bytes) {
            data = static_cast<double*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64));
            if (!data) throw std::bad_alloc();
            return;
        }
        data = static_cast<double*>(take_mapped_block(bytes));
    }
    ~Buffer() {
        if (bytes <= heap_bytes) {
            std::free(data);
        } else {
            give_back_mapped_block(data, bytes);
        }
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
};

// Runs work(begin, end) over [0, count) on one thread or two, the split a multiple of 8.
template <typename Work>
void shared(bool two, size_t count, Work work) {
    if (!two || count < 1024) return work(size_t{0}, count);
    const size_t middle = count / 16 * 8;
    side_by_side([&] { work(size_t{0}, middle); }, [&] { work(middle, count); });
}

}  // namespace cifrovar::ntt_kernels
