#include "bignum/mapped_blocks.h"

#include <sys/mman.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace cifrovar {

namespace {

// Blocks up to this size are kept, up to this much in all, and at most half the largest block
// asked for since the last release: short runs keep about their peak, long ones spend a few
// tens of megabytes on not faulting their merges' pages in again.
constexpr size_t kept_block_bytes = size_t{16} << 20;
constexpr size_t kept_total_bytes = size_t{64} << 20;
// Longer blocks, the transforms of products from about a hundred megabits on, are kept up to
// this much in all for the next product of the same length (a level of a product tree, a
// product repeated), and unmapped as soon as a block of another length is asked for, so that
// a run moving on to longer products holds none of them beside those. A 109-megabit product
// faulted four fresh blocks of 32 MiB in and spent about a tenth of its time so; a gigabit one
// four of 256 MiB and a fifth of its time, and on some runs half.
constexpr size_t kept_long_bytes = size_t{1} << 30;

struct KeptBlocks {
    std::mutex lock;
    std::vector<std::pair<void*, size_t>> blocks;
    size_t total = 0;       // of the blocks up to kept_block_bytes
    size_t long_total = 0;  // of the longer ones
    size_t largest = 0;     // the largest block asked for since the last release
    size_t allowed = 0;     // what keep_blocks_up_to() allows since the last release
};

KeptBlocks& kept() {
    static KeptBlocks k;
    return k;
}

// The total of the blocks kept of the class of bytes: up to kept_block_bytes, or longer.
size_t& total_of(KeptBlocks& k, size_t bytes) {
    return bytes <= kept_block_bytes ? k.total : k.long_total;
}

// Unmaps the longer blocks kept; the lock is held.
void unmap_long_blocks(KeptBlocks& k) {
    std::erase_if(k.blocks, [](const std::pair<void*, size_t>& b) {
        if (b.second <= kept_block_bytes) return false;
        munmap(b.first, b.second);
        return true;
    });
    k.long_total = 0;
}

}  // namespace

void* take_mapped_block(size_t bytes) {
    {
        KeptBlocks& k = kept();
        const std::lock_guard guard(k.lock);
        k.largest = std::max(k.largest, bytes);
        for (auto it = k.blocks.rbegin(); it != k.blocks.rend(); ++it) {
            if (it->second != bytes) continue;
            void* block = it->first;
            total_of(k, bytes) -= bytes;
            k.blocks.erase(std::next(it).base());
            return block;
        }
        unmap_long_blocks(k);
    }
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    if (bytes >= (size_t{4} << 20)) madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void give_back_mapped_block(void* block, size_t bytes) {
    {
        KeptBlocks& k = kept();
        const std::lock_guard guard(k.lock);
        const bool keep =
            bytes <= kept_block_bytes
                ? k.total + bytes <= std::min(kept_total_bytes, std::max(k.largest / 2, k.allowed))
                : k.long_total + bytes <= kept_long_bytes;
        if (keep) {
            k.blocks.emplace_back(block, bytes);
            total_of(k, bytes) += bytes;
            return;
        }
    }
    munmap(block, bytes);
}

void release_long_kept_blocks() {
    KeptBlocks& k = kept();
    const std::lock_guard guard(k.lock);
    unmap_long_blocks(k);
}

void release_long_kept_blocks_before(size_t bytes) {
    // glibc maps blocks from here on for themselves (see return_large_blocks_to_system)
    constexpr size_t own_mapping_bytes = size_t{1} << 20;
    if (bytes >= own_mapping_bytes) release_long_kept_blocks();
}

void release_kept_blocks() {
    KeptBlocks& k = kept();
    const std::lock_guard guard(k.lock);
    for (const auto& [block, bytes] : k.blocks) munmap(block, bytes);
    k.blocks.clear();
    k.total = 0;
    k.long_total = 0;
    k.largest = 0;
    k.allowed = 0;
}

void keep_blocks_up_to(size_t bytes) {
    KeptBlocks& k = kept();
    const std::lock_guard guard(k.lock);
    k.allowed = std::max(k.allowed, bytes);
}

}  // namespace cifrovar
