// Image decoding benchmark for files whose cost is out of proportion to their size. Makes a
// 1024 x 1024 colour JPEG of a grey picture (its colour components are flat, so their scans
// take a few bytes each) and copies of it with progressive scans repeated,
// decodes each repeatedly (the files in turn, round after round) and prints for each
//     <file>: <bytes> B, ms median X p99 Y, Z x the plain picture[, refused: <why>]
// The files:
//   plain         the picture, progressive by the library's usual script (10 scans)
//   repeats       the same with its smallest scan repeated 2,500 times (about 30 kB more)
//   full plain    the picture in four first passes at full precision, which later scans
//                 cannot refine
//   full 100      the same with its smallest scan repeated up to 100 scans (the most decoded)
//   full 101      one scan more (refused)
// Usage: bench_images [repetitions]   (default 15)
#include "platform/pixmap.h"
#include "tests/unit/image_writer.h"
#include "tools/bench_timing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace imagewriter;
using benchtime::Clock;
using benchtime::msSince;
using benchtime::percentile;

std::size_t smallestScan(const Bytes& file, std::size_t from) {
    const auto scans = jpegScans(file);
    std::size_t best = from;
    for (std::size_t i = from; i < scans.size(); ++i)
        if (scans[i].second - scans[i].first < scans[best].second - scans[best].first) best = i;
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    constexpr int kSide = 1024;
    Bytes rgb(std::size_t(kSide) * kSide * 3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * kSide + std::size_t(x)) * 3];
            p[0] = p[1] = p[2] = std::uint8_t((x + y) * 127 / kSide + ((x / 64 + y / 64) & 1) * 60);
        }
    const Bytes plain = encodeJpeg(kSide, kSide, 3, rgb, true);
    const Bytes full = encodeJpeg(kSide, kSide, 3, rgb, false,
                                  {{3, {0, 1, 2}, 0, 0, 0, 0},
                                   {1, {0}, 1, 63, 0, 0},
                                   {1, {1}, 1, 63, 0, 0},
                                   {1, {2}, 1, 63, 0, 0}});
    // A first pass at full precision may repeat without the decoder seeing anything wrong.
    const std::size_t fullScan = smallestScan(full, 1);
    struct File {
        const char* name;
        Bytes bytes;
        std::size_t plain; // the file it is compared with
        std::vector<double> ms;
        std::string why;
    };
    std::vector<File> files = {
        {"plain", plain, 0, {}, {}},
        {"repeats", repeatScan(plain, smallestScan(plain, 0), 2500), 0, {}, {}},
        {"full plain", full, 2, {}, {}},
        {"full 100", repeatScan(full, fullScan, 96), 2, {}, {}},
        {"full 101", repeatScan(full, fullScan, 97), 2, {}, {}},
    };
    for (int r = 0; r < reps; ++r)
        for (File& f : files) {
            const auto t0 = Clock::now();
            LoadPixmapFromMemory(f.bytes.data(), f.bytes.size(), &f.why);
            f.ms.push_back(msSince(t0));
        }
    for (const File& f : files) {
        const double median = percentile(f.ms, 0.5);
        std::printf("%s: %zu B, ms median %.2f p99 %.2f, %.2f x the plain picture%s%s\n", f.name,
                    f.bytes.size(), median, percentile(f.ms, 0.99),
                    median / percentile(files[f.plain].ms, 0.5),
                    f.why.empty() ? "" : ", refused: ", f.why.c_str());
    }
    return 0;
}
