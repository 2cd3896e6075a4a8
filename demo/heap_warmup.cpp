#include "demo/heap_warmup.h"

#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <system_error>

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
    try {
        toucher_ = std::thread([pieces = pieces_] {
            pthread_setname_np(pthread_self(), kThreadName);
            for (const Piece& p : pieces) std::memset(p.at, 0, p.size);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the block is handed back untouched, as if never taken.
    }
#else
    (void)bytes;
#endif
}

HeapWarmup::~HeapWarmup() {
    Release();
}

void HeapWarmup::Release() {
    if (toucher_.joinable()) toucher_.join();
    for (const Piece& p : pieces_) std::free(p.at);
    pieces_.clear();
}
