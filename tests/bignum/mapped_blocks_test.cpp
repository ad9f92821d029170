#include "bignum/mapped_blocks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "support/mapped_pages.h"

namespace cifrovar {
namespace {

using testing::still_mapped;

constexpr size_t MiB = size_t{1} << 20;

class LongBlocksTest : public ::testing::Test {
  protected:
    void SetUp() override { release_kept_blocks(); }
    void TearDown() override { release_kept_blocks(); }
};

// A product repeated or a level of a product tree asks for the same long blocks again: they
// come back without being mapped afresh, but only up to a bound, and a block of another
// length unmaps them, so that a run moving on to longer products does not hold them beside.
TEST_F(LongBlocksTest, KeptForTheSameLengthUnmappedForAnotherAndBounded) {
    const size_t bytes = 256 * MiB;  // a gigabit product's four blocks; only the first is touched
    void* first = take_mapped_block(bytes);
    static_cast<char*>(first)[0] = 1;
    give_back_mapped_block(first, bytes);
    EXPECT_EQ(take_mapped_block(bytes), first);

    // Five given back: four fit within the bound, the fifth is unmapped at once.
    std::vector<void*> blocks{first};
    for (int i = 0; i < 4; ++i) blocks.push_back(take_mapped_block(bytes));
    for (void* block : blocks) give_back_mapped_block(block, bytes);
    int kept = 0;
    for (void* block : blocks) kept += still_mapped(block, bytes) ? 1 : 0;
    EXPECT_EQ(kept, 4);

    // The longer block may be mapped where kept ones were; those beside it must be gone.
    const size_t longer_bytes = 384 * MiB;
    void* longer = take_mapped_block(longer_bytes);
    const auto* begin = static_cast<char*>(longer);
    int looked_at = 0;
    for (void* block : blocks) {
        const auto* b = static_cast<char*>(block);
        if (b + bytes > begin && b < begin + longer_bytes) continue;
        EXPECT_FALSE(still_mapped(block, bytes));
        ++looked_at;
    }
    EXPECT_GE(looked_at, 2);
    give_back_mapped_block(longer, longer_bytes);
    EXPECT_TRUE(still_mapped(longer, longer_bytes));
    release_long_kept_blocks();
    EXPECT_FALSE(still_mapped(longer, longer_bytes));
}

// A product's words are made beside its transforms in use, never beside blocks kept: the
// short blocks kept for the next merges stay, the long ones go.
TEST_F(LongBlocksTest, ReleasingTheLongOnesKeepsTheShortOnes) {
    keep_blocks_up_to(16 * MiB);
    void* shorter = take_mapped_block(4 * MiB);
    void* longer = take_mapped_block(32 * MiB);
    give_back_mapped_block(shorter, 4 * MiB);
    give_back_mapped_block(longer, 32 * MiB);
    release_long_kept_blocks();
    EXPECT_FALSE(still_mapped(longer, 32 * MiB));
    EXPECT_TRUE(still_mapped(shorter, 4 * MiB));
    EXPECT_EQ(take_mapped_block(4 * MiB), shorter);
    give_back_mapped_block(shorter, 4 * MiB);
}

}  // namespace
}  // namespace cifrovar
