// Pixel maps: decoded images in memory, and the image decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Pixel formats, numbered as the engine expects them.
enum PixelFormat : int {
    PF_I8 = 1,       // one byte of intensity
    PF_A8 = 2,       // one byte of alpha
    PF_BGR888 = 3,   // bytes B, G, R
    PF_RGB888 = 4,   // bytes R, G, B
    PF_BGRA8888 = 5, // bytes B, G, R, A
    PF_RGBA8888 = 6, // bytes R, G, B, A
};

// Bytes per pixel of a format; 0 for an unknown format.
int BytesPerPixel(int format);

// Largest side and pixel count that CreatePixmap and the decoders accept. Decoders reject
// anything larger before allocating, so a corrupt header cannot ask for absurd amounts of memory.
inline constexpr int kMaxPixmapSide = 16384;
inline constexpr std::int64_t kMaxPixmapPixels = std::int64_t(1) << 26;

class TPixmap;
using PixmapRef = std::shared_ptr<TPixmap>;

// A rectangle of pixels. A window (see Window) shares the pixel store and the row pitch of
// the pixmap it was cut from; writes through either are seen by both.
class TPixmap {
  public:
    int width = 0;
    int height = 0;
    int pitch = 0; // bytes per row
    int format = PF_RGBA8888;
    std::uint8_t* pixels = nullptr; // first byte of the first row

    // Sub-rectangle sharing pixels and pitch; the rectangle is clipped to the pixmap, and
    // an empty intersection yields null.
    PixmapRef Window(int x, int y, int w, int h) const;
    // A new pixmap with the same pixels in another format (a copy even when the format
    // is already the one asked for), rows aligned to 4 bytes. Null for an unknown format.
    // Conversions: to intensity by luma (0.299 R + 0.587 G + 0.114 B), to alpha-only by the
    // alpha; from intensity to grey, opaque; from alpha-only to white with that alpha; from
    // formats without alpha to alpha 255.
    PixmapRef Convert(int format) const;
    // A new pixmap holding a tight copy of these pixels (pitch = width * bytes per pixel).
    PixmapRef Copy() const;

    std::uint8_t* PixelPtr(int x, int y) const {
        return pixels + std::ptrdiff_t(y) * pitch + std::ptrdiff_t(x) * BytesPerPixel(format);
    }
    // Reads and writes a pixel as 0xAARRGGBB whatever the format; out-of-range is a no-op / 0.
    std::uint32_t ReadPixel(int x, int y) const;
    void WritePixel(int x, int y, std::uint32_t argb);

    std::shared_ptr<std::vector<std::uint8_t>> store; // owner of the pixel memory
};

// A new pixmap of the given size and format, rows aligned to `align` bytes (a power of two up
// to 64; 1, 2, 4 and 8 are the usual ones). The pixels start as zero bytes. Null for a
// non-positive or too large size (kMaxPixmapSide, kMaxPixmapPixels), an unknown format or a
// bad alignment.
PixmapRef CreatePixmap(int width, int height, int format, int align = 4);

// Decodes a PNG, JPEG, BMP or TGA file (chosen by its content, not its name). PNG images
// always come back as PF_RGBA8888 (palette, grey, low and 16-bit depths and tRNS expanded);
// JPEG images as PF_RGB888, or PF_I8 when grey. BMP and TGA images come back as PF_RGBA8888
// when their alpha tells something, else as PF_RGB888 (grey TGA images as PF_I8): an alpha
// that is 255 everywhere, or 0 everywhere (a common way of writing 32-bit files without alpha),
// gives an opaque PF_RGB888 image. Supported beyond PNG: baseline and progressive JPEG (grey or
// colour; CMYK is refused, and so are progressive scans that repeat or come out of order and
// files of more than 100 scans, each of which would cost a pass over the image), BMP (1, 4 and
// 8-bit palettised, run-length coded 4 and 8-bit, 16, 24 and 32-bit, bit fields in the usual
// layouts, alpha mask included, bottom-up and top-down) and TGA (uncompressed and run-length coded,
// true colour of 15, 16, 24 or 32 bits, 8-bit grey, 8-bit colour-mapped; origin bits honoured). A
// missing, unreadable, truncated or corrupt file yields null, and so does a PNG file whose image
// data the PNG library complains about (a failed check of the compressed data, more or less data
// than the image holds); nothing is printed. `why`, when given, receives a short reason for a null
// result ("cannot be read", "is cut short", "has damaged image data (...)", ...), and "" for a
// decoded image.
PixmapRef LoadPixmap(const std::string& path, std::string* why = nullptr);
// The same from memory.
PixmapRef LoadPixmapFromMemory(const std::uint8_t* data, std::size_t size,
                               std::string* why = nullptr);

// Checks that an image file would decode without decoding its pixels where that is costly:
// a PNG file's chunks are walked and their checksums compared (a cut-short, damaged or
// foreign file fails; image data damaged under correct checksums is found only by decoding);
// files of the other formats are decoded. Returns "" for a good file, else a short reason
// ("cannot be read", "is cut short", "has a damaged chunk", ...).
std::string CheckImageFile(const std::string& path);

// A new pixmap of the given size in the source's format, resampled from the source: an area
// average where a side shrinks, bilinear interpolation where it grows, an exact copy at the
// same size. Colours are weighted by their alpha, so fully transparent pixels do not darken
// their neighbours. Null for a null source or a non-positive or too large size.
PixmapRef ResizePixmap(const PixmapRef& src, int width, int height);

// Writes the pixmap as an 8-bit RGBA PNG (converted from its format). The bytes depend only
// on the pixels: no time stamp, fixed compression settings. Returns false when the pixmap is
// null or the file cannot be written (no partial file is left behind).
bool SavePixmapPNG(const PixmapRef& pixmap, const std::string& path);
