#include "demo/heap_warmup.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Page faults this thread has taken so far.
long ThreadFaults() {
    rusage usage{};
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_minflt : 0;
}

} // namespace

// What the warm-up is for: once it is released, a large block that this thread fills (a texture
// the GL driver copies, say) finds pages that are already there, where fresh ones would cost a
// fault each.
TEST(HeapWarmupTest, AfterAWarmupALargeBlockFilledHereTakesFewPageFaults) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the heap is warmed under the GNU C library only";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator stands in for the library's heap";
#else
    HeapWarmup warm(std::size_t(40) << 20);
    ASSERT_FALSE(warm.pieces().empty());
    std::thread([&warm] { warm.Touch(); }).join(); // as a start-up worker touches it
    warm.Release();
    EXPECT_TRUE(warm.pieces().empty());

    constexpr std::size_t kTexture = std::size_t(6) << 20;
    const long pages = long(kTexture / 4096);
    const long before = ThreadFaults();
    // Through a volatile pointer: the compiler may not leave out a fill that nothing reads.
    unsigned char* volatile texture = static_cast<unsigned char*>(std::malloc(kTexture));
    ASSERT_NE(texture, nullptr);
    std::memset(texture, 1, kTexture);
    const long faults = ThreadFaults() - before;
    EXPECT_EQ(texture[kTexture - 1], 1);
    std::free(texture);
    EXPECT_LT(faults, pages / 10) << "of " << pages << " pages";
#endif
}

TEST(HeapWarmupTest, NothingIsTakenForZeroBytesAndAnUnreleasedWarmupLetsGo) {
    EXPECT_TRUE(HeapWarmup(0).pieces().empty());
    { HeapWarmup left(std::size_t(1) << 20); } // released on the way out
    HeapWarmup twice(std::size_t(1) << 20);
    twice.Touch([] { return true; }); // stopped before the first megabyte
    twice.Release();
    twice.Release();
    EXPECT_TRUE(twice.pieces().empty());
}
