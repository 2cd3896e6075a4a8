// The image file formats LoadPixmap reads: one entry per format in a table, one decoder per
// file (pixmap_png.cpp, pixmap_jpeg.cpp, pixmap_bmp.cpp, pixmap_tga.cpp), and what the decoders
// share. Internal to the platform.
//
// Adding a format: a file of its own defining an ImageFormat entry (how to recognise the file
// by its first bytes, how to decode it, and optionally a cheaper check), declared below and
// named in the table in pixmap_formats.cpp before TGA.
#pragma once

#include "platform/pixmap.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace imagefile {

// One format. `recognise` looks at the file's first bytes (at least 4 of them; the table
// turns away shorter files); `decode` makes the pixmap, or returns null with a short reason in
// `why`; `check`, where given, says whether the file would decode ("" or why not) more cheaply
// than decoding it; without one, CheckImageFile decodes.
struct ImageFormat {
    const char* name;
    bool (*recognise)(const std::uint8_t* data, std::size_t size);
    PixmapRef (*decode)(const std::uint8_t* data, std::size_t size, std::string& why);
    std::string (*check)(const std::uint8_t* data, std::size_t size);
};

extern const ImageFormat kPng;
extern const ImageFormat kJpeg;
extern const ImageFormat kBmp;
// TGA files have no signature: this entry takes any file, so it comes last in the table.
extern const ImageFormat kTga;

// Image files beyond this size are refused whole.
inline constexpr std::size_t kMaxImageFileBytes = std::size_t(256) << 20;

// Reasons shared by the formats.
inline constexpr const char* kCutShort = "is cut short";
inline constexpr const char* kTooLarge = "has an impossible size";
// Said of a file that is none of the formats read here (TGA files have no signature, so
// anything without the others' is taken for one).
inline constexpr const char* kUnknownKind = "is not a readable image";

// True for a size within kMaxPixmapSide and kMaxPixmapPixels.
inline bool sizeAllowed(std::int64_t w, std::int64_t h) {
    return w > 0 && h > 0 && w <= kMaxPixmapSide && h <= kMaxPixmapSide &&
           w * h <= kMaxPixmapPixels;
}

// Little-endian field readers over a bounds-checked byte range.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;

    bool has(std::size_t off, std::size_t n) const { return off <= size && n <= size - off; }
    unsigned u8(std::size_t off) const { return off < size ? data[off] : 0; }
    unsigned u16(std::size_t off) const { return u8(off) | (u8(off + 1) << 8); }
    std::uint32_t u32(std::size_t off) const {
        return std::uint32_t(u16(off)) | (std::uint32_t(u16(off + 2)) << 16);
    }
    std::int32_t i32(std::size_t off) const { return std::int32_t(u32(off)); }
};

} // namespace imagefile
