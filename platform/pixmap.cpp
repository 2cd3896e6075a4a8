// Pixmaps: pixel formats, conversions and resampling. The image file decoders are in
// pixmap_formats.cpp and the files it names.
#include "platform/pixmap.h"

#include "platform/pixmap_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using imagefile::sizeAllowed;

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
