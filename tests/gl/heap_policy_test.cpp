// The heap settings the first display of a process makes for the GL driver (GraphicsHeapPolicy),
// and a program's way to keep its own. Each case runs in a process of its own, since the
// settings are made once per process.
#include "platform/display.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long threadFaults() {
    rusage usage{};
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_minflt : 0;
}

constexpr std::size_t kBlock = std::size_t(64) << 10;
constexpr int kBlocks = 256; // 16 MB
constexpr long kPages = long(kBlock) * kBlocks / 4096;

// What a software GL driver does with a frame's scene: 16 MB in 64 KB blocks, filled, freed
// when the frame is drawn. Returns the page faults of the same blocks taken and filled again
// (the next frame).
long nextFrameFaults() {
    std::vector<unsigned char*> blocks;
    const auto take = [&blocks] {
        for (int i = 0; i < kBlocks; ++i) {
            // Through a volatile pointer: the compiler may not leave out a fill nothing reads.
            unsigned char* volatile block = static_cast<unsigned char*>(std::malloc(kBlock));
            if (!block) std::_Exit(3);
            std::memset(block, 1, kBlock);
            unsigned char* const filled = block;
            blocks.push_back(filled);
        }
    };
    take();
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) std::free(*it);
    blocks.clear();
    const long before = threadFaults();
    take();
    const long faults = threadFaults() - before;
    for (unsigned char* block : blocks) std::free(block);
    return faults;
}

// In a process of its own: opens the display (after GraphicsHeapPolicy(false) when keep), then
// exits with 0 when the next frame's blocks took fewer than a tenth of their pages in faults, 1
// when they took more than half of them, 2 otherwise.
[[noreturn]] void frameAfterOpening(bool keep) {
    if (keep) GraphicsHeapPolicy(false);
    Graphics(320, 240, 0, 60, 2);
    const long faults = nextFrameFaults();
    std::fprintf(stderr, "next frame: %ld faults of %ld pages\n", faults, kPages);
    std::_Exit(faults < kPages / 10 ? 0 : faults > kPages / 2 ? 1 : 2);
}

TEST(HeapPolicyTest, TheDisplayKeepsAFramesFreedBlocksUnlessTheProgramKeepsItsOwnPolicy) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the heap is set under the GNU C library only";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator stands in for the library's heap";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The display's settings: the freed blocks stay with the process.
    EXPECT_EXIT(frameAfterOpening(false), testing::ExitedWithCode(0), "next frame");
    // The library's own trimming, which the program kept: the pages went back to the system.
    EXPECT_EXIT(frameAfterOpening(true), testing::ExitedWithCode(1), "next frame");
#endif
}

} // namespace
