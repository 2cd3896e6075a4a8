#include "tools/mediagen/lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace mediagen {

// ---------------------------------------------------------------------------------------------
// Outline fonts

struct TtfFont::Impl {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
};

TtfFont::TtfFont(const std::string& path, int pixelHeight) : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->lib) != 0) throw std::runtime_error("FreeType does not start");
    if (FT_New_Face(impl_->lib, path.c_str(), 0, &impl_->face) != 0) {
        FT_Done_FreeType(impl_->lib);
        throw std::runtime_error("cannot load the font " + path);
    }
    FT_Set_Pixel_Sizes(impl_->face, 0, FT_UInt(pixelHeight));
}

TtfFont::~TtfFont() {
    FT_Done_Face(impl_->face);
    FT_Done_FreeType(impl_->lib);
}

float TtfFont::measure(const std::string& text, float tracking) const {
    FT_Face face = impl_->face;
    float x = 0;
    FT_UInt prev = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const FT_UInt index =
            FT_Get_Char_Index(face, FT_ULong(static_cast<unsigned char>(text[i])));
        if (prev && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, prev, index, FT_KERNING_DEFAULT, &k);
            x += float(k.x) / 64.0f;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0)
            x += float(face->glyph->advance.x) / 64.0f;
        if (i + 1 < text.size()) x += tracking;
        prev = index;
    }
    return x;
}

float TtfFont::capHeight() const {
    FT_Face face = impl_->face;
    const FT_UInt index = FT_Get_Char_Index(face, 'H');
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) return 0;
    return float(face->glyph->metrics.horiBearingY) / 64.0f;
}

void TtfFont::render(Mask& m, const std::string& text, float x, float y, float tracking) const {
    FT_Face face = impl_->face;
    FT_UInt prev = 0;
    for (unsigned char ch : text) {
        const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(ch));
        if (prev && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, prev, index, FT_KERNING_DEFAULT, &k);
            x += float(k.x) / 64.0f;
        }
        // The pen position's fraction is carried into the outline so that letters keep their
        // exact spacing.
        const float fx = x - std::floor(x);
        FT_Vector shift{FT_Pos(std::lround(fx * 64)), 0};
        FT_Set_Transform(face, nullptr, &shift);
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) == 0) {
            const FT_GlyphSlot g = face->glyph;
            const int ox = int(std::floor(x)) + g->bitmap_left;
            const int oy = int(std::lround(y)) - g->bitmap_top;
            for (unsigned row = 0; row < g->bitmap.rows; ++row)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    const unsigned char v = g->bitmap.buffer[row * unsigned(g->bitmap.pitch) + col];
                    if (v) m.add(ox + int(col), oy + int(row), v / 255.0f);
                }
            x += float(g->advance.x) / 64.0f;
        }
        FT_Set_Transform(face, nullptr, nullptr);
        x += tracking;
        prev = index;
    }
}

void TtfFont::renderCentred(Mask& m, const std::string& text, float cx, float cy,
                            float tracking) const {
    const float w = measure(text, tracking);
    render(m, text, cx - w / 2, cy + capHeight() / 2, tracking);
}

// ---------------------------------------------------------------------------------------------
// Stroke fonts

StrokeFont::StrokeFont(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read the stroke font " + path);
    std::string line;
    char code = ' ';
    while (std::getline(in, line)) {
        if (line.size() < 8) continue;
        const int count = std::stoi(line.substr(5, 3));
        std::string data = line.substr(8);
        // Long glyphs may continue on the next lines.
        while (int(data.size()) < 2 * count && std::getline(in, line)) data += line;
        if (int(data.size()) < 2 * count) break;
        Glyph g;
        g.left = data[0] - 'R';
        g.right = data[1] - 'R';
        Stroke current;
        for (int i = 1; i < count; ++i) {
            const char a = data[std::size_t(2 * i)], b = data[std::size_t(2 * i + 1)];
            if (a == ' ' && b == 'R') {
                if (current.size() > 1) g.strokes.push_back(current);
                current.clear();
                continue;
            }
            current.emplace_back(float(a - 'R'), float(b - 'R'));
        }
        if (current.size() > 1) g.strokes.push_back(current);
        glyphs_[code] = std::move(g);
        if (code == '~') break;
        ++code;
    }
    if (glyphs_.size() < 95) throw std::runtime_error("incomplete stroke font " + path);
}

std::vector<Stroke> StrokeFont::layout(const std::string& text, float* advance) const {
    std::vector<Stroke> out;
    float x = 0;
    for (char ch : text) {
        auto it = glyphs_.find(ch);
        if (it == glyphs_.end()) continue;
        const Glyph& g = it->second;
        for (const Stroke& s : g.strokes) {
            Stroke placed;
            for (auto [px, py] : s) placed.emplace_back(x + px - float(g.left), py);
            out.push_back(std::move(placed));
        }
        x += float(g.right - g.left);
    }
    if (advance) *advance = x;
    return out;
}

float StrokeLength(const std::vector<Stroke>& strokes) {
    float total = 0;
    for (const Stroke& s : strokes)
        for (std::size_t i = 1; i < s.size(); ++i)
            total += std::hypot(s[i].first - s[i - 1].first, s[i].second - s[i - 1].second);
    return total;
}

std::vector<std::pair<float, float>> DotStrokes(const std::vector<Stroke>& strokes, float spacing) {
    std::vector<std::pair<float, float>> dots;
    for (const Stroke& s : strokes) {
        float len = 0;
        for (std::size_t i = 1; i < s.size(); ++i)
            len += std::hypot(s[i].first - s[i - 1].first, s[i].second - s[i - 1].second);
        // Evenly spaced along the stroke, as near the wanted spacing as whole steps allow.
        const int steps = std::max(1, int(std::lround(len / spacing)));
        const float step = len / float(steps);
        std::size_t seg = 1;
        float segStart = 0;
        for (int k = 0; k <= steps; ++k) {
            const float at = std::min(step * float(k), len);
            while (seg + 1 < s.size()) {
                const float segLen =
                    std::hypot(s[seg].first - s[seg - 1].first, s[seg].second - s[seg - 1].second);
                if (segStart + segLen >= at) break;
                segStart += segLen;
                ++seg;
            }
            const float segLen =
                std::hypot(s[seg].first - s[seg - 1].first, s[seg].second - s[seg - 1].second);
            const float t = segLen > 0 ? std::clamp((at - segStart) / segLen, 0.0f, 1.0f) : 0.0f;
            dots.emplace_back(s[seg - 1].first + (s[seg].first - s[seg - 1].first) * t,
                              s[seg - 1].second + (s[seg].second - s[seg - 1].second) * t);
        }
    }
    return dots;
}

// ---------------------------------------------------------------------------------------------
// Pixel font

namespace {

struct PixelGlyph {
    char c;
    const char* rows[7];
};

// clang-format off
constexpr PixelGlyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###..", ".#...", ".#...", ".#...", ".#...", ".#...", "###.."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {".#...", "##...", ".#...", ".#...", ".#...", ".#...", "###.."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'.', {".....", ".....", ".....", ".....", ".....", "##...", "##..."}},
    {',', {".....", ".....", ".....", ".....", "##...", ".#...", "#...."}},
    {':', {".....", "##...", "##...", ".....", "##...", "##...", "....."}},
    {'!', {"#....", "#....", "#....", "#....", "#....", ".....", "#...."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'-', {".....", ".....", ".....", "####.", ".....", ".....", "....."}},
    {'\'', {"#....", "#....", ".....", ".....", ".....", ".....", "....."}},
    {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}},
    {'*', {".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'(', {"..#..", ".#...", "#....", "#....", "#....", ".#...", "..#.."}},
    {')', {"#....", ".#...", "..#..", "..#..", "..#..", ".#...", "#...."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
};
// clang-format on

const PixelGlyph* findGlyph(char c) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    for (const PixelGlyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

// Columns a glyph uses (from column 0 to its last inked column); spaces are three wide.
int glyphWidth(char c) {
    const PixelGlyph* g = findGlyph(c);
    if (!g) return 3;
    int last = 0;
    for (const char* row : g->rows)
        for (int x = 0; x < PixelFont::kWidth; ++x)
            if (row[x] == '#') last = std::max(last, x);
    return last + 1;
}

} // namespace

bool PixelFont::pixel(char c, int x, int y) {
    const PixelGlyph* g = findGlyph(c);
    if (!g || x < 0 || y < 0 || x >= kWidth || y >= kHeight) return false;
    return g->rows[y][x] == '#';
}

int PixelFont::columns(const std::string& text, int scaleX, int gap) {
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        n += glyphWidth(text[i]) * scaleX;
        if (i + 1 < text.size()) n += gap * scaleX;
    }
    return n;
}

int DrawPixelText(Canvas& c, const std::string& text, int x, int y, int scaleX, int scaleY,
                  const std::function<Rgba(int row)>& rowColour, int gap) {
    for (char ch : text) {
        const int w = glyphWidth(ch);
        for (int gy = 0; gy < PixelFont::kHeight; ++gy)
            for (int gx = 0; gx < w; ++gx) {
                if (!PixelFont::pixel(ch, gx, gy)) continue;
                for (int sy = 0; sy < scaleY; ++sy)
                    for (int sx = 0; sx < scaleX; ++sx) {
                        const int row = gy * scaleY + sy;
                        c.set(x + gx * scaleX + sx, y + row, rowColour(row));
                    }
            }
        x += (w + gap) * scaleX;
    }
    return x;
}

} // namespace mediagen
