// The demo's media folder, as the build generates it: every file is there and decodes with the
// platform's own loaders, sizes and alpha are what the demo draws with, the line drawings and
// the scene file hold what the phases read, the song carries an accent on every beat-table
// entry, and the generator writes the same bytes on every run.
#include "demo/beat_tables.h"
#include "engine/commands_entity.h"
#include "engine/pivot.h"
#include "platform/audio.h"
#include "platform/pixmap.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifndef LAPIZ_MEDIA_DIR
#error "the build passes the generated media folder as LAPIZ_MEDIA_DIR"
#endif

namespace {

const std::string kDir = LAPIZ_MEDIA_DIR;

std::string MediaPath(const std::string& name) {
    return kDir + "/" + name;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file the demo loads.
std::vector<std::string> AllMediaNames() {
    std::vector<std::string> names = {
        "musica.ogg",     "kolumo.ogg",          "fondo.png",          "marco.png",
        "portada.png",    "txt_theuniverse.png", "txt_is.png",         "txt_fewunsorted.png",
        "txt_blocks.png", "lapiz.png",           "flare.png",          "obel.png",
        "varnik.png",     "ticker.png",          "halvrenstudios.png", "kolumo.png",
        "creditos.png",   "scrollkolumo.png",    "pieza.png",          "piezalinea.png",
        "verde.lap",      "naranja.lap",         "rosa.lap",           "rojo.lap",
        "estela.lap",     "estela2.lap",         "escenario1.esc"};
    for (int i = 0; i < 6; ++i) {
        names.push_back("scroll" + std::to_string(i) + ".png");
        names.push_back("cubo000" + std::to_string(i) + "b.png");
    }
    for (int i = 0; i <= 16; ++i) names.push_back("saludo" + std::to_string(i) + ".lap");
    return names;
}

// ---------------------------------------------------------------------------------------------
// Images

struct Px {
    int r, g, b, a;
};

class Image {
  public:
    explicit Image(const std::string& name) : pm_(LoadPixmap(MediaPath(name))) {}
    bool ok() const { return pm_ != nullptr; }
    int w() const { return pm_->width; }
    int h() const { return pm_->height; }
    Px at(int x, int y) const {
        const std::uint32_t c = pm_->ReadPixel(x, y);
        return {int(c >> 16 & 255), int(c >> 8 & 255), int(c & 255), int(c >> 24)};
    }
    // Share of the rectangle's pixels for which the test holds.
    template <class F> double share(int x0, int y0, int x1, int y1, F f) const {
        long hit = 0, all = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++all) hit += f(at(x, y)) ? 1 : 0;
        return all ? double(hit) / double(all) : 0.0;
    }
    template <class F> bool all(int x0, int y0, int x1, int y1, F f) const {
        return share(x0, y0, x1, y1, f) == 1.0;
    }

  private:
    PixmapRef pm_;
};

bool Opaque(const Px& p) {
    return p.a == 255;
}
bool Clear(const Px& p) {
    return p.a == 0;
}
// The 2D layer's masked loading makes pure black transparent: visible art must avoid it.
bool PureBlackShown(const Px& p) {
    return p.a > 0 && p.r == 0 && p.g == 0 && p.b == 0;
}
double Luma(const Px& p) {
    return (0.299 * p.r + 0.587 * p.g + 0.114 * p.b) / 255.0;
}
bool PowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Mean absolute colour difference between column xa of a and column xb of b.
double ColumnDifference(const Image& a, int xa, const Image& b, int xb) {
    double sum = 0;
    for (int y = 0; y < a.h(); ++y) {
        const Px p = a.at(xa, y), q = b.at(xb, y);
        sum +=
            std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) + std::abs(p.a - q.a);
    }
    return sum / (4.0 * a.h());
}

// The differences between neighbouring columns inside the images, sorted: what a seamless join
// between two images must not stand out from.
std::vector<double> ColumnSteps(const std::vector<const Image*>& images) {
    std::vector<double> steps;
    for (const Image* im : images)
        for (int x = 1; x < im->w(); x += 3) steps.push_back(ColumnDifference(*im, x - 1, *im, x));
    std::sort(steps.begin(), steps.end());
    return steps;
}

// Rows holding any visible pixel, as [first, last].
std::pair<int, int> InkRows(const Image& im) {
    int first = -1, last = -1;
    for (int y = 0; y < im.h(); ++y)
        for (int x = 0; x < im.w(); ++x)
            if (im.at(x, y).a > 0) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

// ---------------------------------------------------------------------------------------------
// Line drawings

using Point = std::pair<int, int>;

// The stamped points of a ".lap" file: the last pair of each record.
std::vector<Point> LapPoints(const std::string& name, int record) {
    const std::vector<std::uint8_t> bytes = ReadBytes(MediaPath(name));
    std::vector<Point> pts;
    auto i32 = [&](std::size_t at) {
        return std::int32_t(std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                            std::uint32_t(bytes[at + 2]) << 16 |
                            std::uint32_t(bytes[at + 3]) << 24);
    };
    for (std::size_t r = 0; r + std::size_t(record) <= bytes.size(); r += std::size_t(record))
        pts.emplace_back(i32(r + std::size_t(record) - 8), i32(r + std::size_t(record) - 4));
    return pts;
}

double Dist(const Point& a, const Point& b) {
    return std::hypot(double(a.first - b.first), double(a.second - b.second));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// ---------------------------------------------------------------------------------------------
// Songs

struct Song {
    AudioSampleRef sample;
    std::vector<float> mono; // (left + right) / 2, full scale 1
    std::vector<std::int16_t> left, right;
};

const Song& LoadSong(const std::string& name) {
    static std::map<std::string, Song> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    Song s;
    s.sample = LoadAudioSample(MediaPath(name));
    if (s.sample && s.sample->format == SF_STEREO16LE) {
        const auto* pcm = reinterpret_cast<const std::int16_t*>(s.sample->samples);
        const std::size_t n = std::size_t(s.sample->length);
        s.mono.resize(n), s.left.resize(n), s.right.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            s.left[i] = pcm[2 * i], s.right[i] = pcm[2 * i + 1];
            s.mono[i] = (float(pcm[2 * i]) + float(pcm[2 * i + 1])) / 65536.0f;
        }
    }
    return cache.emplace(name, std::move(s)).first->second;
}

// Onsets: the energy of the signal's first difference (its high end) in blocks of a tenth of
// a tick. An onset is a block where the next 10 ms hold at least kRise times the energy of the
// 40 ms before; an accent is an onset whose next 10 ms are also kLoud times as strong as the
// usual level of its stretch of music (the 75th percentile of its blocks), so that the hats
// and kicks of the bed do not count.
class OnsetFinder {
  public:
    static constexpr int kBlock = 147;
    static constexpr double kRise = 4.0; // 6 dB
    static constexpr double kLoud = 6.0;

    explicit OnsetFinder(const std::vector<float>& x) {
        energy_.assign(x.size() / kBlock + 1, 0.0);
        for (std::size_t i = 1; i < x.size(); ++i) {
            const double d = double(x[i]) - double(x[i - 1]);
            energy_[i / kBlock] += d * d;
        }
    }
    // The usual block energy between two frames.
    double level(std::int64_t from, std::int64_t to) const {
        std::vector<double> e(
            energy_.begin() + from / kBlock,
            energy_.begin() + std::min<std::int64_t>(to / kBlock, std::int64_t(energy_.size())));
        if (e.empty()) return 0;
        std::nth_element(e.begin(), e.begin() + std::ptrdiff_t(e.size() * 3 / 4), e.end());
        return e[e.size() * 3 / 4];
    }
    // How loud, against `usual`, the strongest onset is among the blocks that start within
    // `tolerance` frames of `frame`; 0 when there is no onset there.
    double strongest(std::int64_t frame, std::int64_t tolerance, double usual) const {
        double best = 0;
        const std::int64_t b0 = std::max<std::int64_t>(12, (frame - tolerance) / kBlock);
        const std::int64_t b1 =
            std::min<std::int64_t>(std::int64_t(energy_.size()) - 3, (frame + tolerance) / kBlock);
        for (std::int64_t b = b0; b <= b1; ++b) {
            double after = 0, before = 0;
            for (int k = 0; k < 3; ++k) after += energy_[std::size_t(b + k)];
            for (int k = 1; k <= 12; ++k) before += energy_[std::size_t(b - k)];
            after /= 3, before /= 12;
            if (after < before * kRise || after <= 0) continue;
            best = std::max(best, after / (usual + 1e-9));
        }
        return best;
    }

  private:
    std::vector<double> energy_;
};

// The demo's beat entries: (tick, table name).
std::vector<std::pair<int, std::string>> BeatEntries() {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& table : beat_tables::kBeatTables)
        for (int t : table.values()) out.emplace_back(t, table.name);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The manifest

TEST(Media, EveryFileExistsAndDecodesWithThePlatformLoaders) {
    const std::vector<std::string> names = AllMediaNames();
    EXPECT_EQ(names.size(), 56u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(std::filesystem::is_regular_file(MediaPath(name)));
        const std::string ext = name.substr(name.rfind('.'));
        if (ext == ".png") {
            EXPECT_TRUE(Image(name).ok());
        }
        if (ext == ".ogg") {
            EXPECT_NE(LoadAudioSample(MediaPath(name)), nullptr);
        }
        if (ext == ".lap" || ext == ".esc") {
            const auto size = std::filesystem::file_size(MediaPath(name));
            const int record = ext == ".esc"                                          ? 28
                               : name.find("saludo") == 0 || name.find("estela") == 0 ? 8
                                                                                      : 16;
            EXPECT_GT(size, 0u);
            EXPECT_EQ(size % std::uintmax_t(record), 0u);
        }
    }
}

TEST(Media, ImageSizesFitHowTheyAreDrawn) {
    struct Size {
        const char* name;
        int minW, maxW, minH, maxH;
    };
    const Size sizes[] = {
        {"fondo.png", 800, 800, 600, 600},
        {"marco.png", 800, 800, 600, 600},
        {"portada.png", 800, 800, 600, 600},
        {"txt_theuniverse.png", 800, 800, 600, 600},
        {"txt_is.png", 800, 800, 600, 600},
        {"txt_fewunsorted.png", 800, 800, 600, 600},
        {"txt_blocks.png", 800, 800, 600, 600},
        {"lapiz.png", 32, 32, 32, 32},
        {"flare.png", 64, 64, 64, 64},
        {"obel.png", 1, 800, 1, 219},
        {"varnik.png", 1, 566, 1, 200},
        {"ticker.png", 800, 800, 80, 120},
        {"halvrenstudios.png", 338, 338, 76, 76},
        {"kolumo.png", 3 * 334, 3 * 334, 229, 229},
        {"creditos.png", 2600, 2600, 36, 36},
        {"scrollkolumo.png", 3600, 3600, 36, 36},
    };
    for (const Size& s : sizes) {
        SCOPED_TRACE(s.name);
        const Image im(s.name);
        ASSERT_TRUE(im.ok());
        EXPECT_GE(im.w(), s.minW);
        EXPECT_LE(im.w(), s.maxW);
        EXPECT_GE(im.h(), s.minH);
        EXPECT_LE(im.h(), s.maxH);
    }
    // Textures: power-of-two squares.
    std::vector<std::string> textures = {"pieza.png", "piezalinea.png"};
    for (int i = 0; i < 6; ++i) {
        textures.push_back("scroll" + std::to_string(i) + ".png");
        textures.push_back("cubo000" + std::to_string(i) + "b.png");
    }
    for (const std::string& t : textures) {
        SCOPED_TRACE(t);
        const Image im(t);
        ASSERT_TRUE(im.ok());
        EXPECT_EQ(im.w(), im.h());
        EXPECT_TRUE(PowerOfTwo(im.w()));
    }
}

TEST(Media, FullScreenImagesHaveTheirAlpha) {
    // The background: opaque, pale and calm, since it is laid over the last frame at half
    // alpha (and tinted deep blue in the greetings).
    const Image fondo("fondo.png");
    ASSERT_TRUE(fondo.ok());
    EXPECT_TRUE(fondo.all(0, 0, 800, 600, Opaque));
    std::vector<double> luma;
    for (int y = 0; y < 600; y += 3)
        for (int x = 0; x < 800; x += 3) luma.push_back(Luma(fondo.at(x, y)));
    std::sort(luma.begin(), luma.end());
    EXPECT_GT(luma[luma.size() / 20], 0.7);                               // pale
    EXPECT_LT(luma[luma.size() * 19 / 20] - luma[luma.size() / 20], 0.2); // low contrast

    // The frame: opaque bands over the top and bottom 32 rows, a clear centre.
    const Image marco("marco.png");
    ASSERT_TRUE(marco.ok());
    EXPECT_TRUE(marco.all(0, 0, 800, 32, Opaque));
    EXPECT_TRUE(marco.all(0, 568, 800, 600, Opaque));
    EXPECT_TRUE(marco.all(40, 60, 760, 540, Clear));

    // The cover: art within the central 600 x 340, nothing outside.
    const Image portada("portada.png");
    ASSERT_TRUE(portada.ok());
    EXPECT_TRUE(portada.all(0, 0, 800, 130, Clear));
    EXPECT_TRUE(portada.all(0, 470, 800, 600, Clear));
    EXPECT_TRUE(portada.all(0, 0, 100, 600, Clear));
    EXPECT_TRUE(portada.all(700, 0, 800, 600, Clear));
    EXPECT_GT(portada.share(100, 130, 700, 470, Opaque), 0.2);

    // The title words, one per image, in reading order without overlapping: each one below
    // the one before it, or on its line to its right.
    int previousBottom = -1, previousRight = -1;
    for (const char* name :
         {"txt_theuniverse.png", "txt_is.png", "txt_fewunsorted.png", "txt_blocks.png"}) {
        SCOPED_TRACE(name);
        const Image word(name);
        ASSERT_TRUE(word.ok());
        const auto [top, bottom] = InkRows(word);
        ASSERT_GE(top, 0) << "an empty title word";
        int left = 800, right = -1;
        for (int x = 0; x < 800; ++x)
            if (!word.all(x, top, x + 1, bottom + 1, Clear)) left = std::min(left, x), right = x;
        EXPECT_TRUE(top > previousBottom || left > previousRight);
        EXPECT_GT(word.share(left, top, right + 1, bottom + 1, Opaque), 0.2) << "faint lettering";
        previousBottom = bottom;
        previousRight = right;
    }

    for (const char* name : {"fondo.png", "marco.png", "portada.png", "txt_blocks.png"}) {
        const Image im(name);
        EXPECT_EQ(im.share(0, 0, im.w(), im.h(), PureBlackShown), 0.0) << name;
    }
}

TEST(Media, SmallImagesHaveTheirShapes) {
    // Pen dot and glow: white, solid at the centre, nothing at the corners and edge.
    const Image lapiz("lapiz.png"), flare("flare.png");
    ASSERT_TRUE(lapiz.ok() && flare.ok());
    EXPECT_EQ(lapiz.at(16, 16).a, 255);
    EXPECT_EQ(lapiz.at(0, 0).a, 0);
    EXPECT_GT(lapiz.at(16, 16 + 12).a, 0); // soft edge, not a hard cut
    EXPECT_LT(lapiz.at(16, 16 + 12).a, 255);
    EXPECT_GT(flare.at(32, 32).a, 200);
    EXPECT_EQ(flare.at(32, 0).a, 0);
    EXPECT_EQ(flare.at(0, 32).a, 0);
    EXPECT_GT(flare.at(32, 16).a, flare.at(32, 8).a); // falls toward the edge
    for (const Image* im : {&lapiz, &flare})
        EXPECT_TRUE(im->all(0, 0, im->w(), im->h(), [](const Px& p) {
            return p.a == 0 || (p.r == 255 && p.g == 255 && p.b == 255);
        }));

    // The ticker: partly transparent, joining itself across its width.
    const Image ticker("ticker.png");
    ASSERT_TRUE(ticker.ok());
    EXPECT_GT(ticker.share(0, 0, 800, ticker.h(), Clear), 0.2);
    EXPECT_GT(ticker.share(0, 0, 800, ticker.h(), Opaque), 0.02);
    EXPECT_LT(ColumnDifference(ticker, 799, ticker, 0), 12.0);

    // The group logo: white and grey only (tinted when drawn), its art weighted to the top,
    // which is what shows while it bobs at the bottom of the screen.
    const Image logo("halvrenstudios.png");
    ASSERT_TRUE(logo.ok());
    EXPECT_TRUE(logo.all(0, 0, 338, 76, [](const Px& p) {
        return p.a == 0 || (std::abs(p.r - p.g) <= 2 && std::abs(p.g - p.b) <= 2);
    }));
    EXPECT_GT(logo.share(0, 0, 338, 46, Opaque), 2 * logo.share(0, 46, 338, 76, Opaque));

    // The two captions: some art, no pure black.
    for (const char* name : {"obel.png", "varnik.png"}) {
        const Image im(name);
        ASSERT_TRUE(im.ok()) << name;
        EXPECT_GT(im.share(0, 0, im.w(), im.h(), Opaque), 0.05) << name;
        EXPECT_EQ(im.share(0, 0, im.w(), im.h(), PureBlackShown), 0.0) << name;
    }
}

TEST(Media, StripsAreCrispAndLaidOutForTheirScrollers) {
    // End screen: cell 0 opaque, cell 1 a mostly clear border, cell 2 clear above its scenery.
    const Image k("kolumo.png");
    ASSERT_TRUE(k.ok());
    EXPECT_TRUE(k.all(0, 0, 334, 229, Opaque));
    EXPECT_EQ(k.share(0, 0, 334, 229, PureBlackShown), 0.0);
    EXPECT_GT(k.share(334, 0, 668, 229, Clear), 0.8);
    EXPECT_TRUE(k.all(334, 0, 338, 229, Opaque)); // its left band
    EXPECT_TRUE(k.all(668, 0, 1002, 100, Clear));
    EXPECT_GT(k.share(668, 200, 1002, 229, Opaque), 0.5);

    // Credits: white text on clear, columns 0-199 blank, text from column 200 to about 2200.
    const Image c("creditos.png");
    ASSERT_TRUE(c.ok());
    EXPECT_TRUE(c.all(0, 0, 200, 36, Clear));
    EXPECT_TRUE(c.all(2250, 0, 2600, 36, Clear));
    EXPECT_GT(c.share(200, 0, 400, 36, Opaque), 0.05);
    // Scaled without filtering: every pixel fully on or off, and grey-white.
    for (const Image* im : {&c}) {
        EXPECT_TRUE(im->all(0, 0, im->w(), 36, [](const Px& p) {
            return p.a == 0 || (p.a == 255 && p.r == p.g && p.g == p.b && p.r > 100);
        }));
    }
    // End scroller: loops, so the last column joins the first (both blank here).
    const Image s("scrollkolumo.png");
    ASSERT_TRUE(s.ok());
    EXPECT_TRUE(s.all(0, 0, 1, 36, Clear));
    EXPECT_TRUE(s.all(3599, 0, 3600, 36, Clear));
    EXPECT_GT(s.share(200, 0, 3600, 36, Opaque), 0.05);
    EXPECT_TRUE(s.all(0, 0, 3600, 36, [](const Px& p) { return p.a == 0 || p.a == 255; }));
}

TEST(Media, TexturesJoinAndKeepTheirAlpha) {
    // The scroll banner: clear background, continuous across the six squares.
    std::vector<Image> scroll;
    for (int i = 0; i < 6; ++i) scroll.emplace_back("scroll" + std::to_string(i) + ".png");
    for (const Image& im : scroll) ASSERT_TRUE(im.ok());
    std::vector<const Image*> banner;
    for (const Image& im : scroll) banner.push_back(&im);
    const std::vector<double> steps = ColumnSteps(banner);
    const double usual = steps[steps.size() * 99 / 100];
    for (int i = 0; i < 6; ++i) {
        const int s = scroll[std::size_t(i)].w();
        EXPECT_GT(scroll[std::size_t(i)].share(0, 0, s, s, Clear), 0.2);
        if (i < 5) {
            EXPECT_LE(
                ColumnDifference(scroll[std::size_t(i)], s - 1, scroll[std::size_t(i + 1)], 0),
                usual)
                << i;
        }
    }
    // Not trivially: the banner carries lettering across the joins.
    EXPECT_GT(scroll[2].share(0, 0, scroll[2].w(), scroll[2].h(), Opaque), 0.1);

    // The room: opaque faces; walls 0 -> 1 -> 2 -> 3 -> 0 join left to right.
    std::vector<Image> room;
    for (int i = 0; i < 6; ++i) room.emplace_back("cubo000" + std::to_string(i) + "b.png");
    for (int i = 0; i < 6; ++i) {
        const Image& f = room[std::size_t(i)];
        ASSERT_TRUE(f.ok());
        EXPECT_TRUE(f.all(0, 0, f.w(), f.h(), Opaque)) << "face " << i;
    }
    for (int i = 0; i < 4; ++i) {
        const Image& a = room[std::size_t(i)];
        const Image& b = room[std::size_t((i + 1) % 4)];
        const double join = ColumnDifference(a, a.w() - 1, b, 0);
        EXPECT_LT(join, 6.0) << "walls " << i << " and " << (i + 1) % 4;
        // A wrong order would show: the join beats the seam to the wall across the room.
        EXPECT_LT(join, ColumnDifference(a, a.w() - 1, room[std::size_t((i + 2) % 4)], 0));
    }

    // The block face: opaque, light, the same turned any way.
    const Image pieza("pieza.png");
    ASSERT_TRUE(pieza.ok());
    const int n = pieza.w();
    EXPECT_TRUE(pieza.all(0, 0, n, n, Opaque));
    double sum = 0;
    int asymmetric = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const Px p = pieza.at(x, y);
            sum += Luma(p);
            for (const Px& q : {pieza.at(n - 1 - x, y), pieza.at(x, n - 1 - y), pieza.at(y, x)})
                if (std::abs(p.r - q.r) > 2) ++asymmetric;
        }
    EXPECT_GT(sum / (n * n), 0.7);
    EXPECT_EQ(asymmetric, 0);

    // The giant piece's lines: white, and a border band at least 8 % of the width solid
    // enough for the alpha test (>= 0.5) along every edge.
    const Image linea("piezalinea.png");
    ASSERT_TRUE(linea.ok());
    const int m = linea.w(), band = int(std::ceil(m * 0.08));
    auto solid = [](const Px& p) { return p.a >= 128; };
    EXPECT_TRUE(linea.all(0, 0, m, band, solid));
    EXPECT_TRUE(linea.all(0, m - band, m, m, solid));
    EXPECT_TRUE(linea.all(0, 0, band, m, solid));
    EXPECT_TRUE(linea.all(m - band, 0, m, m, solid));
    EXPECT_GT(linea.share(0, 0, m, m, Clear), 0.3);
    EXPECT_TRUE(linea.all(0, 0, m, m, [](const Px& p) {
        return p.a == 0 || (p.r == 255 && p.g == 255 && p.b == 255);
    }));
}

// ---------------------------------------------------------------------------------------------
// What the viewer sees of the media in their phases

// The phase-4 banner holds the whole line: no lettering at the strip's two ends, and lettering
// in both end squares, so the words start in the first and end in the last.
TEST(Media, ScrollBannerTextFitsItsStrip) {
    const Image first("scroll0.png"), last("scroll5.png");
    ASSERT_TRUE(first.ok() && last.ok());
    const int s = first.w();
    EXPECT_TRUE(first.all(0, 0, 16, s, Clear)) << "lettering cut at the left end";
    EXPECT_TRUE(last.all(s - 16, 0, s, s, Clear)) << "lettering cut at the right end";
    for (const Image* im : {&first, &last}) {
        EXPECT_TRUE(im->all(0, 0, s, 8, Clear)) << "lettering cut at the top";
        EXPECT_TRUE(im->all(0, s - 8, s, s, Clear)) << "lettering cut at the bottom";
        EXPECT_GT(im->share(0, 0, s, s, Opaque), 0.05) << "an end square without lettering";
    }
}

// Columns of a strip with any lettering in them.
std::vector<bool> InkedColumns(const Image& strip) {
    std::vector<bool> inked(std::size_t(strip.w()));
    for (int x = 0; x < strip.w(); ++x) inked[std::size_t(x)] = !strip.all(x, 0, x + 1, 36, Clear);
    return inked;
}

// The credits' text runs until phase 6 ends (its wave has shown about 2200 columns by then),
// and the end screen's repeating strip has no long blank stretch.
TEST(Media, ScrollerTextIsSpreadOverTheStrips) {
    const Image credits("creditos.png");
    ASSERT_TRUE(credits.ok());
    const std::vector<bool> c = InkedColumns(credits);
    const int lastInked = int(std::find(c.rbegin(), c.rend(), true).base() - c.begin()) - 1;
    EXPECT_GT(lastInked, credits.w() * 4 / 5);
    EXPECT_LT(lastInked, 2216) << "past what phase 6 shows";

    // The wave shows 200 columns at once: a blank run as long would leave it empty.
    const Image end("scrollkolumo.png");
    ASSERT_TRUE(end.ok());
    const std::vector<bool> e = InkedColumns(end);
    int longest = 0, run = 0;
    for (std::size_t i = 0; i < 2 * e.size(); ++i) { // twice round: the strip repeats
        run = e[i % e.size()] ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_LT(longest, 100);
}

// Phase 3 draws the title words over the logo, both about the screen's centre: the words at
// scale 1 (shaking 2 pixels sideways), the logo at scale 1 to 1.1 on the beats. No solid
// pixel of a word lands on a solid pixel of the logo.
TEST(Media, TitleWordsLeaveTheLogoClear) {
    const Image logo("portada.png");
    ASSERT_TRUE(logo.ok());
    const auto solid = [](const Px& p) { return p.a >= 128; };
    for (const char* name :
         {"txt_theuniverse.png", "txt_is.png", "txt_fewunsorted.png", "txt_blocks.png"}) {
        SCOPED_TRACE(name);
        const Image word(name);
        ASSERT_TRUE(word.ok());
        int clashes = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                if (!solid(word.at(x, y))) continue;
                for (const double scale : {1.0, 1.05, 1.1})
                    for (const int shake : {-2, 2}) {
                        const int lx = int(std::lround(400 + (x + shake - 400) / scale));
                        const int ly = int(std::lround(300 + (y - 300) / scale));
                        if (lx >= 0 && lx < 800 && solid(logo.at(lx, ly))) ++clashes;
                    }
            }
        EXPECT_EQ(clashes, 0);
    }
}

// The sky cube's room is dim, so that phase 7's additive white particles stand out on it:
// most of every face is darker than half brightness.
TEST(Media, SkyCubeRoomLeavesRoomForAdditiveLight) {
    for (int i = 0; i < 6; ++i) {
        const Image face("cubo000" + std::to_string(i) + "b.png");
        ASSERT_TRUE(face.ok());
        std::vector<double> luma;
        for (int y = 0; y < face.h(); y += 2)
            for (int x = 0; x < face.w(); x += 2) luma.push_back(Luma(face.at(x, y)));
        std::sort(luma.begin(), luma.end());
        EXPECT_LT(luma[luma.size() / 2], 0.35) << "face " << i;
        EXPECT_LT(luma[luma.size() * 9 / 10], 0.5) << "face " << i;
    }
}

// ---------------------------------------------------------------------------------------------
// Line drawings and scene

TEST(Media, PenDrawingsFitPhaseFour) {
    // Read one dot a frame after a 60-frame pause each, one frame per switch, then 350 frames
    // to the wipe: the whole must be drawn and wiped within phase 4's 960 ticks (1920 frames).
    int frames = 350;
    for (const char* name : {"verde.lap", "naranja.lap", "rosa.lap", "rojo.lap"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::filesystem::file_size(MediaPath(name)) % 16, 0u);
        const std::vector<Point> pts = LapPoints(name, 16);
        EXPECT_GE(pts.size(), 200u);
        EXPECT_LE(pts.size(), 250u);
        for (auto [x, y] : pts) {
            EXPECT_TRUE(x >= 0 && x < 800 && y >= 0 && y < 600) << x << "," << y;
        }
        frames += 60 + int(pts.size()) + 1;
    }
    EXPECT_LE(frames, 2 * (beat_tables::kPhaseEnd[3] - beat_tables::kPhaseEnd[2]));
}

TEST(Media, TrailsAreTwoSmoothClosedCurves) {
    const std::vector<Point> a = LapPoints("estela.lap", 8), b = LapPoints("estela2.lap", 8);
    for (const std::vector<Point>* pts : {&a, &b}) {
        ASSERT_GE(pts->size(), 970u);
        double longest = 0;
        for (std::size_t i = 0; i < pts->size(); ++i) {
            const Point p = (*pts)[i], q = (*pts)[(i + 1) % pts->size()];
            EXPECT_TRUE(p.first >= 0 && p.first < 800 && p.second >= 0 && p.second < 600);
            longest = std::max(longest, Dist(p, q)); // includes the closing step
        }
        EXPECT_LT(longest, 12.0); // smooth: no jumps, and closed
    }
    int same = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) same += a[i] == b[i];
    EXPECT_LT(same, 10);
}

TEST(Media, GreetingsAreCentredDottedLettering) {
    for (int n = 0; n <= 16; ++n) {
        const std::string name = "saludo" + std::to_string(n) + ".lap";
        SCOPED_TRACE(name);
        const std::vector<Point> pts = LapPoints(name, 8);
        EXPECT_GE(pts.size(), 150u);
        EXPECT_LE(pts.size(), 500u);
        int minx = 800, maxx = -1, miny = 600, maxy = -1;
        std::vector<double> steps;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            auto [x, y] = pts[i];
            ASSERT_TRUE(x >= 0 && x < 800 && y >= 0 && y < 600);
            minx = std::min(minx, x), maxx = std::max(maxx, x);
            miny = std::min(miny, y), maxy = std::max(maxy, y);
            if (i) steps.push_back(Dist(pts[i - 1], pts[i]));
        }
        EXPECT_NEAR((minx + maxx) / 2.0, 400, 10);
        EXPECT_NEAR((miny + maxy) / 2.0, 300, 10);
        const double spacing = Median(steps);
        EXPECT_GE(spacing, 5.0 - 0.75); // whole-pixel points round the spacing a little
        EXPECT_LE(spacing, 8.0 + 0.75);
    }
}

TEST(Media, SceneFileBuildsOneStructureBottomUp) {
    const std::vector<std::uint8_t> bytes = ReadBytes(MediaPath("escenario1.esc"));
    ASSERT_GE(bytes.size(), 16u * 28u);
    ASSERT_EQ(bytes.size() % 28, 0u);
    auto f32 = [&](std::size_t at) {
        return std::bit_cast<float>(std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                                    std::uint32_t(bytes[at + 2]) << 16 |
                                    std::uint32_t(bytes[at + 3]) << 24);
    };
    // The pieces as phase 9 builds them through the engine's own commands: each pivot under
    // the builder's pivot, placed and turned in world terms, its blocks at their shape offsets
    // (two units a block) in the pivot's frame. Pivots stand in for the block cubes.
    const int shapes[7][4][2] = {
        {{0, 0}, {-2, 0}, {2, 0}, {4, 0}}, {{0, 0}, {0, 2}, {2, 0}, {2, 2}},
        {{0, 0}, {-2, 0}, {0, 2}, {0, 4}}, {{0, 0}, {2, 0}, {0, 2}, {0, 4}},
        {{0, 0}, {-2, 0}, {0, 2}, {2, 2}}, {{0, 0}, {2, 0}, {0, 2}, {-2, 2}},
        {{0, 0}, {-2, 0}, {2, 0}, {0, 2}},
    };
    const PivotRef builder = CreatePivot(nullptr);
    std::set<std::array<int, 3>> cells;
    int lowestSoFar = -1000, ground = 0;
    for (int r = 0; r < 16; ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        float v[7];
        for (int k = 0; k < 7; ++k) v[k] = f32(std::size_t(r) * 28 + std::size_t(k) * 4);
        ASSERT_EQ(v[0], std::trunc(v[0]));
        ASSERT_TRUE(v[0] >= 0 && v[0] <= 6);
        const int tipo = int(v[0]);
        const PivotRef pivot = CreatePivot(builder);
        PositionEntity(pivot, v[1], v[2], v[3], 1);
        RotateEntity(pivot, v[4], v[5], v[6], 1);
        int lowest = 1000;
        std::vector<std::array<int, 3>> mine;
        for (int b = 0; b < 4; ++b) {
            const PivotRef block = CreatePivot(pivot);
            PositionEntity(block, float(shapes[tipo][b][0]), float(shapes[tipo][b][1]), 0, 0);
            const float x = EntityX(block, 1), y = EntityY(block, 1), z = EntityZ(block, 1);
            const std::array<int, 3> c = {int(std::lround(x)), int(std::lround(y)),
                                          int(std::lround(z))};
            // On the grid of whole blocks, and inside +-8 units (a block reaches 1 unit out).
            EXPECT_NEAR(x, c[0], 1e-3);
            EXPECT_NEAR(y, c[1], 1e-3);
            EXPECT_NEAR(z, c[2], 1e-3);
            for (int k = 0; k < 3; ++k) EXPECT_LE(std::abs(c[std::size_t(k)]) + 1, 8);
            // Blocks are cubes two units on an edge: no two may share any volume.
            for (const auto& o : cells)
                EXPECT_FALSE(std::abs(o[0] - c[0]) < 2 && std::abs(o[1] - c[1]) < 2 &&
                             std::abs(o[2] - c[2]) < 2)
                    << "blocks overlap at " << c[0] << "," << c[1] << "," << c[2];
            cells.insert(c);
            mine.push_back(c);
            lowest = std::min(lowest, c[1]);
        }
        // Bottom-up: no piece starts below one already placed, and every block stands on the
        // ground layer (the first piece's) or on a block placed before it.
        if (r == 0) ground = lowest;
        EXPECT_GE(lowest, lowestSoFar);
        lowestSoFar = std::max(lowestSoFar, lowest);
        for (const auto& c : mine)
            EXPECT_TRUE(c[1] == ground || cells.count({c[0], c[1] - 2, c[2]}) > 0)
                << "a block in the air at " << c[0] << "," << c[1] << "," << c[2];
    }
    FreeEntity(builder);
    EXPECT_EQ(cells.size(), 64u);
    // One structure centred on the origin: its bounding box is.
    for (std::size_t k = 0; k < 3; ++k) {
        int lo = 1000, hi = -1000;
        for (const auto& c : cells) lo = std::min(lo, c[k]), hi = std::max(hi, c[k]);
        EXPECT_NEAR((lo + hi) / 2.0, 0.0, 1.0) << "axis " << k;
    }
}

// ---------------------------------------------------------------------------------------------
// Songs

TEST(Media, SongsHaveTheirRateAndLength) {
    const Song& musica = LoadSong("musica.ogg");
    ASSERT_NE(musica.sample, nullptr);
    EXPECT_EQ(musica.sample->hertz, 44100);
    EXPECT_EQ(musica.sample->format, SF_STEREO16LE);
    EXPECT_GE(musica.sample->length, 142 * 44100);
    // Still playing past tick 4200, where phase 10 ends, but the music itself over by 140 s.
    const std::size_t end = std::size_t(beat_tables::kLastTick) * beat_tables::kFramesPerTick;
    ASSERT_GT(musica.left.size(), end);
    int loudAfter = 0;
    for (std::size_t i = end; i < musica.left.size(); ++i)
        loudAfter =
            std::max({loudAfter, std::abs(int(musica.left[i])), std::abs(int(musica.right[i]))});
    EXPECT_LT(loudAfter, 100);
    int loudest = 0;
    for (std::size_t i = 0; i < end; i += 7)
        loudest = std::max(loudest, std::abs(int(musica.left[i])));
    EXPECT_GT(loudest, 16000);

    const Song& kolumo = LoadSong("kolumo.ogg");
    ASSERT_NE(kolumo.sample, nullptr);
    EXPECT_EQ(kolumo.sample->hertz, 44100);
    EXPECT_EQ(kolumo.sample->format, SF_STEREO16LE);
    EXPECT_GE(kolumo.sample->length, 10 * 44100);
}

TEST(Media, EndSongLoopsWithoutAClick) {
    const Song& s = LoadSong("kolumo.ogg");
    ASSERT_NE(s.sample, nullptr);
    const std::size_t n = s.left.size();
    ASSERT_GT(n, 44100u);
    // The step from the last frame to the first is no bigger than the steps inside the song.
    std::vector<int> steps;
    for (std::size_t i = 1; i < n; i += 3) {
        steps.push_back(std::abs(s.left[i] - s.left[i - 1]));
        steps.push_back(std::abs(s.right[i] - s.right[i - 1]));
    }
    std::sort(steps.begin(), steps.end());
    const int typical = steps[steps.size() * 99 / 100];
    EXPECT_LE(std::abs(s.left[0] - s.left[n - 1]), typical);
    EXPECT_LE(std::abs(s.right[0] - s.right[n - 1]), typical);
    // And it is cut where the music is quiet: the frames around the cut are well below the
    // song's loudness.
    double around = 0, overall = 0;
    for (std::size_t i = 0; i < 256; ++i)
        around += double(s.left[i]) * s.left[i] + double(s.left[n - 1 - i]) * s.left[n - 1 - i];
    for (std::size_t i = 0; i < n; i += 5) overall += double(s.left[i]) * s.left[i];
    EXPECT_LT(around / 512, overall / double((n + 4) / 5));
}

TEST(Media, OnsetFinderSeesClicksAndOnlyThem) {
    // A quiet noise bed with loud clicks and soft ticks: the clicks count as accents, the soft
    // ticks and the plain bed do not.
    std::vector<float> x(44100 * 3);
    std::uint32_t seed = 7;
    for (float& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = 0.02f * (float(seed >> 8) / 8388608.0f - 1.0f);
    }
    auto click = [&](std::int64_t at, float amp) {
        for (int i = 0; i < 2000; ++i)
            x[std::size_t(at + i)] += amp * std::exp(-i / 300.0f) * ((i / 7) % 2 ? 1.0f : -1.0f);
    };
    const std::vector<std::int64_t> clicks = {20000, 50000, 80000, 110000};
    for (std::int64_t c : clicks) click(c, 0.5f), click(c + 6000, 0.03f);
    const OnsetFinder finder(x);
    const double usual = finder.level(0, std::int64_t(x.size()));
    for (std::int64_t c : clicks) {
        EXPECT_GE(finder.strongest(c, 1470, usual), OnsetFinder::kLoud);
        EXPECT_LT(finder.strongest(c + 6000, 1470, usual), OnsetFinder::kLoud);
        EXPECT_LT(finder.strongest(c + 14000, 1470, usual), OnsetFinder::kLoud);
    }
}

TEST(Media, SongHasAnAccentOnEveryBeatEntry) {
    const Song& s = LoadSong("musica.ogg");
    ASSERT_FALSE(s.mono.empty());
    const OnsetFinder finder(s.mono);
    // The usual level of each phase's music.
    auto phaseOf = [](int tick) {
        int p = 0;
        while (p < 9 && tick > beat_tables::kPhaseEnd[p]) ++p;
        return p;
    };
    std::vector<double> usual(10);
    for (int p = 0; p < 10; ++p)
        usual[std::size_t(p)] =
            finder.level(std::int64_t(p ? beat_tables::kPhaseEnd[p - 1] : 0) * 1470,
                         std::int64_t(beat_tables::kPhaseEnd[p]) * 1470);
    const std::int64_t tolerance = beat_tables::kFramesPerTick; // one tick either way
    double weakest = 1e9;
    std::set<int> accentTicks;
    for (const auto& [tick, table] : BeatEntries()) {
        accentTicks.insert(tick);
        const double loud = finder.strongest(std::int64_t(tick) * beat_tables::kFramesPerTick,
                                             tolerance, usual[std::size_t(phaseOf(tick))]);
        weakest = std::min(weakest, loud);
        EXPECT_GE(loud, OnsetFinder::kLoud)
            << table << " tick " << tick << ": no accent within a tick";
    }
    std::printf("weakest accent: %.1f times the usual level\n", weakest);
    // The accents stand out: away from every entry, few ticks of the music pass the same test.
    int tested = 0, passing = 0;
    for (int tick = 240; tick < beat_tables::kPhaseEnd[8]; ++tick) {
        const auto near = accentTicks.lower_bound(tick - 6);
        if (near != accentTicks.end() && *near <= tick + 6) continue;
        ++tested;
        passing += finder.strongest(std::int64_t(tick) * beat_tables::kFramesPerTick, tolerance,
                                    usual[std::size_t(phaseOf(tick))]) >= OnsetFinder::kLoud;
    }
    EXPECT_LT(passing, tested / 10);
}

// ---------------------------------------------------------------------------------------------
// Determinism

TEST(Media, GeneratorWritesTheSameBytesAgain) {
    TempDir tmp;
    const std::string command =
        std::string("\"") + LAPIZ_MEDIAGEN + "\" \"" + tmp.dir().string() + "\" > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.dir())) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++files;
        EXPECT_TRUE(ReadBytes(entry.path().string()) == ReadBytes(MediaPath(name)));
    }
    EXPECT_EQ(files, int(AllMediaNames().size()));
}

} // namespace
