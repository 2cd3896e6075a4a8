// The demo's pictures: full-screen images, small images, column strips and textures.
#include "tools/mediagen/canvas.h"
#include "tools/mediagen/lettering.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace mediagen {
namespace {

constexpr float kPi = 3.14159265358979f;

float Smooth(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

Rgba Scaled(const Rgba& c, float k) {
    return {std::clamp(c.r * k, 0.0f, 1.0f), std::clamp(c.g * k, 0.0f, 1.0f),
            std::clamp(c.b * k, 0.0f, 1.0f), c.a};
}

// Their colours, brightened a little for flat art.
const std::array<Rgba, 7> kShapeColours = {Col(230, 40, 40),  Col(50, 80, 230),  Col(235, 215, 30),
                                           Col(215, 50, 215), Col(40, 215, 215), Col(240, 130, 20),
                                           Col(40, 200, 60)};

// Styled lettering: a fill over the glyphs, up to two outlines, a soft drop shadow and a
// highlight along the top edges.
struct TextStyle {
    std::function<Rgba(float, float)> fill;
    Rgba outline{};
    float outlineWidth = 0;
    Rgba outer{};
    float outerWidth = 0; // 0: no second outline
    Rgba shadow{};
    int shadowDx = 0, shadowDy = 0, shadowBlur = 0; // shadow alpha 0: none
    float highlight = 0;
};

void DrawStyled(Canvas& c, const Mask& glyphs, const TextStyle& s) {
    Mask inner = s.outlineWidth > 0 ? glyphs.dilated(s.outlineWidth) : glyphs;
    Mask outer = s.outerWidth > 0 ? inner.dilated(s.outerWidth) : inner;
    if (s.shadow.a > 0)
        c.paint(outer.shifted(s.shadowDx, s.shadowDy).blurred(s.shadowBlur), s.shadow);
    if (s.outerWidth > 0) c.paint(outer, s.outer);
    if (s.outlineWidth > 0) c.paint(inner, s.outline);
    c.paint(glyphs, s.fill);
    if (s.highlight > 0)
        c.paint(glyphs.minus(glyphs.shifted(0, 3)), Col(255, 255, 255, s.highlight));
}

// A vertical gradient through colour stops spread evenly from y0 to y1.
std::function<Rgba(float, float)> VGradient(float y0, float y1, std::vector<Rgba> stops) {
    return [=](float, float y) {
        const float t = std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f) * float(stops.size() - 1);
        const std::size_t i = std::min(std::size_t(t), stops.size() - 2);
        return Mix(stops[i], stops[i + 1], t - float(i));
    };
}

// ---------------------------------------------------------------------------------------------
// Full-screen images

// Pale paper in lavender and peach with faint rings and grain: it is laid at half alpha over
// the last frame every frame, so it must stay light and calm.
void MakeFondo(const std::string& dir) {
    Canvas c(800, 600);
    const Rgba a = Col(222, 214, 240), b = Col(246, 230, 212);
    c.shade([&](float x, float y) {
        const Rgba base = Mix(a, b, Smooth(0, 1, x / 800 * 0.55f + y / 600 * 0.45f));
        const float r = std::hypot(x - 400, y - 300);
        const float ring = std::cos(r / 36.0f) * 0.5f * Smooth(520, 60, r);
        const float grain = Fbm(x, y, 96, 5, 11) - 0.5f;
        const float k = 1 + 0.03f * ring + 0.06f * grain;
        return Rgba{std::min(base.r * k, 1.0f), std::min(base.g * k, 1.0f),
                    std::min(base.b * k, 1.0f), 1};
    });
    // A few faint pencil hatches in the corners.
    Rng rng(7);
    for (int patch = 0; patch < 4; ++patch) {
        const float cx = patch % 2 ? 700.0f : 100.0f, cy = patch / 2 ? 520.0f : 80.0f;
        for (int i = 0; i < 14; ++i) {
            const float ox = cx + rng.range(-60, 60), oy = cy + rng.range(-40, 40);
            const float len = rng.range(20, 50);
            c.paint(Segment(ox, oy, ox + len * 0.7f, oy - len * 0.7f, 0.6f),
                    Col(150, 140, 170, 0.12f), int(ox) - 4, int(oy - len) - 4, int(ox + len) + 4,
                    int(oy) + 4);
        }
    }
    c.save(dir + "/fondo.png");
}

// The frame overlay: indigo bands at the top and bottom with a bright inner rule and a row of
// little block marks, thin side borders, a clear centre.
void MakeMarco(const std::string& dir) {
    Canvas c(800, 600);
    const Rgba deep = Col(28, 12, 58), light = Col(72, 36, 120), rule = Col(255, 205, 90);
    auto band = [&](int y0, int y1, bool top) {
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 800; ++x) {
                const float t = float(top ? y - y0 : y1 - 1 - y) / float(y1 - y0);
                c.set(x, y, Mix(deep, light, t * 0.8f));
            }
    };
    band(0, 36, true);
    band(564, 600, false);
    for (int x = 0; x < 800; ++x) {
        c.set(x, 36, rule), c.set(x, 37, Scaled(rule, 0.7f));
        c.set(x, 563, rule), c.set(x, 562, Scaled(rule, 0.7f));
        // A soft shade falling from each band onto the picture.
        for (int k = 0; k < 8; ++k) {
            const float a = 0.35f * (1 - k / 8.0f);
            c.blend(x, 38 + k, Col(20, 8, 40, a));
            c.blend(x, 561 - k, Col(20, 8, 40, a));
        }
    }
    for (int y = 38; y < 562; ++y)
        for (int x = 0; x < 5; ++x) {
            c.set(x, y, Mix(deep, light, 0.5f));
            c.set(799 - x, y, Mix(deep, light, 0.5f));
        }
    // Little coloured block marks along both bands.
    for (int i = 0; i < 20; ++i) {
        const Rgba col = Scaled(kShapeColours[std::size_t(i % 7)], 0.9f);
        const int x = 20 + i * 40;
        c.paint(Box(float(x), 12, float(x + 12), 24, 2), col, x - 2, 10, x + 15, 27);
        c.paint(Box(float(x), 576, float(x + 12), 588, 2), col, x - 2, 574, x + 15, 591);
    }
    c.avoidPureBlack();
    c.save(dir + "/marco.png");
}

// A pencil lying across, drawn into the canvas.
void DrawPencil(Canvas& c, float x0, float x1, float y, float h) {
    const float tipLen = h * 1.7f, eraser = h * 1.1f;
    const float bx0 = x0 + eraser, bx1 = x1 - tipLen;
    // Body: three facets of yellow.
    c.paint(Box(bx0, y - h / 2, bx1, y - h / 6), Col(255, 214, 60), int(bx0) - 2, int(y - h),
            int(bx1) + 2, int(y + h));
    c.paint(Box(bx0, y - h / 6, bx1, y + h / 6), Col(250, 190, 30), int(bx0) - 2, int(y - h),
            int(bx1) + 2, int(y + h));
    c.paint(Box(bx0, y + h / 6, bx1, y + h / 2), Col(220, 150, 20), int(bx0) - 2, int(y - h),
            int(bx1) + 2, int(y + h));
    // Metal band and eraser.
    c.paint(Box(bx0 - h * 0.45f, y - h / 2, bx0, y + h / 2, 1), Col(200, 200, 210), int(x0) - 2,
            int(y - h), int(bx0) + 2, int(y + h));
    c.paint(Box(x0, y - h / 2, bx0 - h * 0.45f, y + h / 2, h * 0.2f), Col(240, 120, 150),
            int(x0) - 2, int(y - h), int(bx0) + 2, int(y + h));
    // Wooden cone and graphite point.
    c.paint(Polygon({bx1, y - h / 2, x1, y, bx1, y + h / 2}), Col(240, 200, 150), int(bx1) - 2,
            int(y - h), int(x1) + 2, int(y + h));
    const float gx = x1 - tipLen * 0.32f;
    c.paint(Polygon({gx, y - h * 0.16f, x1, y, gx, y + h * 0.16f}), Col(60, 55, 70), int(gx) - 2,
            int(y - h), int(x1) + 2, int(y + h));
    // Outline.
    Mask m(c.width(), c.height());
    FillMask(m, Box(x0, y - h / 2, bx1, y + h / 2, 2), int(x0) - 4, int(y - h), int(bx1) + 4,
             int(y + h));
    FillMask(m, Polygon({bx1 - 1, y - h / 2, x1, y, bx1 - 1, y + h / 2}), int(bx1) - 4, int(y - h),
             int(x1) + 4, int(y + h));
    c.paint(m.dilated(3).minus(m), Col(40, 16, 70));
}

// The cover logo: the title in fat gradient letters over a pencil, with a small line under it;
// everything within the central 600 x 340 pixels, transparent around.
void MakePortada(const std::string& dir) {
    Canvas c(800, 600);
    Mask shadowArt(800, 600);
    DrawPencil(c, 160, 640, 382, 32);
    TtfFont title(kBoldFont, 160);
    Mask t(800, 600);
    title.renderCentred(t, "LAPIZ", 400, 258, 6);
    DrawStyled(c, t,
               {VGradient(190, 335, {Col(255, 250, 150), Col(255, 170, 40), Col(235, 60, 140)}),
                Col(60, 20, 110), 7, Col(255, 255, 255), 3, Col(30, 10, 60, 0.55f), 8, 10, 4,
                0.55f});
    TtfFont sub(kBoldFont, 30);
    Mask s(800, 600);
    sub.renderCentred(s, "a ferrowisp production", 400, 432, 2);
    DrawStyled(c, s,
               {[](float, float) { return Col(255, 255, 255); }, Col(60, 20, 110), 3, Rgba{}, 0,
                Col(30, 10, 60, 0.5f), 3, 3, 2, 0});
    c.bleedTransparent();
    c.save(dir + "/portada.png");
}

// The tracking of the title words' lettering.
float TitleTracking(int size) {
    return size / 14.0f;
}

// One title word on a transparent full screen, centred on (cx, cy), so that the four words
// drawn over one another read as one sentence.
void MakeTitleWord(const std::string& path, const std::string& text, float cx, float cy, int size,
                   const Rgba& outline) {
    Canvas c(800, 600);
    // The largest size up to `size` at which the word fits 700 pixels.
    while (size > 20 && TtfFont(kBoldFont, size).measure(text, TitleTracking(size)) > 700)
        size -= 2;
    TtfFont font(kBoldFont, size);
    Mask m(800, 600);
    font.renderCentred(m, text, cx, cy, TitleTracking(size));
    const float half = font.capHeight() / 2;
    DrawStyled(c, m,
               {VGradient(cy - half, cy + half, {Col(255, 255, 255), Col(225, 232, 255)}), outline,
                float(size) / 14, Col(255, 255, 255), 2, Col(20, 0, 50, 0.6f), 5, 6, 3, 0});
    c.bleedTransparent();
    c.save(path);
}

// The four title words. The logo fills the middle of the screen (rows 130 to 470, a tenth more
// on a beat) and the frame the top and bottom 40 rows: the sentence goes in the bands between,
// "THE UNIVERSE IS" and "A FEW UNSORTED" above the logo and "BLOCKS" below it.
void MakeTitleWords(const std::string& dir) {
    constexpr int kLineSize = 56;
    const TtfFont font(kBoldFont, kLineSize);
    const float tracking = TitleTracking(kLineSize);
    const float first = font.measure("THE UNIVERSE", tracking),
                second = font.measure("IS", tracking);
    const float gap = font.measure(" ", tracking) * 1.5f;
    const float left = 400 - (first + gap + second) / 2;
    MakeTitleWord(dir + "/txt_theuniverse.png", "THE UNIVERSE", left + first / 2, 70, kLineSize,
                  Col(0, 150, 200));
    MakeTitleWord(dir + "/txt_is.png", "IS", left + first + gap + second / 2, 70, kLineSize,
                  Col(220, 150, 0));
    MakeTitleWord(dir + "/txt_fewunsorted.png", "A FEW UNSORTED", 400, 142, 46, Col(200, 0, 160));
    MakeTitleWord(dir + "/txt_blocks.png", "BLOCKS", 400, 505, 70, Col(220, 40, 40));
}

// ---------------------------------------------------------------------------------------------
// Small images

// The pen dot: a white disc with a soft edge.
void MakeLapiz(const std::string& dir) {
    Canvas c(32, 32);
    c.shade([](float x, float y) {
        const float r = std::hypot(x - 16, y - 16);
        return Rgba{1, 1, 1, Smooth(15.5f, 9.0f, r)};
    });
    c.save(dir + "/lapiz.png");
}

// The glow: white, with alpha falling from the centre to nothing at the edge.
void MakeFlare(const std::string& dir) {
    Canvas c(64, 64);
    c.shade([](float x, float y) {
        const float r = std::hypot(x - 32, y - 32) / 32.0f;
        const float glow = std::pow(std::max(0.0f, 1 - r), 2.2f);
        const float core = std::pow(std::max(0.0f, 1 - r * 3.0f), 1.5f);
        return Rgba{1, 1, 1, std::min(1.0f, glow * 0.85f + core * 0.4f)};
    });
    c.save(dir + "/flare.png");
}

// A design-credit caption: a small role line over a big name, on a slanted colour bar.
void MakeCaption(const std::string& path, int w, int h, const std::string& role,
                 const std::string& name, bool rightAligned, const Rgba& bar) {
    Canvas c(w, h);
    TtfFont big(kBoldFont, 64), small(kBoldFont, 22);
    const float nameW = big.measure(name, 4), roleW = small.measure(role, 3);
    const float margin = 24;
    const float nameX = rightAligned ? w - margin - nameW : margin;
    const float roleX = rightAligned ? w - margin - roleW : margin + 4;
    const float baseY = rightAligned ? 120.0f : float(h) - 40;
    // The bar behind the name.
    const float bx0 = rightAligned ? nameX - 40 : 0,
                bx1 = rightAligned ? float(w) : nameX + nameW + 40;
    c.paint(Polygon({bx0 + 30, baseY - 50, bx1, baseY - 50, bx1 - 30, baseY + 14, bx0, baseY + 14}),
            Scaled(bar, 1.0f), 0, 0, w, h);
    c.paint(
        Polygon({bx0 + 30, baseY - 50, bx1, baseY - 50, bx1 - 4, baseY - 42, bx0 + 26, baseY - 42}),
        Col(255, 255, 255, 0.5f), 0, 0, w, h);
    Mask n(w, h), r(w, h);
    big.render(n, name, nameX, baseY, 4);
    small.render(r, role, roleX, baseY - 62, 3);
    DrawStyled(c, n,
               {VGradient(baseY - 46, baseY, {Col(255, 255, 255), Col(230, 225, 255)}),
                Col(40, 16, 80), 4, Rgba{}, 0, Col(20, 0, 40, 0.55f), 4, 4, 2, 0.4f});
    DrawStyled(c, r,
               {[](float, float) { return Col(255, 240, 200); }, Col(40, 16, 80), 2, Rgba{}, 0,
                Rgba{}, 0, 0, 0, 0});
    c.avoidPureBlack();
    c.save(path);
}

// The ticker: the seven block shapes as little coloured icons on a tinted glass stripe, 16 to
// the 800 pixels so that the strip joins itself; mirrored it still reads as a pattern.
void MakeTicker(const std::string& dir) {
    Canvas c(800, 100);
    for (int y = 24; y < 76; ++y)
        for (int x = 0; x < 800; ++x) {
            const float t = std::fabs(y - 49.5f) / 26.0f;
            c.set(x, y, Rgba{0.16f, 0.06f, 0.30f, 0.55f - 0.25f * t});
        }
    for (int x = 0; x < 800; ++x) {
        c.set(x, 22, Col(255, 220, 120)), c.set(x, 23, Col(255, 220, 120, 0.6f));
        c.set(x, 76, Col(255, 220, 120, 0.6f)), c.set(x, 77, Col(255, 220, 120));
    }
    for (int i = 0; i < 16; ++i) {
        const int shape = (i * 3) % 7;
        const Rgba col = kShapeColours[std::size_t(shape)];
        const float cx = i * 50 + 25.0f, cy = 50;
        // Centre the icon on its blocks' bounding box.
        int minx = 9, maxx = -9, miny = 9, maxy = -9;
        for (auto& b : kShapeBlocks[shape]) {
            minx = std::min(minx, b[0]), maxx = std::max(maxx, b[0]);
            miny = std::min(miny, b[1]), maxy = std::max(maxy, b[1]);
        }
        const float cell = 9;
        for (auto& b : kShapeBlocks[shape]) {
            const float x0 = cx + (b[0] - (minx + maxx) / 2.0f - 0.5f) * cell;
            const float y0 = cy - (b[1] - (miny + maxy) / 2.0f + 0.5f) * cell;
            c.paint(Box(x0 + 0.5f, y0 + 0.5f, x0 + cell - 0.5f, y0 + cell - 0.5f, 1.5f), col,
                    int(x0) - 2, int(y0) - 2, int(x0 + cell) + 3, int(y0 + cell) + 3);
            c.paint(Box(x0 + 2, y0 + 2, x0 + cell - 4, y0 + 4, 1), Col(255, 255, 255, 0.6f),
                    int(x0) - 2, int(y0) - 2, int(x0 + cell) + 3, int(y0 + cell) + 3);
        }
        // A small diamond between icons.
        const float dx = i * 50.0f;
        c.paint(Polygon({dx, 44, dx + 4, 50, dx, 56, dx - 4, 50}), Col(255, 220, 120), int(dx) - 6,
                40, int(dx) + 6, 60);
        if (i == 0)
            c.paint(Polygon({800, 44, 804, 50, 800, 56, 796, 50}), Col(255, 220, 120), 790, 40, 800,
                    60);
    }
    c.avoidPureBlack();
    c.save(dir + "/ticker.png");
}

// The group logo: white and grey art (tinted at draw time), the name large in the upper part.
void MakeGroupLogo(const std::string& dir) {
    Canvas c(338, 76);
    TtfFont big(kBoldFont, 46), small(kBoldFont, 15);
    Mask n(338, 76), s(338, 76);
    float tracking = 3;
    while (big.measure("FERROWISP", tracking) > 320) tracking -= 0.5f;
    big.renderCentred(n, "FERROWISP", 169, 24, tracking);
    small.renderCentred(s, "S T U D I O S", 169, 60, 2);
    DrawStyled(c, n,
               {VGradient(6, 42, {Col(255, 255, 255), Col(200, 200, 200)}), Col(110, 110, 110), 2,
                Rgba{}, 0, Rgba{}, 0, 0, 0, 0.5f});
    c.paint(Box(40, 50, 298, 52), Col(170, 170, 170), 38, 48, 300, 54);
    c.paint(s, Col(190, 190, 190));
    c.avoidPureBlack();
    c.save(dir + "/halvrenstudios.png");
}

// ---------------------------------------------------------------------------------------------
// Pixel-art strips

// Rows of the column strips shaded from white down to a light grey; the demo tints them.
Rgba StripShade(int row, int rows) {
    const float t = rows > 1 ? float(row) / float(rows - 1) : 0.0f;
    const int v = int(std::lround(255 - 75 * t));
    return Col(v, v, v);
}

// A strip of `count` 1 x 36 columns holding one line of pixel-font text spread from column
// `from` to column `to` (exclusive): the words keep their letters' spacing and the room left
// over goes evenly into the gaps between them, so the text fills the stretch of the strip that
// its scroller shows.
void MakeColumnStrip(const std::string& path, int count, int from, int to, const std::string& text,
                     int scaleX, int scaleY, int top) {
    std::vector<std::string> words;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    int inked = 0;
    for (const std::string& w : words) inked += PixelFont::columns(w, scaleX);
    const int gaps = int(words.size()) - 1;
    const int room = to - from - inked;
    if (words.empty() || to > count || room < gaps * PixelFont::columns("  ", scaleX))
        throw std::runtime_error("text too long for " + path);
    Canvas c(count, 36);
    const int rows = PixelFont::kHeight * scaleY;
    int x = from, done = 0;
    for (int i = 0; i <= gaps; ++i) {
        const int gap = gaps > 0 ? int(std::lround(double(room) * i / gaps)) : 0;
        DrawPixelText(c, words[std::size_t(i)], x + gap, top, scaleX, scaleY,
                      [&](int row) { return StripShade(row, rows); });
        done += PixelFont::columns(words[std::size_t(i)], scaleX);
        x = from + done;
    }
    c.save(path);
}

// The end-screen strip, three cells of 334 x 229 side by side: 0 the night sky, 2 the town low
// down in front of the fireworks, 1 a border over everything.
void MakeKolumo(const std::string& dir) {
    constexpr int W = 334, H = 229;
    Canvas strip(3 * W, H);
    Rng rng(2024);

    // Cell 0: sky, stars, moon and far hills; fully opaque.
    Canvas sky(W, H);
    const std::array<Rgba, 5> skyBands = {Col(10, 12, 40), Col(18, 18, 62), Col(34, 24, 86),
                                          Col(62, 34, 104), Col(98, 50, 116)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            // Banded gradient with a 2x2 ordered dither at the steps: a pixel-art sky.
            const float t = float(y) / H * float(skyBands.size() - 1);
            int band = std::min(int(t), int(skyBands.size()) - 2);
            const float f = t - band;
            const float threshold = ((x & 1) * 2 + (y & 1)) / 4.0f + 0.125f;
            sky.set(x, y, skyBands[std::size_t(band + (f > threshold ? 1 : 0))]);
        }
    for (int i = 0; i < 140; ++i) {
        const int x = rng.below(W), y = rng.below(150);
        const int v = 150 + rng.below(106);
        sky.set(x, y, Col(v, v, std::min(255, v + 20)));
        if (i % 17 == 0) {
            for (int d = -2; d <= 2; ++d) {
                sky.set(x + d, y, Col(220, 220, 255));
                sky.set(x, y + d, Col(220, 220, 255));
            }
        }
    }
    for (int y = 18; y < 62; ++y)
        for (int x = 250; x < 294; ++x) {
            const float r = std::hypot(x + 0.5f - 272, y + 0.5f - 40);
            if (r < 20) {
                const float crater = Hash2(x / 5, y / 5, 5) > 0.75f ? 0.88f : 1.0f;
                const float shade = (x - 262 + y - 30) < 22 ? 1.0f : 0.9f;
                sky.set(x, y, Scaled(Col(250, 240, 200), crater * shade));
            } else if (r < 23) {
                sky.blend(x, y, Col(250, 240, 200, 0.25f));
            }
        }
    for (int x = 0; x < W; ++x) {
        const float hill = 168 - 22 * Fbm(float(x), 0, 90, 3, 9);
        for (int y = int(hill); y < H; ++y)
            sky.set(x, y, y - int(hill) < 2 ? Col(80, 56, 120) : Col(44, 30, 78));
    }
    sky.avoidPureBlack();
    strip.draw(sky, 0, 0);

    // Cell 2: the town, low down; transparent above.
    Canvas town(W, H);
    int x = -4;
    while (x < W) {
        const int bw = 14 + rng.below(22), bh = 28 + rng.below(36);
        const int top = H - bh;
        const Rgba wall = rng.below(2) ? Col(26, 22, 50) : Col(34, 26, 60);
        for (int yy = top; yy < H; ++yy)
            for (int xx = x; xx < x + bw; ++xx) town.set(xx, yy, wall);
        for (int xx = x; xx < x + bw; ++xx) town.set(xx, top, Col(70, 56, 110));
        for (int wy = top + 5; wy < H - 8; wy += 7)
            for (int wx = x + 3; wx < x + bw - 3; wx += 5)
                if (rng.below(3)) {
                    const Rgba lit = rng.below(4) ? Col(255, 214, 110) : Col(140, 200, 255);
                    town.set(wx, wy, lit), town.set(wx + 1, wy, lit);
                    town.set(wx, wy + 1, lit), town.set(wx + 1, wy + 1, lit);
                }
        x += bw + rng.below(3);
    }
    for (int xx = 0; xx < W; ++xx)
        for (int yy = H - 6; yy < H; ++yy) town.set(xx, yy, Col(20, 40, 34));
    town.avoidPureBlack();
    strip.draw(town, 2 * W, 0);

    // Cell 1: a border with corner studs and a plaque at the top; clear inside.
    Canvas frame(W, H);
    const Rgba gold = Col(240, 190, 70), dark = Col(120, 70, 30), mid = Col(200, 140, 50);
    for (int y = 0; y < H; ++y)
        for (int xx = 0; xx < W; ++xx) {
            const int d = std::min(std::min(xx, W - 1 - xx), std::min(y, H - 1 - y));
            if (d == 0 || d == 4)
                frame.set(xx, y, dark);
            else if (d < 4)
                frame.set(xx, y, d == 1 ? gold : mid);
        }
    for (int corner = 0; corner < 4; ++corner) {
        const int cx = corner % 2 ? W - 9 : 8, cy = corner / 2 ? H - 9 : 8;
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                if (std::abs(dx) + std::abs(dy) <= 4)
                    frame.set(cx + dx, cy + dy, std::abs(dx) + std::abs(dy) == 4 ? dark : gold);
    }
    const std::string plaque = "THE END";
    const int pw = PixelFont::columns(plaque, 1) + 8;
    const int px0 = (W - pw) / 2;
    for (int y = 3; y < 16; ++y)
        for (int xx = px0; xx < px0 + pw; ++xx)
            frame.set(xx, y, (y == 3 || y == 15 || xx == px0 || xx == px0 + pw - 1) ? dark : mid);
    DrawPixelText(frame, plaque, px0 + 4, 6, 1, 1, [&](int) { return Col(255, 250, 220); });
    frame.avoidPureBlack();
    strip.draw(frame, W, 0);

    strip.save(dir + "/kolumo.png");
}

// ---------------------------------------------------------------------------------------------
// Textures

// The scroll banner: one line of big lettering across six 512 x 512 squares, cut apart.
void MakeScrollBanner(const std::string& dir) {
    constexpr int S = 512, N = 6;
    // Room at each end for the outlines and the shadow, which reach about 50 pixels out.
    constexpr int kMargin = 80;
    Canvas c(S * N, S);
    const std::string text = "SORT THEM WITH A PENCIL";
    // The largest lettering, up to 330 pixels, whose line fits the strip with normal spacing.
    int size = 330;
    const auto tracking = [](int px) { return px / 33.0f; };
    while (size > 60 &&
           TtfFont(kBoldFont, size).measure(text, tracking(size)) > S * N - 2 * kMargin)
        size -= 10;
    TtfFont font(kBoldFont, size);
    Mask m(S * N, S);
    font.renderCentred(m, text, S * N / 2.0f, S / 2.0f, tracking(size));
    const float half = font.capHeight() / 2;
    DrawStyled(c, m,
               {VGradient(S / 2.0f - half, S / 2.0f + half,
                          {Col(120, 255, 250), Col(60, 140, 255), Col(170, 60, 230)}),
                Col(255, 255, 255), 10, Col(50, 16, 96), 8, Col(20, 0, 40, 0.6f), 14, 16, 6, 0.5f});
    c.bleedTransparent();
    for (int i = 0; i < N; ++i)
        c.crop(i * S, 0, S, S).save(dir + "/scroll" + std::to_string(i) + ".png");
}

// The sky-box room: four walls cut from one panorama that joins end to end (face 0 +z, 1 +x,
// 2 -z, 3 -x, left to right from inside), a skylight ceiling and a tiled floor. It is a room at
// dusk, kept dark: phase 7 adds white glowing particles over it, which need a dim ground.
void MakeRoom(const std::string& dir) {
    constexpr int S = 512, P = 4 * S;
    const Rgba cornice = Col(128, 118, 100), skirting = Col(60, 36, 24);
    Canvas pano(P, S);
    // Sky, far mountains and near hills, all periodic across the four walls.
    auto ridge = [&](float x, float base, float amp, float cell, std::uint32_t seed) {
        return base - amp * Fbm(x, 0, cell, 4, seed, P / int(cell));
    };
    pano.shade([&](float x, float y) {
        const float far = ridge(x, 300, 120, 256, 3), near = ridge(x, 350, 60, 128, 4);
        if (y < far) {
            const Rgba top = Col(18, 26, 66), low = Col(120, 62, 104);
            Rgba c = Mix(top, low, Smooth(60, 300, y));
            const float cloud = Fbm(x, y * 2.5f, 128, 4, 21, P / 128);
            return Mix(c, Col(96, 84, 130), Smooth(0.58f, 0.75f, cloud) * 0.7f);
        }
        if (y < near) {
            const float t = Smooth(far, far + 90, y);
            return Mix(Col(62, 44, 98), Col(44, 32, 78), t);
        }
        const float stripes = 0.5f + 0.5f * std::sin(x * (2 * kPi * 10 / P) + y * 0.09f);
        return Mix(Col(30, 72, 50), Col(24, 58, 44), stripes * 0.6f);
    });
    // The moon on the first wall, and block-piece towers standing in the hills.
    pano.paint(Circle(180, 150, 30), Col(230, 222, 196), 120, 90, 240, 210);
    pano.paint(Ring(180, 150, 42, 2), Col(230, 222, 196, 0.35f), 110, 80, 250, 220);
    Rng rng(33);
    for (int i = 0; i < 10; ++i) {
        const int shape = i % 7;
        const float bx = 100.0f + i * 200.0f + rng.range(-30, 30);
        const float by = ridge(bx, 350, 60, 128, 4) + 40;
        const float cell = 26;
        for (auto& b : kShapeBlocks[shape]) {
            const float x0 = bx + b[0] * cell, y0 = by - (b[1] + 1) * cell;
            const Rgba col = kShapeColours[std::size_t(shape)];
            pano.paint(Box(x0, y0, x0 + cell, y0 + cell, 2), Scaled(col, 0.4f), int(x0) - 2,
                       int(y0) - 2, int(x0 + cell) + 3, int(y0 + cell) + 3);
            pano.paint(Box(x0 + 3, y0 + 3, x0 + cell - 3, y0 + cell - 3, 2), Scaled(col, 0.55f),
                       int(x0) - 2, int(y0) - 2, int(x0 + cell) + 3, int(y0 + cell) + 3);
        }
    }
    // Wainscot, skirting and cornice: the same on every wall.
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < P; ++x) {
            if (y < 28) {
                const bool dentil = y > 16 && (x % 32) < 16;
                pano.set(x, y,
                         dentil ? Scaled(cornice, 0.86f)
                                : (y > 24 ? Scaled(cornice, 0.8f) : cornice));
            } else if (y >= S - 24) {
                pano.set(x, y, skirting);
            } else if (y >= 400) {
                const float grain = Fbm(float(x), float(y) * 0.2f, 32, 3, 50, P / 32);
                Rgba wood = Mix(Col(96, 60, 34), Col(76, 46, 26), grain);
                if (x % 128 < 4 || y < 404) wood = Scaled(wood, 0.7f);
                pano.set(x, y, wood);
            }
        }
    for (int i = 0; i < 4; ++i) {
        Canvas wall = pano.crop(i * S, 0, S, S);
        wall.save(dir + "/cubo000" + std::to_string(i) + "b.png");
    }

    // Ceiling: a skylight of panes in a beam grid, the cornice colour round its edge.
    Canvas ceil(S, S);
    ceil.shade([&](float x, float y) {
        const float edge = std::min(std::min(x, S - x), std::min(y, S - y));
        if (edge < 28) return edge < 24 ? cornice : Scaled(cornice, 0.8f);
        const float gx = std::fmod(x - 28, 111.0f), gy = std::fmod(y - 28, 111.0f);
        if (gx < 12 || gy < 12) return Col(80, 52, 32);
        const float cloud = Fbm(x, y, 96, 4, 77);
        const Rgba glass = Mix(Col(16, 24, 62), Col(40, 48, 100), Smooth(60, 460, y));
        return Mix(glass, Col(96, 90, 136), Smooth(0.55f, 0.75f, cloud) * 0.6f);
    });
    ceil.save(dir + "/cubo0004b.png");

    // Floor: warm checked tiles framed by the skirting colour.
    Canvas floor(S, S);
    floor.shade([&](float x, float y) {
        const float edge = std::min(std::min(x, S - x), std::min(y, S - y));
        if (edge < 24) return skirting;
        const int tx = int((x - 24) / 58), ty = int((y - 24) / 58);
        const Rgba a = Col(120, 102, 80), b = Col(92, 38, 34);
        Rgba c = (tx + ty) % 2 ? b : a;
        const float grain = Fbm(x, y, 32, 3, 90);
        return Scaled(c, 0.92f + 0.12f * grain);
    });
    floor.save(dir + "/cubo0005b.png");
}

// The block face: light, opaque, the same on all four sides: a raised rim, a groove and a
// gently domed centre. The piece colour tints it.
void MakePieza(const std::string& dir) {
    constexpr int S = 128;
    Canvas c(S, S);
    c.shade([](float x, float y) {
        const float edge = std::min(std::min(x, S - x), std::min(y, S - y));
        float v;
        if (edge < 3)
            v = 0.78f;
        else if (edge < 14)
            v = 1.0f - (edge - 3) * 0.012f;
        else if (edge < 17)
            v = 0.74f;
        else {
            const float r = std::hypot(x - S / 2.0f, y - S / 2.0f) / (S / 2.0f);
            v = 0.93f - 0.1f * r * r;
        }
        return Rgba{v, v, v, 1};
    });
    c.save(dir + "/pieza.png");
}

// The giant piece's texture: thick white lines on transparent (a frame and an inner ring), wide
// enough to outlive the small mipmaps and the alpha test.
void MakePiezaLinea(const std::string& dir) {
    constexpr int S = 128;
    Canvas c(S, S);
    c.shade([](float x, float y) {
        const float edge = std::min(std::min(x, S - x), std::min(y, S - y));
        const float frame = Smooth(15.5f, 14.5f, edge);
        const float inner = std::max(std::fabs(x - S / 2.0f), std::fabs(y - S / 2.0f));
        const float ring = Smooth(7.5f, 6.5f, std::fabs(inner - 26));
        return Rgba{1, 1, 1, std::max(frame, ring)};
    });
    c.save(dir + "/piezalinea.png");
}

} // namespace

std::vector<Job> ImageJobs() {
    return {
        {"fondo.png", MakeFondo},
        {"marco.png", MakeMarco},
        {"portada.png", MakePortada},
        {"title words", MakeTitleWords},
        {"lapiz.png", MakeLapiz},
        {"flare.png", MakeFlare},
        {"captions",
         [](const std::string& d) {
             MakeCaption(d + "/obel.png", 560, 219, "sphere room design", "NUVEL", false,
                         Col(60, 150, 230, 0.85f));
             MakeCaption(d + "/varnik.png", 566, 190, "textures and colour", "OKARINE", true,
                         Col(230, 80, 150, 0.85f));
         }},
        {"ticker.png", MakeTicker},
        {"halvrenstudios.png", MakeGroupLogo},
        {"kolumo.png", MakeKolumo},
        {"creditos.png",
         [](const std::string& d) {
             // Phase 6 runs about 960 frames at 2.1 columns a frame over a 200-column
             // view: the text runs until the phase's last frames.
             MakeColumnStrip(d + "/creditos.png", 2600, 200, 2200,
                             "LAPIZ * CODE: TESK * MUSIC: BRIMMO * DESIGN: NUVEL * "
                             "TEXTURES: OKARINE * A FERROWISP PRODUCTION",
                             3, 2, 11);
         }},
        {"scrollkolumo.png",
         [](const std::string& d) {
             // The end screen repeats the strip: a short blank where it joins itself.
             MakeColumnStrip(d + "/scrollkolumo.png", 3600, 40, 3560,
                             "THANK YOU FOR WATCHING! DRAWN WITH ONE PENCIL, A FEW BLOCKS "
                             "AND A LOT OF TEA. THE UNIVERSE IS A FEW UNSORTED BLOCKS: "
                             "SORT THEM WITH A PENCIL. HELLO TO EVERYONE AT THE PARTY... "
                             "PRESS ESCAPE TO LEAVE",
                             3, 4, 4);
         }},
        {"scroll banner", MakeScrollBanner},
        {"room", MakeRoom},
        {"pieza.png", MakePieza},
        {"piezalinea.png", MakePiezaLinea},
    };
}

} // namespace mediagen
