// Warming the heap for a burst of large allocations: the demo program's own allocator policy.
// The display's opening would set the same two settings (GraphicsHeapPolicy); the demo tells it
// not to and keeps its own.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// A page of fresh memory costs a fault on its first touch, and on a virtual machine a fault can
// take ten microseconds or more: the tens of megabytes of textures a program makes at start-up
// then cost the main thread over a hundred milliseconds in faults alone. A warm-up takes a block
// of the heap, which another thread touches (Touch, one of the start-up workers) while the main
// thread does other work; Release() hands the block back to the heap, where the main thread's
// next large allocations (the GL driver's textures among them) find pages that are already
// there.
//
// Under the GNU C library, large allocations otherwise get fresh pages of their own: from the
// first warm-up on, allocations up to 32 MiB come from the heap, and up to 128 MiB of freed
// memory stays with the process. Those settings hold for the rest of the run (they are where the
// library's own sliding limits end up once large blocks have been freed). On their own they
// change nothing at start-up: the gain is the touching, done beside the display's opening
// (bench_demo under Xvfb: the start-up thread's page faults 19,100 -> 6,200, its time after the
// display opened halved, on all cores and on two). Elsewhere, and for zero bytes, nothing is
// done.
class HeapWarmup {
  public:
    // Takes the block (touching none of it).
    explicit HeapWarmup(std::size_t bytes);
    ~HeapWarmup(); // releases the block if that was not done
    HeapWarmup(const HeapWarmup&) = delete;
    HeapWarmup& operator=(const HeapWarmup&) = delete;

    // Touches the block a megabyte at a time, asking `stop` (when given) before each: once it
    // says true the rest is left untouched. Meant for another thread than the one that goes on
    // to Release; the two must not overlap.
    void Touch(const std::function<bool()>& stop = {});

    // Frees the block into the heap. Once only; nothing after that.
    void Release();

    // The block's pieces, for the tests (empty once released or when nothing was done).
    struct Piece {
        void* at;
        std::size_t size;
    };
    const std::vector<Piece>& pieces() const { return pieces_; }

  private:
    std::vector<Piece> pieces_;
};
