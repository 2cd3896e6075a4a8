// libFuzzer target: the image decoders on any bytes. A decoded image must be within the size
// limits with every pixel readable; a refusal must say why; and for every format but PNG (whose
// file check walks chunks without decoding) the file check must give the reason decoding gives.
#include "platform/pixmap.h"
#include "tools/fuzz/fuzz_support.h"

#include <zlib.h>

#include <cstring>
#include <string>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max);

namespace {

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool isPng(const std::uint8_t* data, std::size_t size) {
    return size >= 8 && std::memcmp(data, kPngSignature, 8) == 0;
}

// Where the pixels read are left, so that the reads are not optimised away.
volatile std::uint32_t pixelSink;

} // namespace

// Mutations of a PNG file mostly keep its chunks' checksums right, so that the damage reaches
// the decoder instead of the checksum test alone; one in eight leaves them as the mutation left
// them.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max, unsigned seed) {
    size = LLVMFuzzerMutate(data, size, max);
    if (seed % 8 == 0 || !isPng(data, size)) return size;
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::size_t length = std::size_t(data[at]) << 24 | std::size_t(data[at + 1]) << 16 |
                                   std::size_t(data[at + 2]) << 8 | data[at + 3];
        if (length > size - at - 12) break;
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), data + at + 4, uInt(length + 4));
        for (int i = 0; i < 4; ++i)
            data[at + 8 + length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    const PixmapRef pm = LoadPixmapFromMemory(data, size, &why);
    if (pm) {
        if (!why.empty()) fuzzsupport::Fail("a decoded image comes with a reason");
        if (pm->width <= 0 || pm->height <= 0 || pm->width > kMaxPixmapSide ||
            pm->height > kMaxPixmapSide || std::int64_t(pm->width) * pm->height > kMaxPixmapPixels)
            fuzzsupport::Fail("a decoded image beyond the size limits");
        if (BytesPerPixel(pm->format) == 0) fuzzsupport::Fail("a decoded image of no format");
        // Every pixel read, so that the sanitizer sees a pixmap smaller than its size says.
        std::uint32_t all = 0;
        for (int y = 0; y < pm->height; ++y)
            for (int x = 0; x < pm->width; ++x) all ^= pm->ReadPixel(x, y);
        pixelSink = all;
    } else if (why.empty()) {
        fuzzsupport::Fail("a refused image without a reason");
    }
    if (!isPng(data, size)) {
        const std::string& path = fuzzsupport::WriteScratch("image", data, size);
        if (CheckImageFile(path) != why) fuzzsupport::Fail("the file check and decoding differ");
    }
    fuzzsupport::AfterRun();
    return 0;
}
