#pragma once

// Whether a block's pages are still mapped, for tests of the blocks the transforms keep.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace cifrovar::testing {

// mincore fails with ENOMEM on a range that is not mapped.
inline bool still_mapped(void* block, size_t bytes) {
    std::vector<unsigned char> pages((bytes + 4095) / 4096);
    if (mincore(block, bytes, pages.data()) == 0) return true;
    EXPECT_EQ(errno, ENOMEM);
    return false;
}

}  // namespace cifrovar::testing
