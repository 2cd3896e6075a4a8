// PNG files, read and written through libpng.
#include "platform/pixmap_formats.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace imagefile {
namespace {

// libpng reports errors by longjmp; the functions that call it keep no objects
// with destructors of their own, and the pixmap is allocated between the two calls.

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    bool cutShort = false;
    std::string problem; // libpng's words for what failed
};

void pngFail(png_structp png, png_const_charp message) {
    if (auto* src = static_cast<PngSource*>(png_get_error_ptr(png))) src->problem = message;
    png_longjmp(png, 1);
}

void pngReadData(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (n > src->size - src->pos) {
        src->cutShort = true;
        png_error(png, "file cut short");
    }
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

// What libpng says while it reads the image data is about the pixels: a deflate stream whose
// check value does not match ("incorrect data check"), more data than the image holds ("Too
// much image data", "Extra compressed data"). libpng takes these for benign and goes on with
// pixels that may be garbage; here they fail the decode. Its warnings about other chunks
// (colour profiles, gamma, text, an ancillary chunk's checksum) leave the pixels as they are
// and are ignored.
void pngWarning(png_structp png, png_const_charp message) {
    constexpr png_uint_32 kImageData = 0x49444154; // "IDAT"
    if (png_get_io_chunk_type(png) == kImageData) pngFail(png, message);
}

// For writing: libpng's warnings there concern only how it is called.
void pngQuiet(png_structp, png_const_charp) {}

// Reads the header and sets the transforms to 8-bit RGBA. Null, or why the image is refused:
// for sizes beyond the limits or for dimensions that the compressed data cannot possibly fill
// (deflate expands at most about 1032:1), so that a corrupt header cannot cause a huge
// allocation.
const char* pngReadHeader(png_structp png, png_infop info, std::size_t fileSize, png_uint_32* w,
                          png_uint_32* h) {
    if (setjmp(png_jmpbuf(png))) return "is not a readable PNG image";
    png_set_user_limits(png, kMaxPixmapSide, kMaxPixmapSide);
    png_read_info(png, info);
    *w = png_get_image_width(png, info);
    *h = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    const std::uint64_t rawRow = (std::uint64_t(*w) * png_get_channels(png, info) * depth + 7) / 8;
    if (!sizeAllowed(*w, *h) || (rawRow + 1) * *h > std::uint64_t(fileSize) * 1100 + 4096) {
        return kTooLarge;
    }
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == std::size_t(*w) * 4 ? nullptr
                                                              : "is not a readable PNG image";
}

bool pngReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

PixmapRef loadPng(const std::uint8_t* data, std::size_t size, std::string& why) {
    PngSource src{data, size, 0, false, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &src, pngFail, pngWarning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    PixmapRef pm;
    png_uint_32 w = 0, h = 0;
    if (info) {
        png_set_read_fn(png, &src, pngReadData);
        if (const char* refused = pngReadHeader(png, info, size, &w, &h)) {
            why = refused;
        } else if ((pm = CreatePixmap(int(w), int(h), PF_RGBA8888, 4))) {
            std::vector<png_bytep> rows(h);
            for (png_uint_32 y = 0; y < h; ++y) rows[y] = pm->PixelPtr(0, int(y));
            if (!pngReadRows(png, rows.data())) {
                pm.reset();
                why = "has damaged image data";
            }
        }
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (src.cutShort) {
        why = kCutShort;
    } else if (!pm && !src.problem.empty()) {
        why += " (" + src.problem + ")";
    }
    return pm;
}

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool isPng(const std::uint8_t* data, std::size_t size) {
    return size >= 8 && std::memcmp(data, kPngSignature, 8) == 0;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Walks a PNG file's chunks without inflating its pixels: the header chunk first with a size
// within the limits, every chunk whole and matching its checksum, image data present, and the
// end chunk last. This finds a cut-short, overwritten or foreign file; a deflate stream that is
// damaged but carries correct checksums is found only by decoding.
std::string checkPngChunks(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 8;
    bool header = false, imageData = false;
    while (pos < size) {
        if (size - pos < 12) return "is cut short";
        const std::uint32_t length = bigEndian32(data + pos);
        if (length > size - pos - 12) return "is cut short";
        const std::uint8_t* type = data + pos + 4;
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), type, uInt(length + 4));
        if (crc != bigEndian32(type + 4 + length)) return "has a damaged chunk";
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (!header) {
            if (name != "IHDR" || length != 13) return "has no image header";
            if (!sizeAllowed(bigEndian32(type + 4), bigEndian32(type + 8)))
                return "has an impossible size";
            header = true;
        }
        imageData = imageData || name == "IDAT";
        pos += 12 + std::size_t(length);
        if (name == "IEND") return imageData ? "" : "has no image data";
    }
    return "is cut short";
}

bool pngWriteAll(png_structp png, png_infop info, std::FILE* file, const TPixmap& pm,
                 png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, png_uint_32(pm.width), png_uint_32(pm.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

const ImageFormat kPng = {"PNG", isPng, loadPng, checkPngChunks};

} // namespace imagefile

using namespace imagefile;

bool SavePixmapPNG(const PixmapRef& pixmap, const std::string& path) {
    if (!pixmap || !pixmap->pixels) return false;
    PixmapRef rgba = pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    if (!rgba) return false;
    std::vector<png_bytep> rows(std::size_t(rgba->height));
    for (int y = 0; y < rgba->height; ++y) rows[std::size_t(y)] = rgba->PixelPtr(0, y);

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
    if (png) {
        png_infop info = png_create_info_struct(png);
        if (info) ok = pngWriteAll(png, info, file, *rgba, rows.data());
        png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    if (std::fflush(file) != 0 || std::ferror(file)) ok = false;
    if (std::fclose(file) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}
