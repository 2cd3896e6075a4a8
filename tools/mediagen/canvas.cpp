#include "tools/mediagen/canvas.h"

#include "platform/pixmap.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace mediagen {

Rgba Mix(const Rgba& x, const Rgba& y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

// ---------------------------------------------------------------------------------------------
// Mask

void Mask::add(int x, int y, float c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float& v = ref(x, y);
    v = std::max(v, std::clamp(c, 0.0f, 1.0f));
}

Mask Mask::dilated(float r) const {
    Mask out(w_, h_);
    const int reach = int(std::ceil(r)) + 1;
    struct Tap {
        int dx, dy;
        float weight;
    };
    std::vector<Tap> taps;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const float d = std::sqrt(float(dx * dx + dy * dy));
            const float w = std::clamp(r + 0.5f - d, 0.0f, 1.0f);
            if (w > 0) taps.push_back({dx, dy, w});
        }
    // A summed-area table of covered pixels lets the search skip pixels with nothing in reach.
    std::vector<int> sat(std::size_t(w_ + 1) * (h_ + 1), 0);
    auto S = [&](int x, int y) -> int& { return sat[std::size_t(y) * (w_ + 1) + x]; };
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            S(x + 1, y + 1) = S(x, y + 1) + S(x + 1, y) - S(x, y) + (at(x, y) > 0 ? 1 : 0);
    auto anyIn = [&](int x0, int y0, int x1, int y1) {
        x0 = std::clamp(x0, 0, w_), x1 = std::clamp(x1, 0, w_);
        y0 = std::clamp(y0, 0, h_), y1 = std::clamp(y1, 0, h_);
        return S(x1, y1) - S(x0, y1) - S(x1, y0) + S(x0, y0) > 0;
    };
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            if (!anyIn(x - reach, y - reach, x + reach + 1, y + reach + 1)) continue;
            float best = 0;
            for (const Tap& t : taps) {
                const float v = at(x + t.dx, y + t.dy) * t.weight;
                if (v > best) best = v;
            }
            out.ref(x, y) = best;
        }
    return out;
}

Mask Mask::blurred(int r) const {
    if (r <= 0) return *this;
    Mask a = *this, b(w_, h_);
    const float inv = 1.0f / float(2 * r + 1);
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += a.at(x + k, y);
                b.ref(x, y) = s * inv;
            }
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += b.at(x, y + k);
                a.ref(x, y) = s * inv;
            }
    }
    return a;
}

Mask Mask::shifted(int dx, int dy) const {
    Mask out(w_, h_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) out.ref(x, y) = at(x - dx, y - dy);
    return out;
}

Mask Mask::minus(const Mask& b) const {
    Mask out(w_, h_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) out.ref(x, y) = at(x, y) * (1.0f - b.at(x, y));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Shapes

Sdf Circle(float cx, float cy, float r) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Box(float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](float x, float y) {
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Sdf Segment(float x0, float y0, float x1, float y1, float halfWidth) {
    return [=](float x, float y) {
        const float dx = x1 - x0, dy = y1 - y0;
        const float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - halfWidth;
    };
}

Sdf Ring(float cx, float cy, float r, float halfWidth) {
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - halfWidth; };
}

Sdf Polygon(std::vector<float> xy) {
    return [p = std::move(xy)](float x, float y) {
        const std::size_t n = p.size() / 2;
        float best = 1e30f;
        bool inside = false;
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const float xi = p[2 * i], yi = p[2 * i + 1], xj = p[2 * j], yj = p[2 * j + 1];
            const float ex = xj - xi, ey = yj - yi;
            const float len2 = ex * ex + ey * ey;
            float t = len2 > 0 ? ((x - xi) * ex + (y - yi) * ey) / len2 : 0.0f;
            t = std::clamp(t, 0.0f, 1.0f);
            best = std::min(best, std::hypot(x - (xi + t * ex), y - (yi + t * ey)));
            if ((yi > y) != (yj > y) && x < xi + (y - yi) / (yj - yi) * (xj - xi)) inside = !inside;
        }
        return inside ? -best : best;
    };
}

void FillMask(Mask& m, const Sdf& shape, int x0, int y0, int x1, int y1) {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, m.width()), y1 = std::min(y1, m.height());
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            m.add(x, y, std::clamp(0.5f - shape(x + 0.5f, y + 0.5f), 0.0f, 1.0f));
}

// ---------------------------------------------------------------------------------------------
// Canvas

void Canvas::blend(int x, int y, const Rgba& c, float coverage) {
    if (!inside(x, y)) return;
    const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (a <= 0) return;
    Rgba& d = at(x, y);
    const float outA = a + d.a * (1 - a);
    if (outA <= 0) return;
    const float keep = d.a * (1 - a);
    d.r = (c.r * a + d.r * keep) / outA;
    d.g = (c.g * a + d.g * keep) / outA;
    d.b = (c.b * a + d.b * keep) / outA;
    d.a = outA;
}

void Canvas::fill(const Rgba& c) {
    std::fill(px_.begin(), px_.end(), c);
}

void Canvas::shade(const std::function<Rgba(float, float)>& f) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) at(x, y) = f(x + 0.5f, y + 0.5f);
}

void Canvas::paint(const Mask& m, const Rgba& c, int ox, int oy) {
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x) {
            const float v = m.at(x, y);
            if (v > 0) blend(x + ox, y + oy, c, v);
        }
}

void Canvas::paint(const Mask& m, const std::function<Rgba(float, float)>& f, int ox, int oy) {
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x) {
            const float v = m.at(x, y);
            if (v > 0) blend(x + ox, y + oy, f(x + ox + 0.5f, y + oy + 0.5f), v);
        }
}

void Canvas::paint(const Sdf& shape, const Rgba& c, int x0, int y0, int x1, int y1) {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, w_), y1 = std::min(y1, h_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float cov = std::clamp(0.5f - shape(x + 0.5f, y + 0.5f), 0.0f, 1.0f);
            if (cov > 0) blend(x, y, c, cov);
        }
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, const Rgba& c) {
    for (int y = std::max(y0, 0); y < std::min(y1, h_); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, w_); ++x) blend(x, y, c);
}

void Canvas::draw(const Canvas& src, int ox, int oy) {
    for (int y = 0; y < src.h_; ++y)
        for (int x = 0; x < src.w_; ++x) blend(x + ox, y + oy, src.at(x, y));
}

Canvas Canvas::crop(int x, int y, int w, int h) const {
    Canvas out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (inside(x + i, y + j)) out.at(i, j) = at(x + i, y + j);
    return out;
}

void Canvas::bleedTransparent() {
    // Grow the visible colours outward ring by ring; what is still unreached after that takes
    // the average visible colour.
    std::vector<char> known(px_.size());
    double sr = 0, sg = 0, sb = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < px_.size(); ++i)
        if (px_[i].a > 0) {
            known[i] = 1;
            sr += px_[i].r, sg += px_[i].g, sb += px_[i].b, ++count;
        }
    if (count == 0) return;
    for (int ring = 0; ring < 8; ++ring) {
        std::vector<char> next = known;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                const std::size_t i = std::size_t(y) * w_ + x;
                if (known[i]) continue;
                float r = 0, g = 0, b = 0;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (!inside(x + dx, y + dy)) continue;
                        const std::size_t j = std::size_t(y + dy) * w_ + (x + dx);
                        if (!known[j]) continue;
                        r += px_[j].r, g += px_[j].g, b += px_[j].b, ++n;
                    }
                if (n) {
                    px_[i] = {r / n, g / n, b / n, 0.0f};
                    next[i] = 1;
                }
            }
        known.swap(next);
    }
    const Rgba avg{float(sr / count), float(sg / count), float(sb / count), 0.0f};
    for (std::size_t i = 0; i < px_.size(); ++i)
        if (!known[i]) px_[i] = avg;
}

void Canvas::avoidPureBlack() {
    const float lift = 1.0f / 255.0f;
    for (Rgba& p : px_)
        if (p.a > 0 && p.r < 0.5f / 255 && p.g < 0.5f / 255 && p.b < 0.5f / 255)
            p.r = p.g = p.b = lift;
}

void Canvas::save(const std::string& path) const {
    PixmapRef pm = CreatePixmap(w_, h_, PF_RGBA8888, 4);
    if (!pm) throw std::runtime_error("cannot make a pixmap for " + path);
    auto byte = [](float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
    for (int y = 0; y < h_; ++y) {
        std::uint8_t* row = pm->PixelPtr(0, y);
        for (int x = 0; x < w_; ++x) {
            const Rgba& p = at(x, y);
            row[4 * x + 0] = byte(p.r);
            row[4 * x + 1] = byte(p.g);
            row[4 * x + 2] = byte(p.b);
            row[4 * x + 3] = byte(p.a);
        }
    }
    if (!SavePixmapPNG(pm, path)) throw std::runtime_error("cannot write " + path);
}

// ---------------------------------------------------------------------------------------------
// Noise

float Hash2(int x, int y, std::uint32_t seed) {
    std::uint32_t h =
        std::uint32_t(x) * 0x8da6b343u ^ std::uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

float ValueNoise(float x, float y, float cell, std::uint32_t seed, int periodX) {
    const float fx = x / cell, fy = y / cell;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    const float tx = fx - ix, ty = fy - iy;
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    auto h = [&](int i, int j) {
        if (periodX > 0) i = ((i % periodX) + periodX) % periodX;
        return Hash2(i, j, seed);
    };
    const float a = h(ix, iy), b = h(ix + 1, iy), c = h(ix, iy + 1), d = h(ix + 1, iy + 1);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float Fbm(float x, float y, float cell, int octaves, std::uint32_t seed, int periodX) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * ValueNoise(x, y, cell, seed + std::uint32_t(o) * 101u, periodX);
        norm += amp;
        amp *= 0.5f;
        cell *= 0.5f;
        periodX *= 2;
    }
    return sum / norm;
}

} // namespace mediagen
