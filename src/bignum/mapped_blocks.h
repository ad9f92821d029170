#pragma once

// The mapped blocks of the transforms, kept for the next product of
// the same size instead of unmapped. A product tree asks for the same few sizes again and
// again, and on this machine a quarter of a long product's time went to faulting fresh pages
// in and to unmapping them.
#include <cstddef>

namespace cifrovar {

// A block of bytes (a multiple of the page size is not needed), mapped or taken from those
// kept; its contents are undefined.
void* take_mapped_block(size_t bytes);
// Keeps the block for a later take of the same size while the blocks kept stay within their
// bound; unmaps it otherwise. A take that finds no block of its size unmaps the blocks above
// 16 MiB kept.
void give_back_mapped_block(void* block, size_t bytes);
// Lets the blocks kept add up to this many bytes (within their bound) until the next release,
// for a computation that knows it makes many products of the same few sizes.
void keep_blocks_up_to(size_t bytes);
// Unmaps every block kept, so that a computation's end leaves no memory behind.
void release_kept_blocks();
// Unmaps the blocks above 16 MiB kept.
void release_long_kept_blocks();
// The same before a block of this many bytes is allocated beside them, where it is a mapping
// of its own (1 MiB and more): a product's limbs, a run's next value, a conversion. Blocks
// that the heap serves leave them kept.
void release_long_kept_blocks_before(size_t bytes);

// Releases the blocks kept when the scope of a computation ends, however it ends.
struct KeptBlocksReleasedAtEnd {
    KeptBlocksReleasedAtEnd() = default;
    KeptBlocksReleasedAtEnd(const KeptBlocksReleasedAtEnd&) = delete;
    KeptBlocksReleasedAtEnd& operator=(const KeptBlocksReleasedAtEnd&) = delete;
    ~KeptBlocksReleasedAtEnd() { release_kept_blocks(); }
};

}  // namespace cifrovar
