// Cube-map faces and the texels a mesh reads of them (GetCubeFace, CubeMapTexelsRead), without a
// display: the cube map is a texture object made by hand. The expected texels come from the
// faces' turns, not from the engine's face table: a direction reads the texel at which a camera
// turned as GetCubeFace says sees it (columns to the camera's right, rows upward), which is what
// the face renders hold.
#include "engine/brush.h"
#include "engine/commands.h"
#include "engine/texture.h"
#include "entity_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

constexpr int kSize = 64;
using Dir = std::array<double, 3>;

struct Texel {
    int face, x, y;
};

// The texel of face `face` that the world direction reads, through a pivot turned as the face
// says; nothing when the direction is not inside the face's quarter of the view.
std::optional<Texel> TexelOnFace(int face, const Dir& d) {
    const CubeFace f = GetCubeFace(face);
    PivotRef turned = CreatePivot(nullptr);
    RotateEntity(turned, f.pitch, f.yaw, f.roll, 0);
    TFormVector(float(d[0]), float(d[1]), float(d[2]), nullptr, turned);
    const double x = TFormedX(), y = TFormedY(), z = TFormedZ();
    FreeEntity(turned);
    if (!(z > 0) || std::fabs(x) >= z || std::fabs(y) >= z) return std::nullopt;
    return Texel{face, int(std::floor((x / z + 1) / 2 * kSize)),
                 int(std::floor((y / z + 1) / 2 * kSize))};
}

std::optional<Texel> TexelOf(const Dir& d) {
    for (int face = 0; face < 6; ++face)
        if (auto t = TexelOnFace(face, d)) return t;
    return std::nullopt;
}

bool Holds(const CubeFaceTexels& r, int x, int y) {
    return r.x0 <= x && x <= r.x1 && r.y0 <= y && y <= r.y1;
}
bool Empty(const CubeFaceTexels& r) {
    return r.x0 > r.x1 || r.y0 > r.y1;
}
long Area(const CubeFaceTexels& r) {
    return Empty(r) ? 0 : long(r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1);
}

class CubeMapTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        cube = std::make_shared<TTexture>();
        cube->cube_map = true;
        cube->width = cube->height = kSize;
        cube->cube_mode = 2;
        brush = CreateBrush(255, 255, 255);
        BrushTexture(brush, cube, 0);
        camera = CreateCamera(nullptr);
    }

    // A mesh of one triangle near the origin carrying the cube map, with the three normals
    // given (in the mesh's own space).
    MeshRef Triangle(const std::array<Dir, 3>& normals) {
        MeshRef m = CreateMesh(nullptr);
        SurfaceRef s = CreateSurface(m, nullptr);
        const float corner[3][3] = {{0, 0, 0}, {0, 0.1f, 0}, {0.1f, 0, 0}};
        for (int i = 0; i < 3; ++i) {
            AddVertex(s, corner[i][0], corner[i][1], corner[i][2], 0, 0, 0);
            VertexNormal(s, i, float(normals[std::size_t(i)][0]), float(normals[std::size_t(i)][1]),
                         float(normals[std::size_t(i)][2]));
        }
        AddTriangle(s, 0, 1, 2);
        PaintEntity(m, brush);
        EntityFX(m, NOCULLFX);
        return m;
    }

    TextureRef cube;
    BrushRef brush;
    CameraRef camera;
};

TEST_F(CubeMapTest, EachFaceLiesAlongAnAxisAndItsTurnPointsThere) {
    const float axis[6][3] = {{-1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}};
    PivotRef p = CreatePivot(nullptr);
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        const CubeFace f = GetCubeFace(face);
        EXPECT_EQ(f.x, axis[face][0]);
        EXPECT_EQ(f.y, axis[face][1]);
        EXPECT_EQ(f.z, axis[face][2]);
        RotateEntity(p, f.pitch, f.yaw, f.roll, 0);
        TFormVector(0, 0, 1, p, nullptr);
        EXPECT_NEAR(TFormedX(), f.x, 1e-6);
        EXPECT_NEAR(TFormedY(), f.y, 1e-6);
        EXPECT_NEAR(TFormedZ(), f.z, 1e-6);
    }
    for (int outside : {-1, 6, 1000}) {
        const CubeFace f = GetCubeFace(outside);
        EXPECT_EQ(f.x * f.x + f.y * f.y + f.z * f.z + f.pitch * f.pitch + f.yaw * f.yaw +
                      f.roll * f.roll,
                  0.0f);
    }
}

TEST_F(CubeMapTest, ANormalMapReadsTheTexelTheFaceCameraSeesInThatDirection) {
    // Normals all one way: the face's rectangle is the texel a face camera sees the direction
    // at, with one texel of margin on every side. Directions spread over every face, near
    // its middle and near its corners, the mesh unturned and turned.
    const double spots[] = {-0.93, -0.4, 0.05, 0.71};
    for (const bool turnMesh : {false, true})
        for (int face = 0; face < 6; ++face)
            for (double a : spots)
                for (double b : spots) {
                    // The direction (a, b, 1) in the face camera's space, in the world.
                    const CubeFace f = GetCubeFace(face);
                    PivotRef turned = CreatePivot(nullptr);
                    RotateEntity(turned, f.pitch, f.yaw, f.roll, 0);
                    TFormVector(float(a), float(b), 1, turned, nullptr);
                    const Dir world{TFormedX(), TFormedY(), TFormedZ()};
                    const std::optional<Texel> want = TexelOnFace(face, world);
                    ASSERT_TRUE(want.has_value());
                    // The normal in the mesh's own space that its matrix carries to `world`.
                    MeshRef m = Triangle({Dir{}, Dir{}, Dir{}});
                    if (turnMesh) RotateEntity(m, 30, -70, 15, 0);
                    TFormVector(float(world[0]), float(world[1]), float(world[2]), nullptr, m);
                    const Dir own{TFormedX(), TFormedY(), TFormedZ()};
                    SurfaceRef s = GetSurface(m, 1);
                    for (int v = 0; v < 3; ++v)
                        VertexNormal(s, v, float(own[0]), float(own[1]), float(own[2]));

                    const auto got = CubeMapTexelsRead(cube, m, camera);
                    for (int g = 0; g < 6; ++g) {
                        SCOPED_TRACE(testing::Message() << "face " << face << " (" << a << ", " << b
                                                        << ") turned " << turnMesh);
                        const CubeFaceTexels& r = got[std::size_t(g)];
                        if (g != face) {
                            EXPECT_TRUE(Empty(r)) << "read on face " << g;
                            continue;
                        }
                        EXPECT_EQ(r.x0, std::max(want->x - 1, 0));
                        EXPECT_EQ(r.x1, std::min(want->x + 1, kSize - 1));
                        EXPECT_EQ(r.y0, std::max(want->y - 1, 0));
                        EXPECT_EQ(r.y1, std::min(want->y + 1, kSize - 1));
                    }
                    FreeEntity(m);
                    FreeEntity(turned);
                }
}

TEST_F(CubeMapTest, EveryDirectionBetweenATrianglesNormalsIsInsideItsFacesRectangle) {
    // Triangles whose normals straddle edges and corners of the cube, under a matrix that
    // scales unevenly and mirrors: normals follow the inverse transpose, as GL carries them.
    // Every direction a point inside reads (a weighted mean of the corners' coordinates) must
    // lie inside the rectangle of the face it falls on.
    const std::array<std::array<Dir, 3>, 5> normals = {{
        {Dir{1, 0.2, 0.9}, Dir{0.8, -0.3, 1.2}, Dir{1.1, 0.1, 1.05}}, // across the +x/+z edge
        {Dir{1, 1, 1}, Dir{1, 1.2, 0.8}, Dir{0.9, 0.8, 1.1}},         // round a corner
        {Dir{0, 1, 0.1}, Dir{0.1, 1, -0.1}, Dir{-0.1, 1, 0}},         // the middle of a face
        {Dir{1, 0, 0}, Dir{0, 1, 0}, Dir{0, 0, 1}},                   // an eighth of the sphere
        {Dir{-1, 0.5, -0.2}, Dir{-0.2, -1, -0.6}, Dir{-0.6, 0.1, -1}},
    }};
    for (const bool scaled : {false, true})
        for (std::size_t i = 0; i < normals.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "triangle " << i << " scaled " << scaled);
            MeshRef m = Triangle(normals[i]);
            RotateEntity(m, 20, 35, -10, 0);
            if (scaled) ScaleEntity(m, 3, 0.5f, -2, 0);
            const auto got = CubeMapTexelsRead(cube, m, camera);
            // Each corner's world normal is perpendicular to two of the surface's tangents
            // carried by the matrix, on the side of the carried normal.
            std::array<Dir, 3> world{};
            for (std::size_t c = 0; c < 3; ++c) {
                const Dir& n = normals[i][c];
                const Dir t1 = std::fabs(n[0]) < 0.9 ? Dir{0, -n[2], n[1]} : Dir{-n[1], n[0], 0};
                const Dir t2{n[1] * t1[2] - n[2] * t1[1], n[2] * t1[0] - n[0] * t1[2],
                             n[0] * t1[1] - n[1] * t1[0]};
                const auto carry = [&](const Dir& v) {
                    TFormVector(float(v[0]), float(v[1]), float(v[2]), m, nullptr);
                    return Dir{TFormedX(), TFormedY(), TFormedZ()};
                };
                const Dir a = carry(t1), b = carry(t2), k = carry(n);
                Dir w{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                      a[0] * b[1] - a[1] * b[0]};
                const double len = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
                const double side = w[0] * k[0] + w[1] * k[1] + w[2] * k[2] < 0 ? -1 : 1;
                world[c] = {side * w[0] / len, side * w[1] / len, side * w[2] / len};
            }
            int inside = 0;
            for (int u = 0; u <= 40; ++u)
                for (int v = 0; u + v <= 40; ++v) {
                    const double wa = u / 40.0, wb = v / 40.0, wc = 1 - wa - wb;
                    const Dir d{wa * world[0][0] + wb * world[1][0] + wc * world[2][0],
                                wa * world[0][1] + wb * world[1][1] + wc * world[2][1],
                                wa * world[0][2] + wb * world[1][2] + wc * world[2][2]};
                    const std::optional<Texel> t = TexelOf(d);
                    if (!t) continue; // on an edge, within rounding
                    ++inside;
                    EXPECT_TRUE(Holds(got[std::size_t(t->face)], t->x, t->y))
                        << "face " << t->face << " texel " << t->x << ", " << t->y;
                }
            EXPECT_GT(inside, 800);
            FreeEntity(m);
        }
}

TEST_F(CubeMapTest, AReflectionMapReadsWhatTheMirrorReflectsFromTheCamera) {
    // A small mirror straight ahead of the camera, facing it, reflects the view back toward
    // the camera: the face behind the camera, near its middle, and nothing else.
    MeshRef mirror = CreateCube(nullptr);
    PaintEntity(mirror, brush);
    ScaleEntity(mirror, 0.5f, 0.5f, 0.5f, 0);
    PositionEntity(mirror, 0, 0, 20, 0);
    cube->cube_mode = 1;
    const auto got = CubeMapTexelsRead(cube, mirror, camera);
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        if (face != 3) {
            EXPECT_TRUE(Empty(got[std::size_t(face)]));
            continue;
        }
        // Behind the camera, the reflected rays spread as far as the mirror's edges seen from
        // twice its distance: within a texel or two of the middle.
        const CubeFaceTexels& r = got[3];
        EXPECT_TRUE(Holds(r, kSize / 2, kSize / 2));
        EXPECT_LE(r.x1 - r.x0, 4);
        EXPECT_LE(r.y1 - r.y0, 4);
    }
    // Moved aside, the mirror reflects the camera's rays off to the other side: the middle of
    // the face behind is no longer read, and the texel the reflected centre ray reads is.
    PositionEntity(mirror, 6, 0, 20, 0);
    const auto aside = CubeMapTexelsRead(cube, mirror, camera);
    EXPECT_FALSE(Holds(aside[3], kSize / 2, kSize / 2));
    const Dir ray{6, 0, 20 - 0.5}; // to the middle of the mirror's face toward the camera
    const std::optional<Texel> want = TexelOf({ray[0], ray[1], -ray[2]});
    ASSERT_TRUE(want.has_value());
    EXPECT_TRUE(Holds(aside[std::size_t(want->face)], want->x, want->y));
}

TEST_F(CubeMapTest, CulledTrianglesReadNothingAndTwoSidedOnesReadTheirNormals) {
    // A cube seen from in front: with back faces culled its normal map reads only the face
    // toward the camera (normals -z); drawn from both sides, all six faces' normals.
    MeshRef box = CreateCube(nullptr);
    PaintEntity(box, brush);
    PositionEntity(box, 0, 0, 10, 0);
    const auto culled = CubeMapTexelsRead(cube, box, camera);
    for (int face = 0; face < 6; ++face)
        EXPECT_EQ(Empty(culled[std::size_t(face)]), face != 3) << face;
    EXPECT_TRUE(Holds(culled[3], kSize / 2, kSize / 2));
    EntityFX(box, NOCULLFX);
    const auto both = CubeMapTexelsRead(cube, box, camera);
    for (int face = 0; face < 6; ++face) {
        EXPECT_TRUE(Holds(both[std::size_t(face)], kSize / 2, kSize / 2)) << face;
        EXPECT_LE(Area(both[std::size_t(face)]), 16) << face;
    }
    // The culling flag on the surface's brush counts as well; a hidden mesh reads the same.
    EntityFX(box, 0);
    BrushRef twoSided = CreateBrush(255, 255, 255);
    BrushFX(twoSided, NOCULLFX);
    PaintSurface(GetSurface(box, 1), twoSided);
    HideEntity(box);
    const auto surfaceFlag = CubeMapTexelsRead(cube, box, camera);
    for (int face = 0; face < 6; ++face)
        EXPECT_FALSE(Empty(surfaceFlag[std::size_t(face)])) << face;
}

TEST_F(CubeMapTest, ATurnedTextureIsReadWhereItsMatrixPutsTheCoordinates) {
    // RotateTexture turns (s, t) before the face is chosen: a quarter turn carries coordinates
    // (s, t, r) to (-t, s, r). The world direction (x, y, z) has coordinates (x, -y, z), so
    // the normal (0.2, -0.1, 1), coordinates (0.2, 0.1, 1), is read at the coordinates
    // (-0.1, 0.2, 1): where the world direction (-0.1, -0.2, 1) is read unturned.
    MeshRef m = Triangle({Dir{0.2, -0.1, 1}, Dir{0.2, -0.1, 1}, Dir{0.2, -0.1, 1}});
    RotateTexture(cube, 90);
    const auto got = CubeMapTexelsRead(cube, m, camera);
    const std::optional<Texel> want = TexelOf({-0.1, -0.2, 1});
    ASSERT_TRUE(want.has_value());
    EXPECT_TRUE(Holds(got[std::size_t(want->face)], want->x, want->y));
    EXPECT_LE(Area(got[std::size_t(want->face)]), 9);
}

TEST_F(CubeMapTest, WhatCannotBeBoundedReadsWholeFacesAndWhatReadsNothingIsEmpty) {
    MeshRef m = Triangle({Dir{0, 0, 1}, Dir{0, 0, 1}, Dir{0, 0, 1}});
    const auto whole = [](const std::array<CubeFaceTexels, 6>& faces) {
        for (const CubeFaceTexels& r : faces)
            if (r.x0 != 0 || r.y0 != 0 || r.x1 != kSize - 1 || r.y1 != kSize - 1) return false;
        return true;
    };
    const auto none = [](const std::array<CubeFaceTexels, 6>& faces) {
        for (const CubeFaceTexels& r : faces)
            if (!Empty(r)) return false;
        return true;
    };
    EXPECT_FALSE(none(CubeMapTexelsRead(cube, m, camera)));
    // A cube mode that keeps the generation of the surface drawn before.
    SetCubeMode(cube, 3);
    EXPECT_TRUE(whole(CubeMapTexelsRead(cube, m, camera)));
    SetCubeMode(cube, 2);
    // A mesh scaled flat has no normals GL could carry.
    ScaleEntity(m, 1, 0, 1, 0);
    EXPECT_TRUE(whole(CubeMapTexelsRead(cube, m, camera)));
    ScaleEntity(m, 1, 1, 1, 0);
    // A sprite turns to the camera.
    SpriteRef sprite = CreateSprite(nullptr);
    PaintEntity(sprite, brush);
    EXPECT_TRUE(whole(CubeMapTexelsRead(cube, sprite, camera)));

    EXPECT_TRUE(none(CubeMapTexelsRead(nullptr, m, camera)));
    EXPECT_TRUE(none(CubeMapTexelsRead(cube, nullptr, camera)));
    EXPECT_TRUE(none(CubeMapTexelsRead(cube, m, nullptr)));
    // A mesh that does not carry the texture, and a texture that is not a cube map.
    MeshRef plain = Triangle({Dir{0, 0, 1}, Dir{0, 0, 1}, Dir{0, 0, 1}});
    PaintEntity(plain, CreateBrush(255, 255, 255));
    EXPECT_TRUE(none(CubeMapTexelsRead(cube, plain, camera)));
    cube->cube_map = false;
    EXPECT_TRUE(none(CubeMapTexelsRead(cube, m, camera)));
    cube->cube_map = true;
    FreeEntity(m);
    EXPECT_TRUE(none(CubeMapTexelsRead(cube, m, camera)));
}

} // namespace
