#include "engine/octree.h"

#include "engine/mesh.h"
#include "engine/pick.h"
#include "engine/surface.h"
#include "platform/error.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>
#include <unordered_set>

int TOctree::no_polys_mesh = 0;
int TOctree::no_polys_octree = 0;
int TOctree::no_polys_active = 0;
int TOctree::nodes_left = TOctree::kMaxNodes;
bool TOctree::out_of_nodes = false;
bool TOctree::explicit_build = false;

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

// Nodes of a tree split everywhere down to max_levels generations below the root, or -1 when
// that is more than limit.
long long FullTreeNodes(int max_levels, long long limit) {
    long long total = 0;
    long long level = 1;
    for (int k = 0; k <= max_levels; ++k) {
        total += level;
        if (total > limit) return -1;
        level *= 8;
    }
    return total;
}

void RefuseBuild(int max_polys, int max_levels) {
    DebugLog("CreateOctree: max_polys " + std::to_string(max_polys) + ", max_levels " +
             std::to_string(max_levels) + " needs more than " +
             std::to_string(TOctree::kMaxExplicitNodes) +
             " nodes; no octree built, the mesh keeps its previous one");
}

} // namespace

int TOctree::CreateOctree(const MeshRef& mesh, int max_polys, int max_levels) {
    if (!mesh) return 0;
    max_polys = std::max(max_polys, 0);
    max_levels = std::max(max_levels, 0);
    if (max_polys == 0 && max_levels == 0) {
        RuntimeError("Octree cannot be created - max_polys or max_levels must be greater than 0");
    }

    explicit_build = max_levels > 0;
    const int allowance = explicit_build ? kMaxExplicitNodes : kMaxNodes;
    if (explicit_build && max_polys == 0 && FullTreeNodes(max_levels, allowance) < 0) {
        RefuseBuild(max_polys, max_levels);
        return 0;
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
    const float centre[3] = {root->x, root->y, root->z};
    const float size[3] = {root->w, root->h, root->d};
    for (int k = 0; k < 3; ++k) {
        root->bounds.min[k] = centre[k] - size[k] / 2.0f;
        root->bounds.max[k] = centre[k] + size[k] / 2.0f;
    }
    nodes_left = allowance - 1;
    out_of_nodes = false;
    const int octree_polys = no_polys_octree;
    root->Create(std::move(polys), max_polys, max_levels, 0);
    if (out_of_nodes) {
        no_polys_octree = octree_polys;
        RefuseBuild(max_polys, max_levels);
        return 0;
    }
    mesh->octree = root;
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
    if (max_levels <= 0) max_levels = std::min(100000, kMaxLevels);
    level += 1;

    bool split = TestTris(list, max_polys) == 1 && level <= max_levels && CanSplit();
    if (split && nodes_left < 8) {
        // An explicit build is refused rather than cut short; the caller drops it.
        out_of_nodes = explicit_build;
        split = false;
    }
    if (!split || out_of_nodes) {
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

    const float split_at[3] = {x, y, z};
    for (int i = 0; i < 8; ++i) {
        auto node = std::make_shared<TOctree>();
        node->w = w / 2.0f;
        node->h = h / 2.0f;
        node->d = d / 2.0f;
        node->x = x + ((i & 4) ? w : -w) / 4.0f;
        node->y = y + ((i & 2) ? h : -h) / 4.0f;
        node->z = z + ((i & 1) ? d : -d) / 4.0f;
        // The child's box: from the parent's bound to the parent's split plane, exactly.
        for (int k = 0; k < 3; ++k) {
            const bool above = (i & (4 >> k)) != 0;
            node->bounds.min[k] = above ? split_at[k] : bounds.min[k];
            node->bounds.max[k] = above ? bounds.max[k] : split_at[k];
        }
        child[std::size_t(i)] = node;
        node->Create(std::move(parts[std::size_t(i)]), max_polys, max_levels, level);
    }
    return 0;
}

bool TOctree::CanSplit() const {
    const float centre[3] = {x, y, z};
    for (int k = 0; k < 3; ++k) {
        if (bounds.min[k] < centre[k] && centre[k] < bounds.max[k]) return true;
    }
    return false;
}

AABB TOctree::WalkBox() const {
    // A corner within the classification tolerance of a split plane stays on the near side, so
    // a piece stands out of its leaf by up to that much, plus the rounding of the cut points.
    constexpr float kTolerance = 1e-4f;
    AABB box = bounds;
    for (int k = 0; k < 3; ++k) {
        const float scale = std::max(std::fabs(box.min[k]), std::fabs(box.max[k]));
        const float margin = kTolerance + 8.0f * FLT_EPSILON * scale;
        box.min[k] -= margin;
        box.max[k] += margin;
    }
    return box;
}

int TOctree::OctPick(const TVector& a, const TVector& b, const MeshRef& mesh, float& best_t,
                     float& box_t) const {
    const AABB box = WalkBox();
    float tb = 0.0f;
    TVector entry;
    // A piece stands for its whole source triangle, whose hit may lie outside this leaf; but
    // every hit lies in some leaf holding a piece of its triangle, and that leaf is entered no
    // later than the hit. So only boxes entered after the best hit so far can be skipped.
    if (!TPick::IntersectSegmentAABB(a, b, box.min[0], box.min[1], box.min[2],
                                     box.max[0] - box.min[0], box.max[1] - box.min[1],
                                     box.max[2] - box.min[2], tb, entry) ||
        tb > std::min(box_t, best_t)) {
        return 0;
    }
    if (IsLeaf()) {
        if (TPick::PickPolys(a, b, polys, mesh, best_t)) box_t = best_t;
        return 0;
    }
    for (const OctreeRef& c : child) {
        if (c) c->OctPick(a, b, mesh, best_t, box_t);
    }
    return 0;
}

int TOctree::OctCollision(const AABB& box,
                          const std::function<void(const PolygonList&)>& check) const {
    if (AABB::AABBAABBIntersection(box, WalkBox()) == 0) return 0;
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
