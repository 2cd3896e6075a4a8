// Pixel maps: decoded images in memory, and the image decoders.
#pragma once

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

int BytesPerPixel(int format);

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
    // is already the one asked for). Null for an unknown format.
    PixmapRef Convert(int format) const;
    // A new pixmap holding a tight copy of these pixels (pitch = width * bytes per pixel).
    PixmapRef Copy() const;

    std::uint8_t* PixelPtr(int x, int y) const { return pixels + y * pitch + x * BytesPerPixel(format); }
    // Reads and writes a pixel as 0xAARRGGBB whatever the format; out-of-range is a no-op / 0.
    std::uint32_t ReadPixel(int x, int y) const;
    void WritePixel(int x, int y, std::uint32_t argb);

    std::shared_ptr<std::vector<std::uint8_t>> store; // owner of the pixel memory
};

// A new pixmap of the given size and format, rows aligned to `align` bytes (1, 2, 4 or 8).
// The pixels are not cleared. Null for a non-positive size or an unknown format.
PixmapRef CreatePixmap(int width, int height, int format, int align = 4);

// Decodes a PNG, JPEG, BMP or TGA file (chosen by its content, not its name). PNG and
// images with alpha come back as PF_RGBA8888, the others as PF_RGB888 or PF_I8 as they are
// stored. A missing, unreadable or corrupt file yields null; nothing is printed.
PixmapRef LoadPixmap(const std::string& path);
// The same from memory.
PixmapRef LoadPixmapFromMemory(const std::uint8_t* data, std::size_t size);

// A new pixmap of the given size, resampled from the source (bilinear filtering over the
// source area). Null for a null source or a non-positive size.
PixmapRef ResizePixmap(const PixmapRef& src, int width, int height);

// Writes the pixmap as an 8-bit RGBA PNG. Returns false when the file cannot be written.
bool SavePixmapPNG(const PixmapRef& pixmap, const std::string& path);
