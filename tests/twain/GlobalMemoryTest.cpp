#include "GlobalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// A small block comes from the heap, a page-sized one (tens of megabytes) from a mapping of its
// own: both are zero-filled, writable to their last byte and gone once freed.
TEST(GlobalMemoryTest, SmallAndPageSizedBlocksBehaveAlike) {
    for (const std::size_t size : {std::size_t(1), std::size_t(1000), std::size_t(26092134)}) {
        HGLOBAL block = GlobalAlloc(size);
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(GlobalSize(block), size);
        auto* data = static_cast<unsigned char*>(GlobalLock(block));
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(std::all_of(data, data + size, [](unsigned char c) { return c == 0; }));
        std::memset(data, 0xAB, size);
        EXPECT_EQ(GlobalLock(block), data) << "the block stays where it is";
        EXPECT_TRUE(GlobalUnlock(block));
        EXPECT_FALSE(GlobalUnlock(block));
        EXPECT_EQ(GlobalFree(block), nullptr);
        EXPECT_EQ(GlobalSize(block), 0u);
        EXPECT_EQ(GlobalLock(block), nullptr);
        EXPECT_EQ(GlobalFree(block), block) << "a block is freed once";
    }
}

} // namespace
