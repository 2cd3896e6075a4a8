#include "engine/octree.h"

#include "engine/mesh.h"
#include "engine/pick.h"
#include "engine/surface.h"
#include "platform/error.h"

#include <algorithm>
#include <unordered_set>

int TOctree::no_polys_mesh = 0;
int TOctree::no_polys_octree = 0;
int TOctree::no_polys_active = 0;
int TOctree::nodes_left = TOctree::kMaxNodes;

namespace {

// The number of distinct `tri` values among the non-null pieces, counting no further than limit.
int distinctTris(const PolygonList& list, int limit) {
    std::unordered_set<int> seen;
    for (const PolygonRef& p : list) {
        if (int(seen.size()) >= limit) break;
        if (p) seen.insert(p->tri);
    }
    return int(seen.size());
}

} // namespace

int TOctree::CreateOctree(const MeshRef& mesh, int max_polys, int max_levels) {
    if (!mesh) return 0;
    max_polys = std::max(max_polys, 0);
    max_levels = std::max(max_levels, 0);
    if (max_polys == 0 && max_levels == 0) {
        RuntimeError("Octree cannot be created - max_polys or max_levels must be greater than 0");
    }

    PolygonList polys = TPolygon::MeshToPolygons(mesh);
    const int no_polys = int(polys.size());

    auto root = std::make_shared<TOctree>();
    root->w = mesh->MeshWidth();
    root->h = mesh->MeshHeight();
    root->d = mesh->MeshDepth();
    root->x = mesh->min_x + root->w / 2.0f;
    root->y = mesh->min_y + root->h / 2.0f;
    root->z = mesh->min_z + root->d / 2.0f;
    mesh->octree = root;
    nodes_left = kMaxNodes - 1;
    root->Create(std::move(polys), max_polys, max_levels, 0);

    no_polys_mesh = no_polys;
    return 0;
}

int TOctree::TestTris(const PolygonList& list, int max_polys) const {
    if (max_polys <= 0) return 1;
    return distinctTris(list, max_polys) >= max_polys ? 1 : 0;
}

int TOctree::CountTris(const PolygonList& list, int limit) const {
    return distinctTris(list, std::max(limit, 0));
}

int TOctree::Create(PolygonList list, int max_polys, int max_levels, int level) {
    if (max_levels <= 0) max_levels = 100000;
    max_levels = std::min(max_levels, kMaxLevels);
    level += 1;

    if (TestTris(list, max_polys) != 1 || level > max_levels || nodes_left < 8) {
        no_polys_octree += int(list.size());
        polys = std::move(list);
        return 0;
    }

    nodes_left -= 8;
    const TVector centre{x, y, z};
    const TPlane px = TPlane::CreatePlane(centre, TVector{-1.0f, 0.0f, 0.0f});
    const TPlane py = TPlane::CreatePlane(centre, TVector{0.0f, -1.0f, 0.0f});
    const TPlane pz = TPlane::CreatePlane(centre, TVector{0.0f, 0.0f, -1.0f});

    // Each plane's front is its lower half: x first, then y within each x half, then z.
    PolygonList lx, hx;
    TPolygon::SplitPolygons(list, px, lx, hx);
    list.clear();
    PolygonList ll, lh, hl, hh;
    TPolygon::SplitPolygons(lx, py, ll, lh);
    TPolygon::SplitPolygons(hx, py, hl, hh);
    std::array<PolygonList, 8> parts;
    TPolygon::SplitPolygons(ll, pz, parts[0], parts[1]);
    TPolygon::SplitPolygons(lh, pz, parts[2], parts[3]);
    TPolygon::SplitPolygons(hl, pz, parts[4], parts[5]);
    TPolygon::SplitPolygons(hh, pz, parts[6], parts[7]);

    for (int i = 0; i < 8; ++i) {
        auto node = std::make_shared<TOctree>();
        node->w = w / 2.0f;
        node->h = h / 2.0f;
        node->d = d / 2.0f;
        node->x = x + ((i & 4) ? w : -w) / 4.0f;
        node->y = y + ((i & 2) ? h : -h) / 4.0f;
        node->z = z + ((i & 1) ? d : -d) / 4.0f;
        child[std::size_t(i)] = node;
        node->Create(std::move(parts[std::size_t(i)]), max_polys, max_levels, level);
    }
    return 0;
}

AABB TOctree::Box() const {
    AABB box;
    box.min[0] = x - w / 2.0f;
    box.min[1] = y - h / 2.0f;
    box.min[2] = z - d / 2.0f;
    box.max[0] = x + w / 2.0f;
    box.max[1] = y + h / 2.0f;
    box.max[2] = z + d / 2.0f;
    return box;
}

int TOctree::OctPick(const TVector& a, const TVector& b, const MeshRef& mesh, float& best_t,
                     float& box_t) const {
    const AABB box = Box();
    float tb = 0.0f;
    TVector entry;
    // Leaves are disjoint and their pieces clipped to them, so a box that the segment enters at
    // or after the entry into a leaf that gave a hit cannot hold a nearer one.
    if (!TPick::IntersectSegmentAABB(a, b, box.min[0], box.min[1], box.min[2], w, h, d, tb,
                                     entry) ||
        tb >= box_t) {
        return 0;
    }
    if (IsLeaf()) {
        if (TPick::PickPolys(a, b, polys, mesh, best_t)) box_t = tb;
        return 0;
    }
    for (const OctreeRef& c : child) {
        if (c) c->OctPick(a, b, mesh, best_t, box_t);
    }
    return 0;
}

int TOctree::OctCollision(const AABB& box,
                          const std::function<void(const PolygonList&)>& check) const {
    if (AABB::AABBAABBIntersection(box, Box()) == 0) return 0;
    if (IsLeaf()) {
        no_polys_active += int(polys.size());
        if (check) check(polys);
        return 0;
    }
    for (const OctreeRef& c : child) {
        if (c) c->OctCollision(box, check);
    }
    return 0;
}

int TOctree::HighlightTris() const {
    for (const PolygonRef& p : polys) {
        if (!p || !p->surf) continue;
        for (int corner = 0; corner < 3; ++corner) {
            p->surf->VertexColor(p->surf->TriangleVertex(p->tri, corner), 255.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    return 0;
}
