// Drawing surfaces of the media generator: a float RGBA canvas with straight (not premultiplied)
// alpha, a float coverage mask, and the few primitives the pictures are made of.
//
// Everything here is plain arithmetic on floats in a fixed order, so a picture comes out the
// same, bit for bit, on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mediagen {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

// A colour from 0-255 components.
inline Rgba Col(int r, int g, int b, float a = 1.0f) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}
Rgba Mix(const Rgba& x, const Rgba& y, float t);

// A coverage mask: one float per pixel, 0 (empty) to 1 (full).
class Mask {
  public:
    Mask() = default;
    Mask(int w, int h) : w_(w), h_(h), v_(std::size_t(w) * h, 0.0f) {}
    int width() const { return w_; }
    int height() const { return h_; }
    float at(int x, int y) const {
        return (x < 0 || y < 0 || x >= w_ || y >= h_) ? 0.0f : v_[std::size_t(y) * w_ + x];
    }
    float& ref(int x, int y) { return v_[std::size_t(y) * w_ + x]; }
    // Raises the pixel to at least c (union of shapes).
    void add(int x, int y, float c);

    // A disc of radius r around every covered pixel (the outline of a shape): the largest
    // coverage within reach, smoothed over the last pixel.
    Mask dilated(float r) const;
    // Three box blurs of the given radius (close to a Gaussian).
    Mask blurred(int r) const;
    // The mask moved by whole pixels.
    Mask shifted(int dx, int dy) const;
    // Pixelwise a x (1 - b): what a covers and b does not.
    Mask minus(const Mask& b) const;

  private:
    int w_ = 0, h_ = 0;
    std::vector<float> v_;
};

// Signed distance of a point to a shape: negative inside, positive outside, in pixels.
using Sdf = std::function<float(float x, float y)>;

Sdf Circle(float cx, float cy, float r);
Sdf Box(float x0, float y0, float x1, float y1, float radius = 0);
Sdf Segment(float x0, float y0, float x1, float y1, float halfWidth);
Sdf Ring(float cx, float cy, float r, float halfWidth);
// A convex or concave polygon (even-odd fill).
Sdf Polygon(std::vector<float> xy);

// Fills the mask with the anti-aliased coverage of a shape within the box (x0, y0)-(x1, y1).
void FillMask(Mask& m, const Sdf& shape, int x0, int y0, int x1, int y1);

class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), px_(std::size_t(w) * h) {}
    int width() const { return w_; }
    int height() const { return h_; }
    Rgba& at(int x, int y) { return px_[std::size_t(y) * w_ + x]; }
    const Rgba& at(int x, int y) const { return px_[std::size_t(y) * w_ + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }

    // Paints c over the pixel with the given coverage ("over" compositing, straight alpha).
    void blend(int x, int y, const Rgba& c, float coverage = 1.0f);
    // Sets the pixel, replacing what was there.
    void set(int x, int y, const Rgba& c) {
        if (inside(x, y)) at(x, y) = c;
    }
    void fill(const Rgba& c);
    // Every pixel from a function of its centre.
    void shade(const std::function<Rgba(float x, float y)>& f);
    // Paints a colour (or a colour function of the pixel centre) through a mask placed at
    // (ox, oy).
    void paint(const Mask& m, const Rgba& c, int ox = 0, int oy = 0);
    void paint(const Mask& m, const std::function<Rgba(float x, float y)>& f, int ox = 0,
               int oy = 0);
    // Paints an anti-aliased shape in one colour.
    void paint(const Sdf& shape, const Rgba& c, int x0, int y0, int x1, int y1);
    void fillRect(int x0, int y0, int x1, int y1, const Rgba& c); // x1, y1 exclusive
    // Another canvas drawn over this one with its top-left corner at (ox, oy).
    void draw(const Canvas& src, int ox, int oy);
    // The rectangle (x, y, w, h) as a new canvas.
    Canvas crop(int x, int y, int w, int h) const;

    // Gives fully transparent pixels the colour of the nearest visible pixel (searched over a
    // few growing rings, then the average visible colour), so that filtering at the edge of a
    // shape never blends toward an unrelated colour.
    void bleedTransparent();
    // Replaces pure black in visible pixels with the darkest non-black grey, because the 2D
    // layer's masked loading turns pure black transparent.
    void avoidPureBlack();

    // Writes an 8-bit RGBA PNG through the platform's writer; throws on failure.
    void save(const std::string& path) const;

  private:
    int w_, h_;
    std::vector<Rgba> px_;
};

// Deterministic pseudo-random numbers (xorshift32), and smooth value noise built on a hash.
class Rng {
  public:
    explicit Rng(std::uint32_t seed) : s_(seed ? seed : 0x9e3779b9u) {}
    std::uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    // Uniform in [0, 1).
    float uniform() { return float(next() >> 8) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return int(next() % std::uint32_t(n)); }

  private:
    std::uint32_t s_;
};

// Hash of integer lattice coordinates to [0, 1).
float Hash2(int x, int y, std::uint32_t seed);
// Value noise in [0, 1), smooth between lattice points spaced `cell` pixels apart; with
// periodX > 0 it repeats every periodX lattice cells across x.
float ValueNoise(float x, float y, float cell, std::uint32_t seed, int periodX = 0);
// A few octaves of value noise, in [0, 1).
float Fbm(float x, float y, float cell, int octaves, std::uint32_t seed, int periodX = 0);

} // namespace mediagen
