#include "platform/pixmap.h"

#include "image_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace imagewriter;

// Writes a PNG with libpng directly (not through the code under test).
Bytes encodePng(int w, int h, int colorType, int depth, const std::vector<Bytes>& rows,
                const std::vector<png_color>& palette = {}, const Bytes& trns = {}) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
    png_write_info(png, info);
    for (const Bytes& row : rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A PNG chunk with its length and CRC, for hand-made files.
Bytes pngChunk(const char* type, const Bytes& data) {
    Bytes b;
    for (int i = 3; i >= 0; --i) b.push_back(std::uint8_t(data.size() >> (8 * i)));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    b.insert(b.end(), body.begin(), body.end());
    const uLong crc = crc32(0, body.data(), uInt(body.size()));
    for (int i = 3; i >= 0; --i) b.push_back(std::uint8_t(crc >> (8 * i)));
    return b;
}

PixmapRef load(const Bytes& bytes) {
    return LoadPixmapFromMemory(bytes.data(), bytes.size());
}

// Fills a pixmap with a fixed pseudo-random pattern (all formats, every byte).
void scribble(const PixmapRef& pm, std::uint32_t seed) {
    for (int y = 0; y < pm->height; ++y) {
        for (int x = 0; x < pm->width * BytesPerPixel(pm->format); ++x) {
            seed = seed * 1664525u + 1013904223u;
            pm->PixelPtr(0, y)[x] = std::uint8_t(seed >> 24);
        }
    }
}

void expectSamePixels(const PixmapRef& a, const PixmapRef& b) {
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->width, b->width);
    ASSERT_EQ(a->height, b->height);
    for (int y = 0; y < a->height; ++y) {
        for (int x = 0; x < a->width; ++x) {
            ASSERT_EQ(a->ReadPixel(x, y), b->ReadPixel(x, y)) << x << "," << y;
        }
    }
}

TEST(PixmapTest, CreateAlignsRowsAndRejectsBadRequests) {
    struct Case {
        int w, h, format, align, pitch; // pitch 0: null expected
    };
    const Case cases[] = {
        {3, 2, PF_RGB888, 4, 12},
        {3, 2, PF_RGB888, 1, 9},
        {3, 2, PF_RGB888, 8, 16},
        {5, 1, PF_I8, 2, 6},
        {5, 1, PF_RGBA8888, 4, 20},
        {0, 4, PF_I8, 4, 0},
        {4, -1, PF_I8, 4, 0},
        {4, 4, 7, 4, 0},
        {4, 4, 0, 4, 0},
        {4, 4, PF_I8, 3, 0},
        {4, 4, PF_I8, 0, 0},
        {kMaxPixmapSide + 1, 1, PF_I8, 1, 0},
        {16384, 16384, PF_I8, 1, 0}, // too many pixels
    };
    for (const Case& c : cases) {
        const PixmapRef pm = CreatePixmap(c.w, c.h, c.format, c.align);
        SCOPED_TRACE(testing::Message()
                     << c.w << "x" << c.h << " f" << c.format << " a" << c.align);
        if (!c.pitch) {
            EXPECT_FALSE(pm);
            continue;
        }
        ASSERT_TRUE(pm);
        EXPECT_EQ(pm->pitch, c.pitch);
        EXPECT_EQ(pm->store->size(), std::size_t(c.pitch * c.h));
        EXPECT_EQ(pm->PixelPtr(1, 1), pm->pixels + c.pitch + BytesPerPixel(c.format));
    }
}

TEST(PixmapTest, WindowSharesPixelsAndPitch) {
    const PixmapRef strip = CreatePixmap(12, 4, PF_RGBA8888);
    scribble(strip, 1);
    const PixmapRef frame = strip->Window(4, 1, 4, 2);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 4);
    EXPECT_EQ(frame->height, 2);
    EXPECT_EQ(frame->pitch, strip->pitch);
    EXPECT_EQ(frame->pixels, strip->PixelPtr(4, 1));
    EXPECT_EQ(frame->ReadPixel(0, 0), strip->ReadPixel(4, 1));
    frame->WritePixel(3, 1, 0x80112233);
    EXPECT_EQ(strip->ReadPixel(7, 2), 0x80112233u);
    // A window of a window still shares the strip.
    const PixmapRef inner = frame->Window(1, 1, 10, 10); // clipped to the frame
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->width, 3);
    EXPECT_EQ(inner->height, 1);
    EXPECT_EQ(inner->ReadPixel(2, 0), 0x80112233u);
    const PixmapRef clipped = strip->Window(-2, -2, 4, 4);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->pixels, strip->pixels);
    EXPECT_EQ(clipped->width, 2);
    EXPECT_FALSE(strip->Window(12, 0, 4, 4));
    EXPECT_FALSE(strip->Window(0, 0, 0, 4));
    // A window outlives its pixmap: the store is shared.
    const PixmapRef kept = CreatePixmap(2, 2, PF_I8)->Window(1, 1, 1, 1);
    kept->WritePixel(0, 0, 0xFF505050);
    EXPECT_EQ(kept->ReadPixel(0, 0), 0xFF505050u);
    EXPECT_EQ(kept->ReadPixel(1, 0), 0u); // outside
}

TEST(PixmapTest, ConvertBetweenFormats) {
    struct Case {
        int from;
        Bytes pixel;
        int to;
        Bytes expected;
    };
    const Case cases[] = {
        {PF_I8, {77}, PF_RGBA8888, {77, 77, 77, 255}},
        {PF_A8, {77}, PF_RGBA8888, {255, 255, 255, 77}},
        {PF_RGB888, {1, 2, 3}, PF_RGBA8888, {1, 2, 3, 255}},
        {PF_BGR888, {1, 2, 3}, PF_RGBA8888, {3, 2, 1, 255}},
        {PF_BGRA8888, {1, 2, 3, 4}, PF_RGBA8888, {3, 2, 1, 4}},
        {PF_RGBA8888, {10, 20, 30, 40}, PF_BGR888, {30, 20, 10}},
        {PF_RGBA8888, {10, 20, 30, 40}, PF_A8, {40}},
        {PF_RGBA8888, {255, 0, 0, 9}, PF_I8, {76}}, // luma 0.299 * 255
        {PF_RGB888, {90, 90, 90}, PF_I8, {90}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        const PixmapRef src = CreatePixmap(3, 2, c.from);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x)
                std::memcpy(src->PixelPtr(x, y), c.pixel.data(), c.pixel.size());
        }
        const PixmapRef dst = src->Convert(c.to);
        ASSERT_TRUE(dst);
        EXPECT_EQ(dst->format, c.to);
        EXPECT_EQ(Bytes(dst->PixelPtr(2, 1), dst->PixelPtr(2, 1) + c.expected.size()), c.expected);
    }
    const PixmapRef rgba = CreatePixmap(3, 3, PF_RGBA8888);
    scribble(rgba, 7);
    EXPECT_FALSE(rgba->Convert(9));
    const PixmapRef same = rgba->Convert(PF_RGBA8888);
    EXPECT_NE(same->pixels, rgba->pixels); // always a copy
    expectSamePixels(same, rgba);
    // A window converts its own pixels only, and Copy gives a tight pitch.
    const PixmapRef copy = rgba->Window(1, 1, 2, 2)->Convert(PF_RGB888)->Copy();
    EXPECT_EQ(copy->pitch, 6);
    EXPECT_EQ(copy->ReadPixel(1, 1), rgba->ReadPixel(2, 2) | 0xFF000000u);
}

TEST(PixmapTest, ResizeKeepsSameSizeExactAndAveragesWhenShrinking) {
    const PixmapRef src = CreatePixmap(7, 5, PF_RGBA8888);
    scribble(src, 3); // includes transparent pixels with arbitrary colour
    const PixmapRef same = ResizePixmap(src->Window(0, 0, 7, 5), 7, 5);
    expectSamePixels(same, src);
    EXPECT_NE(same->pixels, src->pixels);

    const PixmapRef quad = CreatePixmap(2, 2, PF_RGBA8888);
    quad->WritePixel(0, 0, 0xFF000000);
    quad->WritePixel(1, 0, 0xFF640000);
    quad->WritePixel(0, 1, 0xFF006400);
    quad->WritePixel(1, 1, 0xFF0000C8);
    const PixmapRef one = ResizePixmap(quad, 1, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->format, PF_RGBA8888);
    EXPECT_EQ(one->ReadPixel(0, 0), 0xFF191932u); // (100/4, 100/4, 200/4)

    // 4 x 1 grey to 2 x 1: pairs averaged; 3 x 1 to 2 x 1: spans of 1.5 pixels.
    const PixmapRef row = CreatePixmap(4, 1, PF_I8);
    const std::uint8_t greys[] = {0, 100, 200, 40};
    std::memcpy(row->pixels, greys, 4);
    const PixmapRef half = ResizePixmap(row, 2, 1);
    EXPECT_EQ(half->pixels[0], 50);
    EXPECT_EQ(half->pixels[1], 120);
    const PixmapRef third = ResizePixmap(row->Window(0, 0, 3, 1), 2, 1);
    EXPECT_EQ(third->pixels[0], 33);  // (0 + 100 / 2) / 1.5
    EXPECT_EQ(third->pixels[1], 167); // (100 / 2 + 200) / 1.5

    // Transparent pixels do not darken the colour of their neighbours.
    const PixmapRef edge = CreatePixmap(2, 1, PF_RGBA8888);
    edge->WritePixel(0, 0, 0xFFFF0000);
    edge->WritePixel(1, 0, 0x00000000);
    EXPECT_EQ(ResizePixmap(edge, 1, 1)->ReadPixel(0, 0), 0x80FF0000u);

    EXPECT_FALSE(ResizePixmap(nullptr, 2, 2));
    EXPECT_FALSE(ResizePixmap(src, 0, 2));
    EXPECT_FALSE(ResizePixmap(src, 2, -1));
}

TEST(PixmapTest, ResizeInterpolatesWhenGrowingAndBuildsAMipChain) {
    const PixmapRef col = CreatePixmap(1, 2, PF_I8);
    col->pixels[0] = 0;
    col->pixels[col->pitch] = 200;
    const PixmapRef tall = ResizePixmap(col, 1, 4);
    ASSERT_TRUE(tall);
    const int expected[] = {0, 50, 150, 200}; // centres at 0.25, 0.75 between edge-held samples
    for (int y = 0; y < 4; ++y) EXPECT_EQ(tall->PixelPtr(0, y)[0], expected[y]) << y;

    // A flat image stays flat at every level of a mip chain.
    PixmapRef level = CreatePixmap(256, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) level->WritePixel(x, y, 0xC0204060);
    }
    int levels = 0;
    while (level->width > 1 || level->height > 1) {
        level = ResizePixmap(level, std::max(1, level->width / 2), std::max(1, level->height / 2));
        ASSERT_TRUE(level);
        ++levels;
        EXPECT_EQ(level->ReadPixel(level->width - 1, level->height - 1), 0xC0204060u);
    }
    EXPECT_EQ(levels, 8);
}

TEST(PixmapTest, PngRoundTripIsLosslessAndDeterministic) {
    TempDir tmp;
    const PixmapRef big = CreatePixmap(9, 6, PF_RGBA8888);
    scribble(big, 11);
    const PixmapRef src = big->Window(1, 1, 7, 5); // a pitch wider than its rows
    ASSERT_TRUE(SavePixmapPNG(src, tmp.path("a.png")));
    ASSERT_TRUE(SavePixmapPNG(src, tmp.path("b.png")));
    EXPECT_EQ(tmp.read("a.png"), tmp.read("b.png"));
    const PixmapRef back = LoadPixmap(tmp.path("a.png"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->format, PF_RGBA8888);
    expectSamePixels(back, src);

    // Other formats are saved as RGBA.
    const PixmapRef grey = CreatePixmap(3, 3, PF_I8);
    scribble(grey, 5);
    ASSERT_TRUE(SavePixmapPNG(grey, tmp.path("grey.png")));
    expectSamePixels(LoadPixmap(tmp.path("grey.png")), grey);

    EXPECT_FALSE(SavePixmapPNG(nullptr, tmp.path("none.png")));
    EXPECT_FALSE(SavePixmapPNG(src, tmp.path("no_dir/x.png")));
    EXPECT_FALSE(SavePixmapPNG(src, tmp.dir().string()));
}

// An expected pixel of a decoded image, 0xAARRGGBB.
struct Px {
    int x, y;
    std::uint32_t argb;
};

void expectDecoded(const Bytes& file, int format, std::initializer_list<Px> pixels) {
    const PixmapRef pm = load(file);
    ASSERT_TRUE(pm);
    EXPECT_EQ(pm->format, format);
    for (const Px& p : pixels) {
        EXPECT_EQ(pm->ReadPixel(p.x, p.y), p.argb) << "at " << p.x << "," << p.y;
    }
}

Bytes concat(Bytes head, std::initializer_list<std::uint8_t> tail) {
    head.insert(head.end(), tail);
    return head;
}

TEST(PixmapTest, PngPaletteGreyAndDeepImagesExpandToRgba) {
    {
        SCOPED_TRACE("4-bit palette with tRNS: index 1 half transparent, index 2 beyond the table");
        const std::vector<png_color> palette = {{10, 20, 30}, {200, 0, 0}, {0, 0, 250}};
        expectDecoded(
            encodePng(3, 1, PNG_COLOR_TYPE_PALETTE, 4, {{0x01, 0x20}}, palette, {255, 128}),
            PF_RGBA8888, {{0, 0, 0xFF0A141E}, {1, 0, 0x80C80000}, {2, 0, 0xFF0000FA}});
    }
    {
        SCOPED_TRACE("16-bit grey: the high bytes are kept");
        expectDecoded(encodePng(2, 1, PNG_COLOR_TYPE_GRAY, 16, {{0x12, 0x34, 0xAB, 0xCD}}),
                      PF_RGBA8888, {{0, 0, 0xFF121212}, {1, 0, 0xFFABABAB}});
    }
    {
        SCOPED_TRACE("1-bit grey and 8-bit RGB come back opaque");
        expectDecoded(encodePng(3, 1, PNG_COLOR_TYPE_GRAY, 1, {{0xA0}}), PF_RGBA8888,
                      {{0, 0, 0xFFFFFFFF}, {1, 0, 0xFF000000}, {2, 0, 0xFFFFFFFF}});
        expectDecoded(encodePng(1, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3}}), PF_RGBA8888,
                      {{0, 0, 0xFF010203}});
    }
}

// Rows of an 8-bit RGBA image as a PNG stream holds them: a filter byte (0, none), then the
// pixels, a fixed pattern.
Bytes pngRows(int w, int h) {
    Bytes raw;
    std::uint32_t seed = 5;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w * 4; ++x) {
            seed = seed * 1664525u + 1013904223u;
            raw.push_back(std::uint8_t(seed >> 24));
        }
    }
    return raw;
}

Bytes deflated(const Bytes& raw, int level) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes z(size);
    compress2(z.data(), &size, raw.data(), uLong(raw.size()), level);
    z.resize(size);
    return z;
}

// An 8-bit RGBA PNG put together chunk by chunk: `extra` chunks after the header, then the
// deflate stream `z` in IDAT chunks, cut where `cuts` says.
Bytes handMadePng(int w, int h, const Bytes& z, std::initializer_list<std::size_t> cuts = {},
                  const std::vector<Bytes>& extra = {}) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    for (std::uint32_t v : {std::uint32_t(w), std::uint32_t(h)}) {
        for (int i = 3; i >= 0; --i) ihdr.push_back(std::uint8_t(v >> (8 * i)));
    }
    for (std::uint8_t v : {8, 6, 0, 0, 0}) ihdr.push_back(v);
    std::vector<Bytes> chunks = {pngChunk("IHDR", ihdr)};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    std::size_t from = 0;
    for (std::size_t to : cuts) {
        chunks.push_back(pngChunk("IDAT", Bytes(z.begin() + long(from), z.begin() + long(to))));
        from = to;
    }
    chunks.push_back(pngChunk("IDAT", Bytes(z.begin() + long(from), z.end())));
    chunks.push_back(pngChunk("IEND", {}));
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
    return out;
}

bool readLeniently(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_read_image(png, rows);
    return true;
}

// What libpng itself makes of an 8-bit RGBA PNG when its warnings are let pass, laid out as
// the stream holds it (a 0 in front of each row), or nothing when libpng fails.
std::optional<Bytes> decodeLeniently(const Bytes& file, int w, int h) {
    struct Source {
        const Bytes* file;
        std::size_t pos;
    } src{&file, 0};
    Bytes raw(std::size_t(h) * (1 + std::size_t(w) * 4), 0);
    std::vector<png_bytep> rows;
    for (int y = 0; y < h; ++y) rows.push_back(&raw[std::size_t(y) * (1 + w * 4) + 1]);
    png_structp png = png_create_read_struct(
        PNG_LIBPNG_VER_STRING, nullptr, [](png_structp p, png_const_charp) { png_longjmp(p, 1); },
        [](png_structp, png_const_charp) {});
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &src, [](png_structp p, png_bytep out, png_size_t n) {
        auto* s = static_cast<Source*>(png_get_io_ptr(p));
        if (n > s->file->size() - s->pos) png_error(p, "cut short");
        std::memcpy(out, s->file->data() + s->pos, n);
        s->pos += n;
    });
    const bool ok = readLeniently(png, info, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) return std::nullopt;
    return raw;
}

// An RGBA pixmap holds the rows of `raw` (laid out as pngRows makes them).
void expectRows(const PixmapRef& pm, const Bytes& raw) {
    ASSERT_TRUE(pm);
    ASSERT_EQ(pm->format, PF_RGBA8888);
    const std::size_t row = 1 + std::size_t(pm->width) * 4;
    ASSERT_EQ(raw.size(), row * std::size_t(pm->height));
    for (int y = 0; y < pm->height; ++y) {
        const auto from = raw.begin() + long(row * std::size_t(y) + 1);
        EXPECT_EQ(Bytes(pm->PixelPtr(0, y), pm->PixelPtr(0, y) + pm->width * 4),
                  Bytes(from, from + pm->width * 4))
            << "row " << y;
    }
}

// Image data that libpng only warns about fails the decode, naming the trouble; the fixtures
// are damaged so that the chunk checksums hold and only the data itself tells.
TEST(PixmapTest, PngImageDataComplaintsFailTheDecode) {
    constexpr int kW = 24, kH = 8;
    const Bytes raw = pngRows(kW, kH);
    // Stored deflate blocks carry the pixel bytes as they are: 64 of them flipped inside a row
    // leave a stream that inflates, with wrong pixels, and fails only its check value.
    const Bytes stored = deflated(raw, 0);
    Bytes flipped = stored;
    const auto row4 =
        std::search(flipped.begin(), flipped.end(), raw.begin() + 4 * (1 + kW * 4) + 1,
                    raw.begin() + 5 * (1 + kW * 4));
    ASSERT_NE(row4, flipped.end());
    for (int i = 0; i < 64; ++i) row4[i] ^= 0xFF;
    const Bytes packed = deflated(raw, 9);
    Bytes trailing = packed;
    for (std::uint8_t v : {1, 2, 3, 4}) trailing.push_back(v);

    struct Case {
        const char* name;
        int height; // in the header
        Bytes file;
        const char* why;
        bool lenientLoads; // whether libpng with its warnings let pass makes an image of it
    };
    const Case cases[] = {
        // The check value in a chunk of its own is read only after the last row: libpng warns.
        {"pixel data flipped, the check value apart", kH,
         handMadePng(kW, kH, flipped, {flipped.size() - 4}),
         "has damaged image data (IDAT: incorrect data check)", true},
        {"pixel data flipped, one chunk", kH, handMadePng(kW, kH, flipped),
         "has damaged image data (IDAT: incorrect data check)", false},
        {"more rows than the header says", kH - 2, handMadePng(kW, kH - 2, packed),
         "has damaged image data (IDAT: Too much image data)", true},
        {"bytes after the end of the stream", kH, handMadePng(kW, kH, trailing),
         "has damaged image data (IDAT: Extra compressed data)", true},
        {"fewer rows than the header says", kH + 1, handMadePng(kW, kH + 1, packed),
         "has damaged image data (Not enough image data)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Bytes> lenient = decodeLeniently(c.file, kW, c.height);
        EXPECT_EQ(lenient.has_value(), c.lenientLoads);
        std::string why;
        EXPECT_FALSE(LoadPixmapFromMemory(c.file.data(), c.file.size(), &why));
        EXPECT_EQ(why, c.why);
    }
    // The flipped pixels are what a lenient reader shows.
    const std::optional<Bytes> garbage = decodeLeniently(cases[0].file, kW, kH);
    ASSERT_TRUE(garbage);
    EXPECT_NE(*garbage, raw);

    // The same streams undamaged decode to their pixels.
    for (const Bytes& z : {stored, packed})
        expectRows(load(handMadePng(kW, kH, z, {z.size() - 4})), raw);
}

// Warnings about other chunks than the image data leave the pixels alone: the image loads.
TEST(PixmapTest, PngWarningsAboutOtherChunksDoNotRefuseTheImage) {
    constexpr int kW = 5, kH = 3;
    const Bytes raw = pngRows(kW, kH);
    Bytes badCrcText = pngChunk("tEXt", {'k', 0, 'v'});
    badCrcText.back() ^= 1;
    const std::pair<const char*, Bytes> cases[] = {
        {"a colour profile cut short", pngChunk("iCCP", {'x', 0, 0, 0x78, 0x9C, 1, 2, 3})},
        {"an unknown rendering intent", pngChunk("sRGB", {9})},
        {"a gamma of 0", pngChunk("gAMA", {0, 0, 0, 0})},
        {"a text chunk with a bad checksum", badCrcText},
        {"a private chunk", pngChunk("prVt", {1, 2, 3})},
    };
    for (const auto& [name, chunk] : cases) {
        SCOPED_TRACE(name);
        const Bytes file = handMadePng(kW, kH, deflated(raw, 9), {}, {chunk});
        std::string why = "not set";
        const PixmapRef pm = LoadPixmapFromMemory(file.data(), file.size(), &why);
        ASSERT_TRUE(pm) << why;
        EXPECT_EQ(why, "");
        expectRows(pm, raw);
    }
}

TEST(PixmapTest, BmpBottomUpTopDownPalettedAndBitfields) {
    {
        SCOPED_TRACE("24-bit, bottom-up, 3 x 2: rows of 9 bytes padded to 12");
        expectDecoded(concat(bmpHeader(3, 2, 24, 0, 54),
                             {255, 255, 255, 0, 0,   0, 30,  20, 10, 0, 0, 0,   // bottom row
                              0,   0,   255, 0, 255, 0, 255, 0,  0,  0, 0, 0}), // top row
                      PF_RGB888,
                      {{0, 0, 0xFFFF0000},
                       {1, 0, 0xFF00FF00},
                       {2, 0, 0xFF0000FF},
                       {0, 1, 0xFFFFFFFF},
                       {1, 1, 0xFF000000},
                       {2, 1, 0xFF0A141E}});
    }
    {
        SCOPED_TRACE("8-bit palettised, top-down (negative height), three colours");
        expectDecoded(
            concat(bmpHeader(2, -2, 8, 0, 54 + 12, 3),
                   {0, 0, 0, 0, 0, 0, 200, 0, 50, 100, 150, 0, // BGRx entries
                    1, 2, 0, 0, 2, 0, 0,   0}),                // indices
            PF_RGB888,
            {{0, 0, 0xFFC80000}, {1, 0, 0xFF966432}, {0, 1, 0xFF966432}, {1, 1, 0xFF000000}});
    }
    {
        SCOPED_TRACE("1-bit palettised, five pixels in one byte");
        expectDecoded(
            concat(bmpHeader(5, 1, 1, 0, 54 + 8, 2), {0, 0, 255, 0, 255, 0, 0, 0, // 2 entries
                                                      0xA8, 0, 0, 0}),
            PF_RGB888, {{0, 0, 0xFF0000FF}, {1, 0, 0xFFFF0000}, {4, 0, 0xFF0000FF}});
    }
    {
        SCOPED_TRACE("32-bit bit fields in a 56-byte header, alpha in the low byte");
        Bytes bf = bmpHeader(2, 1, 32, 3, 54 + 16, 0, 56);
        for (std::uint32_t m : {0x0000FF00u, 0x00FF0000u, 0xFF000000u, 0x000000FFu}) put32(bf, m);
        expectDecoded(concat(bf, {0x80, 3, 2, 1, 0xFF, 6, 5, 4}), PF_RGBA8888,
                      {{0, 0, 0x80030201}, {1, 0, 0xFF060504}});
    }
    {
        SCOPED_TRACE("16-bit 5-5-5");
        expectDecoded(concat(bmpHeader(2, 1, 16, 0, 54), {0x00, 0x7C, 0x1F, 0x00}), PF_RGB888,
                      {{0, 0, 0xFFFF0000}, {1, 0, 0xFF0000FF}});
    }
    {
        SCOPED_TRACE("32-bit BI_RGB whose fourth bytes are all zero: opaque RGB");
        expectDecoded(concat(bmpHeader(1, 1, 32, 0, 54), {9, 8, 7, 0}), PF_RGB888,
                      {{0, 0, 0xFF070809}});
    }
    {
        SCOPED_TRACE("32-bit BI_RGB with some fourth bytes set: they are alpha");
        expectDecoded(concat(bmpHeader(2, 1, 32, 0, 54), {9, 8, 7, 0, 3, 2, 1, 0x80}), PF_RGBA8888,
                      {{0, 0, 0x00070809}, {1, 0, 0x80010203}});
    }
}

// 16-bit images with an alpha mask keep their alpha, whichever header carries the masks.
TEST(PixmapTest, BmpSixteenBitAlphaMasks) {
    {
        SCOPED_TRACE("4-4-4-4 in a 56-byte header");
        Bytes file = bmpHeader(2, 1, 16, 3, 54 + 16, 0, 56);
        for (std::uint32_t m : {0x0F00u, 0x00F0u, 0x000Fu, 0xF000u}) put32(file, m);
        expectDecoded(concat(file, {0x21, 0x83, 0x54, 0xF6}), PF_RGBA8888,
                      {{0, 0, 0x88332211}, {1, 0, 0xFF665544}});
    }
    {
        SCOPED_TRACE("1-5-5-5 in a 108-byte header, opaque and clear pixels side by side");
        Bytes file = bmpHeader(3, 1, 16, 3, 14 + 108, 0, 108);
        for (std::uint32_t m : {0x7C00u, 0x03E0u, 0x001Fu, 0x8000u}) put32(file, m);
        file.resize(14 + 108, 0);
        expectDecoded(concat(file, {0x00, 0x7C, 0x1F, 0x80, 0xE0, 0x83, 0, 0}), PF_RGBA8888,
                      {{0, 0, 0x00FF0000}, {1, 0, 0xFF0000FF}, {2, 0, 0xFF00FF00}});
    }
    {
        SCOPED_TRACE("an alpha mask whose bits are clear everywhere: opaque");
        Bytes file = bmpHeader(1, 1, 16, 3, 54 + 16, 0, 56);
        for (std::uint32_t m : {0x7C00u, 0x03E0u, 0x001Fu, 0x8000u}) put32(file, m);
        expectDecoded(concat(file, {0x1F, 0x00, 0, 0}), PF_RGB888, {{0, 0, 0xFF0000FF}});
    }
}

// Run-length coded BMP, as common tools write 4 and 8-bit images: runs, literal stretches,
// end of line and an end of image that leaves pixels at index 0. An index beyond the palette
// reads as black.
TEST(PixmapTest, BmpRunLengthCoded) {
    const Bytes palette = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}; // red, green, blue
    {
        SCOPED_TRACE("8 bits, 4 x 2, bottom-up");
        Bytes file = bmpHeader(4, 2, 8, 1, 54 + 12, 3);
        file.insert(file.end(), palette.begin(), palette.end());
        expectDecoded(concat(file, {3, 1, 1, 7, 0, 0, // bottom: 3 x green, index 7; end of line
                                    0, 3, 2, 0, 1, 0, // top: a literal stretch of 3, padded
                                    0, 1}),           // end of image: the last pixel stays 0
                      PF_RGB888,
                      {{0, 1, 0xFF00FF00},
                       {2, 1, 0xFF00FF00},
                       {3, 1, 0xFF000000},
                       {0, 0, 0xFF0000FF},
                       {1, 0, 0xFFFF0000},
                       {2, 0, 0xFF00FF00},
                       {3, 0, 0xFFFF0000}});
    }
    {
        SCOPED_TRACE("4 bits: a run alternates its two nibbles");
        Bytes file = bmpHeader(5, 1, 4, 2, 54 + 12, 3);
        file.insert(file.end(), palette.begin(), palette.end());
        expectDecoded(concat(file, {5, 0x12, 0, 1}), PF_RGB888,
                      {{0, 0, 0xFF00FF00}, {1, 0, 0xFF0000FF}, {4, 0, 0xFF00FF00}});
    }
}

TEST(PixmapTest, TgaUncompressedRleAndOrigins) {
    {
        SCOPED_TRACE("uncompressed 24-bit, bottom-left origin: the bottom row comes first");
        expectDecoded(
            concat(tgaHeader(2, 2, 2, 24, 0), {0, 0, 255, 0, 255, 0, /* top */ 255, 0, 0, 9, 9, 9}),
            PF_RGB888,
            {{0, 0, 0xFF0000FF}, {1, 0, 0xFF090909}, {0, 1, 0xFFFF0000}, {1, 1, 0xFF00FF00}});
    }
    {
        SCOPED_TRACE("RLE 32-bit, top-left origin, 3 x 2; a run crosses the row boundary");
        expectDecoded(concat(tgaHeader(10, 3, 2, 32, 0x28),
                             {0x83, 0, 0, 255, 128,                  // 4 x red, alpha 128
                              0x01, 255, 0, 0, 255, 0, 255, 0, 64}), // raw: blue, green
                      PF_RGBA8888,
                      {{0, 0, 0x80FF0000},
                       {2, 0, 0x80FF0000},
                       {0, 1, 0x80FF0000},
                       {1, 1, 0xFF0000FF},
                       {2, 1, 0x4000FF00}});
    }
    {
        SCOPED_TRACE("colour-mapped, two 24-bit entries, top origin");
        Bytes mapped = tgaHeader(1, 3, 1, 8, 0x20);
        mapped[1] = 1;  // a colour map is present
        mapped[5] = 2;  // two entries
        mapped[7] = 24; // of three bytes each
        expectDecoded(concat(mapped, {0, 0, 255, 255, 0, 0, /* indices */ 1, 0, 5}), PF_RGB888,
                      {{0, 0, 0xFF0000FF}, {1, 0, 0xFFFF0000}, {2, 0, 0xFF000000}});
    }
    {
        SCOPED_TRACE("RLE 8-bit grey, right-to-left, top origin");
        expectDecoded(concat(tgaHeader(11, 3, 1, 8, 0x30), {0x00, 10, 0x81, 20}), PF_I8,
                      {{2, 0, 0xFF0A0A0A}, {1, 0, 0xFF141414}, {0, 0, 0xFF141414}});
    }
    {
        SCOPED_TRACE("uncompressed 8-bit grey, right-to-left, bottom origin");
        expectDecoded(
            concat(tgaHeader(3, 2, 2, 8, 0x10), {1, 2, 3, 4}), PF_I8,
            {{1, 1, 0xFF010101}, {0, 1, 0xFF020202}, {1, 0, 0xFF030303}, {0, 0, 0xFF040404}});
    }
    {
        SCOPED_TRACE("colour-mapped, 32-bit entries with alpha, the map starting at index 2");
        Bytes mapped = tgaHeader(1, 3, 1, 8, 0x20);
        mapped[1] = 1;
        mapped[3] = 2; // first entry
        mapped[5] = 2;
        mapped[7] = 32;
        expectDecoded(concat(mapped, {0, 0, 255, 128, 255, 0, 0, 255, /* indices */ 2, 3, 0}),
                      PF_RGBA8888, {{0, 0, 0x80FF0000}, {1, 0, 0xFF0000FF}, {2, 0, 0xFF000000}});
    }
    {
        SCOPED_TRACE("RLE colour-mapped");
        Bytes mapped = tgaHeader(9, 3, 1, 8, 0x20);
        mapped[1] = 1;
        mapped[5] = 2;
        mapped[7] = 24;
        expectDecoded(concat(mapped, {0, 0, 255, 255, 0, 0, /* packets */ 0x81, 1, 0x00, 0}),
                      PF_RGB888, {{0, 0, 0xFF0000FF}, {1, 0, 0xFF0000FF}, {2, 0, 0xFFFF0000}});
    }
    {
        SCOPED_TRACE("16-bit 5-5-5");
        expectDecoded(concat(tgaHeader(2, 2, 1, 16, 0x20), {0x00, 0x7C, 0x1F, 0x00}), PF_RGB888,
                      {{0, 0, 0xFFFF0000}, {1, 0, 0xFF0000FF}});
    }
    {
        SCOPED_TRACE("32-bit whose alpha bytes are all zero: opaque RGB");
        expectDecoded(concat(tgaHeader(2, 2, 1, 32, 0x20), {1, 2, 3, 0, 4, 5, 6, 0}), PF_RGB888,
                      {{0, 0, 0xFF030201}, {1, 0, 0xFF060504}});
    }
}

TEST(PixmapTest, JpegDecodesColourAndGrey) {
    TempDir tmp;
    Bytes rgb(16 * 16 * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200, rgb[i + 1] = 100, rgb[i + 2] = 50;
    const std::string path = tmp.write("photo.jpg", encodeJpeg(16, 16, 3, rgb));
    const PixmapRef a = LoadPixmap(path);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->format, PF_RGB888);
    EXPECT_EQ(a->width, 16);
    EXPECT_EQ(a->height, 16);
    const std::uint8_t* p = a->PixelPtr(8, 8);
    EXPECT_NEAR(p[0], 200, 6);
    EXPECT_NEAR(p[1], 100, 6);
    EXPECT_NEAR(p[2], 50, 6);

    const PixmapRef g = load(encodeJpeg(8, 8, 1, Bytes(64, 90)));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->format, PF_I8);
    EXPECT_NEAR(g->PixelPtr(3, 3)[0], 90, 3);
}

// A progressive scan costs the decoder a pass over the whole image for as little as a dozen
// bytes, so a small file of repeated scans would keep it busy for seconds: scans that repeat or
// come out of order are refused, and so is a file of more scans than any encoder writes.
TEST(PixmapTest, JpegProgressiveScansThatRepeatAreRefused) {
    TempDir tmp;
    Bytes rgb(64 * 64 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint8_t(i * 7 % 251);
    const Bytes sequential = encodeJpeg(64, 64, 3, rgb);
    const Bytes progressive = encodeJpeg(64, 64, 3, rgb, true);
    // First passes at full precision, which later scans cannot refine: DC, then each
    // component's AC coefficients.
    const Bytes fullPasses = encodeJpeg(64, 64, 3, rgb, false,
                                        {{3, {0, 1, 2}, 0, 0, 0, 0},
                                         {1, {0}, 1, 63, 0, 0},
                                         {1, {1}, 1, 63, 0, 0},
                                         {1, {2}, 1, 63, 0, 0}});
    ASSERT_EQ(jpegScans(progressive).size(), 10u);
    ASSERT_EQ(jpegScans(fullPasses).size(), 4u);
    // The same coefficients in another order: the same pixels.
    expectSamePixels(load(sequential), load(progressive));
    expectSamePixels(load(sequential), load(fullPasses));
    // Up to 100 scans decode, a full-precision pass repeated included.
    expectSamePixels(load(sequential), load(repeatScan(fullPasses, 2, 96)));

    struct Case {
        const char* name;
        Bytes bytes;
        const char* why;
    };
    const Case cases[] = {
        {"the last refinement twice", repeatScan(progressive, 9, 1),
         "has progressive scans that repeat or come out of order (Inconsistent progression"},
        {"a first pass 2000 times", repeatScan(progressive, 2, 1999),
         "has progressive scans that repeat or come out of order (Inconsistent progression"},
        {"101 scans", repeatScan(fullPasses, 2, 97), "has too many scans (more than 100)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        EXPECT_FALSE(LoadPixmapFromMemory(c.bytes.data(), c.bytes.size(), &why));
        EXPECT_TRUE(why.starts_with(c.why)) << why;
        EXPECT_EQ(CheckImageFile(tmp.write("scans.jpg", c.bytes)), why);
    }
}

TEST(PixmapTest, BadFilesYieldNullWithAReason) {
    TempDir tmp;
    const PixmapRef good = CreatePixmap(32, 32, PF_RGBA8888);
    scribble(good, 9);
    ASSERT_TRUE(SavePixmapPNG(good, tmp.path("good.png")));
    const Bytes png = tmp.read("good.png");
    Bytes rgb(32 * 32 * 3, 77);
    const Bytes jpeg = encodeJpeg(32, 32, 3, rgb);

    Bytes badCrc = png;
    badCrc[png.size() / 2] ^= 0x55; // inside the image data
    Bytes jpegHuge = jpeg;
    for (std::size_t i = 0; i + 8 < jpegHuge.size(); ++i) {
        if (jpegHuge[i] == 0xFF && jpegHuge[i + 1] == 0xC0) { // frame header: 8000 x 8000
            jpegHuge[i + 5] = jpegHuge[i + 7] = 0x1F;
            jpegHuge[i + 6] = jpegHuge[i + 8] = 0x40;
            break;
        }
    }
    // A valid PNG header asking for 8000 x 8000 pixels (within the size limits) over a few
    // bytes of data.
    Bytes pngHuge(png.begin(), png.begin() + 8);
    Bytes ihdr;
    for (std::uint32_t v : {8000u, 8000u}) {
        for (int i = 3; i >= 0; --i) ihdr.push_back(std::uint8_t(v >> (8 * i)));
    }
    for (std::uint8_t v : {8, 6, 0, 0, 0}) ihdr.push_back(v);
    for (const Bytes& chunk :
         {pngChunk("IHDR", ihdr), pngChunk("IDAT", {0x78, 0x9C, 0x03, 0}), pngChunk("IEND", {})})
        pngHuge.insert(pngHuge.end(), chunk.begin(), chunk.end());

    const Bytes palette = {0, 0, 255, 0, 0, 255, 0, 0}; // two BGRx entries
    Bytes bmpShort = bmpHeader(100, 100, 24, 0, 54);
    bmpShort.resize(54 + 100);
    Bytes bmpHugeHeader = bmpHeader(16384, 16384, 32, 0, 54);
    bmpHugeHeader.resize(200);
    Bytes bmpMinHeight = bmpHeader(4, INT32_MIN, 24, 0, 54);
    bmpMinHeight.resize(200);
    Bytes bmpOffPastEnd = bmpHeader(1, 1, 24, 0, 0x7FFFFFF0);
    bmpOffPastEnd.resize(60);
    Bytes bmpRleCut = bmpHeader(8, 8, 8, 1, 54 + 8, 2);
    bmpRleCut.insert(bmpRleCut.end(), palette.begin(), palette.end());
    for (std::uint8_t v : {8, 1, 0, 0, 8, 0, 0, 0, 0, 4, 1})
        bmpRleCut.push_back(v); // stops mid-way
    Bytes bmpRlePaletteCut = bmpHeader(2, 2, 8, 1, 54);
    bmpRlePaletteCut.resize(80); // 256 palette entries due
    Bytes bmpOutOfPalette = bmpHeader(2, 1, 8, 0, 54 + 8, 2);
    bmpOutOfPalette.insert(bmpOutOfPalette.end(), palette.begin(), palette.end());
    for (std::uint8_t v : {1, 5, 0, 0}) bmpOutOfPalette.push_back(v);
    Bytes bmpEmbeddedJpeg = bmpHeader(2, 1, 24, 4, 54);
    bmpEmbeddedJpeg.resize(54 + 64, 0xFF);
    Bytes tgaHuge = tgaHeader(2, 65535, 65535, 32, 0);
    tgaHuge.resize(100);
    Bytes tgaShort = tgaHeader(2, 10, 10, 24, 0);
    tgaShort.resize(18 + 299);
    Bytes tgaRleShort = tgaHeader(10, 4, 4, 24, 0);
    for (std::uint8_t v : {0x8F, 1, 2}) tgaRleShort.push_back(v); // run value cut short
    Bytes tgaRleRawShort = tgaHeader(10, 4, 4, 24, 0);
    for (std::uint8_t v : {0x8E, 1, 2, 3, 0x01, 4, 5, 6}) tgaRleRawShort.push_back(v); // 2 due
    Bytes tgaRleTooFewPackets = tgaHeader(10, 4, 4, 24, 0);
    for (std::uint8_t v : {0x8E, 1, 2, 3}) tgaRleTooFewPackets.push_back(v); // 15 of 16 pixels
    Bytes tgaMapShort = tgaHeader(1, 2, 1, 8, 0);
    tgaMapShort[1] = 1;
    tgaMapShort[5] = 200; // entries
    tgaMapShort[7] = 24;
    tgaMapShort.resize(18 + 100);
    Bytes tgaBadDepth = tgaHeader(2, 2, 2, 7, 0);
    tgaBadDepth.resize(100);
    Bytes tgaInterleaved = tgaHeader(2, 1, 1, 24, 0x40);
    tgaInterleaved.resize(18 + 3);

    struct Case {
        const char* name;
        Bytes bytes;
        const char* why; // part of the reason given
    };
    const Case cases[] = {
        {"empty", {}, "is empty"},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ' ',
                       'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},
         "is not a readable image"},
        {"zeros", Bytes(64, 0), "is not a readable image"},
        {"png signature only", Bytes(png.begin(), png.begin() + 8), "is cut short"},
        {"png cut in the header", Bytes(png.begin(), png.begin() + 20), "is cut short"},
        {"png cut in the data", Bytes(png.begin(), png.begin() + long(png.size() / 2)),
         "is cut short"},
        {"png with a bad crc", badCrc, "has damaged image data ("},
        {"png asking for a huge image", pngHuge, "has an impossible size"},
        {"jpeg cut in half", Bytes(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)),
         "is cut short"},
        {"jpeg markers only", Bytes{0xFF, 0xD8, 0xFF, 0xD9}, "is not a readable JPEG image ("},
        {"jpeg asking for a huge image", jpegHuge, "has an impossible size"},
        {"bmp with too little data", bmpShort, "is cut short"},
        {"bmp with a huge header", bmpHugeHeader, "has an impossible size"},
        {"bmp with the lowest height", bmpMinHeight, "has an impossible size"},
        {"bmp data offset past the end", bmpOffPastEnd, "is cut short"},
        {"bmp run-length data cut short", bmpRleCut, "is not a readable BMP image ("},
        {"bmp run-length palette cut short", bmpRlePaletteCut, "is not a readable BMP image ("},
        {"bmp index beyond the palette", bmpOutOfPalette, "is not a readable BMP image ("},
        {"bmp with embedded jpeg", bmpEmbeddedJpeg, "compression that is not supported"},
        {"bm and noise", Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         "is cut short"},
        {"tga asking for a huge image", tgaHuge, "has an impossible size"},
        {"tga with too little data", tgaShort, "is cut short"},
        {"tga run cut short", tgaRleShort, "is cut short"},
        {"tga literal packet cut short", tgaRleRawShort, "is cut short"},
        {"tga packets ending before the image", tgaRleTooFewPackets, "is cut short"},
        {"tga colour map cut short", tgaMapShort, "is cut short"},
        {"tga with a bad depth", tgaBadDepth, "depth that is not supported"},
        {"tga with interleaved rows", tgaInterleaved, "interleaved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why = "not set";
        EXPECT_FALSE(LoadPixmapFromMemory(c.bytes.data(), c.bytes.size(), &why));
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        const std::string path = tmp.write("case.bin", c.bytes);
        EXPECT_FALSE(LoadPixmap(path));
        // PNG files are checked by their chunks alone; the others are decoded.
        if (c.bytes.size() < 2 || c.bytes[1] != 'P') {
            EXPECT_EQ(CheckImageFile(path), why);
        }
    }
    std::string why;
    EXPECT_FALSE(LoadPixmap(tmp.path("missing.png"), &why));
    EXPECT_EQ(why, "cannot be read");
    EXPECT_FALSE(LoadPixmap(tmp.dir().string()));
    EXPECT_FALSE(LoadPixmap(""));
    EXPECT_FALSE(LoadPixmapFromMemory(nullptr, 10));
    // The intact files still load, and say so.
    EXPECT_TRUE(LoadPixmapFromMemory(png.data(), png.size(), &why));
    EXPECT_EQ(why, "");
    EXPECT_TRUE(load(jpeg));
    const Bytes bmp = concat(bmpHeader(1, 1, 24, 0, 54), {1, 2, 3, 0});
    const Bytes tga = concat(tgaHeader(2, 1, 1, 24, 0), {1, 2, 3});
    for (const Bytes* file : {&bmp, &tga}) {
        EXPECT_TRUE(load(*file));
        EXPECT_EQ(CheckImageFile(tmp.write("good.bin", *file)), "");
    }
}

} // namespace
