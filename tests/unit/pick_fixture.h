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

// SceneTest: the engine reset clears the pick results before and after each test.
class PickTest : public SceneTest {};
