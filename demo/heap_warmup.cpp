#include "demo/heap_warmup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
constexpr int kLargestFromHeap = 32 << 20; // M_MMAP_THRESHOLD
constexpr int kFreeKept = 128 << 20;       // M_TRIM_THRESHOLD
// The block is taken in pieces no larger than the heap serves, so that none is mapped apart.
constexpr std::size_t kPiece = std::size_t(16) << 20;
#endif
// What is touched between two looks at the stop request.
constexpr std::size_t kTouchStep = std::size_t(1) << 20;

} // namespace

HeapWarmup::HeapWarmup(std::size_t bytes) {
#if defined(__GLIBC__)
    if (bytes == 0) return;
    mallopt(M_MMAP_THRESHOLD, kLargestFromHeap);
    mallopt(M_TRIM_THRESHOLD, kFreeKept);
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t size = left < kPiece ? left : kPiece;
        void* at = std::malloc(size);
        if (!at) break; // no memory to spare: warm what there is
        pieces_.push_back({at, size});
        left -= size;
    }
#else
    (void)bytes;
#endif
}

HeapWarmup::~HeapWarmup() {
    Release();
}

void HeapWarmup::Touch(const std::function<bool()>& stop) {
    for (const Piece& p : pieces_) {
        for (std::size_t done = 0; done < p.size; done += kTouchStep) {
            if (stop && stop()) return;
            std::memset(static_cast<char*>(p.at) + done, 0, std::min(kTouchStep, p.size - done));
        }
    }
}

void HeapWarmup::Release() {
    for (const Piece& p : pieces_) std::free(p.at);
    pieces_.clear();
}
