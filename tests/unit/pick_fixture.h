// Shared pieces of the picking and octree tests: a fresh scene with the pick results cleared,
// and meshes built from explicit triangles.
#pragma once

#include "engine/mesh.h"
#include "engine/pick.h"
#include "engine/surface.h"

#include "entity_fixture.h"

#include <array>
#include <vector>

// A triangle given by its three corners, in the order they are added.
using Tri = std::array<Vec3, 3>;

// A new surface of mesh holding the triangles, each over three vertices of its own.
inline SurfaceRef addTriangles(const MeshRef& mesh, const std::vector<Tri>& tris) {
    SurfaceRef s = mesh->CreateSurface(nullptr);
    for (const Tri& t : tris) {
        const int first = s->CountVertices();
        for (const Vec3& p : t) s->AddVertex(p[0], p[1], p[2], 0, 0, 0);
        s->AddTriangle(first, first + 1, first + 2);
    }
    return s;
}

// A triangle in the plane z = z0 around (x, y) that faces -z (toward a viewer looking along
// +z): corners (x - 1, y - 1), (x - 1, y + 1), (x + 1, y - 1).
inline Tri facingTri(float x, float y, float z0) {
    return Tri{Vec3{x - 1, y - 1, z0}, Vec3{x - 1, y + 1, z0}, Vec3{x + 1, y - 1, z0}};
}

// SceneTest with the pick results reset before each test and put back after it.
class PickTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        TPick::picked_x = TPick::picked_y = TPick::picked_z = 0.0f;
        TPick::picked_nx = TPick::picked_ny = TPick::picked_nz = 0.0f;
        TPick::picked_time = 0.0f;
        TPick::picked_ent.reset();
        TPick::picked_surface = nullptr;
        TPick::picked_triangle = 0;
    }
    void TearDown() override {
        TPick::picked_ent.reset();
        TPick::picked_surface = nullptr;
        SceneTest::TearDown();
    }
};
