#include "engine/mesh.h"

#include "engine/bone.h"
#include "engine/brush.h"
#include "engine/flags.h"
#include "engine/texture.h"
#include "platform/mathfn.h"

#include <algorithm>
#include <cstddef>
#include <memory>

// ---- Creation, copying, freeing ----

MeshRef TMesh::CreateMesh(const EntityRef& parent) {
    MeshRef m(new TMesh());
    m->class_name = "Mesh";
    m->PlaceNew(parent);
    return m;
}

void TMesh::ShareSurfacesFrom(const TMesh& src) {
    surf_list = src.surf_list;
    no_surfs = src.no_surfs;
}

void TMesh::CopyMeshSettingsFrom(const TMesh& src) {
    auto_fade = src.auto_fade;
    fade_near = src.fade_near;
    fade_far = src.fade_far;
    // Own record, shared textures.
    brush = src.brush ? src.brush->Copy() : std::make_shared<TBrush>();
    collision_type = src.collision_type;
    ShareSurfacesFrom(src);
}

EntityRef TMesh::CopyEntity(const EntityRef& new_parent) {
    MeshRef c(new TMesh());
    c->CopyChildrenFrom(*this);
    c->PlaceCopy(*this, new_parent);
    // Local transform, quaternion, name, class name, order, cull radius, collision radii and
    // box, pick mode and obscurer; the copy is shown.
    c->CopyPlacementFields(*this);
    c->CopyMeshSettingsFrom(*this);

    c->anim = anim;
    c->anim_render = anim_render;
    c->anim_mode = anim_mode;
    c->anim_time = anim_time;
    c->anim_speed = anim_speed;
    c->anim_seq = anim_seq;
    c->anim_trans = anim_trans;
    c->anim_dir = anim_dir;
    c->anim_seqs_first = anim_seqs_first;
    c->anim_seqs_last = anim_seqs_last;
    c->no_seqs = no_seqs;
    c->anim_update = anim_update;

    c->min_x = min_x;
    c->min_y = min_y;
    c->min_z = min_z;
    c->max_x = max_x;
    c->max_y = max_y;
    c->max_z = max_z;
    for (const SurfaceRef& s : anim_surf_list) {
        auto a = std::make_shared<TSurface>();
        if (s) a->vert_coords = s->vert_coords;
        c->anim_surf_list.AddLast(a);
    }
    c->octree = octree;
    c->skin_map = skin_map;
    CopyBonesList(c, c->bones);
    c->FinishCopy();
    return c;
}

int TMesh::FreeEntity() {
    TEntity::FreeEntity();
    anim_surf_list.Clear();
    bones.Clear();
    return 0;
}

// ---- Surfaces and counts ----

SurfaceRef TMesh::CreateSurface(const BrushRef& b) {
    auto s = std::make_shared<TSurface>();
    s->brush = b;
    surf_list->AddLast(s);
    no_surfs += 1;
    return s;
}

int TMesh::PaintMesh(const BrushRef& b) {
    if (!b) return 0;
    for (const SurfaceRef& s : *surf_list) {
        if (!s) continue;
        if (!s->brush) s->brush = std::make_shared<TBrush>();
        s->brush->PaintFrom(*b);
    }
    return 0;
}

float TMesh::MeshWidth() {
    GetBounds();
    return max_x - min_x;
}

float TMesh::MeshHeight() {
    GetBounds();
    return max_y - min_y;
}

float TMesh::MeshDepth() {
    GetBounds();
    return max_z - min_z;
}

SurfaceRef TMesh::GetSurface(int index) const {
    if (index < 1 || index > surf_list->Count()) return nullptr;
    return surf_list->ValueAtIndex(index - 1);
}

SurfaceRef TMesh::FindSurface(const BrushRef& b) const {
    for (const SurfaceRef& s : *surf_list) {
        if (s && TBrush::CompareBrushes(b, s->brush) == 1) return s;
    }
    return nullptr;
}

int TMesh::CountVertices() const {
    int n = 0;
    for (int i = 1; i <= no_surfs; ++i) {
        if (SurfaceRef s = GetSurface(i)) n += s->CountVertices();
    }
    return n;
}

int TMesh::CountTriangles() const {
    int n = 0;
    for (int i = 1; i <= no_surfs; ++i) {
        if (SurfaceRef s = GetSurface(i)) n += s->CountTriangles();
    }
    return n;
}

int TMesh::CopyBonesList(const EntityRef& entity, BoneList& list) {
    if (!entity) return 0;
    for (const EntityRef& c : entity->child_list) {
        if (!c) continue;
        if (BoneRef b = std::dynamic_pointer_cast<TBone>(c)) list.AddLast(b);
        CopyBonesList(c, list);
    }
    return 0;
}

// ---- Bounds and transparency ----

namespace {

// An axis-aligned box in command-layer coordinates, empty until a point is added.
struct Box {
    float min_x = 1e9f, min_y = 1e9f, min_z = 1e9f;
    float max_x = -1e9f, max_y = -1e9f, max_z = -1e9f;

    // Takes in the first n positions of a stored (z-negated) coordinate array, no more than
    // the array holds.
    void Add(const std::vector<float>& coords, int n) {
        n = std::min(n, int(coords.size() / 3));
        for (int v = 0; v < n; ++v) {
            const std::size_t i = std::size_t(v) * 3;
            const float x = coords[i];
            const float y = coords[i + 1];
            const float z = -coords[i + 2];
            if (x < min_x) min_x = x;
            if (x > max_x) max_x = x;
            if (y < min_y) min_y = y;
            if (y > max_y) max_y = y;
            if (z < min_z) min_z = z;
            if (z > max_z) max_z = z;
        }
    }

    // The radius of the sphere through the corners of a cube whose side is the box's largest
    // extent: sqrt(3) x m / 2.
    float CornerRadius() const {
        const float w = max_x - min_x;
        const float h = max_y - min_y;
        const float d = max_z - min_z;
        float m = d;
        if (w >= h && w >= d) {
            m = w;
        } else if (h >= w && h >= d) {
            m = h;
        }
        const double r = double(m / 2.0f);
        return float(Sqr(r * r + r * r + r * r));
    }
};

} // namespace

int TMesh::GetBounds() {
    std::uint64_t newest = bounds_revision;
    bool stale = false;
    surf_list->ForEachWhileUnchanged([&](const SurfaceRef& s) {
        if (!s) return;
        if (s->changed == 1) bounds_dirty = 1;
        s->changed = 0;
        // A change consumed by another mesh sharing the surface still reaches this one.
        if (s->revision > bounds_revision) {
            stale = true;
            newest = std::max(newest, s->revision);
        }
    });
    if (bounds_dirty != 1 && !stale) return 0;

    Box box;
    for (const SurfaceRef& s : *surf_list) {
        if (s) box.Add(s->vert_coords, s->no_verts);
    }
    min_x = box.min_x;
    min_y = box.min_y;
    min_z = box.min_z;
    max_x = box.max_x;
    max_y = box.max_y;
    max_z = box.max_z;
    if (cull_radius >= 0.0f) cull_radius = box.CornerRadius();
    bounds_dirty = 0;
    bounds_revision = newest;
    return 0;
}

TSphere TMesh::CullSphere() const {
    if (anim == 0 || anim_render == 0 || anim_surf_list.IsEmpty() || !(cull_radius >= 0.0f))
        return BoundingSphere();
    // As drawing does: the i-th surface takes the posed positions of the i-th animated surface,
    // a surface without one its own.
    Box box;
    ForEachSurfaceWithAnimated([&box](const SurfaceRef& s, const TSurface* posed) {
        if (s) box.Add(posed ? posed->vert_coords : s->vert_coords, s->no_verts);
    });
    return WorldSphere(box.min_x + (box.max_x - box.min_x) / 2.0f,
                       box.min_y + (box.max_y - box.min_y) / 2.0f,
                       box.min_z + (box.max_z - box.min_z) / 2.0f, box.CornerRadius());
}

namespace {

// Tests 1-5 of the blending decision on one brush.
bool drawsBlended(const TBrush& b) {
    if (b.alpha < 1.0f) return true;
    if (b.blend == MULTIPLYBRUSHBLEND || b.blend == ADDBRUSHBLEND) return true;
    if ((b.fx & FORCEALPHAFX) != 0) return true;
    const TextureRef& t0 = b.tex[0];
    return t0 && (t0->flags & ALPHATEXTURE) != 0;
}

} // namespace

int TMesh::Alpha(const SurfaceRef& surf) const {
    if (brush && drawsBlended(*brush)) return 1;
    if (!surf) {
        bool blended = false;
        surf_list->ForEachWhileUnchanged([&blended](const SurfaceRef& s) {
            blended = blended || (s && s->brush && drawsBlended(*s->brush));
        });
        if (blended) return 1;
    } else if (surf->brush && drawsBlended(*surf->brush)) {
        return 1;
    }
    if (fade_alpha != 0.0f) return 1;
    return 0;
}
