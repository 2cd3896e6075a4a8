// Writes the fuzz targets' seed corpora: small files of every kind each loader reads, made with
// the project's own writers (the PNG writer, the Ogg Vorbis encoder, the tests' B3D writer) and
// the tests' image writer for JPEG, BMP and TGA files. The corpora in tools/fuzz/corpus were made
// with it:
//     make_seeds tools/fuzz/corpus
// writes OUTDIR/b3d, OUTDIR/song and OUTDIR/image.
#include "platform/pixmap.h"
#include "platform/vorbis_encode.h"
#include "tests/unit/b3d_writer.h"
#include "tests/unit/image_writer.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace imagewriter;
namespace fs = std::filesystem;

void write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
        std::exit(1);
    }
}

// ---- Models

B3DKey key(int frame, float x, float angle) {
    B3DKey k;
    k.frame = frame;
    k.p[0] = x;
    k.q[0] = std::cos(angle / 2);
    k.q[3] = std::sin(angle / 2);
    return k;
}

// A quad strip of `columns` quads with normals and one set of texture coordinates.
std::vector<std::vector<float>> strip(int columns) {
    std::vector<std::vector<float>> v;
    for (int x = 0; x <= columns; ++x)
        for (int y = 0; y < 2; ++y)
            v.push_back({float(x), float(y), 0, 0, 0, -1, float(x) / float(columns), float(y)});
    return v;
}

std::vector<std::vector<int>> stripTris(int columns) {
    std::vector<std::vector<int>> t;
    for (int x = 0; x < columns; ++x) {
        const int a = 2 * x;
        t.push_back({a, a + 1, a + 3});
        t.push_back({a, a + 3, a + 2});
    }
    return t;
}

// Two bones in a chain over a strip, keyed at three frames.
Bytes skinnedModel() {
    B3DWriter w;
    w.Header().Texs({{"skin.png"}}).Brus(1, {{"skin", 1, 0.8f, 0.6f, 1, 0, 1, 0, {0}}});
    w.Node("body").Mesh(0).Vrts(1, 1, 2, strip(4)).Tris(0, stripTris(4)).End();
    w.Anim(20);
    w.Node("hip").Bone({{0, 1}, {1, 1}, {2, 0.5f}, {3, 0.5f}});
    w.Keys(5, {key(0, 0, 0), key(10, 0, 0.6f), key(20, 0, 0)});
    w.Node("knee", {2, 0, 0}).Bone({{4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}});
    w.Keys(7, {key(0, 2, 0), key(20, 2, -0.9f)});
    return w.Finish();
}

// A static mesh of two brushes, without normals (the loader smooths them), and a child node.
Bytes staticModel() {
    B3DWriter w;
    B3DBrush red{"red", 1, 0, 0, 1, 0.5f, 1, 0, {}};
    B3DBrush blue{"blue", 0, 0, 1, 0.5f, 0, 3, 0, {}};
    w.Header().Brus(0, {red, blue});
    std::vector<std::vector<float>> verts;
    for (const auto& v : strip(3)) verts.push_back({v[0], v[1], v[2]});
    w.Node("room", {0, 1, 2}, {2, 2, 2}).Mesh(-1).Vrts(0, 0, 0, verts);
    w.Tris(0, {{0, 1, 3}, {0, 3, 2}}).Tris(1, {{2, 3, 5}, {2, 5, 4}, {4, 5, 7}}).End();
    w.Node("lamp", {0, 3, 0}).Mesh(1).Vrts(0, 0, 0, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    w.Tris(1, {{0, 1, 2}}).End();
    return w.Finish();
}

// Nodes without geometry animated by their keys, nested three deep.
Bytes hierarchyModel() {
    B3DWriter w;
    w.Header().Node("root").Anim(8, 10.0f);
    w.Node("arm", {1, 0, 0}).Keys(1, {key(0, 1, 0), key(8, 3, 0)});
    w.Node("hand", {1, 0, 0}).Keys(4, {key(0, 0, 0), key(4, 0, 1.5f), key(8, 0, 3.0f)});
    w.Node("finger").Mesh(-1).Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}});
    w.Tris(-1, {{0, 1, 2}}).End();
    return w.Finish();
}

// ---- Songs

Bytes tones(int seconds, int channels, int hertz, float quality, int serial) {
    std::vector<float> pcm;
    const std::size_t frames = std::size_t(seconds) * std::size_t(hertz);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / hertz, pitch = 220.0 * (1 + (i / std::size_t(hertz)) % 4);
        for (int c = 0; c < channels; ++c)
            pcm.push_back(float(0.4 * std::sin(2 * M_PI * pitch * t * (c + 1))));
    }
    return EncodeOggVorbis(pcm.data(), frames, channels, hertz, quality, serial);
}

Bytes wave8(int frames) {
    Bytes b = {'R', 'I', 'F', 'F'};
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    put32(36 + std::uint32_t(frames));
    for (char c : std::string("WAVEfmt ")) b.push_back(std::uint8_t(c));
    put32(16);
    for (std::uint8_t v : {1, 0, 1, 0}) b.push_back(v); // PCM, one channel
    put32(8000);
    put32(8000);
    for (std::uint8_t v : {1, 0, 8, 0}) b.push_back(v); // 1 byte a frame, 8 bits
    for (char c : std::string("data")) b.push_back(std::uint8_t(c));
    put32(std::uint32_t(frames));
    for (int i = 0; i < frames; ++i) b.push_back(std::uint8_t(128 + 100 * std::sin(i * 0.2)));
    return b;
}

// ---- Images

PixmapRef picture(int w, int h, int format) {
    PixmapRef pm = CreatePixmap(w, h, format, 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pm->WritePixel(
                x, y,
                std::uint32_t((x * 40) << 24 | (y * 30) << 16 | (x * y * 9) << 8 | (x + y) * 20) |
                    (format == PF_RGBA8888 ? 0 : 0xFF000000u));
    return pm;
}

Bytes savedPng(const PixmapRef& pm, const fs::path& scratch) {
    if (!SavePixmapPNG(pm, scratch.string())) std::exit(1);
    std::ifstream in(scratch, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes jpeg(const PixmapRef& pm, bool progressive) {
    const int components = BytesPerPixel(pm->format);
    const Bytes pixels(pm->pixels, pm->pixels + pm->width * pm->height * components);
    return encodeJpeg(pm->width, pm->height, components, pixels, progressive);
}

// A BMP file of the picture's rows, bottom-up: 24-bit, or 8-bit with a grey palette.
Bytes bmp(const PixmapRef& rgb, bool paletted) {
    const int bpp = paletted ? 8 : 24, stride = (rgb->width * bpp / 8 + 3) / 4 * 4;
    Bytes b = bmpHeader(rgb->width, rgb->height, unsigned(bpp), 0, 54 + (paletted ? 1024 : 0),
                        paletted ? 256 : 0);
    for (int i = 0; paletted && i < 256; ++i) put32(b, std::uint32_t(i * 0x010101));
    for (int y = rgb->height - 1; y >= 0; --y) {
        const std::size_t start = b.size();
        for (int x = 0; x < rgb->width; ++x) {
            const std::uint32_t c = rgb->ReadPixel(x, y);
            if (paletted) {
                b.push_back(std::uint8_t(c >> 8));
            } else {
                for (int s : {0, 8, 16}) b.push_back(std::uint8_t(c >> s));
            }
        }
        b.resize(start + std::size_t(stride));
    }
    return b;
}

// A TGA file of the picture: 32-bit run-length coded with the origin at the top, or 24-bit
// plain from the bottom.
Bytes tga(const PixmapRef& rgba, bool rle) {
    Bytes b = tgaHeader(rle ? 10 : 2, unsigned(rgba->width), unsigned(rgba->height), rle ? 32 : 24,
                        rle ? 0x28 : 0);
    for (int r = 0; r < rgba->height; ++r) {
        const int y = rle ? r : rgba->height - 1 - r;
        for (int x = 0; x < rgba->width;) {
            const std::uint32_t c = rgba->ReadPixel(x, y);
            int run = 1;
            while (rle && x + run < rgba->width && run < 128 && rgba->ReadPixel(x + run, y) == c)
                ++run;
            if (rle) b.push_back(std::uint8_t(0x80 | (run - 1)));
            for (int s : {0, 8, 16}) b.push_back(std::uint8_t(c >> s));
            if (rle) b.push_back(std::uint8_t(c >> 24));
            x += run;
        }
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
        return 2;
    }
    const fs::path out = argv[1];

    write(out / "b3d", "skinned.b3d", skinnedModel());
    write(out / "b3d", "static.b3d", staticModel());
    write(out / "b3d", "hierarchy.b3d", hierarchyModel());

    // The long one holds more than 2 x 65,536 frames: the loader decodes it in parts.
    write(out / "song", "short_mono.ogg", tones(1, 1, 8000, -0.1f, 1));
    write(out / "song", "long_mono.ogg", tones(17, 1, 8000, -0.1f, 2));
    write(out / "song", "stereo.ogg", tones(1, 2, 11025, 0.0f, 3));
    Bytes chained = tones(1, 1, 8000, -0.1f, 4);
    const Bytes second = tones(1, 1, 8000, -0.1f, 5);
    chained.insert(chained.end(), second.begin(), second.end());
    write(out / "song", "chained.ogg", chained);
    write(out / "song", "mono8.wav", wave8(400));

    const fs::path scratch = out / "scratch.png";
    write(out / "image", "rgba.png", savedPng(picture(6, 5, PF_RGBA8888), scratch));
    write(out / "image", "grey.png", savedPng(picture(3, 3, PF_I8), scratch));
    fs::remove(scratch);
    write(out / "image", "baseline.jpg", jpeg(picture(16, 16, PF_RGB888), false));
    write(out / "image", "progressive.jpg", jpeg(picture(16, 16, PF_RGB888), true));
    write(out / "image", "grey.jpg", jpeg(picture(8, 8, PF_I8), false));
    write(out / "image", "rgb24.bmp", bmp(picture(5, 3, PF_RGB888), false));
    write(out / "image", "grey8.bmp", bmp(picture(4, 2, PF_RGB888), true));
    write(out / "image", "rle32.tga", tga(picture(6, 2, PF_RGBA8888), true));
    write(out / "image", "plain24.tga", tga(picture(3, 2, PF_RGB888), false));
    return 0;
}
