#include "platform/heap_warmup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The warmed block goes back to the heap, and the next large allocation is carved from it
// instead of being given fresh pages of its own.
TEST(HeapWarmupTest, TheNextLargeAllocationComesFromTheWarmedBlock) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the heap is warmed under the GNU C library only";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator stands in for the library's heap";
#else
    constexpr std::size_t kBlock = std::size_t(40) << 20;
    HeapWarmup warm(kBlock);
    ASSERT_FALSE(warm.pieces().empty());
    std::vector<std::uintptr_t> at;
    for (const auto& p : warm.pieces()) at.push_back(reinterpret_cast<std::uintptr_t>(p.at));
    const std::uintptr_t first = std::ranges::min(at), last = std::ranges::max(at);
    warm.Release();
    EXPECT_TRUE(warm.pieces().empty());

    void* texture = std::malloc(std::size_t(6) << 20); // the size of a large texture
    ASSERT_NE(texture, nullptr);
    const auto carved = reinterpret_cast<std::uintptr_t>(texture);
    EXPECT_GE(carved, first);
    EXPECT_LE(carved, last);
    std::free(texture);
#endif
}

TEST(HeapWarmupTest, NothingIsTakenForZeroBytesAndAnUnreleasedWarmupLetsGo) {
    EXPECT_TRUE(HeapWarmup(0).pieces().empty());
    { HeapWarmup left(std::size_t(1) << 20); } // released on the way out, with its thread
    HeapWarmup twice(std::size_t(1) << 20);
    twice.Release();
    twice.Release();
    EXPECT_TRUE(twice.pieces().empty());
}
