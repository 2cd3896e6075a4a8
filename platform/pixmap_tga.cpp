// TGA files: the header and the pixel data's lengths are checked here, the pixels decoded by
// SDL2_image.
#include "platform/pixmap_surface.h"

#include <algorithm>

namespace imagefile {
namespace {

struct TgaHeader {
    unsigned type = 0;         // 1, 2, 3: colour-mapped, true colour, grey; 8 more: run-length
    unsigned mapFirst = 0;     // colour-map index of the first entry stored
    unsigned mapLength = 0;    // entries stored
    unsigned mapEntryBits = 0; // bits per entry
    std::size_t mapAt = 0;     // offset of the colour map
    bool rightOrigin = false;  // rows run right to left

    unsigned kind() const { return type & 7; }
};

// Reads the header and walks the pixel data as far as its lengths go: "" when the library may
// read the file, else why not. The format has no signature, so the header is checked strictly.
std::string checkTgaHeader(const Bytes& f, TgaHeader& t) {
    if (!f.has(0, 18)) return kUnknownKind;
    const unsigned idLength = f.u8(0), mapType = f.u8(1), bpp = f.u8(16), descriptor = f.u8(17);
    t.type = f.u8(2);
    t.mapFirst = f.u16(3);
    t.mapLength = f.u16(5);
    t.mapEntryBits = f.u8(7);
    const bool rle = t.type & 8;
    if (mapType > 1 || t.type > 11 || t.kind() < 1 || t.kind() > 3) return kUnknownKind;
    const bool depthKnown = t.kind() == 1   ? mapType == 1 && bpp == 8
                            : t.kind() == 2 ? bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32
                                            : bpp == 8;
    if (!depthKnown) return "has a TGA pixel depth that is not supported";
    if (descriptor & 0xC0) return "has interleaved TGA rows, which are not supported";
    const unsigned w = f.u16(12), h = f.u16(14);
    if (!sizeAllowed(w, h)) return kTooLarge;
    t.rightOrigin = descriptor & 0x10;
    t.mapAt = 18 + idLength;
    const std::size_t mapBytes =
        mapType ? std::size_t(t.mapLength) * ((t.mapEntryBits + 7) / 8) : 0;
    if (!f.has(t.mapAt, mapBytes)) return kCutShort;

    std::size_t at = t.mapAt + mapBytes;
    const std::size_t pixelBytes = (bpp + 7) / 8;
    const std::uint64_t pixels = std::uint64_t(w) * h;
    if (!rle) return f.has(at, pixels * pixelBytes) ? "" : kCutShort;
    // Packets: a count byte, then one pixel repeated (top bit set) or that many pixels.
    for (std::uint64_t n = 0; n < pixels;) {
        if (!f.has(at, 1)) return kCutShort;
        const unsigned packet = f.u8(at++);
        const std::size_t count = (packet & 0x7F) + 1;
        const std::size_t bytes = packet & 0x80 ? pixelBytes : count * pixelBytes;
        if (!f.has(at, bytes)) return kCutShort;
        at += bytes;
        n += count;
    }
    return "";
}

void mirrorRows(TPixmap& pm) {
    for (int y = 0; y < pm.height; ++y) {
        for (int a = 0, b = pm.width - 1; a < b; ++a, --b) {
            std::swap_ranges(pm.PixelPtr(a, y), pm.PixelPtr(a + 1, y), pm.PixelPtr(b, y));
        }
    }
}

PixmapRef loadTga(const std::uint8_t* data, std::size_t size, std::string& why) {
    const Bytes f{data, size};
    TgaHeader t;
    why = checkTgaHeader(f, t);
    if (!why.empty()) return nullptr;
    // The library reads rows left to right only: a file whose rows run right to left is read
    // with that bit cleared, and its rows are mirrored after.
    std::vector<std::uint8_t> leftToRight;
    if (t.rightOrigin) {
        leftToRight.assign(data, data + size);
        leftToRight[17] &= ~0x10;
    }
    const Surface s = readSurface(t.rightOrigin ? leftToRight.data() : data, size, true);
    if (!s) {
        why = libraryProblem("TGA");
        return nullptr;
    }
    // The library keeps a colour map's colours but not the alpha of 32-bit entries.
    std::vector<std::uint8_t> entryAlpha;
    if (t.kind() == 1 && t.mapEntryBits == 32) {
        for (unsigned i = 0; i < t.mapLength; ++i) entryAlpha.push_back(f.u8(t.mapAt + 4 * i + 3));
    }
    const PixmapRef pm = surfacePixels(*s, "TGA", t.kind() == 1 ? t.mapFirst : 0, entryAlpha, why);
    if (!pm) return nullptr;
    if (t.rightOrigin) mirrorRows(*pm);
    if (t.kind() == 3) return pm->Convert(PF_I8);
    return settleAlpha(pm, s->format->Amask != 0 || !entryAlpha.empty());
}

// The format has no signature: any file may be one, and the header check decides.
bool anyFile(const std::uint8_t*, std::size_t) {
    return true;
}

} // namespace

const ImageFormat kTga = {"TGA", anyFile, loadTga, nullptr};

} // namespace imagefile
