// BMP files: the header is checked here, the pixels decoded by SDL2_image.
#include "platform/pixmap_surface.h"

namespace imagefile {
namespace {

// "" when the library may read the file, else why not.
std::string checkBmpHeader(const Bytes& f) {
    if (!f.has(0, 26)) return kCutShort;
    const std::uint32_t offBits = f.u32(10), hdr = f.u32(14);
    std::int64_t w, h;
    unsigned bpp, compression = 0;
    if (hdr == 12) { // OS/2 core header
        w = f.u16(18);
        h = std::int16_t(f.u16(20));
        bpp = f.u16(24);
    } else if (hdr >= 40 && hdr <= 256) {
        if (!f.has(0, 14 + std::size_t(hdr))) return kCutShort;
        w = f.i32(18);
        h = f.i32(22);
        bpp = f.u16(28);
        compression = f.u32(30);
    } else {
        return "has a BMP header of an unknown kind";
    }
    if (h < 0) h = -h; // rows top-down
    if (!sizeAllowed(w, h)) return kTooLarge;
    // 0: plain pixels; 1 and 2: run-length coded, 8 and 4 bits; 3: pixels with bit fields.
    // Run-length data may end the image early (the rest reads as index 0): no length is due.
    if (compression > 3) return "uses a BMP compression that is not supported";
    if (compression == 1 || compression == 2) return "";
    const std::uint64_t stride = ((std::uint64_t(w) * bpp + 31) / 32) * 4;
    if (offBits > f.size || stride * std::uint64_t(h) > f.size - offBits) return kCutShort;
    return "";
}

PixmapRef loadBmp(const std::uint8_t* data, std::size_t size, std::string& why) {
    why = checkBmpHeader({data, size});
    if (!why.empty()) return nullptr;
    const Surface s = readSurface(data, size, false);
    if (!s) {
        why = libraryProblem("BMP");
        return nullptr;
    }
    const PixmapRef pm = surfacePixels(*s, "BMP", 0, {}, why);
    return pm ? settleAlpha(pm, s->format->Amask != 0) : nullptr;
}

bool isBmp(const std::uint8_t* data, std::size_t size) {
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

} // namespace

const ImageFormat kBmp = {"BMP", isBmp, loadBmp, nullptr};

} // namespace imagefile
