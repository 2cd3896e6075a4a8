// examplemedia: writes the files the example programs load, from code.
//
//   examplemedia <outdir>
//
// character.b3d  a small skinned figure of twelve boxes (body, head, hair, eyes, arms, hands,
//                legs, shoes; 144 triangles) coloured per vertex, each box moved wholly by one
//                of five bones (hips, two legs, two arms), and 80 frames of animation: a walk
//                cycle in frames 0..40 and an idle sway in frames 41..80
// glow.png       a soft round glow, white to warm yellow, its alpha falling to the edge
// leaves.png     a round clump of leaves in greens, fully transparent outside it
//
// The model is written with the B3D writer the loader tests use. Two runs write the same bytes.
#include "platform/pixmap.h"
#include "tests/unit/b3d_writer.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Vec = std::array<float, 3>;
using Colour = std::array<float, 3>;

constexpr int kWalkLast = 40; // the walk cycle: frames 0..40 (40 equals 0)
constexpr int kIdleFirst = 41;
constexpr int kIdleLast = 80; // the idle sway: frames 41..80 (80 equals 41)

// The bones, in the order their nodes are written; each part of the body hangs on one of them.
enum Bone { kHips, kLegLeft, kLegRight, kArmLeft, kArmRight, kBoneCount };

// Where each bone's joint sits in the model (y up, the figure facing -z), and its name.
constexpr Vec kJoint[kBoneCount] = {{0.0f, 0.9f, 0.0f},
                                    {-0.14f, 0.9f, 0.0f},
                                    {0.14f, 0.9f, 0.0f},
                                    {-0.38f, 1.45f, 0.0f},
                                    {0.38f, 1.45f, 0.0f}};
const char* const kBoneName[kBoneCount] = {"hips", "leg_left", "leg_right", "arm_left",
                                           "arm_right"};

// The figure's vertices (position, normal, colour) and triangles, and which bone moves each
// vertex.
struct Figure {
    std::vector<std::vector<float>> verts;
    std::vector<std::vector<int>> tris;
    std::vector<std::pair<int, float>> weights[kBoneCount];

    // An axis-aligned box from corner lo to corner hi, four vertices a face so that each face
    // has its own normal. The colour at the top of the box is top, at the bottom bottom.
    void Box(Bone bone, Vec lo, Vec hi, Colour top, Colour bottom) {
        for (int axis = 0; axis < 3; ++axis) {
            for (int side = 0; side < 2; ++side) {
                Vec n{0, 0, 0};
                n[axis] = side ? 1.0f : -1.0f;
                const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                const int first = int(verts.size());
                for (int corner = 0; corner < 4; ++corner) {
                    Vec p{};
                    p[axis] = side ? hi[axis] : lo[axis];
                    p[u] = (corner == 1 || corner == 2) ? hi[u] : lo[u];
                    p[v] = (corner >= 2) ? hi[v] : lo[v];
                    const float t = hi[1] > lo[1] ? (p[1] - lo[1]) / (hi[1] - lo[1]) : 1.0f;
                    std::vector<float> vert{p[0], p[1], p[2], n[0], n[1], n[2]};
                    for (int c = 0; c < 3; ++c)
                        vert.push_back(bottom[c] + (top[c] - bottom[c]) * t);
                    vert.push_back(1.0f); // alpha
                    verts.push_back(vert);
                    weights[bone].push_back({first + corner, 1.0f});
                }
                // The engine draws triangles whose corners turn clockwise seen from outside:
                // their edge cross product points along the outward normal.
                if (outward(first, n)) {
                    tris.push_back({first, first + 1, first + 2});
                    tris.push_back({first, first + 2, first + 3});
                } else {
                    tris.push_back({first, first + 2, first + 1});
                    tris.push_back({first, first + 3, first + 2});
                }
            }
        }
    }

  private:
    bool outward(int first, const Vec& n) const {
        const auto& a = verts[std::size_t(first)];
        const auto& b = verts[std::size_t(first) + 1];
        const auto& c = verts[std::size_t(first) + 2];
        const Vec e1{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const Vec e2{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const Vec x{e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                    e1[0] * e2[1] - e1[1] * e2[0]};
        return x[0] * n[0] + x[1] * n[1] + x[2] * n[2] > 0.0f;
    }
};

Figure figure() {
    const Colour shirt{0.2f, 0.45f, 0.85f}, shirt_low{0.12f, 0.3f, 0.65f};
    const Colour skin{0.95f, 0.75f, 0.6f}, trousers{0.3f, 0.25f, 0.2f};
    const Colour shoes{0.12f, 0.1f, 0.1f}, hair{0.35f, 0.2f, 0.1f}, eyes{0.05f, 0.05f, 0.1f};
    Figure f;
    f.Box(kHips, {-0.3f, 0.88f, -0.15f}, {0.3f, 1.5f, 0.15f}, shirt, shirt_low);
    f.Box(kHips, {-0.15f, 1.5f, -0.15f}, {0.15f, 1.82f, 0.15f}, skin, skin);
    f.Box(kHips, {-0.16f, 1.78f, -0.16f}, {0.16f, 1.88f, 0.16f}, hair, hair);
    f.Box(kHips, {-0.1f, 1.66f, -0.16f}, {-0.04f, 1.72f, -0.15f}, eyes, eyes);
    f.Box(kHips, {0.04f, 1.66f, -0.16f}, {0.1f, 1.72f, -0.15f}, eyes, eyes);
    for (int side = 0; side < 2; ++side) {
        const float s = side ? 1.0f : -1.0f;
        const float x0 = std::fmin(s * 0.04f, s * 0.25f), x1 = std::fmax(s * 0.04f, s * 0.25f);
        const Bone leg = side ? kLegRight : kLegLeft;
        f.Box(leg, {x0, 0.1f, -0.12f}, {x1, 0.9f, 0.12f}, trousers, trousers);
        f.Box(leg, {x0, 0.0f, -0.2f}, {x1, 0.1f, 0.13f}, shoes, shoes);
        const float a0 = std::fmin(s * 0.31f, s * 0.45f), a1 = std::fmax(s * 0.31f, s * 0.45f);
        const Bone arm = side ? kArmRight : kArmLeft;
        f.Box(arm, {a0, 0.95f, -0.07f}, {a1, 1.5f, 0.07f}, shirt, shirt_low);
        f.Box(arm, {a0, 0.8f, -0.06f}, {a1, 0.95f, 0.06f}, skin, skin);
    }
    return f;
}

// A key at frame: the joint at position p (relative to the parent bone) turned by degrees
// about the x axis (positive swings the part below the joint forward, towards -z).
B3DKey key(int frame, const Vec& p, float degrees) {
    B3DKey k;
    k.frame = frame;
    for (int i = 0; i < 3; ++i) k.p[i] = p[i];
    const double half = degrees * M_PI / 360.0;
    k.q[0] = float(std::cos(half));
    k.q[1] = float(std::sin(half));
    return k;
}

// The bone's keys for both sequences: every second frame of the walk (legs and arms swinging
// in opposite phase, the hips rising as the legs pass each other) and of the idle sway.
std::vector<B3DKey> keys(int bone, const Vec& rest) {
    std::vector<B3DKey> out;
    for (int frame = 0; frame <= kWalkLast; frame += 2) {
        const double phase = 2.0 * M_PI * frame / kWalkLast;
        const float swing = float(std::sin(phase));
        Vec p = rest;
        float degrees = 0.0f;
        switch (bone) {
        case kHips:
            p[1] += 0.04f * float(std::fabs(std::cos(phase)));
            break;
        case kLegLeft:
            degrees = 32.0f * swing;
            break;
        case kLegRight:
            degrees = -32.0f * swing;
            break;
        case kArmLeft:
            degrees = -28.0f * swing;
            break;
        case kArmRight:
            degrees = 28.0f * swing;
            break;
        default:
            break;
        }
        out.push_back(key(frame, p, degrees));
    }
    for (int frame = kIdleFirst; frame <= kIdleLast; frame += 2) {
        const double phase = 2.0 * M_PI * (frame - kIdleFirst) / (kIdleLast - kIdleFirst);
        const float sway = float(std::sin(phase));
        Vec p = rest;
        float degrees = 0.0f;
        if (bone == kHips) p[1] -= 0.02f * float(1.0 - std::cos(phase));
        if (bone == kArmLeft || bone == kArmRight) degrees = 6.0f * sway;
        out.push_back(key(frame, p, degrees));
    }
    return out;
}

std::vector<std::uint8_t> characterModel() {
    const Figure f = figure();
    B3DBrush brush;
    brush.name = "body";
    brush.fx = 2; // the vertex colours feed the material
    B3DWriter w;
    w.Header().Brus(0, {brush});
    w.Node("character").Mesh(0).Vrts(1 | 2, 0, 0, f.verts).Tris(0, f.tris).End();
    w.Anim(kIdleLast);
    // The hips under the mesh; the limbs under the hips, placed relative to them.
    w.Node(kBoneName[kHips], {kJoint[kHips][0], kJoint[kHips][1], kJoint[kHips][2]});
    w.Bone(f.weights[kHips]).Keys(1 | 4, keys(kHips, kJoint[kHips]));
    for (int b = kLegLeft; b < kBoneCount; ++b) {
        const Vec rel{kJoint[b][0] - kJoint[kHips][0], kJoint[b][1] - kJoint[kHips][1],
                      kJoint[b][2] - kJoint[kHips][2]};
        w.Node(kBoneName[b], {rel[0], rel[1], rel[2]});
        w.Bone(f.weights[b]).Keys(1 | 4, keys(b, rel)).End();
    }
    return w.Finish();
}

std::uint32_t argb(double a, double r, double g, double b) {
    auto byte = [](double v) {
        return std::uint32_t(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 255.0));
    };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

PixmapRef glow() {
    PixmapRef p = CreatePixmap(64, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5) / 32.0;
            const double a = d >= 1.0 ? 0.0 : (1.0 - d) * (1.0 - d);
            p->WritePixel(x, y, argb(a, 1.0, 1.0 - 0.2 * d, 1.0 - 0.7 * d));
        }
    return p;
}

// A clump of leaves: small overlapping discs inside a circle, each a shade of green, their
// placement from a fixed sequence so every run draws the same clump.
PixmapRef leaves() {
    PixmapRef p = CreatePixmap(128, 128, PF_RGBA8888);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) p->WritePixel(x, y, 0);
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24);
    };
    for (int leaf = 0; leaf < 260; ++leaf) {
        const double angle = next() * 2.0 * M_PI, dist = std::sqrt(next()) * 50.0;
        const double cx = 64.0 + std::cos(angle) * dist, cy = 64.0 + std::sin(angle) * dist;
        const double radius = 5.0 + next() * 5.0, shade = 0.5 + next() * 0.5;
        // Lighter towards the top left, where the light comes from.
        const double lit = 1.0 - 0.35 * ((cx + cy) / 256.0);
        const std::uint32_t colour =
            argb(1.0, 0.15 * shade * lit, 0.55 * shade * lit, 0.12 * shade);
        for (int y = int(cy - radius); y <= int(cy + radius); ++y)
            for (int x = int(cx - radius); x <= int(cx + radius); ++x)
                if (x >= 0 && y >= 0 && x < 128 && y < 128 && std::hypot(x - cx, y - cy) <= radius)
                    p->WritePixel(x, y, colour);
    }
    return p;
}

bool writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: examplemedia <outdir>\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    bool ok = !ec;
    ok = ok && writeBytes(dir / "character.b3d", characterModel());
    ok = ok && SavePixmapPNG(glow(), (dir / "glow.png").string());
    ok = ok && SavePixmapPNG(leaves(), (dir / "leaves.png").string());
    if (!ok) {
        std::fprintf(stderr, "examplemedia: cannot write the files into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
