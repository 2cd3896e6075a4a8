// The line drawings (".lap": little-endian int32 screen points) and the scene file (".esc":
// records of seven little-endian floats).
#include "demo/dibujo.h"
#include "tools/mediagen/lettering.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/scene.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace mediagen {
namespace {

constexpr float kPi = 3.14159265358979f;
using Point = std::pair<float, float>;

// ---------------------------------------------------------------------------------------------
// Helpers for pen paths

Stroke CirclePath(float cx, float cy, float rx, float ry, float a0 = 0, float a1 = 360,
                  int n = 72) {
    Stroke s;
    for (int i = 0; i <= n; ++i) {
        const float a = (a0 + (a1 - a0) * float(i) / float(n)) * kPi / 180;
        s.emplace_back(cx + rx * std::cos(a), cy + ry * std::sin(a));
    }
    return s;
}

Stroke Line(float x0, float y0, float x1, float y1) {
    return {{x0, y0}, {x1, y1}};
}

// Dots along the strokes at the spacing that gives a count nearest `target`.
std::vector<Point> DotsNear(const std::vector<Stroke>& strokes, int target) {
    float lo = 1, hi = 60;
    for (int i = 0; i < 40; ++i) {
        const float mid = (lo + hi) / 2;
        if (int(DotStrokes(strokes, mid).size()) > target)
            lo = mid;
        else
            hi = mid;
    }
    return DotStrokes(strokes, hi);
}

void Check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

void CheckOnScreen(const std::vector<Point>& pts, const std::string& name) {
    for (auto [x, y] : pts)
        Check(x >= 0 && y >= 0 && x <= 799 && y <= 599, name + ": a point lies off screen");
}

// The records the show expects of the drawing `name` (kDibujos, demo/dibujo.h).
int ShowRecords(const std::string& name) {
    const DibujoDelShow* d = BuscaDibujo("media/" + name);
    Check(d != nullptr, name + " is not one of the show's drawings");
    return d->registros;
}

// A drawing's points, checked: on the screen and as many as the show expects.
void CheckDrawing(const std::vector<Point>& pts, const std::string& name) {
    CheckOnScreen(pts, name);
    const int expected = ShowRecords(name);
    Check(int(pts.size()) == expected, name + ": " + std::to_string(pts.size()) +
                                           " points made, the show expects " +
                                           std::to_string(expected) + " (demo/dibujo.h)");
}

// Phase-4 files: 16-byte records; the first pair (not drawn) holds where the pen came from.
void WritePenFile(const std::string& dir, const std::string& name, const std::vector<Point>& pts) {
    CheckDrawing(pts, name);
    std::vector<std::uint8_t> out;
    Point prev = pts.front();
    for (auto p : pts) {
        PutI32(out, std::int32_t(std::lround(prev.first)));
        PutI32(out, std::int32_t(std::lround(prev.second)));
        PutI32(out, std::int32_t(std::lround(p.first)));
        PutI32(out, std::int32_t(std::lround(p.second)));
        prev = p;
    }
    WriteFile(dir + "/" + name, out);
}

// Trail and greeting files: 8-byte records.
void WritePointFile(const std::string& dir, const std::string& name,
                    const std::vector<Point>& pts) {
    CheckDrawing(pts, name);
    std::vector<std::uint8_t> out;
    for (auto [x, y] : pts) {
        PutI32(out, std::int32_t(std::lround(x)));
        PutI32(out, std::int32_t(std::lround(y)));
    }
    WriteFile(dir + "/" + name, out);
}

// ---------------------------------------------------------------------------------------------
// Phase 4: one picture in four colours, drawn one colour after another: green grass and tree
// crown, an orange sun and tree trunk, pink flowers, a red house.

std::vector<Stroke> GreenStrokes() {
    std::vector<Stroke> s;
    Stroke grass;
    for (int i = 0; i <= 60; ++i) {
        const float x = 60 + i * 11.0f;
        grass.emplace_back(x, 478 + 6 * std::sin(i * 0.7f));
    }
    s.push_back(grass);
    // The crown: a ring of bumps.
    Stroke crown;
    for (int i = 0; i <= 120; ++i) {
        const float a = i * 2 * kPi / 120;
        const float r = 88 + 12 * std::cos(7 * a);
        crown.emplace_back(190 + r * std::cos(a), 250 + 0.85f * r * std::sin(a));
    }
    s.push_back(crown);
    for (int t = 0; t < 5; ++t) {
        const float x = 300 + t * 95.0f;
        s.push_back({{x - 10, 478}, {x - 4, 458}});
        s.push_back({{x, 478}, {x + 2, 452}});
        s.push_back({{x + 10, 478}, {x + 8, 460}});
    }
    return s;
}

std::vector<Stroke> OrangeStrokes() {
    std::vector<Stroke> s;
    s.push_back(CirclePath(640, 130, 44, 44));
    for (int i = 0; i < 10; ++i) {
        const float a = i * 36 * kPi / 180;
        s.push_back(Line(640 + 58 * std::cos(a), 130 + 58 * std::sin(a), 640 + 84 * std::cos(a),
                         130 + 84 * std::sin(a)));
    }
    // The trunk with two branch stubs.
    s.push_back(Line(176, 318, 170, 478));
    s.push_back(Line(206, 318, 212, 478));
    s.push_back(Line(190, 380, 160, 350));
    return s;
}

std::vector<Stroke> PinkStrokes() {
    std::vector<Stroke> s;
    const float xs[3] = {320, 370, 420};
    const float ys[3] = {410, 385, 415};
    for (int f = 0; f < 3; ++f) {
        const float cx = xs[f], cy = ys[f];
        Stroke petals;
        for (int i = 0; i <= 100; ++i) {
            const float a = i * 2 * kPi / 100;
            const float r = 8 + 14 * std::fabs(std::cos(2.5f * a));
            petals.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
        }
        s.push_back(petals);
        s.push_back(Line(cx, cy + 12, cx + 2, 476));
    }
    // A butterfly above them.
    s.push_back(CirclePath(350, 300, 16, 11, 200, 520));
    s.push_back(CirclePath(384, 300, 16, 11, -20, 340));
    return s;
}

std::vector<Stroke> RedStrokes() {
    std::vector<Stroke> s;
    s.push_back({{460, 470}, {460, 320}, {640, 320}, {640, 470}});
    s.push_back({{440, 330}, {550, 230}, {660, 330}});
    s.push_back({{530, 470}, {530, 400}, {570, 400}, {570, 470}});
    s.push_back({{480, 345}, {515, 345}, {515, 380}, {480, 380}, {480, 345}});
    s.push_back({{585, 345}, {620, 345}, {620, 380}, {585, 380}, {585, 345}});
    s.push_back({{600, 268}, {600, 238}, {622, 238}, {622, 288}});
    return s;
}

// ---------------------------------------------------------------------------------------------
// Trails: smooth closed curves walked at an even pace.

std::vector<Point> EvenClosedCurve(const std::function<Point(float)>& f, int count) {
    // Arc length over a fine parameter grid, then equal steps along it.
    const int fine = count * 40;
    std::vector<Point> p(std::size_t(fine) + 1);
    std::vector<float> len(std::size_t(fine) + 1, 0);
    for (int i = 0; i <= fine; ++i) p[std::size_t(i)] = f(2 * kPi * float(i) / float(fine));
    for (int i = 1; i <= fine; ++i)
        len[std::size_t(i)] = len[std::size_t(i - 1)] +
                              std::hypot(p[std::size_t(i)].first - p[std::size_t(i - 1)].first,
                                         p[std::size_t(i)].second - p[std::size_t(i - 1)].second);
    std::vector<Point> out;
    std::size_t j = 0;
    for (int k = 0; k < count; ++k) {
        const float at = len.back() * float(k) / float(count);
        while (j + 1 < len.size() && len[j + 1] < at) ++j;
        const float seg = len[j + 1] - len[j];
        const float t = seg > 0 ? (at - len[j]) / seg : 0;
        out.emplace_back(p[j].first + (p[j + 1].first - p[j].first) * t,
                         p[j].second + (p[j + 1].second - p[j].second) * t);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Greetings: pen lettering from the Hershey script font, dotted, centred on the screen.

std::vector<Point> Greeting(const StrokeFont& font, const std::string& text) {
    float advance = 0;
    const std::vector<Stroke> units = font.layout(text, &advance);
    float minx = 1e9f, maxx = -1e9f, miny = 1e9f, maxy = -1e9f;
    for (const Stroke& s : units)
        for (auto [x, y] : s) {
            minx = std::min(minx, x), maxx = std::max(maxx, x);
            miny = std::min(miny, y), maxy = std::max(maxy, y);
        }
    float scale = std::min(4.2f, std::min(700 / (maxx - minx), 260 / (maxy - miny)));
    for (;;) {
        std::vector<Stroke> placed;
        for (const Stroke& s : units) {
            Stroke p;
            for (auto [x, y] : s)
                p.emplace_back(400 + (x - (minx + maxx) / 2) * scale,
                               300 + (y - (miny + maxy) / 2) * scale);
            placed.push_back(p);
        }
        // The spacing nearest 6.5 px that keeps the count within 150 to 500.
        for (float spacing : {6.5f, 6.0f, 7.0f, 5.5f, 7.5f, 5.0f, 8.0f}) {
            std::vector<Point> dots = DotStrokes(placed, spacing);
            if (dots.size() >= 150 && dots.size() <= 500) return dots;
        }
        const std::size_t n = DotStrokes(placed, 6.5f).size();
        Check(n > 150 || scale < 4.2f, "greeting too short to letter: " + text);
        scale *= n > 500 ? 0.9f : 1.1f;
        Check(scale > 0.5f && scale < 20, "cannot letter the greeting: " + text);
    }
}

// Invented names only.
const char* const kGreetings[17] = {
    "greetings to", "tinfoil owls", "velvet lathe", "paper comets", "brass finch", "moon wharf",
    "salt moth",    "cobalt quill", "fennel wave",  "glimmer fen",  "nimbus loom", "quasar beet",
    "ember tram",   "hollow kite",  "amber sleet",  "rust orchid",  "tidal yarn",
};

} // namespace

std::vector<Job> DrawingJobs() {
    return {
        {"phase-4 drawings",
         [](const std::string& d) {
             for (const auto& [name, strokes] :
                  {std::pair{"verde.lap", GreenStrokes()},
                   std::pair{"naranja.lap", OrangeStrokes()}, std::pair{"rosa.lap", PinkStrokes()},
                   std::pair{"rojo.lap", RedStrokes()}})
                 WritePenFile(d, name, DotsNear(strokes, ShowRecords(name)));
         }},
        {"trails",
         [](const std::string& d) {
             WritePointFile(d, "estela.lap",
                            EvenClosedCurve(
                                [](float t) {
                                    return Point{400 + 330 * std::sin(3 * t + kPi / 2),
                                                 300 + 230 * std::sin(2 * t)};
                                },
                                ShowRecords("estela.lap")));
             WritePointFile(d, "estela2.lap",
                            EvenClosedCurve(
                                [](float t) {
                                    return Point{400 + 290 * std::cos(t) + 60 * std::cos(7 * t),
                                                 300 + 190 * std::sin(t) - 60 * std::sin(7 * t)};
                                },
                                ShowRecords("estela2.lap")));
         }},
        {"greetings",
         [](const std::string& d) {
             const StrokeFont font(kScriptStrokeFont);
             for (int i = 0; i < 17; ++i)
                 WritePointFile(d, "saludo" + std::to_string(i) + ".lap",
                                Greeting(font, kGreetings[i]));
         }},
        {"escenario1.esc",
         [](const std::string& d) {
             std::vector<std::uint8_t> out;
             for (const ScenePiece& p : BuildScene()) {
                 PutF32(out, float(p.tipo));
                 for (float v : {p.x, p.y, p.z, p.pitch, p.yaw, p.roll}) PutF32(out, v);
             }
             WriteFile(d + "/escenario1.esc", out);
         }},
    };
}

} // namespace mediagen
