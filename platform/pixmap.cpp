#include "platform/pixmap.h"

#include "platform/stream.h"

// jpeglib.h needs size_t and FILE declared before it, and jerror.h comes after it.
#include <cstdio>

#include <jpeglib.h>

#include <SDL.h>
#include <SDL_image.h>
#include <jerror.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Pixel formats

std::uint32_t argb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

unsigned luma(std::uint32_t c) {
    const unsigned r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

std::uint32_t decodePixel(const std::uint8_t* p, int format) {
    switch (format) {
    case PF_I8:
        return argb(255, p[0], p[0], p[0]);
    case PF_A8:
        return argb(p[0], 255, 255, 255);
    case PF_BGR888:
        return argb(255, p[2], p[1], p[0]);
    case PF_RGB888:
        return argb(255, p[0], p[1], p[2]);
    case PF_BGRA8888:
        return argb(p[3], p[2], p[1], p[0]);
    case PF_RGBA8888:
        return argb(p[3], p[0], p[1], p[2]);
    default:
        return 0;
    }
}

void encodePixel(std::uint8_t* p, int format, std::uint32_t c) {
    const auto a = std::uint8_t(c >> 24), r = std::uint8_t(c >> 16), g = std::uint8_t(c >> 8),
               b = std::uint8_t(c);
    switch (format) {
    case PF_I8:
        p[0] = std::uint8_t(luma(c));
        break;
    case PF_A8:
        p[0] = a;
        break;
    case PF_BGR888:
        p[0] = b, p[1] = g, p[2] = r;
        break;
    case PF_RGB888:
        p[0] = r, p[1] = g, p[2] = b;
        break;
    case PF_BGRA8888:
        p[0] = b, p[1] = g, p[2] = r, p[3] = a;
        break;
    case PF_RGBA8888:
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        break;
    default:
        break;
    }
}

// Copies every row of src into dst (same size), converting the format where they differ.
void blit(const TPixmap& src, TPixmap& dst) {
    const std::size_t rowBytes = std::size_t(src.width) * std::size_t(BytesPerPixel(src.format));
    const int sb = BytesPerPixel(src.format), db = BytesPerPixel(dst.format);
    for (int y = 0; y < src.height; ++y) {
        const std::uint8_t* s = src.PixelPtr(0, y);
        std::uint8_t* d = dst.PixelPtr(0, y);
        if (src.format == dst.format) {
            std::memcpy(d, s, rowBytes);
            continue;
        }
        for (int x = 0; x < src.width; ++x, s += sb, d += db) {
            encodePixel(d, dst.format, decodePixel(s, src.format));
        }
    }
}

bool sizeAllowed(std::int64_t w, std::int64_t h) {
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

// Image files beyond this size are refused whole.
constexpr std::size_t kMaxImageFileBytes = std::size_t(256) << 20;

const char* const kCutShort = "is cut short";
const char* const kTooLarge = "has an impossible size";
// Said of a file that is none of the formats read here (TGA files have no signature, so
// anything without the others' is taken for one).
const char* const kUnknownKind = "is not a readable image";

// ---------------------------------------------------------------------------------------------
// PNG (libpng). libpng reports errors by longjmp; the functions that call it keep no objects
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

// ---------------------------------------------------------------------------------------------
// JPEG (libjpeg). Errors longjmp out of the library as for PNG; warnings are silent, except
// a premature end of data, which would otherwise give a grey-filled image: that one fails.

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool cutShort = false;
    char problem[JMSG_LENGTH_MAX] = {};
};

void jpegFail(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    err->mgr.format_message(cinfo, err->problem);
    std::longjmp(err->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<JpegError*>(cinfo->err)->cutShort = true;
        jpegFail(cinfo);
    }
}

void jpegQuiet(j_common_ptr) {}

// Null, or why the image is refused.
const char* jpegReadHeader(jpeg_decompress_struct* cinfo, JpegError* err, const std::uint8_t* data,
                           std::size_t size) {
    if (setjmp(err->jump)) return "is not a readable JPEG image";
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return "is not a readable JPEG image";
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
        return "is a CMYK JPEG image, which is not supported";
    }
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(cinfo);
    const std::int64_t pixels = std::int64_t(cinfo->output_width) * cinfo->output_height;
    // Every 8x8 block costs at least a bit or so of entropy-coded data; dimensions far beyond
    // what the file could hold are a corrupt header.
    if (!sizeAllowed(cinfo->output_width, cinfo->output_height) ||
        pixels > std::max<std::int64_t>(std::int64_t(1) << 20, std::int64_t(size) * 1024)) {
        return kTooLarge;
    }
    return cinfo->output_components == (cinfo->out_color_space == JCS_GRAYSCALE ? 1 : 3)
               ? nullptr
               : "is not a readable JPEG image";
}

bool jpegReadRows(jpeg_decompress_struct* cinfo, JpegError* err, const TPixmap* pm) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pm->PixelPtr(0, int(cinfo->output_scanline));
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
    }
    return true;
}

PixmapRef loadJpeg(const std::uint8_t* data, std::size_t size, std::string& why) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegMessage;
    err.mgr.output_message = jpegQuiet;
    PixmapRef pm;
    if (const char* refused = jpegReadHeader(&cinfo, &err, data, size)) {
        why = refused;
    } else {
        const int format = cinfo.output_components == 1 ? PF_I8 : PF_RGB888;
        pm = CreatePixmap(int(cinfo.output_width), int(cinfo.output_height), format, 4);
        if (pm && !jpegReadRows(&cinfo, &err, pm.get())) {
            pm.reset();
            why = "has damaged image data";
        }
    }
    jpeg_destroy_decompress(&cinfo);
    if (err.cutShort) {
        why = kCutShort;
    } else if (!pm && err.problem[0]) {
        why += std::string(" (") + err.problem + ")";
    }
    return pm;
}

// ---------------------------------------------------------------------------------------------
// BMP and TGA (SDL2_image). The library decodes the pixels; the headers are checked here first,
// so that sizes beyond the limits, and files too short for their pixels, are refused before it
// allocates for them, and so that what it would misread gives an error instead: a TGA file cut
// short (the library fills in what is missing) or a BMP compression it does not know (taken
// for plain pixels).

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

Surface readSurface(const std::uint8_t* data, std::size_t size, bool tga) {
    SDL_ClearError();
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    if (!rw) return nullptr;
    Surface s(tga ? IMG_LoadTGA_RW(rw) : IMG_LoadBMP_RW(rw));
    SDL_RWclose(rw);
    return s;
}

std::string libraryProblem(const char* kind) {
    const std::string said = SDL_GetError();
    return std::string("is not a readable ") + kind + " image" +
           (said.empty() ? "" : " (" + said + ")");
}

// A decoded surface (of a `kind` of file) as 8-bit RGBA. Palette indices are looked up here: an
// index beyond the palette reads as opaque black, `firstIndex` is the index of the palette's first
// entry (a TGA colour map may start past 0), and `entryAlpha`, where given, is each entry's alpha.
PixmapRef surfacePixels(const SDL_Surface& s, const char* kind, unsigned firstIndex,
                        const std::vector<std::uint8_t>& entryAlpha, std::string& why) {
    PixmapRef pm = CreatePixmap(s.w, s.h, PF_RGBA8888, 4);
    if (!pm) {
        why = kTooLarge;
        return nullptr;
    }
    const SDL_Palette* palette = s.format->palette;
    if (s.format->format == SDL_PIXELFORMAT_INDEX8 && palette) {
        for (int y = 0; y < s.h; ++y) {
            const auto* in =
                static_cast<const std::uint8_t*>(s.pixels) + std::ptrdiff_t(y) * s.pitch;
            std::uint8_t* out = pm->PixelPtr(0, y);
            for (int x = 0; x < s.w; ++x, out += 4) {
                const unsigned entry = in[x] - firstIndex; // wraps past the end below the first
                SDL_Color c{0, 0, 0, 255};
                if (entry < unsigned(palette->ncolors)) c = palette->colors[entry];
                if (entry < entryAlpha.size()) c.a = entryAlpha[entry];
                out[0] = c.r, out[1] = c.g, out[2] = c.b, out[3] = c.a;
            }
        }
    } else if (SDL_ConvertPixels(s.w, s.h, s.format->format, s.pixels, s.pitch,
                                 SDL_PIXELFORMAT_RGBA32, pm->pixels, pm->pitch) != 0) {
        why = libraryProblem(kind);
        return nullptr;
    }
    return pm;
}

// A decoded BMP or TGA image comes back as RGBA when its alpha tells something, else as RGB.
// An alpha that is the same everywhere and 0 or 255 tells nothing: 0 everywhere is a common way
// of writing 32-bit files without alpha, and such an image is opaque.
PixmapRef settleAlpha(const PixmapRef& rgba, bool hasAlpha) {
    if (hasAlpha) {
        const std::uint8_t first = rgba->pixels[3];
        if (first != 0 && first != 255) return rgba;
        for (int y = 0; y < rgba->height; ++y) {
            const std::uint8_t* p = rgba->PixelPtr(0, y);
            for (int x = 0; x < rgba->width; ++x) {
                if (p[4 * x + 3] != first) return rgba;
            }
        }
    }
    return rgba->Convert(PF_RGB888);
}

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

// ---------------------------------------------------------------------------------------------
// Resampling

// Weights of the source samples that make up each destination sample along one axis.
struct Axis {
    std::vector<int> first;    // per destination sample: index into taps
    std::vector<int> count;    // per destination sample: number of taps
    std::vector<int> index;    // source sample of each tap
    std::vector<float> weight; // weight of each tap (a sample's weights sum to 1)
};

Axis makeAxis(int srcN, int dstN) {
    Axis a;
    const double scale = double(srcN) / dstN;
    for (int j = 0; j < dstN; ++j) {
        a.first.push_back(int(a.index.size()));
        if (dstN >= srcN) {
            // Growing (or the same size): bilinear between the two nearest sample centres.
            const double x = (j + 0.5) * scale - 0.5;
            const double x0 = std::floor(x);
            const double frac = x - x0;
            const int i0 = std::clamp(int(x0), 0, srcN - 1),
                      i1 = std::clamp(int(x0) + 1, 0, srcN - 1);
            a.index.push_back(i0);
            a.weight.push_back(float(1.0 - frac));
            if (frac > 0) {
                a.index.push_back(i1);
                a.weight.push_back(float(frac));
            }
        } else {
            // Shrinking: the average over the source span that the destination sample covers.
            const double lo = j * scale, hi = (j + 1) * scale;
            for (int i = int(std::floor(lo)); i < int(std::ceil(hi)) && i < srcN; ++i) {
                const double cover = std::min<double>(i + 1, hi) - std::max<double>(i, lo);
                if (cover <= 0) continue;
                a.index.push_back(i);
                a.weight.push_back(float(cover / scale));
            }
        }
        a.count.push_back(int(a.index.size()) - a.first.back());
    }
    return a;
}

// Resamples src into dst (same format, BPP bytes per pixel; ALPHA: byte 3 is alpha). Each pixel
// accumulates its plain channels and, with alpha, the colour channels weighted by alpha; a
// colour comes out as (sum of a * c) / (sum of a) where any alpha is present, else as the plain
// average.
template <int BPP, bool ALPHA> void resample(const TPixmap& src, TPixmap& dst) {
    constexpr int kLanes = ALPHA ? BPP + 3 : BPP;
    const int width = dst.width, height = dst.height;
    const Axis ax = makeAxis(src.width, width), ay = makeAxis(src.height, height);

    // Source rows resampled horizontally, made on demand and dropped once passed.
    std::vector<std::vector<float>> rows(std::size_t(src.height));
    auto rowAt = [&](int sy) -> const std::vector<float>& {
        std::vector<float>& row = rows[std::size_t(sy)];
        if (!row.empty()) return row;
        row.assign(std::size_t(width) * kLanes, 0.0f);
        const std::uint8_t* in = src.PixelPtr(0, sy);
        for (int x = 0; x < width; ++x) {
            float* acc = &row[std::size_t(x) * kLanes];
            for (int t = ax.first[x]; t < ax.first[x] + ax.count[x]; ++t) {
                const std::uint8_t* p = in + std::ptrdiff_t(ax.index[t]) * BPP;
                const float wt = ax.weight[t];
                for (int c = 0; c < BPP; ++c) acc[c] += wt * p[c];
                if constexpr (ALPHA) {
                    const float wa = wt * p[3];
                    for (int c = 0; c < 3; ++c) acc[BPP + c] += wa * p[c];
                }
            }
        }
        return row;
    };

    std::vector<float> acc(std::size_t(width) * kLanes);
    int released = 0;
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int t = ay.first[y]; t < ay.first[y] + ay.count[y]; ++t) {
            const float* row = rowAt(ay.index[t]).data();
            const float wt = ay.weight[t];
            for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += wt * row[i];
        }
        // Rows above the first one this output row used are not needed again.
        for (; released < ay.index[ay.first[y]]; ++released) {
            std::vector<float>().swap(rows[std::size_t(released)]);
        }

        std::uint8_t* out = dst.PixelPtr(0, y);
        for (int x = 0; x < width; ++x, out += BPP) {
            const float* a = &acc[std::size_t(x) * kLanes];
            for (int c = 0; c < BPP; ++c) {
                float v = a[c];
                if constexpr (ALPHA) {
                    if (c < 3 && a[3] > 1e-3f) v = a[BPP + c] / a[3];
                }
                out[c] = std::uint8_t(std::min(255, int(v + 0.5f))); // v is never negative
            }
        }
    }
}

} // namespace

// -------------------------------------------------------------------------------------------------

int BytesPerPixel(int format) {
    switch (format) {
    case PF_I8:
    case PF_A8:
        return 1;
    case PF_BGR888:
    case PF_RGB888:
        return 3;
    case PF_BGRA8888:
    case PF_RGBA8888:
        return 4;
    default:
        return 0;
    }
}

PixmapRef CreatePixmap(int width, int height, int format, int align) {
    const int bpp = BytesPerPixel(format);
    if (!bpp || !sizeAllowed(width, height) || align <= 0 || align > 64 || (align & (align - 1))) {
        return nullptr;
    }
    const std::int64_t pitch = (std::int64_t(width) * bpp + align - 1) / align * align;
    auto pm = std::make_shared<TPixmap>();
    pm->width = width;
    pm->height = height;
    pm->pitch = int(pitch);
    pm->format = format;
    pm->store = std::make_shared<std::vector<std::uint8_t>>(std::size_t(pitch * height));
    pm->pixels = pm->store->data();
    return pm;
}

PixmapRef TPixmap::Window(int x, int y, int w, int h) const {
    if (!pixels) return nullptr;
    const std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(x) + w, width);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(y) + h, height);
    if (x1 <= x0 || y1 <= y0) return nullptr;
    auto pm = std::make_shared<TPixmap>();
    pm->width = int(x1 - x0);
    pm->height = int(y1 - y0);
    pm->pitch = pitch;
    pm->format = format;
    pm->store = store;
    pm->pixels = PixelPtr(int(x0), int(y0));
    return pm;
}

PixmapRef TPixmap::Convert(int toFormat) const {
    if (!pixels) return nullptr;
    PixmapRef pm = CreatePixmap(width, height, toFormat, 4);
    if (pm) blit(*this, *pm);
    return pm;
}

PixmapRef TPixmap::Copy() const {
    if (!pixels) return nullptr;
    PixmapRef pm = CreatePixmap(width, height, format, 1);
    if (pm) blit(*this, *pm);
    return pm;
}

std::uint32_t TPixmap::ReadPixel(int x, int y) const {
    if (!pixels || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return decodePixel(PixelPtr(x, y), format);
}

void TPixmap::WritePixel(int x, int y, std::uint32_t c) {
    if (!pixels || x < 0 || y < 0 || x >= width || y >= height) return;
    encodePixel(PixelPtr(x, y), format, c);
}

namespace {

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool isPng(const std::uint8_t* data, std::size_t size) {
    return size >= 8 && std::memcmp(data, kPngSignature, 8) == 0;
}

// Reads a whole regular file of at most 256 MB (larger image files are refused). False when it
// cannot be read.
bool readImageFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    constexpr long kMaxFileBytes = long(kMaxImageFileBytes);
    bytes.clear();
    if (FileType(path) != 1) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    const bool fits = size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (fits) {
        bytes.resize(std::size_t(size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    std::fclose(file);
    return fits && bytes.size() == std::size_t(size);
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

} // namespace

PixmapRef LoadPixmapFromMemory(const std::uint8_t* data, std::size_t size, std::string* why) {
    std::string problem;
    PixmapRef pm;
    if (!data || size == 0) {
        problem = "is empty";
    } else if (size < 4) {
        problem = kUnknownKind;
    } else if (size > kMaxImageFileBytes) {
        problem = kTooLarge;
    } else if (isPng(data, size)) {
        pm = loadPng(data, size, problem);
    } else if (data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        pm = loadJpeg(data, size, problem);
    } else if (data[0] == 'B' && data[1] == 'M') {
        pm = loadBmp(data, size, problem);
    } else {
        pm = loadTga(data, size, problem);
    }
    if (why) *why = pm ? "" : problem.empty() ? kUnknownKind : problem;
    return pm;
}

PixmapRef LoadPixmap(const std::string& path, std::string* why) {
    std::vector<std::uint8_t> bytes;
    if (!readImageFile(path, bytes)) {
        if (why) *why = "cannot be read";
        return nullptr;
    }
    return LoadPixmapFromMemory(bytes.data(), bytes.size(), why);
}

std::string CheckImageFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!readImageFile(path, bytes)) return "cannot be read";
    if (isPng(bytes.data(), bytes.size())) return checkPngChunks(bytes.data(), bytes.size());
    std::string why;
    LoadPixmapFromMemory(bytes.data(), bytes.size(), &why);
    return why;
}

PixmapRef ResizePixmap(const PixmapRef& src, int width, int height) {
    if (!src || !src->pixels || !sizeAllowed(width, height)) return nullptr;
    if (width == src->width && height == src->height) return src->Copy();
    PixmapRef dst = CreatePixmap(width, height, src->format, 4);
    if (!dst) return nullptr;
    switch (src->format) {
    case PF_I8:
    case PF_A8:
        resample<1, false>(*src, *dst);
        break;
    case PF_BGR888:
    case PF_RGB888:
        resample<3, false>(*src, *dst);
        break;
    default:
        resample<4, true>(*src, *dst);
        break;
    }
    return dst;
}

namespace {
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
